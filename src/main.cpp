#include "icons.h"
#include "tfrmprincipal.h"

#include <QApplication>

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
    principal.show();
    principal.activateWindow();
    return app.exec();
}
