#include "splash/SplashForm.h"

#include "browser/MainForm.h"
#include "resources/Resources.h"

SplashForm::SplashForm()
    : Form(forms::BorderStyle::FixedDialog, forms::StartUpPosition::CenterScreen, 6765, 3615),
      Frame1(*this, client()), Timer1(*this, 3000, true),
      Label3(*this, Frame1.widget(), "Version 1.10"),
      Label2(*this, Frame1.widget(), "Windows 9x / NT"), Image2(*this, Frame1.widget()),
      Image1(*this, Frame1.widget()) {
    setKeyPreview(true);
    window()->setWindowIcon(resources::ApplicationIcon());
    Frame1.Move(150, 60, 6465, 3435);
    Label3.Move(240, 3120, 2295, 255);
    Label2.Move(240, 2760, 2295, 255);
    Image2.Move(4320, 1920, 2130, 1500);
    Image2.setPicture(resources::SecondSplashPicture());
    Image1.Move(120, 120, 3750, 1815);
    Image1.setPicture(resources::DefaultPicture());

    Frame1.Click.bind([this] { Frame1_Click(); });
    Timer1.Tick.bind([this] { Timer1_Timer(); });
}

void SplashForm::Timer1_Timer() {
    frmMain->setVisible(true);
    forms::Unload(frmSplash);
}

void SplashForm::Form_Click() {
    frmMain->setVisible(true);
    frmMain->setEnabled(true);
    forms::Unload(frmSplash);
}

void SplashForm::Frame1_Click() {
    Form_Click();
}
