// The browser's preview pane: the selected picture fitted and centred in the preview box, the
// size text, and what a person sees when a file cannot be previewed.
#include "Support.h"

#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <memory>

namespace {

// The fit rule as a person would work it out: width, height, top, left.
QRectF FitInBox(double boxWidth, double boxHeight, double ratio) {
    const bool widthFilled = ratio > boxWidth / boxHeight;
    const double width = widthFilled ? boxWidth : boxHeight * ratio;
    const double height = widthFilled ? boxWidth / ratio : boxHeight;
    return {(boxWidth - width) / 2 + 50, (boxHeight - height) / 2, width, height};
}

bool Near(const QRectF& a, const QRectF& b) {
    return std::abs(a.left() - b.left()) < 0.01 && std::abs(a.top() - b.top()) < 0.01 &&
           std::abs(a.width() - b.width()) < 0.01 && std::abs(a.height() - b.height()) < 0.01;
}

// The preview box that ArrangePreviewArea gives the pane, from the window's sizes.
QSizeF PreviewBox(MainForm& browser) {
    return {browser.Width() - 250.0, support::RowsOf(browser).paneHeight};
}

// Opens the browser on `folder` and waits until its layout pass after showing has run.
MainForm& Browser(const QString& folder) {
    MainForm& browser = support::BrowserAt(folder);
    [&] { QVERIFY(support::ShowActive(browser)); }();
    return browser;
}

void Select(MainForm& browser, const QString& name) {
    for (int i = 0; i < browser.File1.ListCount(); ++i) {
        if (browser.File1.List(i) == name)
            return browser.File1.setListIndex(i);
    }
    QFAIL(qPrintable(name + " is not listed"));
}

// The pane shows `path`, a picture of `pixels`, fitted in the box, and its size.
void VerifyShown(MainForm& browser, const QString& path, QSize pixels) {
    const QSizeF box = PreviewBox(browser);
    const double ratio = double(pixels.width()) / pixels.height();
    QCOMPARE(browser.statbar.StatusText(),
             QStringLiteral("size : %1 Bytes").arg(QFileInfo(path).size()));
    QVERIFY(browser.pic1.Visible());
    QCOMPARE(browser.pic1.Picture().Width() / browser.pic1.Picture().Height(), ratio);
    QVERIFY(Near(support::Box(browser.pic1), FitInBox(box.width(), box.height(), ratio)));
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT

private slots:
    void init() {
        QVERIFY(!frmMain.IsLoaded());
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void cleanup() {
        QLocale::setDefault(QLocale::c());
        support::UnloadAll();
    }

    // The rule reproduces the worked example of a 3750 x 1940 box, and the pane follows it.
    void fit_data() {
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<QRectF>("inWorkedExample");
        QTest::newRow("4:3") << QSize(8, 6) << QRectF(631.67, 0, 2586.67, 1940);
        QTest::newRow("3:1") << QSize(12, 4) << QRectF(50, 345, 3750, 1250);
        QTest::newRow("1:1") << QSize(4, 4) << QRectF(955, 0, 1940, 1940);
    }

    void fit() {
        QFETCH(QSize, pixels);
        QFETCH(QRectF, inWorkedExample);
        const double ratio = double(pixels.width()) / pixels.height();
        QVERIFY(Near(FitInBox(3750, 1940, ratio), inWorkedExample));

        support::WritePicture(file("picture.bmp"), pixels.width(), pixels.height());
        MainForm& browser = Browser(dir_->path());
        QCOMPARE(PreviewBox(browser).width(), 3750.0); // as wide as the worked example's
        Select(browser, "picture.bmp");
        VerifyShown(browser, file("picture.bmp"), pixels);
        // One side of the pane is the box's side, exactly.
        const QSizeF box = PreviewBox(browser);
        QVERIFY(browser.pic1.Width() == float(box.width()) ||
                browser.pic1.Height() == float(box.height()));
    }

    void sizeText_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("text");
        const QLocale english(QLocale::English, QLocale::UnitedStates);
        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale arabic(QLocale::Arabic, QLocale::Egypt);
        QTest::newRow("0") << qint64(0) << english << "size : 0 Bytes";
        QTest::newRow("1023") << qint64(1023) << english << "size : 1023 Bytes";
        QTest::newRow("1024") << qint64(1024) << english << "size : 1 KB";
        QTest::newRow("1025") << qint64(1025) << english << "size : 1.001 KB";
        QTest::newRow("1088, half to even down") << qint64(1088) << english << "size : 1.062 KB";
        QTest::newRow("1216, half to even up") << qint64(1216) << english << "size : 1.188 KB";
        QTest::newRow("1048575, no grouping") << qint64(1048575) << english << "size : 1023.999 KB";
        QTest::newRow("1048576") << qint64(1048576) << english << "size : 1 MB";
        QTest::newRow("1572864") << qint64(1572864) << english << "size : 1.5 MB";
        QTest::newRow("largest in MB") << qint64(1073741298) << english << "size : 1023.999 MB";
        QTest::newRow("just under 1 GiB") << qint64(1073741823) << english << "size : 1 GB";
        QTest::newRow("1.5 GiB") << qint64(1610612736) << english << "size : 1.5 GB";
        QTest::newRow("largest 32-bit") << qint64(2147483647) << english << "size : 2 GB";
        QTest::newRow("2 GiB") << qint64(2147483648) << english << "size : 2 GB";
        QTest::newRow("4 GiB + 1") << qint64(4294967297) << english << "size : 4 GB";
        QTest::newRow("5.25 GiB") << qint64(5637144576) << english << "size : 5.25 GB";
        QTest::newRow("1 TiB") << qint64(1099511627776) << english << "size : 1024 GB";
        QTest::newRow("German 1536") << qint64(1536) << german << "size : 1,5 KB";
        QTest::newRow("German 1.5 GiB") << qint64(1610612736) << german << "size : 1,5 GB";
        // Only the separator is the locale's; the digits stay as written everywhere else.
        QTest::newRow("Arabic 1536")
            << qint64(1536) << arabic << "size : 1" + arabic.decimalPoint() + "5 KB";
    }

    void sizeText() {
        QFETCH(qint64, size);
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        frmMain->ShowFileSize(size);
        QTEST(frmMain->statbar.StatusText(), "text");
    }

    // Elsewhere the path is checked by every preview; the root folder ends in a separator.
    void selectedFilePathAtTheRoot() {
        QTemporaryFile atRoot(QDir::rootPath() + "lumbrik-preview-XXXXXX.bmp");
        if (!atRoot.open())
            QSKIP("the root folder cannot be written here");
        support::WritePicture(atRoot.fileName(), 4, 3);
        const QString root = QDir::toNativeSeparators(QDir::rootPath());
        MainForm& browser = Browser(dir_->path());
        browser.Dir1.Open(0); // the top entry of the folder list
        QCOMPARE(browser.SelectedFilePath(), root);
        const QString name = QFileInfo(atRoot.fileName()).fileName();
        Select(browser, name);
        QCOMPARE(browser.SelectedFilePath(), root + name);
        VerifyShown(browser, atRoot.fileName(), QSize(4, 3));
    }

    // Without a selection: at start the default picture stays, and after a preview the pane,
    // its picture and the text stay as they are.
    void nothingSelectedChangesNothing() {
        support::WritePicture(file("a.bmp"), 40, 30);
        MainForm& browser = Browser(dir_->path());
        for (int round = 0; round < 2; ++round) {
            if (round == 1) {
                Select(browser, "a.bmp");
                browser.File1.setListIndex(-1);
            }
            const pictures::Picture shown = browser.pic1.Picture();
            const QString text = browser.statbar.StatusText();
            const QRectF place = support::Box(browser.pic1);
            const bool visible = browser.pic1.Visible();
            browser.ShowPreview();
            QCOMPARE(browser.pic1.Visible(), visible);
            QVERIFY(browser.pic1.Picture() == shown);
            QCOMPARE(browser.statbar.StatusText(), text);
            QCOMPARE(support::Box(browser.pic1), place);
        }
    }

    void selectingByClickAndArrowKeysPreviews() {
        support::WritePicture(file("a.bmp"), 16, 12);
        support::WritePicture(file("b.bmp"), 10, 10);
        support::WritePicture(file("c.bmp"), 30, 10);
        MainForm& browser = Browser(dir_->path());
        auto* list = static_cast<QListWidget*>(browser.File1.widget());
        list->setFocus();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->item(1)).center());
        VerifyShown(browser, file("b.bmp"), QSize(10, 10));
        QTest::keyClick(list, Qt::Key_Down);
        VerifyShown(browser, file("c.bmp"), QSize(30, 10));
        QTest::keyClick(list, Qt::Key_Up);
        QTest::keyClick(list, Qt::Key_Up);
        VerifyShown(browser, file("a.bmp"), QSize(16, 12));
    }

    // Back from the About window or the viewer, the selected file is read again and shown.
    void activationPreviews_data() {
        QTest::addColumn<bool>("fromViewer");
        QTest::newRow("About") << false;
        QTest::newRow("viewer") << true;
    }

    void activationPreviews() {
        QFETCH(bool, fromViewer);
        support::WritePicture(file("a.bmp"), 16, 12);
        MainForm& browser = Browser(dir_->path());
        Select(browser, "a.bmp");
        (fromViewer ? browser.full : browser.abour).action()->trigger();
        forms::Form& other = fromViewer ? static_cast<forms::Form&>(*frmView) : *frmSplash;
        QVERIFY(QTest::qWaitForWindowActive(other.window()));
        support::WritePicture(file("a.bmp"), 30, 10);
        if (fromViewer)
            QTest::keyClick(other.window(), Qt::Key_Escape);
        else
            QTest::mouseClick(other.client(), Qt::LeftButton, {}, QPoint(3, 2));
        QTRY_VERIFY(browser.window()->isActiveWindow());
        VerifyShown(browser, file("a.bmp"), QSize(30, 10));
    }

    // The message table: what the status bar of a browser at its design size shows for each
    // kind of failure, the reason readable in full. A picture that fails only when drawn shows
    // what could be drawn.
    void fileThatCannotBePreviewed_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("drawn");

        const auto bmp = [](qint32 width, qint32 height, quint32 compression) {
            QByteArray bytes;
            QDataStream out(&bytes, QIODevice::WriteOnly);
            out.setByteOrder(QDataStream::LittleEndian);
            out << quint16(0x4D42) << quint32(54 + 3 * 4 * 4) << quint32(0) << quint32(54)
                << quint32(40) << width << height << quint16(1) << quint16(24) << compression
                << quint32(0) << quint32(0) << quint32(0) << quint32(0) << quint32(0);
            return bytes + QByteArray(3 * 4 * 4, '\x7f');
        };
        const auto row = [](const char* name, const QByteArray& content, const char* reason,
                            bool drawn = false) {
            QTest::newRow(name) << QString(name) << content << name + QString(": ") + reason
                                << drawn;
        };
        row("garbage.jpg", QByteArray("\x13\x37\xca\xfe not a picture at all", 25),
            "not a picture");
        row("notes.gif", "GIF is a nice format\n", "not a picture"); // text
        row("empty.bmp", "", "an empty file");
        row("gone.bmp", QByteArray(), "no such file"); // deleted after listing
        row("zeros.bmp", QByteArray("BM") + QByteArray(60, '\0'), "damaged picture data");
        row("inside.bmp", bmp(4, 4, 4), "unreadable BMP (JPEG inside)");
        row("huge.bmp", bmp(20000, 20000, 0), "too large (20000 x 20000)");
        row("cut.bmp", bmp(4, 8, 0), "the file is cut short", true);
        // A window made smaller than its layout allows, previewing before its layout pass.
        row("b.bmp", QByteArray(), "the preview pane has no room");
    }

    void fileThatCannotBePreviewed() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, text);
        QFETCH(bool, drawn);
        support::WritePicture(file("a.bmp"), 16, 12);
        if (content.isNull()) {
            support::WritePicture(file(name), 30, 10);
        } else {
            QVERIFY(support::WriteFile(file(name), content));
        }
        MainForm& browser = Browser(dir_->path());
        const auto* bar = browser.statbar.widget()->findChild<QLabel*>();
        QVERIFY2(bar->fontMetrics().horizontalAdvance(text) <= bar->contentsRect().width(),
                 qPrintable(QStringLiteral("%1 pixels wide, the bar %2")
                                .arg(bar->fontMetrics().horizontalAdvance(text))
                                .arg(bar->contentsRect().width())));
        Select(browser, "a.bmp");
        if (name == "gone.bmp")
            QVERIFY(QFile::remove(file(name)));
        if (name == "b.bmp")
            browser.setHeight(1200);

        Select(browser, name);
        QTRY_COMPARE(browser.statbar.StatusText(), text);
        QCOMPARE(browser.pic1.Visible(), drawn);
        QCOMPARE(browser.pic1.widget()->isVisible(), drawn);

        // The program goes on; the layout pass gives a window without room its size back.
        if (name != "b.bmp")
            Select(browser, "a.bmp");
        QTRY_VERIFY(browser.pic1.Visible());
        VerifyShown(browser, browser.SelectedFilePath(),
                    name == "b.bmp" ? QSize(30, 10) : QSize(16, 12));
    }

private:
    QString file(const QString& name) const { return dir_->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir_;
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
