#include "taskwindows.h"

#include <map>

namespace kiv {

namespace {

// Filled by static initialisers of the window libraries: a function-local
// static, so that it exists whichever library initialises first.
std::map<TaskWindow, TaskWindowFactory> &registry()
{
    static std::map<TaskWindow, TaskWindowFactory> factories;
    return factories;
}

} // namespace

QString ScreenCode(TaskWindow window)
{
    switch (window) {
    case TaskWindow::Inventario: return QStringLiteral("KIS00100");
    case TaskWindow::LanEntrada: return QStringLiteral("KIS00200");
    case TaskWindow::LanSaida: return QStringLiteral("KIS00300");
    case TaskWindow::SolCompras: return QStringLiteral("KIS00400");
    case TaskWindow::Efetivos: return QStringLiteral("KIS00500");
    case TaskWindow::RetServico: return QStringLiteral("KIS00600");
    }
    return QString();
}

bool RegisterTaskWindow(TaskWindow window, TaskWindowFactory factory)
{
    registry()[window] = std::move(factory);
    return true;
}

TaskWindowFactory RegisteredTaskWindow(TaskWindow window)
{
    const auto found = registry().find(window);
    return found == registry().end() ? TaskWindowFactory() : found->second;
}

} // namespace kiv
