// The forms runtime that the windows stand on: loading on first reference, unloading (also from
// inside a handler), the end of the program, nested change events, timers, twips, key codes,
// KeyPreview and the failure boundary. A small window of the suite's own exercises it.
#include "forms/Application.h"
#include "forms/DirListBox.h"
#include "forms/Error.h"
#include "forms/FileListBox.h"
#include "forms/Form.h"
#include "forms/FormWindow.h"
#include "forms/Keys.h"
#include "forms/Label.h"
#include "forms/Timer.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QListWidget>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <stdexcept>

class ProbeForm;

namespace {

// What the probe window does in its handlers, set by each test before it loads the window.
struct Script {
    std::function<void(ProbeForm&)> load;
    std::function<void(ProbeForm&)> tick;
    std::function<void(ProbeForm&)> click;
    std::function<void(ProbeForm&, int&, int&)> keyDown;
    std::function<void(ProbeForm&)> dirChange;
    std::function<void(ProbeForm&)> queryUnload;
};

Script script;
QStringList events;
QStringList failures;
int constructedForms = 0;
int destroyedForms = 0;

} // namespace

class ProbeForm : public forms::Form {
public:
    ProbeForm()
        : Form(forms::BorderStyle::Sizable, forms::StartUpPosition::WindowsDefault, 4500, 3000),
          Timer1(*this, 0, false), Label1(*this, client(), "design"), Dir1(*this, client()),
          File1(*this, client()) {
        setCaption("Probe");
        setKeyPreview(true);
        Label1.Move(60, 60, 1500, 300);
        Dir1.Move(60, 450, 2000, 1500);
        File1.Move(2200, 450, 2000, 1500);
        Timer1.Tick.bind([this] { Timer1_Timer(); });
        Dir1.Change.bind([this] { Dir1_Change(); });
        File1.Click.bind([this] { events << "File1_Click " + File1.FileName(); });
        File1.KeyDown.bind([this](int& KeyCode, int&) {
            events << QStringLiteral("File1_KeyDown %1").arg(KeyCode);
        });
        ++constructedForms;
    }
    ~ProbeForm() override { ++destroyedForms; }

    forms::Timer Timer1;
    forms::Label Label1;
    forms::DirListBox Dir1;
    forms::FileListBox File1;

    int ticks = 0;

    void ReportFailure(const QString& message) override { failures << message; }

protected:
    void Form_Load() override {
        events << "Form_Load";
        if (script.load)
            script.load(*this);
    }
    void Form_Click() override {
        if (script.click)
            script.click(*this);
    }
    void Form_KeyDown(int& KeyCode, int& Shift) override {
        events << QStringLiteral("Form_KeyDown %1").arg(KeyCode);
        if (script.keyDown)
            script.keyDown(*this, KeyCode, Shift);
    }
    void Form_QueryUnload() override {
        if (script.queryUnload)
            script.queryUnload(*this);
        else
            Form::Form_QueryUnload();
    }

private:
    void Timer1_Timer() {
        ++ticks;
        if (script.tick)
            script.tick(*this);
    }
    void Dir1_Change() {
        events << "Dir1_Change " + Dir1.Path();
        if (script.dirChange)
            script.dirChange(*this);
    }
};

namespace {

forms::FormRef<ProbeForm> frmProbe;
forms::FormRef<ProbeForm> frmOther;

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

// A precise single-shot timer owned by the caller, for steps at fixed points of a test.
std::unique_ptr<QTimer> At(int ms, std::function<void()> step) {
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, std::move(step));
    timer->start(ms);
    return timer;
}

void Touch(const QString& path) {
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
}

// Where the window system delivers a key: the focused control, else the window.
QWidget* KeyTarget(forms::Form& form) {
    QWidget* focus = QApplication::focusWidget();
    return focus && focus->window() == form.window() ? focus : form.window();
}

// Throws as a failing runtime call does; the compiler cannot tell that it never returns.
void Fail(int kind) {
    if (kind == 0)
        throw forms::Error("/pictures/x.jpg: not a picture");
    if (kind == 1)
        throw std::runtime_error("bad thing");
    throw 42;
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

} // namespace

class TestForms : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void referenceLoadsBeforeThePropertyTakesEffect();
    void referenceInsideFormLoadIsTheLoadingWindow();
    void unloadThenReferenceGivesDesignTimeValues();
    void unloadInsideOwnHandler_data();
    void unloadInsideOwnHandler();
    void unloadInsideFormLoad();
    void programEndsWithTheLastLoadedWindow();
    void dirPathChangeRunsNested();
    void listIndexClickRunsNested();
    void timerSwitchedOnRestartsItsCountdown();
    void timerIntervalZeroNeverTicks();
    void timerIntervalChange();
    void timerSwitchedOffStaysQuiet();
    void twipsReadBackAndPixelsRoundHalfToEven_data();
    void twipsReadBackAndPixelsRoundHalfToEven();
    void outerSizeReadsBack();
    void keyCodes_data();
    void keyCodes();
    void keyPreviewSeesKeysBeforeTheControl();
    void keyPreviewOffLeavesKeysToTheControl();
    void failureInHandlerIsReportedAndProgramGoesOn_data();
    void failureInHandlerIsReportedAndProgramGoesOn();
    void failureInFormLoadLeavesTheWindowLoaded();

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestForms::init() {
    script = Script{};
    events.clear();
    failures.clear();
    constructedForms = 0;
    destroyedForms = 0;
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestForms::cleanup() {
    forms::Unload(frmProbe);
    forms::Unload(frmOther);
    forms::App.DestroyUnloaded();
    QCOMPARE(forms::App.LoadedForms(), 0);
}

void TestForms::referenceLoadsBeforeThePropertyTakesEffect() {
    bool visibleWhileLoading = true;
    float widthWhileLoading = 0;
    script.load = [&](ProbeForm& form) {
        visibleWhileLoading = form.Visible();
        form.setWidth(3000);
        widthWhileLoading = form.Width();
    };
    QVERIFY(!frmProbe.IsLoaded());

    frmProbe->setWidth(6000);
    QCOMPARE(events, QStringList{"Form_Load"});
    QCOMPARE(widthWhileLoading, 3000.0f);
    // The width the reference set comes after the load's own.
    QCOMPARE(frmProbe->Width(), 6000.0f);

    events.clear();
    forms::Unload(frmProbe);
    frmProbe->setVisible(true);
    QCOMPARE(events, QStringList{"Form_Load"});
    QVERIFY(!visibleWhileLoading);
    QVERIFY(frmProbe->Visible());
    QCOMPARE(constructedForms, 2);
}

void TestForms::referenceInsideFormLoadIsTheLoadingWindow() {
    const ProbeForm* inside = nullptr;
    script.load = [&](ProbeForm&) { inside = &*frmProbe; };
    ProbeForm& loaded = *frmProbe;
    QCOMPARE(inside, &loaded);
    QCOMPARE(constructedForms, 1);
    QCOMPARE(forms::App.LoadedForms(), 1);
}

void TestForms::unloadThenReferenceGivesDesignTimeValues() {
    const float designWidth = frmProbe->Width();
    const float designHeight = frmProbe->Height();
    frmProbe->setCaption("changed");
    frmProbe->setWidth(7000);
    frmProbe->Label1.setCaption("changed");
    frmProbe->Label1.setLeft(999);
    frmProbe->Timer1.setInterval(50);
    frmProbe->Timer1.setEnabled(true);
    frmProbe->setKeyPreview(false);
    frmProbe->setVisible(true);
    const QPointer<QWidget> oldWindow = frmProbe->window();

    forms::Unload(frmProbe);
    QVERIFY(!frmProbe.IsLoaded());
    QTRY_VERIFY(oldWindow.isNull());
    QCOMPARE(destroyedForms, 1);

    ProbeForm& fresh = *frmProbe;
    QCOMPARE(constructedForms, 2);
    QCOMPARE(fresh.Caption(), QString("Probe"));
    QCOMPARE(fresh.Width(), designWidth);
    QCOMPARE(fresh.Height(), designHeight);
    QCOMPARE(fresh.Label1.Caption(), QString("design"));
    QCOMPARE(fresh.Label1.Left(), 60.0f);
    QCOMPARE(fresh.Timer1.Interval(), 0);
    QVERIFY(!fresh.Timer1.Enabled());
    QVERIFY(fresh.KeyPreview());
    QVERIFY(!fresh.Visible());
    QCOMPARE(fresh.ticks, 0);
}

void TestForms::unloadInsideOwnHandler_data() {
    QTest::addColumn<QString>("trigger");
    QTest::newRow("timer tick") << "tick";
    QTest::newRow("click on the window") << "click";
    QTest::newRow("key previewed by the window") << "key";
    QTest::newRow("close box") << "close";
    QTest::newRow("nested change event") << "change";
}

// The handler goes on after Unload, touching its window, as window code does.
void TestForms::unloadInsideOwnHandler() {
    QFETCH(QString, trigger);
    int handled = 0;
    auto unloadAndGoOn = [&](ProbeForm& form) {
        ++handled;
        forms::Unload(frmProbe);
        form.Label1.setCaption("after unload");
        form.Timer1.setEnabled(true);
        form.setVisible(true);
        form.setEnabled(true);
    };
    script.tick = unloadAndGoOn;
    script.click = unloadAndGoOn;
    script.keyDown = [&](ProbeForm& form, int&, int&) { unloadAndGoOn(form); };
    script.dirChange = unloadAndGoOn;
    script.queryUnload = unloadAndGoOn;

    frmProbe->setVisible(true);
    QVERIFY(QTest::qWaitForWindowActive(frmProbe->window()));
    const QPointer<QWidget> window = frmProbe->window();
    QSignalSpy ended(&forms::App, &forms::Application::lastFormUnloaded);

    if (trigger == "tick") {
        frmProbe->Timer1.setInterval(1);
        frmProbe->Timer1.setEnabled(true);
    } else if (trigger == "click") {
        QTest::mouseClick(frmProbe->client(), Qt::LeftButton, {}, QPoint(2, 2));
    } else if (trigger == "key") {
        QTest::keyClick(KeyTarget(*frmProbe), Qt::Key_Escape);
    } else if (trigger == "close") {
        frmProbe->window()->close();
    } else {
        QDir(dir_->path()).mkdir("sub");
        frmProbe->Dir1.setPath(dir_->filePath("sub"));
    }
    QTRY_COMPARE(handled, 1);
    QVERIFY(!frmProbe.IsLoaded());
    QVERIFY(window.isNull() || !window->isVisible());
    QCOMPARE(ended.size(), 1);
    QTRY_VERIFY(window.isNull());
    QCOMPARE(destroyedForms, 1);
    // The timer switched on after the unload went with the window.
    RunUntil(100);
    QCOMPARE(handled, 1);
    QVERIFY(failures.isEmpty());
}

void TestForms::unloadInsideFormLoad() {
    script.load = [](ProbeForm&) { forms::Unload(frmProbe); };
    frmProbe->setVisible(true);
    QVERIFY(!frmProbe.IsLoaded());
    QCOMPARE(forms::App.LoadedForms(), 0);
    QTRY_COMPARE(destroyedForms, 1);
}

void TestForms::programEndsWithTheLastLoadedWindow() {
    QSignalSpy ended(&forms::App, &forms::Application::lastFormUnloaded);
    frmProbe->setVisible(true);
    // Loaded by reference, never shown.
    frmOther->setCaption("hidden");
    QCOMPARE(forms::App.LoadedForms(), 2);

    forms::Unload(frmProbe);
    QCOMPARE(ended.size(), 0);
    // Unloading a window that is not loaded changes nothing.
    forms::Unload(frmProbe);
    QCOMPARE(ended.size(), 0);
    QCOMPARE(forms::App.LoadedForms(), 1);

    // A window loaded while another is unloaded, as the splash hands over to the browser.
    frmOther->setVisible(true);
    frmProbe->setVisible(true);
    forms::Unload(frmOther);
    QCOMPARE(ended.size(), 0);
    frmProbe->setVisible(false);
    RunUntil(50);
    QCOMPARE(ended.size(), 0);

    forms::Unload(frmProbe);
    QCOMPARE(ended.size(), 1);
    QCOMPARE(forms::App.LoadedForms(), 0);
}

void TestForms::dirPathChangeRunsNested() {
    QDir(dir_->path()).mkdir("sub");
    const QString sub = Native(dir_->filePath("sub"));
    bool inSetter = false;
    QString pathSeen;
    script.dirChange = [&](ProbeForm& form) {
        QVERIFY(inSetter);
        pathSeen = form.Dir1.Path();
    };
    ProbeForm& form = *frmProbe;
    events.clear();
    inSetter = true;
    form.Dir1.setPath(sub);
    inSetter = false;
    QCOMPARE(events, QStringList{"Dir1_Change " + sub});
    QCOMPARE(pathSeen, sub);

    // The same folder again is no change.
    form.Dir1.setPath(sub);
    QCOMPARE(events.size(), 1);
}

void TestForms::listIndexClickRunsNested() {
    Touch(dir_->filePath("a.gif"));
    Touch(dir_->filePath("b.gif"));
    Touch(dir_->filePath("c.txt"));
    ProbeForm& form = *frmProbe;
    form.File1.setPattern("*.gif");
    form.File1.setPath(dir_->path());
    QCOMPARE(form.File1.ListCount(), 2);
    events.clear();

    form.File1.setListIndex(1);
    QCOMPARE(events, QStringList{"File1_Click b.gif"});
    form.File1.setListIndex(0);
    QCOMPARE(events, (QStringList{"File1_Click b.gif", "File1_Click a.gif"}));
    // Selecting nothing is no click.
    form.File1.setListIndex(-1);
    QCOMPARE(events.size(), 2);
    QCOMPARE(form.File1.FileName(), QString());
}

// Timer1 is due 1000 ms after it is switched on; switched off and on again at 500 ms, it is due
// at 1500 ms, so the check at 1200 ms finds no tick.
void TestForms::timerSwitchedOnRestartsItsCountdown() {
    ProbeForm& form = *frmProbe;
    form.Timer1.setInterval(1000);
    form.Timer1.setEnabled(true);
    int ticksAtCheck = -1;
    const auto restart = At(500, [&] {
        form.Timer1.setEnabled(false);
        form.Timer1.setEnabled(true);
    });
    const auto check = At(1200, [&] { ticksAtCheck = form.ticks; });
    QTRY_VERIFY(ticksAtCheck >= 0);
    QCOMPARE(ticksAtCheck, 0);
    QTRY_COMPARE(form.ticks, 1);
}

void TestForms::timerIntervalZeroNeverTicks() {
    ProbeForm& form = *frmProbe;
    form.Timer1.setEnabled(true);
    QCOMPARE(form.Timer1.Interval(), 0);
    RunUntil(200);
    QCOMPARE(form.ticks, 0);

    // A running timer whose interval becomes 0 stops.
    form.Timer1.setInterval(20);
    QTRY_VERIFY(form.ticks > 0);
    form.Timer1.setInterval(0);
    const int ticks = form.ticks;
    RunUntil(200);
    QCOMPARE(form.ticks, ticks);
    QVERIFY(form.Timer1.Enabled());
}

void TestForms::timerIntervalChange() {
    ProbeForm& form = *frmProbe;
    form.Timer1.setInterval(60000);
    form.Timer1.setEnabled(true);
    form.Timer1.setInterval(100);
    QCOMPARE(form.Timer1.Interval(), 100);
    int ticksAtCheck = -1;
    const auto check = At(20000, [&] { ticksAtCheck = form.ticks; });
    QTRY_VERIFY(form.ticks >= 2);
    QCOMPARE(ticksAtCheck, -1);

    // A new interval on a switched-off timer does not start it.
    form.Timer1.setEnabled(false);
    const int ticks = form.ticks;
    form.Timer1.setInterval(10);
    RunUntil(200);
    QCOMPARE(form.ticks, ticks);
}

void TestForms::timerSwitchedOffStaysQuiet() {
    ProbeForm& form = *frmProbe;
    form.Timer1.setInterval(600);
    form.Timer1.setEnabled(true);
    int ticksAtCheck = -1;
    const auto off = At(300, [&] { form.Timer1.setEnabled(false); });
    const auto check = At(1000, [&] { ticksAtCheck = form.ticks; });
    QTRY_VERIFY(ticksAtCheck >= 0);
    QCOMPARE(ticksAtCheck, 0);
}

void TestForms::twipsReadBackAndPixelsRoundHalfToEven_data() {
    QTest::addColumn<float>("twips");
    QTest::addColumn<int>("pixels");
    QTest::newRow("none") << 0.0f << 0;
    QTest::newRow("one pixel") << 15.0f << 1;
    QTest::newRow("1.5 px up to 2") << 22.5f << 2;
    QTest::newRow("2.5 px down to 2") << 37.5f << 2;
    QTest::newRow("3.5 px up to 4") << 52.5f << 4;
    QTest::newRow("4.5 px down to 4") << 67.5f << 4;
    QTest::newRow("below a half") << 22.4f << 1;
    QTest::newRow("above a half") << 37.6f << 3;
    QTest::newRow("fraction of a twip") << 2586.6667f << 172;
    QTest::newRow("pic1 design width") << 3810.0f << 254;
    QTest::newRow("pic1 design height") << 1875.0f << 125;
    QTest::newRow("-0.5 px to 0") << -7.5f << 0;
    QTest::newRow("-1.5 px to -2") << -22.5f << -2;
}

void TestForms::twipsReadBackAndPixelsRoundHalfToEven() {
    QFETCH(float, twips);
    QFETCH(int, pixels);
    forms::Label& label = frmProbe->Label1;

    label.Move(twips, twips, twips, twips);
    QCOMPARE(label.Left(), twips);
    QCOMPARE(label.Top(), twips);
    QCOMPARE(label.Width(), twips);
    QCOMPARE(label.Height(), twips);
    // A negative length shows as an empty control.
    const int length = std::max(0, pixels);
    QCOMPARE(label.widget()->geometry(), QRect(pixels, pixels, length, length));

    label.Move(0, 0, 0, 0);
    label.setLeft(twips);
    label.setTop(twips + 30);
    label.setWidth(twips + 60);
    label.setHeight(twips + 90);
    QCOMPARE(label.Left(), twips);
    QCOMPARE(label.Top(), twips + 30);
    QCOMPARE(label.Width(), twips + 60);
    QCOMPARE(label.Height(), twips + 90);
    QCOMPARE(label.widget()->geometry(),
             QRect(pixels, pixels + 2, std::max(0, pixels + 4), std::max(0, pixels + 6)));
}

void TestForms::outerSizeReadsBack() {
    ProbeForm& form = *frmProbe;
    form.setWidth(4000.5f);
    form.setHeight(3337.5f);
    QCOMPARE(form.Width(), 4000.5f);
    QCOMPARE(form.Height(), 3337.5f);
    QCOMPARE(form.window()->frameGeometry().size(), QSize(267, 222));

    // Shown, the window's frame is known: the outer size is still the one set.
    form.setVisible(true);
    QVERIFY(QTest::qWaitForWindowExposed(form.window()));
    QTRY_COMPARE(form.window()->frameGeometry().size(), QSize(267, 222));
    QCOMPARE(form.Width(), 4000.5f);
    QCOMPARE(form.Height(), 3337.5f);
    QVERIFY(form.window()->geometry().width() < 267);
    // The client area lies inside the frame.
    QCOMPARE(form.ScaleHeight(), form.window()->height() * 15.0f);
}

void TestForms::keyCodes_data() {
    using forms::ScanCodes;
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<quint32>("scanCode");
    QTest::addColumn<QString>("text");
    QTest::addColumn<ScanCodes>("scanCodes");
    QTest::addColumn<int>("keyCode");
    QTest::addColumn<int>("shift");
    QTest::addColumn<int>("keyAscii");

    const Qt::KeyboardModifiers none;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
    const ScanCodes x11 = ScanCodes::Evdev;
    const ScanCodes other = ScanCodes::Other;

    // Main-row digits: the physical key decides, with Shift held too.
    QTest::newRow("3 under X11") << int(Qt::Key_3) << none << 12u << "3" << x11 << 51 << 0 << 51;
    QTest::newRow("Shift+3 under X11 comes as #")
        << int(Qt::Key_NumberSign) << shift << 12u << "#" << x11 << 51 << 1 << 35;
    QTest::newRow("Shift+1 under X11 comes as !")
        << int(Qt::Key_Exclam) << shift << 10u << "!" << x11 << 49 << 1 << 33;
    QTest::newRow("Shift+9 under X11 comes as (")
        << int(Qt::Key_ParenLeft) << shift << 18u << "(" << x11 << 57 << 1 << 40;
    QTest::newRow("Shift+0 under X11 comes as )")
        << int(Qt::Key_ParenRight) << shift << 19u << ")" << x11 << 48 << 1 << 41;
    QTest::newRow("Shift+3 on a German keyboard comes as §")
        << int(Qt::Key_section) << shift << 12u << "§" << x11 << 51 << 1 << 0xa7;
    QTest::newRow("0 without a scan code")
        << int(Qt::Key_0) << none << 0u << "0" << other << 48 << 0 << 48;
    QTest::newRow("Shift+7 without a scan code")
        << int(Qt::Key_7) << shift << 0u << "7" << other << 55 << 1 << 55;
    // Elsewhere scan code 12 is another key: it must not become a digit.
    QTest::newRow("scan code of another platform")
        << int(Qt::Key_A) << none << 12u << "a" << other << 65 << 0 << 97;
    QTest::newRow("letter under X11")
        << int(Qt::Key_A) << none << 38u << "a" << x11 << 65 << 0 << 97;
    QTest::newRow("Shift+A") << int(Qt::Key_A) << shift << 38u << "A" << x11 << 65 << 1 << 65;

    // Keypad: digits with NumLock on, navigation keys with it off.
    QTest::newRow("keypad 0") << int(Qt::Key_0) << keypad << 90u << "0" << x11 << 96 << 0 << 48;
    QTest::newRow("keypad 3") << int(Qt::Key_3) << keypad << 89u << "3" << x11 << 99 << 0 << 51;
    QTest::newRow("keypad 9") << int(Qt::Key_9) << keypad << 81u << "9" << x11 << 105 << 0 << 57;
    QTest::newRow("keypad 5 without scan code")
        << int(Qt::Key_5) << keypad << 0u << "5" << other << 101 << 0 << 53;
    QTest::newRow("keypad 3 with NumLock off")
        << int(Qt::Key_PageDown) << keypad << 89u << "" << x11 << 34 << 0 << 0;
    QTest::newRow("keypad 7 with NumLock off")
        << int(Qt::Key_Home) << keypad << 79u << "" << x11 << 36 << 0 << 0;
    QTest::newRow("keypad 5 with NumLock off")
        << int(Qt::Key_Clear) << keypad << 84u << "" << x11 << 12 << 0 << 0;
    QTest::newRow("keypad 8 with NumLock off")
        << int(Qt::Key_Up) << keypad << 80u << "" << x11 << 38 << 0 << 0;
    QTest::newRow("keypad plus") << int(Qt::Key_Plus) << keypad << 86u << "+" << x11 << 107 << 0
                                 << 43;
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter) << keypad << 104u << "\r" << x11 << 13 << 0
                                  << 13;

    // Keys the windows handle.
    QTest::newRow("Left") << int(Qt::Key_Left) << none << 113u << "" << x11 << 37 << 0 << 0;
    QTest::newRow("Up") << int(Qt::Key_Up) << none << 111u << "" << x11 << 38 << 0 << 0;
    QTest::newRow("Right") << int(Qt::Key_Right) << none << 114u << "" << x11 << 39 << 0 << 0;
    QTest::newRow("Down") << int(Qt::Key_Down) << none << 116u << "" << x11 << 40 << 0 << 0;
    QTest::newRow("Escape") << int(Qt::Key_Escape) << none << 9u << "\x1b" << x11 << 27 << 0 << 27;
    QTest::newRow("Escape without text")
        << int(Qt::Key_Escape) << none << 0u << "" << other << 27 << 0 << 27;
    QTest::newRow("Delete, typing nothing though its text is DEL")
        << int(Qt::Key_Delete) << none << 119u << "\x7f" << x11 << 46 << 0 << 0;
    QTest::newRow("Return") << int(Qt::Key_Return) << none << 36u << "\r" << x11 << 13 << 0 << 13;
    QTest::newRow("F5") << int(Qt::Key_F5) << none << 71u << "" << x11 << 116 << 0 << 0;

    // Modifier bits: Shift 1, Ctrl 2, Alt 4; Meta and the keypad flag are none of them.
    QTest::newRow("Ctrl+A") << int(Qt::Key_A) << Qt::KeyboardModifiers(Qt::ControlModifier) << 38u
                            << "\x01" << x11 << 65 << 2 << 1;
    QTest::newRow("Alt+Right") << int(Qt::Key_Right) << Qt::KeyboardModifiers(Qt::AltModifier)
                               << 114u << "" << x11 << 39 << 4 << 0;
    QTest::newRow("Shift+Ctrl+Alt+Down")
        << int(Qt::Key_Down) << (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier) << 116u
        << "" << x11 << 40 << 7 << 0;
    QTest::newRow("Meta+Left") << int(Qt::Key_Left) << Qt::KeyboardModifiers(Qt::MetaModifier)
                               << 113u << "" << x11 << 37 << 0 << 0;
}

void TestForms::keyCodes() {
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(quint32, scanCode);
    QFETCH(QString, text);
    QFETCH(forms::ScanCodes, scanCodes);
    QFETCH(int, keyCode);
    QFETCH(int, shift);
    QFETCH(int, keyAscii);

    const QKeyEvent event(QEvent::KeyPress, key, modifiers, scanCode, 0, 0, text);
    QCOMPARE(forms::KeyCodeOf(event, scanCodes), keyCode);
    QCOMPARE(forms::ShiftOf(event.modifiers()), shift);
    QCOMPARE(forms::KeyAsciiOf(event), keyAscii);
}

void TestForms::keyPreviewSeesKeysBeforeTheControl() {
    Touch(dir_->filePath("a.gif"));
    Touch(dir_->filePath("b.gif"));
    ProbeForm& form = *frmProbe;
    form.File1.setPath(dir_->path());
    form.setVisible(true);
    QVERIFY(QTest::qWaitForWindowActive(form.window()));
    form.File1.widget()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), form.File1.widget());
    form.File1.setListIndex(0);
    events.clear();

    QTest::keyClick(form.File1.widget(), Qt::Key_Down);
    QCOMPARE(events, (QStringList{"Form_KeyDown 40", "File1_KeyDown 40", "File1_Click b.gif"}));

    // Once per key press, also where the key passes through several widgets.
    events.clear();
    QTest::keyClick(form.File1.widget(), Qt::Key_Up);
    QCOMPARE(events.count("Form_KeyDown 38"), 1);
}

void TestForms::keyPreviewOffLeavesKeysToTheControl() {
    Touch(dir_->filePath("a.gif"));
    ProbeForm& form = *frmProbe;
    form.setKeyPreview(false);
    form.File1.setPath(dir_->path());
    form.setVisible(true);
    QVERIFY(QTest::qWaitForWindowActive(form.window()));
    form.File1.widget()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), form.File1.widget());
    events.clear();

    QTest::keyClick(form.File1.widget(), Qt::Key_Down);
    QVERIFY(!events.isEmpty());
    QCOMPARE(events.first(), QString("File1_KeyDown 40"));
    QVERIFY(!events.contains("Form_KeyDown 40"));
}

void TestForms::failureInHandlerIsReportedAndProgramGoesOn_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("report");
    QTest::newRow("runtime error") << 0 << "/pictures/x.jpg: not a picture";
    QTest::newRow("standard exception") << 1 << "bad thing";
    QTest::newRow("anything else") << 2 << "unexpected failure";
}

void TestForms::failureInHandlerIsReportedAndProgramGoesOn() {
    QFETCH(int, kind);
    QFETCH(QString, report);
    QDir(dir_->path()).mkdir("one");
    QDir(dir_->path()).mkdir("two");
    bool restRan = false;
    script.dirChange = [&](ProbeForm&) {
        Fail(kind);
        restRan = true;
    };
    ProbeForm& form = *frmProbe;

    // The property change that raised the event completes; only the handler ends.
    form.Dir1.setPath(dir_->filePath("one"));
    QCOMPARE(failures, QStringList{report});
    QVERIFY(!restRan);
    QCOMPARE(form.Dir1.Path(), Native(dir_->filePath("one")));

    // A user's event after it is handled as usual.
    script.dirChange = nullptr;
    script.tick = [](ProbeForm& f) { f.Timer1.setEnabled(false); };
    form.Timer1.setInterval(10);
    form.Timer1.setEnabled(true);
    QTRY_COMPARE(form.ticks, 1);
    form.Dir1.setPath(dir_->filePath("two"));
    QCOMPARE(events.last(), "Dir1_Change " + Native(dir_->filePath("two")));
    QCOMPARE(failures.size(), 1);

    // A failing timer tick goes on ticking.
    script.tick = [](ProbeForm&) { throw forms::Error("tick failed"); };
    form.Timer1.setEnabled(true);
    QTRY_VERIFY(form.ticks >= 3);
    QCOMPARE(failures.last(), QString("tick failed"));
}

void TestForms::failureInFormLoadLeavesTheWindowLoaded() {
    script.load = [](ProbeForm&) { throw forms::Error("load failed"); };
    frmProbe->setVisible(true);
    QVERIFY(frmProbe.IsLoaded());
    QVERIFY(frmProbe->Visible());
    QCOMPARE(failures, QStringList{"load failed"});
    QCOMPARE(constructedForms, 1);
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
