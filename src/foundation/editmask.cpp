#include "editmask.h"

#include "localeservice.h"

namespace kiv {

namespace {

const QString &qtMaskCharacters()
{
    static const QString characters = QStringLiteral("AaNnXx90DdHhBb#><!\\[]{}");
    return characters;
}

const QString &platformMaskCharacters()
{
    static const QString characters = QStringLiteral("!><\\LlAaCc09#:/;_");
    return characters;
}

QChar dateSeparator()
{
    for (QChar c : LocaleService::shortDateFormat())
        if (!c.isLetter() && c != u'\'')
            return c;
    return u'/';
}

bool acceptsInput(QChar kind, QChar c)
{
    switch (kind.unicode()) {
    case u'9':
    case u'0':
        return c.isDigit();
    case u'#':
        return c.isDigit() || c == u'+' || c == u'-';
    case u'A':
    case u'a':
        return c.isLetter();
    case u'N':
    case u'n':
        return c.isLetterOrNumber();
    default:
        return true;
    }
}

QChar qtInputFor(QChar platform)
{
    switch (platform.unicode()) {
    case u'0': return u'9';
    case u'9': return u'0';
    case u'#': return u'#';
    case u'L': return u'A';
    case u'l': return u'a';
    case u'A': return u'N';
    case u'a': return u'n';
    case u'C': return u'X';
    case u'c': return u'x';
    default: return QChar();
    }
}

} // namespace

EditMask EditMask::fromPlatform(const QString &platformMask)
{
    EditMask mask;
    QString body;
    qsizetype i = 0;
    for (; i < platformMask.size(); ++i) {
        const QChar c = platformMask.at(i);
        if (c == u';')
            break;
        body += c;
        if (c == u'\\' && i + 1 < platformMask.size())
            body += platformMask.at(++i);
    }
    if (i < platformMask.size()) {
        const QString fields = platformMask.mid(i + 1);
        mask.saveLiterals = fields.isEmpty() || fields.at(0) != u'0';
        const qsizetype second = fields.indexOf(u';');
        if (second >= 0 && second + 1 < fields.size())
            mask.blank = fields.at(second + 1);
    }

    QString qt;
    const auto addLiteral = [&](QChar c) {
        if (c == u';')
            return;
        if (qtMaskCharacters().contains(c))
            qt += u'\\';
        qt += c;
        mask.cells.append({true, c});
    };
    for (qsizetype j = 0; j < body.size(); ++j) {
        const QChar c = body.at(j);
        const QChar input = qtInputFor(c);
        if (!input.isNull()) {
            qt += input;
            mask.cells.append({false, input});
        } else if (c == u'\\') {
            if (j + 1 < body.size())
                addLiteral(body.at(++j));
        } else if (c == u'<' && j + 1 < body.size() && body.at(j + 1) == u'>') {
            qt += u'!';
            ++j;
        } else if (c == u'>' || c == u'<') {
            qt += c;
        } else if (c == u'/') {
            addLiteral(dateSeparator());
        } else if (c == u'_') {
            addLiteral(u' ');
        } else if (c != u'!') {
            addLiteral(c);
        }
    }
    if (!mask.cells.isEmpty())
        mask.qtMask = qt + u';' + mask.blank;
    return mask;
}

bool EditMask::matchCells(const QString &text, qsizetype t, qsizetype c,
                          QList<bool> &isLiteral, QList<bool> &failed) const
{
    if (c == cells.size())
        return t == text.size();
    const qsizetype key = t * (cells.size() + 1) + c;
    if (failed.at(key))
        return false;
    const Cell &cell = cells.at(c);
    if (cell.literal) {
        if (t < text.size() && text.at(t) == cell.character) {
            isLiteral[t] = true;
            if (matchCells(text, t + 1, c + 1, isLiteral, failed))
                return true;
            isLiteral[t] = false;
        }
    } else {
        // Places are filled from the left, so a typed character is tried
        // before an empty place.
        if (t < text.size() && acceptsInput(cell.character, text.at(t))
            && matchCells(text, t + 1, c + 1, isLiteral, failed))
            return true;
        if (matchCells(text, t, c + 1, isLiteral, failed))
            return true;
    }
    failed[key] = true;
    return false;
}

QString EditMask::storedText(const QString &qtText) const
{
    if (cells.isEmpty())
        return qtText;
    QList<bool> isLiteral(qtText.size(), false);
    QList<bool> failed((qtText.size() + 1) * (cells.size() + 1), false);
    // A text this mask cannot have produced is kept as it came.
    if (!matchCells(qtText, 0, 0, isLiteral, failed))
        return qtText;
    QString typed;
    for (qsizetype i = 0; i < qtText.size(); ++i)
        if (!isLiteral.at(i))
            typed += qtText.at(i);
    if (typed.isEmpty())
        return QString();
    return saveLiterals ? qtText : typed;
}

QString EditMask::displayText(const QString &stored) const
{
    if (cells.isEmpty() || saveLiterals)
        return stored;
    QString text;
    qsizetype s = 0;
    for (const Cell &cell : cells) {
        if (s >= stored.size())
            break;
        text += cell.literal ? cell.character : stored.at(s++);
    }
    return text;
}

QString DateMask()
{
    const QString format = LocaleService::shortDateFormat();
    QString mask = QStringLiteral("!");
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        qsizetype run = 1;
        while (i + run < format.size() && format.at(i + run) == c)
            ++run;
        if (c == u'd' || c == u'M') {
            mask += QStringLiteral("99");
        } else if (c == u'y') {
            mask += QStringLiteral("0000");
        } else if (c != u'\'') {
            for (qsizetype k = 0; k < run; ++k) {
                if (c != u'/' && platformMaskCharacters().contains(c))
                    mask += u'\\';
                mask += c;
            }
        }
        i += run;
    }
    return mask + QStringLiteral(";1;_");
}

} // namespace kiv
