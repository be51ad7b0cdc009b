// kivicon DIR: writes the program's icon as DIR/SIZExSIZE/apps/kiv.png at
// the sizes the desktop looks for, for the package's desktop entry.
#include "icons.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kivicon DIR\n");
        return 2;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[1])).arg(size);
        if (!QDir().mkpath(dir) || !kiv::ApplicationIconImage(size).save(dir + QStringLiteral("/kiv.png"))) {
            std::fprintf(stderr, "kivicon: cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
