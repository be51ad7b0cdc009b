#pragma once

#include <QChar>
#include <QDate>
#include <QDateTime>
#include <QString>

namespace kiv {

// The workstation's number and date conventions: one decimal separator and
// one short date format for the whole program. Taken from the system locale
// at start; a C/POSIX locale (no conventions of its own) falls back to
// Brazilian Portuguese. Tests set both explicitly.
class LocaleService
{
public:
    static QChar decimalSeparator();
    // Qt date format, e.g. "dd/MM/yyyy".
    static QString shortDateFormat();

    static void setDecimalSeparator(QChar separator);
    static void setShortDateFormat(const QString &format);
    // Back to what the system locale says.
    static void resetToSystem();

    static QString dateToText(const QDate &date);
    // The platform's date-and-time text: short date, then " hh:mm:ss"
    // unless the time is exactly midnight.
    static QString dateTimeToText(const QDateTime &dateTime);
    // Date-times are naive wall-clock values, kept in UTC so that no time
    // zone rule (a midnight skipped by daylight saving) can move them.
    // Reads a date in the short date format, optionally followed by a time
    // "hh:mm" or "hh:mm:ss"; an invalid QDateTime when it does not read.
    static QDateTime textToDateTime(const QString &text);
    static QDate textToDate(const QString &text);
};

} // namespace kiv
