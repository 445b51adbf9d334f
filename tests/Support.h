// Shared helpers of the window suites: pictures made at run time, and every window unloaded
// between tests.
#pragma once

#include "browser/MainForm.h"
#include "forms/Application.h"
#include "splash/SplashForm.h"
#include "viewer/ViewForm.h"

#include <QApplication>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QString>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <initializer_list>
#include <memory>
#include <utility>

namespace support {

// Writes a picture of one colour; the format comes from the name (jpg, bmp, ico).
inline void WritePicture(const QString& path, int width, int height, QColor colour = Qt::red) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY2(image.save(path), qPrintable(path));
}

// Writes `bytes` to a new file at `path`.
inline bool WriteFile(const QString& path, const QByteArray& bytes = "x") {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The names a file list shows, in order.
inline QStringList Entries(const forms::FileListBox& list) {
    QStringList names;
    for (int i = 0; i < list.ListCount(); ++i)
        names.append(list.List(i));
    return names;
}

// The browser's rows: the lists rest on the status bar, the filter row stands 50 above them
// and the preview box ends 100 above the filter row.
struct Rows {
    float fileTop, filterTop, paneHeight;
};
constexpr Rows RowsFor(float clientHeight, float statusHeight, float filterHeight) {
    const float fileTop = clientHeight - statusHeight - 1650;
    return {fileTop, fileTop - 50 - filterHeight, fileTop - 150 - filterHeight};
}
// The worked example: client 4310, status bar 255, filter 315.
static_assert(RowsFor(4310, 255, 315).fileTop == 2405 &&
              RowsFor(4310, 255, 315).filterTop == 2040 &&
              RowsFor(4310, 255, 315).paneHeight == 1940);

inline Rows RowsOf(MainForm& form) {
    return RowsFor(form.ScaleHeight(), form.statbar.Height(), form.filter.Height());
}

// Where a control is, in twips.
inline QRectF Box(const forms::Control& control) {
    return {control.Left(), control.Top(), control.Width(), control.Height()};
}

// A data column with one row per (name, value) pair.
template <typename T>
void Column(const char* column, std::initializer_list<std::pair<const char*, T>> rows) {
    QTest::addColumn<T>(column);
    for (const auto& [name, value] : rows)
        QTest::newRow(name) << value;
}

// A text column whose values name its rows.
inline void Column(const char* column, std::initializer_list<const char*> values) {
    QTest::addColumn<QString>(column);
    for (const char* value : values)
        QTest::newRow(value) << QString(value);
}

// Counts the events of one type that reach a widget; `spontaneous` false leaves out those the
// window system sends.
class EventCounter : public QObject {
public:
    EventCounter(QWidget* widget, QEvent::Type type, bool spontaneous = true)
        : type_(type), spontaneous_(spontaneous) {
        widget->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == type_ && (spontaneous_ || !event->spontaneous());
        return false;
    }

private:
    QEvent::Type type_;
    bool spontaneous_;
};

// Unloads every window and lets the unloaded ones be destroyed, so the next test starts
// from a program that has not started yet.
inline void UnloadAll() {
    forms::Unload(frmView);
    forms::Unload(frmSplash);
    forms::Unload(frmMain);
    forms::App.DestroyUnloaded();
}

// Loads the browser, shows it and points its lists at `folder`.
inline MainForm& BrowserAt(const QString& folder) {
    frmMain->setVisible(true);
    frmMain->Dir1.setPath(folder);
    return *frmMain;
}

// Shows the browser as the active window and lets the layout pass that follows run.
[[nodiscard]] inline bool ShowActive(MainForm& form) {
    form.setVisible(true);
    form.window()->activateWindow();
    return QTest::qWaitForWindowActive(form.window()) &&
           QTest::qWaitFor([&] { return !form.Timer1.Enabled(); });
}

// Runs the event loop until a timer of `ms` has fired; timers due earlier fire before it, so
// "not yet" is a question of order, not of the machine's speed.
inline void RunUntil(int ms) {
    QTimer reference;
    reference.setSingleShot(true);
    reference.setTimerType(Qt::PreciseTimer);
    QSignalSpy fired(&reference, &QTimer::timeout);
    reference.start(ms);
    QVERIFY(fired.wait(ms + 30000));
}

// A precise single-shot timer owned by the caller, for a step at a fixed point of a test.
inline std::unique_ptr<QTimer> At(int ms, std::function<void()> step) {
    auto timer = std::make_unique<QTimer>();
    timer->setSingleShot(true);
    timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer.get(), &QTimer::timeout, std::move(step));
    timer->start(ms);
    return timer;
}

} // namespace support
