// The browser window's layout: every control placed from the window's size, once per burst
// of resizes.
#include "browser/MainForm.h"

#include "forms/Twips.h"

void MainForm::Form_Resize() {
    if (WindowState() == forms::vbMinimized)
        return;
    Timer1.setEnabled(false);
    Timer1.setEnabled(true);
}

void MainForm::Timer1_Timer() {
    Timer1.setEnabled(false);
    // A pass that comes due while the window is minimised would lay out a window of no size.
    if (WindowState() == forms::vbMinimized)
        return;
    pic1.setVisible(false);
    ArrangeControls();
    ShowPreview();
    // A box without room keeps the pane hidden.
    pic1.setVisible(pic1.Width() > 0 && pic1.Height() > 0);
}

void MainForm::ArrangeControls() {
    const float minimumHeight =
        forms::RoundTwips(statbar.Height() + 50 + 1650 + 50 + filter.Height() + 50 + 200 + 500);
    if (Width() < 2000)
        setWidth(2000);
    if (Height() < minimumHeight)
        setHeight(minimumHeight);
    const float columnWidth = forms::RoundTwips((Width() - 350) / 2);

    File1.setHeight(1650);
    File1.setTop(ScaleHeight() - (statbar.Height() + 1650));
    File1.setWidth(columnWidth);
    File1.setLeft(50);
    Dir1.setHeight(1650);
    Dir1.setTop(File1.Top());
    Dir1.setWidth(columnWidth);
    Dir1.setLeft(columnWidth + 150);
    filter.setTop(File1.Top() - (filter.Height() + 50));
    filter.setWidth(columnWidth);
    filter.setLeft(50);
    Drive1.setTop(filter.Top());
    Drive1.setWidth(columnWidth);
    Drive1.setLeft(Dir1.Left());
    ArrangePreviewArea();
}
