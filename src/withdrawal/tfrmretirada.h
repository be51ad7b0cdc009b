#pragma once

#include "basewindows.h"

#include <QDateTime>
#include <QHash>
#include <QString>

class QLabel;
class QLineEdit;
class QSplitter;

namespace kiv {

class Table;
class TBtnPesquisa;
class TDataSource;
class TDateTimePicker;
class TDBGrid;
class TMaskEdit;
struct TColumnCellDraw;

// Planned and consumed withdrawals of the logged-in branch, per service and
// date. PREVRETI.cds holds the plans of every branch; the operator picks a
// date, then a service in the list on the left, and types in the grid on the
// right what each product of that service actually consumed and the kind of
// withdrawal, or adds a product that was not planned. Every stored row
// rewrites the whole file at once.
class TfrmRetirada : public TfrmPadraoGrid
{
    Q_OBJECT

public:
    explicit TfrmRetirada(const LoginSession &session, QWidget *parent = nullptr);
    ~TfrmRetirada() override;

    QWidget *panGrupFili = nullptr;
    QLabel *lblFilial = nullptr;
    TMaskEdit *medCdFilial = nullptr;
    QLineEdit *edtNmFilial = nullptr;
    QWidget *panData = nullptr;
    QLabel *lblData = nullptr;
    TDateTimePicker *dpkData = nullptr;
    TBtnPesquisa *btnData = nullptr;
    QSplitter *splServico = nullptr;
    TDBGrid *dbgServico = nullptr;
    QLabel *dbtNome = nullptr;

    // Planned and consumed withdrawals of every branch (PREVRETI.cds).
    Table *cdsPrevReti = nullptr;
    // The services, for their names (SERVICO.cds), and the copy the Find
    // command searches from the service list.
    Table *cdsServico = nullptr;
    Table *cdsPesqServ = nullptr;
    // The service list: one row per service of the branch with plans.
    Table *cdsAuxPrevReti = nullptr;
    TDataSource *dtsAuxPrevReti = nullptr;
    // The branch's planned dates, for the date lookup and the date check.
    Table *cdsAuxData = nullptr;
    TDataSource *dtsAuxData = nullptr;
    // Products and withdrawal types: lookup sources and their copies for
    // the checks.
    Table *cdsProduto = nullptr;
    TDataSource *dtsProduto = nullptr;
    Table *cdsVdProduto = nullptr;
    Table *cdsTipoReti = nullptr;
    TDataSource *dtsTipoReti = nullptr;
    Table *cdsVdTipoReti = nullptr;

    // True while the window builds or reloads its tables.
    bool Carregando = false;
    // True while the Find dialog runs.
    bool Procurando = false;
    // A date picked from the lookup, loaded without the ten-day check.
    bool DataPesquisada = false;

protected:
    void FormCreate() override;
    void FormActivate() override;
    void FormClose(bool &allowClose) override;
    void showEvent(QShowEvent *event) override;

    void panDataEnter();
    void panDataExit();
    void btnDataClick();
    void dpkDataKeyDown(int &key, Qt::KeyboardModifiers shift);
    void cdsAuxPrevRetiCalcFields();
    void cdsAuxPrevRetiAfterScroll();
    void cdsAuxPrevRetiNewRecord();
    void cdsPesqServAfterScroll();
    void dbgServicoEnter();
    void dbgPadraoEnter();
    void dbnPadraoClick();
    void dtsPadraoStateChange() override;

    void dbgPadraoKeyPress(QChar &key) override;
    void dbgPadraoKeyDown(int &key, Qt::KeyboardModifiers shift) override;
    void dbgPadraoEditButtonClick();
    void dbgPadraoColExit();
    void dbgPadraoDrawColumnCell(TColumnCellDraw &cell);

    void sbtIncluirClick() override;
    void sbtAlterarClick() override;
    void sbtExcluirClick() override;
    void sbtProcurarClick() override;
    void sbtVerificarClick() override;
    void sbtConfirmarClick() override;
    void sbtCancelarClick() override;

    void cdsPrevRetiBeforeInsert();
    void cdsPrevRetiNewRecord();
    void cdsPrevRetiBeforePost();
    void cdsPrevRetiAfterPost();

    void Vd_Produto();
    void Vd_Consumo();
    void Vd_TipoRetirada();

private:
    void HabilitaControles();
    void cdsAuxPrevRetiBeforeScroll();

    void declareTables();
    void buildControls();
    void buildProductGrid();
    QString dataFile(const QString &fileName) const;

    // What a pass over the branch's withdrawals rewrites: dates that carry
    // a time of day are brought to the day (the selection compares days),
    // and with DatesAndQuantities the quantities are brought into their
    // format. With lists, the service and date lists are rebuilt from the
    // same pass. True when a quantity text changed.
    enum class Rewrite { Dates, DatesAndQuantities };
    bool walkWithdrawals(Rewrite rewrite, bool lists);
    void loadServices();
    void loadPrevReti();
    // Loads the file unless it is still the one last read or written here.
    void reloadPrevRetiIfChanged();
    void savePrevReti();
    QString selectionFilter() const;
    void applySelection();
    QString currentService() const;
    bool productGridOpen() const;
    void closeProducts();
    void focusColumn(const QString &fieldName);
    bool editing() const;
    bool plannedRow() const;
    void copyCheckedProduct();
    QString withdrawalTypeName(const QString &code) const;
    void showService();
    void paintGrids();

    QString m_branch;
    // The service names by branch and service code.
    QHash<QString, QString> m_serviceNames;
    bool m_productsOpen = false;
};

} // namespace kiv
