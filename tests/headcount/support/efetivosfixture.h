#pragma once

#include "taskwindow.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace kiv {
class TDBGrid;
class TfrmEfetivos;
} // namespace kiv

// What the headcount window's tests share: a data directory with two
// branches, their menu types, services, the clients of the services, the
// headcounts and their breakdowns, and the operator's ways through the
// window.
namespace headcount {

extern const QString kBranch;      // the session's branch, "0001"
extern const QString kOtherBranch; // "0002"
extern const QString kMenu;        // "0000000001", with headcounts on kDay and kOtherDay
extern const QString kCrecheMenu;  // "0000000002"
extern const QDate kDay;
extern const QDate kOtherDay;

struct Headcount
{
    QString branch;
    QDateTime date;
    QString service;
    QString menu;
    QString clients;
    QString staff;
    QString donations;
    QString central = QStringLiteral("0900");
};

struct ClientRow
{
    QString branch;
    QString menu;
    QString service;
    QDate date;
    QString client;
    QString name;
    QString clients;
    QString staff;
    QString donations;
    QString central = QStringLiteral("0900");
};

QDateTime at(const QDate &day, const QTime &time = QTime(0, 0));

// The headcounts of the default directory. Vila Nova's record comes first
// in the file and in service order, with another central branch; the
// session branch has, on kDay and menu kMenu, DESJEJUM 45/3/2 (two
// clients), ALMOÇO "10.5"/4/0 (no clients) and a service missing from
// SERVICO.cds.
QList<Headcount> defaultHeadcounts();

class DataDir : public kivtest::DataDirectory
{
public:
    DataDir();

    void writeHeadcounts(const QList<Headcount> &rows) const;
    void writeBreakdown(const QList<ClientRow> &rows) const;
    // "branch date service menu clients staff donations" per record, in
    // file order, as a later run reads EFETIVOS.cds.
    QStringList headcountsOnDisk() const;
    // "service client clients staff donations central" per record of the
    // branch, menu and day, in file order.
    QStringList breakdownOnDisk(const QDate &day = kDay) const;
};

// "service name clients staff donations total" per row of the headcount
// grid, as it shows them.
QStringList headcountRows(kiv::TfrmEfetivos *w);
// "client clients staff donations" per row of the breakdown grid.
QStringList breakdownRows(kiv::TfrmEfetivos *w);
QString headcountRow(const QString &service, const QString &name, const QString &clients,
                     const QString &staff, const QString &donations, const QString &total);

// Types the menu type, sets the date and moves to the grid, as the operator
// leaves the header. False when the focus did not get there.
bool chooseHeader(kiv::TfrmEfetivos *w, const QString &menu, const QDate &day = kDay);
// Puts the grid's cursor on the row (from 0) and column of the field, with
// the focus in the grid.
bool goToCell(kiv::TDBGrid *grid, int row, const QString &field);
// Types a quantity over a cell: the first character replaces its text.
void typeInto(kiv::TDBGrid *grid, int row, const QString &field, const QString &text);
// Chooses a page as the operator does, by its menu entry.
bool choosePage(kiv::TfrmEfetivos *w, bool breakdown);

// Counts the times a file of a directory is replaced (a save renames its
// temporary copy over it). Linux only; elsewhere count() is -1.
class FileReplacements
{
public:
    FileReplacements(const QString &directory, const QString &fileName);
    ~FileReplacements();
    FileReplacements(const FileReplacements &) = delete;
    FileReplacements &operator=(const FileReplacements &) = delete;

    int count();

private:
    int m_fd = -1;
    QString m_fileName;
    int m_count = 0;
};

} // namespace headcount
