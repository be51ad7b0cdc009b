#pragma once

#include <QChar>
#include <Qt>

class QKeyEvent;

namespace kiv {

// Key codes the windows' key handlers compare with: the workstation's
// virtual-key numbers. Letters and digits of the main keyboard are their
// upper-case ASCII codes ('A' = 65, '0' = 48).
enum VirtualKey : int {
    VK_BACK = 8,
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_MENU = 18,
    VK_PAUSE = 19,
    VK_CAPITAL = 20,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 33,
    VK_NEXT = 34,
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
    VK_F2 = 113,
    VK_F3 = 114,
    VK_F4 = 115,
    VK_F5 = 116,
    VK_F6 = 117,
    VK_F7 = 118,
    VK_F8 = 119,
    VK_F9 = 120,
    VK_F10 = 121,
    VK_F11 = 122,
    VK_F12 = 123,
    VK_OEM_PLUS = 187,
    VK_OEM_COMMA = 188,
    VK_OEM_MINUS = 189,
    VK_OEM_PERIOD = 190,
    VK_OEM_2 = 191,  // "/" and "?"
};

// The virtual-key code of a key event (0 for a key the handlers never
// see, such as a dead key). Keypad digits are VK_NUMPAD0 + digit, as on
// the workstation, not the main keyboard's '0'..'9'.
int platformKey(const QKeyEvent *event);

// The character a key types, as key-press handlers see it: the typed
// character, or Enter = 13, Esc = 27, Backspace = 8, Tab = 9; a null
// QChar when the key types nothing (arrows, function keys, Delete).
// The keypad's decimal key types the workstation's decimal separator.
QChar platformChar(const QKeyEvent *event);
// Whether the event, handed on as it is, types this character (false when
// a handler or platformChar changed what it types).
bool typesItself(const QKeyEvent *event, QChar key);

// The handlers' shift state (Shift, Ctrl, Alt) of a key event, without
// the keypad flag.
Qt::KeyboardModifiers platformShift(const QKeyEvent *event);

// The key filter of a numeric field or grid column, for a window's
// OnKeyPress: digits, Backspace and Enter pass; with decimals, the
// workstation's decimal separator passes too, and "." and the keypad's
// decimal key type it (an operator types "2.5" where the separator is ",");
// anything else is dropped.
void NumericKeyPress(QChar &key, bool decimals);

} // namespace kiv
