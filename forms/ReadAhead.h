// Read-ahead for window code: files drawn in the background at the size they will be shown,
// so that showing one later is a copy. Nothing is reported from here.
#pragma once

#include <QString>

#include <vector>

namespace forms {

class FileListBox;
class Form;

// A file and the box (twips) it would be fitted into, touching two opposite sides, by an image
// control with that border style.
struct ReadAhead {
    QString path;
    float boxWidth = 0;
    float boxHeight = 0;
    int borderStyle = 0;
};

// The files listed after and before the selected one, in `folder`, wrapping round at the ends;
// none when nothing is selected or nothing else is listed.
std::vector<QString> NeighbourPaths(const FileListBox& list, const QString& folder);

// Prepares the files on `form`'s screen after `afterMs`; replaces read-ahead asked before.
void PreparePictures(const Form& form, const std::vector<ReadAhead>& files, int afterMs = 0);

} // namespace forms
