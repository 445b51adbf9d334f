// The file list's Delete and Down keys: the confirmation, what is deleted and what never is,
// and the selection and preview afterwards.
#include "Support.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <filesystem>
#include <functional>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path NativePath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

enum class Answer { Ok, Cancel, Escape };

// Answers the program's message box as a user would, after running `beforeAnswer` while the
// box is up. A second box is cancelled and counted, so an unexpected prompt fails the test
// instead of blocking it.
class BoxAnswerer {
public:
    explicit BoxAnswerer(Answer answer, std::function<void()> beforeAnswer = {}) {
        QObject::connect(&poll_, &QTimer::timeout, [=, this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible())
                return;
            if (++shown > 1)
                return box->button(QMessageBox::Cancel)->click();
            titleAndPrompt = QStringList{box->windowTitle(), box->text()};
            buttons = box->standardButtons();
            defaultButton = box->standardButton(box->defaultButton());
            if (beforeAnswer)
                beforeAnswer();
            if (answer == Answer::Escape)
                QTest::keyClick(box, Qt::Key_Escape);
            else
                box->button(answer == Answer::Ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
        });
        poll_.start(10);
    }

    int shown = 0;
    QStringList titleAndPrompt; // title, prompt
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;

private:
    QTimer poll_;
};

// What a folder holds, entry by entry: a file that is gone, replaced or changed shows as a
// difference.
QMap<QString, QString> Snapshot(const QString& root) {
    QMap<QString, QString> entries;
    const fs::path base = NativePath(root);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(base)) {
        const QString name = QFile::decodeName(entry.path().lexically_relative(base).c_str());
        const fs::file_status status = entry.symlink_status();
        const QString mode = QString::number(int(status.permissions()), 8);
        QFile file(QFile::decodeName(entry.path().c_str()));
        if (fs::is_symlink(status))
            entries[name] = "link to " + QFile::decodeName(fs::read_symlink(entry.path()).c_str());
        else if (fs::is_directory(status))
            entries[name] = "folder " + mode;
        else if (file.open(QIODevice::ReadOnly))
            entries[name] =
                "file " + mode + " " +
                QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex();
        else
            entries[name] = "unreadable";
    }
    return entries;
}

// a.bmp, b.bmp and c.bmp, the first `count` of them, each of its own size.
void WritePictures(const QString& folder, int count = 3) {
    for (int i = 0; i < count; ++i)
        support::WritePicture(folder + '/' + QChar('a' + i) + ".bmp", 10 * (i + 1), 10 * (i + 1));
}

// The status text each entry shows when selected.
QMap<QString, QString> SizeTexts(MainForm& form) {
    QMap<QString, QString> texts;
    for (int i = 0; i < form.File1.ListCount(); ++i) {
        form.File1.setListIndex(i);
        texts[form.File1.List(i)] = form.statbar.StatusText();
    }
    return texts;
}

// The browser, active, with the keyboard focus in the file list.
MainForm& ActiveBrowserAt(const QString& folder) {
    MainForm& form = support::BrowserAt(folder);
    if (!support::ShowActive(form))
        qWarning("the browser window did not become active");
    form.File1.widget()->setFocus();
    return form;
}

void PressInFileList(MainForm& form, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    form.File1.widget()->setFocus();
    QTest::keyClick(form.File1.widget(), key, modifiers);
}

enum class Trouble {
    ReadOnlyFile,
    LinkToFile,
    LinkToReadOnlyFile,
    FileReplacedByFolder,
    FileReplacedByFile,
    FileReplacedByLink,
    LinkReplacedByFile,
    GoneBeforeTheKey,
    GoneBeforeTheAnswer,
    FolderNotWritable
};

} // namespace

Q_DECLARE_METATYPE(Answer)
Q_DECLARE_METATYPE(Trouble)

class TestDeletion : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { support::UnloadAll(); }

    void deleteThenSelect_data() {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("selected");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<QString>("selectedAfter");
        const QStringList all{"a.bmp", "b.bmp", "c.bmp"};
        const Qt::KeyboardModifiers none;
        QTest::newRow("Shift+Delete, Cancel on the last entry")
            << 3 << 2 << Qt::KeyboardModifiers(Qt::ShiftModifier) << Answer::Cancel << all
            << "a.bmp";
        QTest::newRow("Escape on a middle entry")
            << 3 << 1 << none << Answer::Escape << all << "b.bmp";
        QTest::newRow("Ctrl+Alt+Delete, OK on the first entry")
            << 3 << 0 << (Qt::ControlModifier | Qt::AltModifier) << Answer::Ok
            << QStringList{"b.bmp", "c.bmp"} << "b.bmp";
        QTest::newRow("OK on a middle entry")
            << 3 << 1 << none << Answer::Ok << QStringList{"a.bmp", "c.bmp"} << "c.bmp";
        QTest::newRow("OK on the last entry")
            << 3 << 2 << none << Answer::Ok << QStringList{"a.bmp", "b.bmp"} << "a.bmp";
        QTest::newRow("OK on the only entry")
            << 1 << 0 << none << Answer::Ok << QStringList{} << QString();
    }

    void deleteThenSelect() {
        QFETCH(int, files);
        QFETCH(int, selected);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(Answer, answer);
        QFETCH(QStringList, remaining);
        QFETCH(QString, selectedAfter);
        QTemporaryDir dir;
        const QString folder = dir.filePath("My Pictures ä");
        QVERIFY(QDir().mkdir(folder));
        WritePictures(folder, files);
        MainForm& form = ActiveBrowserAt(folder);
        const QMap<QString, QString> sizeTexts = SizeTexts(form);
        form.File1.setListIndex(selected);
        const QString named = form.File1.FileName();

        BoxAnswerer box(answer);
        PressInFileList(form, Qt::Key_Delete, modifiers);

        QCOMPARE(box.shown, 1);
        QCOMPARE(box.titleAndPrompt,
                 (QStringList{"Delete Confirmation",
                              "Do you want to delete file\n" +
                                  QDir::toNativeSeparators(folder + '/' + named) + "?"}));
        QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
        QCOMPARE(box.defaultButton, QMessageBox::Ok);
        QCOMPARE(QDir(folder).entryList(QDir::Files), remaining);
        QCOMPARE(support::Entries(form.File1), remaining);
        QCOMPARE(form.File1.FileName(), selectedAfter);
        // With no entry left, the pane and the status text no longer show the deleted file.
        QCOMPARE(form.statbar.StatusText(), sizeTexts.value(selectedAfter));
        QCOMPARE(form.pic1.widget()->isVisible(), !remaining.isEmpty());
        QCOMPARE(form.pic1.Picture().isNull(), remaining.isEmpty());
    }

    // Keys that must neither ask nor delete nor move the selection.
    void asksNothing_data() {
        QTest::addColumn<int>("files");
        QTest::addColumn<int>("selected");
        QTest::addColumn<Qt::Key>("key");
        QTest::newRow("Delete, none selected") << 3 << -1 << Qt::Key_Delete;
        QTest::newRow("Delete, empty folder") << 0 << -1 << Qt::Key_Delete;
        QTest::newRow("Backspace") << 3 << 1 << Qt::Key_Backspace;
        QTest::newRow("Insert") << 3 << 1 << Qt::Key_Insert;
        QTest::newRow("X") << 3 << 1 << Qt::Key_X;
    }

    void asksNothing() {
        QFETCH(int, files);
        QFETCH(int, selected);
        QFETCH(Qt::Key, key);
        QTemporaryDir dir;
        WritePictures(dir.path(), files);
        MainForm& form = ActiveBrowserAt(dir.path());
        form.File1.setListIndex(selected);
        const QMap<QString, QString> before = Snapshot(dir.path());
        const bool paneShown = form.pic1.Visible();
        const QString status = form.statbar.StatusText();

        BoxAnswerer box(Answer::Ok);
        PressInFileList(form, key);

        QCOMPARE(box.shown, 0);
        QCOMPARE(Snapshot(dir.path()), before);
        QCOMPARE(form.File1.ListIndex(), selected);
        QCOMPARE(form.pic1.Visible(), paneShown);
        QCOMPARE(form.statbar.StatusText(), status);
    }

    // Down previews the entry still selected, then the list's own move previews the next; on
    // the last entry the list cannot move.
    void downPreviewsTheSelectedEntry() {
        QTemporaryDir dir;
        WritePictures(dir.path());
        MainForm& form = ActiveBrowserAt(dir.path());
        const QMap<QString, QString> sizeTexts = SizeTexts(form);
        // c.bmp, selected, now holds a.bmp's picture: its preview shows a.bmp's size text.
        QVERIFY(QFile::remove(dir.filePath("c.bmp")));
        QVERIFY(QFile::copy(dir.filePath("a.bmp"), dir.filePath("c.bmp")));
        for (const int selected : {2, 1}) {
            form.File1.setListIndex(selected);
            PressInFileList(form, Qt::Key_Down);
            QCOMPARE(form.File1.ListIndex(), 2);
            QCOMPARE(form.statbar.StatusText(), sizeTexts["a.bmp"]);
        }
    }

    // b.bmp, the middle entry, is selected and in trouble; t.bmp in another folder is a link
    // target. The only change allowed is the removal of the entry the user confirmed, as it
    // was when the prompt named it.
    void torture_data() {
        QTest::addColumn<Trouble>("trouble");
        QTest::addColumn<QString>("reason"); // empty for a deletion that went through
        QTest::addColumn<bool>("listed");    // b.bmp is listed, and selected, afterwards
        QTest::newRow("read-only file") << Trouble::ReadOnlyFile << "read-only" << true;
        QTest::newRow("link to a file") << Trouble::LinkToFile << "" << false;
        QTest::newRow("link to a read-only file") << Trouble::LinkToReadOnlyFile << "" << false;
        QTest::newRow("replaced by a folder before the answer")
            << Trouble::FileReplacedByFolder << "replaced by a folder" << false;
        QTest::newRow("replaced by another file before the answer")
            << Trouble::FileReplacedByFile << "replaced" << true;
        QTest::newRow("replaced by a link before the answer")
            << Trouble::FileReplacedByLink << "replaced by a link" << true;
        QTest::newRow("link replaced by a file before the answer")
            << Trouble::LinkReplacedByFile << "replaced by a file" << true;
        QTest::newRow("gone before the key (not asked)")
            << Trouble::GoneBeforeTheKey << "file not found" << false;
        QTest::newRow("gone before the answer")
            << Trouble::GoneBeforeTheAnswer << "file not found" << false;
        QTest::newRow("folder without write permission")
            << Trouble::FolderNotWritable << "Permission denied" << true;
    }

    void torture() {
        QFETCH(Trouble, trouble);
        QFETCH(QString, reason);
        QFETCH(bool, listed);
        if (trouble == Trouble::FolderNotWritable && ::geteuid() == 0)
            QSKIP("root deletes from a folder it may not write to");
        QTemporaryDir dir;
        const QString root = dir.path();
        const QString folder = root + "/pics";
        const QString target = root + "/elsewhere/t.bmp";
        const QString victim = folder + "/b.bmp";
        QVERIFY(QDir(root).mkdir("pics") && QDir(root).mkdir("elsewhere"));
        WritePictures(folder);
        support::WritePicture(target, 50, 25, Qt::blue);
        const auto restore = qScopeGuard([&] {
            fs::permissions(NativePath(folder), fs::perms::owner_all, fs::perm_options::add);
        });
        const auto replaceVictim = [&](auto make) {
            QFile::remove(victim);
            make();
        };

        if (trouble == Trouble::ReadOnlyFile)
            fs::permissions(NativePath(victim), fs::perms::owner_read | fs::perms::group_read);
        if (trouble == Trouble::LinkToReadOnlyFile)
            fs::permissions(NativePath(target), fs::perms::owner_read);
        if (trouble == Trouble::LinkToFile || trouble == Trouble::LinkToReadOnlyFile ||
            trouble == Trouble::LinkReplacedByFile)
            replaceVictim([&] { QFile::link(target, victim); });

        MainForm& form = ActiveBrowserAt(folder);
        const QMap<QString, QString> sizeTexts = SizeTexts(form);
        form.File1.setListIndex(1);
        if (trouble == Trouble::GoneBeforeTheKey)
            QVERIFY(QFile::remove(victim));
        if (trouble == Trouble::FolderNotWritable)
            fs::permissions(NativePath(folder), fs::perms::owner_read | fs::perms::owner_exec);

        QMap<QString, QString> atAnswer = Snapshot(root);
        BoxAnswerer box(Answer::Ok, [&] {
            if (trouble == Trouble::FileReplacedByFolder)
                replaceVictim([&] { QDir().mkdir(victim); });
            if (trouble == Trouble::FileReplacedByFile || trouble == Trouble::LinkReplacedByFile)
                replaceVictim([&] { support::WritePicture(victim, 20, 20, Qt::green); });
            if (trouble == Trouble::FileReplacedByLink)
                replaceVictim([&] { QFile::link(target, victim); });
            if (trouble == Trouble::GoneBeforeTheAnswer)
                QFile::remove(victim);
            atAnswer = Snapshot(root);
        });
        PressInFileList(form, Qt::Key_Delete);

        QCOMPARE(box.shown, trouble == Trouble::GoneBeforeTheKey ? 0 : 1);
        if (reason.isEmpty())
            QVERIFY(atAnswer.remove("pics/b.bmp") == 1);
        QCOMPARE(Snapshot(root), atAnswer);
        QCOMPARE(form.File1.FileName(), QString(listed ? "b.bmp" : "c.bmp"));
        const QString status = form.statbar.StatusText();
        if (reason.isEmpty())
            QCOMPARE(status, sizeTexts["c.bmp"]);
        else
            QVERIFY2(status.startsWith(QFileInfo(victim).fileName() + ": ") &&
                         status.contains(reason),
                     qPrintable(status));
    }
};

QTEST_MAIN(TestDeletion)
#include "tst_deletion.moc"
