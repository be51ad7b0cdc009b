#pragma once

#include "stockdocumentwindow.h"

class QLabel;
class QToolButton;

namespace kiv {

class Table;
class TDataSource;
class TDateTimePicker;
class TDBEdit;
class TPageControl;

// The outgoing stock documents of the logged-in branch: a header on the
// Formulário page (operation, destination, exit date and the total its
// items make), the items on the Produto page and, for operation types that
// use them, the due dates on the Vencimento page. LANCSAID.cds,
// ITEMSAID.cds and VENCSAID.cds hold the documents of every branch; the
// header table shows only the session branch's.
class TfrmLanSaida : public StockDocumentWindow
{
    Q_OBJECT

public:
    explicit TfrmLanSaida(const LoginSession &session, QWidget *parent = nullptr);

    QToolButton *BtnPesquFilial = nullptr;
    TPageControl *pgcLancSaid = nullptr;

    // The header, page Formulário.
    QLabel *lblDestino = nullptr;
    TDBEdit *medDestino = nullptr;
    QToolButton *btpDestino = nullptr;
    QLabel *lblSaida = nullptr;
    TDateTimePicker *dtpSaida = nullptr;
    QLabel *lblTotal = nullptr;
    // Shows the total the items make; never typed.
    TDBEdit *MedTotal = nullptr;

    // The headers of every branch (LANCSAID.cds), filtered to the session
    // branch once the window is created.
    Table *cdsLancSaid = nullptr;
    TDataSource *dtsLancSaid = nullptr;

    void Vd_FilialDestino(bool required);

protected:
    void FormCreate() override;

    void cdsLancSaidAfterInsert() { newDocument(); }
    void cdsLancSaidBeforePost() { postHeader(); }
    void cdsLancSaidAfterScroll() { documentScrolled(); }
    void cdsLancSaidAfterCancel() { headerCancelled(); }
    // After a header post or deletion: the three files are written together.
    void cdsLancSaidAfterPost() { saveDocuments(); }
    // The document's due dates and items go before its header.
    void cdsLancSaidBeforeDelete() { deleteDocumentRows(); }
    void cdsLancSaidAfterDelete() { documentDeleted(); }
    void pgcLancSaidChange() { pageChanged(); }
    void dtsLancSaidStateChange() { headerStateChanged(); }

    void medOperacaoExit();
    void medDestinoExit();
    void btpDestinoClick();

private:
    void buildHeaderFields();
};

} // namespace kiv
