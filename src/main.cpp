#include "tfrmlanentr.h"
#include "tfrminventario.h"
#include "tfrmprincipal.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kiv - School Meals"));

    kiv::TfrmPrincipal principal;
    kiv::RegisterLanEntr(&principal);
    kiv::RegisterInventario(&principal);
    principal.Create();
    if (!principal.Started())
        return 1;
    principal.show();
    principal.activateWindow();
    return app.exec();
}
