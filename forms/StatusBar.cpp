#include "forms/StatusBar.h"

#include "forms/Form.h"
#include "forms/FormWindow.h"
#include "forms/Twips.h"

#include <QHBoxLayout>
#include <QLabel>

namespace forms {

StatusBar::StatusBar(Form& owner) : Control(owner, new QFrame(owner.client())), text_(nullptr) {
    auto* frame = static_cast<QFrame*>(widget());
    frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(4, 1, 4, 1);
    text_ = new QLabel(frame);
    text_->setTextFormat(Qt::PlainText);
    text_->setAccessibleName(QStringLiteral("status"));
    layout->addWidget(text_);
    static_cast<ClientArea*>(owner.client())->dockBottom(frame);
    static_cast<ClientArea*>(owner.client())->arrange();
}

QString StatusBar::StatusText() const {
    return text_->text();
}
void StatusBar::setStatusText(const QString& text) {
    text_->setText(text);
}
float StatusBar::Height() const {
    return ToTwips(pixelHeight());
}
int StatusBar::pixelHeight() const {
    return widget()->sizeHint().height();
}

} // namespace forms
