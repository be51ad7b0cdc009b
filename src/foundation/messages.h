#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

#include <initializer_list>

namespace kiv {

// A window's catalogue of the texts it shows the operator. Each line is a
// key, "|" and the text; the text may itself hold "|". Keys match without
// regard to letter case, blanks around a key are ignored, and when a key
// appears twice the first line wins. Lines without "|" are not entries.
class TMessages
{
public:
    TMessages() = default;
    TMessages(std::initializer_list<QString> lines);
    explicit TMessages(const QStringList &lines);

    // A catalogue kept as one text, one entry per line.
    static TMessages fromText(const QString &text);

    void addLine(const QString &line);

    // The text of the key; empty when the catalogue has no such key.
    QString Msg(const QString &key) const;
    bool contains(const QString &key) const;

private:
    static QString normalisedKey(const QString &key);

    QHash<QString, QString> m_texts;
};

} // namespace kiv
