#include "messages.h"

#include <QRegularExpression>

namespace kiv {

TMessages::TMessages(std::initializer_list<QString> lines)
{
    for (const QString &line : lines)
        addLine(line);
}

TMessages::TMessages(const QStringList &lines)
{
    for (const QString &line : lines)
        addLine(line);
}

TMessages TMessages::fromText(const QString &text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\n|\r"));
    return TMessages(text.split(lineEnd));
}

void TMessages::addLine(const QString &line)
{
    const qsizetype bar = line.indexOf(u'|');
    if (bar < 0)
        return;
    const QString key = normalisedKey(line.left(bar));
    if (key.isEmpty() || m_texts.contains(key))
        return;
    m_texts.insert(key, line.mid(bar + 1));
}

QString TMessages::Msg(const QString &key) const
{
    return m_texts.value(normalisedKey(key));
}

bool TMessages::contains(const QString &key) const
{
    return m_texts.contains(normalisedKey(key));
}

QString TMessages::normalisedKey(const QString &key)
{
    return key.trimmed().toCaseFolded();
}

} // namespace kiv
