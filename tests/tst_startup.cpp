// Start-up and About: the splash hands over to the browser after its timer or at a click on its
// surface, ignores everything else, and serves again as the About window.
#include "Support.h"

#include "app/GivenPath.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>

namespace {

// The program's start: the platform loads and shows the start-up window.
void Start() {
    frmSplash->setVisible(true);
    QVERIFY(QTest::qWaitForWindowExposed(frmSplash->window()));
}

// A place a person clicks on the splash window, in the coordinates of the widget returned.
std::pair<QWidget*, QPoint> SplashSpot(const QString& where) {
    SplashForm& s = *frmSplash;
    const QMap<QString, std::pair<QWidget*, QPoint>> spots{
        {"surface", {s.client(), {3, 2}}},          {"frame", {s.Frame1.widget(), {350, 50}}},
        {"Label2", {s.Label2.widget(), {5, 5}}},    {"Label3", {s.Label3.widget(), {5, 5}}},
        {"Image1", {s.Image1.widget(), {100, 60}}}, {"Image2", {s.Image2.widget(), {70, 50}}}};
    return spots.value(where);
}

void ClickOnSplash(const QString& where, bool twice = false) {
    const auto [widget, point] = SplashSpot(where);
    // Nothing else lies at that point.
    QVERIFY2(widget && widget->rect().contains(point) && !widget->childAt(point),
             qPrintable(where));
    QTest::mouseClick(widget, Qt::LeftButton, {}, point);
    if (twice)
        QTest::mouseDClick(widget, Qt::LeftButton, {}, point);
}

bool IsCentred(QWidget* window) {
    const QPoint centre = window->screen()->availableGeometry().center();
    return (window->frameGeometry().center() - centre).manhattanLength() <= 2;
}

// Records whether the splash was still loaded when the browser window was shown.
class ShowWatch : public QObject {
public:
    ShowWatch() { qApp->installEventFilter(this); }
    ~ShowWatch() override { qApp->removeEventFilter(this); }
    int browserShown = 0;
    bool splashLoadedThen = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && frmMain.IsLoaded() && watched == frmMain->window()) {
            ++browserShown;
            splashLoadedThen = frmSplash.IsLoaded();
        }
        return false;
    }
};

QStringList Captions(const QList<QAction*>& actions) {
    QStringList captions;
    for (const QAction* action : actions)
        captions << action->text();
    return captions;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(!frmMain.IsLoaded());
        QVERIFY(!frmSplash.IsLoaded());
        ended_ = std::make_unique<QSignalSpy>(&forms::App, &forms::Application::lastFormUnloaded);
    }

    void cleanup() {
        // No hand-over between the windows ever left the program without a window.
        QCOMPARE(ended_->size(), 0);
        support::UnloadAll();
    }

    void windowsAsDefined() {
        Start();
        SplashForm& splash = *frmSplash;
        QVERIFY(!splash.window()->windowFlags().testFlag(Qt::WindowTitleHint));
        QVERIFY(IsCentred(splash.window()));
        QVERIFY(!splash.window()->windowIcon().isNull());
        // The pictures, each in a box of its natural size.
        const auto size = [](const pictures::Picture& p) { return QSizeF(p.Width(), p.Height()); };
        QCOMPARE(size(splash.Image1.Picture()), QSizeF(250, 121) * 2540.0 / 96);
        QCOMPARE(size(splash.Image2.Picture()), QSizeF(142, 100) * 2540.0 / 96);

        MainForm& browser = *frmMain;
        QCOMPARE(Captions(browser.menuBar()->actions()), (QStringList{"File", "View", "Help"}));
        QCOMPARE(Captions(browser.file.menu()->actions()), QStringList{"Exit"});
        QCOMPARE(Captions(browser.View.menu()->actions()),
                 (QStringList{"Full Screen", "Slide Show", "Options"}));
        QCOMPARE(Captions(browser.help.menu()->actions()),
                 (QStringList{"How to Use", "About ", "Licence"}));
        // The pane shows the default picture until the first preview.
        QCOMPARE(size(browser.pic1.Picture()), size(splash.Image1.Picture()));

        // Shown for the first time, the drive list has the focus; Tab goes on in order.
        browser.setVisible(true);
        QVERIFY(QTest::qWaitForWindowActive(browser.window()));
        QTRY_COMPARE(QApplication::focusWidget(), browser.Drive1.widget());
        for (QWidget* next : {browser.Dir1.widget(), browser.File1.widget()}) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), next);
        }
    }

    // The program itself, run as a shell user runs it; help and version need no display.
    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out"); // its first line
        QTest::addColumn<QString>("err"); // lines it holds
        const QString usage = "Usage: Lumbrik [OPTION] [PICTURE | FOLDER]";
        QTest::newRow("--help") << QStringList{"--help"} << false << 0 << usage << "";
        QTest::newRow("-h, past a path") << QStringList{"x", "-h"} << false << 0 << usage << "";
        QTest::newRow("--version") << QStringList{"--version"} << false << 0 << "Lumbrik 1.00"
                                   << "";
        QTest::newRow("help wins over an unknown option")
            << QStringList{"--bogus", "--version", "--help"} << false << 0 << usage << "";
        QTest::newRow("unknown option, no display")
            << QStringList{"--bogus"} << false << 2 << ""
            << usage + "\nLumbrik: unknown option '--bogus'\n";
        QTest::newRow("unknown option") << QStringList{"-x", "a.gif"} << true << 2 << ""
                                        << usage + "\nLumbrik: unknown option '-x'\n";
        QTest::newRow("two paths, after Qt took its option")
            << QStringList{"-style", "fusion", "a.gif", "b.gif"} << true << 2 << ""
            << usage + "\nLumbrik: one picture or folder at most\n";
        QTest::newRow("an option after --") << QStringList{"--", "-h", "--help"} << false << 2 << ""
                                            << usage + "\nLumbrik: one picture or folder at most\n";
    }

    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        if (display)
            environment.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(environment);
        program.start(QCoreApplication::applicationDirPath() + "/Lumbrik", arguments);
        QVERIFY(program.waitForFinished(30000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        const QString standardOut = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString standardError = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(standardOut.section('\n', 0, 0), out);
        QVERIFY2(err.isEmpty() ? standardError.isEmpty() : standardError.contains(err),
                 qPrintable(standardError));
    }

    // A path on the command line that cannot be opened: standard error names it in full, the
    // status bar by its name, in a line that fits, and the browser starts in the working
    // folder (a file it does not list: in the file's folder). "%1" is a scratch folder.
    void givenPath_data() {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("folder"); // empty: the working folder
        const QString deep = "/no" + QString("/such-folder").repeated(12) + "/gone.gif";
        QTest::newRow("a missing picture") << "/no/such.jpg"
                                           << "such.jpg: no such file or folder"
                                           << "";
        QTest::newRow("a missing folder, a slash after it") << "/no/such folder/"
                                                            << "such folder: no such file or folder"
                                                            << "";
        QTest::newRow("a missing picture deep down") << deep << "gone.gif: no such file or folder"
                                                     << "";
        QTest::newRow("a file the list does not show")
            << "%1/notes.txt"
            << "notes.txt: not a picture the file list shows"
            << "%1";
    }

    void givenPath() {
        QFETCH(QString, argument);
        QFETCH(QString, status);
        QFETCH(QString, folder);
        QTemporaryDir scratch;
        QVERIFY(support::WriteFile(scratch.filePath("notes.txt")));
        argument = argument.arg(scratch.path());
        const QString working = QDir::currentPath();
        folder = folder.isEmpty() ? working : folder.arg(scratch.path());
        const QString full = QDir::cleanPath(argument);
        const QString reason = status.section(": ", 1);

        // The program itself, on a terminal.
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        program.setProcessEnvironment(environment);
        program.start(QCoreApplication::applicationDirPath() + "/Lumbrik", {argument});
        QByteArray standardError;
        QTRY_VERIFY_WITH_TIMEOUT(
            (standardError += program.readAllStandardError())
                .contains(QStringLiteral("Lumbrik: %1: %2\n").arg(full, reason).toLocal8Bit()),
            30000);
        program.kill();
        QVERIFY(program.waitForFinished(30000));

        // The browser's status bar.
        GivenPath given(argument);
        Start();
        ClickOnSplash("surface");
        QTRY_COMPARE(frmMain->statbar.StatusText(), status);
        const QLabel* line = nullptr;
        for (const QLabel* label : frmMain->window()->findChildren<QLabel*>())
            if (label->accessibleName() == "status")
                line = label;
        QVERIFY(line);
        QVERIFY(QFontMetrics(line->font()).horizontalAdvance(status) <=
                line->contentsRect().width());
        QCOMPARE(frmMain->Dir1.Path(), QDir::toNativeSeparators(folder));
        QVERIFY(QDir::setCurrent(working));
    }

    void nothingClickedHandsOverAfterTheTimer() {
        ShowWatch watch;
        // Started before the splash, so it comes due before the splash timer however slow the
        // start.
        bool browserEarly = true;
        const auto early = support::At(2500, [&] { browserEarly = frmMain.IsLoaded(); });
        Start();
        QTRY_VERIFY_WITH_TIMEOUT(frmMain.IsLoaded(), 30000);
        QVERIFY(!browserEarly);
        QVERIFY(frmMain->Visible());
        QVERIFY(frmMain->Enabled());
        QVERIFY(!frmSplash.IsLoaded());
        // The browser was shown first, the splash unloaded after it.
        QCOMPARE(watch.browserShown, 1);
        QVERIFY(watch.splashLoadedThen);
    }

    void clickHandsOverAtOnce_data() {
        support::Column<QString>("where",
                                 {{"window surface", "surface"}, {"frame's empty area", "frame"}});
    }

    void clickHandsOverAtOnce() {
        QFETCH(QString, where);
        ShowWatch watch;
        Start();
        const QPointer<QWidget> splashWindow = frmSplash->window();
        ClickOnSplash(where);
        QVERIFY(frmMain->Visible());
        QVERIFY(frmMain->Enabled());
        QVERIFY(!frmSplash.IsLoaded());
        QVERIFY(watch.splashLoadedThen);
        QTRY_VERIFY(splashWindow.isNull());

        // No tick of the splash timer follows: it would show the browser again.
        frmMain->setVisible(false);
        support::RunUntil(4000);
        QVERIFY(!frmMain->Visible());
        QCOMPARE(watch.browserShown, 1);
    }

    void labelsPicturesAndKeysDoNothing_data() {
        support::Column<bool>("about", {{"at start-up", false}, {"as About", true}});
    }

    void labelsPicturesAndKeysDoNothing() {
        QFETCH(bool, about);
        if (about) {
            frmMain->setVisible(true);
            frmMain->abour.action()->trigger(); // Help, About
        } else {
            Start();
        }
        QVERIFY(QTest::qWaitForWindowActive(frmSplash->window()));
        for (const char* where : {"Label2", "Label3", "Image1", "Image2"})
            ClickOnSplash(where, true);
        const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
            {Qt::Key_Escape, {}}, {Qt::Key_Return, {}}, {Qt::Key_Enter, Qt::KeypadModifier},
            {Qt::Key_Space, {}},  {Qt::Key_A, {}},      {Qt::Key_F4, Qt::AltModifier}};
        for (const auto& [key, modifiers] : keys) {
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : frmSplash->window(), key, modifiers);
        }
        frmSplash->window()->close(); // nor does the window system's close request

        QVERIFY(frmSplash.IsLoaded());
        QVERIFY(frmSplash->Visible());
        QCOMPARE(frmMain.IsLoaded(), about);
        QCOMPARE(frmSplash->Timer1.Enabled(), !about);
        if (about)
            QVERIFY(!frmMain->Enabled());
    }

    void aboutStaysUntilClicked_data() {
        support::Column<QString>("where", {{"closed on the frame", "frame"},
                                           {"closed on the window surface", "surface"}});
    }

    void aboutStaysUntilClicked() {
        QFETCH(QString, where);
        Start();
        ClickOnSplash("surface");
        QVERIFY(QTest::qWaitForWindowActive(frmMain->window()));

        frmMain->abour.action()->trigger(); // Help, About
        QVERIFY(frmMain->Visible());
        QVERIFY(!frmMain->Enabled());
        QVERIFY(!frmMain->menuBar()->isEnabled());
        QVERIFY(frmSplash->Visible());
        QVERIFY(!frmSplash->Timer1.Enabled());
        support::RunUntil(4000);
        QVERIFY(frmSplash->Visible());
        QVERIFY(!frmMain->Enabled());
        // Escape would close the browser, were it taking keys; so would the window system.
        QTest::keyClick(frmMain->File1.widget(), Qt::Key_Escape);
        frmMain->window()->close();
        QVERIFY(frmMain.IsLoaded());

        frmSplash->Label3.setCaption("changed");
        const QPointer<QWidget> first = frmSplash->window();
        ClickOnSplash(where);
        QVERIFY(!frmSplash.IsLoaded());
        QVERIFY(frmMain->Enabled());
        QVERIFY(frmMain->menuBar()->isEnabled());
        QTRY_VERIFY(first.isNull());
        QTRY_VERIFY(frmMain->window()->isActiveWindow());

        // A second About loads a fresh splash, centred again, its timer off.
        frmMain->abour.action()->trigger(); // Help, About
        QVERIFY(frmSplash->Visible());
        QCOMPARE(frmSplash->Label3.Caption(), QString("Version 1.10"));
        QVERIFY(!frmSplash->Timer1.Enabled());
        QVERIFY(!frmMain->Enabled());
        QVERIFY(IsCentred(frmSplash->window()));
        ClickOnSplash(where);
        QVERIFY(!frmSplash.IsLoaded());
        QVERIFY(frmMain->Enabled());
    }

private:
    std::unique_ptr<QSignalSpy> ended_;
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
