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
#include <QString>
#include <QtTest>

namespace support {

// Writes a picture of one colour; the format comes from the name (jpg, bmp, ico).
inline void WritePicture(const QString& path, int width, int height, QColor colour = Qt::red)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    QVERIFY2(image.save(path), qPrintable(path));
}

// Unloads every window and lets the unloaded ones be destroyed, so the next test starts
// from a program that has not started yet.
inline void UnloadAll()
{
    forms::Unload(frmView);
    forms::Unload(frmSplash);
    forms::Unload(frmMain);
    forms::App.DestroyUnloaded();
}

// Loads the browser, shows it and points its lists at `folder`.
inline MainForm& BrowserAt(const QString& folder)
{
    frmMain->setVisible(true);
    frmMain->Dir1.setPath(folder);
    return *frmMain;
}

} // namespace support
