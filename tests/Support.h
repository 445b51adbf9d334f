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
#include <QImage>
#include <QSignalSpy>
#include <QString>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace support {

// Writes a picture of one colour; the format comes from the name (jpg, bmp, ico).
inline void WritePicture(const QString& path, int width, int height, QColor colour = Qt::red) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY2(image.save(path), qPrintable(path));
}

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
