#include "icons.h"
#include "tfrmprincipal.h"

#include <QApplication>
#include <QScreen>

#include <algorithm>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kiv - School Meals"));
    // The desktop entry that started the program names its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("kiv"));
    kiv::InstallIcons();

    // The task windows registered themselves; the main window opens them.
    kiv::TfrmPrincipal principal;
    principal.Create();
    if (!principal.Started())
        return 1;
    // Room for the task windows' command bars: most of the screen.
    if (const QScreen *screen = principal.screen()) {
        const QSize room = screen->availableGeometry().size();
        principal.resize(std::max(principal.width(), room.width() * 9 / 10),
                         std::max(principal.height(), room.height() * 9 / 10));
    }
    principal.show();
    principal.activateWindow();
    return app.exec();
}
