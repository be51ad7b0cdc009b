#pragma once

#include <QChar>
#include <Qt>

#include <functional>
#include <memory>

class QFocusEvent;
class QKeyEvent;
class QWidget;

namespace kiv {

// The events every focusable control of a window raises, and how they are
// raised, shared by the edits and the date picker.
//
// OnEnter and OnExit follow the window's active control: they run when the
// focus moves from one control to another of the same window (a task
// window inside the main window counts as a window of its own). A dialog,
// a popup calendar, a menu or another window taking the focus for a while
// raises neither, so a lookup opened by F9 does not validate the field it
// was opened from, and coming back does not enter it again.
//
// OnKeyDown sees every key first, with its virtual-key code (F9 = 120);
// OnKeyPress then sees the character the key types. A handler drops the key
// by setting it to 0 (or a null QChar): the control never sees it. A
// handler may also replace the character (upper-casing it, say).
class TControlEvents
{
public:
    virtual ~TControlEvents() = default;

    std::function<void()> OnEnter;
    std::function<void()> OnExit;
    std::function<void(int &key, Qt::KeyboardModifiers shift)> OnKeyDown;
    std::function<void(QChar &key)> OnKeyPress;

protected:
    // Runs the key handlers. Returns the event to hand on to the control:
    // event itself, a replacement (owned by `replacement`) when OnKeyPress
    // changed the character, or nullptr when the key was dropped (a failing
    // handler drops it too).
    QKeyEvent *filterKey(QWidget *self, QKeyEvent *event,
                         std::unique_ptr<QKeyEvent> &replacement);
    // OnKeyDown alone, for Tab, which moves the focus before the control's
    // key handling sees it. False when the key was dropped.
    bool filterTabKey(QWidget *self, QKeyEvent *event);
    static bool isTabKey(const QKeyEvent *event);

    void controlFocusIn(QWidget *self);
    void controlFocusOut(QWidget *self);

    // What the control writes before its OnExit runs (a data edit's typed
    // text). False keeps the focus in the control and skips OnExit.
    virtual bool commitOnExit() { return true; }

private:
    void leave(QWidget *self);

    bool m_entered = false;
    bool m_leaving = false;

    friend void enterOtherControl(QWidget *control);
};

// For a control that raises its own events (a grid): it has taken the focus
// in its window. A control of the window that had the focus before and was
// not told it left (the window was not active when the focus moved) is left
// now, and the new control becomes the window's active control.
void enterOtherControl(QWidget *control);

} // namespace kiv
