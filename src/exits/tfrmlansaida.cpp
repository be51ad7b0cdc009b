#include "tfrmlansaida.h"

#include "datasource.h"
#include "datetimepicker.h"
#include "guard.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "taskwindows.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace kiv {

namespace {

const QString kDestinationTitle = QStringLiteral("Clientes");
const QString kNoClient = QStringLiteral("Não há fornecedor cadastrado.");

StockDocumentKind exits()
{
    StockDocumentKind kind;
    kind.operationKind = QStringLiteral("S");
    kind.header = RecordedTables::lancSaid();
    kind.items = RecordedTables::itemSaid();
    kind.dueDates = RecordedTables::vencSaid();
    kind.headerName = QStringLiteral("cdsLancSaid");
    kind.headerSourceName = QStringLiteral("dtsLancSaid");
    kind.pagesName = QStringLiteral("pgcLancSaid");
    kind.numberField = QStringLiteral("NRLANCNFS");
    kind.codeColumnWidth = 90;
    kind.documentDateField = QStringLiteral("DTSAIDA");
    kind.dueDateField = QStringLiteral("DTVENCSAID");
    kind.dueValueField = QStringLiteral("VRVENCSAID");
    kind.productReader = RefTables::ProductReader::Exits;
    kind.productFields = {QStringLiteral("CDPRODUTO"), QStringLiteral("CDARVPROD"),
                          QStringLiteral("NMPRODUTO"), QStringLiteral("SGUNIDADE")};
    kind.partnerName = QStringLiteral("medDestino");
    kind.partnerLabelName = QStringLiteral("lblDestino");
    kind.partnerCaption = QStringLiteral("Destino");
    kind.partnerButtonName = QStringLiteral("btpDestino");
    kind.branchButtonName = QStringLiteral("BtnPesquFilial");
    // The item post rewrites the quantity in its format; due dates are
    // checked when the document has some; confirm posts a pending item
    // before the header; cancel on the form page always asks.
    kind.quantityKeepsTypedWidth = false;
    kind.dueDatesRequired = false;
    kind.itemsPostedBeforeHeader = true;
    kind.cancelAlwaysAsks = true;
    return kind;
}

} // namespace

TfrmLanSaida::TfrmLanSaida(const LoginSession &session, QWidget *parent)
    : StockDocumentWindow(session, exits(), parent)
{
    setObjectName(QStringLiteral("TfrmLanSaida"));
    setWindowTitle(QStringLiteral("Lançamento de Saída"));
    lblCodTela->setText(QStringLiteral("KIS00300"));
    msgPadrao = TMessages{
        QStringLiteral("to_dev|Tipo de operação deve ser informado."),
        QStringLiteral("to_n_cad|Tipo de operação não cadastrado."),
        QStringLiteral("or_dev|Destino deve ser informado."),
        QStringLiteral("or_n_cad|Fornecedor não cadastrado."),
        QStringLiteral("Cli_n_Cad|Cliente não cadastrado."),
        QStringLiteral("fil_n_cad|Filial não cadastrada."),
        QStringLiteral("fil<>or|Filial de origem deve ser diferente da filial de destino."),
        QStringLiteral("forn|Fornecedor"),
        QStringLiteral("fil|Filial"),
        QStringLiteral("it_dev|Item do lançamento de saída deve ser informado."),
        QStringLiteral("vc<>tot|Somatório dos vencimentos difere do valor total da nota."),
        QStringLiteral("tot_tam|O total %1 não cabe nos 10 caracteres do campo Total."),
        QStringLiteral("qt_dev|Quantidade deve ser informada."),
        QStringLiteral("vl_dev|Valor deve ser informado."),
        QStringLiteral("dtvenc<|Data de vencimento não pode ser menor do que a data de "
                       "entrada de lançamento."),
        QStringLiteral("prod|Produto"),
        QStringLiteral("cod_dev|Código deve ser informado."),
        QStringLiteral("prod_n_cad|Produto não cadastrado."),
        QStringLiteral("pr_j_cad|Produto já cadastrado para o lançamento de saída."),
        QStringLiteral("dt_j_cad|Data já cadastrada para o lançamento de saída"),
        QStringLiteral("dsj_td|Deseja cancelar todo o lançamento ?"),
    };
    cdsLancSaid = headerTable();
    dtsLancSaid = headerSource();
    pgcLancSaid = pages();
    medDestino = partnerEdit();
    btpDestino = partnerButton();
    lblDestino = partnerLabel();
    BtnPesquFilial = branchButton();
    btpDestino->setToolTip(kDestinationTitle);

    cdsLancSaid->AfterInsert = [this](Table &) { cdsLancSaidAfterInsert(); };
    cdsLancSaid->BeforePost = [this](Table &) { cdsLancSaidBeforePost(); };
    cdsLancSaid->AfterScroll = [this](Table &) { cdsLancSaidAfterScroll(); };
    cdsLancSaid->AfterCancel = [this](Table &) { cdsLancSaidAfterCancel(); };
    cdsLancSaid->AfterPost = [this](Table &) { cdsLancSaidAfterPost(); };
    cdsLancSaid->BeforeDelete = [this](Table &) { cdsLancSaidBeforeDelete(); };
    cdsLancSaid->AfterDelete = [this](Table &) { cdsLancSaidAfterDelete(); };
    dtsLancSaid->OnStateChange = [this] { dtsLancSaidStateChange(); };
    buildHeaderFields();
}

void TfrmLanSaida::buildHeaderFields()
{
    QGridLayout *grid = formLayout();
    lblSaida = formLabel(QStringLiteral("lblSaida"), QStringLiteral("Saida"));
    dtpSaida = new TDateTimePicker(tshFormulario);
    dtpSaida->setObjectName(QStringLiteral("dtpSaida"));
    lblTotal = formLabel(QStringLiteral("lblTotal"), QStringLiteral("Total da Nota"));
    MedTotal = headerEdit(QStringLiteral("MedTotal"), QStringLiteral("VRNOTAFISC"), 12);
    MedTotal->setAlignment(Qt::AlignRight);
    MedTotal->setEnabled(false);
    MedTotal->setFocusPolicy(Qt::NoFocus);
    for (QLabel *label : {lblSaida, lblTotal}) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
    }
    lblSaida->setBuddy(dtpSaida);

    int row = nextFormRow();
    grid->addWidget(lblSaida, row, 0);
    grid->addWidget(dtpSaida, row, 1);
    row = nextFormRow();
    grid->addWidget(lblTotal, row, 0);
    grid->addWidget(MedTotal, row, 1);
    grid->setRowStretch(nextFormRow(), 1);
    QWidget::setTabOrder(medDestino, dtpSaida);
    addHeaderDate(dtpSaida, QStringLiteral("DTSAIDA"), true);

    pgcLancSaid->OnChange = [this] { pgcLancSaidChange(); };
    medOperacao->OnExit = [this] { medOperacaoExit(); };
    medDestino->OnExit = [this] { medDestinoExit(); };
    lookupKeys(medDestino, [this] { btpDestinoClick(); });
    connect(btpDestino, &QToolButton::clicked, this,
            [this] { guarded(this, [this] { btpDestinoClick(); }); });
}

void TfrmLanSaida::FormCreate()
{
    prepareCreation();
    load(cdsLancSaid, QStringLiteral("LANCSAID.cds"));
    load(cdsTipoOperac, QStringLiteral("TIPOOPER.cds"));
    load(cdsClientes, QStringLiteral("CLIENTE.CDS"));
    load(cdsForneced, QStringLiteral("FORNECED.cds"));
    load(cdsFilial, QStringLiteral("FILIAL.CDS"));
    filterOperationTypes();
    loadItemsAndDueDates();
    finishCreation();
}

void TfrmLanSaida::medOperacaoExit()
{
    if (editingHeader())
        Vd_Operacao(false);
}

void TfrmLanSaida::medDestinoExit()
{
    if (editingHeader())
        checkPartner(false);
}

void TfrmLanSaida::Vd_FilialDestino(bool required)
{
    checkBranchPartner(required);
}

void TfrmLanSaida::btpDestinoClick()
{
    const QString kind = header(QStringLiteral("IDENTORIOP"));
    bool picked = false;
    if (kind == QLatin1String("C"))
        picked = lookupPartner(dtsClientes, kDestinationTitle + u'|' + kNoClient);
    else if (kind == QLatin1String("F"))
        picked = lookupPartner(dtsForneced, msgPadrao.Msg(QStringLiteral("forn")));
    else if (kind == QLatin1String("L"))
        picked = lookupPartner(dtsFilial, msgPadrao.Msg(QStringLiteral("fil")));
    if (picked)
        dtpSaida->setFocus();
}

} // namespace kiv

KIV_REGISTER_TASK_WINDOW(kiv::TaskWindow::LanSaida, kiv::TfrmLanSaida)
