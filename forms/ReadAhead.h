// Read-ahead for window code: files drawn in the background at the size they will be shown,
// so that showing one later is a copy. Nothing is reported from here.
#pragma once

#include <QString>

#include <vector>

namespace forms {

class Form;

// A file and the box (twips) it would be fitted into, touching two opposite sides, by an image
// control with that border style.
struct ReadAhead {
    QString path;
    float boxWidth = 0;
    float boxHeight = 0;
    int borderStyle = 0;
};

// Prepares the files on `form`'s screen after `afterMs`; replaces read-ahead asked before.
void PreparePictures(const Form& form, const std::vector<ReadAhead>& files, int afterMs = 0);

} // namespace forms
