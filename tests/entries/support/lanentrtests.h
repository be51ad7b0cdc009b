#pragma once

#include "taskwindow.h"

#include <QString>
#include <QVariantMap>

#include <memory>

namespace kiv {
class TfrmLanEntr;
class TfrmPrincipal;
} // namespace kiv

// What the tests of the stock entry window share: the session of branch
// 0001, a data directory with every file the window loads, the window opened
// on it, and the rows the reference files are made of.
namespace lanentrtests {

inline const QString kBranch = QStringLiteral("0001");
inline const QString kBranchName = QStringLiteral("COZINHA CENTRAL NORTE");

// The login of ANA LIMA on branch 0001, products under the mask 99.99.999.
kivtest::Session session();

// Every file the entry window loads: the operator file of that session and
// all the others empty. A test writes over the ones its cases fill.
class EntryDataDirectory : public kivtest::DataDirectory
{
public:
    EntryDataDirectory();
};

// The main window logged in on the session (a previous one is closed first:
// one main window at a time holds the data directory) and a new entry window
// on it, shown and active; nullptr when either did not come up.
kiv::TfrmLanEntr *openEntryWindow(std::unique_ptr<kiv::TfrmPrincipal> &principal);

// Insert and the operation code typed and left: the focus is on the origin.
void newDocument(kiv::TfrmLanEntr *w, const QString &operation);

// A field of the document header the window stands on.
QString header(const kiv::TfrmLanEntr *w, const char *name);

// Numbers are written in the tests with "," and reach the window with the
// workstation's decimal separator.
QString withSeparator(QString text);

// Rows of the reference files.
QVariantMap operationRow(const char *code, const char *name, const char *origin,
                         const char *dueDates, const char *kind = "E");
QVariantMap productRow(const char *id, const char *code, const char *name, const char *unit);
// Supplier F100, CEREALISTA BOA SAFRA, 11.222.333/0001-44.
QVariantMap supplierF100();
// Series U, the entries' one.
QVariantMap seriesU();

} // namespace lanentrtests
