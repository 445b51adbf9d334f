#include "forms/Timer.h"

namespace forms {

Timer::Timer(Form& owner, int interval, bool enabled)
    : Tick(owner), timer_(new QTimer(owner.window())), interval_(interval), enabled_(enabled) {
    timer_->setTimerType(Qt::PreciseTimer);
    QObject::connect(timer_, &QTimer::timeout, [this] { Tick(); });
    restart();
}

void Timer::setEnabled(bool enabled) {
    enabled_ = enabled;
    restart();
}

void Timer::setInterval(int milliseconds) {
    interval_ = milliseconds;
    restart();
}

void Timer::restart() {
    if (enabled_ && interval_ > 0)
        timer_->start(interval_);
    else
        timer_->stop();
}

} // namespace forms
