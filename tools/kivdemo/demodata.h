#pragma once

#include "tabledecl.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariantMap>

// Demonstration data: a complete data directory for two kitchens of the
// school-meals service, as the central system would export it, and large
// withdrawal files for measuring the table store. Every file goes through
// the table store from the declaration the windows use, so what is written
// is exactly what the application loads.
namespace kiv::DemoData {

// An operator of the demonstration directory: the branch and operator codes
// as stored (the login pads typed codes with zeros to 4 and 12 digits) and
// the password in plain form.
struct DemoLogin
{
    QString branch;
    QString operatorCode;
    QString password;
};

QList<DemoLogin> demoLogins();

// Writes every reference file and every file the windows read or write into
// dir (created when missing), with dates around today. Quantities kept as
// text carry the workstation's decimal separator and dates kept as text its
// short date format (LocaleService), as the windows would have written them.
// Throws EDatabaseError naming the file that could not be written.
void writeDemoDirectory(const QString &dir, const QDate &today);

// Rewrites the supply parameters (ParaSupri.cds) of a demonstration
// directory with the block on adjusting purchase requests above the plan
// on or off; the directory is written with it on.
void writePurchaseParameters(const QString &dir, bool blockAboveThePlan);

// Writes a PREVRETI.cds-shaped file of `rows` planned withdrawals spread over
// twelve branches, their services, the catalogue's products and consecutive
// dates around today (today's date included whenever rows is not 0).
void writeLargePrevReti(const QString &path, int rows, const QDate &today);

// Writes a table file from its declaration and the given rows, each a map
// from field name to value: QString, QDate, QDateTime or a number (written
// into a text field in the general number form). A field that is not
// declared, or a text longer than its field, throws EDatabaseError before
// anything is written: a fixture is never silently cut.
void writeTable(const QString &path, const TableDecl &decl, const QList<QVariantMap> &rows);

} // namespace kiv::DemoData
