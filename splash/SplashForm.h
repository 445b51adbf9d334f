// frmSplash: opens the program and hands over to the browser; serves again as the About box.
#pragma once

#include "forms/Form.h"
#include "forms/Image.h"
#include "forms/Label.h"
#include "forms/Timer.h"
#include "forms/Windows.h"

class SplashForm : public forms::Form {
public:
    SplashForm();

    // Controls, in creation order.
    forms::Frame Frame1;
    forms::Timer Timer1;
    forms::Label Label3;
    forms::Label Label2;
    forms::Image Image2;
    forms::Image Image1;

protected:
    void Form_Click() override;
    // It has no close button; a close request from the window system is refused.
    void Form_QueryUnload() override {}

private:
    void Frame1_Click();
    void Timer1_Timer();
};
