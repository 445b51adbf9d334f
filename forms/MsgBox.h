// MsgBox: the modal message box, with its button styles and answer values.
#pragma once

#include <QString>

namespace forms {

inline constexpr int vbOKOnly = 0;
inline constexpr int vbOKCancel = 1;
inline constexpr int vbOK = 1;
inline constexpr int vbCancel = 2;
inline const QString vbCrLf = QStringLiteral("\r\n");

// Shows the box over the active window and waits for the answer. Closing the box answers
// Cancel where there is a Cancel button.
int MsgBox(const QString& prompt, int buttons, const QString& title);

} // namespace forms
