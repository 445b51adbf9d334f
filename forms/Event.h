// Event: a control's event, bound to a handler of its window. Raising it runs the handler at
// once (nested, when the program's own property change raised it) inside the window's boundary.
#pragma once

#include "forms/Form.h"

#include <functional>

namespace forms {

template <class... Args> class Event {
public:
    explicit Event(Form& owner) : owner_(owner) {}

    template <class F> void bind(F handler) { handler_ = std::move(handler); }
    bool isBound() const { return static_cast<bool>(handler_); }

    void operator()(Args... args) const {
        // An unloaded window runs no more handlers, though its controls live until the event
        // that unloaded it ends (a timer tick due at the same moment arrives then).
        if (handler_ && !owner_.IsUnloading())
            owner_.Raise([&] { handler_(args...); });
    }

private:
    Form& owner_;
    std::function<void(Args...)> handler_;
};

} // namespace forms
