#pragma once

#include <QString>

namespace kiv {

// The stored form of an operator's password and back. A scramble, not
// cryptography: the login recomputes the stored form from the typed
// password and compares it with the one in the operators' file, so the
// same password must always give the same text.
//
// Each character is replaced on its own, by a rule that depends on its
// position, so the stored form is exactly as long as the password (the
// password field holds 20 characters). Everything an operator can type
// (U+0020-U+007E and U+00A0-U+00FF: letters with accents, quotes, blanks)
// is shifted within that set of 191 characters onto 191 printable ones
// that hold no blank, no single quote (the stored form is compared inside
// a quoted filter value) and no "*" (a partial-match wildcard in filters);
// the five taken out are replaced by U+0100-U+0104. Any other character
// keeps its code, except U+0100-U+0104, which become the noncharacters
// U+FDD0-U+FDD4, and those, which become the five taken out. So only a
// noncharacter, which no real text holds, can give a quote or a blank, and
// characters outside Latin-1 (surrogate pairs included) come through as
// they were.
QString CriptoPlus(const QString &password);
QString UncriptoPlus(const QString &stored);

} // namespace kiv
