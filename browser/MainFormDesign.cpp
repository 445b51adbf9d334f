// The browser window as it is when loaded: its controls, menus and event bindings.
#include "browser/MainForm.h"

#include "resources/Resources.h"

MainForm::MainForm()
    : Form(forms::BorderStyle::Sizable, forms::StartUpPosition::CenterOwner, 4935, 6135),
      Timer1(*this, 100, true), filter(*this, client()), File1(*this, client()),
      Dir1(*this, client()), Drive1(*this, client()), pic1(*this, client()), statbar(*this),
      file(*this, "File"), exit(file, "Exit"), View(*this, "View"), full(View, "Full Screen"),
      slide(View, "Slide Show"), options(View, "Options"), help(*this, "Help"),
      use(help, "How to Use"), abour(help, "About "), Licence(help, "Licence") {
    setCaption("Image Viewer");
    setKeyPreview(true);
    window()->setWindowIcon(resources::ApplicationIcon());

    filter.Move(120, 3720, 2175, 315);
    filter.setText("*.gif;*.jpg;*.bmp;*.ico;*.wmf;*.emf;*.jpeg");
    filter.AddItem("*.gif;*.jpg;*.bmp;*.ico;*.wmf;*.emf");
    filter.AddItem("*.*");
    // Nothing reads the box, so it does not offer to be edited.
    filter.setLocked(true);
    File1.Move(120, 4080, 2175, 1650);
    Dir1.Move(2400, 4080, 2295, 1665);
    Drive1.Move(2400, 3720, 2175, 315);
    pic1.Move(120, 0, 3810, 1875);
    pic1.setBorderStyle(1);
    pic1.setPicture(resources::DefaultPicture());

    // Stored switched off: they have no handler.
    slide.setEnabled(false);
    options.setEnabled(false);

    // Focus order: Drive1, Dir1, File1, filter.
    QWidget::setTabOrder(Drive1.widget(), Dir1.widget());
    QWidget::setTabOrder(Dir1.widget(), File1.widget());
    QWidget::setTabOrder(File1.widget(), filter.widget());
    Drive1.widget()->setFocus();

    Timer1.Tick.bind([this] { Timer1_Timer(); });
    Drive1.Change.bind([this] { Drive1_Change(); });
    Dir1.Change.bind([this] { Dir1_Change(); });
    File1.Click.bind([this] { File1_Click(); });
    File1.DblClick.bind([this] { File1_DblClick(); });
    File1.KeyDown.bind([this](int& KeyCode, int& Shift) { File1_KeyDown(KeyCode, Shift); });
    pic1.Click.bind([this] { pic1_Click(); });
    exit.Click.bind([this] { exit_Click(); });
    full.Click.bind([this] { full_Click(); });
    abour.Click.bind([this] { abour_Click(); });
}

void MainForm::ReportFailure(const QString& message) {
    statbar.setStatusText(message);
}
