// The browser window's layout: where ArrangeControls puts every control for a window size, the
// minimum size it keeps, the one deferred pass per burst of resizes, and what Form_Load sets.
#include "Support.h"

#include "forms/Twips.h"

#include <QElapsedTimer>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <cmath>

namespace {

// The vertical places that follow from the client height and the two heights the toolkit
// gives: the lists rest on the status bar, the filter row stands 50 above them and the preview
// box ends 100 above the filter row.
struct Rows {
    float fileTop;
    float filterTop;
    float paneHeight;
};

Rows RowsFor(float clientHeight, float statusHeight, float filterHeight) {
    const float fileTop = clientHeight - statusHeight - 1650;
    const float filterTop = fileTop - 50 - filterHeight;
    return {fileTop, filterTop, filterTop - 100};
}

// Counts layout passes: a pass starts by hiding the preview pane. A minimised window hides its
// controls too, but as the window system's doing.
class PassCounter : public QObject {
public:
    explicit PassCounter(QWidget* pane) { pane->installEventFilter(this); }
    int passes = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Hide && !event->spontaneous())
            ++passes;
        return false;
    }
};

// What a pass would change, to compare before and after.
struct Places {
    float width, height, fileTop, fileWidth, dirLeft, filterTop, paneWidth, paneHeight;
    bool paneVisible;
    bool operator==(const Places&) const = default;
};

Places PlacesOf(MainForm& form) {
    return {form.Width(),       form.Height(),      form.File1.Top(),
            form.File1.Width(), form.Dir1.Left(),   form.filter.Top(),
            form.pic1.Width(),  form.pic1.Height(), form.pic1.Visible()};
}

// Changes the window's state as the user does through the window system.
void SetState(MainForm& form, int state) {
    QWidget* window = form.window();
    if (state == forms::vbMinimized)
        window->showMinimized();
    else if (state == forms::vbMaximized)
        window->showMaximized();
    else
        window->showNormal();
}

// Shows the browser and lets the pass that follows the first display run.
[[nodiscard]] bool Show(MainForm& form) {
    form.setVisible(true);
    return QTest::qWaitForWindowExposed(form.window()) &&
           QTest::qWaitFor([&] { return !form.Timer1.Enabled(); });
}

} // namespace

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { support::UnloadAll(); }

    void workedExampleRows();
    void arrangeControls_data();
    void arrangeControls();
    void minimumHeight_data();
    void minimumHeight();
    void paneWithoutRoomStaysHidden_data();
    void paneWithoutRoomStaysHidden();
    void burstOfResizesGivesOnePass();
    void windowStateChange_data();
    void windowStateChange();
    void passDueWhileMinimisedChangesNothing();
    void formLoad();
};

// The vertical places checked below come from the window's description; with the worked
// example's heights they give its numbers.
void LayoutTest::workedExampleRows() {
    const Rows rows = RowsFor(4310, 255, 315);
    QCOMPARE(rows.fileTop, 2405.0f);
    QCOMPARE(rows.filterTop, 2040.0f);
    QCOMPARE(rows.paneHeight, 1940.0f);
}

void LayoutTest::arrangeControls_data() {
    QTest::addColumn<float>("width");
    QTest::addColumn<float>("keptWidth");
    QTest::addColumn<float>("column");
    QTest::addColumn<float>("rightLeft");
    QTest::addColumn<float>("paneWidth");

    QTest::newRow("worked example, 4000 wide")
        << 4000.0f << 4000.0f << 1825.0f << 1975.0f << 3750.0f;
    QTest::newRow("4815 wide, half down to even")
        << 4815.0f << 4815.0f << 2232.0f << 2382.0f << 4565.0f;
    QTest::newRow("4845 wide, half up to even")
        << 4845.0f << 4845.0f << 2248.0f << 2398.0f << 4595.0f;
    QTest::newRow("narrower than 2000") << 1500.0f << 2000.0f << 825.0f << 975.0f << 1750.0f;
    QTest::newRow("exactly 2000") << 2000.0f << 2000.0f << 825.0f << 975.0f << 1750.0f;
}

void LayoutTest::arrangeControls() {
    QFETCH(float, width);
    QFETCH(float, keptWidth);
    QFETCH(float, column);
    QFETCH(float, rightLeft);
    QFETCH(float, paneWidth);

    MainForm& form = *frmMain;
    QVERIFY(Show(form));
    form.setHeight(5000);
    form.setWidth(width);
    form.ArrangeControls();

    QCOMPARE(form.Width(), keptWidth);
    QCOMPARE(form.Height(), 5000.0f);
    const Rows rows = RowsFor(form.ScaleHeight(), form.statbar.Height(), form.filter.Height());

    QCOMPARE(form.File1.Left(), 50.0f);
    QCOMPARE(form.File1.Top(), rows.fileTop);
    QCOMPARE(form.File1.Width(), column);
    QCOMPARE(form.File1.Height(), 1650.0f);
    QCOMPARE(form.Dir1.Left(), rightLeft);
    QCOMPARE(form.Dir1.Top(), rows.fileTop);
    QCOMPARE(form.Dir1.Width(), column);
    QCOMPARE(form.Dir1.Height(), 1650.0f);
    QCOMPARE(form.filter.Left(), 50.0f);
    QCOMPARE(form.filter.Top(), rows.filterTop);
    QCOMPARE(form.filter.Width(), column);
    QCOMPARE(form.Drive1.Left(), rightLeft);
    QCOMPARE(form.Drive1.Top(), rows.filterTop);
    QCOMPARE(form.Drive1.Width(), column);
    QCOMPARE(form.pic1.Left(), 50.0f);
    QCOMPARE(form.pic1.Top(), 0.0f);
    QCOMPARE(form.pic1.Width(), paneWidth);
    QCOMPARE(form.pic1.Height(), rows.paneHeight);

    // On screen the two lists end where the status bar begins.
    const QRect file = form.File1.widget()->geometry();
    const QRect dir = form.Dir1.widget()->geometry();
    const QRect status = form.statbar.widget()->geometry();
    QCOMPARE(file.bottom() + 1, status.top());
    QCOMPARE(dir.bottom() + 1, status.top());
    QCOMPARE(file.width(), forms::ToPixels(column));
}

void LayoutTest::minimumHeight_data() {
    QTest::addColumn<float>("shortBy");
    QTest::newRow("far too low") << 2000.0f;
    QTest::newRow("one pixel too low") << 15.0f;
    QTest::newRow("one twip too low") << 1.0f;
}

void LayoutTest::minimumHeight() {
    QFETCH(float, shortBy);

    MainForm& form = *frmMain;
    QVERIFY(Show(form));
    const float minimum = form.statbar.Height() + form.filter.Height() + 2500;
    form.setHeight(minimum - shortBy);
    form.ArrangeControls();

    QCOMPARE(form.Height(), minimum);
    const Rows rows = RowsFor(form.ScaleHeight(), form.statbar.Height(), form.filter.Height());
    QCOMPARE(form.File1.Top(), rows.fileTop);
    QCOMPARE(form.pic1.Height(), rows.paneHeight);
    QVERIFY(form.pic1.Height() >= 0);

    // A window at its minimum is left as it is.
    form.ArrangeControls();
    QCOMPARE(form.Height(), minimum);
}

void LayoutTest::paneWithoutRoomStaysHidden_data() {
    QTest::addColumn<bool>("fileSelected");
    QTest::newRow("no file selected") << false;
    QTest::newRow("a file selected") << true;
}

// With a menu bar that wraps onto several lines, the minimum height leaves the preview box a
// negative height.
void LayoutTest::paneWithoutRoomStaysHidden() {
    QFETCH(bool, fileSelected);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    support::WritePicture(folder.filePath("a.jpg"), 40, 30);
    const QFont normal = QApplication::font();
    QFont large = normal;
    large.setPixelSize(48);
    QApplication::setFont(large);
    const auto restore = qScopeGuard([&] { QApplication::setFont(normal); });

    MainForm& form = *frmMain;
    QVERIFY(Show(form));
    form.Dir1.setPath(folder.path());
    if (fileSelected)
        form.File1.setListIndex(0);
    form.setWidth(1000);
    form.setHeight(1000);
    QVERIFY(form.Timer1.Enabled());
    // One pass sets the minimum size, the next finds it kept.
    PassCounter counter(form.pic1.widget());
    QTRY_VERIFY(counter.passes >= 1 && !form.Timer1.Enabled());
    QTest::qWait(250);
    QTRY_VERIFY(!form.Timer1.Enabled());

    QCOMPARE(form.Width(), 2000.0f);
    QCOMPARE(form.Height(), form.statbar.Height() + form.filter.Height() + 2500);
    QVERIFY2(form.pic1.Height() < 0, "the menu bar did not take the preview box's room");
    QVERIFY(!form.pic1.Visible());
    QVERIFY(!form.pic1.widget()->isVisible());
}

void LayoutTest::burstOfResizesGivesOnePass() {
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    support::WritePicture(folder.filePath("a.jpg"), 40, 30);
    MainForm& form = *frmMain;
    QVERIFY(Show(form));
    form.Dir1.setPath(folder.path());
    form.File1.setListIndex(0);
    QCOMPARE(form.File1.FileName(), QString("a.jpg"));

    // Each pass previews the selected file again, which writes the status text anew.
    form.statbar.setStatusText("before the burst");
    PassCounter counter(form.pic1.widget());
    QElapsedTimer clock;
    clock.start();
    qint64 lastResize = 0;
    qint64 longestGap = 0;
    for (int step = 0; step < 6; ++step) {
        form.window()->resize(400 + step * 10, 500 - step * 10);
        QVERIFY(form.Timer1.Enabled());
        longestGap = std::max(longestGap, clock.elapsed() - lastResize);
        lastResize = clock.elapsed();
        if (step < 5)
            QTest::qWait(30);
    }
    if (longestGap >= 90)
        QSKIP("the machine was too busy to keep the resizes of the burst close together");
    // The first resize was more than 100 ms ago: each resize has restarted the countdown.
    QVERIFY(clock.elapsed() >= 120);
    QCOMPARE(counter.passes, 0);
    QCOMPARE(form.statbar.StatusText(), QString("before the burst"));

    QTRY_COMPARE(counter.passes, 1);
    QVERIFY2(clock.elapsed() - lastResize >= 100, "the pass came before the interval was over");
    QVERIFY(!form.Timer1.Enabled());
    QVERIFY(form.statbar.StatusText().startsWith("size : "));
    QVERIFY(form.pic1.Visible());
    // The pass placed the controls for the last size.
    const Rows rows = RowsFor(form.ScaleHeight(), form.statbar.Height(), form.filter.Height());
    QCOMPARE(form.File1.Top(), rows.fileTop);
    QCOMPARE(form.File1.Width(), forms::RoundTwips((form.Width() - 350) / 2));

    QTest::qWait(300);
    QCOMPARE(counter.passes, 1);
}

void LayoutTest::windowStateChange_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("passes");
    QTest::newRow("minimising") << forms::vbNormal << forms::vbMinimized << 0;
    QTest::newRow("restoring") << forms::vbMinimized << forms::vbNormal << 1;
    QTest::newRow("maximising") << forms::vbNormal << forms::vbMaximized << 1;
}

void LayoutTest::windowStateChange() {
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(int, passes);

    MainForm& form = *frmMain;
    QVERIFY(Show(form));
    SetState(form, from);
    QTRY_COMPARE(form.WindowState(), from);
    QTRY_VERIFY(!form.Timer1.Enabled());

    PassCounter counter(form.pic1.widget());
    SetState(form, to);
    QTRY_COMPARE(form.WindowState(), to);
    // Minimising does not even start the countdown.
    if (passes == 0)
        QVERIFY(!form.Timer1.Enabled());
    QTRY_COMPARE(counter.passes, passes);
    QTRY_VERIFY(!form.Timer1.Enabled());
    QTest::qWait(300);
    QCOMPARE(counter.passes, passes);
}

void LayoutTest::passDueWhileMinimisedChangesNothing() {
    MainForm& form = *frmMain;
    QVERIFY(Show(form));
    PassCounter counter(form.pic1.widget());
    // Narrower than the minimum: a pass would widen the window and move every control.
    form.setWidth(1500);
    QVERIFY(form.Timer1.Enabled());
    SetState(form, forms::vbMinimized);
    QTRY_COMPARE(form.WindowState(), forms::vbMinimized);
    const Places before = PlacesOf(form);

    QTRY_VERIFY(!form.Timer1.Enabled());
    QCOMPARE(counter.passes, 0);
    QVERIFY(PlacesOf(form) == before);
    QCOMPARE(form.Width(), 1500.0f);
}

void LayoutTest::formLoad() {
    MainForm& form = *frmMain;
    QVERIFY(!form.Visible());
    QCOMPARE(form.Height(), 5000.0f);
    QCOMPARE(form.Width(), 4000.0f);
    QVERIFY(!form.Timer1.Enabled());
    QCOMPARE(form.Timer1.Interval(), 100);
    const QString programFolder = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    QCOMPARE(forms::App.HelpFile(), programFolder + QDir::separator() + "Lumbrik.hlp");
    QCOMPARE(form.File1.Pattern(), QString("*.gif;*.jpg;*.jpeg;*.bmp;*.ico;*.wmf;*.emf"));
    QVERIFY(form.pic1.Stretch());

    // Laid out for the size it was given, not left at the design-time places.
    const Rows rows = RowsFor(form.ScaleHeight(), form.statbar.Height(), form.filter.Height());
    QCOMPARE(form.File1.Top(), rows.fileTop);
    QCOMPARE(form.File1.Width(), 1825.0f);
    QCOMPARE(form.Dir1.Left(), 1975.0f);
    QCOMPARE(form.pic1.Width(), 3750.0f);
    QCOMPARE(form.pic1.Height(), rows.paneHeight);

    // No folder is set and nothing is previewed: the lists stand at the working folder.
    const QString working = QDir::toNativeSeparators(QDir::currentPath());
    QCOMPARE(form.Dir1.Path(), working);
    QCOMPARE(form.File1.Path(), working);
    QCOMPARE(form.File1.ListIndex(), -1);
    QVERIFY(form.statbar.StatusText().isEmpty());
}

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
