#include "controlevents.h"

#include "guard.h"

#include <QApplication>
#include <QHash>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace kiv {

namespace {

// The window whose active control a widget can be: a top-level window or a
// child window of the main window.
QWidget *formOf(QWidget *widget)
{
    while (widget && !widget->isWindow() && !widget->inherits("QMdiSubWindow"))
        widget = widget->parentWidget();
    return widget;
}

QHash<QWidget *, QPointer<QWidget>> &activeControls()
{
    static QHash<QWidget *, QPointer<QWidget>> controls;
    return controls;
}

void setActiveControl(QWidget *form, QWidget *control)
{
    if (!form)
        return;
    auto &controls = activeControls();
    if (!controls.contains(form))
        QObject::connect(form, &QObject::destroyed, [form] { activeControls().remove(form); });
    controls.insert(form, control);
}

QWidget *activeControl(QWidget *form)
{
    return form ? activeControls().value(form) : nullptr;
}

} // namespace

bool TControlEvents::isTabKey(const QKeyEvent *event)
{
    return (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)
           && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

bool TControlEvents::filterTabKey(QWidget *self, QKeyEvent *event)
{
    if (!OnKeyDown)
        return true;
    int key = platformKey(event);
    if (!guarded(self, [&] { OnKeyDown(key, platformShift(event)); }) || key == 0) {
        event->accept();
        return false;
    }
    return true;
}

QKeyEvent *TControlEvents::filterKey(QWidget *self, QKeyEvent *event,
                                     std::unique_ptr<QKeyEvent> &replacement)
{
    if (OnKeyDown) {
        // A key without a code of its own (a quote, an accented letter) still
        // reaches the handler, as 0; only a handler that set a code to 0
        // drops the key.
        const int code = platformKey(event);
        int key = code;
        if (!guarded(self, [&] { OnKeyDown(key, platformShift(event)); })
            || (key == 0 && code != 0)) {
            event->accept();
            return nullptr;
        }
    }
    const QChar typed = platformChar(event);
    if (!OnKeyPress || typed.isNull())
        return event;
    QChar key = typed;
    if (!guarded(self, [&] { OnKeyPress(key); }) || key.isNull()) {
        event->accept();
        return nullptr;
    }
    if (typesItself(event, key))
        return event;
    Qt::Key code = Qt::Key_unknown;
    switch (key.unicode()) {
    case 8: code = Qt::Key_Backspace; break;
    case 9: code = Qt::Key_Tab; break;
    case 13: code = Qt::Key_Return; break;
    case 27: code = Qt::Key_Escape; break;
    default:
        if (key.unicode() >= 0x20 && key.unicode() <= 0xff)
            code = Qt::Key(key.toUpper().unicode());
    }
    const QString text = key.isPrint() ? QString(key) : QString();
    replacement = std::make_unique<QKeyEvent>(event->type(), code, event->modifiers(), text,
                                              event->isAutoRepeat(), event->count());
    return replacement.get();
}

void TControlEvents::controlFocusIn(QWidget *self)
{
    // Back from a dialog, a popup or another window: still the same control.
    if (m_entered)
        return;
    QWidget *form = formOf(self);
    // A handler of our own OnExit put the focus back: we never left.
    if (m_leaving) {
        m_entered = true;
        setActiveControl(form, self);
        return;
    }
    // The focus left the window from the previous control and came back to
    // another one: the previous control is left now, and its exit may keep
    // the focus (a failed validation), in which case this one is not entered.
    QWidget *previous = activeControl(form);
    if (previous && previous != self) {
        if (auto *events = dynamic_cast<TControlEvents *>(previous);
            events && events->m_entered)
            events->leave(previous);
        if (!self->hasFocus())
            return;
    }
    m_entered = true;
    setActiveControl(form, self);
    if (OnEnter)
        guarded(self, OnEnter);
}

void TControlEvents::controlFocusOut(QWidget *self)
{
    if (!m_entered)
        return;
    QWidget *now = QApplication::focusWidget();
    if (!now || formOf(now) != formOf(self))
        return;
    leave(self);
}

void enterOtherControl(QWidget *control)
{
    QWidget *form = formOf(control);
    QWidget *previous = activeControl(form);
    if (previous && previous != control) {
        if (auto *events = dynamic_cast<TControlEvents *>(previous); events && events->m_entered)
            events->leave(previous);
    }
    if (control->hasFocus() || control->isAncestorOf(QApplication::focusWidget()))
        setActiveControl(form, control);
}

void TControlEvents::leave(QWidget *self)
{
    if (m_leaving)
        return;
    m_leaving = true;
    if (commitOnExit()) {
        m_entered = false;
        QWidget *form = formOf(self);
        if (activeControl(form) == self)
            setActiveControl(form, nullptr);
        if (OnExit)
            guarded(self, OnExit);
    }
    m_leaving = false;
}

} // namespace kiv
