#pragma once

#include <QString>

class QWidget;

namespace kivtest {

// Keys typed ahead, as a fast typist's keys or keys that piled up while
// the program was busy arrive: all of them queued for the window at once,
// each going to the widget with the focus when its turn comes, with no
// other event handled between them. "\n" is Enter, "\t" Tab; other
// characters type themselves. Returns once they have all been handled.
void typeAhead(QWidget *window, const QString &keys);

} // namespace kivtest
