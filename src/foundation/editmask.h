#pragma once

#include <QChar>
#include <QList>
#include <QString>

namespace kiv {

// An edit mask as the windows and the operators' file write it,
// "mask;saveLiterals;blank" (e.g. "9999;0; ", "!99/99/0000;1;_"), and its
// Qt input mask.
//
// The mask language differs from Qt's where it hurts: "0" is a required
// digit and "9" an optional one, the reverse of Qt. Letters: "L"/"l" letter,
// "A"/"a" letter or digit, "C"/"c" any character (upper case required).
// ">" and "<" change case, "<>" stops changing it, "!" (optional places
// shown as leading blanks) has no Qt twin and is dropped, "\x" is the
// literal x, "_" a literal blank, "/" and ":" the date and time separators.
// A literal ";" cannot live in a Qt mask and is dropped.
//
// The fields after the mask: "0" as the second one means literals are not
// saved with the value (anything else, or nothing, saves them); the first
// character of the third one is the blank shown in empty places (default
// "_"); anything further is ignored, so a product mask with a blank
// appended keeps its "_".
struct EditMask
{
    // One place of the edit: a literal, or where the operator types.
    struct Cell
    {
        bool literal = false;
        QChar character;  // the literal itself, or the Qt mask character
    };

    QString qtMask;  // for QLineEdit::setInputMask, blank included; empty: no mask
    bool saveLiterals = true;
    QChar blank = u'_';
    QList<Cell> cells;

    static EditMask fromPlatform(const QString &platformMask);

    // The value kept in the field for what the edit's text() gives (its
    // literals in place, blanks removed): the literals are dropped unless
    // they are saved, and a text of literals alone is empty.
    QString storedText(const QString &qtText) const;

    // The text to put back into the edit for a stored value: the literals
    // are put back in place when they were not saved.
    QString displayText(const QString &stored) const;

private:
    bool matchCells(const QString &text, qsizetype t, qsizetype c, QList<bool> &isLiteral,
                    QList<bool> &failed) const;
};

// The edit mask of dates in the mask language, from the workstation's short
// date format: day and month take one or two digits, the year four
// (dd/MM/yyyy gives "!99/99/0000;1;_", yyyy-MM-dd "!0000-99-99;1;_").
QString DateMask();

} // namespace kiv
