// Stepping through the browser's folder full screen, the slide show, and closing the viewer.
#include "viewer/ViewForm.h"

#include "browser/MainForm.h"
#include "forms/Keys.h"
#include "forms/ReadAhead.h"

void ViewForm::Form_KeyDown(int& KeyCode, int& Shift) {
    constexpr int ShiftAndAlt = forms::vbShiftMask | forms::vbAltMask;
    if (KeyCode == forms::vbKeyEscape) {
        CloseViewer();
    } else if (KeyCode == forms::vbKeyRight) {
        if (Shift != ShiftAndAlt)
            Timer1.setEnabled(false);
        ShowNextPicture();
    } else if (KeyCode == forms::vbKeyLeft) {
        if (Shift != ShiftAndAlt)
            Timer1.setEnabled(false);
        ShowPreviousPicture();
    } else if (KeyCode >= forms::vbKey0 && KeyCode <= forms::vbKey9) {
        SetSlideInterval(KeyCode - forms::vbKey0);
    } else if (KeyCode >= forms::vbKeyNumpad0 && KeyCode <= forms::vbKeyNumpad9) {
        SetSlideInterval(KeyCode - forms::vbKeyNumpad0);
    }
}

void ViewForm::ShowNextPicture() {
    int i = frmMain->File1.ListIndex();
    const int n = frmMain->File1.ListCount();
    // An empty list has nothing to step to.
    if (n == 0)
        return;
    if (i < n - 1)
        i = i + 1;
    else
        i = 0;
    frmMain->File1.setListIndex(i);
    ShowFullScreenPicture(frmMain->File1.FileName());
}

void ViewForm::ShowPreviousPicture() {
    int i = frmMain->File1.ListIndex();
    const int n = frmMain->File1.ListCount();
    if (n == 0)
        return;
    // With nothing selected, Left goes to the last file as from the first.
    if (i <= 0)
        i = n - 1;
    else
        i = i - 1;
    frmMain->File1.setListIndex(i);
    ShowFullScreenPicture(frmMain->File1.FileName());
}

// Read-ahead: the files a step or a tick shows next, drawn at the screen's size beforehand.
void ViewForm::PrepareNeighbours() {
    std::vector<forms::ReadAhead> ahead;
    for (const QString& path : forms::NeighbourPaths(frmMain->File1, frmMain->Dir1.Path()))
        ahead.push_back({path, Screen().Width(), Screen().Height()});
    forms::PreparePictures(*this, ahead);
}

void ViewForm::SetSlideInterval(int seconds) {
    const auto ms = static_cast<qint16>(seconds * 1000);
    Timer1.setInterval(ms);
    Timer1.setEnabled(true);
}

void ViewForm::Timer1_Timer() {
    ShowNextPicture();
}

void ViewForm::Form_Click() {
    CloseViewer();
}

void ViewForm::pic2_Click() {
    CloseViewer();
}

// A close through the window system closes like Escape: a hidden browser with no window on
// screen would leave a program no one can see or end.
void ViewForm::Form_QueryUnload() {
    CloseViewer();
}

void ViewForm::CloseViewer() {
    forms::Unload(frmView);
    frmMain->setVisible(true);
}
