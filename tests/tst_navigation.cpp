// Browsing with the browser window's three lists: the start, opening folders, which files are
// listed, folders that cannot be listed, the drive list's memory, and ending the program.
#include "Support.h"

#include "forms/Drives.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <array>
#include <memory>

namespace {

using support::ShowActive;

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

int RowOf(const forms::DirListBox& dir, const QString& folder) {
    for (int i = 0; i < dir.ListCount(); ++i)
        if (dir.List(i) == Native(folder))
            return i;
    return -1;
}

// Opens a folder of the folder list by double-click, or by the arrow keys and Enter.
void OpenInFolderList(MainForm& form, const QString& folder, bool doubleClick = false) {
    auto* list = qobject_cast<QListWidget*>(form.Dir1.widget());
    const int row = RowOf(form.Dir1, folder);
    QVERIFY2(row >= 0, qPrintable(folder));
    if (doubleClick) {
        list->scrollToItem(list->item(row));
        const QPoint centre = list->visualItemRect(list->item(row)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, centre);
        return;
    }
    list->setFocus();
    while (list->currentRow() != row)
        QTest::keyClick(list, list->currentRow() < row ? Qt::Key_Down : Qt::Key_Up);
    QTest::keyClick(list, Qt::Key_Return);
}

// Both lists show `folder`, its files as `files`, none selected.
void VerifyAt(MainForm& form, const QString& folder, const QStringList& files) {
    QCOMPARE(form.Dir1.Path(), Native(folder));
    QCOMPARE(form.File1.Path(), form.Dir1.Path());
    QCOMPARE(support::Entries(form.File1), files);
    QCOMPARE(form.File1.ListIndex(), -1);
}

} // namespace

class NavigationTest : public QObject {
    Q_OBJECT

    QString startFolder_ = QDir::currentPath();
    std::unique_ptr<QTemporaryDir> tree_;
    QString root_;
    QString sub_;

private slots:
    // Each test starts in a fresh working folder: a.jpg, notes.txt, sub/ (b.bmp, c.jpg,
    // deeper/), empty/
    void init() {
        tree_ = std::make_unique<QTemporaryDir>();
        root_ = QDir(tree_->path()).canonicalPath();
        sub_ = root_ + "/sub";
        QVERIFY(QDir(root_).mkpath("sub/deeper") && QDir(root_).mkpath("empty"));
        support::WritePicture(root_ + "/a.jpg", 40, 30);
        QVERIFY(support::WriteFile(root_ + "/notes.txt"));
        support::WritePicture(sub_ + "/b.bmp", 10, 50);
        support::WritePicture(sub_ + "/c.jpg", 10, 50);
        QVERIFY(QDir::setCurrent(root_));
    }

    void cleanup() {
        support::UnloadAll();
        QDir::setCurrent(startFolder_);
        QFile::setPermissions(sub_, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        tree_.reset();
    }

    void openingAFolder_data() {
        support::Column<bool>("doubleClick",
                              {{"double-click", true}, {"arrow keys and Enter", false}});
    }

    void openingAFolder() {
        QFETCH(bool, doubleClick);
        MainForm& form = *frmMain;
        VerifyAt(form, root_, {"a.jpg"}); // the working folder at start
        QCOMPARE(form.Drive1.Drive(), forms::DriveOf(root_));
        // Ancestors, the folder itself, then its subfolders.
        QCOMPARE(form.Dir1.List(0), Native(QDir::rootPath()));
        QCOMPARE(RowOf(form.Dir1, root_ + "/empty"), RowOf(form.Dir1, root_) + 1);
        QCOMPARE(RowOf(form.Dir1, sub_), RowOf(form.Dir1, root_) + 2);
        QVERIFY(ShowActive(form));
        form.File1.setListIndex(0);
        const QString status = form.statbar.StatusText();
        QVERIFY(status.startsWith("size : "));
        const pictures::Picture shown = form.pic1.Picture();

        OpenInFolderList(form, sub_, doubleClick);
        VerifyAt(form, sub_, {"b.bmp", "c.jpg"});
        // The preview still shows the file of the folder left behind.
        QCOMPARE(form.statbar.StatusText(), status);
        QVERIFY(form.pic1.Picture() == shown);
        QVERIFY(form.pic1.Visible());

        OpenInFolderList(form, root_, doubleClick); // back up through an ancestor
        VerifyAt(form, root_, {"a.jpg"});
    }

    void fileList_data() {
        // "name" a file, "name/" a folder, "name->target" a symbolic link (its target made as a
        // file when it ends in "!"); then what the list shows.
        QTest::addColumn<QStringList>("make");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("pattern"); // set by a caller, else the window's own
        const auto row = [](const char* name, QStringList make, QStringList listed,
                            const QString& pattern = {}) {
            QTest::newRow(name) << make << listed << pattern;
        };
        row("all seven, any case",
            {"a.gif", "PHOTO.JPG", "c.Jpeg", "d.bmp", "e.ICO", "f.wmf", "g.EmF"},
            {"a.gif", "c.Jpeg", "d.bmp", "e.ICO", "f.wmf", "g.EmF", "PHOTO.JPG"});
        row("other or inner extension", {"a.png", "a.jpg.txt", "jpg", "b.jpg"}, {"b.jpg"});
        row("folder named like a picture", {"x.jpg/"}, {});
        row("links", {"link.jpg->t.dat!", "gone.jpg->none.jpg", "d/", "dir.jpg->d"}, {"link.jpg"});
        row("hidden file", {".hidden.jpg"}, {});
        row("sorted without regard to case", {"b.gif", "C.bmp", "A.jpg", "a.gif", "B2.ico"},
            {"a.gif", "A.jpg", "b.gif", "B2.ico", "C.bmp"});
        const QStringList names{"README", "x.tar.gz", "ab.GIF", "abc.gif"};
        row("pattern *.*", names, {"ab.GIF", "abc.gif", "README", "x.tar.gz"}, "*.*");
        row("pattern ?b.gif", names, {"ab.GIF"}, "?b.gif");
        row("pattern *.t*.*", names, {"x.tar.gz"}, "*.t*.*");
        row("patterns *.gz; readme", names, {"README", "x.tar.gz"}, "*.gz; readme");
    }

    void fileList() {
        QFETCH(QStringList, make);
        QFETCH(QStringList, listed);
        QFETCH(QString, pattern);
        const QDir dir(root_ + "/case");
        QVERIFY(QDir(root_).mkdir("case"));
        for (const QString& entry : make) {
            const QStringList link = entry.split("->");
            if (entry.endsWith('/')) {
                QVERIFY(dir.mkdir(entry.chopped(1)));
            } else if (link.size() == 1) {
                QVERIFY(support::WriteFile(dir.filePath(entry)));
            } else {
                QString target = link[1];
                if (target.endsWith('!'))
                    QVERIFY(support::WriteFile(dir.filePath(target.chopped(1))));
                QVERIFY(QFile::link(target.remove('!'), dir.filePath(link[0])));
            }
        }
        MainForm& form = support::BrowserAt(dir.path());
        if (!pattern.isEmpty())
            form.File1.setPattern(pattern);
        VerifyAt(form, dir.path(), listed);
    }

    // Choosing or typing in the filter box, and opening the drive list (which reads the volumes
    // again), move nothing.
    void otherChoicesChangeNothing() {
        MainForm& form = *frmMain;
        QVERIFY(ShowActive(form));
        // Tabbing into the file list selects and previews nothing.
        form.File1.widget()->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY(form.File1.widget()->hasFocus());
        QCOMPARE(form.File1.ListIndex(), -1);
        QCOMPARE(form.statbar.StatusText(), QString());
        form.File1.setListIndex(0);
        const QString drive = form.Drive1.Drive();
        auto* drives = qobject_cast<QComboBox*>(form.Drive1.widget());
        drives->showPopup();
        QTRY_VERIFY(drives->view()->isVisible());
        drives->hidePopup();
        // The filter box is locked: its list does not open, and its text stays.
        auto* combo = qobject_cast<QComboBox*>(form.filter.widget());
        combo->setFocus();
        combo->showPopup();
        QVERIFY(!combo->view()->isVisible());
        for (Qt::Key key : {Qt::Key_Down, Qt::Key_PageDown, Qt::Key_End, Qt::Key_Return})
            QTest::keyClick(combo, key);
        combo->lineEdit()->selectAll(); // Return would take the list's first match
        QTest::keyClick(combo, Qt::Key_Return);
        QTest::keyClicks(combo->lineEdit(), "*.txt");
        QTest::keyClick(combo, Qt::Key_Return);
        QCOMPARE(form.filter.Text(), QString("*.gif;*.jpg;*.bmp;*.ico;*.wmf;*.emf;*.jpeg"));
        QCOMPARE(form.File1.Pattern(), QString("*.gif;*.jpg;*.jpeg;*.bmp;*.ico;*.wmf;*.emf"));
        QCOMPARE(support::Entries(form.File1), QStringList{"a.jpg"});
        QCOMPARE(form.File1.ListIndex(), 0);
        QCOMPARE(form.Dir1.Path(), Native(root_));
        QCOMPARE(form.Drive1.Drive(), drive);
    }

    void unlistableFolder_data() {
        support::Column<bool>("removed", {{"no permission", false}, {"removed meanwhile", true}});
    }

    void unlistableFolder() {
        QFETCH(bool, removed);
        MainForm& form = *frmMain;
        QVERIFY(ShowActive(form));
        if (removed)
            QVERIFY(QDir(sub_).removeRecursively());
        else if (!QFile::setPermissions(sub_, {}) || QDir(sub_).entryList().size() > 0)
            QSKIP("permissions do not keep this user from listing a folder (root)");

        OpenInFolderList(form, sub_);
        QVERIFY(form.Visible());
        VerifyAt(form, sub_, {});
        const QString status = form.statbar.StatusText();
        QVERIFY2(status.startsWith(QFileInfo(sub_).fileName() + ": cannot list"),
                 qPrintable(status));
        OpenInFolderList(form, root_); // browsing goes on from there
        VerifyAt(form, root_, {"a.jpg"});
    }

    // Each drive keeps the last folder visited on it in this run; on the drive in use its mount
    // point is its root folder.
    void choosingADrive() {
        const QString root = forms::DriveOf(QDir::rootPath());
        QTemporaryDir other(QStringLiteral("/dev/shm/lumbrik-XXXXXX"));
        if (!other.isValid() || forms::DriveOf(other.path()) == root)
            QSKIP("no writable folder on a volume other than the root file system's");
        const QString start = QDir(other.path()).canonicalPath();
        QVERIFY(QDir(start).mkdir("inner"));
        support::WritePicture(start + "/inner/p.jpg", 20, 20);
        QVERIFY(QDir::setCurrent(start));

        MainForm& form = *frmMain;
        QVERIFY(ShowActive(form));
        const QString drive = forms::DriveOf(start);
        QCOMPARE(form.Drive1.Drive(), drive);
        OpenInFolderList(form, start + "/inner", true);
        form.File1.setListIndex(0);
        const QString status = form.statbar.StatusText();
        auto* combo = qobject_cast<QComboBox*>(form.Drive1.widget());

        const auto choose = [&](const QString& wanted) {
            const int index = combo->findData(wanted);
            QVERIFY(index >= 0);
            while (combo->currentIndex() != index)
                QTest::keyClick(combo, combo->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
        };
        choose(root); // not visited yet in this run: its root
        QCOMPARE(form.Drive1.Drive(), root);
        QCOMPARE(form.Dir1.Path(), Native(QDir::rootPath()));
        QCOMPARE(form.File1.Path(), form.Dir1.Path());
        QCOMPARE(form.statbar.StatusText(), status);
        choose(drive);
        VerifyAt(form, start + "/inner", {"p.jpg"});
        form.Dir1.setPath(drive);
        QCOMPARE(form.Dir1.Path(), drive);
    }

    void endingTheProgram_data() {
        // Escape in File1, Dir1, Drive1, filter; else Exit
        support::Column<int>("focused", {{"Escape in the file list", 0},
                                         {"Escape in the folder list", 1},
                                         {"Escape in the drive list", 2},
                                         {"Escape in the filter box", 3},
                                         {"File, Exit", 4}});
    }

    void endingTheProgram() {
        QFETCH(int, focused);
        MainForm& form = *frmMain;
        QVERIFY(ShowActive(form));
        form.File1.setListIndex(0);
        QSignalSpy ended(&forms::App, &forms::Application::lastFormUnloaded);
        const std::array<QWidget*, 4> controls{form.File1.widget(), form.Dir1.widget(),
                                               form.Drive1.widget(), form.filter.widget()};
        if (focused == 4) {
            form.exit.action()->trigger();
        } else {
            QWidget* widget = controls[focused];
            widget->setFocus();
            QTRY_VERIFY(widget->isAncestorOf(QApplication::focusWidget()) || widget->hasFocus());
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        }
        QCOMPARE(ended.count(), 1);
        QVERIFY(!frmMain.IsLoaded());
    }
};

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
