// The file list's Delete and Down keys: the confirmation, what is deleted and what never is,
// and the selection and preview afterwards.
#include "Support.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <filesystem>
#include <functional>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

fs::path NativePath(const QString& path) {
    return fs::path(QFile::encodeName(path).toStdString());
}

// Answers the program's message box as a user would, running `beforeAnswer` first while the
// box is up. A second box is cancelled and counted, so an unexpected prompt fails the test
// instead of blocking it.
class BoxAnswerer {
public:
    enum class How { Ok, Cancel, Escape };

    explicit BoxAnswerer(How how, std::function<void()> beforeAnswer = {})
        : how_(how), beforeAnswer_(std::move(beforeAnswer)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { answer(); });
        poll_.start(10);
    }

    int shown = 0;
    QString prompt;
    QString title;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    QMessageBox::Icon icon = QMessageBox::Information;

private:
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (++shown > 1) {
            box->button(QMessageBox::Cancel) ? box->button(QMessageBox::Cancel)->click()
                                             : box->reject();
            return;
        }
        prompt = box->text();
        title = box->windowTitle();
        buttons = box->standardButtons();
        defaultButton = box->standardButton(box->defaultButton());
        icon = box->icon();
        if (beforeAnswer_)
            beforeAnswer_();
        switch (how_) {
        case How::Ok:
            box->button(QMessageBox::Ok)->click();
            break;
        case How::Cancel:
            box->button(QMessageBox::Cancel)->click();
            break;
        case How::Escape:
            QTest::keyClick(box, Qt::Key_Escape);
            break;
        }
    }

    How how_;
    std::function<void()> beforeAnswer_;
    QTimer poll_;
};

// What a folder holds, entry by entry, as the entries themselves (a link as its target's
// name): a file that is gone, replaced or changed shows as a difference.
QMap<QString, QString> Snapshot(const QString& root) {
    QMap<QString, QString> entries;
    const fs::path base = NativePath(root);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(base)) {
        const QString name = QFile::decodeName(entry.path().lexically_relative(base).c_str());
        const fs::file_status status = entry.symlink_status();
        const QString mode = QString::number(static_cast<int>(status.permissions()), 8);
        if (fs::is_symlink(status)) {
            entries[name] = "link to " + QFile::decodeName(fs::read_symlink(entry.path()).c_str());
        } else if (fs::is_directory(status)) {
            entries[name] = "folder " + mode;
        } else {
            QFile file(QFile::decodeName(entry.path().c_str()));
            if (!file.open(QIODevice::ReadOnly))
                return {{name, "unreadable"}};
            entries[name] =
                "file " + mode + " " +
                QCryptographicHash::hash(file.readAll(), QCryptographicHash::Md5).toHex();
        }
    }
    return entries;
}

QStringList FilesOnDisk(const QString& folder) {
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

QStringList Entries(const MainForm& form) {
    QStringList names;
    for (int i = 0; i < form.File1.ListCount(); ++i)
        names.append(form.File1.List(i));
    return names;
}

// Three pictures of different sizes, so each has its own size text.
void WriteThreePictures(const QString& folder) {
    support::WritePicture(folder + "/a.bmp", 10, 10);
    support::WritePicture(folder + "/b.bmp", 20, 20);
    support::WritePicture(folder + "/c.bmp", 30, 30);
}

// The status text each entry shows when selected, read by selecting it.
QMap<QString, QString> SizeTexts(MainForm& form) {
    QMap<QString, QString> texts;
    for (int i = 0; i < form.File1.ListCount(); ++i) {
        form.File1.setListIndex(i);
        texts[form.File1.List(i)] = form.statbar.StatusText();
    }
    return texts;
}

// The browser on `folder`, active, with the file list holding the keyboard focus.
MainForm& BrowserWithFocusOnFiles(const QString& folder) {
    MainForm& form = support::BrowserAt(folder);
    if (!QTest::qWaitForWindowActive(form.window()))
        qWarning("the browser window did not become active");
    form.File1.widget()->setFocus();
    return form;
}

void PressInFileList(MainForm& form, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* list = form.File1.widget();
    list->setFocus();
    QVERIFY(list->hasFocus());
    QTest::keyClick(list, key, modifiers);
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
    FolderNotWritable,
};

} // namespace

Q_DECLARE_METATYPE(BoxAnswerer::How)
Q_DECLARE_METATYPE(Trouble)

class TestDeletion : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { support::UnloadAll(); }

    void deleteThenSelect_data();
    void deleteThenSelect();
    void onlyFileDeleted();
    void promptNamesTheFile();
    void nothingSelectedAsksNothing_data();
    void nothingSelectedAsksNothing();
    void downPreviewsTheSelectedEntry_data();
    void downPreviewsTheSelectedEntry();
    void otherKeysDoNothing_data();
    void otherKeysDoNothing();
    void torture_data();
    void torture();
};

void TestDeletion::deleteThenSelect_data() {
    QTest::addColumn<int>("selected");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<BoxAnswerer::How>("answer");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QString>("selectedAfter");

    using How = BoxAnswerer::How;
    const QStringList all{"a.bmp", "b.bmp", "c.bmp"};
    const Qt::KeyboardModifiers none;
    QTest::newRow("Cancel on the last entry") << 2 << none << How::Cancel << all << "a.bmp";
    QTest::newRow("Cancel on a middle entry") << 1 << none << How::Cancel << all << "b.bmp";
    QTest::newRow("Escape on the last entry") << 2 << none << How::Escape << all << "a.bmp";
    QTest::newRow("OK on the first entry")
        << 0 << none << How::Ok << QStringList{"b.bmp", "c.bmp"} << "b.bmp";
    QTest::newRow("OK on a middle entry")
        << 1 << none << How::Ok << QStringList{"a.bmp", "c.bmp"} << "c.bmp";
    QTest::newRow("OK on the last entry")
        << 2 << none << How::Ok << QStringList{"a.bmp", "b.bmp"} << "a.bmp";
    QTest::newRow("Shift+Delete, OK on a middle entry")
        << 1 << Qt::KeyboardModifiers(Qt::ShiftModifier) << How::Ok << QStringList{"a.bmp", "c.bmp"}
        << "c.bmp";
    QTest::newRow("Ctrl+Alt+Delete, Cancel on the last entry")
        << 2 << Qt::KeyboardModifiers(Qt::ControlModifier | Qt::AltModifier) << How::Cancel << all
        << "a.bmp";
}

void TestDeletion::deleteThenSelect() {
    QFETCH(int, selected);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(BoxAnswerer::How, answer);
    QFETCH(QStringList, remaining);
    QFETCH(QString, selectedAfter);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteThreePictures(dir.path());
    MainForm& form = BrowserWithFocusOnFiles(dir.path());
    const QMap<QString, QString> sizeTexts = SizeTexts(form);
    form.File1.setListIndex(selected);

    BoxAnswerer box(answer);
    PressInFileList(form, Qt::Key_Delete, modifiers);

    QCOMPARE(box.shown, 1);
    QCOMPARE(FilesOnDisk(dir.path()), remaining);
    QCOMPARE(Entries(form), remaining);
    QCOMPARE(form.File1.FileName(), selectedAfter);
    QCOMPARE(form.statbar.StatusText(), sizeTexts[selectedAfter]);
    QVERIFY(form.pic1.Visible());
}

void TestDeletion::onlyFileDeleted() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    support::WritePicture(dir.filePath("only.bmp"), 40, 20);
    MainForm& form = BrowserWithFocusOnFiles(dir.path());
    form.File1.setListIndex(0);
    QVERIFY(form.pic1.Visible());
    QVERIFY(!form.statbar.StatusText().isEmpty());

    BoxAnswerer box(BoxAnswerer::How::Ok);
    PressInFileList(form, Qt::Key_Delete);

    QCOMPARE(box.shown, 1);
    QVERIFY(FilesOnDisk(dir.path()).isEmpty());
    QCOMPARE(form.File1.ListCount(), 0);
    QCOMPARE(form.File1.ListIndex(), -1);
    QCOMPARE(form.File1.FileName(), QString());
    // The pane and the status text no longer show the deleted file.
    QVERIFY(!form.pic1.Visible());
    QVERIFY(!form.pic1.widget()->isVisible());
    QVERIFY(form.pic1.Picture().isNull());
    QCOMPARE(form.statbar.StatusText(), QString());
}

void TestDeletion::promptNamesTheFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath("My Pictures ä");
    QVERIFY(QDir().mkdir(folder));
    support::WritePicture(folder + "/a b.bmp", 10, 10);
    MainForm& form = BrowserWithFocusOnFiles(folder);
    form.File1.setListIndex(0);

    BoxAnswerer box(BoxAnswerer::How::Cancel);
    PressInFileList(form, Qt::Key_Delete);

    QCOMPARE(box.shown, 1);
    QCOMPARE(box.prompt, "Do you want to delete file\n" + QDir::toNativeSeparators(folder) +
                             QDir::separator() + "a b.bmp?");
    QCOMPARE(box.title, QStringLiteral("Delete Confirmation"));
    QCOMPARE(box.buttons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(box.defaultButton, QMessageBox::Ok);
    QCOMPARE(box.icon, QMessageBox::NoIcon);
    QCOMPARE(FilesOnDisk(folder), QStringList{"a b.bmp"});
}

void TestDeletion::nothingSelectedAsksNothing_data() {
    QTest::addColumn<bool>("withFiles");
    QTest::newRow("files, none selected") << true;
    QTest::newRow("empty folder") << false;
}

void TestDeletion::nothingSelectedAsksNothing() {
    QFETCH(bool, withFiles);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (withFiles)
        WriteThreePictures(dir.path());
    MainForm& form = BrowserWithFocusOnFiles(dir.path());
    QCOMPARE(form.File1.ListIndex(), -1);
    const QMap<QString, QString> before = Snapshot(dir.path());
    const bool paneShown = form.pic1.Visible();
    const QString status = form.statbar.StatusText();

    BoxAnswerer box(BoxAnswerer::How::Ok);
    PressInFileList(form, Qt::Key_Delete);

    QCOMPARE(box.shown, 0);
    QCOMPARE(Snapshot(dir.path()), before);
    QCOMPARE(form.File1.ListIndex(), -1);
    QCOMPARE(form.pic1.Visible(), paneShown);
    QCOMPARE(form.statbar.StatusText(), status);
}

void TestDeletion::downPreviewsTheSelectedEntry_data() {
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("selectedAfter");
    // On the last entry the list cannot move: the entry is previewed again, as it is now.
    QTest::newRow("last entry") << 2 << 2;
    QTest::newRow("middle entry") << 1 << 2;
}

void TestDeletion::downPreviewsTheSelectedEntry() {
    QFETCH(int, selected);
    QFETCH(int, selectedAfter);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteThreePictures(dir.path());
    MainForm& form = BrowserWithFocusOnFiles(dir.path());
    const QMap<QString, QString> sizeTexts = SizeTexts(form);
    form.File1.setListIndex(selected);
    // c.bmp now holds a.bmp's picture: its preview shows a.bmp's size text.
    QVERIFY(QFile::remove(dir.filePath("c.bmp")));
    QVERIFY(QFile::copy(dir.filePath("a.bmp"), dir.filePath("c.bmp")));

    BoxAnswerer box(BoxAnswerer::How::Cancel);
    PressInFileList(form, Qt::Key_Down);

    QCOMPARE(box.shown, 0);
    QCOMPARE(form.File1.ListIndex(), selectedAfter);
    QCOMPARE(form.statbar.StatusText(), sizeTexts["a.bmp"]);
    QCOMPARE(FilesOnDisk(dir.path()), (QStringList{"a.bmp", "b.bmp", "c.bmp"}));
}

void TestDeletion::otherKeysDoNothing_data() {
    QTest::addColumn<Qt::Key>("key");
    QTest::newRow("Backspace") << Qt::Key_Backspace;
    QTest::newRow("Insert") << Qt::Key_Insert;
    QTest::newRow("F8") << Qt::Key_F8;
    QTest::newRow("X") << Qt::Key_X;
}

void TestDeletion::otherKeysDoNothing() {
    QFETCH(Qt::Key, key);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    WriteThreePictures(dir.path());
    MainForm& form = BrowserWithFocusOnFiles(dir.path());
    form.File1.setListIndex(1);
    const QMap<QString, QString> before = Snapshot(dir.path());

    BoxAnswerer box(BoxAnswerer::How::Ok);
    PressInFileList(form, key);

    QCOMPARE(box.shown, 0);
    QCOMPARE(Snapshot(dir.path()), before);
    QCOMPARE(form.File1.ListIndex(), 1);
}

// b.bmp, the middle entry, is selected and in trouble; a.bmp and c.bmp are plain pictures, and
// t.bmp in another folder is a link target. Whatever the trouble, the only change allowed is
// the removal of the entry the user confirmed, as it was when the prompt named it.
void TestDeletion::torture_data() {
    QTest::addColumn<Trouble>("trouble");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("deleted");
    QTest::addColumn<QString>("reason"); // empty for a deletion that went through
    QTest::addColumn<QString>("selectedAfter");

    QTest::newRow("read-only file") << Trouble::ReadOnlyFile << true << false << "read-only"
                                    << "b.bmp";
    QTest::newRow("link to a file") << Trouble::LinkToFile << true << true << ""
                                    << "c.bmp";
    QTest::newRow("link to a read-only file") << Trouble::LinkToReadOnlyFile << true << true << ""
                                              << "c.bmp";
    QTest::newRow("file replaced by a folder before the answer")
        << Trouble::FileReplacedByFolder << true << false << "replaced by a folder"
        << "c.bmp";
    QTest::newRow("file replaced by another file before the answer")
        << Trouble::FileReplacedByFile << true << false << "replaced"
        << "b.bmp";
    QTest::newRow("file replaced by a link before the answer")
        << Trouble::FileReplacedByLink << true << false << "replaced by a link"
        << "b.bmp";
    QTest::newRow("link replaced by a file before the answer")
        << Trouble::LinkReplacedByFile << true << false << "replaced by a file"
        << "b.bmp";
    QTest::newRow("file gone before the key")
        << Trouble::GoneBeforeTheKey << false << false << "file not found"
        << "c.bmp";
    QTest::newRow("file gone before the answer")
        << Trouble::GoneBeforeTheAnswer << true << false << "file not found"
        << "c.bmp";
    QTest::newRow("folder without write permission")
        << Trouble::FolderNotWritable << true << false << "Permission denied"
        << "b.bmp";
}

void TestDeletion::torture() {
    QFETCH(Trouble, trouble);
    QFETCH(bool, asked);
    QFETCH(bool, deleted);
    QFETCH(QString, reason);
    QFETCH(QString, selectedAfter);
    if (trouble == Trouble::FolderNotWritable && ::geteuid() == 0)
        QSKIP("root deletes from a folder it may not write to");

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString root = dir.path();
    const QString folder = root + "/pics";
    const QString target = root + "/elsewhere/t.bmp";
    const QString victim = folder + "/b.bmp";
    QVERIFY(QDir().mkdir(folder));
    QVERIFY(QDir().mkdir(root + "/elsewhere"));
    WriteThreePictures(folder);
    support::WritePicture(target, 50, 25, Qt::blue);
    // Lets the temporary folder be removed whatever the test did to its permissions.
    const auto restore = qScopeGuard(
        [&] { fs::permissions(NativePath(folder), fs::perms::owner_all, fs::perm_options::add); });

    switch (trouble) {
    case Trouble::ReadOnlyFile:
        fs::permissions(NativePath(victim), fs::perms::owner_read | fs::perms::group_read);
        break;
    case Trouble::LinkToReadOnlyFile:
        fs::permissions(NativePath(target), fs::perms::owner_read);
        [[fallthrough]];
    case Trouble::LinkToFile:
    case Trouble::LinkReplacedByFile:
        QVERIFY(QFile::remove(victim));
        QVERIFY(QFile::link(target, victim));
        break;
    default:
        break;
    }

    MainForm& form = BrowserWithFocusOnFiles(folder);
    const QMap<QString, QString> sizeTexts = SizeTexts(form);
    form.File1.setListIndex(1);
    QCOMPARE(form.File1.FileName(), QStringLiteral("b.bmp"));

    switch (trouble) {
    case Trouble::GoneBeforeTheKey:
        QVERIFY(QFile::remove(victim));
        break;
    case Trouble::FolderNotWritable:
        fs::permissions(NativePath(folder), fs::perms::owner_read | fs::perms::owner_exec);
        break;
    default:
        break;
    }

    // What exists when the user answers: the only change allowed after it is the victim gone.
    QMap<QString, QString> atAnswer = Snapshot(root);
    const auto changeBeforeAnswer = [&] {
        switch (trouble) {
        case Trouble::FileReplacedByFolder:
            QFile::remove(victim);
            QDir().mkdir(victim);
            break;
        case Trouble::FileReplacedByFile:
        case Trouble::LinkReplacedByFile:
            QFile::remove(victim);
            support::WritePicture(victim, 20, 20, Qt::green);
            break;
        case Trouble::FileReplacedByLink:
            QFile::remove(victim);
            QFile::link(target, victim);
            break;
        case Trouble::GoneBeforeTheAnswer:
            QFile::remove(victim);
            break;
        default:
            break;
        }
        atAnswer = Snapshot(root);
    };

    BoxAnswerer box(BoxAnswerer::How::Ok, changeBeforeAnswer);
    PressInFileList(form, Qt::Key_Delete);

    QCOMPARE(box.shown, asked ? 1 : 0);
    QMap<QString, QString> expected = atAnswer;
    if (deleted)
        QVERIFY(expected.remove("pics/b.bmp") == 1);
    QCOMPARE(Snapshot(root), expected);
    QCOMPARE(form.File1.FileName(), selectedAfter);
    const QString status = form.statbar.StatusText();
    if (reason.isEmpty()) {
        QCOMPARE(status, sizeTexts[selectedAfter]);
    } else {
        QVERIFY2(status.startsWith(QDir::toNativeSeparators(victim) + ": "), qPrintable(status));
        QVERIFY2(status.contains(reason), qPrintable(status));
    }
}

QTEST_MAIN(TestDeletion)
#include "tst_deletion.moc"
