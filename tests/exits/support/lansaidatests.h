#pragma once

#include "taskwindow.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <memory>

namespace kiv {
class Table;
class TfrmLanSaida;
class TfrmPrincipal;
} // namespace kiv

// What the tests of the stock exit window share: the session of branch
// 0001, a data directory with every file the window loads (exit operation
// types of each kind of destination, a client, a supplier, branches and
// products), the documents a test stores, and the window opened on it.
namespace lansaidatests {

inline const QString kBranch = QStringLiteral("0001");
inline const QString kBranchName = QStringLiteral("COZINHA CENTRAL NORTE");
inline const QString kOtherBranch = QStringLiteral("0002");
inline const QString kClient = QStringLiteral("55666777000188");
inline const QString kSupplier = QStringLiteral("11222333000144");
inline const QDate kExit(2026, 3, 10);

// Exit operations: 51 client with due dates, 52 client without, 53 supplier
// without, 54 branch without, 55 supplier with due dates; 01 is an entry
// type only.
kivtest::Session session();

struct Item
{
    QString code; // CDARVPROD as stored: 01.02.001, 01.03.001 or 13.01.001
    QString quantity;
    QString value;
};

struct Due
{
    QDate date;
    QString value;
};

// One document as it stands in the three files.
struct Doc
{
    QString number;
    QString branch = kBranch;
    QString operation = QStringLiteral("52");
    QString total;
    QList<Item> items;
    QList<Due> dues;
};

class ExitDataDirectory : public kivtest::DataDirectory
{
public:
    explicit ExitDataDirectory(const QList<Doc> &docs = {});
    void writeDocuments(const QList<Doc> &docs) const;
    qint64 size(const QString &name) const;
    // The three files as a later run loads them, one line per record, sorted.
    QStringList onDisk() const;
};

// The lines onDisk() gives for these documents.
QStringList linesOf(const QList<Doc> &docs);

// The main window logged in on the session (a previous one is closed first)
// and a new exit window on it, shown and active; nullptr when either did
// not come up.
kiv::TfrmLanSaida *openExitWindow(std::unique_ptr<kiv::TfrmPrincipal> &principal);

// A field of the document header the window stands on.
QString header(const kiv::TfrmLanSaida *w, const char *name);
// Numbers are written in the tests with "," and reach the window with the
// workstation's decimal separator.
QString withSeparator(QString text);

// Insert, the operation typed and left, the destination typed and left:
// the focus is on the exit date. Fails the test when a message came.
void typeHeader(kiv::TfrmLanSaida *w, const QString &operation, const QString &destination);
// The Produto page and its rows typed into the grid; the last row is left
// open unless post.
void typeItems(kiv::TfrmLanSaida *w, const QList<Item> &items, bool post);
void typeDues(kiv::TfrmLanSaida *w, const QList<Due> &dues, bool post);

} // namespace lansaidatests

// Runs a helper and stops the calling test when the helper failed.
#define EXIT_STEP(call)                                                                            \
    do {                                                                                           \
        call;                                                                                      \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)
