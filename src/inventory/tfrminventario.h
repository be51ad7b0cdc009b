#pragma once

#include "basewindows.h"

#include <QDate>
#include <QString>

class QLabel;
class QLineEdit;
class QToolButton;

namespace kiv {

class Table;
class TDataSource;
class TDateTimePicker;
class TMaskEdit;

// Stock counts of the logged-in branch: one row per product and count date,
// typed in the grid or imported from the count list the central system
// exports (ITEMINVENT.cds). INVENTARIO.cds holds the counts of every branch
// and date; the grid shows the branch's counts of the chosen date, and every
// stored change rewrites the whole file at once.
class TfrmInventario : public TfrmPadraoGrid
{
    Q_OBJECT

public:
    explicit TfrmInventario(const LoginSession &session, QWidget *parent = nullptr);

    QLabel *lblFilial = nullptr;
    TMaskEdit *medCdFilial = nullptr;
    QLineEdit *edtNmFilial = nullptr;
    QLabel *lblData = nullptr;
    TDateTimePicker *dpkInventario = nullptr;
    QToolButton *btnImportar = nullptr;
    QLabel *dbtNome = nullptr;

    // The counts of every branch and date (INVENTARIO.cds).
    Table *cdsInventario = nullptr;
    // The products, for the code typed and for the lookup (PRODUTO.CDS).
    Table *cdsProduto = nullptr;
    TDataSource *dtsProduto = nullptr;
    // The count list, read by the import only (ITEMINVENT.cds).
    Table *cdsItemInvent = nullptr;
    // The counts as they stood when the row being typed was opened: a new
    // row is checked against it for a product already counted.
    Table *cdsAux = nullptr;

protected:
    void FormCreate() override;
    void FormActivate() override;
    void FormClose(bool &allowClose) override;

    void dpkInventarioChange();
    void dbgPadraoColExit();
    void dbgPadraoEditButtonClick();
    void dbgPadraoKeyDown(int &key, Qt::KeyboardModifiers shift) override;
    void dbgPadraoKeyPress(QChar &key) override;
    void dtsPadraoStateChange() override;
    void sbtVerificarClick() override;
    void sbtExcluirClick() override;
    void btnImportarClick();

    void cdsInventarioBeforeInsert();
    void cdsInventarioBeforeEdit();
    void cdsInventarioBeforePost();
    void cdsInventarioAfterPost();
    void cdsInventarioAfterCancel();

    void Vd_Produto(bool obrigatorio);

private:
    void buildControls();
    void declareTables();
    void lookUpProduct();
    // The count list's items of the branch, from the current one on.
    void importItems();
    // Writes the whole count table over INVENTARIO.cds and returns to the
    // row posted last.
    void saveCounts();
    void focusColumn(const QString &fieldName);
    void showProductName();
    QString dataFile(const QString &fileName) const;

    QString m_branch;
    QString m_operator;
    // The code of the row posted last, to return to it after the save.
    QString m_lastCode;
};

} // namespace kiv
