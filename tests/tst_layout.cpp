// The browser window's layout: ArrangeControls' places and minimum size, the one deferred pass
// per burst of resizes, and what Form_Load sets.
#include "Support.h"

#include <QScopeGuard>
#include <QTemporaryDir>

using support::Box;
using support::RowsOf;

class LayoutTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { support::UnloadAll(); }

    void arrangeControls_data() {
        QTest::addColumn<float>("width");
        QTest::addColumn<float>("shortBy"); // 0: 5000 high, else below the minimum by this
        QTest::addColumn<float>("column");  // each list's width
        QTest::newRow("worked example") << 4000.0f << 0.0f << 1825.0f;
        QTest::newRow("4815, half down to even") << 4815.0f << 0.0f << 2232.0f;
        QTest::newRow("4845, half up to even") << 4845.0f << 0.0f << 2248.0f;
        QTest::newRow("narrower than 2000") << 1500.0f << 0.0f << 825.0f;
        QTest::newRow("far too low") << 4000.0f << 2000.0f << 1825.0f;
        QTest::newRow("one twip too low") << 4000.0f << 1.0f << 1825.0f;
    }

    void arrangeControls() {
        QFETCH(float, width);
        QFETCH(float, shortBy);
        QFETCH(float, column);
        const float keptWidth = std::max(width, 2000.0f); // never narrower than 2000
        MainForm& form = *frmMain;
        QVERIFY(support::ShowActive(form));
        const float minimum = form.statbar.Height() + form.filter.Height() + 2500;
        const float height = shortBy > 0 ? minimum : 5000;
        form.setHeight(shortBy > 0 ? minimum - shortBy : 5000);
        form.setWidth(width);
        form.ArrangeControls();
        form.ArrangeControls(); // a window already laid out is left as it is

        QCOMPARE(form.Width(), keptWidth);
        QCOMPARE(form.Height(), height);
        const support::Rows rows = RowsOf(form);
        const float right = column + 150;
        QCOMPARE(Box(form.File1), QRectF(50, rows.fileTop, column, 1650));
        QCOMPARE(Box(form.Dir1), QRectF(right, rows.fileTop, column, 1650));
        QCOMPARE(Box(form.filter), QRectF(50, rows.filterTop, column, form.filter.Height()));
        QCOMPARE(Box(form.Drive1), QRectF(right, rows.filterTop, column, form.Drive1.Height()));
        QCOMPARE(Box(form.pic1), QRectF(50, 0, keptWidth - 250, rows.paneHeight));
        // On screen the lists end where the status bar begins.
        const int statusTop = form.statbar.widget()->geometry().top();
        QCOMPARE(form.File1.widget()->geometry().bottom() + 1, statusTop);
        QCOMPARE(form.Dir1.widget()->geometry().bottom() + 1, statusTop);
    }

    // With a menu bar wrapped onto several lines, the minimum height leaves the preview box a
    // negative height.
    void paneWithoutRoomStaysHidden() {
        QTemporaryDir folder;
        support::WritePicture(folder.filePath("a.jpg"), 40, 30);
        const QFont normal = QApplication::font();
        QFont large = normal;
        large.setPixelSize(48);
        QApplication::setFont(large);
        const auto restore = qScopeGuard([&] { QApplication::setFont(normal); });
        MainForm& form = *frmMain;
        QVERIFY(support::ShowActive(form));
        form.Dir1.setPath(folder.path());
        form.File1.setListIndex(0);
        form.setWidth(1000);
        form.setHeight(1000);
        QTRY_VERIFY(!form.Timer1.Enabled());
        QCOMPARE(form.Width(), 2000.0f);
        QVERIFY2(form.pic1.Height() < 0, "the menu bar did not take the preview box's room");
        QVERIFY(!form.pic1.widget()->isVisible());
    }

    void burstOfResizesGivesOnePass() {
        QTemporaryDir folder;
        support::WritePicture(folder.filePath("a.jpg"), 40, 30);
        MainForm& form = *frmMain;
        QVERIFY(support::ShowActive(form));
        form.Dir1.setPath(folder.path());
        form.File1.setListIndex(0);
        form.statbar.setStatusText("before"); // each pass previews again
        support::EventCounter passes(form.pic1.widget(), QEvent::Hide, false);
        QElapsedTimer clock;
        qint64 longestGap = 0;
        clock.start();
        for (int step = 0; step < 6; ++step) {
            if (step > 0)
                longestGap = std::max(longestGap, clock.restart());
            form.window()->resize(400 + step * 10, 500 - step * 10);
            if (step < 5)
                QTest::qWait(30);
        }
        if (longestGap >= 90)
            QSKIP("the machine was too busy to keep the resizes close together");
        QCOMPARE(passes.count, 0); // each resize restarted the countdown
        QCOMPARE(form.statbar.StatusText(), QString("before"));
        QTRY_COMPARE(passes.count, 1);
        QVERIFY(form.statbar.StatusText().startsWith("size : "));
        QVERIFY(form.pic1.Visible());
        QCOMPARE(form.File1.Top(), RowsOf(form).fileTop); // placed for the last size
        QTest::qWait(300);
        QCOMPARE(passes.count, 1);
    }

    // Minimising starts no pass, a pass due while minimised changes nothing (narrower than the
    // minimum, it would widen the window), and restoring lays the window out again.
    void minimisedWindow() {
        MainForm& form = *frmMain;
        QVERIFY(support::ShowActive(form));
        support::EventCounter passes(form.pic1.widget(), QEvent::Hide, false);
        form.window()->showMinimized();
        QTRY_COMPARE(form.WindowState(), forms::vbMinimized);
        QVERIFY(!form.Timer1.Enabled());
        form.window()->showNormal();
        QTRY_VERIFY(passes.count == 1 && !form.Timer1.Enabled());

        form.setWidth(1500);
        QVERIFY(form.Timer1.Enabled());
        form.window()->showMinimized();
        QTRY_COMPARE(form.WindowState(), forms::vbMinimized);
        QTRY_VERIFY(!form.Timer1.Enabled());
        QCOMPARE(passes.count, 1);
        QCOMPARE(form.Width(), 1500.0f);
        form.window()->showNormal();
        QTRY_COMPARE(form.Width(), 2000.0f);
    }

    void formLoad() {
        MainForm& form = *frmMain;
        QVERIFY(!form.Visible());
        QCOMPARE(QSizeF(form.Width(), form.Height()), QSizeF(4000, 5000));
        QVERIFY(!form.Timer1.Enabled());
        QCOMPARE(forms::App.HelpFile(),
                 QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) +
                     QDir::separator() + "Lumbrik.hlp");
        QCOMPARE(form.File1.Pattern(), QString("*.gif;*.jpg;*.jpeg;*.bmp;*.ico;*.wmf;*.emf"));
        QVERIFY(form.pic1.Stretch());
        // Laid out for the size it was given, not left at the design-time places.
        QCOMPARE(form.File1.Top(), RowsOf(form).fileTop);
        QCOMPARE(form.Dir1.Left(), 1975.0f);
        QCOMPARE(form.pic1.Height(), RowsOf(form).paneHeight);
    }
};

QTEST_MAIN(LayoutTest)
#include "tst_layout.moc"
