// The application object: the program's folder, its help file, and the bookkeeping of loaded
// windows that decides when the program ends.
#pragma once

#include "pictures/RenderService.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

namespace forms {

class Form;

class Application : public QObject {
    Q_OBJECT
public:
    Application();
    ~Application() override;

    // The folder that holds the executable, in native form.
    QString Path() const;
    QString HelpFile() const { return helpFile_; }
    void setHelpFile(const QString& file) { helpFile_ = file; }

    int LoadedForms() const { return static_cast<int>(loaded_.size()); }
    // The window that was made active last among the program's own windows.
    Form* ActiveForm() const { return activeForm_; }
    // A shown, enabled window other than `besides` that can take the user's input: the one made
    // active last if it can, else the one loaded last; none when there is none.
    Form* FormTakingInput(const Form* besides) const;
    // Destroys the windows that were unloaded and wait for the end of their last event.
    void DestroyUnloaded();
    // The one render service: made on first use, ended with the toolkit.
    pictures::RenderService& Pictures();

signals:
    // The last loaded window was unloaded: the program is over.
    void lastFormUnloaded();

private:
    friend class Form;
    friend class FormWindow;
    template <class T> friend class FormRef;

    void formLoaded(Form* form) { loaded_.push_back(form); }
    void formUnloaded(std::unique_ptr<Form> form);
    void formActivated(Form* form) { activeForm_ = form; }
    void formGone(Form* form);

    QString helpFile_;
    // Loaded windows, in the order they were loaded.
    std::vector<Form*> loaded_;
    Form* activeForm_ = nullptr;
    // Unloaded windows wait here until the event that unloaded them has finished.
    std::vector<std::unique_ptr<Form>> unloaded_;
    std::unique_ptr<pictures::RenderService> pictures_;
};

inline Application App;

} // namespace forms
