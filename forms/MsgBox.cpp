#include "forms/MsgBox.h"

#include "forms/Application.h"
#include "forms/Form.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStyle>

namespace forms {

namespace {

// Windows widens a message box until its caption fits beside the caption buttons; a window
// manager would otherwise cut a title longer than the prompt. Title bars use a bold face of
// about the desktop's size, and hold an icon and up to three buttons.
void WidenForTitle(QMessageBox& box) {
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    const int button = box.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &box);
    const int needed = QFontMetrics(titleFont).horizontalAdvance(box.windowTitle()) + 5 * button;
    // The box sizes itself to its layout, so the width goes in as a spacer across it.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(needed, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

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
    WidenForTitle(box);
    return box.exec() == QMessageBox::Ok ? vbOK : vbCancel;
}

} // namespace forms
