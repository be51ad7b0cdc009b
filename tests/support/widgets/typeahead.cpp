#include "typeahead.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace kivtest {

namespace {

Qt::Key keyOf(QChar c)
{
    switch (c.unicode()) {
    case '\n': return Qt::Key_Return;
    case '\t': return Qt::Key_Tab;
    case '.': return Qt::Key_Period;
    case ',': return Qt::Key_Comma;
    case '/': return Qt::Key_Slash;
    case ' ': return Qt::Key_Space;
    default: return Qt::Key(c.toUpper().unicode());
    }
}

} // namespace

void typeAhead(QWidget *window, const QString &keys)
{
    // Posted to the window, not to a widget: the window hands each key to
    // whatever has the focus when the key is taken from the queue.
    QWindow *target = window->window()->windowHandle();
    if (!target)
        return;
    for (QChar c : keys) {
        const Qt::Key key = keyOf(c);
        const QString text = c == u'\n' ? QStringLiteral("\r") : QString(c);
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier,
                                                          text));
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key,
                                                          Qt::NoModifier, text));
    }
    QCoreApplication::sendPostedEvents(target);
}

} // namespace kivtest
