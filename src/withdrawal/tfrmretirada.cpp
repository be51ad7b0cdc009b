#include "tfrmretirada.h"

#include "datasource.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "dbnavigator.h"
#include "errors.h"
#include "fieldeditmask.h"
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
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QShowEvent>
#include <QToolButton>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace kiv {

namespace {

const QString kProductCode = QStringLiteral("CDARVPROD");
const QString kUnit = QStringLiteral("SGUNIDADE");
const QString kPlanned = QStringLiteral("QTPREVRETI");
const QString kConsumed = QStringLiteral("QTCONSRETI");
const QString kWithdrawalType = QStringLiteral("CDTIPORETI");
const QString kQuantityFormat = QStringLiteral("##0.00000");
const QString kPrevRetiFile = QStringLiteral("PREVRETI.cds");

bool isField(const Field *field, const QString &name)
{
    return field && field->FieldName().compare(name, Qt::CaseInsensitive) == 0;
}

bool inside(const QWidget *container, const QWidget *widget)
{
    return widget && (widget == container || container->isAncestorOf(widget));
}

// A quantity text in the file's format, read the way the main window reads
// numbers.
QString formatted(const QString &text)
{
    return FormatFloat(kQuantityFormat, ConverteValor(text));
}

// A quantity text already in the file's format: digits without a leading
// zero (a lone zero excepted), the separator and five decimals. Most texts
// are, and need not be read and formatted again to know it.
bool inFormat(std::string_view bytes, char separator)
{
    const size_t n = bytes.size();
    if (n < 7 || n > 18 || bytes[n - 6] != separator)
        return false;
    const size_t integer = n - 6;
    if (bytes[0] == '0' && integer > 1)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (i != integer && (bytes[i] < '0' || bytes[i] > '9'))
            return false;
    return true;
}

} // namespace

TfrmRetirada::TfrmRetirada(const LoginSession &session, QWidget *parent)
    : TfrmPadraoGrid(parent)
{
    SetSession(session);
    setObjectName(QStringLiteral("TfrmRetirada"));
    setWindowTitle(QStringLiteral("Retirada por Serviço"));
    lblCodTela->setText(QStringLiteral("KIS00600"));
    msgPadrao = TMessages{
        QStringLiteral("Excl|Confirma exclusão?"),
        QStringLiteral("Produto|Produto"),
        QStringLiteral("Prod_NCad|Produto não cadastrado."),
        QStringLiteral("TipoReti|Tipo de Retirada"),
        QStringLiteral("TipoReti_NCad|Tipo de retirada não cadastrado."),
        QStringLiteral("Prod_Inf|Produto deve ser informado."),
        QStringLiteral("Cons_Inf|Consumo deve ser informado."),
        QStringLiteral("TipoReti_Inf|Tipo de retirada deve ser informado."),
        QStringLiteral("Data_Fora|Data selecionada fora do intervalo de dez dias"),
        QStringLiteral("Prod_JaCad|Produto já cadastrado."),
        QStringLiteral("Prev_N_Cad|Não há Previsão de Retirada para a filial informada."),
        QStringLiteral("Data|Data"),
    };
    declareTables();
    buildControls();

    // Withdrawals are neither listed nor printed here, and there is no help.
    sbtImprimir.SetEnabled(false);
    mnuConfigImpressora->setEnabled(false);
    sbtAjuda.SetEnabled(false);
    // The delete button stays off whatever the menu entry does: it no longer
    // shows the entry.
    sbtExcluir.button->setDefaultAction(nullptr);
    sbtExcluir.button->removeAction(sbtExcluir.menu);
    sbtExcluir.button->setText(QStringLiteral("Excluir"));
    sbtExcluir.button->setEnabled(false);
    HabilitaControles();
}

TfrmRetirada::~TfrmRetirada()
{
    // The tables and controls outlive this part of the window while the
    // base classes are destroyed: none of them may call back into it.
    dtsAuxPrevReti->disconnect(this);
    dpkData->OnEnter = nullptr;
    dpkData->OnExit = nullptr;
    dbgServico->OnEnter = nullptr;
    dbgPadrao->OnEnter = nullptr;
    dbgPadrao->OnColExit = nullptr;
    dbgPadrao->OnDrawColumnCell = nullptr;
    cdsAuxPrevReti->BeforeScroll = nullptr;
    for (Table *table : {cdsPrevReti, cdsAuxPrevReti, cdsPesqServ}) {
        table->AfterScroll = nullptr;
        table->OnCalcFields = nullptr;
    }
}

void TfrmRetirada::declareTables()
{
    cdsPrevReti = new Table(QStringLiteral("cdsPrevReti"), this);
    cdsPrevReti->Declare(RecordedTables::prevReti());
    cdsPrevReti->BeforeInsert = [this](Table &) { cdsPrevRetiBeforeInsert(); };
    cdsPrevReti->OnNewRecord = [this](Table &) { cdsPrevRetiNewRecord(); };
    cdsPrevReti->BeforePost = [this](Table &) { cdsPrevRetiBeforePost(); };
    cdsPrevReti->AfterPost = [this](Table &) { cdsPrevRetiAfterPost(); };
    // The delete entry depends on the row: planned rows are not deleted.
    cdsPrevReti->AfterScroll = [this](Table &) {
        if (!Carregando)
            HabilitaControles();
    };

    cdsServico = new Table(QStringLiteral("cdsServico"), this);
    cdsServico->Declare(RefTables::servico());
    cdsPesqServ = new Table(QStringLiteral("cdsPesqServ"), this);
    TableDecl pesq = RefTables::servico();
    for (FieldDef &def : pesq.fields)
        def.visible =
            def.name == QLatin1String("CDSERVFILI") || def.name == QLatin1String("NMSERVICO");
    cdsPesqServ->Declare(pesq);
    cdsPesqServ->AfterScroll = [this](Table &) { cdsPesqServAfterScroll(); };

    cdsAuxPrevReti = new Table(QStringLiteral("cdsAuxPrevReti"), this);
    FieldDef cdnm = FieldDef::text(QStringLiteral("CDNMSERVICO"), 50, QStringLiteral("Serviço"));
    cdnm.calculated = true;
    cdsAuxPrevReti->SetFieldDefs({
        FieldDef::text(QStringLiteral("CDFILIAL"), 4, QString(), false),
        FieldDef::text(QStringLiteral("CDSERVFILI"), 5, QStringLiteral("Código")),
        FieldDef::text(QStringLiteral("NMSERVICO"), 40, QStringLiteral("Serviço")),
        cdnm,
    });
    cdsAuxPrevReti->SetIndexFieldNames(QStringLiteral("CDSERVFILI"));
    cdsAuxPrevReti->OnCalcFields = [this](Table &) { cdsAuxPrevRetiCalcFields(); };
    cdsAuxPrevReti->BeforeScroll = [this](Table &) { cdsAuxPrevRetiBeforeScroll(); };
    cdsAuxPrevReti->AfterScroll = [this](Table &) { cdsAuxPrevRetiAfterScroll(); };
    cdsAuxPrevReti->OnNewRecord = [this](Table &) { cdsAuxPrevRetiNewRecord(); };
    dtsAuxPrevReti = new TDataSource(this);
    dtsAuxPrevReti->setObjectName(QStringLiteral("dtsAuxPrevReti"));
    dtsAuxPrevReti->setDataSet(cdsAuxPrevReti);

    cdsAuxData = new Table(QStringLiteral("cdsAuxData"), this);
    cdsAuxData->SetFieldDefs({
        FieldDef::of(QStringLiteral("DTPREVRETI"), FieldKind::DateTime, QString(), false),
        FieldDef::text(QStringLiteral("STDATE"), 12, QStringLiteral("Data de Retirada")),
    });
    cdsAuxData->SetIndexFieldNames(QStringLiteral("DTPREVRETI"));
    dtsAuxData = new TDataSource(this);
    dtsAuxData->setObjectName(QStringLiteral("dtsAuxData"));
    dtsAuxData->setDataSet(cdsAuxData);

    cdsProduto = new Table(QStringLiteral("cdsProduto"), this);
    cdsProduto->Declare(RefTables::produto(RefTables::ProductReader::Withdrawals));
    dtsProduto = new TDataSource(this);
    dtsProduto->setObjectName(QStringLiteral("dtsProduto"));
    dtsProduto->setDataSet(cdsProduto);
    cdsVdProduto = new Table(QStringLiteral("cdsVdProduto"), this);
    cdsVdProduto->Declare(RefTables::produto(RefTables::ProductReader::Withdrawals));

    cdsTipoReti = new Table(QStringLiteral("cdsTipoReti"), this);
    cdsTipoReti->Declare(RefTables::tipoReti());
    dtsTipoReti = new TDataSource(this);
    dtsTipoReti->setObjectName(QStringLiteral("dtsTipoReti"));
    dtsTipoReti->setDataSet(cdsTipoReti);
    cdsVdTipoReti = new Table(QStringLiteral("cdsVdTipoReti"), this);
    cdsVdTipoReti->Declare(RefTables::tipoReti());
}

void TfrmRetirada::buildControls()
{
    panGrupFili = new QWidget(ClientArea());
    panGrupFili->setObjectName(QStringLiteral("panGrupFili"));
    auto *filial = new QHBoxLayout(panGrupFili);
    filial->setContentsMargins(0, 0, 0, 0);
    lblFilial = new QLabel(QStringLiteral("Filial Agregada"), panGrupFili);
    lblFilial->setObjectName(QStringLiteral("lblFilial"));
    auto *btnFilial = new QToolButton(panGrupFili);
    btnFilial->setObjectName(QStringLiteral("btnFilial"));
    btnFilial->setText(QStringLiteral("..."));
    medCdFilial = new TMaskEdit(panGrupFili);
    medCdFilial->setObjectName(QStringLiteral("medCdFilial"));
    medCdFilial->setEditMask(QStringLiteral("9999;0; "));
    medCdFilial->setMaxLength(4);
    medCdFilial->setFixedWidth(medCdFilial->fontMetrics().horizontalAdvance(
                                   QStringLiteral("00000")) + 16);
    edtNmFilial = new QLineEdit(panGrupFili);
    edtNmFilial->setObjectName(QStringLiteral("edtNmFilial"));
    edtNmFilial->setMinimumWidth(edtNmFilial->fontMetrics().averageCharWidth() * 30);
    for (QWidget *w : {static_cast<QWidget *>(btnFilial), static_cast<QWidget *>(medCdFilial),
                       static_cast<QWidget *>(edtNmFilial)})
        w->setEnabled(false);
    filial->addWidget(lblFilial);
    filial->addWidget(btnFilial);
    filial->addWidget(medCdFilial);
    filial->addWidget(edtNmFilial, 1);

    panData = new QWidget(ClientArea());
    panData->setObjectName(QStringLiteral("panData"));
    auto *data = new QHBoxLayout(panData);
    data->setContentsMargins(0, 0, 0, 0);
    lblData = new QLabel(QStringLiteral("Data"), panData);
    lblData->setObjectName(QStringLiteral("lblData"));
    dpkData = new TDateTimePicker(panData);
    dpkData->setObjectName(QStringLiteral("dpkData"));
    lblData->setBuddy(dpkData);
    // The date strip holds one control that takes the focus: entering and
    // leaving the date picker is entering and leaving the strip.
    dpkData->OnEnter = [this] { panDataEnter(); };
    dpkData->OnExit = [this] { panDataExit(); };
    dpkData->OnKeyDown = [this](int &key, Qt::KeyboardModifiers shift) {
        dpkDataKeyDown(key, shift);
    };
    btnData = new TBtnPesquisa(panData);
    btnData->setObjectName(QStringLiteral("btnData"));
    btnData->SetTitle(msgPadrao.Msg(QStringLiteral("Data")));
    btnData->SetEmptyError(msgPadrao.Msg(QStringLiteral("Prev_N_Cad")));
    btnData->setToolTip(QStringLiteral("Pesquisar"));
    btnData->SetDataSource(dtsAuxData);
    btnData->OnBeforePesq = [this] { btnDataClick(); };
    btnData->OnAfterPesq = [this] {
        dpkData->SetDate(LocaleService::textToDate(
            cdsAuxData->FieldByName(QStringLiteral("STDATE"))->AsString()));
        DataPesquisada = true;
        dbgServico->setFocus();
        // The lookup has just closed and the window may not be active again
        // yet: then the focus move is only noted, and the window comes back
        // with the focus in the list without the date strip being left.
        if (!m_productsOpen)
            panDataExit();
    };
    data->addWidget(lblData);
    data->addWidget(dpkData);
    data->addWidget(btnData);
    data->addStretch(1);

    ClientLayout()->insertWidget(0, panGrupFili);
    ClientLayout()->insertWidget(1, panData);

    // The service list and the product grid side by side on the one page.
    auto *page = static_cast<QVBoxLayout *>(tshPadrao->layout());
    page->removeWidget(dbgPadrao);
    splServico = new QSplitter(Qt::Horizontal, tshPadrao);
    splServico->setObjectName(QStringLiteral("splServico"));
    dbgServico = new TDBGrid(splServico);
    dbgServico->setObjectName(QStringLiteral("dbgServico"));
    dbgServico->SetDataSource(dtsAuxPrevReti);
    dbgServico->SetReadOnly(true);
    dbgServico->SetTabsMoveCells(false);
    dbgServico->setSelectionBehavior(QAbstractItemView::SelectRows);
    // The widths the window was drawn with; quantities are read whole.
    dbgServico->Columns().Add(QStringLiteral("CDNMSERVICO"), QStringLiteral("Serviço"))
        ->SetDesignWidth(125);
    dbgServico->OnEnter = [this] { dbgServicoEnter(); };
    splServico->addWidget(dbgServico);
    splServico->addWidget(dbgPadrao);
    splServico->setStretchFactor(0, 0);
    splServico->setStretchFactor(1, 1);
    splServico->setSizes({260, 560});
    page->addWidget(splServico);
    buildProductGrid();
    setTabOrder(dpkData, dbgServico);
    setTabOrder(dbgServico, dbgPadrao);

    // The navigator strip moves in the service list and names its service.
    dbnPadrao->SetDataSource(dtsAuxPrevReti);
    dbnPadrao->OnClick = [this](TNavigateBtn) { dbnPadraoClick(); };
    dbtNome = new QLabel(ClientArea());
    dbtNome->setObjectName(QStringLiteral("dbtNome"));
    for (int i = 0; i < ClientLayout()->count(); ++i)
        if (QLayout *strip = ClientLayout()->itemAt(i)->layout();
            strip && strip->indexOf(dbnPadrao) >= 0)
            static_cast<QHBoxLayout *>(strip)->insertWidget(0, dbtNome, 1);
    connect(dtsAuxPrevReti, &TDataSource::dataChanged, this, [this] { showService(); });

    resize(900, 520);
}

void TfrmRetirada::buildProductGrid()
{
    dbgPadrao->SetDataSource(dtsPadrao);
    dtsPadrao->setDataSet(cdsPrevReti);
    dbgPadrao->Columns().Add(kProductCode, QStringLiteral("Produto"))->SetDesignWidth(130);
    TColumn *unidade = dbgPadrao->Columns().Add(kUnit, QStringLiteral("Unidade"));
    unidade->SetDesignWidth(48);
    unidade->SetReadOnly(true);
    TColumn *prevista = dbgPadrao->Columns().Add(kPlanned, QStringLiteral("Prevista"));
    prevista->SetDesignWidth(55, 10);
    prevista->SetReadOnly(true);
    prevista->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TColumn *consumida = dbgPadrao->Columns().Add(kConsumed, QStringLiteral("Consumida"));
    consumida->SetDesignWidth(58, 10);
    consumida->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    dbgPadrao->Columns().Add(kWithdrawalType, QStringLiteral("Tp Retirada"))->SetDesignWidth(75);
    dbgPadrao->SetTabsMoveCells(true);
    dbgPadrao->SetDeleteQuestion(msgPadrao.Msg(QStringLiteral("Excl")));
    dbgPadrao->OnColExit = [this] { dbgPadraoColExit(); };
    dbgPadrao->OnEditButtonClick = [this] { dbgPadraoEditButtonClick(); };
    dbgPadrao->OnDrawColumnCell = [this](TColumnCellDraw &cell) { dbgPadraoDrawColumnCell(cell); };
    dbgPadrao->OnEnter = [this] { dbgPadraoEnter(); };
}

QString TfrmRetirada::dataFile(const QString &fileName) const
{
    return Session().file(fileName);
}

// ------------------------------------------------------------ creation

void TfrmRetirada::FormCreate()
{
    TfrmPadraoGrid::FormCreate();
    Carregando = true;
    const auto loaded = qScopeGuard([this] { Carregando = false; });

    m_branch = Session().branch;
    medCdFilial->SetText(m_branch);
    edtNmFilial->setText(Session().branchName);
    dpkData->SetDate(QDate::currentDate());

    // A session without a product mask types codes freely: the mask of a
    // lone blank would be one literal place, where nothing could be typed.
    if (!EmptyString(Session().productMask)) {
        const QString mask = Session().productMask + QLatin1Char(' ');
        SetFieldEditMask(*cdsPrevReti->FieldByName(kProductCode), mask);
        SetFieldEditMask(*cdsVdProduto->FieldByName(kProductCode), mask);
    }

    loadServices();
    cdsAuxPrevReti->CreateDataSet();
    cdsAuxData->CreateDataSet();
    loadPrevReti();
    // Quantities the central system wrote in another form are brought into
    // the file's format; the file is written only when one of them changed,
    // so opening the window on a formatted file writes nothing.
    if (walkWithdrawals(Rewrite::DatesAndQuantities, true))
        savePrevReti();
    closeProducts();
}

void TfrmRetirada::FormActivate()
{
    SetStatusPanel(3, NomeUnit(this));
}

void TfrmRetirada::FormClose(bool &allowClose)
{
    SetStatusPanel(3, QStringLiteral("KIS00000"));
    TfrmPadraoGrid::FormClose(allowClose);
}

void TfrmRetirada::showEvent(QShowEvent *event)
{
    TfrmPadraoGrid::showEvent(event);
    if (!event->spontaneous())
        dpkData->setFocus();
}

void TfrmRetirada::loadServices()
{
    cdsServico->LoadFromFile(dataFile(QStringLiteral("SERVICO.cds")));
    cdsPesqServ->SetData(cdsServico->Data());
    // The service list names its rows from here, by branch and code.
    m_serviceNames.clear();
    const int fFilial = cdsServico->FieldByName(QStringLiteral("CDFILIAL"))->Index();
    const int fCodigo = cdsServico->FieldByName(QStringLiteral("CDSERVFILI"))->Index();
    const int fNome = cdsServico->FieldByName(QStringLiteral("NMSERVICO"))->Index();
    for (int row = 0; row < cdsServico->ViewCount(); ++row)
        m_serviceNames.insert(cdsServico->TextAt(row, fFilial) + u'|'
                              + cdsServico->TextAt(row, fCodigo),
                          cdsServico->TextAt(row, fNome));
}

void TfrmRetirada::loadPrevReti()
{
    cdsPrevReti->LoadFromFile(dataFile(kPrevRetiFile));
}

void TfrmRetirada::reloadPrevRetiIfChanged()
{
    // Every stored row is written at once and the window reads the file
    // whole, so the table already holds what a new read would give unless
    // someone else replaced the file since.
    if (!cdsPrevReti->HoldsFile(dataFile(kPrevRetiFile))) {
        loadPrevReti();
        walkWithdrawals(Rewrite::Dates, false);
    }
}

void TfrmRetirada::savePrevReti()
{
    cdsPrevReti->SaveToFile(dataFile(kPrevRetiFile));
}

bool TfrmRetirada::walkWithdrawals(Rewrite rewrite, bool lists)
{
    // One pass over the stored rows in file order, reading their bytes:
    // services and dates are gathered in hash sets, and only the rows that
    // need a change are rewritten afterwards.
    const TableData &content = cdsPrevReti->Content();
    const int cFilial = content.columnIndex(QStringLiteral("CDFILIAL"));
    const int cServico = content.columnIndex(QStringLiteral("CDSERVFILI"));
    const int cData = content.columnIndex(QStringLiteral("DTPREVRETI"));
    const int cPrevista = content.columnIndex(kPlanned);
    const int cConsumida = content.columnIndex(kConsumed);
    const QByteArray filial = m_branch.toUtf8();
    const std::string_view branch(filial.constData(), size_t(filial.size()));
    const char separator = char(LocaleService::decimalSeparator().toLatin1());
    const auto reformatted = [&](const Cell &cell) {
        const std::string_view bytes = content.heap.bytes(cell);
        if (inFormat(bytes, separator))
            return false;
        const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
        return formatted(text) != text;
    };

    std::unordered_set<std::string_view> servicos;
    std::unordered_set<std::string_view> dias;
    std::vector<size_t> mudar;
    bool mudaTexto = false;
    for (size_t i = 0; i < content.stored.size(); ++i) {
        const Cell *cells = content.row(content.stored[i]);
        if (content.heap.bytes(cells[cFilial]) != branch)
            continue;
        if (lists)
            servicos.insert(content.heap.bytes(cells[cServico]));
        // A date-time is kept as the day's eight digits, then the time of
        // day when there is one.
        const std::string_view data = content.heap.bytes(cells[cData]);
        if (lists && data.size() >= 8)
            dias.insert(data.substr(0, 8));
        bool muda = data.size() > 8;
        if (rewrite == Rewrite::DatesAndQuantities && (reformatted(cells[cPrevista])
                                       || reformatted(cells[cConsumida]))) {
            muda = true;
            mudaTexto = true;
        }
        if (muda)
            mudar.push_back(i);
    }

    QStringList listaServicos;
    for (std::string_view servico : servicos)
        listaServicos.append(QString::fromUtf8(servico.data(), qsizetype(servico.size())));
    listaServicos.sort();
    QList<QDate> listaDias;
    for (std::string_view dia : dias)
        listaDias.append(QDate::fromString(QString::fromLatin1(dia.data(), qsizetype(dia.size())),
                                           QStringLiteral("yyyyMMdd")));
    std::sort(listaDias.begin(), listaDias.end());

    if (!mudar.empty()) {
        // Rewritten in one go rather than posted row by row: a first opening
        // on a file written in another form changes every row of the branch.
        TableData copy = cdsPrevReti->Data();
        for (size_t i : mudar) {
            Cell *cells = copy.row(copy.stored[i]);
            if (cells[cData].len > 8)
                cells[cData].len = 8;
            if (rewrite == Rewrite::DatesAndQuantities) {
                for (int column : {cPrevista, cConsumida}) {
                    const std::string_view bytes = copy.heap.bytes(cells[column]);
                    const QString text = QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
                    const QString wanted = formatted(text).left(copy.columns[size_t(column)].size);
                    if (wanted != text) {
                        const QByteArray utf8 = wanted.toUtf8();
                        cells[column] = copy.heap.store(
                            std::string_view(utf8.constData(), size_t(utf8.size())));
                    }
                }
            }
            copy.lines[copy.stored[i]] = Cell();
        }
        cdsPrevReti->DisableControls();
        const auto release = qScopeGuard([this] { cdsPrevReti->EnableControls(); });
        cdsPrevReti->SetData(std::move(copy));
    }

    if (lists) {
        cdsAuxPrevReti->DisableControls();
        const auto releaseList = qScopeGuard([this] { cdsAuxPrevReti->EnableControls(); });
        cdsAuxPrevReti->SetFiltered(false);
        cdsAuxPrevReti->EmptyDataSet();
        for (const QString &servico : std::as_const(listaServicos)) {
            cdsAuxPrevReti->Append();
            cdsAuxPrevReti->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(m_branch);
            cdsAuxPrevReti->FieldByName(QStringLiteral("CDSERVFILI"))->SetAsString(servico);
            cdsAuxPrevReti->FieldByName(QStringLiteral("NMSERVICO"))
                ->SetAsString(m_serviceNames.value(m_branch + u'|' + servico));
            cdsAuxPrevReti->Post();
        }

        cdsAuxData->DisableControls();
        const auto releaseDates = qScopeGuard([this] { cdsAuxData->EnableControls(); });
        cdsAuxData->EmptyDataSet();
        for (const QDate &dia : std::as_const(listaDias)) {
            cdsAuxData->Append();
            cdsAuxData->FieldByName(QStringLiteral("STDATE"))
                ->SetAsString(LocaleService::dateToText(dia));
            cdsAuxData->FieldByName(QStringLiteral("DTPREVRETI"))
                ->SetAsDateTime(QDateTime(dia, QTime(0, 0), Qt::UTC));
            cdsAuxData->Post();
        }
        cdsAuxData->First();
    }
    return mudaTexto;
}

// ------------------------------------------------------------ the date

void TfrmRetirada::closeProducts()
{
    cdsAuxPrevReti->SetFiltered(false);
    cdsAuxPrevReti->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(QStringLiteral("CLEAR")));
    cdsAuxPrevReti->SetFiltered(true);
    // The product rows stay in memory, out of sight: the next date load
    // needs no new read of a file nobody else has written.
    m_productsOpen = false;
    dtsPadrao->setEnabled(false);
    HabilitaControles();
}

bool TfrmRetirada::productGridOpen() const
{
    return m_productsOpen && cdsPrevReti->Active();
}

void TfrmRetirada::panDataEnter()
{
    closeProducts();
}

void TfrmRetirada::panDataExit()
{
    if (!DataPesquisada) {
        // Days are compared, not moments: the boundary does not move with
        // the hour the operator works at.
        const QDate dia = dpkData->Date();
        const qint64 distancia = dia.isValid() ? QDate::currentDate().daysTo(dia) : 0;
        const bool planejada =
            dia.isValid()
            && cdsAuxData->Locate(QStringLiteral("STDATE"), LocaleService::dateToText(dia));
        if (!dia.isValid() || (std::abs(distancia) > 10 && !planejada)) {
            dpkData->setFocus();
            MensErro(msgPadrao.Msg(QStringLiteral("Data_Fora")), true);
        }
    }

    Carregando = true;
    // Left set after a failed load, the flag would keep every later store
    // from being written.
    const auto loaded = qScopeGuard([this] {
        Carregando = false;
        DataPesquisada = false;
    });
    reloadPrevRetiIfChanged();
    cdsProduto->LoadFromFile(dataFile(QStringLiteral("PRODUTO.cds")));
    cdsTipoReti->LoadFromFile(dataFile(QStringLiteral("TIPORETI.cds")));

    cdsPrevReti->DisableControls();
    cdsAuxPrevReti->DisableControls();
    {
        const auto release = qScopeGuard([this] {
            cdsAuxPrevReti->EnableControls();
            cdsPrevReti->EnableControls();
        });
        cdsAuxPrevReti->SetFiltered(false);
        cdsAuxPrevReti->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(m_branch));
        cdsAuxPrevReti->SetFiltered(true);
        cdsAuxPrevReti->First();
        applySelection();
        m_productsOpen = true;
        dtsPadrao->setEnabled(true);
    }
    Carregando = false;
    HabilitaControles();
}

void TfrmRetirada::btnDataClick()
{
    cdsAuxData->First();
    if (dpkData->hasFocus())
        panDataEnter();
    else
        dpkData->setFocus();
}

void TfrmRetirada::dpkDataKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    Q_UNUSED(shift);
    if (key == VK_F9) {
        key = 0;
        btnData->Execute();
    }
}

// ------------------------------------------------------ the service list

QString TfrmRetirada::currentService() const
{
    if (!cdsAuxPrevReti->Active() || cdsAuxPrevReti->IsEmpty())
        return QString();
    return cdsAuxPrevReti->FieldByName(QStringLiteral("CDSERVFILI"))->AsString();
}

QString TfrmRetirada::selectionFilter() const
{
    return QStringLiteral("CDFILIAL = ") + QuotedStr(medCdFilial->Text())
           + QStringLiteral(" AND DTPREVRETI = ")
           + QuotedStr(LocaleService::dateToText(dpkData->Date()))
           + QStringLiteral(" AND CDSERVFILI = ") + QuotedStr(currentService());
}

void TfrmRetirada::applySelection()
{
    cdsPrevReti->SetFiltered(false);
    cdsPrevReti->SetFilter(selectionFilter());
    cdsPrevReti->SetFiltered(true);
}

void TfrmRetirada::cdsAuxPrevRetiCalcFields()
{
    const QString filial = cdsAuxPrevReti->FieldByName(QStringLiteral("CDFILIAL"))->AsString();
    const QString servico = cdsAuxPrevReti->FieldByName(QStringLiteral("CDSERVFILI"))->AsString();
    const auto found = m_serviceNames.constFind(filial + u'|' + servico);
    cdsAuxPrevReti->FieldByName(QStringLiteral("CDNMSERVICO"))
        ->SetAsString(found == m_serviceNames.cend() ? QString()
                                                 : servico + QStringLiteral(" - ") + *found);
}

void TfrmRetirada::cdsAuxPrevRetiBeforeScroll()
{
    // A product row being typed belongs to the service it was typed for:
    // it is stored before the list moves (the store takes the service from
    // the list), and a row that fails its checks keeps the list where it is.
    if (Carregando || !productGridOpen() || !editing())
        return;
    try {
        dbgPadrao->UpdateData();
        cdsPrevReti->Post();
    } catch (...) {
        dbgPadrao->setFocus();
        throw;
    }
}

void TfrmRetirada::cdsAuxPrevRetiAfterScroll()
{
    if (Carregando || !m_productsOpen)
        return;
    cdsPrevReti->DisableControls();
    const auto release = qScopeGuard([this] { cdsPrevReti->EnableControls(); });
    applySelection();
}

void TfrmRetirada::cdsAuxPrevRetiNewRecord()
{
    if (!Carregando)
        throw EAbort();
}

void TfrmRetirada::cdsPesqServAfterScroll()
{
    if (!Procurando)
        return;
    cdsAuxPrevReti->Locate(QStringLiteral("CDSERVFILI"),
                           cdsPesqServ->FieldByName(QStringLiteral("CDSERVFILI"))->AsString());
}

void TfrmRetirada::showService()
{
    const bool shown = cdsAuxPrevReti->Active() && !cdsAuxPrevReti->IsEmpty();
    dbtNome->setText(shown
                         ? cdsAuxPrevReti->FieldByName(QStringLiteral("CDNMSERVICO"))->AsString()
                         : QString());
}

void TfrmRetirada::dbgServicoEnter()
{
    HabilitaControles();
}

void TfrmRetirada::dbgPadraoEnter()
{
    HabilitaControles();
}

void TfrmRetirada::dbnPadraoClick()
{
    HabilitaControles();
}

void TfrmRetirada::dtsPadraoStateChange()
{
    HabilitaControles();
}

// ------------------------------------------------------------ commands

bool TfrmRetirada::editing() const
{
    const DataSetState state = dtsPadrao->State();
    return state == DataSetState::Edit || state == DataSetState::Insert;
}

bool TfrmRetirada::plannedRow() const
{
    // A row the central system planned carries a planned quantity; the
    // rows added here carry none.
    const QString prevista = cdsPrevReti->FieldByName(kPlanned)->AsString();
    double value = 0;
    return !EmptyString(prevista) && (!TryStrToFloat(prevista, value) || value != 0);
}

void TfrmRetirada::HabilitaControles()
{
    // Not before the window has all its controls.
    if (!dbtNome)
        return;
    const DataSetState p = productGridOpen() ? dtsPadrao->State() : DataSetState::Inactive;
    const bool edit = p == DataSetState::Edit || p == DataSetState::Insert;
    const bool browse = p == DataSetState::Browse;
    QWidget *focus = focusWidget();
    const bool productFocused = inside(dbgPadrao, focus);
    const bool serviceFocused = inside(dbgServico, focus);
    const bool services = cdsAuxPrevReti->Active() && !cdsAuxPrevReti->IsEmpty();
    const bool rows = browse && cdsPrevReti->RecordCount() > 0;

    sbtConfirmar.SetEnabled(edit);
    sbtCancelar.SetEnabled(edit);
    sbtIncluir.SetEnabled(browse && productFocused && services);
    sbtAlterar.SetEnabled(browse && productFocused && rows);
    sbtExcluir.SetEnabled(browse && productFocused && rows && !plannedRow());
    sbtExcluir.button->setEnabled(false);
    sbtProcurar.SetEnabled(browse && (serviceFocused ? services : rows));
    sbtVerificar.SetEnabled(browse);
    dpkData->setEnabled(!edit);
    btnData->setEnabled(!edit);
    lblData->setEnabled(!edit);
    dbnPadrao->setEnabled(browse);
    dbtNome->setEnabled(browse);

    if (TColumn *produto = dbgPadrao->Columns().Find(kProductCode))
        produto->SetButtonStyle(p == DataSetState::Insert ? ColumnButtonStyle::Ellipsis
                                                          : ColumnButtonStyle::Auto);
    if (TColumn *tipo = dbgPadrao->Columns().Find(kWithdrawalType))
        tipo->SetButtonStyle(edit ? ColumnButtonStyle::Ellipsis : ColumnButtonStyle::Auto);
    paintGrids();
}

void TfrmRetirada::paintGrids()
{
    // The grid with the focus stands out in the tooltip colour.
    QWidget *focus = focusWidget();
    const QPalette system = QApplication::palette();
    for (TDBGrid *grid : {dbgServico, dbgPadrao}) {
        QPalette colours = grid->palette();
        colours.setColor(QPalette::Base, system.color(inside(grid, focus) ? QPalette::ToolTipBase
                                                                          : QPalette::Button));
        grid->setPalette(colours);
    }
}

void TfrmRetirada::sbtIncluirClick()
{
    if (!productGridOpen() || cdsPrevReti->State() != DataSetState::Browse)
        return;
    focusColumn(kProductCode);
    cdsPrevReti->Insert();
}

void TfrmRetirada::sbtAlterarClick()
{
    if (!productGridOpen() || cdsPrevReti->State() != DataSetState::Browse)
        return;
    const Field *selected = dbgPadrao->SelectedField();
    if (isField(selected, kProductCode) || isField(selected, kUnit) || isField(selected, kPlanned))
        focusColumn(kConsumed);
    cdsPrevReti->Edit();
    dbgPadrao->setFocus();
}

void TfrmRetirada::sbtExcluirClick()
{
    // Only rows added here are deleted: a plan belongs to the central
    // system. The deletion is written at once, like any stored row.
    if (!productGridOpen() || cdsPrevReti->State() != DataSetState::Browse
        || cdsPrevReti->IsEmpty() || plannedRow())
        return;
    if (ShowMsg(msgPadrao, QStringLiteral("Excl"), MsgType::Confirmation, mbYes | mbNo) != mrYes)
        return;
    cdsPrevReti->Delete();
    savePrevReti();
    HabilitaControles();
}

void TfrmRetirada::sbtProcurarClick()
{
    if (!productGridOpen())
        return;
    Procurando = true;
    const auto done = qScopeGuard([this] { Procurando = false; });
    if (inside(dbgServico, focusWidget())) {
        cdsPesqServ->First();
        Procura(cdsPesqServ);
    } else {
        Procura(cdsPrevReti);
    }
}

void TfrmRetirada::sbtVerificarClick()
{
    if (!productGridOpen() || cdsPrevReti->State() != DataSetState::Browse)
        return;
    Carregando = true;
    const auto loaded = qScopeGuard([this] { Carregando = false; });
    if (inside(dbgPadrao, focusWidget())) {
        cdsPrevReti->DisableControls();
        const auto release = qScopeGuard([this] { cdsPrevReti->EnableControls(); });
        cdsPrevReti->Close();
        loadPrevReti();
        walkWithdrawals(Rewrite::Dates, false);
        applySelection();
    } else {
        // The service and date lists are rebuilt from the file as it is now.
        const QString servico = currentService();
        loadServices();
        cdsPrevReti->DisableControls();
        cdsAuxPrevReti->DisableControls();
        const auto release = qScopeGuard([this] {
            cdsAuxPrevReti->EnableControls();
            cdsPrevReti->EnableControls();
        });
        loadPrevReti();
        walkWithdrawals(Rewrite::Dates, true);
        cdsAuxPrevReti->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(m_branch));
        cdsAuxPrevReti->SetFiltered(true);
        if (servico.isEmpty() || !cdsAuxPrevReti->Locate(QStringLiteral("CDSERVFILI"), servico))
            cdsAuxPrevReti->First();
        applySelection();
    }
    Carregando = false;
    HabilitaControles();
}

void TfrmRetirada::sbtConfirmarClick()
{
    RefreshGrid(this);
    if (editing())
        cdsPrevReti->Post();
    HabilitaControles();
}

void TfrmRetirada::sbtCancelarClick()
{
    if (editing()
        && ShowMsg(msgMensagensPadroes, QStringLiteral("Canc"), MsgType::Confirmation,
                   mbYes | mbNo) == mrYes)
        cdsPrevReti->Cancel();
    HabilitaControles();
}

// ------------------------------------------------------ the product grid

void TfrmRetirada::focusColumn(const QString &fieldName)
{
    dbgPadrao->SetSelectedField(fieldName);
}

void TfrmRetirada::dbgPadraoKeyPress(QChar &key)
{
    // Enter moves on to the next cell, as in every grid of the system.
    if (key == QChar(VK_RETURN))
        return;
    const QChar separator = LocaleService::decimalSeparator();
    const Field *field = dbgPadrao->SelectedField();
    if (isField(field, kConsumed)) {
        NumericKeyPress(key, true);
        if (key != separator)
            return;
        // One separator, never in first place: the window reads ",5" as 5.
        const QLineEdit *editor = dbgPadrao->CellEditor();
        QString text = GridText(dbgPadrao, kConsumed);
        int at = int(text.size());
        if (editor) {
            text = editor->text();
            at = editor->hasSelectedText() ? editor->selectionStart() : editor->cursorPosition();
            if (editor->hasSelectedText())
                text.remove(editor->selectionStart(), editor->selectedText().size());
        }
        if (text.isEmpty() || text.contains(separator) || at == 0)
            key = QChar();
        return;
    }
    // Elsewhere only digits, the decimal separator and Backspace are typed.
    if (key != QChar(VK_BACK) && !(key >= u'0' && key <= u'9') && key != separator) {
        key = QChar();
        return;
    }
    if (!field || isField(field, kUnit) || isField(field, kPlanned)
        || (isField(field, kProductCode) && cdsPrevReti->State() != DataSetState::Insert))
        key = QChar();
}

void TfrmRetirada::dbgPadraoKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    TfrmPadraoGrid::dbgPadraoKeyDown(key, shift);
    // Delete does nothing in the grid; Backspace still erases what is being
    // typed, as the character reaches the cell editor.
    if (key == VK_DELETE)
        key = 0;
    else if (key == VK_F9) {
        key = 0;
        dbgPadraoEditButtonClick();
    }
}

void TfrmRetirada::dbgPadraoEditButtonClick()
{
    const Field *selected = dbgPadrao->SelectedField();
    if (isField(selected, kProductCode) && cdsPrevReti->State() == DataSetState::Insert) {
        cdsProduto->Close();
        cdsProduto->LoadFromFile(dataFile(QStringLiteral("PRODUTO.cds")));
        if (!Pesquisar(dtsProduto,
                       msgPadrao.Msg(QStringLiteral("Produto")) + u'|'
                           + msgPadrao.Msg(QStringLiteral("Prod_NCad")),
                       false, true))
            return;
        for (const QString &name : {QStringLiteral("CDPRODUTO"), kProductCode,
                                    QStringLiteral("CDPSQPROD"), QStringLiteral("NMPRODUTO"),
                                    kUnit})
            cdsPrevReti->FieldByName(name)->SetAsString(cdsProduto->FieldByName(name)->AsString());
        cdsPrevReti->FieldByName(kPlanned)->SetAsString(FormatFloat(kQuantityFormat, 0));
        cdsPrevReti->FieldByName(kConsumed)->SetAsString(FormatFloat(kQuantityFormat, 0));
        focusColumn(kConsumed);
    } else if (isField(selected, kWithdrawalType) && editing()) {
        cdsTipoReti->Close();
        cdsTipoReti->LoadFromFile(dataFile(QStringLiteral("TIPORETI.cds")));
        if (!Pesquisar(dtsTipoReti,
                       msgPadrao.Msg(QStringLiteral("TipoReti")) + u'|'
                           + msgPadrao.Msg(QStringLiteral("TipoReti_NCad")),
                       false, true))
            return;
        cdsPrevReti->FieldByName(kWithdrawalType)->SetAsString(cdsTipoReti->FieldByName(kWithdrawalType)->AsString());
        cdsPrevReti->FieldByName(QStringLiteral("NMTIPORETI"))
            ->SetAsString(cdsTipoReti->FieldByName(QStringLiteral("NMTIPORETI"))->AsString());
    }
}

void TfrmRetirada::dbgPadraoColExit()
{
    const Field *leaving = dbgPadrao->SelectedField();
    const DataSetState state = cdsPrevReti->State();
    if (isField(leaving, kProductCode) && state == DataSetState::Insert) {
        Vd_Produto();
        copyCheckedProduct();
        cdsPrevReti->FieldByName(kPlanned)->SetAsString(FormatFloat(kQuantityFormat, 0));
        cdsPrevReti->FieldByName(kConsumed)->SetAsString(FormatFloat(kQuantityFormat, 0));
    } else if (isField(leaving, kConsumed) && editing()) {
        Field *consumida = cdsPrevReti->FieldByName(kConsumed);
        consumida->SetAsString(FormatFloat(kQuantityFormat, ConverteValorSemZero(consumida->AsString())));
    } else if (isField(leaving, kWithdrawalType) && editing()) {
        Field *tipo = cdsPrevReti->FieldByName(kWithdrawalType);
        // An empty type stays empty: filled with zeros it would read as a
        // type that does not exist, and the store would say so instead of
        // asking for one.
        if (EmptyString(tipo->AsString())) {
            tipo->SetAsString(QString());
            cdsPrevReti->FieldByName(QStringLiteral("NMTIPORETI"))->SetAsString(QString());
            return;
        }
        Vd_TipoRetirada();
        const QString code = Ajusta(tipo->AsString(), 2);
        tipo->SetAsString(code);
        cdsPrevReti->FieldByName(QStringLiteral("NMTIPORETI"))->SetAsString(withdrawalTypeName(code));
    }
}

void TfrmRetirada::dbgPadraoDrawColumnCell(TColumnCellDraw &cell)
{
    // The product and type columns keep codes and show names, except in the
    // cell being typed.
    if (!cell.field || cell.editing)
        return;
    QString nameField;
    if (isField(cell.field, kProductCode))
        nameField = QStringLiteral("NMPRODUTO");
    else if (isField(cell.field, kWithdrawalType))
        nameField = QStringLiteral("NMTIPORETI");
    else
        return;
    const Table &t = cell.field->DataSet();
    cell.text = EmptyString(t.TextAt(cell.row, cell.field->Index()))
                    ? QString()
                    : t.TextAt(cell.row, t.FieldByName(nameField)->Index());
}

void TfrmRetirada::copyCheckedProduct()
{
    // Vd_Produto leaves cdsVdProduto on the product of the row's code.
    for (const QString &name : {QStringLiteral("CDPRODUTO"), kProductCode,
                                QStringLiteral("CDPSQPROD"), QStringLiteral("NMPRODUTO"), kUnit})
        cdsPrevReti->FieldByName(name)->SetAsString(cdsVdProduto->FieldByName(name)->AsString());
}

QString TfrmRetirada::withdrawalTypeName(const QString &code) const
{
    const int fCodigo = cdsTipoReti->FieldByName(kWithdrawalType)->Index();
    const int fNome = cdsTipoReti->FieldByName(QStringLiteral("NMTIPORETI"))->Index();
    for (int row = 0; row < cdsTipoReti->ViewCount(); ++row)
        if (cdsTipoReti->TextAt(row, fCodigo).compare(code, Qt::CaseInsensitive) == 0)
            return cdsTipoReti->TextAt(row, fNome);
    return QString();
}

// ------------------------------------------------------------ the checks

void TfrmRetirada::Vd_Produto()
{
    const auto falha = [this](const QString &key) {
        focusColumn(kProductCode);
        MensErro(msgPadrao.Msg(key), true);
    };
    const QString codigo = cdsPrevReti->FieldByName(kProductCode)->AsString();
    if (EmptyString(codigo))
        falha(QStringLiteral("Prod_Inf"));
    if (cdsPrevReti->State() != DataSetState::Insert)
        return;
    cdsVdProduto->SetData(cdsProduto->Data());
    if (!cdsVdProduto->Locate(kProductCode, codigo, loCaseInsensitive))
        falha(QStringLiteral("Prod_NCad"));
    // The service's rows as they are now, the row being inserted aside: a
    // product added a moment ago counts as much as a planned one.
    const int fCodigo = cdsPrevReti->FieldByName(kProductCode)->Index();
    for (int row = 0; row < cdsPrevReti->ViewCount(); ++row)
        if (!cdsPrevReti->IsPendingRow(row)
            && cdsPrevReti->TextAt(row, fCodigo).compare(codigo, Qt::CaseInsensitive) == 0)
            falha(QStringLiteral("Prod_JaCad"));
}

void TfrmRetirada::Vd_Consumo()
{
    if (!EmptyString(cdsPrevReti->FieldByName(kProductCode)->AsString())
        && EmptyString(cdsPrevReti->FieldByName(kConsumed)->AsString())) {
        focusColumn(kConsumed);
        MensErro(msgPadrao.Msg(QStringLiteral("Cons_Inf")), true);
    }
}

void TfrmRetirada::Vd_TipoRetirada()
{
    const QString tipo = cdsPrevReti->FieldByName(kWithdrawalType)->AsString();
    if (EmptyString(tipo)) {
        focusColumn(kWithdrawalType);
        MensErro(msgPadrao.Msg(QStringLiteral("TipoReti_Inf")), true);
    }
    cdsVdTipoReti->SetData(cdsTipoReti->Data());
    if (!cdsVdTipoReti->Locate(kWithdrawalType, Ajusta(tipo, 2), loCaseInsensitive)) {
        focusColumn(kWithdrawalType);
        MensErro(msgPadrao.Msg(QStringLiteral("TipoReti_NCad")), true);
    }
}

// ------------------------------------------------------------ storing

void TfrmRetirada::cdsPrevRetiBeforeInsert()
{
    focusColumn(kProductCode);
}

void TfrmRetirada::cdsPrevRetiNewRecord()
{
    if (!Carregando && (!cdsAuxPrevReti->Active() || cdsAuxPrevReti->IsEmpty())
        && cdsPrevReti->RecordCount() == 0)
        throw EAbort();
}

void TfrmRetirada::cdsPrevRetiBeforePost()
{
    if (Carregando)
        return;
    Vd_Produto();
    // A code typed again in its cell and stored without leaving the cell
    // would otherwise keep the name, unit and internal code of the product
    // first typed.
    if (cdsPrevReti->State() == DataSetState::Insert)
        copyCheckedProduct();
    Vd_Consumo();
    Vd_TipoRetirada();

    const QDate dia = dpkData->Date();
    const QString servico = currentService();
    const QString tipo = Ajusta(cdsPrevReti->FieldByName(kWithdrawalType)->AsString(), 2);
    // Read before anything is written: a quantity that does not read stops
    // the store with the row as typed.
    const QString consumida = FormatFloat(
        kQuantityFormat, ConverteValorSemZero(cdsPrevReti->FieldByName(kConsumed)->AsString()));
    cdsPrevReti->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(medCdFilial->Text());
    cdsPrevReti->FieldByName(QStringLiteral("CDSERVFILI"))->SetAsString(servico);
    cdsPrevReti->FieldByName(QStringLiteral("DTPREVRETI"))
        ->SetAsDateTime(QDateTime(dia, QTime(0, 0), Qt::UTC));
    cdsPrevReti->FieldByName(kWithdrawalType)->SetAsString(tipo);
    cdsPrevReti->FieldByName(QStringLiteral("NMTIPORETI"))->SetAsString(withdrawalTypeName(tipo));
    cdsPrevReti->FieldByName(QStringLiteral("CDOPERADOR"))->SetAsString(Session().operatorCode);
    cdsPrevReti->FieldByName(kConsumed)->SetAsString(consumida);
    cdsPrevReti->FieldByName(QStringLiteral("FILSERPRDT"))
        ->SetAsString(medCdFilial->Text() + servico
                      + cdsPrevReti->FieldByName(QStringLiteral("CDPRODUTO"))->AsString()
                      + LocaleService::dateToText(dia));
}

void TfrmRetirada::cdsPrevRetiAfterPost()
{
    if (Carregando)
        return;
    // The whole table, every branch, date and service, whatever the filter.
    savePrevReti();
}

} // namespace kiv

KIV_REGISTER_TASK_WINDOW(kiv::TaskWindow::RetServico, kiv::TfrmRetirada)
