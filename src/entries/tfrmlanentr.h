#pragma once

#include "stockdocumentwindow.h"

#include <QString>

class QLabel;
class QToolButton;

namespace kiv {

class Table;
class TDataSource;
class TDateTimePicker;
class TDBEdit;
class TPageControl;

// The incoming stock documents (invoices received) of the logged-in branch:
// a header on the Formulário page, its items on the Produto page and, for
// operation types that use them, its due dates on the Vencimento page.
// LANCENTR.cds, ITEMENTR.cds and VENCENTR.cds hold the documents of every
// branch; the header table shows only the session branch's. Beyond the
// stock document's rules: emission date, invoice number, series and a
// typed total, the block of products without a supply authorisation, and
// the import of a supply authorisation.
class TfrmLanEntr : public StockDocumentWindow
{
    Q_OBJECT

public:
    explicit TfrmLanEntr(const LoginSession &session, QWidget *parent = nullptr);

    QToolButton *BtnPesquisa1 = nullptr;
    TPageControl *pgcLancEntr = nullptr;

    // The header, page Formulário.
    QLabel *lblOrigem = nullptr;
    TDBEdit *medOrigem = nullptr;
    QToolButton *btpOrigem = nullptr;
    QLabel *lblEntrada = nullptr;
    TDateTimePicker *dtpEntrada = nullptr;
    QLabel *lblEmis = nullptr;
    TDateTimePicker *dtpEmissao = nullptr;
    QLabel *lblNF = nullptr;
    TDBEdit *medNF = nullptr;
    QLabel *lblSerie = nullptr;
    TDBEdit *medSerie = nullptr;
    QToolButton *btpSerie = nullptr;
    QLabel *lblTotal = nullptr;
    TDBEdit *MedTotal = nullptr;

    // The headers of every branch (LANCENTR.cds), filtered to the session
    // branch once the window is created.
    Table *cdsLancEntr = nullptr;
    TDataSource *dtsLancEntr = nullptr;
    Table *cdsSerie = nullptr;
    TDataSource *dtsSerie = nullptr;
    Table *cdsExpFilial = nullptr;
    Table *cdsParam = nullptr;
    // Supply authorisations and their items, and the choice list built from
    // them by the import.
    Table *cdsNumAF = nullptr;
    Table *cdsItemAF = nullptr;
    Table *cdsAuxNumAf = nullptr;
    TDataSource *dtsNumAF = nullptr;

    // The origin check by the operation type's kind of origin (client,
    // supplier or branch); required turns an empty origin into an error.
    void Vd_Origem(bool required);
    void Vd_FilialOrigem(bool required);
    void Vd_Serie(bool required);
    // Refuses, for operation 01 typed without a supply authorisation, a
    // product whose code begins with a code the branch blocks.
    void Vd_ProdutoSemAf();
    // Fills the header and the items from a supply authorisation of the
    // session branch chosen from a list.
    void ImportaAF();

protected:
    void FormCreate() override;

    void cdsLancEntrAfterInsert() { newDocument(); }
    void cdsLancEntrBeforePost() { postHeader(); }
    void cdsLancEntrAfterScroll() { documentScrolled(); }
    void cdsLancEntrAfterCancel() { headerCancelled(); }
    // After a header post or deletion: the three files are written together.
    void cdsLancEntrAfterPost() { saveDocuments(); }
    // The document's due dates and items go before its header.
    void cdsLancEntrBeforeDelete() { deleteDocumentRows(); }
    void cdsLancEntrAfterDelete() { documentDeleted(); }
    void pgcLancEntrChange() { pageChanged(); }
    void dtsLancEntrStateChange() { headerStateChanged(); }

    void medOperacaoExit();
    void medOrigemExit();
    void medSerieExit();
    void MedTotalExit();
    void btpOrigemClick();
    void btpSerieClick();

private:
    void declareTables();
    void buildHeaderFields();
    void checkHeaderFields(Check mode) override;
    void partnerPicked() override;
    void completeItem() override;
    void productCodeLeft() override;
    void itemSummed() override;
    void completeDueDate() override;
    void focusTotal() override;
    // The supplier origin of operation 01: the import when it is compulsory
    // or wanted, else the supplier list.
    void supplierOrigin();
    void supplierLookup();
};

} // namespace kiv
