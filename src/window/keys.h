// Key codes as the key tables of every mode are written: the virtual-key
// numbers of the desktop (Enter 13, Esc 27, arrows 37..40, F11 122, ...).
// A code names a key where it sits on the keyboard, whatever the active
// layout writes on it: Y is the key right of T also under a Russian layout.
#pragma once

class QKeyEvent;

namespace kivo {

enum VirtualKey : int {
    VK_NONE = 0,
    VK_BACK = 8,
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_MENU = 18, // Alt
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 33, // Page Up
    VK_NEXT = 34,  // Page Down
    VK_END = 35,
    VK_HOME = 36,
    VK_LEFT = 37,
    VK_UP = 38,
    VK_RIGHT = 39,
    VK_DOWN = 40,
    VK_INSERT = 45,
    VK_DELETE = 46,
    VK_NUMPAD0 = 96,
    VK_MULTIPLY = 106,
    VK_ADD = 107,
    VK_SUBTRACT = 109,
    VK_DECIMAL = 110,
    VK_DIVIDE = 111,
    VK_F1 = 112,
    VK_F11 = 122,
    VK_F12 = 123,
    VK_OEM_PLUS = 187,
    VK_OEM_COMMA = 188,
    VK_OEM_MINUS = 189,
    VK_OEM_PERIOD = 190,
};

struct ShiftState {
    bool Shift = false;
    bool Alt = false;
    bool Ctrl = false;
    // An Alt command: the letter with Alt alone among the modifiers.
    bool AltOnly() const { return Alt && !Shift && !Ctrl; }
};

// The code of a key press (0 for a key without one here) and its modifiers.
// Where the event carries the keyboard's own key number (the XKB keycode of
// X11 and Wayland) the main block is found by it; otherwise by Qt's key,
// read as a US keyboard: Shift+1 ("!") is the "1" key.
int VirtualKeyOf(const QKeyEvent& e);
ShiftState ShiftOf(const QKeyEvent& e);
// A press of Shift, Ctrl, Alt or Meta alone: handlers ignore these.
bool IsModifierOnly(const QKeyEvent& e);

} // namespace kivo
