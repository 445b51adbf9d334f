// Start-up and About: the splash window hands over to the browser after its timer or at a click
// on its surface, ignores clicks on its labels and pictures and every key, and serves again as
// the About window, which only a click closes. The windows are as they are defined.
#include "Support.h"

#include "forms/Twips.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Runs the event loop until a reference timer of `ms` has fired. Timers due earlier fire
// before it, whatever the load of the machine, so "not yet" is a question of order, not speed.
void RunUntil(int ms) {
    QTimer reference;
    reference.setSingleShot(true);
    reference.setTimerType(Qt::PreciseTimer);
    QSignalSpy fired(&reference, &QTimer::timeout);
    reference.start(ms);
    QVERIFY(fired.wait(ms + 30000));
}

// A precise single-shot timer owned by the caller, for a look at a fixed point of a test.
std::unique_ptr<QTimer> At(int ms, std::function<void()> step) {
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, std::move(step));
    timer->start(ms);
    return timer;
}

// The program's start: the platform loads and shows the start-up window.
void Start() {
    frmSplash->setVisible(true);
    QVERIFY(QTest::qWaitForWindowExposed(frmSplash->window()));
}

void OpenAbout() {
    frmMain->abour.action()->trigger();
}

QWidget* KeyTarget(forms::Form& form) {
    QWidget* focus = QApplication::focusWidget();
    return focus && focus->window() == form.window() ? focus : form.window();
}

// Where a person clicks on the splash window, in the coordinates of the widget returned.
struct Spot {
    QWidget* widget;
    QPoint point;
};

Spot SplashSpot(const QString& where) {
    SplashForm& splash = *frmSplash;
    if (where == "surface")
        return {splash.client(), QPoint(3, 2)};
    if (where == "surface below the frame")
        return {splash.client(), QPoint(200, splash.client()->height() - 2)};
    if (where == "frame")
        return {splash.Frame1.widget(), QPoint(350, 50)};
    if (where == "Label2")
        return {splash.Label2.widget(), QPoint(5, 5)};
    if (where == "Label3")
        return {splash.Label3.widget(), QPoint(5, 5)};
    if (where == "Image1")
        return {splash.Image1.widget(), QPoint(100, 60)};
    return {splash.Image2.widget(), QPoint(70, 50)};
}

void ClickOnSplash(const QString& where) {
    const Spot spot = SplashSpot(where);
    QVERIFY2(spot.widget->rect().contains(spot.point), qPrintable(where));
    // Nothing else lies at that point.
    QCOMPARE(spot.widget->childAt(spot.point), nullptr);
    QTest::mouseClick(spot.widget, Qt::LeftButton, {}, spot.point);
}

// Records whether the splash window was still loaded when the browser window was shown.
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
    void init();
    void cleanup();

    void splashAsDefined();
    void browserMenusAsDefined();
    void browserAsDefined();
    void nothingClickedHandsOverAfterTheTimer();
    void clickHandsOverAtOnce_data();
    void clickHandsOverAtOnce();
    void clickOnLabelOrPictureDoesNothing_data();
    void clickOnLabelOrPictureDoesNothing();
    void keysDoNothingOnTheSplash_data();
    void keysDoNothingOnTheSplash();
    void aboutStaysUntilClicked_data();
    void aboutStaysUntilClicked();
    void secondAboutLoadsAFreshSplash();

private:
    std::unique_ptr<QSignalSpy> ended_;
};

void TestStartup::init() {
    QVERIFY(!frmMain.IsLoaded());
    QVERIFY(!frmSplash.IsLoaded());
    ended_ = std::make_unique<QSignalSpy>(&forms::App, &forms::Application::lastFormUnloaded);
}

void TestStartup::cleanup() {
    // No hand-over between the windows ever left the program without a window.
    QCOMPARE(ended_->size(), 0);
    support::UnloadAll();
}

void TestStartup::splashAsDefined() {
    Start();
    SplashForm& splash = *frmSplash;
    QVERIFY(!frmMain.IsLoaded());

    QCOMPARE(splash.Caption(), QString());
    const Qt::WindowFlags flags = splash.window()->windowFlags();
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(!flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(!flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QVERIFY(splash.KeyPreview());
    QVERIFY(!splash.window()->windowIcon().isNull());
    QCOMPARE(splash.window()->size(), QSize(451, 241));

    // Centred on the screen.
    const QPoint centre = splash.window()->screen()->availableGeometry().center();
    const QPoint offset = splash.window()->frameGeometry().center() - centre;
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));

    QCOMPARE(splash.Timer1.Interval(), 3000);
    QVERIFY(splash.Timer1.Enabled());

    struct Placed {
        const char* name;
        const forms::Control& control;
        QRectF twips;
    };
    const Placed controls[] = {
        {"Frame1", splash.Frame1, {150, 60, 6465, 3435}},
        {"Label3", splash.Label3, {240, 3120, 2295, 255}},
        {"Label2", splash.Label2, {240, 2760, 2295, 255}},
        {"Image2", splash.Image2, {4320, 1920, 2130, 1500}},
        {"Image1", splash.Image1, {120, 120, 3750, 1815}},
    };
    for (const Placed& placed : controls) {
        const QRectF twips(placed.control.Left(), placed.control.Top(), placed.control.Width(),
                           placed.control.Height());
        QVERIFY2(twips == placed.twips, placed.name);
        QVERIFY2(placed.control.widget()->geometry() ==
                     QRect(forms::ToPixels(twips.x()), forms::ToPixels(twips.y()),
                           forms::ToPixels(twips.width()), forms::ToPixels(twips.height())),
                 placed.name);
        QVERIFY2(placed.control.widget()->isVisible(), placed.name);
    }
    QCOMPARE(splash.Label3.Caption(), QString("Version 1.10"));
    QCOMPARE(splash.Label2.Caption(), QString("Windows 9x / NT"));
    // The labels and pictures lie inside the frame.
    QCOMPARE(splash.Label3.widget()->parentWidget(), splash.Frame1.widget());
    QCOMPARE(splash.Image1.widget()->parentWidget(), splash.Frame1.widget());
    // Each picture box is its picture's size at 15 twips per pixel.
    QVERIFY(!splash.Image1.Stretch());
    QVERIFY(!splash.Image2.Stretch());
    QCOMPARE(splash.Image1.Picture().Width(), 250 * 2540.0 / 96);
    QCOMPARE(splash.Image1.Picture().Height(), 121 * 2540.0 / 96);
    QCOMPARE(splash.Image2.Picture().Width(), 142 * 2540.0 / 96);
    QCOMPARE(splash.Image2.Picture().Height(), 100 * 2540.0 / 96);
}

void TestStartup::browserMenusAsDefined() {
    MainForm& browser = *frmMain;
    QCOMPARE(Captions(browser.menuBar()->actions()), (QStringList{"File", "View", "Help"}));
    QCOMPARE(Captions(browser.file.menu()->actions()), QStringList{"Exit"});
    QCOMPARE(Captions(browser.View.menu()->actions()),
             (QStringList{"Full Screen", "Slide Show", "Options"}));
    QCOMPARE(Captions(browser.help.menu()->actions()),
             (QStringList{"How to Use", "About ", "Licence"}));
    QCOMPARE(browser.abour.Caption(), QString("About "));

    const forms::Menu* items[] = {&browser.exit, &browser.full,  &browser.slide,  &browser.options,
                                  &browser.use,  &browser.abour, &browser.Licence};
    for (const forms::Menu* item : items) {
        QVERIFY2(item->action()->shortcut().isEmpty(), qPrintable(item->Caption()));
        QVERIFY2(!item->action()->isChecked(), qPrintable(item->Caption()));
    }
    // Stored switched off, one way or the other; they have no handler.
    QVERIFY(!browser.slide.Enabled() || !browser.slide.Visible());
    QVERIFY(!browser.options.Enabled() || !browser.options.Visible());
    QVERIFY(!browser.slide.Click.isBound());
    QVERIFY(!browser.options.Click.isBound());
    QVERIFY(!browser.use.Click.isBound());
    QVERIFY(!browser.Licence.Click.isBound());
    QVERIFY(browser.abour.Click.isBound());
    QVERIFY(browser.exit.Click.isBound());
    QVERIFY(browser.full.Click.isBound());
}

void TestStartup::browserAsDefined() {
    MainForm& browser = *frmMain;
    QCOMPARE(browser.Caption(), QString("Image Viewer"));
    QVERIFY(browser.KeyPreview());
    QCOMPARE(browser.Timer1.Interval(), 100);
    QCOMPARE(browser.filter.Text(), QString("*.gif;*.jpg;*.bmp;*.ico;*.wmf;*.emf;*.jpeg"));
    QCOMPARE(browser.filter.ListCount(), 2);
    QCOMPARE(browser.filter.List(0), QString("*.gif;*.jpg;*.bmp;*.ico;*.wmf;*.emf"));
    QCOMPARE(browser.filter.List(1), QString("*.*"));
    // The pane shows the default picture until the first preview; the status bar is empty.
    QCOMPARE(browser.pic1.Picture().Width(), 250 * 2540.0 / 96);
    QCOMPARE(browser.pic1.Picture().Height(), 121 * 2540.0 / 96);
    QCOMPARE(browser.pic1.BorderStyle(), 1);
    QCOMPARE(browser.statbar.StatusText(), QString());
    QVERIFY(!browser.window()->windowIcon().isNull());

    // Shown for the first time, the drive list has the focus; Tab goes on in the defined order.
    browser.setVisible(true);
    QVERIFY(QTest::qWaitForWindowActive(browser.window()));
    QTRY_COMPARE(QApplication::focusWidget(), browser.Drive1.widget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), browser.Dir1.widget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), browser.File1.widget());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus == browser.filter.widget() || browser.filter.widget()->isAncestorOf(focus));
}

void TestStartup::nothingClickedHandsOverAfterTheTimer() {
    ShowWatch watch;
    // Started before the splash, so it comes due before the splash timer, however slow the start.
    bool browserEarly = true;
    const auto early = At(2500, [&] { browserEarly = frmMain.IsLoaded(); });
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

void TestStartup::clickHandsOverAtOnce_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("window surface") << "surface";
    QTest::newRow("window surface below the frame") << "surface below the frame";
    QTest::newRow("frame's empty area") << "frame";
}

void TestStartup::clickHandsOverAtOnce() {
    QFETCH(QString, where);
    ShowWatch watch;
    Start();
    const QPointer<QWidget> splashWindow = frmSplash->window();

    ClickOnSplash(where);
    QVERIFY(frmMain.IsLoaded());
    QVERIFY(frmMain->Visible());
    QVERIFY(frmMain->Enabled());
    QVERIFY(!frmSplash.IsLoaded());
    QVERIFY(watch.splashLoadedThen);
    QTRY_VERIFY(splashWindow.isNull());

    // No tick of the splash timer follows: it would show the browser again.
    frmMain->setVisible(false);
    RunUntil(4000);
    QVERIFY(!frmMain->Visible());
    QCOMPARE(watch.browserShown, 1);
    QVERIFY(!frmSplash.IsLoaded());
}

void TestStartup::clickOnLabelOrPictureDoesNothing_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("about");
    for (const char* where : {"Label2", "Label3", "Image1", "Image2"}) {
        QTest::addRow("%s at start-up", where) << where << false;
        QTest::addRow("%s as About", where) << where << true;
    }
}

void TestStartup::clickOnLabelOrPictureDoesNothing() {
    QFETCH(QString, where);
    QFETCH(bool, about);
    if (about) {
        frmMain->setVisible(true);
        OpenAbout();
    } else {
        Start();
    }
    ClickOnSplash(where);
    QTest::mouseDClick(SplashSpot(where).widget, Qt::LeftButton, {}, SplashSpot(where).point);
    QVERIFY(frmSplash.IsLoaded());
    QVERIFY(frmSplash->Visible());
    QCOMPARE(frmMain.IsLoaded(), about);
    if (about)
        QVERIFY(!frmMain->Enabled());
}

void TestStartup::keysDoNothingOnTheSplash_data() {
    QTest::addColumn<bool>("about");
    QTest::newRow("at start-up") << false;
    QTest::newRow("as About") << true;
}

void TestStartup::keysDoNothingOnTheSplash() {
    QFETCH(bool, about);
    if (about) {
        frmMain->setVisible(true);
        OpenAbout();
    } else {
        Start();
    }
    QVERIFY(QTest::qWaitForWindowActive(frmSplash->window()));
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } keys[] = {
        {Qt::Key_Escape, {}}, {Qt::Key_Return, {}}, {Qt::Key_Enter, Qt::KeypadModifier},
        {Qt::Key_Space, {}},  {Qt::Key_Delete, {}}, {Qt::Key_A, {}},
        {Qt::Key_3, {}},      {Qt::Key_Right, {}},  {Qt::Key_F4, Qt::AltModifier},
        {Qt::Key_F1, {}},     {Qt::Key_Tab, {}},    {Qt::Key_W, Qt::ControlModifier},
    };
    for (const auto& press : keys)
        QTest::keyClick(KeyTarget(*frmSplash), press.key, press.modifiers);
    // Nor does the window system's close request.
    frmSplash->window()->close();

    QVERIFY(frmSplash.IsLoaded());
    QVERIFY(frmSplash->Visible());
    QCOMPARE(frmMain.IsLoaded(), about);
    if (about) {
        QVERIFY(!frmMain->Enabled());
        QVERIFY(!frmSplash->Timer1.Enabled());
    } else {
        QVERIFY(frmSplash->Timer1.Enabled());
    }
}

void TestStartup::aboutStaysUntilClicked_data() {
    QTest::addColumn<QString>("where");
    QTest::newRow("closed on the frame") << "frame";
    QTest::newRow("closed on the window surface") << "surface";
}

void TestStartup::aboutStaysUntilClicked() {
    QFETCH(QString, where);
    Start();
    ClickOnSplash("surface");
    QVERIFY(QTest::qWaitForWindowActive(frmMain->window()));

    OpenAbout();
    QVERIFY(!frmMain->Enabled());
    QVERIFY(frmMain->Visible());
    // The menu bar goes with the window: it cannot be opened.
    QVERIFY(!frmMain->menuBar()->isEnabled());
    QVERIFY(frmSplash.IsLoaded());
    QVERIFY(frmSplash->Visible());
    QVERIFY(!frmSplash->Timer1.Enabled());
    QCOMPARE(frmSplash->Timer1.Interval(), 3000);

    RunUntil(4000);
    QVERIFY(frmSplash.IsLoaded());
    QVERIFY(frmSplash->Visible());
    QVERIFY(!frmMain->Enabled());
    // Escape would close the browser, were it taking keys.
    QTest::keyClick(frmMain->window(), Qt::Key_Escape);
    QTest::keyClick(frmMain->File1.widget(), Qt::Key_Escape);
    QVERIFY(frmMain.IsLoaded());

    const QPointer<QWidget> splashWindow = frmSplash->window();
    ClickOnSplash(where);
    QVERIFY(!frmSplash.IsLoaded());
    QVERIFY(frmMain->Enabled());
    QVERIFY(frmMain->Visible());
    QVERIFY(frmMain->menuBar()->isEnabled());
    QTRY_VERIFY(splashWindow.isNull());
    QTRY_VERIFY(frmMain->window()->isActiveWindow());
}

void TestStartup::secondAboutLoadsAFreshSplash() {
    frmMain->setVisible(true);
    OpenAbout();
    const QPointer<QWidget> first = frmSplash->window();
    frmSplash->Label3.setCaption("changed");
    frmSplash->Timer1.setInterval(10);
    ClickOnSplash("frame");
    QTRY_VERIFY(first.isNull());

    OpenAbout();
    QVERIFY(frmSplash.IsLoaded());
    QVERIFY(frmSplash->window() != nullptr);
    QVERIFY(frmSplash->Visible());
    QCOMPARE(frmSplash->Label3.Caption(), QString("Version 1.10"));
    QCOMPARE(frmSplash->Timer1.Interval(), 3000);
    QVERIFY(!frmSplash->Timer1.Enabled());
    QVERIFY(!frmMain->Enabled());
    const QPoint centre = frmSplash->window()->screen()->availableGeometry().center();
    QVERIFY((frmSplash->window()->frameGeometry().center() - centre).manhattanLength() <= 2);

    RunUntil(3500);
    QVERIFY(frmSplash.IsLoaded());
    ClickOnSplash("surface");
    QVERIFY(!frmSplash.IsLoaded());
    QVERIFY(frmMain->Enabled());
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
