#include "tfrmefetivos.h"

#include "datasource.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "dbnavigator.h"
#include "errors.h"
#include "guard.h"
#include "keys.h"
#include "localeservice.h"
#include "lookupdialogs.h"
#include "maskedit.h"
#include "messagebox.h"
#include "numerictext.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "taskwindows.h"
#include "textroutines.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QStyle>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace kiv {

namespace {

const QString kClients = QStringLiteral("QTCLIENTE");
const QString kStaff = QStringLiteral("QTFUNC");
const QString kDonations = QStringLiteral("QTDOACAO");
const QString kTotal = QStringLiteral("QTCOMEFETCAR");
const QString kHeadcountKey = QStringLiteral("CDFILIAL;DTEFETIVO;CDSERVFILI;CDTIPOCARD");
const QString kBreakdownKey = QStringLiteral("CDFILIAL;CDTIPOCARD;CDSERVFILI;DTPROGENTR;CDCLIENTE");

bool isQuantity(const QString &fieldName)
{
    return fieldName.compare(kClients, Qt::CaseInsensitive) == 0
           || fieldName.compare(kStaff, Qt::CaseInsensitive) == 0
           || fieldName.compare(kDonations, Qt::CaseInsensitive) == 0;
}

bool isEditing(const Table *table)
{
    return table && (table->State() == DataSetState::Edit
                     || table->State() == DataSetState::Insert);
}

QString fieldText(const Table *table, const QString &fieldName)
{
    return table->FieldByName(fieldName)->AsString();
}

// Digits after the decimal mark of a quantity text ("10,25" has two): sums
// of such texts are compared at the precision the texts carry, so that
// 1,1 + 2,2 is 3,3.
int decimalPlaces(const QString &text)
{
    const qsizetype mark = std::max(text.lastIndexOf(u','), text.lastIndexOf(u'.'));
    if (mark < 0)
        return 0;
    int digits = 0;
    for (qsizetype i = mark + 1; i < text.size() && text[i].isDigit(); ++i)
        ++digits;
    return std::min(digits, 9);
}

double scale(int places)
{
    return std::pow(10.0, places);
}

double rounded(double value, int places)
{
    return std::round(value * scale(places)) / scale(places);
}

bool equalAt(double a, double b, int places)
{
    return std::llround(a * scale(places)) == std::llround(b * scale(places));
}

// The three sums of a breakdown and the precision of the texts they came
// from.
struct Sums
{
    double clients = 0;
    double staff = 0;
    double donations = 0;
    int places = 0;
    bool hasRows = false;

    void add(const QString &c, const QString &f, const QString &d)
    {
        clients += ConverteValorSemZero(c);
        staff += ConverteValorSemZero(f);
        donations += ConverteValorSemZero(d);
        places = std::max({places, decimalPlaces(c), decimalPlaces(f), decimalPlaces(d)});
        hasRows = true;
    }
};

} // namespace

TfrmEfetivos::TfrmEfetivos(const LoginSession &session, QWidget *parent) : TfrmPadrao(parent)
{
    SetSession(session);
    setObjectName(QStringLiteral("TfrmEfetivos"));
    setWindowTitle(QStringLiteral("Efetivos"));
    lblCodTela->setText(QStringLiteral("KIS00500"));
    msgPadrao = TMessages{
        QStringLiteral("Tipo_Card|Tipo de Cardápio."),
        QStringLiteral("TpCard_NCad|Tipo de cardápio não cadastrado."),
        QStringLiteral("TpCard_Inf|Tipo de cardápio deve ser informado."),
        QStringLiteral("Qtd_Inf|Quantidade deve ser informada."),
        QStringLiteral("Data|Data"),
        QStringLiteral("Efet_N_cad|Não há efetivos para o Tipo de Cardápio informado."),
        QStringLiteral("Som_Cli_Dif|Somatória dos comensais dos clientes difere da distribuição "
                       "de clientes por serviço."),
        QStringLiteral("Som_Func_Dif|Somatório dos comensais dos funcionários difere da "
                       "distribuição de funcionários por serviço."),
        QStringLiteral("Som_Doac_Dif|Somatório dos comensais das doações difere da distribuição "
                       "de doações por serviço."),
        QStringLiteral("Efet_N_Enc|O efetivo deste serviço não foi encontrado em EFETIVOS.cds "
                       "(o arquivo foi alterado fora desta janela). A alteração não foi "
                       "gravada."),
    };
    declareTables();
    buildControls();
    m_focusConnection = connect(qApp, &QApplication::focusChanged, this, [this] { focusMoved(); });
    HabilitaControles();
}

TfrmEfetivos::~TfrmEfetivos()
{
    // The focus moves and the tables go while QWidget destroys the
    // controls: by then this class is gone.
    disconnect(m_focusConnection);
    for (Table *table : {cdsAuxEfetivos, cdsEfetCli}) {
        table->OnNewRecord = nullptr;
        table->BeforeInsert = nullptr;
        table->BeforePost = nullptr;
        table->AfterPost = nullptr;
    }
    dtsEfetCli->OnStateChange = nullptr;
}

void TfrmEfetivos::declareTables()
{
    cdsTipoCard = new Table(QStringLiteral("cdsTipoCard"), this);
    cdsTipoCard->Declare(RefTables::tipoCard());
    dtsTipoCard = new TDataSource(this);
    dtsTipoCard->setObjectName(QStringLiteral("dtsTipoCard"));
    dtsTipoCard->setDataSet(cdsTipoCard);
    cdsVdTipoCard = new Table(QStringLiteral("cdsVdTipoCard"), this);
    cdsVdTipoCard->Declare(RefTables::tipoCard());
    cdsVdTipoCard->SetIndexFieldNames(QString());

    cdsServicos = new Table(QStringLiteral("cdsServicos"), this);
    cdsServicos->Declare(RefTables::servico());
    cdsEfetivos = new Table(QStringLiteral("cdsEfetivos"), this);
    cdsEfetivos->Declare(RecordedTables::efetivos());

    cdsAuxEfetivos = new Table(QStringLiteral("cdsAuxEfetivos"), this);
    FieldDef dia = FieldDef::of(QStringLiteral("DTEFETIVO"), FieldKind::DateTime,
                                QStringLiteral("Data Efetivo"));
    cdsAuxEfetivos->SetFieldDefs({
        FieldDef::text(QStringLiteral("CDSERVFILI"), 5, QStringLiteral("Cód. Serviço")),
        FieldDef::text(QStringLiteral("NMSERVICO"), 40, QStringLiteral("Nome do Serviço")),
        FieldDef::of(kClients, FieldKind::Float, QStringLiteral("Clientes")),
        FieldDef::of(kStaff, FieldKind::Float, QStringLiteral("Funcionários")),
        FieldDef::of(kDonations, FieldKind::Float, QStringLiteral("Doações")),
        dia,
        FieldDef::text(QStringLiteral("CDFILIAL"), 4, QStringLiteral("Filial")),
        FieldDef::text(QStringLiteral("CDTIPOCARD"), 10, QStringLiteral("Tipo de Cardápio")),
        FieldDef::of(kTotal, FieldKind::Float, QStringLiteral("Efetivos")),
        // The central branch of the headcount, for the breakdown rows.
        FieldDef::text(QStringLiteral("CDFILCENT"), 4, QString(), false),
    });
    cdsAuxEfetivos->SetIndexFieldNames(QStringLiteral("CDSERVFILI"));
    cdsAuxEfetivos->OnNewRecord = [this](Table &) { cdsAuxEfetivosNewRecord(); };
    cdsAuxEfetivos->BeforePost = [this](Table &) { cdsAuxEfetivosBeforePost(); };
    cdsAuxEfetivos->AfterPost = [this](Table &) { cdsAuxEfetivosAfterPost(); };
    // A headcount row leaves only with the file's record, which is not
    // this window's to remove.
    cdsAuxEfetivos->BeforeDelete = [](Table &) { throw EAbort(); };
    dtsPadrao->setDataSet(cdsAuxEfetivos);

    cdsAuxData = new Table(QStringLiteral("cdsAuxData"), this);
    cdsAuxData->SetFieldDefs({
        FieldDef::of(QStringLiteral("DTEFETIVO"), FieldKind::DateTime, QString(), false),
        FieldDef::text(QStringLiteral("CDTIPOCARD"), 10, QString(), false),
        FieldDef::text(QStringLiteral("CDFILIAL"), 4, QString(), false),
        FieldDef::text(QStringLiteral("STDATE"), 12, QStringLiteral("Data de Efetivos")),
    });
    cdsAuxData->SetIndexFieldNames(QStringLiteral("DTEFETIVO"));
    dtsAuxData = new TDataSource(this);
    dtsAuxData->setObjectName(QStringLiteral("dtsAuxData"));
    dtsAuxData->setDataSet(cdsAuxData);

    cdsServClie = new Table(QStringLiteral("cdsServClie"), this);
    cdsServClie->Declare(RefTables::servClie());
    cdsEfetCli = new Table(QStringLiteral("cdsEfetCli"), this);
    cdsEfetCli->Declare(RecordedTables::efetClie());
    cdsEfetCli->BeforeInsert = [this](Table &) { cdsEfetCliBeforeInsert(); };
    cdsEfetCli->OnNewRecord = [this](Table &) { cdsEfetCliNewRecord(); };
    cdsEfetCli->BeforePost = [this](Table &) { cdsEfetCliBeforePost(); };
    cdsEfetCli->AfterPost = [this](Table &) { cdsEfetCliAfterPost(); };
    // A breakdown row removed here would leave EFETCLIE.cds at the next save.
    cdsEfetCli->BeforeDelete = [](Table &) { throw EAbort(); };
    dtsEfetCli = new TDataSource(this);
    dtsEfetCli->setObjectName(QStringLiteral("dtsEfetCli"));
    dtsEfetCli->setDataSet(cdsEfetCli);
    dtsEfetCli->OnStateChange = [this] { dtsEfetCliStateChange(); };
}

void TfrmEfetivos::buildControls()
{
    auto *strips = new QWidget(ClientArea());
    strips->setObjectName(QStringLiteral("panTopo"));
    auto *column = new QVBoxLayout(strips);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(panAgrupFili = new QWidget(strips));
    column->addWidget(buildHeader());
    ClientLayout()->insertWidget(0, strips);

    panAgrupFili->setObjectName(QStringLiteral("panAgrupFili"));
    auto *branchRow = new QHBoxLayout(panAgrupFili);
    branchRow->setContentsMargins(0, 0, 0, 0);
    auto *lblFilial = new QLabel(QStringLiteral("Filial Agregada"), panAgrupFili);
    lblFilial->setObjectName(QStringLiteral("lblFilial"));
    auto *btnFilial = new QToolButton(panAgrupFili);
    btnFilial->setObjectName(QStringLiteral("btnFilial"));
    btnFilial->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    medCdFilial = new TMaskEdit(panAgrupFili);
    medCdFilial->setObjectName(QStringLiteral("medCdFilial"));
    medCdFilial->setEditMask(QStringLiteral("9999;0; "));
    medCdFilial->setMaxLength(4);
    medCdFilial->setFixedWidth(medCdFilial->fontMetrics().horizontalAdvance(
                                   QStringLiteral("00000"))
                               + 16);
    edtNmFilial = new QLineEdit(panAgrupFili);
    edtNmFilial->setObjectName(QStringLiteral("edtNmFilial"));
    edtNmFilial->setMinimumWidth(edtNmFilial->fontMetrics().averageCharWidth() * 30);
    branchRow->addWidget(lblFilial);
    branchRow->addWidget(btnFilial);
    branchRow->addWidget(medCdFilial);
    branchRow->addWidget(edtNmFilial, 1);
    // The branch is the session's; it is never chosen here.
    panAgrupFili->setEnabled(false);

    tshFolhaDados->SetCaption(QStringLiteral("Efetivos"));
    tshFormulario->SetCaption(QStringLiteral("Clientes"));
    mnuFolhaDados->setText(QStringLiteral("&Efetivos"));
    mnuFormulario->setText(QStringLiteral("Clie&ntes"));
    buildGrids();

    dbtNome = new QLabel(ClientArea());
    dbtNome->setObjectName(QStringLiteral("dbtNome"));
    dbtNome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ClientLayout()->insertWidget(ClientLayout()->indexOf(pgcPadrao) + 1, dbtNome);
    connect(dtsPadrao, &TDataSource::dataChanged, this, [this] { showServiceName(); });
    connect(dtsPadrao, &TDataSource::stateChanged, this, [this] { showServiceName(); });
    dbnPadrao->OnClick = [this](TNavigateBtn) { dbnPadraoClick(); };
    // The page being hidden would hand the keyboard to the next control of
    // the window, the header, on the way to the new page: the tabs hold it
    // meanwhile, so the page control is not left.
    pgcPadrao->OnChanging = [this](bool &) {
        if (hasFocusIn(pgcPadrao))
            pgcPadrao->tabBar()->setFocus();
    };

    // Counts are neither added, removed nor printed here.
    sbtImprimir.SetEnabled(false);
    mnuConfigImpressora->setEnabled(false);
    sbtAjuda.SetEnabled(false);
    resize(760, 500);
}

QWidget *TfrmEfetivos::buildHeader()
{
    panCardapio = new QWidget(ClientArea());
    panCardapio->setObjectName(QStringLiteral("panCardapio"));
    auto *row = new QHBoxLayout(panCardapio);
    row->setContentsMargins(0, 0, 0, 0);

    auto lookupButton = [this](const QString &name) {
        auto *button = new TBtnPesquisa(panCardapio);
        button->setObjectName(name);
        button->setToolTip(QStringLiteral("Pesquisar"));
        button->setIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
        // A click keeps the focus where it is: the header is not left.
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };

    auto *lblTpCard = new QLabel(QStringLiteral("Tp. Cardápio"), panCardapio);
    lblTpCard->setObjectName(QStringLiteral("lblTpCard"));
    edtCdTpCard = new TMaskEdit(panCardapio);
    edtCdTpCard->setObjectName(QStringLiteral("edtCdTpCard"));
    edtCdTpCard->setMaxLength(10);
    edtCdTpCard->setFixedWidth(edtCdTpCard->fontMetrics().horizontalAdvance(
                                   QStringLiteral("00000000000"))
                               + 16);
    lblTpCard->setBuddy(edtCdTpCard);
    btnTpCard = lookupButton(QStringLiteral("btnTpCard"));
    btnTpCard->SetTitle(QStringLiteral("Tipo de Cardápio"));
    btnTpCard->SetEdit(edtCdTpCard);
    btnTpCard->SetDataSource(dtsTipoCard);
    btnTpCard->SetEmptyError(QStringLiteral("Não há Tipo de Cardápio cadastrado."));
    btnTpCard->SetUpperCase(false);
    btnTpCard->OnBeforePesq = [this] { btnTpCardBeforePesq(); };
    btnTpCard->OnAfterPesq = [this] { btnTpCardAfterPesq(); };
    edtNmTpCard = new QLineEdit(panCardapio);
    edtNmTpCard->setObjectName(QStringLiteral("edtNmTpCard"));
    edtNmTpCard->setEnabled(false);

    auto *lblData = new QLabel(QStringLiteral("Data"), panCardapio);
    lblData->setObjectName(QStringLiteral("lblData"));
    dpkData = new TDateTimePicker(panCardapio);
    dpkData->setObjectName(QStringLiteral("dpkData"));
    lblData->setBuddy(dpkData);
    btnData = lookupButton(QStringLiteral("btnData"));
    connect(btnData, &QToolButton::clicked, this,
            [this] { guarded(this, [this] { btnDataClick(); }); });

    row->addWidget(lblTpCard);
    row->addWidget(edtCdTpCard);
    row->addWidget(btnTpCard);
    row->addWidget(edtNmTpCard, 1);
    row->addSpacing(16);
    row->addWidget(lblData);
    row->addWidget(dpkData);
    row->addWidget(btnData);

    edtCdTpCard->OnChange = [this] { edtCdTpCardChange(); };
    edtCdTpCard->OnExit = [this] { edtCdTpCardExit(); };
    edtCdTpCard->OnKeyDown = [this](int &key, Qt::KeyboardModifiers shift) {
        edtCdTpCardKeyDown(key, shift);
    };
    dpkData->OnKeyDown = [this](int &key, Qt::KeyboardModifiers shift) {
        dpkDataKeyDown(key, shift);
    };
    return panCardapio;
}

void TfrmEfetivos::buildGrids()
{
    // Rows are neither removed from the grids: Ctrl+Delete does nothing.
    const auto noDeletion = [](int &key, Qt::KeyboardModifiers shift) {
        if (key == VK_DELETE && (shift & Qt::ControlModifier))
            key = 0;
    };
    TDBGridColumns &columns = dbgPadrao->Columns();
    // The widths are the ones the window was drawn with; a wider font still
    // shows each title and a whole service code.
    auto add = [](TDBGridColumns &to, const QString &field, const QString &title, int width,
                  bool readOnly) {
        TColumn *c = to.Add(field, title);
        if (width > 0)
            c->SetDesignWidth(width);
        c->SetReadOnly(readOnly);
        if (!readOnly || field == kTotal)
            c->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return c;
    };
    add(columns, QStringLiteral("CDSERVFILI"), QStringLiteral("Serviço"), 45, true)->SetWidthChars(5);
    add(columns, QStringLiteral("NMSERVICO"), QStringLiteral("Nome do Serviço"), 210, true);
    add(columns, kClients, QStringLiteral("Clientes"), 65, false);
    add(columns, kStaff, QStringLiteral("Funcionário"), 65, false);
    add(columns, kDonations, QStringLiteral("Doações"), 65, false);
    add(columns, kTotal, QStringLiteral("Efetivos"), 65, true);
    dbgPadrao->SetTabsMoveCells(true);
    dbgPadrao->OnKeyPress = [this](QChar &key) { dbgPadraoKeyPress(key); };
    dbgPadrao->OnColExit = [this] { dbgPadraoColExit(); };
    dbgPadrao->OnKeyDown = noDeletion;

    auto *layout = new QVBoxLayout(tshFormulario);
    dbgClientes = new TDBGrid(tshFormulario);
    dbgClientes->setObjectName(QStringLiteral("dbgClientes"));
    dbgClientes->SetDataSource(dtsEfetCli);
    layout->addWidget(dbgClientes);
    TDBGridColumns &clientes = dbgClientes->Columns();
    add(clientes, QStringLiteral("NMCLIENTE"), QStringLiteral("Cliente"), 265, true);
    add(clientes, kClients, QStringLiteral("Clientes"), 0, false);
    add(clientes, kStaff, QStringLiteral("Funcionários"), 0, false);
    add(clientes, kDonations, QStringLiteral("Doações"), 0, false);
    dbgClientes->SetTabsMoveCells(true);
    dbgClientes->OnKeyPress = [this](QChar &key) { dbgClientesKeyPress(key); };
    dbgClientes->OnColExit = [this] { dbgClientesColExit(); };
    dbgClientes->OnKeyDown = noDeletion;
    QPalette colours = dbgClientes->palette();
    colours.setColor(QPalette::Base, palette().color(QPalette::ToolTipBase));
    dbgClientes->setPalette(colours);
    paintGrid(false);
}

QString TfrmEfetivos::dataFile(const QString &fileName) const
{
    return Session().file(fileName);
}

QString TfrmEfetivos::menuType() const
{
    return edtCdTpCard->Text();
}

QString TfrmEfetivos::dateText() const
{
    return LocaleService::dateToText(dpkData->Date());
}

// ------------------------------------------------------------ creation

void TfrmEfetivos::FormCreate()
{
    TfrmPadrao::FormCreate();
    medCdFilial->SetText(Session().branch);
    edtNmFilial->setText(Session().branchName);
    cdsTipoCard->LoadFromFile(dataFile(QStringLiteral("TIPOCARD.cds")));
    cdsVdTipoCard->SetData(cdsTipoCard->Data());
    cdsAuxData->CreateDataSet();
    cdsServClie->CreateDataSet();
    cdsEfetCli->CreateDataSet();
    dpkData->SetDate(QDate::currentDate());
}

void TfrmEfetivos::showEvent(QShowEvent *event)
{
    TfrmPadrao::showEvent(event);
    // The header first, when the window opens.
    if (!m_shown) {
        m_shown = true;
        edtCdTpCard->setFocus();
    }
}

void TfrmEfetivos::FormActivate()
{
    SetStatusPanel(3, NomeUnit(this));
    // A child window brought forward by a command does not take the
    // keyboard by itself: it goes back where the operator left it.
    QWidget *now = QApplication::focusWidget();
    if (!now || !isAncestorOf(now)) {
        QWidget *last = focusWidget();
        if (last && last->isVisible() && last->isEnabled())
            last->setFocus();
        else
            edtCdTpCard->setFocus();
    }
}

void TfrmEfetivos::FormClose(bool &allowClose)
{
    SetStatusPanel(3, QStringLiteral("KIS00000"));
    TfrmPadrao::FormClose(allowClose);
}

// -------------------------------------------------------------- focus

bool TfrmEfetivos::hasFocusIn(const QWidget *area) const
{
    const QWidget *control = focusWidget();
    return control && (control == area || area->isAncestorOf(control));
}

void TfrmEfetivos::focusMoved()
{
    // A handler below that moves the focus is settled by the steps after it.
    if (m_settlingFocus)
        return;
    QWidget *now = QApplication::focusWidget();
    // Dialogs, lookups and other windows taking the focus for a while leave
    // nothing.
    if (!now || !isAncestorOf(now))
        return;
    m_settlingFocus = true;
    const auto settled = qScopeGuard([this] { m_settlingFocus = false; });
    // A row being edited is stored before the header is entered.
    if (m_inPages && !hasFocusIn(pgcPadrao)) {
        m_inPages = false;
        guarded(this, [this] { pgcPadraoExit(); });
    }
    if (m_inHeader && !hasFocusIn(panCardapio)) {
        m_inHeader = false;
        guarded(this, [this] { panCardapioExit(); });
    }
    if (!m_inHeader && hasFocusIn(panCardapio)) {
        m_inHeader = true;
        guarded(this, [this] { panCardapioEnter(); });
    }
    m_inPages = hasFocusIn(pgcPadrao);
}

void TfrmEfetivos::paintGrid(bool loaded)
{
    QPalette colours = dbgPadrao->palette();
    colours.setColor(QPalette::Base,
                     palette().color(loaded ? QPalette::ToolTipBase : QPalette::Button));
    dbgPadrao->setPalette(colours);
}

// ------------------------------------------------------------- header

void TfrmEfetivos::panCardapioEnter()
{
    paintGrid(false);
    cdsServicos->Close();
    cdsAuxEfetivos->Close();
    cdsEfetCli->Close();
    pgcPadrao->SetActivePage(tshFolhaDados);
    HabilitaControles();
}

void TfrmEfetivos::panCardapioExit()
{
    loadHeadcounts();
}

void TfrmEfetivos::edtCdTpCardChange()
{
    edtNmTpCard->clear();
}

void TfrmEfetivos::edtCdTpCardExit()
{
    if (EmptyString(edtCdTpCard->Text()))
        return;
    edtCdTpCard->SetText(Ajusta(edtCdTpCard->Text(), 10));
    if (cdsTipoCard->Active()
        && cdsTipoCard->Locate(QStringLiteral("CDFILIAL;CDTIPOCARD"),
                               QVariantList{medCdFilial->Text(), menuType()}))
        edtNmTpCard->setText(fieldText(cdsTipoCard, QStringLiteral("NMTIPOCARD")));
}

void TfrmEfetivos::edtCdTpCardKeyDown(int &key, Qt::KeyboardModifiers)
{
    if (key == VK_F9) {
        key = 0;
        btnTpCard->Execute();
    }
}

void TfrmEfetivos::btnTpCardBeforePesq()
{
    cdsTipoCard->Close();
    cdsTipoCard->LoadFromFile(dataFile(QStringLiteral("TIPOCARD.cds")));
    cdsTipoCard->SetFiltered(false);
    cdsTipoCard->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(medCdFilial->Text()));
    cdsTipoCard->SetFiltered(true);
}

void TfrmEfetivos::btnTpCardAfterPesq()
{
    edtCdTpCard->SetText(fieldText(cdsTipoCard, QStringLiteral("CDTIPOCARD")));
    edtNmTpCard->setText(fieldText(cdsTipoCard, QStringLiteral("NMTIPOCARD")));
    dpkData->setFocus();
}

void TfrmEfetivos::Vd_TipoCardapio()
{
    try {
        if (EmptyString(edtCdTpCard->Text())) {
            edtCdTpCard->setFocus();
            MensErro(msgPadrao.Msg(QStringLiteral("TpCard_Inf")), true);
        }
        cdsVdTipoCard->SetData(cdsTipoCard->Data());
        if (!cdsVdTipoCard->Locate(QStringLiteral("CDFILIAL;CDTIPOCARD"),
                                   QVariantList{medCdFilial->Text(), menuType()})) {
            edtCdTpCard->setFocus();
            MensErro(msgPadrao.Msg(QStringLiteral("TpCard_NCad")), true);
        }
    } catch (...) {
        edtCdTpCard->setFocus();
        throw;
    }
}

void TfrmEfetivos::dpkDataKeyDown(int &key, Qt::KeyboardModifiers)
{
    if (key == VK_F9) {
        key = 0;
        btnDataClick();
    }
}

void TfrmEfetivos::btnDataClick()
{
    Vd_TipoCardapio();
    cdsEfetivos->LoadFromFile(dataFile(QStringLiteral("EFETIVOS.cds")));
    cdsEfetivos->SetFiltered(false);
    cdsEfetivos->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(medCdFilial->Text())
                           + QStringLiteral(" AND CDTIPOCARD = ") + QuotedStr(menuType()));
    cdsEfetivos->SetFiltered(true);

    // Each day once: a headcount stored with a time of day is that day's.
    cdsAuxData->DisableControls();
    const auto release = qScopeGuard([this] { cdsAuxData->EnableControls(); });
    cdsAuxData->EmptyDataSet();
    const Field *data = cdsEfetivos->FieldByName(QStringLiteral("DTEFETIVO"));
    for (cdsEfetivos->First(); !cdsEfetivos->Eof(); cdsEfetivos->Next()) {
        const QDate dia = data->AsDateTime().date();
        const QDateTime inicio(dia, QTime(0, 0), Qt::UTC);
        if (!dia.isValid() || cdsAuxData->Locate(QStringLiteral("DTEFETIVO"), inicio))
            continue;
        cdsAuxData->Append();
        cdsAuxData->FieldByName(QStringLiteral("DTEFETIVO"))->SetAsDateTime(inicio);
        cdsAuxData->FieldByName(QStringLiteral("STDATE"))
            ->SetAsString(LocaleService::dateToText(dia));
        cdsAuxData->FieldByName(QStringLiteral("CDTIPOCARD"))->SetAsString(menuType());
        cdsAuxData->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(medCdFilial->Text());
        cdsAuxData->Post();
    }
    cdsAuxData->First();
    cdsAuxData->EnableControls();

    const QString titulo = msgPadrao.Msg(QStringLiteral("Data")) + u'|'
                           + msgPadrao.Msg(QStringLiteral("Efet_N_cad"));
    if (!Pesquisar(dtsAuxData, titulo, false, true))
        return;
    dpkData->SetDate(cdsAuxData->FieldByName(QStringLiteral("DTEFETIVO"))->AsDateTime().date());
    dpkData->setFocus();
}

// ------------------------------------------------------------ loading

void TfrmEfetivos::loadHeadcounts()
{
    Carregando = true;
    const auto done = qScopeGuard([this] {
        Carregando = false;
        if (cdsAuxEfetivos->ControlsDisabled())
            cdsAuxEfetivos->EnableControls();
        HabilitaControles();
    });
    // A failure below leaves the grid empty, never with another day's rows.
    cdsAuxEfetivos->Close();
    paintGrid(false);
    Vd_TipoCardapio();

    cdsEfetivos->Close();
    cdsEfetivos->LoadFromFile(dataFile(QStringLiteral("EFETIVOS.cds")));
    cdsEfetivos->SetFiltered(false);
    cdsEfetCli->Close();
    cdsEfetCli->LoadFromFile(dataFile(QStringLiteral("EFETCLIE.cds")));
    cdsServicos->Close();
    cdsServicos->LoadFromFile(dataFile(QStringLiteral("SERVICO.cds")));

    struct HeadcountRow
    {
        QString service;
        QDateTime date;
        QString centralBranch;
        double values[3] = {};
    };
    const QString filial = medCdFilial->Text();
    const QString tipo = menuType();
    const QDate dia = dpkData->Date();
    const QString quantidades[3] = {kClients, kStaff, kDonations};
    const QString rotulos[3] = {QStringLiteral("Clientes"), QStringLiteral("Funcionários"),
                                QStringLiteral("Doações")};
    // Only the rows shown are read: a text another branch keeps badly does
    // not stop this one, and a bad text shown is reported with its row. A
    // headcount stored with a time of day belongs to its day.
    QList<HeadcountRow> linhas;
    {
        // The branch's rows of this menu type come from the table's index,
        // not from a pass over every branch's history.
        FilterScope menuTypeRows(*cdsEfetivos, QStringLiteral("CDFILIAL = ") + QuotedStr(filial)
                                                   + QStringLiteral(" AND CDTIPOCARD = ")
                                                   + QuotedStr(tipo));
        const Field *dataEfetivo = cdsEfetivos->FieldByName(QStringLiteral("DTEFETIVO"));
        for (cdsEfetivos->First(); !cdsEfetivos->Eof(); cdsEfetivos->Next()) {
            const QDateTime data = dataEfetivo->AsDateTime();
            if (data.date() != dia)
                continue;
            HeadcountRow linha;
            linha.service = fieldText(cdsEfetivos, QStringLiteral("CDSERVFILI"));
            linha.date = data;
            linha.centralBranch = fieldText(cdsEfetivos, QStringLiteral("CDFILCENT"));
            for (int i = 0; i < 3; ++i) {
                try {
                    linha.values[i] = ConverteValorSemZero(fieldText(cdsEfetivos, quantidades[i]));
                } catch (const EConvertError &error) {
                    throw EConvertError(QStringLiteral("%1\nServiço %2, coluna %3.")
                                            .arg(error.message(), linha.service, rotulos[i]));
                }
            }
            linhas.append(linha);
        }
    }
    cdsEfetivos->Close();

    cdsAuxEfetivos->CreateDataSet();
    cdsAuxEfetivos->DisableControls();
    for (const HeadcountRow &linha : std::as_const(linhas)) {
        cdsAuxEfetivos->Append();
        cdsAuxEfetivos->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(filial);
        cdsAuxEfetivos->FieldByName(QStringLiteral("DTEFETIVO"))->SetAsDateTime(linha.date);
        cdsAuxEfetivos->FieldByName(QStringLiteral("CDSERVFILI"))->SetAsString(linha.service);
        cdsAuxEfetivos->FieldByName(QStringLiteral("CDTIPOCARD"))->SetAsString(tipo);
        cdsAuxEfetivos->FieldByName(QStringLiteral("CDFILCENT"))->SetAsString(linha.centralBranch);
        for (int i = 0; i < 3; ++i)
            cdsAuxEfetivos->FieldByName(quantidades[i])->SetAsFloat(linha.values[i]);
        QString nome;
        if (cdsServicos->Locate(QStringLiteral("CDFILIAL;CDSERVFILI"),
                                QVariantList{filial, linha.service}))
            nome = fieldText(cdsServicos, QStringLiteral("NMSERVICO"));
        cdsAuxEfetivos->FieldByName(QStringLiteral("NMSERVICO"))->SetAsString(nome);
        cdsAuxEfetivos->FieldByName(kTotal)->SetAsFloat(linha.values[0] + linha.values[1]
                                                        + linha.values[2]);
        cdsAuxEfetivos->Post();
    }
    cdsAuxEfetivos->First();
    cdsAuxEfetivos->EnableControls();
    if (breakdownPageActive())
        selectBreakdown();
    paintGrid(true);
}

// ------------------------------------------------------ headcount page

void TfrmEfetivos::VerificaVirgula(TDBGrid *grid, const QString &fieldName, QChar &key)
{
    // A number never starts with the decimal mark, and has one at most. A
    // key typed with the cell editor closed replaces the cell's text.
    if (key != LocaleService::decimalSeparator())
        return;
    const QString typed = grid->EditorMode() ? GridText(grid, fieldName) : QString();
    if (typed.isEmpty() || typed.contains(key))
        key = QChar();
}

void TfrmEfetivos::dbgPadraoKeyPress(QChar &key)
{
    if (!cdsAuxEfetivos->Active() || cdsAuxEfetivos->IsEmpty()) {
        key = QChar();
        return;
    }
    NumericKeyPress(key, true);
    const Field *field = dbgPadrao->SelectedField();
    if (!key.isNull() && field && isQuantity(field->FieldName()))
        VerificaVirgula(dbgPadrao, field->FieldName(), key);
}

// A row is stored with its three quantities, whatever cell the operator
// left last.
void TfrmEfetivos::checkQuantities(const Table &table)
{
    for (const QString &name : {kClients, kStaff, kDonations})
        if (EmptyString(fieldText(&table, name)))
            MensErro(msgPadrao.Msg(QStringLiteral("Qtd_Inf")), true);
}

void TfrmEfetivos::dbgPadraoColExit()
{
    const Field *leaving = dbgPadrao->SelectedField();
    if (cdsAuxEfetivos->State() != DataSetState::Edit || !leaving
        || !isQuantity(leaving->FieldName()))
        return;
    if (EmptyString(GridText(dbgPadrao, kClients)) || EmptyString(GridText(dbgPadrao, kStaff))
        || EmptyString(GridText(dbgPadrao, kDonations)))
        MensErro(msgPadrao.Msg(QStringLiteral("Qtd_Inf")), true);
    cdsAuxEfetivos->FieldByName(kTotal)->SetAsFloat(
        cdsAuxEfetivos->FieldByName(kClients)->AsFloat()
        + cdsAuxEfetivos->FieldByName(kStaff)->AsFloat()
        + cdsAuxEfetivos->FieldByName(kDonations)->AsFloat());
}

void TfrmEfetivos::cdsAuxEfetivosNewRecord()
{
    // Headcount rows come from the central system only.
    if (!Carregando)
        throw EAbort();
}

void TfrmEfetivos::cdsAuxEfetivosBeforePost()
{
    if (Carregando)
        return;
    Table *row = cdsAuxEfetivos;
    row->FieldByName(kTotal)->SetAsFloat(row->FieldByName(kClients)->AsFloat()
                                         + row->FieldByName(kStaff)->AsFloat()
                                         + row->FieldByName(kDonations)->AsFloat());
    // The sums of a breakdown just written with EFETIVOS.cds.
    if (m_gridOnly)
        return;
    checkQuantities(*row);
    if (!breakdownPageActive() && row->State() == DataSetState::Edit)
        checkBreakdownSums();
    // The file is written before the row is stored, so that a refused or
    // failed write leaves the row being edited with what was typed.
    prepareHeadcountRecord(row->FieldByName(kClients)->AsFloat(),
                           row->FieldByName(kStaff)->AsFloat(),
                           row->FieldByName(kDonations)->AsFloat());
    cdsEfetivos->SaveToFile(dataFile(QStringLiteral("EFETIVOS.cds")));
}

void TfrmEfetivos::cdsAuxEfetivosAfterPost()
{
    if (Carregando || m_gridOnly)
        return;
    HabilitaControles();
}

void TfrmEfetivos::prepareHeadcountRecord(double clients, double staff, double donations)
{
    cdsEfetivos->Close();
    cdsEfetivos->LoadFromFile(dataFile(QStringLiteral("EFETIVOS.cds")));
    cdsEfetivos->SetFiltered(false);
    const QVariantList chave{
        fieldText(cdsAuxEfetivos, QStringLiteral("CDFILIAL")),
        cdsAuxEfetivos->FieldByName(QStringLiteral("DTEFETIVO"))->AsDateTime(),
        fieldText(cdsAuxEfetivos, QStringLiteral("CDSERVFILI")),
        fieldText(cdsAuxEfetivos, QStringLiteral("CDTIPOCARD")),
    };
    // The record is edited among its branch's rows of its menu type, which
    // hold every row of its key: the file's other rows need not be put in
    // order for it.
    FilterScope menuTypeRows(
        *cdsEfetivos, QStringLiteral("CDFILIAL = ") + QuotedStr(chave[0].toString())
                          + QStringLiteral(" AND CDTIPOCARD = ") + QuotedStr(chave[3].toString()));
    // The record may have gone from the file since it was loaded: another
    // record must not take its numbers.
    if (!cdsEfetivos->Locate(kHeadcountKey, chave)) {
        menuTypeRows.restore();
        MensErro(msgPadrao.Msg(QStringLiteral("Efet_N_Enc")), true);
    }
    cdsEfetivos->Edit();
    cdsEfetivos->FieldByName(kClients)->SetAsString(FloatToStr(clients));
    cdsEfetivos->FieldByName(kStaff)->SetAsString(FloatToStr(staff));
    cdsEfetivos->FieldByName(kDonations)->SetAsString(FloatToStr(donations));
    cdsEfetivos->Post();
}

void TfrmEfetivos::checkBreakdownSums()
{
    if (!cdsEfetCli->Active())
        cdsEfetCli->LoadFromFile(dataFile(QStringLiteral("EFETCLIE.cds")));
    selectBreakdown();
    Sums sums;
    for (cdsEfetCli->First(); !cdsEfetCli->Eof(); cdsEfetCli->Next())
        sums.add(fieldText(cdsEfetCli, kClients), fieldText(cdsEfetCli, kStaff),
                 fieldText(cdsEfetCli, kDonations));
    cdsEfetCli->First();
    if (!sums.hasRows)
        return;
    SomaClientes = sums.clients;
    SomaFuncionarios = sums.staff;
    SomaDoacoes = sums.donations;
    const struct
    {
        const QString &field;
        double sum;
        const char *messageKey;
    } checks[] = {{kClients, SomaClientes, "Som_Cli_Dif"},
                  {kStaff, SomaFuncionarios, "Som_Func_Dif"},
                  {kDonations, SomaDoacoes, "Som_Doac_Dif"}};
    for (const auto &check : checks) {
        const QString linha = fieldText(cdsAuxEfetivos, check.field);
        const int casas = std::max(sums.places, decimalPlaces(linha));
        const double valor = cdsAuxEfetivos->FieldByName(check.field)->AsFloat();
        if (equalAt(check.sum, 0, casas) || equalAt(valor, check.sum, casas))
            continue;
        dbgPadrao->setFocus();
        MensErro(msgPadrao.Msg(QString::fromLatin1(check.messageKey)), true);
    }
}

void TfrmEfetivos::dtsPadraoStateChange()
{
    if (Carregando || m_gridOnly)
        return;
    HabilitaControles();
}

void TfrmEfetivos::dbnPadraoClick()
{
    if (breakdownPageActive()) {
        cdsAuxEfetivos->DisableControls();
        const auto release = qScopeGuard([this] { cdsAuxEfetivos->EnableControls(); });
        selectBreakdown();
    }
    HabilitaControles();
}

void TfrmEfetivos::pgcPadraoChange()
{
    TfrmPadrao::pgcPadraoChange();
    if (breakdownPageActive())
        openBreakdown();
    HabilitaControles();
}

void TfrmEfetivos::pgcPadraoExit()
{
    Table *table = activeTable();
    if (!isEditing(table))
        return;
    // What was typed is never thrown away: when the store fails the row
    // stays being edited, and the keyboard stays with it instead of going
    // to the header, whose entry would close the table.
    m_leavingPages = true;
    const auto left = qScopeGuard([this] { m_leavingPages = false; });
    if (!guarded(this, [table] { table->Post(); }))
        (breakdownPageActive() ? dbgClientes : dbgPadrao)->setFocus();
}

// ------------------------------------------------------ breakdown page

bool TfrmEfetivos::breakdownPageActive() const
{
    return pgcPadrao->ActivePage() == tshFormulario;
}

Table *TfrmEfetivos::activeTable() const
{
    return breakdownPageActive() ? cdsEfetCli : cdsAuxEfetivos;
}

void TfrmEfetivos::selectBreakdown()
{
    if (!cdsEfetCli->Active())
        return;
    cdsEfetCli->DisableControls();
    const auto release = qScopeGuard([this] { cdsEfetCli->EnableControls(); });
    const QString servico = cdsAuxEfetivos->Active() && !cdsAuxEfetivos->IsEmpty()
                                ? fieldText(cdsAuxEfetivos, QStringLiteral("CDSERVFILI"))
                                : QString();
    cdsEfetCli->SetFiltered(false);
    cdsEfetCli->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(medCdFilial->Text())
                          + QStringLiteral(" AND CDTIPOCARD = ") + QuotedStr(menuType())
                          + QStringLiteral(" AND CDSERVFILI = ") + QuotedStr(servico)
                          + QStringLiteral(" AND DTPROGENTR = ") + QuotedStr(dateText()));
    cdsEfetCli->SetFiltered(true);
    cdsEfetCli->First();
}

void TfrmEfetivos::openBreakdown()
{
    cdsEfetCli->Close();
    cdsEfetCli->LoadFromFile(dataFile(QStringLiteral("EFETCLIE.cds")));
    selectBreakdown();
    if (cdsEfetCli->IsEmpty())
        generateBreakdown();
    dbgClientes->setFocus();
}

void TfrmEfetivos::generateBreakdown()
{
    const QString filial = medCdFilial->Text();
    const QString tipo = menuType();
    const QString servico = fieldText(cdsAuxEfetivos, QStringLiteral("CDSERVFILI"));
    cdsServClie->Close();
    cdsServClie->LoadFromFile(dataFile(QStringLiteral("SERVCLIE.cds")));
    cdsServClie->SetFiltered(false);
    cdsServClie->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(filial)
                           + QStringLiteral(" AND CDTIPOCARD = ") + QuotedStr(tipo)
                           + QStringLiteral(" AND CDSERVFILI = ") + QuotedStr(servico));
    cdsServClie->SetFiltered(true);
    cdsServClie->First();
    if (cdsServClie->IsEmpty())
        return;

    FilialCentral = fieldText(cdsAuxEfetivos, QStringLiteral("CDFILCENT"));
    GerandoClientes = QStringLiteral("S");
    cdsEfetCli->DisableControls();
    const auto done = qScopeGuard([this] {
        GerandoClientes = QStringLiteral("N");
        if (isEditing(cdsEfetCli))
            cdsEfetCli->Cancel();
        cdsEfetCli->EnableControls();
    });
    const QDate dia = dpkData->Date();
    try {
        for (; !cdsServClie->Eof(); cdsServClie->Next()) {
            cdsEfetCli->Append();
            auto set = [this](const QString &name, const QString &value) {
                cdsEfetCli->FieldByName(name)->SetAsString(value);
            };
            set(QStringLiteral("CDFILCENT"), FilialCentral);
            set(QStringLiteral("CDFILIAL"), filial);
            set(QStringLiteral("CDTIPOCARD"), tipo);
            set(QStringLiteral("CDSERVFILI"), servico);
            set(QStringLiteral("CDCLIENTE"), fieldText(cdsServClie, QStringLiteral("CDCLIENTE")));
            set(QStringLiteral("NMCLIENTE"), fieldText(cdsServClie, QStringLiteral("NMCLIENTE")));
            cdsEfetCli->FieldByName(QStringLiteral("DTPROGENTR"))->SetAsDate(dia);
            set(kClients, QStringLiteral("0"));
            set(kStaff, QStringLiteral("0"));
            set(kDonations, QStringLiteral("0"));
            set(QStringLiteral("FILTPCSEDT"), filial + tipo + servico + dateText());
            cdsEfetCli->Post();
        }
        // One write for the whole breakdown.
        cdsEfetCli->SaveToFile(dataFile(QStringLiteral("EFETCLIE.cds")));
    } catch (...) {
        // Rows that did not reach the file are not kept: the page shows
        // what the file holds, and opening it again generates them anew.
        if (isEditing(cdsEfetCli))
            cdsEfetCli->Cancel();
        cdsEfetCli->LoadFromFile(dataFile(QStringLiteral("EFETCLIE.cds")));
        selectBreakdown();
        throw;
    }
    cdsEfetCli->First();
}

void TfrmEfetivos::dbgClientesKeyPress(QChar &key)
{
    if (!cdsEfetCli->Active() || cdsEfetCli->IsEmpty()) {
        key = QChar();
        return;
    }
    NumericKeyPress(key, true);
    const Field *field = dbgClientes->SelectedField();
    if (!key.isNull() && field && isQuantity(field->FieldName()))
        VerificaVirgula(dbgClientes, field->FieldName(), key);
}

void TfrmEfetivos::dbgClientesColExit()
{
    if (cdsEfetCli->State() != DataSetState::Edit)
        return;
    if (EmptyString(GridText(dbgClientes, kClients)) || EmptyString(GridText(dbgClientes, kStaff))
        || EmptyString(GridText(dbgClientes, kDonations)))
        MensErro(msgPadrao.Msg(QStringLiteral("Qtd_Inf")), true);
}

void TfrmEfetivos::cdsEfetCliBeforeInsert()
{
    if (GerandoClientes != QLatin1String("S"))
        throw EAbort();
}

void TfrmEfetivos::cdsEfetCliNewRecord()
{
    if (GerandoClientes != QLatin1String("S"))
        throw EAbort();
}

void TfrmEfetivos::cdsEfetCliBeforePost()
{
    if (GerandoClientes == QLatin1String("S"))
        return;
    checkQuantities(*cdsEfetCli);

    // The sums of the breakdown with the row being stored, as it will be.
    Sums sums;
    const int atual = cdsEfetCli->CurrentIndex();
    const int campos[3]
        = {cdsEfetCli->FieldByName(kClients)->Index(), cdsEfetCli->FieldByName(kStaff)->Index(),
           cdsEfetCli->FieldByName(kDonations)->Index()};
    for (int row = 0; row < cdsEfetCli->ViewCount(); ++row) {
        if (row == atual)
            sums.add(fieldText(cdsEfetCli, kClients), fieldText(cdsEfetCli, kStaff),
                     fieldText(cdsEfetCli, kDonations));
        else
            sums.add(cdsEfetCli->TextAt(row, campos[0]), cdsEfetCli->TextAt(row, campos[1]),
                     cdsEfetCli->TextAt(row, campos[2]));
    }
    SomaClientes = rounded(sums.clients, sums.places);
    SomaFuncionarios = rounded(sums.staff, sums.places);
    SomaDoacoes = rounded(sums.donations, sums.places);
    m_updateHeadcount = false;
    const double somasLinha[3] = {SomaClientes, SomaFuncionarios, SomaDoacoes};
    const QString nomes[3] = {kClients, kStaff, kDonations};
    for (int i = 0; i < 3; ++i) {
        const int casas = std::max(sums.places, decimalPlaces(fieldText(cdsAuxEfetivos, nomes[i])));
        if (!equalAt(cdsAuxEfetivos->FieldByName(nomes[i])->AsFloat(), somasLinha[i], casas))
            m_updateHeadcount = true;
    }

    // EFETCLIE.cds as it will be once the row is stored.
    Table gravado(QStringLiteral("cdsGravaCli"));
    gravado.Declare(RecordedTables::efetClie());
    gravado.SetData(cdsEfetCli->Data());
    gravado.SetIndexFieldNames(QString());
    const QVariantList chave{
        fieldText(cdsEfetCli, QStringLiteral("CDFILIAL")),
        fieldText(cdsEfetCli, QStringLiteral("CDTIPOCARD")),
        fieldText(cdsEfetCli, QStringLiteral("CDSERVFILI")),
        cdsEfetCli->FieldByName(QStringLiteral("DTPROGENTR"))->AsDate(),
        fieldText(cdsEfetCli, QStringLiteral("CDCLIENTE")),
    };
    if (!gravado.Locate(kBreakdownKey, chave))
        throw EDatabaseError(QStringLiteral("Cliente %1 não encontrado em EFETCLIE.cds.")
                                 .arg(fieldText(cdsEfetCli, QStringLiteral("NMCLIENTE"))));
    gravado.Edit();
    for (const QString &name : nomes)
        gravado.FieldByName(name)->SetAsString(fieldText(cdsEfetCli, name));
    gravado.Post();

    // The breakdown and the headcount it sets are written together: a
    // failure between them cannot leave a headcount that the stored
    // breakdown refuses for ever.
    if (m_updateHeadcount) {
        prepareHeadcountRecord(SomaClientes, SomaFuncionarios, SomaDoacoes);
        Table::SaveToFiles({{&gravado, dataFile(QStringLiteral("EFETCLIE.cds"))},
                            {cdsEfetivos, dataFile(QStringLiteral("EFETIVOS.cds"))}});
    } else {
        gravado.SaveToFile(dataFile(QStringLiteral("EFETCLIE.cds")));
    }
}

void TfrmEfetivos::cdsEfetCliAfterPost()
{
    if (GerandoClientes == QLatin1String("S"))
        return;
    if (m_updateHeadcount) {
        m_updateHeadcount = false;
        // The headcount row shows the sums the file now holds.
        m_gridOnly = true;
        const auto done = qScopeGuard([this] { m_gridOnly = false; });
        cdsAuxEfetivos->Edit();
        cdsAuxEfetivos->FieldByName(kClients)->SetAsFloat(SomaClientes);
        cdsAuxEfetivos->FieldByName(kStaff)->SetAsFloat(SomaFuncionarios);
        cdsAuxEfetivos->FieldByName(kDonations)->SetAsFloat(SomaDoacoes);
        cdsAuxEfetivos->Post();
    }
    HabilitaControles();
    // A row stored on the way out of the page control lets the focus go
    // where the operator sent it (the header, which then closes the tables).
    if (!m_leavingPages)
        dbgClientes->setFocus();
}

void TfrmEfetivos::dtsEfetCliStateChange()
{
    if (Carregando || m_gridOnly || GerandoClientes == QLatin1String("S"))
        return;
    HabilitaControles();
}

// ------------------------------------------------------------ commands

void TfrmEfetivos::sbtIncluirClick() {}

void TfrmEfetivos::sbtExcluirClick() {}

void TfrmEfetivos::sbtAlterarClick()
{
    Table *table = activeTable();
    TDBGrid *grid = breakdownPageActive() ? dbgClientes : dbgPadrao;
    if (table->Active() && table->State() == DataSetState::Browse && !table->IsEmpty()) {
        table->Edit();
        const Field *selected = grid->SelectedField();
        if (!selected || !isQuantity(selected->FieldName()))
            grid->SetSelectedField(kClients);
    }
    grid->setFocus();
    HabilitaControles();
}

void TfrmEfetivos::sbtProcurarClick()
{
    Table *table = activeTable();
    if (table->Active())
        Procura(table);
}

void TfrmEfetivos::sbtVerificarClick()
{
    loadHeadcounts();
}

void TfrmEfetivos::sbtConfirmarClick()
{
    RefreshGrid(this);
    Table *table = activeTable();
    if (isEditing(table))
        table->Post();
    HabilitaControles();
}

void TfrmEfetivos::sbtCancelarClick()
{
    Table *table = activeTable();
    if (isEditing(table)
        && ShowMsg(msgMensagensPadroes, QStringLiteral("Canc"), MsgType::Confirmation, mbYes | mbNo)
               == mrYes)
        table->Cancel();
    HabilitaControles();
}

void TfrmEfetivos::HabilitaControles()
{
    const bool efetivoEditando = isEditing(cdsAuxEfetivos);
    const bool clienteEditando = isEditing(cdsEfetCli);
    const Table *ativa = activeTable();
    const bool navegando = ativa->State() == DataSetState::Browse && !ativa->IsEmpty();

    sbtConfirmar.SetEnabled(efetivoEditando || clienteEditando);
    sbtCancelar.SetEnabled(efetivoEditando || clienteEditando);
    sbtAlterar.SetEnabled(navegando);
    sbtProcurar.SetEnabled(navegando);
    sbtVerificar.SetEnabled(navegando);
    sbtIncluir.SetEnabled(false);
    sbtExcluir.SetEnabled(false);
    sbtImprimir.SetEnabled(false);
    sbtAjuda.SetEnabled(false);
    mnuConfigImpressora->setEnabled(false);
    // A breakdown row being edited is stored against the headcount row it
    // belongs to: the headcount rows do not move under it.
    dbnPadrao->setEnabled(cdsAuxEfetivos->State() == DataSetState::Browse && !clienteEditando);

    tshFolhaDados->setEnabled(!clienteEditando);
    mnuFolhaDados->setEnabled(!clienteEditando);
    const bool clientes = !efetivoEditando && cdsAuxEfetivos->Active()
                          && !cdsAuxEfetivos->IsEmpty();
    tshFormulario->setEnabled(clientes);
    mnuFormulario->setEnabled(clientes);
}

void TfrmEfetivos::showServiceName()
{
    const bool shown = cdsAuxEfetivos->Active() && !cdsAuxEfetivos->IsEmpty();
    dbtNome->setText(shown ? fieldText(cdsAuxEfetivos, QStringLiteral("NMSERVICO")) : QString());
}

} // namespace kiv

KIV_REGISTER_TASK_WINDOW(kiv::TaskWindow::Efetivos, kiv::TfrmEfetivos)
