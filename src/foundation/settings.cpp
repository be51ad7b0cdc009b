#include "settings.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <QSettings>
#else
#include <QFile>
#include <QStringList>
#endif

namespace kiv {

namespace {

const QString &valueName()
{
    static const QString name = QStringLiteral("KivpcDir");
    return name;
}

#ifdef Q_OS_WIN

QChar directorySeparator() { return u'\\'; }

#else

QChar directorySeparator() { return u'/'; }

QString iniPath()
{
    const QString named = qEnvironmentVariable("KIV_REGISTRY_INI");
    return named.isEmpty() ? QStringLiteral("/etc/kiv/Ostrel.ini") : named;
}

// QSettings is not used here: its INI reader turns a value with a comma
// into a list and takes backslashes as escapes, and a path may hold both.
QString readIniValue(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QString text = QString::fromUtf8(file.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    const QStringList lines = text.split(u'\n');
    bool topLevel = true;
    for (const QString &raw : lines) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            topLevel = line.compare(QStringLiteral("[General]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!topLevel || equals < 0)
            continue;
        if (line.left(equals).trimmed().compare(valueName(), Qt::CaseInsensitive) != 0)
            continue;
        QString value = line.mid(equals + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(u'"') && value.endsWith(u'"'))
            value = value.mid(1, value.size() - 2);
        return value;
    }
    return QString();
}

#endif

} // namespace

QString ReadKivpcDir()
{
#ifdef Q_OS_WIN
    // Reading through QSettings opens the key without creating it; nothing
    // is written because nothing is set.
    const QSettings registry(
        QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\MORVANE\\"
                       "Sistemas Integrados Morvane\\Ostrel"),
        QSettings::NativeFormat);
    return registry.value(valueName()).toString();
#else
    return readIniValue(iniPath());
#endif
}

QString DirDadosFrom(const QString &value)
{
    const QChar separator = directorySeparator();
    return value.endsWith(separator) ? value : value + separator;
}

QString DirDados()
{
    return DirDadosFrom(ReadKivpcDir());
}

} // namespace kiv
