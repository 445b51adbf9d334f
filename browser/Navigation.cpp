// Loading the browser window, the linked drive, folder and file lists, and closing it.
#include "browser/MainForm.h"

#include "forms/Application.h"

#include <QDir>

void MainForm::Form_Load() {
    setHeight(5000);
    setWidth(4000);
    Timer1.setEnabled(false);
    forms::App.setHelpFile(forms::App.Path() + QDir::separator() + "Lumbrik.hlp");
    ArrangeControls();
    File1.setPattern("*.gif;*.jpg;*.jpeg;*.bmp;*.ico;*.wmf;*.emf");
    pic1.setStretch(true);
}

void MainForm::Form_KeyPress(int& KeyAscii) {
    if (KeyAscii == 27)
        forms::Unload(frmMain);
}

void MainForm::Drive1_Change() {
    Dir1.setPath(Drive1.Drive());
    File1.setPath(Dir1.Path());
}

void MainForm::Dir1_Change() {
    File1.setPath(Dir1.Path());
}

void MainForm::exit_Click() {
    forms::Unload(frmMain);
}
