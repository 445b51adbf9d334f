#include "forms/MsgBox.h"

#include "forms/Application.h"
#include "forms/Form.h"

#include <QMessageBox>

namespace forms {

int MsgBox(const QString& prompt, int buttons, const QString& title) {
    QWidget* parent = App.ActiveForm() ? App.ActiveForm()->window() : nullptr;
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setIcon(QMessageBox::NoIcon);
    box.setTextFormat(Qt::PlainText);
    // A line break is CR LF in the prompt; the toolkit wants a bare LF.
    box.setText(QString(prompt).replace(vbCrLf, QStringLiteral("\n")));
    if (buttons == vbOKCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok ? vbOK : vbCancel;
}

} // namespace forms
