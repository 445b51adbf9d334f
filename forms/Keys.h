// Windows virtual-key codes and Shift bits for Qt key events: the one place that maps them.
#pragma once

#include <Qt>

class QKeyEvent;

namespace forms {

inline constexpr int vbShiftMask = 1;
inline constexpr int vbCtrlMask = 2;
inline constexpr int vbAltMask = 4;

inline constexpr int vbKeyReturn = 13;
inline constexpr int vbKeyEscape = 27;
inline constexpr int vbKeyLeft = 37;
inline constexpr int vbKeyUp = 38;
inline constexpr int vbKeyRight = 39;
inline constexpr int vbKeyDown = 40;
inline constexpr int vbKeyDelete = 46;
inline constexpr int vbKey0 = 48;
inline constexpr int vbKey9 = 57;
inline constexpr int vbKeyNumpad0 = 96;
inline constexpr int vbKeyNumpad9 = 105;

// What a platform's native scan codes are. X11 and Wayland report evdev codes plus 8, so the
// main-row digits are 10 to 19; elsewhere (Windows, macOS) the same numbers are other keys,
// and a synthetic event carries none.
enum class ScanCodes { Evdev, Other };
ScanCodes PlatformScanCodes();

// The virtual-key code of a key event, 0 for a key without one. Main-row digits are
// recognised by their physical key where the scan codes tell it, so Shift+3 is 51.
int KeyCodeOf(const QKeyEvent& event, ScanCodes scanCodes = PlatformScanCodes());
// Shift, Ctrl and Alt as the bits 1, 2 and 4.
int ShiftOf(Qt::KeyboardModifiers modifiers);
// The character code of a key event (KeyAscii), 0 for a key that types nothing (Delete
// included, whose text some platforms give as DEL).
int KeyAsciiOf(const QKeyEvent& event);

} // namespace forms
