// The browser's preview pane: the selected picture fitted and centred in the preview box, the
// size text, the path of the selected file, the events that preview, and what a person sees
// when a file cannot be previewed.
#include "Support.h"

#include "forms/Twips.h"

#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QLocale>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <memory>

namespace {

// The fit as a person would work it out, in double precision.
struct Fit {
    double width;
    double height;
    double top;
    double left;
    bool widthFilled;
};

Fit FitInBox(double boxWidth, double boxHeight, double ratio) {
    Fit fit{};
    fit.widthFilled = ratio > boxWidth / boxHeight;
    fit.width = fit.widthFilled ? boxWidth : boxHeight * ratio;
    fit.height = fit.widthFilled ? boxWidth / ratio : boxHeight;
    fit.top = (boxHeight - fit.height) / 2;
    fit.left = (boxWidth - fit.width) / 2 + 50;
    return fit;
}

// The preview box that ArrangePreviewArea gives the pane, from the window's sizes.
QSizeF PreviewBox(MainForm& browser) {
    return {browser.Width() - 250.0,
            browser.ScaleHeight() - (browser.statbar.Height() + browser.filter.Height() + 1800.0)};
}

// Opens the browser on `folder` and waits until its layout pass after showing has run.
MainForm& Browser(const QString& folder) {
    MainForm& browser = support::BrowserAt(folder);
    [&] { QVERIFY(QTest::qWaitForWindowActive(browser.window())); }();
    [&] { QTRY_VERIFY(!browser.Timer1.Enabled()); }();
    return browser;
}

void Select(MainForm& browser, const QString& name) {
    for (int i = 0; i < browser.File1.ListCount(); ++i) {
        if (browser.File1.List(i) == name) {
            browser.File1.setListIndex(i);
            return;
        }
    }
    QFAIL(qPrintable(name + " is not listed"));
}

QString SizeText(const QString& path) {
    const qint64 size = QFileInfo(path).size();
    [&] { QVERIFY2(size > 0 && size < 1024, qPrintable(path)); }();
    return QStringLiteral("size : %1 Bytes").arg(size);
}

// The pane shows the picture of `pixels` fitted in the box, at whole pixels.
void VerifyFitted(MainForm& browser, QSize pixels) {
    const QSizeF box = PreviewBox(browser);
    const Fit fit = FitInBox(box.width(), box.height(), double(pixels.width()) / pixels.height());
    const forms::Image& pic1 = browser.pic1;
    QVERIFY(pic1.Visible());
    QVERIFY(std::abs(pic1.Width() - fit.width) < 0.01);
    QVERIFY(std::abs(pic1.Height() - fit.height) < 0.01);
    QVERIFY(std::abs(pic1.Top() - fit.top) < 0.01);
    QVERIFY(std::abs(pic1.Left() - fit.left) < 0.01);
    // One side of the pane is the box's side, exactly.
    if (fit.widthFilled)
        QCOMPARE(pic1.Width(), float(box.width()));
    else
        QCOMPARE(pic1.Height(), float(box.height()));
    QCOMPARE(pic1.widget()->geometry(),
             QRect(forms::ToPixels(pic1.Left()), forms::ToPixels(pic1.Top()),
                   forms::ToPixels(pic1.Width()), forms::ToPixels(pic1.Height())));
    QVERIFY(pic1.widget()->isVisible());
    QCOMPARE(pic1.Picture().Width() / pic1.Picture().Height(),
             double(pixels.width()) / pixels.height());
}

} // namespace

class TestPreview : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void fitRuleWorkedExample_data();
    void fitRuleWorkedExample();
    void fitInPreviewBox_data();
    void fitInPreviewBox();
    void sizeText_data();
    void sizeText();
    void selectedFilePathInAFolder();
    void selectedFilePathAtTheRoot();
    void nothingSelectedChangesNothing();
    void selectingByClickPreviews();
    void selectingByArrowKeysPreviews();
    void everyPreviewReadsTheFileAgain();
    void activationAfterAboutPreviews();
    void activationAfterTheViewerPreviews();
    void fileThatCannotBePreviewed_data();
    void fileThatCannotBePreviewed();
    void boxWithoutRoomKeepsThePaneHidden();

private:
    QString file(const QString& name) const { return dir_->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void TestPreview::init() {
    QVERIFY(!frmMain.IsLoaded());
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void TestPreview::cleanup() {
    QLocale::setDefault(QLocale::c());
    support::UnloadAll();
}

// The oracle of the fit tests reproduces the worked example of a 3750 x 1940 box.
void TestPreview::fitRuleWorkedExample_data() {
    QTest::addColumn<double>("ratio");
    QTest::addColumn<bool>("widthFilled");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("left");
    QTest::newRow("4:3") << 4.0 / 3 << false << 2586.67 << 1940.0 << 0.0 << 631.67;
    QTest::newRow("3:1") << 3.0 << true << 3750.0 << 1250.0 << 345.0 << 50.0;
    QTest::newRow("1:1") << 1.0 << false << 1940.0 << 1940.0 << 0.0 << 955.0;
}

void TestPreview::fitRuleWorkedExample() {
    QFETCH(double, ratio);
    QFETCH(bool, widthFilled);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(double, top);
    QFETCH(double, left);
    const Fit fit = FitInBox(3750, 1940, ratio);
    QCOMPARE(fit.widthFilled, widthFilled);
    QVERIFY(std::abs(fit.width - width) < 0.01);
    QVERIFY(std::abs(fit.height - height) < 0.01);
    QVERIFY(std::abs(fit.top - top) < 0.01);
    QVERIFY(std::abs(fit.left - left) < 0.01);
}

void TestPreview::fitInPreviewBox_data() {
    QTest::addColumn<QSize>("pixels");
    QTest::newRow("4:3") << QSize(40, 30);
    QTest::newRow("3:1") << QSize(60, 20);
    QTest::newRow("1:1") << QSize(20, 20);
    QTest::newRow("very wide") << QSize(300, 2);
    QTest::newRow("very tall") << QSize(2, 300);
    QTest::newRow("smaller than the box, enlarged") << QSize(4, 3);
    QTest::newRow("the box's own ratio") << QSize();
}

void TestPreview::fitInPreviewBox() {
    QFETCH(QSize, pixels);
    MainForm& browser = Browser(dir_->path());
    const QSizeF box = PreviewBox(browser);
    QVERIFY(box.width() > 0 && box.height() > 0);
    QCOMPARE(browser.Width(), 4000.0f); // a box as wide as the worked example's
    if (pixels.isEmpty())
        pixels = (box / forms::TwipsPerPixel).toSize();
    support::WritePicture(file("picture.bmp"), pixels.width(), pixels.height());
    browser.File1.Refresh();

    Select(browser, "picture.bmp");
    VerifyFitted(browser, pixels);
    QCOMPARE(browser.statbar.StatusText().left(7), QString("size : "));
    if (pixels == (box / forms::TwipsPerPixel).toSize()) {
        // Equal ratios take the second branch: the full box.
        QCOMPARE(browser.pic1.Height(), float(box.height()));
        QCOMPARE(browser.pic1.Width(), float(box.width()));
        QCOMPARE(browser.pic1.Left(), 50.0f);
        QCOMPARE(browser.pic1.Top(), 0.0f);
    }
}

void TestPreview::sizeText_data() {
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
    QTest::newRow("1536") << qint64(1536) << english << "size : 1.5 KB";
    QTest::newRow("1048575, no grouping") << qint64(1048575) << english << "size : 1023.999 KB";
    QTest::newRow("1048576") << qint64(1048576) << english << "size : 1 MB";
    QTest::newRow("1572864") << qint64(1572864) << english << "size : 1.5 MB";
    QTest::newRow("just under 1 GiB") << qint64(1073741823) << english << "size : 1 GB";
    QTest::newRow("largest shown in MB") << qint64(1073741298) << english << "size : 1023.999 MB";
    QTest::newRow("1 GiB") << qint64(1073741824) << english << "size : 1 GB";
    QTest::newRow("1.5 GiB") << qint64(1610612736) << english << "size : 1.5 GB";
    QTest::newRow("largest 32-bit") << qint64(2147483647) << english << "size : 2 GB";
    QTest::newRow("2 GiB") << qint64(2147483648) << english << "size : 2 GB";
    QTest::newRow("4 GiB + 1") << qint64(4294967297) << english << "size : 4 GB";
    QTest::newRow("5.25 GiB") << qint64(5637144576) << english << "size : 5.25 GB";
    QTest::newRow("1 TiB") << qint64(1099511627776) << english << "size : 1024 GB";

    QTest::newRow("German 1536") << qint64(1536) << german << "size : 1,5 KB";
    QTest::newRow("German 1048575") << qint64(1048575) << german << "size : 1023,999 KB";
    QTest::newRow("German 1023") << qint64(1023) << german << "size : 1023 Bytes";
    QTest::newRow("German 1.5 GiB") << qint64(1610612736) << german << "size : 1,5 GB";
    QTest::newRow("German 1024") << qint64(1024) << german << "size : 1 KB";
    // Only the separator is the locale's; the digits stay as written everywhere else.
    QTest::newRow("Arabic 1536") << qint64(1536) << arabic
                                 << "size : 1" + arabic.decimalPoint() + "5 KB";
    QTest::newRow("Arabic 1048576") << qint64(1048576) << arabic << "size : 1 MB";
}

void TestPreview::sizeText() {
    QFETCH(qint64, size);
    QFETCH(QLocale, locale);
    QFETCH(QString, text);
    QLocale::setDefault(locale);
    MainForm& browser = *frmMain;
    browser.ShowFileSize(size);
    QCOMPARE(browser.statbar.StatusText(), text);
}

void TestPreview::selectedFilePathInAFolder() {
    QDir(dir_->path()).mkdir("Pictures");
    const QString folder = QDir::toNativeSeparators(file("Pictures"));
    support::WritePicture(file("Pictures/a.bmp"), 4, 3);
    MainForm& browser = Browser(folder);

    QCOMPARE(browser.SelectedFilePath(), folder + QDir::separator());
    Select(browser, "a.bmp");
    QCOMPARE(browser.SelectedFilePath(), folder + QDir::separator() + "a.bmp");
}

void TestPreview::selectedFilePathAtTheRoot() {
    QTemporaryFile atRoot(QDir::rootPath() + "lumbrik-preview-XXXXXX.bmp");
    if (!atRoot.open())
        QSKIP("the root folder cannot be written here");
    atRoot.close();
    support::WritePicture(atRoot.fileName(), 4, 3);
    const QString name = QFileInfo(atRoot.fileName()).fileName();

    MainForm& browser = Browser(dir_->path());
    // The top entry of the folder list is the root.
    browser.Dir1.Open(0);
    QCOMPARE(browser.Dir1.Path(), QDir::toNativeSeparators(QDir::rootPath()));
    QCOMPARE(browser.SelectedFilePath(), QDir::toNativeSeparators(QDir::rootPath()));
    Select(browser, name);
    QCOMPARE(browser.SelectedFilePath(), QDir::toNativeSeparators(QDir::rootPath()) + name);
    VerifyFitted(browser, QSize(4, 3));
}

void TestPreview::nothingSelectedChangesNothing() {
    support::WritePicture(file("a.bmp"), 40, 30);
    MainForm& browser = Browser(dir_->path());
    QCOMPARE(browser.File1.ListIndex(), -1);

    // At start: the design-time picture stretched over the box, an empty status bar.
    const pictures::Picture initial = browser.pic1.Picture();
    const QRectF initialPlace(browser.pic1.Left(), browser.pic1.Top(), browser.pic1.Width(),
                              browser.pic1.Height());
    browser.ShowPreview();
    QVERIFY(browser.pic1.Picture() == initial);
    QCOMPARE(browser.statbar.StatusText(), QString());
    QCOMPARE(QRectF(browser.pic1.Left(), browser.pic1.Top(), browser.pic1.Width(),
                    browser.pic1.Height()),
             initialPlace);

    // After a preview, selecting nothing leaves the pane, its picture and the text as they are.
    Select(browser, "a.bmp");
    const pictures::Picture shown = browser.pic1.Picture();
    const QString text = browser.statbar.StatusText();
    const QRect place = browser.pic1.widget()->geometry();
    browser.File1.setListIndex(-1);
    browser.pic1.setVisible(false);
    browser.ShowPreview();
    QVERIFY(browser.pic1.Picture() == shown);
    QCOMPARE(browser.statbar.StatusText(), text);
    QCOMPARE(browser.pic1.widget()->geometry(), place);
    QVERIFY(!browser.pic1.Visible());
}

void TestPreview::selectingByClickPreviews() {
    support::WritePicture(file("a.bmp"), 16, 12);
    support::WritePicture(file("b.bmp"), 10, 10);
    support::WritePicture(file("c.bmp"), 30, 10);
    MainForm& browser = Browser(dir_->path());
    auto* list = static_cast<QListWidget*>(browser.File1.widget());
    QCOMPARE(list->count(), 3);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    QCOMPARE(browser.File1.FileName(), QString("b.bmp"));
    QCOMPARE(browser.statbar.StatusText(), SizeText(file("b.bmp")));
    VerifyFitted(browser, QSize(10, 10));

    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(2)).center());
    QCOMPARE(browser.statbar.StatusText(), SizeText(file("c.bmp")));
    VerifyFitted(browser, QSize(30, 10));
}

void TestPreview::selectingByArrowKeysPreviews() {
    support::WritePicture(file("a.bmp"), 16, 12);
    support::WritePicture(file("b.bmp"), 10, 10);
    support::WritePicture(file("c.bmp"), 30, 10);
    MainForm& browser = Browser(dir_->path());
    browser.File1.widget()->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), browser.File1.widget());
    Select(browser, "a.bmp");
    QCOMPARE(browser.statbar.StatusText(), SizeText(file("a.bmp")));
    VerifyFitted(browser, QSize(16, 12));

    QTest::keyClick(browser.File1.widget(), Qt::Key_Down);
    QCOMPARE(browser.File1.FileName(), QString("b.bmp"));
    QCOMPARE(browser.statbar.StatusText(), SizeText(file("b.bmp")));
    VerifyFitted(browser, QSize(10, 10));

    QTest::keyClick(browser.File1.widget(), Qt::Key_Down);
    QCOMPARE(browser.statbar.StatusText(), SizeText(file("c.bmp")));
    VerifyFitted(browser, QSize(30, 10));

    QTest::keyClick(browser.File1.widget(), Qt::Key_Up);
    QCOMPARE(browser.File1.FileName(), QString("b.bmp"));
    QCOMPARE(browser.statbar.StatusText(), SizeText(file("b.bmp")));
    VerifyFitted(browser, QSize(10, 10));
}

// No cache: a file changed on disk is read afresh by the next preview of it.
void TestPreview::everyPreviewReadsTheFileAgain() {
    support::WritePicture(file("a.bmp"), 16, 12);
    MainForm& browser = Browser(dir_->path());
    Select(browser, "a.bmp");
    support::WritePicture(file("a.bmp"), 30, 10);
    browser.ShowPreview();
    QCOMPARE(browser.statbar.StatusText(), SizeText(file("a.bmp")));
    VerifyFitted(browser, QSize(30, 10));
}

void TestPreview::activationAfterAboutPreviews() {
    support::WritePicture(file("a.bmp"), 16, 12);
    MainForm& browser = Browser(dir_->path());
    Select(browser, "a.bmp");
    VerifyFitted(browser, QSize(16, 12));

    browser.abour.action()->trigger();
    QVERIFY(QTest::qWaitForWindowActive(frmSplash->window()));
    // The selected file changes while the About window is open.
    support::WritePicture(file("a.bmp"), 30, 10);
    QTest::mouseClick(frmSplash->client(), Qt::LeftButton, {}, QPoint(3, 2));
    QTRY_VERIFY(browser.window()->isActiveWindow());
    QCOMPARE(browser.statbar.StatusText(), SizeText(file("a.bmp")));
    VerifyFitted(browser, QSize(30, 10));
}

void TestPreview::activationAfterTheViewerPreviews() {
    support::WritePicture(file("a.bmp"), 16, 12);
    MainForm& browser = Browser(dir_->path());
    Select(browser, "a.bmp");

    browser.full.action()->trigger();
    QVERIFY(frmView.IsLoaded());
    QVERIFY(QTest::qWaitForWindowActive(frmView->window()));
    QVERIFY(!browser.Visible());
    support::WritePicture(file("a.bmp"), 30, 10);
    QTest::keyClick(frmView->window(), Qt::Key_Escape);
    QVERIFY(!frmView.IsLoaded());
    QTRY_VERIFY(browser.window()->isActiveWindow());
    QCOMPARE(browser.statbar.StatusText(), SizeText(file("a.bmp")));
    VerifyFitted(browser, QSize(30, 10));
}

void TestPreview::fileThatCannotBePreviewed_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("random bytes named .jpg")
        << "garbage.jpg" << QByteArray("\x13\x37\xca\xfe not a picture at all", 25) << false;
    QTest::newRow("text named .gif")
        << "notes.gif" << QByteArray("GIF is a nice format\n") << false;
    QTest::newRow("empty .bmp") << "empty.bmp" << QByteArray() << false;
    QTest::newRow("deleted after listing") << "gone.bmp" << QByteArray() << true;
}

void TestPreview::fileThatCannotBePreviewed() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, deleted);
    support::WritePicture(file("a.bmp"), 16, 12);
    if (deleted) {
        support::WritePicture(file(name), 16, 12);
    } else {
        QFile bad(file(name));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(content);
    }
    MainForm& browser = Browser(dir_->path());
    Select(browser, "a.bmp");
    const QRectF previous(browser.pic1.Left(), browser.pic1.Top(), browser.pic1.Width(),
                          browser.pic1.Height());
    if (deleted)
        QVERIFY(QFile::remove(file(name)));

    Select(browser, name);
    QVERIFY2(browser.statbar.StatusText().contains(name), qPrintable(browser.statbar.StatusText()));
    QVERIFY(!browser.statbar.StatusText().startsWith("size : "));
    QVERIFY(!browser.pic1.Visible());
    QVERIFY(!browser.pic1.widget()->isVisible());
    // The pane was given the full box before the load failed.
    const QSizeF box = PreviewBox(browser);
    QCOMPARE(QRectF(browser.pic1.Left(), browser.pic1.Top(), browser.pic1.Width(),
                    browser.pic1.Height()),
             QRectF(50, 0, box.width(), box.height()));
    QVERIFY(previous != QRectF(50, 0, box.width(), box.height()));

    // The program goes on.
    Select(browser, "a.bmp");
    QCOMPARE(browser.statbar.StatusText(), SizeText(file("a.bmp")));
    VerifyFitted(browser, QSize(16, 12));
}

// A window made smaller than its layout allows, previewing before its layout pass has run.
void TestPreview::boxWithoutRoomKeepsThePaneHidden() {
    support::WritePicture(file("a.bmp"), 16, 12);
    support::WritePicture(file("b.bmp"), 30, 10);
    MainForm& browser = Browser(dir_->path());
    Select(browser, "a.bmp");
    QVERIFY(browser.pic1.Visible());

    browser.setHeight(1200);
    QVERIFY(PreviewBox(browser).height() <= 0);
    Select(browser, "b.bmp");
    QVERIFY(!browser.pic1.Visible());
    QVERIFY2(browser.statbar.StatusText().contains("b.bmp"),
             qPrintable(browser.statbar.StatusText()));
    QVERIFY(!browser.statbar.StatusText().startsWith("size : "));

    // The layout pass restores the minimum size and previews again.
    QTRY_VERIFY(browser.pic1.Visible());
    QTRY_COMPARE(browser.statbar.StatusText(), SizeText(file("b.bmp")));
    VerifyFitted(browser, QSize(30, 10));
}

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
