#include "keys.h"

#include "localeservice.h"

#include <QKeyEvent>

namespace kiv {

namespace {

int keypadKey(int key)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return VK_NUMPAD0 + (key - Qt::Key_0);
    switch (key) {
    case Qt::Key_Asterisk: return VK_MULTIPLY;
    case Qt::Key_Plus: return VK_ADD;
    case Qt::Key_Minus: return VK_SUBTRACT;
    case Qt::Key_Period:
    case Qt::Key_Comma: return VK_DECIMAL;
    case Qt::Key_Slash: return VK_DIVIDE;
    case Qt::Key_Enter: return VK_RETURN;
    default: return -1;
    }
}

} // namespace

int platformKey(const QKeyEvent *event)
{
    const int key = event->key();
    if (event->modifiers() & Qt::KeypadModifier) {
        const int code = keypadKey(key);
        if (code >= 0)
            return code;
    }
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return key;
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return VK_F1 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace: return VK_BACK;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter: return VK_RETURN;
    case Qt::Key_Shift: return VK_SHIFT;
    case Qt::Key_Control: return VK_CONTROL;
    case Qt::Key_Alt: return VK_MENU;
    case Qt::Key_Pause: return VK_PAUSE;
    case Qt::Key_CapsLock: return VK_CAPITAL;
    case Qt::Key_Escape: return VK_ESCAPE;
    case Qt::Key_Space: return VK_SPACE;
    case Qt::Key_PageUp: return VK_PRIOR;
    case Qt::Key_PageDown: return VK_NEXT;
    case Qt::Key_End: return VK_END;
    case Qt::Key_Home: return VK_HOME;
    case Qt::Key_Left: return VK_LEFT;
    case Qt::Key_Up: return VK_UP;
    case Qt::Key_Right: return VK_RIGHT;
    case Qt::Key_Down: return VK_DOWN;
    case Qt::Key_Insert: return VK_INSERT;
    case Qt::Key_Delete: return VK_DELETE;
    case Qt::Key_Plus:
    case Qt::Key_Equal: return VK_OEM_PLUS;
    case Qt::Key_Comma:
    case Qt::Key_Less: return VK_OEM_COMMA;
    case Qt::Key_Minus:
    case Qt::Key_Underscore: return VK_OEM_MINUS;
    case Qt::Key_Period:
    case Qt::Key_Greater: return VK_OEM_PERIOD;
    case Qt::Key_Slash:
    case Qt::Key_Question: return VK_OEM_2;
    default: return 0;
    }
}

QChar platformChar(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return QChar(VK_RETURN);
    case Qt::Key_Escape: return QChar(VK_ESCAPE);
    case Qt::Key_Backspace: return QChar(VK_BACK);
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return QChar(VK_TAB);
    default: break;
    }
    // The keypad's decimal key types the workstation's separator, whatever
    // the keyboard layout prints on it.
    if ((event->modifiers() & Qt::KeypadModifier)
        && (event->key() == Qt::Key_Period || event->key() == Qt::Key_Comma))
        return LocaleService::decimalSeparator();
    const QString text = event->text();
    if (text.isEmpty() || !text.at(0).isPrint())
        return QChar();
    return text.at(0);
}

Qt::KeyboardModifiers platformShift(const QKeyEvent *event)
{
    return event->modifiers()
           & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
}

bool typesItself(const QKeyEvent *event, QChar key)
{
    const QString text = event->text();
    return key.unicode() < 32 ? platformChar(event) == key
                              : text.size() == 1 && text.at(0) == key;
}

void NumericKeyPress(QChar &key, bool decimals)
{
    if ((key >= u'0' && key <= u'9') || key == QChar(VK_BACK) || key == QChar(VK_RETURN))
        return;
    const QChar separator = LocaleService::decimalSeparator();
    if (decimals && (key == separator || key == u'.' || key == u','))
        key = key == u'.' || key == separator ? separator : QChar();
    else
        key = QChar();
}

} // namespace kiv
