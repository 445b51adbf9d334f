// The full-screen viewer: opening it from the browser, the fit to the screen, the key table and
// the slide show, failures shown on the viewer, and every way back to the browser.
#include "Support.h"

#include <QBuffer>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QRandomGenerator>
#include <QScreen>
#include <QTemporaryDir>

#include <cmath>
#include <memory>
#include <optional>

namespace {

using support::BrowserAt;

// The offscreen screen of tests/screens.json, in twips.
constexpr float W = 1920 * 15.0f;
constexpr float H = 1080 * 15.0f;

constexpr auto Shift = Qt::ShiftModifier;
constexpr auto Ctrl = Qt::ControlModifier;
constexpr auto Alt = Qt::AltModifier;

// The modifier combinations that the key table tells apart.
const QList<std::pair<const char*, Qt::KeyboardModifiers>> kModifiers{
    {"none", Qt::NoModifier},
    {"Shift", Shift},
    {"Ctrl", Ctrl},
    {"Alt", Alt},
    {"Shift+Alt", Shift | Alt},
    {"Ctrl+Shift+Alt", Ctrl | Shift | Alt},
};

// Three files of three shapes, so that the box on the screen tells which one is shown.
struct Sample {
    QString name;
    QSize pixels;
    QSizeF box; // pic2's width and height in twips once shown
};
const QList<Sample> kABC{
    {"a.jpg", {300, 100}, {W, W / 3}},
    {"b.jpg", {100, 150}, {H * 2 / 3, H}},
    {"c.jpg", {40, 40}, {H, H}},
};

bool Near(double actual, double expected) {
    return std::abs(actual - expected) < 0.01;
}

// The sample whose box pic2 has, or an empty name when it has none of them.
QString ShownFile() {
    if (frmView->pic2.Picture().isNull())
        return {};
    for (const Sample& sample : kABC)
        if (Near(frmView->pic2.Width(), sample.box.width()) &&
            Near(frmView->pic2.Height(), sample.box.height()))
            return sample.name;
    return QStringLiteral("?");
}

// The failure line the viewer shows, empty when it shows none.
QString FailureLine() {
    for (const QLabel* label : frmView->window()->findChildren<QLabel*>())
        if (label->isVisibleTo(frmView->window()))
            return label->text();
    return {};
}

// Keys go where a user's keys go: to the viewer's focus widget, or to the window without one.
void PressKey(QKeyCombination key) {
    QWidget* window = frmView->window();
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus && focus->window() == window ? focus : window, key.key(),
                    key.keyboardModifiers());
}

void PressKeys(const QKeySequence& keys) {
    for (int i = 0; i < keys.count(); ++i)
        PressKey(keys[i]);
}

// Mouse clicks go through the window, as a user's do, to whatever lies under the pointer.
void ClickOn(QWidget* widget, std::optional<QPoint> at = std::nullopt) {
    const QPoint inWindow = widget->mapTo(widget->window(), at.value_or(widget->rect().center()));
    QTest::mouseClick(widget->window()->windowHandle(), Qt::LeftButton, {}, inWindow);
}

void DoubleClickOn(QWidget* widget, QPoint at) {
    const QPoint inWindow = widget->mapTo(widget->window(), at);
    QTest::mouseDClick(widget->window()->windowHandle(), Qt::LeftButton, {}, inWindow);
}

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

} // namespace

class TestViewer : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;

    QString PathOf(const QString& name) const { return dir_->filePath(name); }

    static void WriteNotAPicture(const QString& path) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("not a picture");
    }

    // A JPEG of noise cut off half-way: its header reads, its pixels end early.
    static void WriteTruncatedJpeg(const QString& path, QSize size) {
        QImage noise(size, QImage::Format_RGB32);
        QRandomGenerator random(7);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                noise.setPixel(x, y, random.generate());
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QVERIFY(noise.save(&buffer, "jpeg"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes.left(bytes.size() / 2));
    }

    void WriteABC() {
        for (const Sample& sample : kABC)
            support::WritePicture(PathOf(sample.name), sample.pixels.width(),
                                  sample.pixels.height());
    }

    // The browser at the folder with `index` selected, then a click on its preview pane.
    void OpenViewerOn(int index) {
        MainForm& browser = BrowserAt(dir_->path());
        browser.File1.setListIndex(index);
        QVERIFY(QTest::qWaitForWindowExposed(browser.window()));
        ClickOn(browser.pic1.widget());
        QVERIFY(frmView.IsLoaded());
        QTRY_VERIFY(frmView->Visible());
        QVERIFY(QTest::qWaitForWindowActive(frmView->window()));
    }

    // A double-click on the empty part of the file list, below its entries.
    void DoubleClickBelowTheFiles() {
        MainForm& browser = BrowserAt(dir_->path());
        QVERIFY(QTest::qWaitForWindowExposed(browser.window()));
        auto* list = static_cast<QListWidget*>(browser.File1.widget());
        const int last = list->count() - 1;
        const QPoint below(list->viewport()->width() / 2,
                           last < 0 ? 5 : list->visualItemRect(list->item(last)).bottom() + 5);
        QVERIFY(!list->indexAt(below).isValid());
        QCOMPARE(browser.window()->childAt(list->viewport()->mapTo(browser.window(), below)),
                 list->viewport());
        DoubleClickOn(list->viewport(), below);
        QVERIFY(frmView.IsLoaded());
        QTRY_VERIFY(frmView->Visible());
    }

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void cleanup() {
        support::UnloadAll();
        dir_.reset();
    }

    // --- opening ---------------------------------------------------------------------------

    void doubleClickOnAFileOpensIt() {
        WriteABC();
        MainForm& browser = BrowserAt(dir_->path());
        QVERIFY(QTest::qWaitForWindowExposed(browser.window()));
        auto* list = static_cast<QListWidget*>(browser.File1.widget());
        const QPoint second = list->visualItemRect(list->item(1)).center();
        DoubleClickOn(list->viewport(), second);
        QVERIFY(frmView.IsLoaded());
        QTRY_VERIFY(frmView->Visible());
        QVERIFY(!frmMain->Visible());
        QCOMPARE(frmMain->File1.ListIndex(), 1);
        QCOMPARE(ShownFile(), QStringLiteral("b.jpg"));
        QCOMPARE(FailureLine(), QString());
    }

    void nothingSelected_data() {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("click on the preview pane") << false;
        QTest::newRow("View, Full Screen") << true;
    }

    void nothingSelected() {
        QFETCH(bool, fromMenu);
        WriteABC();
        MainForm& browser = BrowserAt(dir_->path());
        QCOMPARE(browser.File1.ListIndex(), -1);
        if (fromMenu)
            browser.full.action()->trigger();
        else
            ClickOn(browser.pic1.widget());
        QCOMPARE(browser.statbar.StatusText(),
                 QStringLiteral("No Picture Loaded to View Full Screen"));
        QVERIFY(!frmView.IsLoaded());
        QVERIFY(browser.Visible());
    }

    void menuOpensTheSelectedFile() {
        WriteABC();
        MainForm& browser = BrowserAt(dir_->path());
        browser.File1.setListIndex(2);
        browser.full.action()->trigger();
        QVERIFY(frmView.IsLoaded());
        QTRY_VERIFY(frmView->Visible());
        QVERIFY(!browser.Visible());
        QCOMPARE(ShownFile(), QStringLiteral("c.jpg"));
    }

    // A borderless window over the whole screen the browser was on.
    void theViewerCoversTheScreen() {
        WriteABC();
        OpenViewerOn(0);
        QWidget* window = frmView->window();
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(window->isFullScreen());
        QCOMPARE(window->screen(), frmMain->window()->screen());
        QTRY_COMPARE(window->frameGeometry(), window->screen()->geometry());
        QCOMPARE(frmView->WindowState(), forms::vbMaximized);
    }

    // With two screens, the viewer covers the one that shows the browser (the two-screen run
    // of this suite).
    void theViewerOpensOnTheBrowsersScreen() {
        const QList<QScreen*> screens = QGuiApplication::screens();
        if (screens.size() < 2)
            QSKIP("needs a second screen");
        QScreen* second = screens.at(1);
        WriteABC();
        MainForm& browser = BrowserAt(dir_->path());
        QVERIFY(QTest::qWaitForWindowExposed(browser.window()));
        browser.window()->move(second->geometry().center());
        QTRY_COMPARE(browser.window()->screen(), second);
        browser.File1.setListIndex(0);
        ClickOn(browser.pic1.widget());
        QVERIFY(frmView.IsLoaded());
        QTRY_VERIFY(frmView->Visible());
        QCOMPARE(frmView->window()->screen(), second);
        QTRY_COMPARE(frmView->window()->frameGeometry(), second->geometry());
        // a.jpg, a panorama, spans that screen's width.
        QCOMPARE(frmView->pic2.Width(), second->geometry().width() * 15.0f);
        QCOMPARE(frmView->pic2.Left(), 0.0f);
    }

    // --- the fit to the screen -------------------------------------------------------------

    void fit_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QRectF>("box"); // Left, Top, Width, Height in twips
        QTest::newRow("panorama: full width, equal bands above and below")
            << "pano.jpg" << QSize(3000, 1000) << QRectF(0, (H - W / 3) / 2, W, W / 3);
        QTest::newRow("portrait: full height, equal bands left and right")
            << "tall.jpg" << QSize(1000, 1500) << QRectF((W - H * 2 / 3) / 2, 0, H * 2 / 3, H);
        QTest::newRow("the screen's ratio: the whole screen")
            << "wide.jpg" << QSize(1920, 1080) << QRectF(0, 0, W, H);
        QTest::newRow("32 x 32 icon: enlarged to the full height")
            << "icon.ico" << QSize(32, 32) << QRectF((W - H) / 2, 0, H, H);
        QTest::newRow("photo several thousand pixels wide")
            << "photo.jpg" << QSize(4000, 3000) << QRectF((W - H * 4 / 3) / 2, 0, H * 4 / 3, H);
    }

    void fit() {
        QFETCH(QString, name);
        QFETCH(QSize, pixels);
        QFETCH(QRectF, box);
        support::WritePicture(PathOf(name), pixels.width(), pixels.height());
        OpenViewerOn(0);
        const forms::Image& pic2 = frmView->pic2;
        QVERIFY(!pic2.Picture().isNull());
        QVERIFY2(Near(pic2.Left(), box.left()), qPrintable(QString::number(pic2.Left())));
        QVERIFY2(Near(pic2.Top(), box.top()), qPrintable(QString::number(pic2.Top())));
        QVERIFY2(Near(pic2.Width(), box.width()), qPrintable(QString::number(pic2.Width())));
        QVERIFY2(Near(pic2.Height(), box.height()), qPrintable(QString::number(pic2.Height())));
        // Where the box touches an edge, it touches it exactly.
        if (box.left() == 0)
            QCOMPARE(pic2.Left(), 0.0f);
        if (box.top() == 0)
            QCOMPARE(pic2.Top(), 0.0f);
        const QRect pixelsOnScreen(qRound(box.left() / 15), qRound(box.top() / 15),
                                   qRound(box.width() / 15), qRound(box.height() / 15));
        QCOMPARE(pic2.widget()->geometry(), pixelsOnScreen);
    }

    // The picture drawn in its box, the window-background colour in the bands beside it.
    void bandsShowTheWindowBackground() {
        support::WritePicture(PathOf("tall.jpg"), 100, 150, Qt::blue);
        OpenViewerOn(0);
        const QImage shot = frmView->window()->grab().toImage();
        const QColor background = QApplication::palette().color(QPalette::Base);
        QCOMPARE(shot.pixelColor(10, 540), background);
        QCOMPARE(shot.pixelColor(1910, 540), background);
        const QColor middle = shot.pixelColor(960, 540);
        QVERIFY2(middle.blue() > 200 && middle.red() < 50, qPrintable(middle.name()));
    }

    // --- the key table ---------------------------------------------------------------------

    // Each row starts on b.jpg (index 1) with a show running every 9 seconds.
    void keyTable_data() {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("interval");
        for (const auto& [name, modifiers] : kModifiers) {
            const bool keepsShow = modifiers == (Shift | Alt);
            QTest::addRow("Escape, %s", name)
                << QKeyCombination(modifiers, Qt::Key_Escape) << true << 1 << true << 9000;
            QTest::addRow("Right, %s", name)
                << QKeyCombination(modifiers, Qt::Key_Right) << false << 2 << keepsShow << 9000;
            QTest::addRow("Left, %s", name)
                << QKeyCombination(modifiers, Qt::Key_Left) << false << 0 << keepsShow << 9000;
            QTest::addRow("3, %s", name)
                << QKeyCombination(modifiers, Qt::Key_3) << false << 1 << true << 3000;
            QTest::addRow("0, %s", name)
                << QKeyCombination(modifiers, Qt::Key_0) << false << 1 << true << 0;
            QTest::addRow("keypad 4, %s", name)
                << QKeyCombination(modifiers | Qt::KeypadModifier, Qt::Key_4) << false << 1 << true
                << 4000;
        }
        QTest::addRow("keypad 0") << QKeyCombination(Qt::KeypadModifier, Qt::Key_0) << false << 1
                                  << true << 0;
        QTest::addRow("main-row 9") << QKeyCombination(Qt::Key_9) << false << 1 << true << 9000;
        QTest::addRow("keypad 9") << QKeyCombination(Qt::KeypadModifier, Qt::Key_9) << false << 1
                                  << true << 9000;
        for (const Qt::Key other : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Space, Qt::Key_Return,
                                    Qt::Key_A, Qt::Key_F4, Qt::Key_Shift})
            QTest::addRow("not in the table: %s", qPrintable(QKeySequence(other).toString()))
                << QKeyCombination(other) << false << 1 << true << 9000;
    }

    void keyTable() {
        QFETCH(QKeyCombination, key);
        QFETCH(bool, closes);
        QFETCH(int, index);
        QFETCH(bool, enabled);
        QFETCH(int, interval);
        WriteABC();
        OpenViewerOn(1);
        PressKey(Qt::Key_9);
        QVERIFY(frmView->Timer1.Enabled());

        PressKey(key);
        QCOMPARE(frmMain->File1.ListIndex(), index);
        if (closes) {
            QVERIFY(!frmView.IsLoaded());
            QVERIFY(frmMain->Visible());
            return;
        }
        QVERIFY(frmView->Visible());
        QVERIFY(!frmMain->Visible());
        QCOMPARE(ShownFile(), kABC[index].name);
        QCOMPARE(frmView->Timer1.Enabled(), enabled);
        QCOMPARE(frmView->Timer1.Interval(), interval);
    }

    void wrapAround_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<int>("to");
        QTest::newRow("Right on the last shows the first")
            << 2 << QKeyCombination(Qt::Key_Right) << 0;
        QTest::newRow("Left on the first shows the last")
            << 0 << QKeyCombination(Qt::Key_Left) << 2;
        QTest::newRow("Shift+Alt+Right on the last")
            << 2 << QKeyCombination(Shift | Alt, Qt::Key_Right) << 0;
        QTest::newRow("Shift+Alt+Left on the first")
            << 0 << QKeyCombination(Shift | Alt, Qt::Key_Left) << 2;
    }

    void wrapAround() {
        QFETCH(int, from);
        QFETCH(QKeyCombination, key);
        QFETCH(int, to);
        WriteABC();
        OpenViewerOn(from);
        PressKey(key);
        QCOMPARE(frmMain->File1.ListIndex(), to);
        QCOMPARE(ShownFile(), kABC[to].name);
    }

    // In a folder with one file every step shows that file again.
    void oneFile_data() {
        QTest::addColumn<QKeySequence>("keys");
        QTest::newRow("Right") << QKeySequence(Qt::Key_Right);
        QTest::newRow("Left") << QKeySequence(Qt::Key_Left);
        QTest::newRow("a tick of a 1-second show") << QKeySequence(Qt::Key_1);
    }

    void oneFile() {
        QFETCH(QKeySequence, keys);
        support::WritePicture(PathOf("only.jpg"), 100, 150);
        OpenViewerOn(0);
        const pictures::Picture first = frmView->pic2.Picture();
        QVERIFY(!first.isNull());
        PressKeys(keys);
        QTRY_VERIFY_WITH_TIMEOUT(!(frmView->pic2.Picture() == first), 5000);
        QVERIFY(!frmView->pic2.Picture().isNull());
        QCOMPARE(frmMain->File1.ListIndex(), 0);
        QCOMPARE(FailureLine(), QString());
    }

    // The slide-show states, Stopped, Running n and Halted, and the moves between them.
    void slideShow_data() {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("index");
        QTest::newRow("opening: Stopped") << QKeySequence() << false << 0 << 0;
        QTest::newRow("3: Running 3") << QKeySequence("3") << true << 3000 << 0;
        QTest::newRow("5 re-times a running show") << QKeySequence("3, 5") << true << 5000 << 0;
        QTest::newRow("Right steps and stops it")
            << QKeySequence("3, 5, Right") << false << 5000 << 1;
        QTest::newRow("0 halts it") << QKeySequence("3, 0") << true << 0 << 0;
        QTest::newRow("7 runs a halted show again") << QKeySequence("3, 0, 7") << true << 7000 << 0;
        QTest::newRow("Left stops a halted show") << QKeySequence("0, Left") << false << 0 << 2;
        QTest::newRow("Shift+Alt+Right keeps Running")
            << QKeySequence("3, Shift+Alt+Right") << true << 3000 << 1;
        QTest::newRow("Shift+Alt+Left keeps Halted")
            << QKeySequence("0, Shift+Alt+Left") << true << 0 << 2;
        QTest::newRow("Shift+Alt+Right keeps Stopped")
            << QKeySequence("Shift+Alt+Right") << false << 0 << 1;
        QTest::newRow("Shift+3 acts as 3") << QKeySequence("Shift+3") << true << 3000 << 0;
        QTest::newRow("Ctrl+Right stops a show")
            << QKeySequence("4, Ctrl+Right") << false << 4000 << 1;
    }

    void slideShow() {
        QFETCH(QKeySequence, keys);
        QFETCH(bool, enabled);
        QFETCH(int, interval);
        QFETCH(int, index);
        WriteABC();
        OpenViewerOn(0);
        PressKeys(keys);
        QCOMPARE(frmView->Timer1.Enabled(), enabled);
        QCOMPARE(frmView->Timer1.Interval(), interval);
        QCOMPARE(frmMain->File1.ListIndex(), index);
        QCOMPARE(ShownFile(), kABC[index].name);
    }

    // A running show steps on its own and goes on from the last file to the first.
    void aRunningShowSteps() {
        WriteABC();
        OpenViewerOn(1);
        PressKey(Qt::Key_1);
        QTRY_COMPARE_WITH_TIMEOUT(frmMain->File1.ListIndex(), 2, 5000);
        QCOMPARE(ShownFile(), QStringLiteral("c.jpg"));
        QTRY_COMPARE_WITH_TIMEOUT(frmMain->File1.ListIndex(), 0, 5000);
        QCOMPARE(ShownFile(), QStringLiteral("a.jpg"));
    }

    void reopeningStartsStopped() {
        WriteABC();
        OpenViewerOn(0);
        PressKey(Qt::Key_1);
        const QPointer<QWidget> first = frmView->window();
        PressKey(Qt::Key_Escape);
        QTRY_VERIFY(first.isNull()); // its timer went with it
        QVERIFY(frmMain->Visible());

        frmMain->File1.setListIndex(2);
        frmMain->full.action()->trigger();
        QVERIFY(frmView.IsLoaded());
        QTRY_VERIFY(frmView->Visible());
        QVERIFY(!frmView->Timer1.Enabled());
        QCOMPARE(frmView->Timer1.Interval(), 0);
        QCOMPARE(ShownFile(), QStringLiteral("c.jpg"));
    }

    // A tick that comes due together with the close (the program was busy) moves nothing:
    // the show ends with the window, and the browser keeps the file last shown.
    void aTickDueAtTheCloseDoesNothing() {
        WriteABC();
        OpenViewerOn(1);
        PressKey(Qt::Key_1);
        const QPointer<QWidget> viewer = frmView->window();
        QTimer::singleShot(900, Qt::PreciseTimer, [] { PressKey(Qt::Key_Escape); });
        QTest::qSleep(1300); // busy: the close and the tick are both due when the loop resumes
        QTRY_VERIFY(viewer.isNull());
        QVERIFY(!frmView.IsLoaded());
        QVERIFY(frmMain->Visible());
        QCOMPARE(frmMain->File1.ListIndex(), 1);
    }

    // --- closing ---------------------------------------------------------------------------

    void closing_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Escape") << "Escape";
        QTest::newRow("click on the picture") << "picture";
        QTest::newRow("click on a band") << "band";
        QTest::newRow("click on the failure line") << "failure";
        QTest::newRow("the window system's close") << "system";
    }

    // Each way out brings the browser back with the file last shown selected.
    void closing() {
        QFETCH(QString, how);
        WriteABC();
        OpenViewerOn(0);
        PressKey(Qt::Key_Right); // b.jpg, a portrait picture with bands left and right
        QCOMPARE(ShownFile(), QStringLiteral("b.jpg"));
        const QPointer<QWidget> viewer = frmView->window();
        if (how == "Escape") {
            PressKey(Qt::Key_Escape);
        } else if (how == "picture") {
            ClickOn(frmView->pic2.widget());
        } else if (how == "band") {
            ClickOn(frmView->client(), QPoint(20, 540));
        } else if (how == "failure") {
            frmView->ReportFailure(QStringLiteral("something went wrong"));
            QCOMPARE(FailureLine(), QStringLiteral("something went wrong"));
            ClickOn(frmView->client(), QPoint(100, 30));
        } else {
            viewer->close();
        }
        QVERIFY(!frmView.IsLoaded());
        QTRY_VERIFY(frmMain->Visible());
        QCOMPARE(frmMain->File1.ListIndex(), 1);
        QCOMPARE(frmMain->File1.FileName(), QStringLiteral("b.jpg"));
        QTRY_VERIFY(viewer.isNull());
    }

    // --- failures --------------------------------------------------------------------------

    // A file that can't be shown is reported on the viewer; the viewer stays open, and the
    // next step shows the next file and clears the report.
    void aBadFileIsSteppedOver_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("stays"); // what the screen shows while the report is up
        QTest::newRow("not a picture") << "not a picture"
                                       << "a.jpg";
        QTest::newRow("gone since it was listed") << "gone"
                                                  << "a.jpg";
        QTest::newRow("corrupt: the data ends early") << "corrupt"
                                                      << "b.jpg";
    }

    void aBadFileIsSteppedOver() {
        QFETCH(QString, kind);
        QFETCH(QString, stays);
        WriteABC();
        if (kind == "corrupt")
            WriteTruncatedJpeg(PathOf("b.jpg"), kABC[1].pixels);
        else
            WriteNotAPicture(PathOf("b.jpg"));
        OpenViewerOn(0);
        if (kind == "gone")
            QVERIFY(QFile::remove(PathOf("b.jpg")));
        PressKey(Qt::Key_Right);
        QCOMPARE(frmMain->File1.ListIndex(), 1);
        QTRY_VERIFY2(FailureLine().contains("b.jpg"), qPrintable(FailureLine()));
        QVERIFY(frmView->Visible());
        QCOMPARE(ShownFile(), stays);
        PressKey(Qt::Key_Right);
        QCOMPARE(ShownFile(), QStringLiteral("c.jpg"));
        QCOMPARE(FailureLine(), QString());
    }

    void aRunningShowGoesPastABadFile() {
        WriteABC();
        WriteNotAPicture(PathOf("b2.jpg")); // listed between b.jpg and c.jpg
        OpenViewerOn(1);
        QCOMPARE(frmMain->File1.List(2), QStringLiteral("b2.jpg"));
        PressKey(Qt::Key_1);
        QTRY_COMPARE_WITH_TIMEOUT(frmMain->File1.ListIndex(), 2, 5000);
        QVERIFY(frmView->Visible());
        QVERIFY2(FailureLine().contains("b2.jpg"), qPrintable(FailureLine()));
        QCOMPARE(ShownFile(), QStringLiteral("b.jpg"));
        QTRY_COMPARE_WITH_TIMEOUT(frmMain->File1.ListIndex(), 3, 5000);
        QCOMPARE(ShownFile(), QStringLiteral("c.jpg"));
        QCOMPARE(FailureLine(), QString());
        QVERIFY(frmView->Timer1.Enabled());
    }

    // Opened by a double-click on no file: the viewer says so, Right shows the first file and
    // Left the last.
    void openedWithNothingSelected_data() {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<int>("index");
        QTest::newRow("Right") << QKeyCombination(Qt::Key_Right) << 0;
        QTest::newRow("Left") << QKeyCombination(Qt::Key_Left) << 2;
    }

    void openedWithNothingSelected() {
        QFETCH(QKeyCombination, key);
        QFETCH(int, index);
        WriteABC();
        DoubleClickBelowTheFiles();
        QCOMPARE(frmMain->File1.ListIndex(), -1);
        QVERIFY(frmView->pic2.Picture().isNull());
        QVERIFY2(FailureLine().contains("No picture", Qt::CaseInsensitive),
                 qPrintable(FailureLine()));
        PressKey(key);
        QCOMPARE(frmMain->File1.ListIndex(), index);
        QCOMPARE(ShownFile(), kABC[index].name);
        QCOMPARE(FailureLine(), QString());
    }

    void anEmptyFolder() {
        DoubleClickBelowTheFiles();
        QCOMPARE(frmMain->File1.ListCount(), 0);
        QVERIFY(!FailureLine().isEmpty());
        PressKeys(QKeySequence("Right, Left, Shift+Alt+Right, Shift+Alt+Left"));
        QVERIFY(frmView->Visible());
        QCOMPARE(frmMain->File1.ListIndex(), -1);
        PressKey(Qt::Key_Escape);
        QVERIFY(!frmView.IsLoaded());
        QVERIFY(frmMain->Visible());
    }

    // --- the hidden browser ----------------------------------------------------------------

    // Each step runs the hidden browser's preview (its pane takes the new file's shape) but
    // the pane is not on screen, so it draws, and decodes, nothing.
    void theHiddenPaneDrawsNothing() {
        WriteABC();
        OpenViewerOn(0);
        const PaintCounter pane(frmMain->pic1.widget());
        const PaintCounter screen(frmView->pic2.widget());
        for (int step = 1; step <= 3; ++step) {
            const int before = screen.count;
            PressKey(Qt::Key_Right);
            const int index = step % 3;
            QCOMPARE(frmMain->File1.ListIndex(), index);
            const QSizeF shape = kABC[index].box;
            QVERIFY(Near(frmMain->pic1.Width() / frmMain->pic1.Height(),
                         shape.width() / shape.height()));
            QTRY_VERIFY(screen.count > before);
        }
        QCOMPARE(pane.count, 0);
    }
};

QTEST_MAIN(TestViewer)
#include "tst_viewer.moc"
