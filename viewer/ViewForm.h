// frmView, the full-screen viewer: the selected picture fitted to the screen, the arrow keys
// and the slide show.
#pragma once

#include "forms/Form.h"
#include "forms/Image.h"
#include "forms/Label.h"
#include "forms/Timer.h"
#include "forms/Windows.h"

#include <QString>

class ViewForm : public forms::Form {
public:
    ViewForm();

    forms::Timer Timer1;
    forms::Image pic2;

    void ShowFullScreenPicture(const QString& fileName);
    void ShowNextPicture();
    void ShowPreviousPicture();
    void SetSlideInterval(int seconds);
    void PrepareNeighbours();

    // Failures show as a banner over the picture until the next picture is shown.
    void ReportFailure(const QString& message) override;

protected:
    void Form_Load() override;
    void Form_KeyDown(int& KeyCode, int& Shift) override;
    void Form_Click() override;
    void Form_QueryUnload() override;

private:
    void pic2_Click();
    void Timer1_Timer();
    void CloseViewer();

    // The banner's letters are this share of the screen's height.
    static constexpr float kReportTextShare = 1.0f / 24;
    forms::Label message_;
};
