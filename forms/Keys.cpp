#include "forms/Keys.h"

#include <QGuiApplication>
#include <QKeyEvent>

#include <array>
#include <utility>

namespace forms {

namespace {

// Evdev key codes plus 8: 10 to 18 are the main-row 1 to 9, 19 is 0.
int MainRowDigitByScanCode(const QKeyEvent& event, ScanCodes scanCodes) {
    const quint32 code = event.nativeScanCode();
    if (scanCodes != ScanCodes::Evdev || code < 10 || code > 19)
        return 0;
    return code == 19 ? vbKey0 : vbKey0 + static_cast<int>(code) - 9;
}

constexpr std::array<std::pair<int, int>, 42> NamedKeys{{
    {Qt::Key_Backspace, 8},     {Qt::Key_Tab, 9},          {Qt::Key_Backtab, 9},
    {Qt::Key_Clear, 12},        {Qt::Key_Return, 13},      {Qt::Key_Enter, 13},
    {Qt::Key_Shift, 16},        {Qt::Key_Control, 17},     {Qt::Key_Alt, 18},
    {Qt::Key_Pause, 19},        {Qt::Key_CapsLock, 20},    {Qt::Key_Escape, 27},
    {Qt::Key_Space, 32},        {Qt::Key_PageUp, 33},      {Qt::Key_PageDown, 34},
    {Qt::Key_End, 35},          {Qt::Key_Home, 36},        {Qt::Key_Left, 37},
    {Qt::Key_Up, 38},           {Qt::Key_Right, 39},       {Qt::Key_Down, 40},
    {Qt::Key_Print, 44},        {Qt::Key_Insert, 45},      {Qt::Key_Delete, 46},
    {Qt::Key_Help, 47},         {Qt::Key_Meta, 91},        {Qt::Key_Menu, 93},
    {Qt::Key_NumLock, 144},     {Qt::Key_ScrollLock, 145}, {Qt::Key_Semicolon, 186},
    {Qt::Key_Equal, 187},       {Qt::Key_Comma, 188},      {Qt::Key_Minus, 189},
    {Qt::Key_Period, 190},      {Qt::Key_Slash, 191},      {Qt::Key_QuoteLeft, 192},
    {Qt::Key_BracketLeft, 219}, {Qt::Key_Backslash, 220},  {Qt::Key_BracketRight, 221},
    {Qt::Key_Apostrophe, 222},  {Qt::Key_Plus, 187},       {Qt::Key_AltGr, 18},
}};

constexpr std::array<std::pair<int, int>, 5> KeypadOperators{{
    {Qt::Key_Asterisk, 106},
    {Qt::Key_Plus, 107},
    {Qt::Key_Minus, 109},
    {Qt::Key_Period, 110},
    {Qt::Key_Slash, 111},
}};

int Lookup(auto const& table, int key) {
    for (const auto& [qtKey, code] : table)
        if (qtKey == key)
            return code;
    return 0;
}

} // namespace

ScanCodes PlatformScanCodes() {
    static const ScanCodes scanCodes =
        QGuiApplication::platformName() == QLatin1String("xcb") ||
                QGuiApplication::platformName().startsWith(QLatin1String("wayland"))
            ? ScanCodes::Evdev
            : ScanCodes::Other;
    return scanCodes;
}

int KeyCodeOf(const QKeyEvent& event, ScanCodes scanCodes) {
    const int key = event.key();
    const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
    if (keypad) {
        // With NumLock off a keypad key arrives as the navigation key it stands for.
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return vbKeyNumpad0 + (key - Qt::Key_0);
        if (const int code = Lookup(KeypadOperators, key))
            return code;
        return Lookup(NamedKeys, key);
    }
    if (const int digit = MainRowDigitByScanCode(event, scanCodes))
        return digit;
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return vbKey0 + (key - Qt::Key_0);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return 112 + (key - Qt::Key_F1);
    return Lookup(NamedKeys, key);
}

int ShiftOf(Qt::KeyboardModifiers modifiers) {
    return (modifiers.testFlag(Qt::ShiftModifier) ? vbShiftMask : 0) |
           (modifiers.testFlag(Qt::ControlModifier) ? vbCtrlMask : 0) |
           (modifiers.testFlag(Qt::AltModifier) ? vbAltMask : 0);
}

int KeyAsciiOf(const QKeyEvent& event) {
    switch (event.key()) {
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Delete:
        return 0;
    default:
        break;
    }
    const QString text = event.text();
    return text.isEmpty() ? 0 : text.at(0).unicode();
}

} // namespace forms
