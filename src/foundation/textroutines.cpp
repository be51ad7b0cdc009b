#include "textroutines.h"

namespace kiv {

bool EmptyString(const QString &text)
{
    return text.trimmed().isEmpty();
}

QString AllTrim(const QString &text)
{
    return text.trimmed();
}

QString Ajusta(const QString &text, int width)
{
    return text.trimmed().rightJustified(width, u'0');
}

QString QuotedStr(const QString &text)
{
    QString quoted = text;
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + u'\'';
}

} // namespace kiv
