// Opening the full-screen viewer from the browser window.
#include "browser/MainForm.h"

#include "viewer/ViewForm.h"

void MainForm::File1_DblClick() {
    ShowPreview();
    setVisible(false);
    frmView->setVisible(true);
}

void MainForm::pic1_Click() {
    if (File1.FileName().isEmpty()) {
        statbar.setStatusText("No Picture Loaded to View Full Screen");
        return;
    }
    setVisible(false);
    frmView->setVisible(true);
}

void MainForm::full_Click() {
    pic1_Click();
}
