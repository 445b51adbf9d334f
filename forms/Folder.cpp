#include "forms/Folder.h"

#include "forms/Error.h"
#include "forms/Paths.h"

#include <QFile>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace forms {

namespace {

bool WildcardMatch(QStringView name, QStringView pattern) {
    // Iterative matcher with backtracking to the last star: linear for the usual "*.ext".
    qsizetype n = 0, p = 0, star = -1, mark = 0;
    while (n < name.size()) {
        if (p < pattern.size() &&
            (pattern[p] == u'?' || pattern[p].toCaseFolded() == name[n].toCaseFolded())) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            mark = n;
        } else if (star >= 0) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

// The `;`-separated patterns, split once for a whole folder. "*.*" stands for every name, as
// on the system the file list comes from, dot or not.
class Patterns {
public:
    explicit Patterns(const QString& pattern) {
        for (const QStringView one : QStringView(pattern).split(u';', Qt::SkipEmptyParts)) {
            const QStringView trimmed = one.trimmed();
            if (trimmed.isEmpty())
                continue;
            add(trimmed == u"*.*" ? QStringLiteral("*") : trimmed.toString());
        }
    }

    bool matches(QStringView name) const {
        return std::any_of(suffixes_.begin(), suffixes_.end(),
                           [&](const QString& suffix) {
                               return name.endsWith(suffix, Qt::CaseInsensitive);
                           }) ||
               std::any_of(patterns_.begin(), patterns_.end(),
                           [&](const QString& one) { return WildcardMatch(name, one); });
    }

private:
    // "*.gif" and its like, the usual case, are matched as a plain suffix.
    void add(const QString& pattern) {
        const QStringView rest = QStringView(pattern).mid(1);
        if (pattern.startsWith(u'*') && !rest.contains(u'*') && !rest.contains(u'?'))
            suffixes_.append(rest.toString());
        else
            patterns_.append(pattern);
    }

    QStringList suffixes_;
    QStringList patterns_;
};

bool NameLess(const QString& a, const QString& b) {
    const int folded = a.compare(b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : a < b;
}

[[noreturn]] void CannotList(const QString& folder, const std::error_code& error) {
    throw Error(QStringLiteral("%1: cannot list the folder: %2")
                    .arg(NameInMessages(folder), QString::fromLocal8Bit(error.message().c_str())));
}

// An entry's name, decoded only when it is asked for: a folder list skips most entries of a
// large folder by their type alone.
class EntryName {
public:
    explicit EntryName(const char* raw) : raw_(raw) {}
    const QString& text() {
        if (!decoded_) {
            text_ = QFile::decodeName(raw_);
            decoded_ = true;
        }
        return text_;
    }

private:
    const char* raw_;
    QString text_;
    bool decoded_ = false;
};

// The names of the entries of `folder` that are not hidden and that `keep` keeps, sorted.
template <class Keep> QStringList ReadEntries(const QString& folder, Keep keep) {
    std::error_code error;
    fs::directory_iterator it(fs::path(QFile::encodeName(folder).toStdString()), error);
    if (error)
        CannotList(folder, error);
    QStringList names;
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        const std::string& path = it->path().native();
        const char* raw = path.c_str() + path.rfind('/') + 1;
        if (*raw == '.')
            continue;
        EntryName name(raw);
        if (keep(*it, name))
            names.append(name.text());
    }
    if (error)
        CannotList(folder, error);
    std::sort(names.begin(), names.end(), NameLess);
    return names;
}

} // namespace

bool MatchesPattern(const QString& name, const QString& pattern) {
    return Patterns(pattern).matches(name);
}

QStringList ReadFileNames(const QString& folder, const QString& pattern) {
    const Patterns patterns(pattern);
    return ReadEntries(folder, [&](const fs::directory_entry& entry, EntryName& name) {
        // The name is checked first: it costs no system call, the type may cost one.
        std::error_code ignored;
        return patterns.matches(name.text()) && entry.is_regular_file(ignored);
    });
}

QStringList ReadSubfolders(const QString& folder) {
    return ReadEntries(folder, [](const fs::directory_entry& entry, EntryName&) {
        std::error_code ignored;
        return entry.is_directory(ignored);
    });
}

} // namespace forms
