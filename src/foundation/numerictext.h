#pragma once

#include <QString>

namespace kiv {

// Quantities and values travel as text in the workstation's decimal
// separator (LocaleService::decimalSeparator()). These routines read and
// write that text the way every window of the system expects.

// Reads a number: optional blanks around it, an optional sign, digits with
// at most one decimal separator (at least one digit in all) and an optional
// exponent. Anything else, the other separator included, throws
// EConvertError naming the text.
double StrToFloat(const QString &text);
// As StrToFloat, without the exception; value is untouched on failure.
bool TryStrToFloat(const QString &text, double &value);

// General number-to-text form: up to 15 significant digits, no trailing
// zeros; scientific ("1,5E-6", "1E20") below 1e-5 or beyond 15 integer digits.
QString FloatToStr(double value);

// Fixed formatting for patterns such as "##0.000": '0' and '#' placeholders,
// '.' standing for the decimal separator, '#' after it an optional decimal.
// Rounds half away from zero on the number's shortest decimal text, so that
// 2.675 gives 2,68 as the operator expects; no grouping.
QString FormatFloat(const QString &pattern, double value);

// Reads a number typed with "." or "," in any role: the last separator
// handled becomes the decimal point, every earlier one is a grouping mark.
// Empty or blank text reads as 0; other failures throw EConvertError.
double ConverteValor(const QString &text);
// The headcount and withdrawal windows' reading: a separator that starts
// the remaining text contributes nothing, so ",5" reads as 5.
double ConverteValorSemZero(const QString &text);

// Rewrites the text of a numeric field in `format` without letting it grow
// past the field's `width`: a text that fills the field (or nearly, without
// a trailing separator) is kept as typed, and a full field ending in the
// separator only loses that separator.
QString FormataValor(const QString &format, const QString &text, int width);

} // namespace kiv
