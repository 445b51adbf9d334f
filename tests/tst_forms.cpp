// The forms runtime, exercised through a small window of the suite's own.
#include "Support.h"

#include "forms/DirListBox.h"
#include "forms/Error.h"
#include "forms/FileListBox.h"
#include "forms/Form.h"
#include "forms/FormWindow.h"
#include "forms/Image.h"
#include "forms/Keys.h"
#include "forms/Label.h"
#include "forms/Timer.h"
#include "pictures/LoadPicture.h"

#include <QFile>
#include <QKeyEvent>
#include <QPointer>
#include <QTemporaryDir>

#include <stdexcept>

class ProbeForm;

namespace {

// What the probe window does in its handlers, set by each test before it loads the window.
struct Script {
    std::function<void(ProbeForm&)> load, tick, click, key, dirChange, queryUnload;
};

Script script;
QStringList events;
QStringList failures;
int constructedForms = 0;
int destroyedForms = 0;

void Run(const std::function<void(ProbeForm&)>& step, ProbeForm& form) {
    if (step)
        step(form);
}

} // namespace

class ProbeForm : public forms::Form {
public:
    ProbeForm()
        : Form(forms::BorderStyle::Sizable, forms::StartUpPosition::WindowsDefault, 4500, 3000),
          Timer1(*this, 0, false), Label1(*this, client(), "design"), Dir1(*this, client()),
          File1(*this, client()), Image1(*this, client()) {
        setCaption("Probe");
        setKeyPreview(true);
        File1.Move(2200, 450, 2000, 1500);
        Timer1.Tick.bind([this] {
            ++ticks;
            Run(script.tick, *this);
        });
        Dir1.Change.bind([this] {
            events << "Dir1_Change " + Dir1.Path();
            Run(script.dirChange, *this);
        });
        File1.Click.bind([this] { events << "File1_Click " + File1.FileName(); });
        File1.KeyDown.bind(
            [](int& KeyCode, int&) { events << QString("File1_KeyDown %1").arg(KeyCode); });
        ++constructedForms;
    }
    ~ProbeForm() override { ++destroyedForms; }

    forms::Timer Timer1;
    forms::Label Label1;
    forms::DirListBox Dir1;
    forms::FileListBox File1;
    forms::Image Image1;
    int ticks = 0;
    int activations = 0;

    void ReportFailure(const QString& message) override { failures << message; }

protected:
    void Form_Load() override {
        events << "Form_Load";
        Run(script.load, *this);
    }
    void Form_Activate() override { ++activations; }
    void Form_Click() override { Run(script.click, *this); }
    void Form_KeyDown(int& KeyCode, int&) override {
        events << QString("Form_KeyDown %1").arg(KeyCode);
        Run(script.key, *this);
    }
    void Form_QueryUnload() override {
        events << "Form_QueryUnload";
        if (script.queryUnload)
            script.queryUnload(*this);
        else
            Form::Form_QueryUnload();
    }
};

namespace {

forms::FormRef<ProbeForm> frmProbe;
forms::FormRef<ProbeForm> frmOther;

// Throws as a failing runtime call does; the compiler cannot tell that it never returns.
void Fail(int kind) {
    if (kind == 0)
        throw forms::Error("/pictures/x.jpg: not a picture");
    if (kind == 1)
        throw std::runtime_error("bad thing");
    throw 42;
}

struct KeyRow {
    const char* name;
    int key;
    Qt::KeyboardModifiers modifiers;
    quint32 scanCode;
    const char* text;
    forms::ScanCodes scanCodes;
    int keyCode, shift, keyAscii;
};

constexpr Qt::KeyboardModifiers none, shift = Qt::ShiftModifier, pad = Qt::KeypadModifier;
constexpr Qt::KeyboardModifiers ctrl = Qt::ControlModifier, alt = Qt::AltModifier;
constexpr auto x11 = forms::ScanCodes::Evdev, other = forms::ScanCodes::Other;

const KeyRow kKeys[] = {
    // Main-row digits: the physical key decides, with Shift held too.
    {"3", Qt::Key_3, none, 12, "3", x11, 51, 0, 51},
    {"Shift+3 as #", Qt::Key_NumberSign, shift, 12, "#", x11, 51, 1, 35},
    {"Shift+0 as )", Qt::Key_ParenRight, shift, 19, ")", x11, 48, 1, 41},
    {"Shift+3 as §", Qt::Key_section, shift, 12, "§", x11, 51, 1, 0xa7},
    {"Shift+7, no scan code", Qt::Key_7, shift, 0, "7", other, 55, 1, 55},
    // Elsewhere scan code 12 is another key: it must not become a digit.
    {"scan code 12 elsewhere", Qt::Key_A, none, 12, "a", other, 65, 0, 97},
    {"Shift+A", Qt::Key_A, shift, 38, "A", x11, 65, 1, 65},
    // Keypad: digits with NumLock on, navigation keys with it off.
    {"keypad 0", Qt::Key_0, pad, 90, "0", x11, 96, 0, 48},
    {"keypad 9", Qt::Key_9, pad, 81, "9", x11, 105, 0, 57},
    {"keypad 5, no scan code", Qt::Key_5, pad, 0, "5", other, 101, 0, 53},
    {"keypad 5, NumLock off", Qt::Key_Clear, pad, 84, "", x11, 12, 0, 0},
    {"keypad 8, NumLock off", Qt::Key_Up, pad, 80, "", x11, 38, 0, 0},
    {"keypad Enter", Qt::Key_Enter, pad, 104, "\r", x11, 13, 0, 13},
    // Keys the windows handle.
    {"Left", Qt::Key_Left, none, 113, "", x11, 37, 0, 0},
    {"Up", Qt::Key_Up, none, 111, "", x11, 38, 0, 0},
    {"Right", Qt::Key_Right, none, 114, "", x11, 39, 0, 0},
    {"Down", Qt::Key_Down, none, 116, "", x11, 40, 0, 0},
    {"Escape", Qt::Key_Escape, none, 0, "", other, 27, 0, 27},
    {"Delete, text DEL", Qt::Key_Delete, none, 119, "\x7f", x11, 46, 0, 0},
    // Modifier bits: Shift 1, Ctrl 2, Alt 4; Meta is none of them.
    {"Ctrl+A", Qt::Key_A, ctrl, 38, "\x01", x11, 65, 2, 1},
    {"Shift+Ctrl+Alt+Down", Qt::Key_Down, shift | ctrl | alt, 116, "", x11, 40, 7, 0},
    {"Meta+Left", Qt::Key_Left, Qt::MetaModifier, 113, "", x11, 37, 0, 0},
};

} // namespace

class TestForms : public QObject {
    Q_OBJECT

private slots:
    void init() {
        script = Script{};
        events.clear();
        failures.clear();
        constructedForms = destroyedForms = 0;
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void cleanup() {
        forms::Unload(frmProbe);
        forms::Unload(frmOther);
        forms::App.DestroyUnloaded();
        QCOMPARE(forms::App.LoadedForms(), 0);
    }

    void loadOnReferenceAndUnload() {
        const ProbeForm* inside = nullptr;
        script.load = [&](ProbeForm& form) {
            inside = &*frmProbe; // the loading window, not a second one
            form.setWidth(3000);
        };
        frmProbe->setWidth(6000); // takes effect after Form_Load's own
        QCOMPARE(events, QStringList{"Form_Load"});
        QCOMPARE(inside, static_cast<const ProbeForm*>(&*frmProbe));
        QCOMPARE(frmProbe->Width(), 6000.0f);
        frmProbe->setCaption("changed");
        frmProbe->Label1.setCaption("changed");
        frmProbe->Timer1.setInterval(50);
        frmProbe->Timer1.setEnabled(true);
        frmProbe->setVisible(true);
        const QPointer<QWidget> oldWindow = frmProbe->window();

        // The next reference after Unload loads a fresh window with design-time values.
        script.load = nullptr;
        forms::Unload(frmProbe);
        QTRY_VERIFY(oldWindow.isNull());
        QCOMPARE(frmProbe->Width(), 4500.0f);
        QCOMPARE(frmProbe->Caption(), QString("Probe"));
        QCOMPARE(frmProbe->Label1.Caption(), QString("design"));
        QVERIFY(!frmProbe->Timer1.Enabled());
        QVERIFY(!frmProbe->Visible());
        QCOMPARE(constructedForms, 2);
    }

    void unloadInsideOwnHandler_data() {
        QTest::addColumn<QString>("trigger");
        for (const char* trigger : {"tick", "click", "key", "close", "change", "load"})
            QTest::newRow(trigger) << trigger;
    }

    // The handler goes on after Unload, touching its window, as window code does.
    void unloadInsideOwnHandler() {
        QFETCH(QString, trigger);
        int handled = 0;
        auto unloadAndGoOn = [&](ProbeForm& form) {
            ++handled;
            forms::Unload(frmProbe);
            form.Label1.setCaption("after unload");
            form.Timer1.setEnabled(true);
            form.setVisible(true);
        };
        script = {nullptr,       unloadAndGoOn, unloadAndGoOn,
                  unloadAndGoOn, unloadAndGoOn, unloadAndGoOn};
        if (trigger == "load")
            script.load = unloadAndGoOn;
        QSignalSpy ended(&forms::App, &forms::Application::lastFormUnloaded);

        frmProbe->setVisible(true);
        const QPointer<QWidget> window = frmProbe.IsLoaded() ? frmProbe->window() : nullptr;
        if (trigger != "load")
            QVERIFY(QTest::qWaitForWindowActive(window));
        if (trigger == "tick") {
            frmProbe->Timer1.setInterval(1);
            frmProbe->Timer1.setEnabled(true);
        } else if (trigger == "click") {
            QTest::mouseClick(frmProbe->client(), Qt::LeftButton, {}, QPoint(2, 2));
        } else if (trigger == "key") {
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus ? focus : window.data(), Qt::Key_Escape);
        } else if (trigger == "close") {
            window->close();
        } else if (trigger == "change") {
            QDir(dir_->path()).mkdir("sub");
            frmProbe->Dir1.setPath(dir_->filePath("sub"));
        }
        QTRY_COMPARE(handled, 1);
        QVERIFY(!frmProbe.IsLoaded());
        QCOMPARE(ended.size(), 1);
        QTRY_COMPARE(destroyedForms, 1);
        // The timer switched on after the unload went with the window.
        support::RunUntil(100);
        QCOMPARE(handled, 1);
        QVERIFY(failures.isEmpty());
    }

    void programEndsWithTheLastLoadedWindow() {
        QSignalSpy ended(&forms::App, &forms::Application::lastFormUnloaded);
        frmProbe->setVisible(true);
        frmOther->setCaption("loaded, never shown");
        forms::Unload(frmProbe);
        forms::Unload(frmProbe); // not loaded: nothing happens
        QCOMPARE(ended.size(), 0);
        QCOMPARE(forms::App.LoadedForms(), 1);

        // One window loaded while another unloads, as the splash hands over to the browser.
        frmProbe->setVisible(true);
        forms::Unload(frmOther);
        frmProbe->setVisible(false);
        support::RunUntil(50);
        QCOMPARE(ended.size(), 0);
        forms::Unload(frmProbe);
        QCOMPARE(ended.size(), 1);
    }

    void changeEventsRunNested() {
        QDir(dir_->path()).mkdir("sub");
        QVERIFY(support::WriteFile(dir_->filePath("sub/a.gif")));
        QVERIFY(support::WriteFile(dir_->filePath("sub/b.gif")));
        const QString sub = QDir::toNativeSeparators(dir_->filePath("sub"));
        ProbeForm& form = *frmProbe;
        bool inSetter = false;
        script.dirChange = [&](ProbeForm& f) {
            QVERIFY(inSetter);
            f.File1.setPath(f.Dir1.Path());
        };
        events.clear();
        inSetter = true;
        form.Dir1.setPath(sub);
        inSetter = false;
        form.Dir1.setPath(sub); // the same folder again is no change
        QCOMPARE(form.File1.ListCount(), 2);

        form.File1.setListIndex(1);
        form.File1.setListIndex(-1); // selecting nothing is no click
        QCOMPARE(events, (QStringList{"Dir1_Change " + sub, "File1_Click b.gif"}));
        QCOMPARE(form.File1.FileName(), QString());
    }

    void timer() {
        ProbeForm& form = *frmProbe;
        form.Timer1.setEnabled(true);
        support::RunUntil(200);
        QCOMPARE(form.ticks, 0); // interval 0 never ticks

        // Due at 1000 ms; switched off and on again at 500 ms, it is due at 1500 ms.
        form.Timer1.setInterval(1000);
        int ticksAtCheck = -1;
        const auto restart = support::At(500, [&] {
            form.Timer1.setEnabled(false);
            form.Timer1.setEnabled(true);
        });
        const auto check = support::At(1200, [&] { ticksAtCheck = form.ticks; });
        QTRY_VERIFY(ticksAtCheck >= 0);
        QCOMPARE(ticksAtCheck, 0);
        QTRY_COMPARE(form.ticks, 1);

        // A new interval applies to a running timer at once.
        form.Timer1.setEnabled(false);
        form.Timer1.setInterval(60000);
        form.Timer1.setEnabled(true);
        form.Timer1.setInterval(20);
        QTRY_VERIFY(form.ticks >= 3);

        // Interval 0 stops it, switched on; switched off, a new interval does not start it.
        form.Timer1.setInterval(0);
        const int ticks = form.ticks;
        support::RunUntil(200);
        form.Timer1.setInterval(20);
        form.Timer1.setEnabled(false);
        form.Timer1.setInterval(10);
        support::RunUntil(200);
        QCOMPARE(form.ticks, ticks);
        QVERIFY(!form.Timer1.Enabled());
    }

    void twipsReadBackAndPixelsRoundHalfToEven_data() {
        QTest::addColumn<float>("twips");
        QTest::addColumn<int>("pixels");
        QTest::newRow("1.5 px up to 2") << 22.5f << 2;
        QTest::newRow("2.5 px down to 2") << 37.5f << 2;
        QTest::newRow("below a half") << 22.4f << 1;
        QTest::newRow("above a half") << 37.6f << 3;
        QTest::newRow("fraction of a twip") << 2586.6667f << 172;
        QTest::newRow("-0.5 px to 0") << -7.5f << 0;
        QTest::newRow("-1.5 px to -2") << -22.5f << -2;
    }

    void twipsReadBackAndPixelsRoundHalfToEven() {
        QFETCH(float, twips);
        QFETCH(int, pixels);
        forms::Label& label = frmProbe->Label1;
        const auto length = [](int px) { return std::max(0, px); }; // negative shows as empty

        label.Move(twips, twips, twips, twips);
        QCOMPARE(support::Box(label), QRectF(twips, twips, twips, twips));
        QCOMPARE(label.widget()->geometry(), QRect(pixels, pixels, length(pixels), length(pixels)));

        label.setLeft(twips);
        label.setTop(twips + 30);
        label.setWidth(twips + 60);
        label.setHeight(twips + 90);
        QCOMPARE(support::Box(label), QRectF(twips, twips + 30, twips + 60, twips + 90));
        QCOMPARE(label.widget()->geometry(),
                 QRect(pixels, pixels + 2, length(pixels + 4), length(pixels + 6)));
    }

    // Width and Height are the outer size as set; ScaleHeight is the client area inside it.
    void outerSizeReadsBack() {
        ProbeForm& form = *frmProbe;
        form.setWidth(4000.5f);
        form.setHeight(3337.5f);
        form.setVisible(true);
        QVERIFY(QTest::qWaitForWindowExposed(form.window()));
        QTRY_COMPARE(form.window()->frameGeometry().size(), QSize(267, 222));
        QCOMPARE(form.Width(), 4000.5f);
        QCOMPARE(form.Height(), 3337.5f);
        QCOMPARE(form.ScaleHeight(), form.window()->height() * 15.0f);
    }

    // A stretched image is drawn again at each new size, not its old pixels stretched, inside
    // its border when it has one.
    void imageDrawnAgainAtEachSize_data() {
        QTest::addColumn<int>("border");
        QTest::addColumn<QSize>("first"); // pixels
        QTest::addColumn<QSize>("then");
        QTest::newRow("larger") << 0 << QSize(60, 40) << QSize(150, 100);
        QTest::newRow("smaller") << 0 << QSize(150, 100) << QSize(60, 40);
        QTest::newRow("another shape, with a border") << 1 << QSize(104, 44) << QSize(64, 84);
    }

    void imageDrawnAgainAtEachSize() {
        QFETCH(int, border);
        QFETCH(QSize, first);
        QFETCH(QSize, then);
        QImage checks(24, 16, QImage::Format_RGB32); // any scaling of it blurs
        for (int y = 0; y < checks.height(); ++y)
            for (int x = 0; x < checks.width(); ++x)
                checks.setPixel(x, y, (x + y) % 2 ? qRgb(200, 40, 40) : qRgb(255, 255, 255));
        const pictures::Picture picture = pictures::PictureFromImage(checks);
        ProbeForm& form = *frmProbe;
        form.setVisible(true);
        QVERIFY(QTest::qWaitForWindowExposed(form.window()));
        forms::Image& image = form.Image1;
        const auto drawnAt = [&](QSize pixels) {
            image.Move(150, 150, pixels.width() * 15.0f, pixels.height() * 15.0f);
            if (image.Picture().isNull())
                image.setPicture(picture);
            const QRect inside = QRect(QPoint(0, 0), pixels)
                                     .adjusted(2 * border, 2 * border, -2 * border, -2 * border);
            const QImage expected = picture.render(inside.size()).image;
            QTRY_COMPARE(
                image.widget()->grab().toImage().copy(inside).convertToFormat(QImage::Format_RGB32),
                expected.convertToFormat(QImage::Format_RGB32));
        };
        image.setStretch(true);
        image.setBorderStyle(border);
        drawnAt(first);
        if (!QTest::currentTestFailed())
            drawnAt(then); // the same picture: only its pixels change
    }

    void disabledWindowTakesNoInput_data() {
        support::Column<bool>("enabled",
                              {{"enabled: activated, then closed", true},
                               {"disabled: the window above keeps the focus, no close", false}});
    }

    // frmOther is open above frmProbe, as the About window is above the browser.
    void disabledWindowTakesNoInput() {
        QFETCH(bool, enabled);
        ProbeForm& form = *frmProbe;
        form.setVisible(true);
        QVERIFY(QTest::qWaitForWindowActive(form.window()));
        form.File1.widget()->setFocus();
        form.setEnabled(enabled);
        frmOther->setVisible(true);
        QVERIFY(QTest::qWaitForWindowActive(frmOther->window()));

        QSignalSpy focus(qApp, &QGuiApplication::focusWindowChanged);
        form.window()->activateWindow(); // as the window system does at a click on it
        QTRY_COMPARE(focus.size(), enabled ? 1 : 2);
        QCOMPARE(QGuiApplication::focusWindow(),
                 (enabled ? form : *frmOther).window()->windowHandle());
        QCOMPARE(form.activations, enabled ? 2 : 1);
        QCOMPARE(frmOther->activations, 1);
        form.window()->close(); // the window system's close request
        QCOMPARE(events.contains("Form_QueryUnload"), enabled);
        QCOMPARE(frmProbe.IsLoaded(), !enabled);
        if (!enabled) { // enabled again, it gives the focus back to the control that had it
            form.setEnabled(true);
            form.window()->activateWindow();
            QTRY_COMPARE(QApplication::focusWidget(), form.File1.widget());
        }
    }

    void keyCodes_data() {
        QTest::addColumn<int>("row");
        for (int row = 0; row < int(std::size(kKeys)); ++row)
            QTest::newRow(kKeys[row].name) << row;
    }

    void keyCodes() {
        QFETCH(int, row);
        const KeyRow& k = kKeys[row];
        const QKeyEvent event(QEvent::KeyPress, k.key, k.modifiers, k.scanCode, 0, 0,
                              QString::fromUtf8(k.text));
        QCOMPARE(forms::KeyCodeOf(event, k.scanCodes), k.keyCode);
        QCOMPARE(forms::ShiftOf(event.modifiers()), k.shift);
        QCOMPARE(forms::KeyAsciiOf(event), k.keyAscii);
    }

    // Down, then F5, which the list passes on to its parents: each is seen once.
    void keyPreview_data() {
        QTest::addColumn<bool>("preview");
        QTest::addColumn<QStringList>("seen");
        QTest::newRow("on: the window first, once")
            << true
            << QStringList{"Form_KeyDown 40", "File1_KeyDown 40", "File1_Click b.gif",
                           "Form_KeyDown 116", "File1_KeyDown 116"};
        QTest::newRow("off: the control only")
            << false << QStringList{"File1_KeyDown 40", "File1_Click b.gif", "File1_KeyDown 116"};
    }

    void keyPreview() {
        QFETCH(bool, preview);
        QVERIFY(support::WriteFile(dir_->filePath("a.gif")));
        QVERIFY(support::WriteFile(dir_->filePath("b.gif")));
        ProbeForm& form = *frmProbe;
        form.setKeyPreview(preview);
        form.File1.setPath(dir_->path());
        form.setVisible(true);
        QVERIFY(QTest::qWaitForWindowActive(form.window()));
        form.File1.widget()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), form.File1.widget());
        form.File1.setListIndex(0);
        events.clear();
        QTest::keyClick(form.File1.widget(), Qt::Key_Down);
        QTest::keyClick(form.File1.widget(), Qt::Key_F5);
        QTEST(events, "seen");
    }

    void failureInHandlerIsReportedAndProgramGoesOn_data() {
        support::Column<int>(
            "kind", {{"runtime error", 0}, {"standard exception", 1}, {"anything else", 2}});
    }

    void failureInHandlerIsReportedAndProgramGoesOn() {
        QFETCH(int, kind);
        const QString report =
            QStringList{"/pictures/x.jpg: not a picture", "bad thing", "unexpected failure"}[kind];
        bool restRan = false;
        const auto fail = [&](ProbeForm&) {
            Fail(kind);
            restRan = true;
        };
        // A failing Form_Load leaves the window loaded.
        script.load = fail;
        frmProbe->setVisible(true);
        QVERIFY(frmProbe.IsLoaded());
        QVERIFY(frmProbe->Visible());
        QCOMPARE(failures, QStringList{report});

        // The property change that raised the event completes; only the handler ends.
        QDir(dir_->path()).mkdir("one");
        script.dirChange = fail;
        frmProbe->Dir1.setPath(dir_->filePath("one"));
        QCOMPARE(failures, (QStringList{report, report}));
        QVERIFY(!restRan);
        QCOMPARE(frmProbe->Dir1.Path(), QDir::toNativeSeparators(dir_->filePath("one")));

        // A failing timer tick goes on ticking.
        script.tick = fail;
        frmProbe->Timer1.setInterval(10);
        frmProbe->Timer1.setEnabled(true);
        QTRY_VERIFY(frmProbe->ticks >= 2);
        QCOMPARE(failures.last(), report);
        QCOMPARE(constructedForms, 1);
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
