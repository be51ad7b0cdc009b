#pragma once

#include "session.h"

#include <QString>

#include <functional>

namespace kiv {

class TfrmPadrForm00000;

// The six task windows the main window opens.
enum class TaskWindow { Inventario, LanEntrada, LanSaida, SolCompras, Efetivos, RetServico };

// The screen code of a task window ("KIS00100"...).
QString ScreenCode(TaskWindow window);

// Builds a task window for a session; the caller shows it and runs Create().
using TaskWindowFactory = std::function<TfrmPadrForm00000 *(const LoginSession &)>;

// Each window registers itself once, from its own source file, with
// KIV_REGISTER_TASK_WINDOW; the main window finds it here. Returns true so
// that the registration can initialise a static.
bool RegisterTaskWindow(TaskWindow window, TaskWindowFactory factory);
// The registered factory of a window, or an empty one.
TaskWindowFactory RegisteredTaskWindow(TaskWindow window);

} // namespace kiv

// In a window's .cpp, at namespace scope: the main window's command for
// `window` opens a `Class` built with the session. The window's library is
// linked whole into the application, so this runs before main().
#define KIV_REGISTER_TASK_WINDOW(window, Class)                                         \
    namespace {                                                                         \
    [[maybe_unused]] const bool kivTaskWindowRegistered = ::kiv::RegisterTaskWindow(     \
        window, [](const ::kiv::LoginSession &session) -> ::kiv::TfrmPadrForm00000 * {  \
            return new Class(session);                                                  \
        });                                                                             \
    }
