#pragma once

#include "basewindows.h"

#include <QString>

class QAction;
class QLabel;
class QLineEdit;
class QToolButton;

namespace kiv {

class Table;
class TDataSource;
class TDateTimePicker;
class TDBEdit;
class TDBGrid;
class TDBNavigator;
class TMaskEdit;
class TPageControl;
class TTabSheet;

// The incoming stock documents (invoices received) of the logged-in branch:
// a header on the Formulário page, its items on the Produto page and, for
// operation types that use them, its due dates on the Vencimento page.
// LANCENTR.cds, ITEMENTR.cds and VENCENTR.cds hold the documents of every
// branch; the header table shows only the session branch's.
class TfrmLanEntr : public TfrmPadraoSimples
{
    Q_OBJECT

public:
    explicit TfrmLanEntr(const LoginSession &session, QWidget *parent = nullptr);

    // Filter panel above the pages.
    QLabel *lblFilial = nullptr;
    TMaskEdit *medCdFilial = nullptr;
    QToolButton *BtnPesquisa1 = nullptr;
    QLineEdit *edtNmFilial = nullptr;

    TPageControl *pgcLancEntr = nullptr;
    TTabSheet *tshFormulario = nullptr;
    TTabSheet *tshProduto = nullptr;
    TTabSheet *tshVenc = nullptr;
    QAction *mnuFormulario = nullptr;
    QAction *mnuProduto = nullptr;
    QAction *mnuVencimento = nullptr;

    // The header, page Formulário.
    QLabel *lblOperacao = nullptr;
    TDBEdit *medOperacao = nullptr;
    QToolButton *btpTipoOperac = nullptr;
    TDBEdit *edtOperacao = nullptr;
    QLabel *lblOrigem = nullptr;
    TDBEdit *medOrigem = nullptr;
    QToolButton *btpOrigem = nullptr;
    TDBEdit *edtOrigem = nullptr;
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

    TDBGrid *dbgProduto = nullptr;
    TDBGrid *dbgVenc = nullptr;
    TDBNavigator *dbnPadrao = nullptr;

    // The headers of every branch (LANCENTR.cds), filtered to the session
    // branch once the window is created.
    Table *cdsLancEntr = nullptr;
    TDataSource *dtsLancEntr = nullptr;
    // A copy of every header, read only to find the highest number.
    Table *cdsPrxLanc = nullptr;
    Table *cdsTipoOperac = nullptr;
    TDataSource *dtsTipoOperac = nullptr;
    Table *cdsForneced = nullptr;
    TDataSource *dtsForneced = nullptr;
    Table *cdsClientes = nullptr;
    TDataSource *dtsClientes = nullptr;
    Table *cdsFilial = nullptr;
    TDataSource *dtsFilial = nullptr;
    Table *cdsSerie = nullptr;
    TDataSource *dtsSerie = nullptr;
    // Items and due dates of every document.
    Table *cdsProduto = nullptr;
    TDataSource *dtsProduto = nullptr;
    Table *cdsPesqProduto = nullptr;
    TDataSource *dtsPesqProduto = nullptr;
    // Every item as it stood before the row being inserted, for the
    // duplicate check.
    Table *cdsProdutoAux = nullptr;
    Table *cdsVenc = nullptr;
    TDataSource *dtsVenc = nullptr;
    // Every due date as it stood before the row being inserted, for the
    // duplicate-date check.
    Table *cdsVencAux = nullptr;
    Table *cdsExpFilial = nullptr;
    Table *cdsParam = nullptr;
    // Supply authorisations and their items, and the choice list built from
    // them by the import.
    Table *cdsNumAF = nullptr;
    Table *cdsItemAF = nullptr;
    Table *cdsAuxNumAf = nullptr;
    TDataSource *dtsNumAF = nullptr;

    // The highest document number given out so far, over every branch.
    QString UltimoLancamento;

    // The origin check by the operation type's kind of origin (client,
    // supplier or branch); required turns an empty origin into an error.
    void Vd_Origem(bool obrigatorio);
    void Vd_Operacao(bool obrigatorio);
    void Vd_Fornecedor(bool obrigatorio);
    void Vd_Cliente(bool obrigatorio);
    void Vd_FilialOrigem(bool obrigatorio);
    void Vd_Serie(bool obrigatorio);
    // The item's product code against the product table (filling its
    // codes, name and unit) and, for a new item, against the document's
    // other items.
    void Vd_Produto(bool obrigatorio);
    // Refuses, for operation 01 typed without a supply authorisation, a
    // product whose code begins with a code the branch blocks.
    void Vd_ProdutoSemAf();
    // Fills the header and the items from a supply authorisation of the
    // session branch chosen from a list.
    void ImportaAF();

protected:
    void FormCreate() override;
    void FormActivate() override;
    void FormClose(bool &allowClose) override;

    void cdsLancEntrAfterInsert();
    void cdsLancEntrBeforePost();
    void cdsLancEntrAfterScroll();
    void cdsLancEntrAfterCancel();
    // After a header post or deletion: the three files are written together.
    void cdsLancEntrAfterPost();
    // The document's due dates and items go before its header.
    void cdsLancEntrBeforeDelete();
    void cdsLancEntrAfterDelete();

    void sbtConfirmarClick() override;
    void sbtCancelarClick() override;
    // The command-bar rules: what the table of the active page and the
    // header allow.
    void dtsPadraoStateChange() override;
    // The operator (or a rule) made another page active: what is pending on
    // the other pages is checked and the commands act on the new page's
    // table.
    void pgcLancEntrChange();
    void mnuFormularioClick();
    void mnuProdutoClick();
    void mnuVencimentoClick();
    void dtsLancEntrStateChange();

    void medOperacaoChange();
    void medOperacaoExit();
    void medOrigemChange();
    void medOrigemExit();
    void medSerieExit();
    void MedTotalExit();
    void dtpDataChange();
    void btpTipoOperacClick();
    void btpOrigemClick();
    void btpSerieClick();

    void cdsProdutoBeforeInsert();
    // An item or due date was inserted, changed or deleted.
    void detalheAlterado();
    void cdsProdutoBeforePost();
    void cdsProdutoCalcFields();
    void CDARVPRODChange();
    void dtsProdutoStateChange();
    void dbgProdutoColExit();
    void dbgProdutoEditButtonClick();
    void dbgProdutoKeyDown(int &key, Qt::KeyboardModifiers shift);
    void dbgProdutoKeyPress(QChar &key);

    void cdsVencBeforeInsert();
    void cdsVencBeforePost();
    void dbgVencKeyPress(QChar &key);

private:
    void declareTables();
    void buildControls();
    QWidget *buildFormPage();
    void calcularUltimoLancamento();
    void buildItemGrid();
    void buildDueDateGrid();
    // Shows the current document's items (or due dates) in their grid.
    void filtrarPagina(TTabSheet *page);
    QString item(const char *fieldName) const;
    void setItem(const char *fieldName, const QString &value);
    bool inserindoItem() const;
    void focarColunaItem(const char *fieldName);
    void pesquisarProduto();
    void focarColunaVenc(const char *fieldName);
    // The checks of what is pending before the page changes; pending rows
    // are checked, not posted.
    void checarCabecalho();
    void checarVencimento();
    void checarItem();
    // The pickers show the current header's dates.
    void mostrarDatas();
    // Makes the page active and checks its menu entry alone; the rules of
    // leaving the page in front do not run.
    void irParaPagina(TTabSheet *page);
    // The origin's control takes the focus only where the operator sees it.
    void focarOrigem();
    void vdOrigemCadastrada(Table *origens, const char *inscricaoField, const char *codigoField,
                            const char *nomeField, const QString &naoCadastrada,
                            bool obrigatorio);
    bool editandoCabecalho() const;
    bool padraoEditando() const;
    void editarCabecalho();
    void erro(const QString &key);
    QString header(const char *fieldName) const;
    void setHeader(const char *fieldName, const QString &value);
    QString arquivo(const QString &fileName) const;
    // Writes LANCENTR.cds, ITEMENTR.cds and VENCENTR.cds, every document of
    // every branch, all three or none.
    void gravarArquivos();
    void desabilitarConfirmacao();
    void habilitarVencimento(bool habilitar);
    // The supplier origin of operation 01: the import when it is compulsory
    // or wanted, else the supplier list.
    void origemFornecedor();
    void pesquisarFornecedor();
    // The origin picked in a lookup: as typed, its code and its name.
    void copiarOrigem(const Table *lista, const char *inscricao, const char *codigo,
                      const char *nome);

    // A header deletion is removing the document's items and due dates.
    bool m_excluindoDocumento = false;
};

// Lets the main window's entries command ("La&nçamento de Entrada" and its
// toolbar button) open this window.

} // namespace kiv
