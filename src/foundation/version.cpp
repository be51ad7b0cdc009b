#include "version.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

namespace kiv {

QString FourPartVersion(const QString &version)
{
    QStringList parts = version.split(u'.');
    for (QString &part : parts)
        if (part.isEmpty())
            part = QStringLiteral("0");
    while (parts.size() < 4)
        parts.append(QStringLiteral("0"));
    return parts.mid(0, 4).join(u'.');
}

QString GetFileVersion(const QString &path)
{
    if (QCoreApplication::instance() == nullptr || path.isEmpty())
        return QString();
    const QString file = QFileInfo(path).canonicalFilePath();
    const QString program =
        QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath();
    if (file.isEmpty() || program.isEmpty())
        return QString();
#ifdef Q_OS_WIN
    const Qt::CaseSensitivity sensitivity = Qt::CaseInsensitive;
#else
    const Qt::CaseSensitivity sensitivity = Qt::CaseSensitive;
#endif
    if (file.compare(program, sensitivity) != 0)
        return QString();
    return FourPartVersion(QStringLiteral(KIV_VERSION));
}

} // namespace kiv
