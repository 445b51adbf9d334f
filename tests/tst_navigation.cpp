// Browsing with the browser window's three lists: the state at start, opening folders through
// the folder list, which files the file list shows, folders that cannot be listed, the drive
// list's memory, and closing the window with Escape or File > Exit.
#include "Support.h"

#include "forms/Drives.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

namespace {

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QStringList Entries(const forms::FileListBox& list) {
    QStringList names;
    for (int i = 0; i < list.ListCount(); ++i)
        names.append(list.List(i));
    return names;
}

QListWidget* ListOf(const forms::DirListBox& dir) {
    return qobject_cast<QListWidget*>(dir.widget());
}

// The row of the folder list that stands for `folder`, or -1.
int RowOf(const forms::DirListBox& dir, const QString& folder) {
    for (int i = 0; i < dir.ListCount(); ++i)
        if (dir.List(i) == Native(folder))
            return i;
    return -1;
}

bool MakeFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

// How the user opens a folder of the folder list.
enum class Opening { DoubleClick, ArrowsAndEnter };

void OpenInFolderList(MainForm& form, const QString& folder, Opening how) {
    QListWidget* list = ListOf(form.Dir1);
    const int row = RowOf(form.Dir1, folder);
    QVERIFY2(row >= 0, qPrintable(folder));
    if (how == Opening::DoubleClick) {
        list->scrollToItem(list->item(row));
        const QPoint centre = list->visualItemRect(list->item(row)).center();
        // Press, release, then the second press that the window system reports as a
        // double-click, and its release.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, centre);
        return;
    }
    list->setFocus();
    while (list->currentRow() < row)
        QTest::keyClick(list, Qt::Key_Down);
    while (list->currentRow() > row)
        QTest::keyClick(list, Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
}

// Shows the browser and makes it the active window, so that keys reach the focused control.
[[nodiscard]] bool ShowActive(MainForm& form) {
    form.setVisible(true);
    form.window()->activateWindow();
    return QTest::qWaitForWindowActive(form.window());
}

// A writable folder on a volume other than the root file system's, or an empty string.
QString OtherVolumeFolder() {
    const QString root = forms::DriveOf(QDir::rootPath());
    for (const QString& candidate : {QDir::tempPath(), QStringLiteral("/dev/shm")}) {
        if (QFileInfo(candidate).isDir() && QFileInfo(candidate).isWritable() &&
            forms::DriveOf(candidate) != root)
            return candidate;
    }
    return {};
}

} // namespace

Q_DECLARE_METATYPE(Opening)

class NavigationTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void startsAtWorkingFolder();
    void openingAFolder_data();
    void openingAFolder();
    void fileList_data();
    void fileList();
    void patternSetByCaller_data();
    void patternSetByCaller();
    void filterChoiceChangesNothing();
    void unlistableFolder_data();
    void unlistableFolder();
    void mountPointOfDriveInUse();
    void choosingADrive();
    void openingTheDriveList();
    void escapeEndsProgram_data();
    void escapeEndsProgram();
    void exitEndsProgram();

private:
    QString startFolder_;
    std::unique_ptr<QTemporaryDir> tree_;
    QString root_;
    QString sub_;
};

void NavigationTest::initTestCase() {
    startFolder_ = QDir::currentPath();
}

// Each test starts in a fresh tree, as the working folder the lists start at:
//   a.jpg (40 x 30), notes.txt, sub/ (b.bmp, c.jpg, deeper/), empty/
void NavigationTest::init() {
    tree_ = std::make_unique<QTemporaryDir>();
    QVERIFY(tree_->isValid());
    root_ = QDir(tree_->path()).canonicalPath();
    sub_ = root_ + "/sub";
    QVERIFY(QDir(root_).mkpath("sub/deeper"));
    QVERIFY(QDir(root_).mkpath("empty"));
    support::WritePicture(root_ + "/a.jpg", 40, 30);
    QVERIFY(MakeFile(root_ + "/notes.txt"));
    support::WritePicture(sub_ + "/b.bmp", 10, 50);
    support::WritePicture(sub_ + "/c.jpg", 10, 50);
    QVERIFY(QDir::setCurrent(root_));
}

void NavigationTest::cleanup() {
    support::UnloadAll();
    QDir::setCurrent(startFolder_);
    // A folder made unreadable by a test must be removable again.
    QFile::setPermissions(sub_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    tree_.reset();
}

void NavigationTest::cleanupTestCase() {
    QDir::setCurrent(startFolder_);
}

void NavigationTest::startsAtWorkingFolder() {
    MainForm& form = *frmMain;
    QCOMPARE(form.Dir1.Path(), Native(root_));
    QCOMPARE(form.File1.Path(), form.Dir1.Path());
    QCOMPARE(Entries(form.File1), QStringList{"a.jpg"});
    QCOMPARE(form.File1.ListIndex(), -1);
    QCOMPARE(form.File1.FileName(), QString());
    QCOMPARE(form.Drive1.Drive(), forms::DriveOf(root_));
    QVERIFY(form.statbar.StatusText().isEmpty());
    // The folder list shows the ancestors, the folder itself, then its subfolders.
    QCOMPARE(form.Dir1.List(0), Native(QDir::rootPath()));
    QVERIFY(RowOf(form.Dir1, root_) >= 0);
    QCOMPARE(RowOf(form.Dir1, sub_), RowOf(form.Dir1, root_) + 2); // empty, then sub
    QCOMPARE(RowOf(form.Dir1, root_ + "/empty"), RowOf(form.Dir1, root_) + 1);
}

void NavigationTest::openingAFolder_data() {
    QTest::addColumn<Opening>("how");
    QTest::newRow("double-click") << Opening::DoubleClick;
    QTest::newRow("arrow keys and Enter") << Opening::ArrowsAndEnter;
}

void NavigationTest::openingAFolder() {
    QFETCH(Opening, how);

    MainForm& form = *frmMain;
    QVERIFY(ShowActive(form));
    form.File1.setListIndex(0);
    QCOMPARE(form.File1.FileName(), QString("a.jpg"));
    const QString status = form.statbar.StatusText();
    QVERIFY(status.startsWith("size : "));
    const double shownWidth = form.pic1.Picture().Width();
    const double shownHeight = form.pic1.Picture().Height();

    OpenInFolderList(form, sub_, how);
    QCOMPARE(form.Dir1.Path(), Native(sub_));
    QCOMPARE(form.File1.Path(), form.Dir1.Path());
    QCOMPARE(Entries(form.File1), (QStringList{"b.bmp", "c.jpg"}));
    QCOMPARE(form.File1.ListIndex(), -1);
    QCOMPARE(form.File1.FileName(), QString());
    // The preview still shows the file of the folder left behind.
    QCOMPARE(form.statbar.StatusText(), status);
    QCOMPARE(form.pic1.Picture().Width(), shownWidth);
    QCOMPARE(form.pic1.Picture().Height(), shownHeight);
    QVERIFY(form.pic1.Visible());

    // Back up through an ancestor's entry.
    OpenInFolderList(form, root_, how);
    QCOMPARE(form.Dir1.Path(), Native(root_));
    QCOMPARE(form.File1.Path(), form.Dir1.Path());
    QCOMPARE(Entries(form.File1), QStringList{"a.jpg"});
    QCOMPARE(form.File1.ListIndex(), -1);
    QCOMPARE(form.statbar.StatusText(), status);

    // A folder without pictures.
    OpenInFolderList(form, root_ + "/empty", how);
    QCOMPARE(form.File1.Path(), Native(root_ + "/empty"));
    QCOMPARE(form.File1.ListCount(), 0);
}

void NavigationTest::fileList_data() {
    // Entries to make, one a string: "name" a file, "name/" a folder, "name->target" a
    // symbolic link (the target relative to the folder, made as a file when it ends in
    // "!"), and the list the folder must show.
    QTest::addColumn<QStringList>("make");
    QTest::addColumn<QStringList>("listed");

    QTest::newRow("extension in capitals") << QStringList{"PHOTO.JPG"} << QStringList{"PHOTO.JPG"};
    QTest::newRow("all seven, mixed case")
        << QStringList{"a.gif", "b.JPG", "c.Jpeg", "d.bmp", "e.ICO", "f.wmf", "g.EmF"}
        << QStringList{"a.gif", "b.JPG", "c.Jpeg", "d.bmp", "e.ICO", "f.wmf", "g.EmF"};
    QTest::newRow("other extension") << QStringList{"a.png", "a.jpg"} << QStringList{"a.jpg"};
    QTest::newRow("extension not last") << QStringList{"a.jpg.txt"} << QStringList{};
    QTest::newRow("extension without a dot") << QStringList{"jpg", "ajpg"} << QStringList{};
    QTest::newRow("folder named like a picture") << QStringList{"x.jpg/"} << QStringList{};
    QTest::newRow("link to a file")
        << QStringList{"link.jpg->target.dat!"} << QStringList{"link.jpg"};
    QTest::newRow("link to nothing") << QStringList{"gone.jpg->missing.jpg"} << QStringList{};
    QTest::newRow("link to a folder") << QStringList{"d/", "dir.jpg->d"} << QStringList{};
    QTest::newRow("hidden file") << QStringList{".hidden.jpg", "shown.jpg"}
                                 << QStringList{"shown.jpg"};
    QTest::newRow("sorted without regard to case")
        << QStringList{"b.gif", "C.bmp", "A.jpg", "a.gif", "B2.ico"}
        << QStringList{"a.gif", "A.jpg", "b.gif", "B2.ico", "C.bmp"};
}

void NavigationTest::fileList() {
    QFETCH(QStringList, make);
    QFETCH(QStringList, listed);

    const QString folder = root_ + "/case";
    QVERIFY(QDir(root_).mkdir("case"));
    const QDir dir(folder);
    for (const QString& entry : make) {
        if (entry.endsWith('/')) {
            QVERIFY(dir.mkdir(entry.chopped(1)));
        } else if (const qsizetype arrow = entry.indexOf("->"); arrow >= 0) {
            QString target = entry.mid(arrow + 2);
            if (target.endsWith('!')) {
                target.chop(1);
                QVERIFY(MakeFile(dir.filePath(target)));
            }
            QVERIFY(QFile::link(target, dir.filePath(entry.left(arrow))));
        } else {
            QVERIFY(MakeFile(dir.filePath(entry)));
        }
    }

    MainForm& form = support::BrowserAt(folder);
    QCOMPARE(form.File1.Path(), Native(folder));
    QCOMPARE(form.File1.Path(), form.Dir1.Path());
    QCOMPARE(Entries(form.File1), listed);
    QCOMPARE(form.File1.ListIndex(), -1);
}

// The file list's Pattern property beyond the window's own pattern: wildcards anywhere, several
// patterns, and "*.*" for every file.
void NavigationTest::patternSetByCaller_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("listed");

    // The folder holds: a.jpg, notes.txt, README, x.tar.gz, ab.GIF, abc.gif
    QTest::newRow("every file") << "*.*" << QStringList{"a.jpg",     "ab.GIF", "abc.gif",
                                                        "notes.txt", "README", "x.tar.gz"};
    QTest::newRow("everything") << "*" << QStringList{"a.jpg",     "ab.GIF", "abc.gif",
                                                      "notes.txt", "README", "x.tar.gz"};
    QTest::newRow("one character") << "?b.gif" << QStringList{"ab.GIF"};
    QTest::newRow("star inside") << "a*c.GIF" << QStringList{"abc.gif"};
    QTest::newRow("two stars") << "*.t*.*" << QStringList{"x.tar.gz"};
    QTest::newRow("whole name, any case") << "readme" << QStringList{"README"};
    QTest::newRow("several, spaced") << "*.txt; *.gz" << QStringList{"notes.txt", "x.tar.gz"};
    QTest::newRow("no wildcard part") << ".gif" << QStringList{};
}

void NavigationTest::patternSetByCaller() {
    QFETCH(QString, pattern);
    QFETCH(QStringList, listed);

    for (const char* name : {"README", "x.tar.gz", "ab.GIF", "abc.gif"})
        QVERIFY(MakeFile(root_ + '/' + name));
    MainForm& form = *frmMain;
    form.File1.setPattern(pattern);
    QCOMPARE(form.File1.Pattern(), pattern);
    QCOMPARE(Entries(form.File1), listed);
}

void NavigationTest::filterChoiceChangesNothing() {
    MainForm& form = *frmMain;
    QVERIFY(ShowActive(form));
    form.File1.setListIndex(0);
    const QString pattern = form.File1.Pattern();

    auto* combo = qobject_cast<QComboBox*>(form.filter.widget());
    QVERIFY(combo);
    const int all = combo->findText("*.*");
    QVERIFY(all >= 0);
    combo->setFocus();
    while (combo->currentIndex() < all)
        QTest::keyClick(combo, Qt::Key_Down);
    QCOMPARE(combo->currentText(), QString("*.*"));
    QTest::keyClick(combo, Qt::Key_Return);
    // Typed in as well.
    combo->lineEdit()->selectAll();
    QTest::keyClicks(combo->lineEdit(), "*.txt");
    QTest::keyClick(combo, Qt::Key_Return);

    QCOMPARE(form.File1.Pattern(), pattern);
    QCOMPARE(Entries(form.File1), QStringList{"a.jpg"});
    QCOMPARE(form.File1.ListIndex(), 0);
    QCOMPARE(form.File1.Path(), Native(root_));
    QCOMPARE(form.Dir1.Path(), Native(root_));
}

void NavigationTest::unlistableFolder_data() {
    QTest::addColumn<bool>("removed");
    QTest::newRow("no permission") << false;
    QTest::newRow("removed meanwhile") << true;
}

void NavigationTest::unlistableFolder() {
    QFETCH(bool, removed);

    MainForm& form = *frmMain;
    QVERIFY(ShowActive(form));
    form.File1.setListIndex(0);
    if (removed) {
        QVERIFY(QDir(sub_).removeRecursively());
    } else {
        QVERIFY(QFile::setPermissions(sub_, {}));
        if (QDir(sub_).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size() > 0)
            QSKIP("permissions do not keep this user from listing a folder (root)");
    }

    OpenInFolderList(form, sub_, Opening::ArrowsAndEnter);
    QVERIFY(frmMain.IsLoaded());
    QVERIFY(form.Visible());
    QCOMPARE(form.Dir1.Path(), Native(sub_));
    QCOMPARE(form.File1.Path(), form.Dir1.Path());
    QCOMPARE(form.File1.ListCount(), 0);
    QCOMPARE(form.File1.FileName(), QString());
    const QString status = form.statbar.StatusText();
    QVERIFY2(status.contains(Native(sub_)) && status.contains("cannot list"), qPrintable(status));

    // Browsing goes on from there.
    OpenInFolderList(form, root_, Opening::ArrowsAndEnter);
    QCOMPARE(form.Dir1.Path(), Native(root_));
    QCOMPARE(form.File1.Path(), form.Dir1.Path());
    QCOMPARE(Entries(form.File1), QStringList{"a.jpg"});
}

// On the drive in use its mount point is just its root folder; another drive's mount point
// stands for the last folder visited there (choosingADrive).
void NavigationTest::mountPointOfDriveInUse() {
    MainForm& form = support::BrowserAt(sub_);
    const QString drive = forms::DriveOf(sub_);
    OpenInFolderList(form, sub_ + "/deeper", Opening::DoubleClick);
    QCOMPARE(form.Dir1.Path(), Native(sub_ + "/deeper"));

    form.Dir1.setPath(drive);
    QCOMPARE(form.Dir1.Path(), drive);
    QCOMPARE(form.File1.Path(), form.Dir1.Path());
}

void NavigationTest::choosingADrive() {
    // The tree must stand on a volume of its own beside the root file system.
    const QString base = OtherVolumeFolder();
    if (base.isEmpty())
        QSKIP("no writable folder here on a volume other than the root file system's");
    QTemporaryDir other(base + "/lumbrik-XXXXXX");
    QVERIFY(other.isValid());
    const QString start = QDir(other.path()).canonicalPath();
    QVERIFY(QDir(start).mkdir("inner"));
    support::WritePicture(start + "/inner/p.jpg", 20, 20);
    QVERIFY(QDir::setCurrent(start));

    MainForm& form = *frmMain;
    QVERIFY(ShowActive(form));
    const QString drive = forms::DriveOf(start);
    const QString rootDrive = forms::DriveOf(QDir::rootPath());
    QCOMPARE(form.Drive1.Drive(), drive);
    OpenInFolderList(form, start + "/inner", Opening::DoubleClick);
    form.File1.setListIndex(0);
    const QString status = form.statbar.StatusText();

    auto* combo = qobject_cast<QComboBox*>(form.Drive1.widget());
    QVERIFY(combo);
    const auto choose = [&](const QString& wanted) {
        const int index = combo->findData(wanted);
        QVERIFY(index >= 0);
        while (combo->currentIndex() < index)
            QTest::keyClick(combo, Qt::Key_Down);
        while (combo->currentIndex() > index)
            QTest::keyClick(combo, Qt::Key_Up);
    };

    // Not visited yet in this run: its root.
    choose(rootDrive);
    QCOMPARE(form.Drive1.Drive(), rootDrive);
    QCOMPARE(form.Dir1.Path(), Native(QDir::rootPath()));
    QCOMPARE(form.File1.Path(), form.Dir1.Path());
    QCOMPARE(form.File1.ListIndex(), -1);
    QCOMPARE(form.statbar.StatusText(), status);

    choose(drive);
    QCOMPARE(form.Dir1.Path(), Native(start + "/inner"));
    QCOMPARE(form.File1.Path(), form.Dir1.Path());
    QCOMPARE(Entries(form.File1), QStringList{"p.jpg"});
    QCOMPARE(form.File1.ListIndex(), -1);
}

// Opening the list reads the mounted volumes again; the choice stays and nothing moves.
void NavigationTest::openingTheDriveList() {
    MainForm& form = *frmMain;
    QVERIFY(ShowActive(form));
    form.File1.setListIndex(0);
    const QString drive = form.Drive1.Drive();
    const int drives = form.Drive1.ListCount();

    auto* combo = qobject_cast<QComboBox*>(form.Drive1.widget());
    QVERIFY(combo);
    combo->showPopup();
    QTRY_VERIFY(combo->view()->isVisible());
    QCOMPARE(form.Drive1.Drive(), drive);
    QCOMPARE(form.Drive1.ListCount(), drives);
    QCOMPARE(combo->currentText(), combo->itemText(combo->findData(drive)));
    combo->hidePopup();

    QCOMPARE(form.Dir1.Path(), Native(root_));
    QCOMPARE(form.File1.ListIndex(), 0);
}

void NavigationTest::escapeEndsProgram_data() {
    QTest::addColumn<QString>("focused");
    QTest::newRow("file list") << "File1";
    QTest::newRow("folder list") << "Dir1";
    QTest::newRow("drive list") << "Drive1";
    QTest::newRow("filter box") << "filter";
}

void NavigationTest::escapeEndsProgram() {
    QFETCH(QString, focused);

    MainForm& form = *frmMain;
    QVERIFY(ShowActive(form));
    form.File1.setListIndex(0);
    QWidget* widget = focused == "File1"    ? form.File1.widget()
                      : focused == "Dir1"   ? form.Dir1.widget()
                      : focused == "Drive1" ? form.Drive1.widget()
                                            : form.filter.widget();
    widget->setFocus();
    QTRY_VERIFY(widget->hasFocus() || widget->isAncestorOf(QApplication::focusWidget()));

    QSignalSpy ended(&forms::App, &forms::Application::lastFormUnloaded);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    QCOMPARE(ended.count(), 1);
    QVERIFY(!frmMain.IsLoaded());
}

void NavigationTest::exitEndsProgram() {
    MainForm& form = *frmMain;
    QVERIFY(ShowActive(form));
    QSignalSpy ended(&forms::App, &forms::Application::lastFormUnloaded);
    QCOMPARE(form.exit.Caption(), QString("Exit"));
    form.exit.action()->trigger();
    QCOMPARE(ended.count(), 1);
    QVERIFY(!frmMain.IsLoaded());
}

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
