#pragma once

#include <QString>

namespace kiv {

// True when the text is empty or holds only blanks (spaces, tabs, line ends).
bool EmptyString(const QString &text);

// The text without blanks at either end.
QString AllTrim(const QString &text);

// A code brought to its field width: outer blanks dropped, then filled on
// the left with "0" ("1" gives "01" for width 2). A code already wider than
// the field is returned as it is, never cut: cutting would turn a wrong code
// into someone else's valid one.
QString Ajusta(const QString &text, int width);

// The text between single quotes with each inner quote doubled, ready to be
// a value in a filter expression.
QString QuotedStr(const QString &text);

} // namespace kiv
