// Timer: ticks every Interval milliseconds while Enabled; an interval of 0 never ticks.
#pragma once

#include "forms/Event.h"

#include <QTimer>

namespace forms {

class Timer {
public:
    Timer(Form& owner, int interval, bool enabled);

    bool Enabled() const { return enabled_; }
    // Switching the timer on starts its countdown afresh.
    void setEnabled(bool enabled);
    int Interval() const { return interval_; }
    void setInterval(int milliseconds);

    Event<> Tick;

private:
    void restart();

    QTimer* timer_; // owned by the window
    int interval_;
    bool enabled_;
};

} // namespace forms
