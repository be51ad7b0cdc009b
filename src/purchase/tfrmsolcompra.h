#pragma once

#include "basewindows.h"

#include <QDateTime>
#include <QString>

class QLabel;
class QLineEdit;
class QToolButton;

namespace kiv {

class Table;
class TDataSource;
class TDBGrid;
class TDBNavigator;
class TMaskEdit;

// The purchase requests the central system planned for the logged-in
// branch: the operator picks a programmed delivery date (DATASOLI.cds),
// sees the products planned for it with their planned quantity, types the
// adjusted quantity, justifies a difference and may add products that were
// not planned. SOLICOMP.cds holds the rows of every branch and date; every
// posted row rewrites it whole at once. Rows are never deleted here.
class TfrmSolCompra : public TfrmPadraoSimples
{
    Q_OBJECT

public:
    explicit TfrmSolCompra(const LoginSession &session, QWidget *parent = nullptr);

    // The session branch; the aggregated-branch choice beside it is not
    // offered here.
    QLabel *lblAgregada = nullptr;
    TMaskEdit *medCdFilial = nullptr;
    QLineEdit *edtNmFilial = nullptr;
    QToolButton *BtnPesquisa1 = nullptr;
    // The branch's programmed delivery dates; the one selected decides the
    // rows shown.
    TDBGrid *dbgDataSoli = nullptr;
    TDBGrid *dbgPadrao = nullptr;
    TDBNavigator *DBNavigator1 = nullptr;
    // The current row's product name, in bold under the grid.
    QLabel *dbtNome = nullptr;

    // The request rows of every branch and date (SOLICOMP.cds).
    Table *cdsSoliComp = nullptr;
    // Every request row as it stood when the row being typed was opened:
    // a new row is checked against it for a product already requested.
    Table *cdsAux = nullptr;
    Table *cdsDataSoli = nullptr;
    TDataSource *dtsDataSoli = nullptr;
    Table *cdsProduto = nullptr;
    TDataSource *dtsProduto = nullptr;
    Table *cdsJustSoli = nullptr;
    TDataSource *dtsJustificativa = nullptr;
    // The branch's open request numbers and the branch that issues each.
    Table *cdsSolicita = nullptr;
    TDataSource *dtsSolicita = nullptr;
    Table *cdsParaSupri = nullptr;

    // True only while the window is being created.
    bool Criando = false;

protected:
    void FormCreate() override;
    void FormActivate() override;
    void FormClose(bool &allowClose) override;

    void cdsSoliCompBeforeInsert();
    void cdsSoliCompBeforeEdit();
    void cdsSoliCompBeforePost();
    void cdsSoliCompAfterPost();
    void cdsSoliCompAfterCancel();
    void cdsSoliCompBeforeDelete();
    void QTAJUSTPROSetText(Field &field, const QString &text);

    // A row left open under the date list is posted, with its checks,
    // before another date is shown; a refused row keeps the date.
    void cdsDataSoliBeforeScroll();
    void cdsDataSoliAfterScroll();

    void dbgPadraoKeyDown(int &key, Qt::KeyboardModifiers shift);
    void dbgPadraoKeyPress(QChar &key);
    void dbgPadraoColExit();
    void dbgPadraoEditButtonClick();

    void sbtConfirmarClick() override;
    void sbtCancelarClick() override;
    void sbtVerificarClick() override;
    void sbtExcluirClick() override;
    void dtsPadraoStateChange() override;

private:
    void declareTables();
    void buildControls();
    void AtualizaBotoes();
    void Vd_Produto(bool obrigatorio);
    void Vd_Ajuste();
    // The rows of the selected date, reread from the file.
    void loadDateRows();
    // Rewrites the quantity texts of the rows shown in the "##0.000" form
    // and saves the file once, when a text changed.
    void normaliseQuantities();
    void saveRows();
    bool hasDates() const;
    bool inserting() const;
    bool editingOrInserting() const;
    QString fieldText(const char *fieldName) const;
    void setFieldText(const char *fieldName, const QString &value);
    void focusColumn(const char *fieldName);
    void refuse(const char *key);
    void showProductName();
    QString dataFile(const QString &fileName) const;

    QString m_branch;
    // The date whose rows are shown; invalid when none is.
    QDateTime m_date;
    // Whether SOLICOMP.cds was read: a table that failed to load is never
    // written over the file.
    bool m_rowsLoaded = false;
    // The justification and adjusted quantity of the row being edited as
    // they were stored: who justified changes only when one of them does.
    QString m_justificationBefore;
    QString m_adjustedBefore;
    // The grid's column is being moved by a rule, not left by the operator.
    bool m_focusing = false;
    bool m_normalising = false;
    // A posted row is in memory only: its save failed. The rows are not
    // reread over it (date change, verify) before a save succeeds.
    bool m_savePending = false;
};

} // namespace kiv
