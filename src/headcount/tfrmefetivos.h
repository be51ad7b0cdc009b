#pragma once

#include "basewindows.h"

#include <QString>

class QLabel;
class QLineEdit;
class QToolButton;
class QWidget;

namespace kiv {

class Table;
class TBtnPesquisa;
class TDataSource;
class TDateTimePicker;
class TDBGrid;
class TMaskEdit;

// The daily headcounts of the logged-in branch: for a menu type and a date,
// one row per service with the clients, employees and donations served
// (page "Efetivos"), and how the headcount of a service divides among the
// clients it feeds (page "Clientes"). EFETIVOS.cds and EFETCLIE.cds hold
// every branch's records; each stored change rewrites them at once. Rows are
// never added or removed here: the central system exports them.
class TfrmEfetivos : public TfrmPadrao
{
    Q_OBJECT

public:
    explicit TfrmEfetivos(const LoginSession &session, QWidget *parent = nullptr);
    ~TfrmEfetivos() override;

    // Branch strip, never changed here.
    QWidget *panAgrupFili = nullptr;
    TMaskEdit *medCdFilial = nullptr;
    QLineEdit *edtNmFilial = nullptr;

    // Header: the menu type and the date whose headcounts are shown.
    QWidget *panCardapio = nullptr;
    TMaskEdit *edtCdTpCard = nullptr;
    TBtnPesquisa *btnTpCard = nullptr;
    QLineEdit *edtNmTpCard = nullptr;
    TDateTimePicker *dpkData = nullptr;
    QToolButton *btnData = nullptr;

    TDBGrid *dbgClientes = nullptr;
    // The service name of the current headcount row.
    QLabel *dbtNome = nullptr;

    Table *cdsTipoCard = nullptr;
    TDataSource *dtsTipoCard = nullptr;
    // An unfiltered copy of the menu types, for the menu-type check only.
    Table *cdsVdTipoCard = nullptr;
    Table *cdsServicos = nullptr;
    Table *cdsEfetivos = nullptr;
    // The rows shown: the headcounts of the branch, menu type and date, with
    // their quantities as numbers and their total.
    Table *cdsAuxEfetivos = nullptr;
    // The dates that have headcounts, for the date lookup.
    Table *cdsAuxData = nullptr;
    TDataSource *dtsAuxData = nullptr;
    Table *cdsServClie = nullptr;
    Table *cdsEfetCli = nullptr;
    TDataSource *dtsEfetCli = nullptr;

    // True only while cdsAuxEfetivos is being filled.
    bool Carregando = false;
    // The central branch written into generated breakdown rows: that of the
    // headcount being broken down.
    QString FilialCentral;
    // "S" while breakdown rows are being generated.
    QString GerandoClientes;
    double SomaClientes = 0;
    double SomaFuncionarios = 0;
    double SomaDoacoes = 0;

protected:
    void FormCreate() override;
    void FormActivate() override;
    void FormClose(bool &allowClose) override;
    void showEvent(QShowEvent *event) override;

    void panCardapioEnter();
    void panCardapioExit();
    void edtCdTpCardChange();
    void edtCdTpCardExit();
    void edtCdTpCardKeyDown(int &key, Qt::KeyboardModifiers shift);
    void btnTpCardBeforePesq();
    void btnTpCardAfterPesq();
    void dpkDataKeyDown(int &key, Qt::KeyboardModifiers shift);
    void btnDataClick();

    void dbgPadraoKeyPress(QChar &key);
    void dbgPadraoColExit();
    void cdsAuxEfetivosNewRecord();
    void cdsAuxEfetivosBeforePost();
    void cdsAuxEfetivosAfterPost();
    void dtsPadraoStateChange() override;
    void dbnPadraoClick();
    void pgcPadraoChange() override;
    void pgcPadraoExit();

    void dbgClientesKeyPress(QChar &key);
    void dbgClientesColExit();
    void cdsEfetCliBeforeInsert();
    void cdsEfetCliNewRecord();
    void cdsEfetCliBeforePost();
    void cdsEfetCliAfterPost();
    void dtsEfetCliStateChange();

    void sbtIncluirClick() override;
    void sbtAlterarClick() override;
    void sbtExcluirClick() override;
    void sbtProcurarClick() override;
    void sbtVerificarClick() override;
    void sbtConfirmarClick() override;
    void sbtCancelarClick() override;

private:
    void HabilitaControles();
    void VerificaVirgula(TDBGrid *grid, const QString &fieldName, QChar &key);
    void Vd_TipoCardapio();

    void declareTables();
    void buildControls();
    QWidget *buildHeader();
    void buildGrids();
    QString dataFile(const QString &fileName) const;
    QString menuType() const;
    QString dateText() const;
    // The headcount rows of the branch, menu type and date, read into
    // cdsAuxEfetivos.
    void loadHeadcounts();
    // The focus moved within the window: the header and the page control
    // are entered and left as the operator moves between them.
    void focusMoved();
    bool hasFocusIn(const QWidget *area) const;
    void paintGrid(bool loaded);
    // The breakdown of the current headcount row, filtered in cdsEfetCli.
    void selectBreakdown();
    void openBreakdown();
    void generateBreakdown();
    // The table the commands act on: that of the page in front.
    Table *activeTable() const;
    bool breakdownPageActive() const;
    void checkQuantities(const Table &table);
    void checkBreakdownSums();
    // Loads EFETIVOS.cds afresh into cdsEfetivos and gives the record of the
    // headcount row being stored these quantities; refuses when the record
    // is gone.
    void prepareHeadcountRecord(double clients, double staff, double donations);
    void showServiceName();

    QMetaObject::Connection m_focusConnection;
    bool m_shown = false;
    bool m_settlingFocus = false;
    bool m_inHeader = false;
    bool m_inPages = false;
    // A row is being stored because the focus is leaving the page control.
    bool m_leavingPages = false;
    // The headcount row takes the sums of a breakdown that has just been
    // written together with EFETIVOS.cds: its post only updates the grid.
    bool m_gridOnly = false;
    bool m_updateHeadcount = false;
};

} // namespace kiv
