#pragma once

#include <QDate>
#include <QString>

namespace kiv {

// The logged-in session: who works, for which branch, under which product
// mask, on which data directory. The login produces it; the main window hands
// a copy to every task window it creates, so no window reaches back into the
// shell for it.
struct LoginSession
{
    QString branch;       // CDFILIAL, four digits
    QString branchName;   // NMFILIAL
    QString operatorCode; // CDOPERADOR, twelve digits
    QString operatorName; // NMOPERADOR
    QString productMask;  // PRODMASK: the product code's edit mask, without its blank
    QDate date;           // the day of the login
    QString dataDir;      // DirDados, ending in the directory separator

    bool loggedIn() const { return !branch.isEmpty(); }
    // A table file of the data directory.
    QString file(const QString &fileName) const { return dataDir + fileName; }
};

} // namespace kiv
