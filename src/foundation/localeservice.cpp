#include "localeservice.h"

#include <QLocale>
#include <QRegularExpression>

namespace kiv {

namespace {

struct Conventions
{
    QChar decimal;
    QString dateFormat;
};

// The short date format of a locale, with the day, month and year fields
// widened to two, two and four digits: the operator types and reads
// fixed-width dates.
QString normaliseDateFormat(QString format)
{
    static const QRegularExpression day(QStringLiteral("d+"));
    static const QRegularExpression month(QStringLiteral("M+"));
    static const QRegularExpression year(QStringLiteral("y+"));
    format.replace(day, QStringLiteral("dd"));
    format.replace(month, QStringLiteral("MM"));
    format.replace(year, QStringLiteral("yyyy"));
    return format;
}

Conventions systemConventions()
{
    QLocale system = QLocale::system();
    if (system.language() == QLocale::C)
        system = QLocale(QLocale::Portuguese, QLocale::Brazil);
    const QString decimal = system.decimalPoint();
    return {decimal.isEmpty() ? QChar(u',') : decimal.at(0),
            normaliseDateFormat(system.dateFormat(QLocale::ShortFormat))};
}

Conventions &current()
{
    static Conventions conventions = systemConventions();
    return conventions;
}

} // namespace

QChar LocaleService::decimalSeparator() { return current().decimal; }
QString LocaleService::shortDateFormat() { return current().dateFormat; }
void LocaleService::setDecimalSeparator(QChar separator) { current().decimal = separator; }
void LocaleService::setShortDateFormat(const QString &format) { current().dateFormat = format; }
void LocaleService::resetToSystem() { current() = systemConventions(); }

QString LocaleService::dateToText(const QDate &date)
{
    return date.isValid() ? date.toString(shortDateFormat()) : QString();
}

QString LocaleService::dateTimeToText(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return QString();
    QString text = dateToText(dateTime.date());
    if (dateTime.time() != QTime(0, 0))
        text += dateTime.time().toString(QStringLiteral(" hh:mm:ss"));
    return text;
}

QDateTime LocaleService::textToDateTime(const QString &text)
{
    const QString trimmed = text.trimmed();
    const QString format = shortDateFormat();
    const QDate date = QDate::fromString(trimmed.left(format.size()), format);
    if (!date.isValid())
        return QDateTime();
    const QString rest = trimmed.mid(format.size()).trimmed();
    if (rest.isEmpty())
        return QDateTime(date, QTime(0, 0), Qt::UTC);
    QTime time = QTime::fromString(rest, QStringLiteral("H:mm:ss"));
    if (!time.isValid())
        time = QTime::fromString(rest, QStringLiteral("H:mm"));
    if (!time.isValid())
        time = QTime::fromString(rest, QStringLiteral("H:mm:ss.zzz"));
    return time.isValid() ? QDateTime(date, time, Qt::UTC) : QDateTime();
}

QDate LocaleService::textToDate(const QString &text)
{
    const QDateTime dateTime = textToDateTime(text);
    return dateTime.isValid() && dateTime.time() == QTime(0, 0) ? dateTime.date() : QDate();
}

} // namespace kiv
