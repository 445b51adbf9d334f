// frmMain, the browser window: drive, folder and file lists, the preview pane and its size
// text, and the ways into the full-screen viewer and the About window.
#pragma once

#include "forms/ComboBox.h"
#include "forms/DirListBox.h"
#include "forms/DriveListBox.h"
#include "forms/FileListBox.h"
#include "forms/Form.h"
#include "forms/Image.h"
#include "forms/Menu.h"
#include "forms/StatusBar.h"
#include "forms/Timer.h"
#include "forms/Windows.h"

#include <QString>

class MainForm : public forms::Form {
public:
    MainForm();

    // Controls, in creation order.
    forms::Timer Timer1;
    forms::ComboBox filter;
    forms::FileListBox File1;
    forms::DirListBox Dir1;
    forms::DriveListBox Drive1;
    forms::Image pic1;
    forms::StatusBar statbar;

    // Menus.
    forms::Menu file;
    forms::Menu exit;
    forms::Menu View;
    forms::Menu full;
    forms::Menu slide;
    forms::Menu options;
    forms::Menu help;
    forms::Menu use;
    forms::Menu abour;
    forms::Menu Licence;

    // Routines.
    QString SelectedFilePath();
    void ShowPreview();
    void ShowFileSize(qint64 size);
    void ArrangePreviewArea();
    void PrepareAround(float boxWidth, float boxHeight);
    void ArrangeControls();
    void DeleteSelectedFile();

    // Failures show as the status text.
    void ReportFailure(const QString& message) override;

protected:
    void Form_Load() override;
    void Form_KeyPress(int& KeyAscii) override;
    void Form_Activate() override;
    void Form_GotFocus() override;
    void Form_Resize() override;

private:
    void Drive1_Change();
    void Dir1_Change();
    void exit_Click();
    void File1_Click();
    void Timer1_Timer();
    void File1_KeyDown(int& KeyCode, int& Shift);
    void File1_DblClick();
    void pic1_Click();
    void full_Click();
    void abour_Click();
};
