#include "forms/Application.h"

#include "forms/Form.h"

#include <QCoreApplication>
#include <QDir>

#include <algorithm>

namespace forms {

Application::Application() = default;

Application::~Application() {
    // Windows left over when the process ends after the toolkit is gone cannot be destroyed.
    if (!QCoreApplication::instance())
        for (auto& form : unloaded_)
            (void)form.release();
}

QString Application::Path() const {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
}

void Application::formUnloaded(std::unique_ptr<Form> form) {
    formGone(form.get());
    std::erase(loaded_, form.get());
    unloaded_.push_back(std::move(form));
    QMetaObject::invokeMethod(this, &Application::DestroyUnloaded, Qt::QueuedConnection);
    if (loaded_.empty())
        emit lastFormUnloaded();
}

Form* Application::FormTakingInput(const Form* besides) const {
    const auto takes = [besides](const Form* form) {
        return form && form != besides && !form->IsUnloading() && form->Visible() &&
               form->Enabled();
    };
    if (takes(activeForm_))
        return activeForm_;
    const auto last = std::find_if(loaded_.rbegin(), loaded_.rend(), takes);
    return last == loaded_.rend() ? nullptr : *last;
}

void Application::formGone(Form* form) {
    if (activeForm_ == form)
        activeForm_ = nullptr;
}

void Application::DestroyUnloaded() {
    unloaded_.clear();
}

pictures::RenderService& Application::Pictures() {
    if (!pictures_) {
        pictures_ = std::make_unique<pictures::RenderService>();
        // Its workers end while the toolkit they report to still stands.
        qAddPostRoutine([] { App.pictures_.reset(); });
    }
    return *pictures_;
}

} // namespace forms
