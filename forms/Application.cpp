#include "forms/Application.h"

#include "forms/Form.h"

#include <QCoreApplication>
#include <QDir>

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
    unloaded_.push_back(std::move(form));
    QMetaObject::invokeMethod(this, &Application::DestroyUnloaded, Qt::QueuedConnection);
    if (--loadedForms_ == 0)
        emit lastFormUnloaded();
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
