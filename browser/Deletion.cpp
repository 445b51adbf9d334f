// The file list's keys: Down refreshes the preview, Delete deletes the selected file after
// a confirmation.
#include "browser/MainForm.h"

#include "forms/FileSystemObject.h"
#include "forms/Keys.h"
#include "forms/MsgBox.h"

void MainForm::File1_KeyDown(int& KeyCode, int& /*Shift*/) {
    if (KeyCode == forms::vbKeyDown) {
        ShowPreview();
    } else if (KeyCode == forms::vbKeyDelete) {
        int savedIndex = File1.ListIndex();
        const int savedCount = File1.ListCount();
        DeleteSelectedFile();
        if (savedIndex == savedCount - 1)
            savedIndex = 0;
        File1.Refresh();
        File1.setListIndex(savedIndex < File1.ListCount() ? savedIndex : -1);
    }
}

void MainForm::DeleteSelectedFile() {
    // With nothing selected the path would name the folder itself.
    if (File1.FileName().isEmpty())
        return;
    const QString path = SelectedFilePath();
    const int answer = forms::MsgBox("Do you want to delete file" + forms::vbCrLf + path + "?",
                                     forms::vbOKCancel, "Delete Confirmation");
    if (answer == forms::vbCancel)
        return;
    forms::FileSystemObject().DeleteFile(path, false);
}
