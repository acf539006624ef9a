#include "keys.h"

#include <QKeyEvent>
#include <cstring>

namespace kivo {

namespace {

// The main block by XKB keycode (the evdev key number + 8), row by row as a
// US keyboard labels it; a blank is a key no table uses.
constexpr struct {
    unsigned first;
    const char* keys;
} MainBlockRows[] = {
    {10, "1234567890-="},
    {24, "QWERTYUIOP  "},
    {38, "ASDFGHJKL   "},
    {52, "ZXCVBNM,. "},
};
// Keys of the block outside those rows, which no table uses either.
constexpr unsigned OtherBlockKeys[] = {51, 94};

// The code of the main-block key with this keycode, or -1 for another key.
int MainBlockKey(quint32 keycode) {
    for (const auto& row : MainBlockRows) {
        if (keycode < row.first || keycode >= row.first + std::strlen(row.keys)) continue;
        switch (const char c = row.keys[keycode - row.first]) {
        case '-':
            return VK_OEM_MINUS;
        case '=':
            return VK_OEM_PLUS;
        case ',':
            return VK_OEM_COMMA;
        case '.':
            return VK_OEM_PERIOD;
        case ' ':
            return VK_NONE;
        default:
            return c;
        }
    }
    for (unsigned other : OtherBlockKeys)
        if (keycode == other) return VK_NONE;
    return -1;
}

// Qt's key of a press without the keyboard's own key number, Shift's
// symbols taken back to their keys as a US keyboard has them.
int KeyOfQtKey(int k, bool keypad) {
    if (k >= Qt::Key_0 && k <= Qt::Key_9)
        return (keypad ? int(VK_NUMPAD0) : int('0')) + (k - Qt::Key_0);
    if (k >= Qt::Key_A && k <= Qt::Key_Z) return 'A' + (k - Qt::Key_A);
    if (k >= Qt::Key_F1 && k <= Qt::Key_F12) return VK_F1 + (k - Qt::Key_F1);
    switch (k) {
    case Qt::Key_Backspace:
        return VK_BACK;
    case Qt::Key_Tab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    case Qt::Key_Alt:
        return VK_MENU;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_PageUp:
        return VK_PRIOR;
    case Qt::Key_PageDown:
        return VK_NEXT;
    case Qt::Key_End:
        return VK_END;
    case Qt::Key_Home:
        return VK_HOME;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Insert:
        return VK_INSERT;
    case Qt::Key_Delete:
        return VK_DELETE;
    case Qt::Key_Asterisk:
        if (keypad) return VK_MULTIPLY;
        break;
    case Qt::Key_Slash:
        return keypad ? VK_DIVIDE : 0;
    // The main keyboard's "=/+" key reports "=" or, with Shift, "+".
    case Qt::Key_Plus:
        return keypad ? VK_ADD : VK_OEM_PLUS;
    case Qt::Key_Equal:
        return VK_OEM_PLUS;
    case Qt::Key_Minus:
        return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
    case Qt::Key_Period:
        return keypad ? VK_DECIMAL : VK_OEM_PERIOD;
    case Qt::Key_Comma:
        return keypad ? VK_DECIMAL : VK_OEM_COMMA;
    case Qt::Key_Underscore:
        return VK_OEM_MINUS;
    case Qt::Key_Greater:
        return VK_OEM_PERIOD;
    case Qt::Key_Less:
        return VK_OEM_COMMA;
    default:
        break;
    }
    // Shift+0..9 on the main keyboard.
    constexpr char shiftedDigits[] = ")!@#$%^&*(";
    const char* at = k > 0 && k < 0x7f ? std::strchr(shiftedDigits, k) : nullptr;
    return at ? int('0' + (at - shiftedDigits)) : int(VK_NONE);
}

} // namespace

int VirtualKeyOf(const QKeyEvent& e) {
    const bool keypad = e.modifiers() & Qt::KeypadModifier;
    if (e.nativeScanCode() != 0) {
        const int code = MainBlockKey(e.nativeScanCode());
        if (code >= 0) return code;
    }
    return KeyOfQtKey(e.key(), keypad);
}

ShiftState ShiftOf(const QKeyEvent& e) {
    const auto m = e.modifiers();
    return {bool(m & Qt::ShiftModifier), bool(m & Qt::AltModifier), bool(m & Qt::ControlModifier)};
}

bool IsModifierOnly(const QKeyEvent& e) {
    switch (e.key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
        return true;
    default:
        return false;
    }
}

} // namespace kivo
