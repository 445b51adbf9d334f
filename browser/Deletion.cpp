// The file list's keys: Down refreshes the preview, Delete deletes the selected file after
// a confirmation.
#include "browser/MainForm.h"

#include "forms/Error.h"
#include "forms/FileSystemObject.h"
#include "forms/Keys.h"
#include "forms/MsgBox.h"

#include <exception>

void MainForm::File1_KeyDown(int& KeyCode, int& /*Shift*/) {
    if (KeyCode == forms::vbKeyDown) {
        ShowPreview();
    } else if (KeyCode == forms::vbKeyDelete) {
        int savedIndex = File1.ListIndex();
        const int savedCount = File1.ListCount();
        // The list is refreshed and re-selected whether or not the deletion went through; a
        // failure is reported after that, so the next entry's size text does not hide it.
        std::exception_ptr failure;
        try {
            DeleteSelectedFile();
        } catch (const forms::Error&) {
            failure = std::current_exception();
        }
        if (savedIndex == savedCount - 1)
            savedIndex = 0;
        File1.Refresh();
        if (savedIndex < File1.ListCount()) {
            File1.setListIndex(savedIndex);
        } else {
            // No entry is left to select: the pane and the status text let go of the file
            // that was shown, which was most likely the one just deleted.
            File1.setListIndex(-1);
            if (savedCount > 0) {
                pic1.setVisible(false);
                pic1.setPicture({});
                statbar.setStatusText({});
            }
        }
        if (failure)
            std::rethrow_exception(failure);
    }
}

void MainForm::DeleteSelectedFile() {
    // With no file selected the path would name the folder itself: there is nothing to ask.
    if (File1.FileName().isEmpty())
        return;
    const forms::FileSystemObject fso;
    const QString path = SelectedFilePath();
    // The answer is about this file as it is now, not about whatever takes its name meanwhile.
    const forms::File named = fso.GetFile(path);
    const int answer = forms::MsgBox("Do you want to delete file" + forms::vbCrLf + path + "?",
                                     forms::vbOKCancel, "Delete Confirmation");
    if (answer == forms::vbCancel)
        return;
    fso.DeleteFile(named, false);
}
