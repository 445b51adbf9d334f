// The viewer as it is when loaded: a borderless window holding the picture box and the timer.
#include "viewer/ViewForm.h"

#include <QLabel>
#include <QPalette>

ViewForm::ViewForm()
    : Form(forms::BorderStyle::None, forms::StartUpPosition::WindowsDefault, 6120, 5145),
      Timer1(*this, 0, false), pic2(*this, client()), message_(*this, client(), QString()) {
    setCaption("Form2");
    setKeyPreview(true);
    // The bands beside the picture show the system's window-background colour.
    QPalette palette = client()->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    client()->setPalette(palette);

    pic2.Move(0, 0, 6015, 4935);
    pic2.setStretch(true);

    // The failure banner lies over the picture on a dark translucent band, and a click on it
    // closes the viewer as a click anywhere else does.
    message_.setVisible(false);
    auto* banner = static_cast<QLabel*>(message_.widget());
    banner->setTextFormat(Qt::PlainText);
    banner->setAlignment(Qt::AlignCenter);
    banner->setContentsMargins(16, 0, 16, 0);
    QPalette colours = banner->palette();
    colours.setColor(QPalette::Window, QColor(0, 0, 0, 170));
    colours.setColor(QPalette::WindowText, Qt::white);
    banner->setPalette(colours);
    QFont font = banner->font();
    font.setBold(true);
    banner->setFont(font);
    banner->setAutoFillBackground(true);
    banner->setAttribute(Qt::WA_TransparentForMouseEvents);

    Timer1.Tick.bind([this] { Timer1_Timer(); });
    pic2.Click.bind([this] { pic2_Click(); });
}
