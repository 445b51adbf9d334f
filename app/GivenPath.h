// The file or folder named on the command line: the browser starts in that folder, with that
// file selected, once it is first shown.
#pragma once

#include <QObject>
#include <QString>

class GivenPath : public QObject {
public:
    // Makes the folder the working folder at once, so that the browser's lists start there as
    // they start at the working folder without an argument.
    explicit GivenPath(const QString& argument);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Keeps the status text for the browser and writes the full path to standard error.
    void Refuse(const QString& path, const char* reason);
    void ApplyToBrowser();

    QString failure_;
    QString fileName_;
    QString filePath_;
};
