#pragma once

#include "keys.h"

#include <functional>

class QWidget;

namespace kiv {

// The one door from Qt into window code. Every slot, event handler and
// window event a control calls from Qt's event loop runs through it, so no
// exception ever crosses the event loop:
// - EAbort (a validation that has already shown its message) ends the body
//   silently;
// - any other error of the system (table store, number conversion...) is
//   shown in an error box with its own text;
// - any other exception is shown with its what() text.
// context is the window the error box belongs to (may be null). Returns
// true when the body ran to its end.
bool guarded(QWidget *context, const std::function<void()> &body);

} // namespace kiv
