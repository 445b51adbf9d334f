// Help › About: the splash window again, until it is clicked; the browser waits disabled.
#include "browser/MainForm.h"

#include "splash/SplashForm.h"

void MainForm::abour_Click() {
    setEnabled(false);
    frmSplash->setVisible(true);
    frmSplash->Timer1.setEnabled(false);
}
