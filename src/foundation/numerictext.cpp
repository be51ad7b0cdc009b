#include "numerictext.h"

#include "errors.h"
#include "localeservice.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <system_error>

namespace kiv {

namespace {

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Blank-only text counts as nothing typed, as a cleared field does.
bool isBlankText(const QString &text)
{
    for (QChar c : text) {
        if (c > u' ')
            return false;
    }
    return true;
}

// Once the grammar has been checked the text is rebuilt in the C form, so
// that neither the process locale nor Qt's number rules take part in the
// conversion. Returns false when the value does not fit a double.
bool convertCanonical(bool negative, const std::string &intDigits,
                      const std::string &fracDigits, bool expNegative,
                      const std::string &expDigits, double &value)
{
    std::string canonical = negative ? "-" : "";
    canonical += intDigits.empty() ? "0" : intDigits;
    canonical += '.';
    canonical += fracDigits.empty() ? "0" : fracDigits;
    if (!expDigits.empty()) {
        canonical += expNegative ? "e-" : "e";
        canonical += expDigits;
    }
    double result = 0.0;
    const char *begin = canonical.data();
    const char *end = begin + canonical.size();
    const auto [ptr, ec] = std::from_chars(begin, end, result);
    if (ec == std::errc() && ptr == end) {
        value = result;
        return true;
    }
    if (ec != std::errc::result_out_of_range)
        return false;

    // Out of range either way: too small reads as zero, too large is refused.
    // The magnitude's decimal exponent tells which; a huge exponent is capped
    // since only its sign against the digits matters.
    long long exponent = 0;
    for (char c : expDigits) {
        exponent = std::min(exponent * 10 + (c - '0'), 1000000LL);
    }
    if (expNegative)
        exponent = -exponent;
    const std::string digits = intDigits + fracDigits;
    const auto firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos) {
        value = negative ? -0.0 : 0.0;
        return true;
    }
    const long long magnitude =
        static_cast<long long>(intDigits.size()) - static_cast<long long>(firstNonZero) + exponent;
    if (magnitude > 0)
        return false;
    value = negative ? -0.0 : 0.0;
    return true;
}

struct Pattern
{
    int minIntDigits = 0;
    int minDecimals = 0;
    int maxDecimals = 0;
};

// Characters other than the placeholders and the point are not part of the
// formats the windows use and are ignored.
Pattern parsePattern(const QString &pattern)
{
    Pattern parsed;
    bool afterPoint = false;
    for (QChar c : pattern) {
        if (c == u'.') {
            afterPoint = true;
        } else if (c == u'0' || c == u'#') {
            if (!afterPoint) {
                if (c == u'0')
                    ++parsed.minIntDigits;
            } else {
                ++parsed.maxDecimals;
                if (c == u'0')
                    parsed.minDecimals = parsed.maxDecimals;
            }
        }
    }
    return parsed;
}

// Adds one unit in the last place of a decimal digit string; returns true
// when the carry leaves the string (999 becomes 000 and a 1 is due in front).
bool incrementDigits(std::string &digits)
{
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return false;
        }
        *it = '0';
    }
    return true;
}

QString nonFiniteText(double value)
{
    if (std::isnan(value))
        return QStringLiteral("NAN");
    return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
}

double convertTyped(QString text, bool zeroBeforeLeadingSeparator)
{
    if (isBlankText(text))
        return 0.0;
    QString integerPart;
    while (text.contains(u'.') || text.contains(u',')) {
        // The point always goes first: in "1.234,5" it is the grouping mark.
        const QChar separator = text.contains(u'.') ? QChar(u'.') : QChar(u',');
        if (zeroBeforeLeadingSeparator && text.startsWith(separator))
            text.prepend(u'0');
        const qsizetype at = text.indexOf(separator);
        integerPart += text.left(at);
        text.remove(0, at + 1);
    }
    if (integerPart.isEmpty())
        return StrToFloat(text);
    return StrToFloat(integerPart + LocaleService::decimalSeparator() + text);
}

} // namespace

bool TryStrToFloat(const QString &text, double &value)
{
    const QChar separator = LocaleService::decimalSeparator();
    const qsizetype size = text.size();
    qsizetype i = 0;
    auto takeDigits = [&](std::string &digits) {
        while (i < size && isAsciiDigit(text.at(i)))
            digits += static_cast<char>(text.at(i++).unicode());
    };

    while (i < size && text.at(i) == u' ')
        ++i;
    bool negative = false;
    if (i < size && (text.at(i) == u'+' || text.at(i) == u'-'))
        negative = text.at(i++) == u'-';
    std::string intDigits;
    std::string fracDigits;
    takeDigits(intDigits);
    if (i < size && text.at(i) == separator) {
        ++i;
        takeDigits(fracDigits);
    }
    if (intDigits.empty() && fracDigits.empty())
        return false;
    bool expNegative = false;
    std::string expDigits;
    if (i < size && (text.at(i) == u'e' || text.at(i) == u'E')) {
        ++i;
        if (i < size && (text.at(i) == u'+' || text.at(i) == u'-'))
            expNegative = text.at(i++) == u'-';
        takeDigits(expDigits);
        if (expDigits.empty())
            return false;
    }
    while (i < size && text.at(i) == u' ')
        ++i;
    if (i != size)
        return false;
    return convertCanonical(negative, intDigits, fracDigits, expNegative, expDigits, value);
}

double StrToFloat(const QString &text)
{
    double value = 0.0;
    if (!TryStrToFloat(text, value))
        throw EConvertError(QStringLiteral("'%1' não é um valor numérico válido.").arg(text));
    return value;
}

QString FloatToStr(double value)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    // d.dddddddddddddde±x: the value correctly rounded to 15 significant digits.
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::scientific, 14);
    const std::string text(buffer, result.ptr);
    const bool negative = text.front() == '-';
    const auto ePos = text.find('e');
    std::string digits;
    for (std::size_t k = negative ? 1 : 0; k < ePos; ++k) {
        if (text[k] != '.')
            digits += text[k];
    }
    const int exponent = std::stoi(text.substr(ePos + 1));
    const auto lastNonZero = digits.find_last_not_of('0');
    if (lastNonZero == std::string::npos)
        return QStringLiteral("0");
    digits.erase(lastNonZero + 1);

    const QChar separator = LocaleService::decimalSeparator();
    QString out = negative ? QStringLiteral("-") : QString();
    if (exponent >= -5 && exponent < 15) {
        if (exponent >= 0) {
            const std::size_t intCount = static_cast<std::size_t>(exponent) + 1;
            if (digits.size() <= intCount) {
                out += QString::fromLatin1(digits);
                out += QString(static_cast<qsizetype>(intCount - digits.size()), u'0');
            } else {
                out += QString::fromLatin1(digits.substr(0, intCount));
                out += separator;
                out += QString::fromLatin1(digits.substr(intCount));
            }
        } else {
            out += u'0';
            out += separator;
            out += QString(-exponent - 1, u'0');
            out += QString::fromLatin1(digits);
        }
        return out;
    }
    out += QChar::fromLatin1(digits.front());
    if (digits.size() > 1) {
        out += separator;
        out += QString::fromLatin1(digits.substr(1));
    }
    out += u'E';
    out += QString::number(exponent);
    return out;
}

QString FormatFloat(const QString &pattern, double value)
{
    if (!std::isfinite(value))
        return nonFiniteText(value);
    const Pattern parsed = parsePattern(pattern);

    // The shortest text that reads back as the same double is the number the
    // operator typed or the program stored; rounding works on those digits.
    char buffer[512];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::fixed);
    const std::string text(buffer, result.ptr);
    const auto point = text.find('.');
    std::string intDigits = text.substr(0, point);
    std::string fracDigits = point == std::string::npos ? std::string() : text.substr(point + 1);

    const auto decimals = static_cast<std::size_t>(parsed.maxDecimals);
    if (fracDigits.size() > decimals) {
        const bool roundUp = fracDigits[decimals] >= '5';
        fracDigits.erase(decimals);
        if (roundUp) {
            std::string all = intDigits + fracDigits;
            if (incrementDigits(all))
                all.insert(all.begin(), '1');
            intDigits = all.substr(0, all.size() - decimals);
            fracDigits = all.substr(all.size() - decimals);
        }
    }
    fracDigits.resize(decimals, '0');
    while (fracDigits.size() > static_cast<std::size_t>(parsed.minDecimals)
           && fracDigits.back() == '0') {
        fracDigits.pop_back();
    }

    const bool isZero = intDigits.find_first_not_of('0') == std::string::npos
                        && fracDigits.find_first_not_of('0') == std::string::npos;
    const auto firstNonZero = intDigits.find_first_not_of('0');
    intDigits.erase(0, firstNonZero == std::string::npos ? intDigits.size() : firstNonZero);
    if (intDigits.size() < static_cast<std::size_t>(parsed.minIntDigits))
        intDigits.insert(0, parsed.minIntDigits - intDigits.size(), '0');

    // A value that rounds to zero is shown without a sign: "-0,000" would
    // read as a debit of nothing.
    QString out = value < 0 && !isZero ? QStringLiteral("-") : QString();
    out += QString::fromLatin1(intDigits);
    if (!fracDigits.empty()) {
        out += LocaleService::decimalSeparator();
        out += QString::fromLatin1(fracDigits);
    }
    return out;
}

double ConverteValor(const QString &text)
{
    return convertTyped(text, true);
}

double ConverteValorSemZero(const QString &text)
{
    return convertTyped(text, false);
}

QString FormataValor(const QString &format, const QString &text, int width)
{
    const qsizetype length = text.size();
    const bool endsInSeparator = text.endsWith(LocaleService::decimalSeparator());
    if (length < width - 1 || (length == width - 1 && endsInSeparator)
        || (length == width && !endsInSeparator)) {
        return FormatFloat(format, StrToFloat(text));
    }
    if (length == width && endsInSeparator)
        return text.left(length - 1);
    return text;
}

} // namespace kiv
