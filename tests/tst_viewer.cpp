// The full-screen viewer: opening it, the fit to the screen, the key table and the slide show,
// failures shown on the viewer, and every way back to the browser.
#include "Support.h"

#include "forms/LoadPicture.h"

#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>

namespace {

using support::BrowserAt;

// The offscreen screen of tests/screens.json, in twips.
constexpr float W = 1920 * 15.0f;
constexpr float H = 1080 * 15.0f;

// Three files of three shapes, so that the box on the screen tells which one is shown.
struct Sample {
    QString name;
    QSize pixels;
    QSizeF box; // pic2's size in twips once shown
};
const QList<Sample> kABC{
    {"a.jpg", {300, 100}, {W, W / 3}},
    {"b.jpg", {100, 150}, {H * 2 / 3, H}},
    {"c.jpg", {40, 40}, {H, H}},
};

bool Near(double actual, double expected) {
    return std::abs(actual - expected) < 0.01;
}

// The sample whose box pic2 has, "?" for another box, empty for no picture.
QString ShownFile() {
    if (frmView->pic2.Picture().isNull())
        return {};
    for (const Sample& sample : kABC)
        if (Near(frmView->pic2.Width(), sample.box.width()) &&
            Near(frmView->pic2.Height(), sample.box.height()))
            return sample.name;
    return QStringLiteral("?");
}

// The failure banner the viewer shows, null when it shows none.
const QLabel* Banner() {
    for (const QLabel* label : frmView->window()->findChildren<QLabel*>())
        if (label->isVisibleTo(frmView->window()))
            return label;
    return nullptr;
}

QString FailureLine() {
    const QLabel* banner = Banner();
    return banner ? banner->text() : QString();
}

// A banner read from a sofa: letters of at least a 24th of the screen's height, its whole
// text on one line across the screen's lower part, on a dark band over the picture.
void CheckBannerReadable() {
    const QLabel* banner = Banner();
    QVERIFY(banner);
    const int screenHeight = frmView->window()->screen()->geometry().height();
    QVERIFY2(QFontInfo(banner->font()).pixelSize() >= screenHeight / 24,
             qPrintable(QString::number(QFontInfo(banner->font()).pixelSize())));
    const QRect band = banner->geometry();
    QCOMPARE(band.width(), frmView->window()->width());
    QVERIFY(band.top() > screenHeight / 2 && band.bottom() < screenHeight);
    QVERIFY(QFontMetrics(banner->font()).horizontalAdvance(banner->text()) <= band.width());
    QTRY_VERIFY(frmView->window()
                    ->grab()
                    .toImage()
                    .pixelColor(band.left() + 4, band.center().y())
                    .lightness() < 100);
}

// What the viewer's screen shows at `at` so far: "red", "blue", or the colour's name.
QString ScreenAt(QPoint at) {
    const QColor c = frmView->window()->grab().toImage().pixelColor(at);
    if (c.red() > 200 && c.green() < 50 && c.blue() < 50)
        return QStringLiteral("red");
    if (c.blue() > 200 && c.red() < 50 && c.green() < 50)
        return QStringLiteral("blue");
    return c.name();
}

// Keys go where a user's keys go: to the viewer's focus widget, or to the window without one.
void PressKeys(const QKeySequence& keys) {
    for (int i = 0; i < keys.count(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        QWidget* target = focus && focus->window() == frmView->window() ? focus : frmView->window();
        QTest::keyClick(target, keys[i].key(), keys[i].keyboardModifiers());
    }
}

// Clicks go through the window, as a user's do, to whatever lies under the pointer (by
// default the widget's centre).
void ClickOn(QWidget* widget, std::optional<QPoint> at = {}, bool twice = false) {
    const QPoint inWindow = widget->mapTo(widget->window(), at.value_or(widget->rect().center()));
    QWindow* window = widget->window()->windowHandle();
    twice ? QTest::mouseDClick(window, Qt::LeftButton, {}, inWindow)
          : QTest::mouseClick(window, Qt::LeftButton, {}, inWindow);
}

} // namespace

class TestViewer : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;

    QString PathOf(const QString& name) const { return dir_->filePath(name); }

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

    // A double-click on the file list at `row`'s entry, or below the entries for -1.
    void DoubleClickFileList(int row) {
        MainForm& browser = BrowserAt(dir_->path());
        QVERIFY(QTest::qWaitForWindowExposed(browser.window()));
        auto* list = static_cast<QListWidget*>(browser.File1.widget());
        const int last = list->count() - 1;
        const QPoint below(list->viewport()->width() / 2,
                           last < 0 ? 5 : list->visualItemRect(list->item(last)).bottom() + 5);
        const QPoint at = row < 0 ? below : list->visualItemRect(list->item(row)).center();
        QCOMPARE(list->indexAt(at).row(), row);
        ClickOn(list->viewport(), at, true);
        QVERIFY(frmView.IsLoaded());
        QTRY_VERIFY(frmView->Visible());
    }

    // Until the render service holds b.jpg as the viewer shows it; asking is what a caller does.
    void WaitForBDrawnAhead() {
        const QSize pixels = (kABC[1].box / 15).toSize();
        QTRY_VERIFY([&] {
            QObject asker;
            return forms::App.Pictures()
                .request(forms::LoadPicture(PathOf("b.jpg")), pixels, &asker, {})
                .has_value();
        }());
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

    // A double-click on a file, a click on the preview pane and View, Full Screen open the
    // selected file in a borderless window over the browser's screen; with no file selected,
    // the last two say so in the status bar.
    void opening_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("selected");
        QTest::newRow("double-click on a file") << "double-click" << 1;
        QTest::newRow("click on the pane") << "pane" << 2;
        QTest::newRow("View, Full Screen") << "menu" << 2;
        QTest::newRow("click on the pane, no file selected") << "pane" << -1;
        QTest::newRow("View, Full Screen, no file selected") << "menu" << -1;
    }

    void opening() {
        QFETCH(QString, how);
        QFETCH(int, selected);
        WriteABC();
        MainForm& browser = BrowserAt(dir_->path());
        if (how == "double-click") {
            DoubleClickFileList(selected);
        } else {
            browser.File1.setListIndex(selected);
            how == "pane" ? ClickOn(browser.pic1.widget()) : browser.full.action()->trigger();
        }
        if (selected < 0) {
            QCOMPARE(browser.statbar.StatusText(),
                     QStringLiteral("No Picture Loaded to View Full Screen"));
            QVERIFY(!frmView.IsLoaded());
            QVERIFY(browser.Visible());
            return;
        }
        QTRY_VERIFY(frmView->Visible());
        QVERIFY(!browser.Visible());
        QCOMPARE(browser.File1.ListIndex(), selected);
        QCOMPARE(ShownFile(), kABC[selected].name);
        QWidget* window = frmView->window();
        QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(window->isFullScreen());
        QCOMPARE(window->screen(), browser.window()->screen());
        QTRY_COMPARE(window->frameGeometry(), window->screen()->geometry());
        QCOMPARE(frmView->WindowState(), forms::vbMaximized);
    }

    // Run again with two screens: the viewer covers the one that shows the browser.
    void theViewerOpensOnTheBrowsersScreen() {
        if (QGuiApplication::screens().size() < 2)
            QSKIP("needs a second screen");
        QScreen* second = QGuiApplication::screens().at(1);
        WriteABC();
        MainForm& browser = BrowserAt(dir_->path());
        QVERIFY(QTest::qWaitForWindowExposed(browser.window()));
        browser.window()->move(second->geometry().center());
        QTRY_COMPARE(browser.window()->screen(), second);
        OpenViewerOn(0);
        QCOMPARE(frmView->window()->screen(), second);
        QTRY_COMPARE(frmView->window()->frameGeometry(), second->geometry());
        // a.jpg, a panorama, spans that screen's width.
        QCOMPARE(frmView->pic2.Width(), second->geometry().width() * 15.0f);
    }

    void fit_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QRectF>("box"); // in twips
        QTest::newRow("panorama: full width, equal bands above and below")
            << "pano.jpg" << QSize(3000, 1000) << QRectF(0, (H - W / 3) / 2, W, W / 3);
        QTest::newRow("portrait: full height, equal bands left and right")
            << "tall.jpg" << QSize(1000, 1500) << QRectF((W - H * 2 / 3) / 2, 0, H * 2 / 3, H);
        QTest::newRow("the screen's ratio: the whole screen")
            << "wide.jpg" << QSize(1920, 1080) << QRectF(0, 0, W, H);
        QTest::newRow("32 x 32 icon: enlarged to the full height")
            << "icon.ico" << QSize(32, 32) << QRectF((W - H) / 2, 0, H, H);
    }

    void fit() {
        QFETCH(QString, name);
        QFETCH(QSize, pixels);
        QFETCH(QRectF, box);
        support::WritePicture(PathOf(name), pixels.width(), pixels.height());
        OpenViewerOn(0);
        const forms::Image& pic2 = frmView->pic2;
        const QRectF shown = support::Box(pic2);
        QVERIFY2(Near(shown.left(), box.left()) && Near(shown.top(), box.top()) &&
                     Near(shown.width(), box.width()) && Near(shown.height(), box.height()),
                 qPrintable(QDebug::toString(shown)));
        // Where the box touches an edge, it touches it exactly.
        QVERIFY(box.left() != 0 || shown.left() == 0);
        QVERIFY(box.top() != 0 || shown.top() == 0);
        QCOMPARE(pic2.widget()->geometry(), QRectF(box.topLeft() / 15, box.size() / 15).toRect());
        // The picture is drawn in its box, the window-background colour in the bands.
        QTRY_COMPARE(ScreenAt(QPoint(960, 540)), QStringLiteral("red"));
        if (box.left() > 0)
            QCOMPARE(ScreenAt(QPoint(10, 540)),
                     QApplication::palette().color(QPalette::Base).name());
    }

    // Each row opens the viewer on a file, presses keys, and tells the file shown and the
    // slide show's state afterwards, or that Escape closed the viewer.
    void keys_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("interval");
        // The key table with the modifiers that matter, on b.jpg with a show running every 9 s.
        const auto nineThen = [](QKeyCombination key) {
            return QKeySequence(QKeyCombination(Qt::Key_9), key);
        };
        const auto Shift = Qt::ShiftModifier, Ctrl = Qt::ControlModifier, Alt = Qt::AltModifier;
        const std::pair<const char*, Qt::KeyboardModifiers> modifierSets[]{
            {"none", {}}, {"Shift", Shift},           {"Ctrl", Ctrl},
            {"Alt", Alt}, {"Shift+Alt", Shift | Alt}, {"Ctrl+Shift+Alt", Ctrl | Shift | Alt},
        };
        // Named copies, not structured bindings: clang before 16 cannot capture those.
        for (const auto& set : modifierSets) {
            const char* name = set.first;
            const Qt::KeyboardModifiers modifiers = set.second;
            const bool keepsShow = modifiers == (Shift | Alt);
            const auto row = [&](const char* key, Qt::Key code,
                                 Qt::KeyboardModifiers more = {}) -> QTestData& {
                return QTest::addRow("%s, %s", key, name)
                       << 1 << nineThen(QKeyCombination(modifiers | more, code));
            };
            row("Escape", Qt::Key_Escape) << 1 << true << 9000;
            row("Right", Qt::Key_Right) << 2 << keepsShow << 9000;
            row("Left", Qt::Key_Left) << 0 << keepsShow << 9000;
            row("3", Qt::Key_3) << 1 << true << 3000;
            row("0", Qt::Key_0) << 1 << true << 0;
            row("keypad 4", Qt::Key_4, Qt::KeypadModifier) << 1 << true << 4000;
        }
        for (const Qt::Key key : {Qt::Key_0, Qt::Key_9})
            QTest::addRow("keypad %d", key - Qt::Key_0)
                << 1 << nineThen(QKeyCombination(Qt::KeypadModifier, key)) << 1 << true
                << (key - Qt::Key_0) * 1000;
        for (const Qt::Key other : {Qt::Key_Up, Qt::Key_Down, Qt::Key_Space, Qt::Key_Return,
                                    Qt::Key_A, Qt::Key_F4, Qt::Key_Shift})
            QTest::addRow("not in the table: %s", qPrintable(QKeySequence(other).toString()))
                << 1 << nineThen(other) << 1 << true << 9000;
        // The slide-show states, Stopped, Running n and Halted, the moves between them, and
        // the steps' wrap-around, on a.jpg.
        const auto row = [](const char* name, const char* keys) -> QTestData& {
            return QTest::newRow(name) << 0 << QKeySequence(keys);
        };
        row("opening: Stopped", "") << 0 << false << 0;
        row("5 re-times a running show", "3, 5") << 0 << true << 5000;
        row("Right steps and stops it", "3, 5, Right") << 1 << false << 5000;
        row("0 halts it", "3, 0") << 0 << true << 0;
        row("7 runs a halted show again", "3, 0, 7") << 0 << true << 7000;
        row("Left stops a halted show", "0, Left") << 2 << false << 0;
        row("Shift+Alt+Left keeps Halted", "0, Shift+Alt+Left") << 2 << true << 0;
        row("Shift+Alt+Right keeps Stopped", "Shift+Alt+Right") << 1 << false << 0;
        row("Left, Right wrap at both ends", "Left, Right") << 0 << false << 0;
        row("Shift+Alt+Left, Shift+Alt+Right wrap", "3, Shift+Alt+Left, Shift+Alt+Right")
            << 0 << true << 3000;
    }

    void keys() {
        QFETCH(int, from);
        QFETCH(QKeySequence, keys);
        QFETCH(int, index);
        QFETCH(bool, enabled);
        QFETCH(int, interval);
        WriteABC();
        OpenViewerOn(from);
        PressKeys(keys);
        QCOMPARE(frmMain->File1.ListIndex(), index);
        if (!keys.isEmpty() && keys[keys.count() - 1].key() == Qt::Key_Escape) {
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

    // In a folder with one file every step shows that file again ("1": a 1-second show's tick).
    void oneFile_data() { support::Column("keys", {"Right", "Left", "1"}); }

    void oneFile() {
        QFETCH(QString, keys);
        support::WritePicture(PathOf("only.jpg"), 100, 150);
        OpenViewerOn(0);
        const pictures::Picture first = frmView->pic2.Picture();
        PressKeys(QKeySequence(keys));
        QTRY_VERIFY_WITH_TIMEOUT(!(frmView->pic2.Picture() == first), 5000);
        QVERIFY(!frmView->pic2.Picture().isNull());
        QCOMPARE(frmMain->File1.ListIndex(), 0);
        QCOMPARE(FailureLine(), QString());
    }

    void closing_data() {
        support::Column("how", {"Escape", "picture", "band", "failure", "system", "busy"});
    }

    // Each way out brings the browser back with the file last shown selected; the show ends
    // with the window, and a reopened viewer starts Stopped. "busy": a tick comes due together
    // with the close and moves nothing.
    void closing() {
        QFETCH(QString, how);
        WriteABC();
        OpenViewerOn(0);
        PressKeys(QKeySequence("Right, 9")); // b.jpg, a portrait picture with bands beside it
        const QPointer<QWidget> viewer = frmView->window();
        if (how == "Escape") {
            PressKeys(QKeySequence("Esc"));
        } else if (how == "picture") {
            ClickOn(frmView->pic2.widget());
        } else if (how == "band") {
            ClickOn(frmView->client(), QPoint(20, 540));
        } else if (how == "failure") {
            // Too long for one line: the middle gives way, the name's start and the reason stay.
            const QString name = QString(300, 'n') + ".jpg";
            frmView->ReportFailure(name + ": something went wrong");
            QVERIFY(FailureLine().startsWith(name.left(20)));
            QVERIFY(FailureLine().endsWith(".jpg: something went wrong"));
            CheckBannerReadable();
            ClickOn(frmView->client(), Banner()->geometry().center());
        } else if (how == "busy") {
            PressKeys(QKeySequence("1"));
            QTimer::singleShot(900, Qt::PreciseTimer, [] { PressKeys(QKeySequence("Esc")); });
            QTest::qSleep(1300); // the close and the tick are both due when the loop resumes
            QTRY_VERIFY(viewer.isNull());
        } else {
            viewer->close();
        }
        QVERIFY(!frmView.IsLoaded());
        QTRY_VERIFY(frmMain->Visible());
        QCOMPARE(frmMain->File1.FileName(), QStringLiteral("b.jpg"));
        QTRY_VERIFY(viewer.isNull());

        frmMain->full.action()->trigger();
        QTRY_VERIFY(frmView->Visible());
        QVERIFY(!frmView->Timer1.Enabled());
        QCOMPARE(frmView->Timer1.Interval(), 0);
        QCOMPARE(ShownFile(), QStringLiteral("b.jpg"));
    }

    // A file that can't be shown is reported on the viewer; the viewer stays open, and the
    // next step, by key or by a running show's tick, shows the next file and clears the report.
    // One drawn ahead before it went bad is reported only when it is shown; one drawn ahead
    // and then rewritten or replaced shows its new content ("blue").
    void steppingOntoAChangedFile_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("ticking");
        QTest::addColumn<bool>("ahead");    // drawn ahead before it went bad
        QTest::addColumn<QString>("stays"); // what the screen shows while the report is up
        QTest::newRow("not a picture") << "not a picture" << false << false << "a.jpg";
        QTest::newRow("empty") << "empty" << false << false << "a.jpg";
        QTest::newRow("gone since it was listed") << "gone" << false << false << "a.jpg";
        QTest::newRow("corrupt: the data ends early") << "corrupt" << false << false << "b.jpg";
        QTest::newRow("not a picture, in a running show")
            << "not a picture" << true << false << "a.jpg";
        QTest::newRow("deleted once drawn ahead") << "gone" << false << true << "a.jpg";
        QTest::newRow("corrupt, drawn ahead, in a running show")
            << "corrupt" << true << true << "b.jpg";
        QTest::newRow("rewritten once drawn ahead") << "rewritten" << false << true << "blue";
        QTest::newRow("replaced by a rename once drawn ahead")
            << "replaced" << false << true << "blue";
    }

    void steppingOntoAChangedFile() {
        QFETCH(QString, kind);
        QFETCH(QString, stays);
        QFETCH(bool, ticking);
        QFETCH(bool, ahead);
        WriteABC();
        if (!ahead)
            QVERIFY(support::WriteFile(PathOf("b.jpg"), kind == "empty" ? "" : "not a picture"));
        if (kind == "corrupt") { // its header reads, its pixels end early
            support::WritePicture(PathOf("b.jpg"), 1000, 1500);
            QFile file(PathOf("b.jpg"));
            QVERIFY(file.resize(file.size() / 2));
        }
        OpenViewerOn(0);
        if (ahead) {
            WaitForBDrawnAhead();
            QCOMPARE(FailureLine(), QString());
        }
        if (kind == "gone") {
            QVERIFY(QFile::remove(PathOf("b.jpg")));
        } else if (kind == "rewritten") {
            support::WritePicture(PathOf("b.jpg"), 200, 300, Qt::blue);
        } else if (kind == "replaced") {
            support::WritePicture(PathOf("new.jpg"), 100, 150, Qt::blue);
            QVERIFY(std::rename(qPrintable(PathOf("new.jpg")), qPrintable(PathOf("b.jpg"))) == 0);
        }
        const QKeySequence step(ticking ? "1" : "Right");
        PressKeys(step);
        QTRY_COMPARE_WITH_TIMEOUT(frmMain->File1.ListIndex(), 1, 5000);
        if (stays == "blue") {
            QTRY_COMPARE(ScreenAt(QPoint(960, 540)), stays);
            QCOMPARE(FailureLine(), QString());
            return;
        }
        QTRY_VERIFY2(FailureLine().startsWith("b.jpg: "), qPrintable(FailureLine()));
        QVERIFY(frmView->Visible());
        QCOMPARE(ShownFile(), stays);
        CheckBannerReadable();
        if (!ticking)
            PressKeys(step);
        QTRY_COMPARE_WITH_TIMEOUT(frmMain->File1.ListIndex(), 2, 5000);
        QCOMPARE(ShownFile(), QStringLiteral("c.jpg"));
        QCOMPARE(FailureLine(), QString());
        if (ticking) // and on from the last file to the first
            QTRY_COMPARE_WITH_TIMEOUT(ShownFile(), QStringLiteral("a.jpg"), 5000);
    }

    // Leaving while pictures are still being drawn and read ahead ends cleanly: the workers
    // deliver to no one, and a viewer opened again shows its picture.
    void leavingWithWorkInFlight_data() { support::Column("how", {"Escape", "unload"}); }

    void leavingWithWorkInFlight() {
        QFETCH(QString, how);
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
            support::WritePicture(PathOf(name), 3000, 2000);
        OpenViewerOn(0);
        PressKeys(QKeySequence("Right, Right, Left"));
        how == "unload" ? support::UnloadAll() : PressKeys(QKeySequence("Esc"));
        QVERIFY(!frmView.IsLoaded());
        OpenViewerOn(2);
        QTRY_COMPARE(ScreenAt(QPoint(960, 540)), QStringLiteral("red"));
    }

    // Opened by a double-click on no file, the viewer says there is no picture; Right shows
    // the first file, Left the last, and with no files the arrows do nothing.
    void openedWithNothingSelected_data() {
        QTest::addColumn<bool>("files");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<int>("index");
        QTest::newRow("Right") << true << QKeySequence("Right") << 0;
        QTest::newRow("Left") << true << QKeySequence("Left") << 2;
        QTest::newRow("an empty folder")
            << false << QKeySequence("Right, Left, Shift+Alt+Right, Shift+Alt+Left") << -1;
    }

    void openedWithNothingSelected() {
        QFETCH(bool, files);
        QFETCH(QKeySequence, keys);
        QFETCH(int, index);
        if (files)
            WriteABC();
        DoubleClickFileList(-1);
        QCOMPARE(frmMain->File1.ListIndex(), -1);
        QVERIFY2(FailureLine().contains("No picture", Qt::CaseInsensitive),
                 qPrintable(FailureLine()));
        QCOMPARE(ShownFile(), QString());
        PressKeys(keys);
        QVERIFY(frmView->Visible());
        QCOMPARE(frmMain->File1.ListIndex(), index);
        QCOMPARE(ShownFile(), index < 0 ? QString() : kABC[index].name);
        QCOMPARE(FailureLine().isEmpty(), index >= 0);
        PressKeys(QKeySequence("Esc"));
        QVERIFY(!frmView.IsLoaded());
        QVERIFY(frmMain->Visible());
    }

    // Each step runs the hidden browser's preview (its pane takes the new file's shape) but
    // the pane is not on screen, so it draws, and decodes, nothing.
    // Until its own drawing comes from a decoder, the viewer shows the preview pane's drawing of
    // the same file scaled up, never its bare background.
    void firstFramesShowThePreviewScaled() {
        support::WritePicture(PathOf("big.jpg"), 6000, 4000, Qt::blue);
        MainForm& browser = BrowserAt(dir_->path());
        browser.File1.setListIndex(0);
        QVERIFY(QTest::qWaitForWindowExposed(browser.window()));
        QTRY_VERIFY(!forms::App.Pictures().keptAtAnySize(browser.pic1.Picture()).isNull());
        browser.full.action()->trigger();
        QVERIFY(frmView->Visible());
        QCoreApplication::processEvents(); // the viewer's picture settles
        QCOMPARE(ScreenAt(frmView->window()->rect().center()), QStringLiteral("blue"));
    }

    void theHiddenPaneDrawsNothing() {
        WriteABC();
        OpenViewerOn(0);
        const support::EventCounter pane(frmMain->pic1.widget(), QEvent::Paint);
        const support::EventCounter screen(frmView->pic2.widget(), QEvent::Paint);
        for (int index : {1, 2, 0}) {
            const int before = screen.count;
            PressKeys(QKeySequence("Right"));
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
