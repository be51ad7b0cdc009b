#include "stockdocumentwindow.h"

#include "datasource.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "dbnavigator.h"
#include "editmask.h"
#include "fieldeditmask.h"
#include "guard.h"
#include "keys.h"
#include "localeservice.h"
#include "lookupdialogs.h"
#include "maskedit.h"
#include "messagebox.h"
#include "numerictext.h"
#include "pagecontrol.h"
#include "table.h"
#include "textroutines.h"

#include <QAction>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QToolButton>
#include <QVBoxLayout>

#include <tuple>
#include <utility>

namespace kiv {

namespace {

const QString kValueFormat = QStringLiteral("##0.00000");
const QString kQuantityFormat = QStringLiteral("##0.000");
const QString kCode = QStringLiteral("CDARVPROD");
const QString kQuantity = QStringLiteral("QTITEMPROD");
const QString kUnitValue = QStringLiteral("VRUNITITEM");
const QString kItemTotal = QStringLiteral("VRTOTPROD");
const QString kTotalField = QStringLiteral("VRNOTAFISC");
// The grids' own question before a row is deleted.
const QString kDeleteRowQuestion = QStringLiteral("Excluir registro?");
const QString kOperationTitle = QStringLiteral("Operação");
const QString kNoOperationType = QStringLiteral("Não há tipo de operação cadastrado");

TDataSource *source(QObject *owner, const QString &name, Table *table)
{
    auto *result = new TDataSource(owner);
    result->setObjectName(name);
    result->setDataSet(table);
    return result;
}

Table *table(QObject *owner, const QString &name, const TableDecl &decl)
{
    auto *result = new Table(name, owner);
    result->Declare(decl);
    return result;
}

// Amounts are kept with five decimals: two sums that write the same text
// are the same amount (1,1 + 2,2 is 3,3).
bool sameAmount(double a, double b)
{
    return FormatFloat(kValueFormat, a) == FormatFloat(kValueFormat, b);
}

} // namespace

StockDocumentWindow::StockDocumentWindow(const LoginSession &session, const StockDocumentKind &kind,
                                         QWidget *parent)
    : TfrmPadraoSimples(parent)
    , m_kind(kind)
{
    SetSession(session);
    m_operationFilter = QStringLiteral("IDENTTIPOP = ") + QuotedStr(m_kind.operationKind);
    declareTables();
    buildControls();
}

void StockDocumentWindow::declareTables()
{
    m_header = table(this, m_kind.headerName, m_kind.header);
    m_headerSource = source(this, m_kind.headerSourceName, m_header);
    cdsPrxLanc = table(this, QStringLiteral("cdsPrxLanc"), m_kind.header);

    cdsTipoOperac = table(this, QStringLiteral("cdsTipoOperac"), RefTables::tipoOper());
    dtsTipoOperac = source(this, QStringLiteral("dtsTipoOperac"), cdsTipoOperac);
    cdsForneced = table(this, QStringLiteral("cdsForneced"), RefTables::forneced());
    dtsForneced = source(this, QStringLiteral("dtsForneced"), cdsForneced);
    cdsClientes = table(this, QStringLiteral("cdsClientes"), RefTables::cliente());
    dtsClientes = source(this, QStringLiteral("dtsClientes"), cdsClientes);
    cdsFilial = table(this, QStringLiteral("cdsFilial"), RefTables::filial());
    dtsFilial = source(this, QStringLiteral("dtsFilial"), cdsFilial);

    cdsProduto = table(this, QStringLiteral("cdsProduto"), m_kind.items);
    cdsProduto->BeforeInsert = [this](Table &) { cdsProdutoBeforeInsert(); };
    for (TableEvent *event :
         {&cdsProduto->AfterInsert, &cdsProduto->AfterEdit, &cdsProduto->AfterDelete})
        *event = [this](Table &) { detailChanged(); };
    cdsProduto->BeforePost = [this](Table &) { cdsProdutoBeforePost(); };
    cdsProduto->OnCalcFields = [this](Table &) { cdsProdutoCalcFields(); };
    cdsProduto->FieldByName(kCode)->OnChange = [this](Field &) { CDARVPRODChange(); };
    dtsProduto = source(this, QStringLiteral("dtsProduto"), cdsProduto);
    dtsProduto->OnStateChange = [this] { dtsProdutoStateChange(); };
    cdsProdutoAux = table(this, QStringLiteral("cdsProdutoAux"), m_kind.items);
    cdsPesqProduto
        = table(this, QStringLiteral("cdsPesqProduto"), RefTables::produto(m_kind.productReader));
    dtsPesqProduto = source(this, QStringLiteral("dtsPesqProduto"), cdsPesqProduto);

    cdsVenc = table(this, QStringLiteral("cdsVenc"), m_kind.dueDates);
    cdsVenc->BeforeInsert = [this](Table &) { cdsVencBeforeInsert(); };
    for (TableEvent *event : {&cdsVenc->AfterInsert, &cdsVenc->AfterEdit, &cdsVenc->AfterDelete})
        *event = [this](Table &) { detailChanged(); };
    cdsVenc->BeforePost = [this](Table &) { cdsVencBeforePost(); };
    dtsVenc = source(this, QStringLiteral("dtsVenc"), cdsVenc);
    cdsVencAux = table(this, QStringLiteral("cdsVencAux"), m_kind.dueDates);
}

QLabel *StockDocumentWindow::formLabel(const QString &name, const QString &caption)
{
    auto *label = new QLabel(caption, tshFormulario);
    label->setObjectName(name);
    return label;
}

TDBEdit *StockDocumentWindow::headerEdit(const QString &name, const QString &fieldName,
                                         int widthChars)
{
    auto *edit = new TDBEdit(tshFormulario);
    edit->setObjectName(name);
    edit->SetDataSource(m_headerSource);
    edit->SetDataField(fieldName);
    edit->setFixedWidth(edit->fontMetrics().averageCharWidth() * widthChars + 12);
    return edit;
}

QToolButton *StockDocumentWindow::lookupButton(const QString &name, const QString &tip)
{
    auto *button = new QToolButton(tshFormulario);
    button->setObjectName(name);
    button->setText(QStringLiteral("..."));
    button->setToolTip(tip);
    // Like the platform's speed button: the edit keeps the focus.
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

void StockDocumentWindow::buildFormPage()
{
    m_form = new QGridLayout(tshFormulario);
    const auto nameEdit = [](TDBEdit *e) {
        // A name fills the rest of its line; codes keep their own width.
        e->setMaximumWidth(QWIDGETSIZE_MAX);
        e->setEnabled(false);
        e->setFocusPolicy(Qt::NoFocus);
        return e;
    };
    lblOperacao = formLabel(QStringLiteral("lblOperacao"), QStringLiteral("Operação"));
    medOperacao = headerEdit(QStringLiteral("medOperacao"), QStringLiteral("CDTIPOOPER"), 3);
    btpTipoOperac = lookupButton(QStringLiteral("btpTipoOperac"), kOperationTitle);
    edtOperacao
        = nameEdit(headerEdit(QStringLiteral("edtOperacao"), QStringLiteral("NMTIPOOPER"), 30));
    m_partnerLabel = formLabel(m_kind.partnerLabelName, m_kind.partnerCaption);
    m_partner = headerEdit(m_kind.partnerName, QStringLiteral("NRINSJURNF"), 20);
    m_partnerButton = lookupButton(m_kind.partnerButtonName, QString());
    edtOrigem = nameEdit(headerEdit(QStringLiteral("edtOrigem"), QStringLiteral("NMORIGEM"), 40));
    lblOperacao->setBuddy(medOperacao);
    m_partnerLabel->setBuddy(m_partner);
    for (QLabel *label : {lblOperacao, m_partnerLabel}) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
    }
    const auto codeRow = [this](QLabel *label, QWidget *code, QWidget *button, QWidget *name) {
        const int row = nextFormRow();
        m_form->addWidget(label, row, 0);
        auto *line = new QHBoxLayout;
        line->addWidget(code);
        line->addWidget(button);
        line->addWidget(name, 1);
        m_form->addLayout(line, row, 1, 1, 3);
    };
    codeRow(lblOperacao, medOperacao, btpTipoOperac, edtOperacao);
    codeRow(m_partnerLabel, m_partner, m_partnerButton, edtOrigem);
    m_form->setColumnStretch(3, 1);
    QWidget::setTabOrder(medOperacao, m_partner);
    addNewDocumentOnly(medOperacao);
    addNewDocumentOnly(btpTipoOperac);
    addNewDocumentOnly(lblOperacao);

    medOperacao->OnChange = [this] { operationChanged(); };
    m_partner->OnChange = [this] { partnerChanged(); };
    lookupKeys(medOperacao, [this] { operationLookup(); });
    connect(btpTipoOperac, &QToolButton::clicked, this,
            [this] { guarded(this, [this] { operationLookup(); }); });
}

void StockDocumentWindow::buildControls()
{
    auto *panel = new QWidget(ClientArea());
    panel->setObjectName(QStringLiteral("pnlFiltro"));
    auto *row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    lblFilial = new QLabel(QStringLiteral("Filial Agregada"), panel);
    lblFilial->setObjectName(QStringLiteral("lblFilial"));
    lblFilial->setEnabled(false);
    medCdFilial = new TMaskEdit(panel);
    medCdFilial->setObjectName(QStringLiteral("medCdFilial"));
    medCdFilial->setEditMask(QStringLiteral("9999;0; "));
    medCdFilial->setMaxLength(4);
    medCdFilial->setEnabled(false);
    medCdFilial->setFixedWidth(medCdFilial->fontMetrics().horizontalAdvance(QStringLiteral("00000"))
                               + 16);
    m_branchButton = new QToolButton(panel);
    m_branchButton->setObjectName(m_kind.branchButtonName);
    m_branchButton->setText(QStringLiteral("..."));
    m_branchButton->setFocusPolicy(Qt::NoFocus);
    m_branchButton->setEnabled(false);
    edtNmFilial = new QLineEdit(panel);
    edtNmFilial->setObjectName(QStringLiteral("edtNmFilial"));
    edtNmFilial->setEnabled(false);
    edtNmFilial->setMinimumWidth(edtNmFilial->fontMetrics().averageCharWidth() * 30);
    row->addWidget(lblFilial);
    row->addWidget(medCdFilial);
    row->addWidget(m_branchButton);
    row->addWidget(edtNmFilial, 1);
    ClientLayout()->addWidget(panel);

    m_pages = new TPageControl(ClientArea());
    m_pages->setObjectName(m_kind.pagesName);
    const auto sheet = [this](const QString &name, const QString &caption) {
        auto *page = new TTabSheet(m_pages);
        page->setObjectName(name);
        m_pages->addPage(page, caption);
        return page;
    };
    tshFormulario = sheet(QStringLiteral("tshFormulario"), QStringLiteral("Formulário"));
    tshProduto = sheet(QStringLiteral("tshProduto"), QStringLiteral("Produto"));
    tshVenc = sheet(QStringLiteral("tshVenc"), QStringLiteral("Vencimento"));
    buildFormPage();

    const auto gridPage = [](TTabSheet *page, const QString &name, TDataSource *rows) {
        auto *layout = new QVBoxLayout(page);
        auto *grid = new TDBGrid(page);
        grid->setObjectName(name);
        grid->SetDataSource(rows);
        layout->addWidget(grid);
        return grid;
    };
    dbgProduto = gridPage(tshProduto, QStringLiteral("dbgProduto"), dtsProduto);
    dbgVenc = gridPage(tshVenc, QStringLiteral("dbgVenc"), dtsVenc);
    buildItemGrid();
    buildDueDateGrid();
    ClientLayout()->addWidget(m_pages, 1);

    dbnPadrao = new TDBNavigator(ClientArea());
    dbnPadrao->setObjectName(QStringLiteral("dbnPadrao"));
    dbnPadrao->SetDataSource(m_headerSource);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(dbnPadrao);
    bottom->addStretch(1);
    ClientLayout()->addLayout(bottom);

    // The page entries open the menu, above the commands.
    QAction *first = mnuOperacao->actions().value(0);
    const auto pageEntry
        = [&](const QString &name, const QString &caption, void (StockDocumentWindow::*handler)()) {
              auto *entry = new QAction(caption, mnuOperacao);
              entry->setObjectName(name);
              entry->setCheckable(true);
              mnuOperacao->insertAction(first, entry);
              connect(entry, &QAction::triggered, this,
                      [this, handler] { guarded(this, [this, handler] { (this->*handler)(); }); });
              return entry;
          };
    mnuFormulario = pageEntry(QStringLiteral("mnuFormulario"), QStringLiteral("&Formulário"),
                              &StockDocumentWindow::mnuFormularioClick);
    mnuProduto = pageEntry(QStringLiteral("mnuProduto"), QStringLiteral("&Produto"),
                           &StockDocumentWindow::mnuProdutoClick);
    mnuVencimento = pageEntry(QStringLiteral("mnuVencimento"), QStringLiteral("&Vencimento"),
                              &StockDocumentWindow::mnuVencimentoClick);
    mnuOperacao->insertSeparator(first);
    mnuFormulario->setChecked(true);
    mnuOrdenar->setShortcut(QKeySequence());
    resize(720, 460);
}

void StockDocumentWindow::lookupKeys(TControlEvents *field, std::function<void()> lookup)
{
    field->OnKeyDown = [lookup = std::move(lookup)](int &key, Qt::KeyboardModifiers) {
        if (key == VK_F6 || key == VK_F9) {
            key = 0;
            lookup();
        }
    };
}

void StockDocumentWindow::addHeaderDate(TDateTimePicker *picker, const QString &fieldName,
                                        bool digitsEdit)
{
    m_dates.append({picker, fieldName});
    picker->OnChange = [this] { editHeader(); };
    if (digitsEdit)
        picker->OnKeyPress = [this](QChar &key) {
            if (key >= u'0' && key <= u'9')
                editHeader();
        };
}

void StockDocumentWindow::addNewDocumentOnly(QWidget *widget)
{
    m_newDocumentOnly.append(widget);
}

QString StockDocumentWindow::dataFile(const QString &fileName) const
{
    return Session().file(fileName);
}

QString StockDocumentWindow::header(const QString &fieldName) const
{
    return m_header->FieldByName(fieldName)->AsString();
}

void StockDocumentWindow::setHeader(const QString &fieldName, const QString &value)
{
    m_header->FieldByName(fieldName)->SetAsString(value);
}

QString StockDocumentWindow::item(const QString &fieldName) const
{
    return cdsProduto->FieldByName(fieldName)->AsString();
}

void StockDocumentWindow::setItem(const QString &fieldName, const QString &value)
{
    cdsProduto->FieldByName(fieldName)->SetAsString(value);
}

bool StockDocumentWindow::editing(const Table *table)
{
    const DataSetState state = table->State();
    return state == DataSetState::Edit || state == DataSetState::Insert;
}

bool StockDocumentWindow::editingHeader() const
{
    return editing(m_header);
}

void StockDocumentWindow::editHeader()
{
    if (!editingHeader())
        m_header->Edit();
}

void StockDocumentWindow::error(const QString &key)
{
    MensErro(msgPadrao.Msg(key), true);
}

void StockDocumentWindow::load(Table *table, const QString &fileName)
{
    table->LoadFromFile(dataFile(fileName));
}

void StockDocumentWindow::prepareCreation()
{
    TfrmPadraoSimples::FormCreate();
    // Documents are neither printed nor given help from here.
    sbtAjuda.SetEnabled(false);
    sbtImprimir.SetEnabled(false);
    // A session without a product mask types codes freely: the mask of a
    // lone blank would be one literal place, where nothing could be typed.
    const QString prodMask = Session().productMask;
    if (!EmptyString(prodMask))
        SetFieldEditMask(*cdsProduto->FieldByName(kCode), prodMask + QLatin1Char(' '));
    SetFieldEditMask(*cdsVenc->FieldByName(m_kind.dueDateField), DateMask());
    for (const auto &[picker, field] : std::as_const(m_dates))
        picker->SetDateTime(QDateTime::currentDateTime());
}

void StockDocumentWindow::filterOperationTypes()
{
    cdsTipoOperac->SetFilter(m_operationFilter);
    cdsTipoOperac->SetFiltered(true);
}

void StockDocumentWindow::loadItemsAndDueDates()
{
    load(cdsProduto, m_kind.items.fileName);
    load(cdsPesqProduto, QStringLiteral("PRODUTO.CDS"));
    load(cdsVenc, m_kind.dueDates.fileName);
}

void StockDocumentWindow::finishCreation()
{
    findLastNumber();
    medCdFilial->SetText(Session().branch);
    edtNmFilial->setText(Session().branchName);
    m_header->SetFiltered(false);
    m_header->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(Session().branch));
    m_header->SetFiltered(true);
    dtsPadrao->setDataSet(m_header);
    headerStateChanged();
}

void StockDocumentWindow::findLastNumber()
{
    cdsPrxLanc->SetData(m_header->Data());
    if (cdsPrxLanc->IsEmpty()) {
        UltimoLancamento = QStringLiteral("0");
        return;
    }
    // Numbers are compared as integers ("10" beyond "9"); a number that is
    // not an integer was not given by these windows and takes no part.
    const Field *number = cdsPrxLanc->FieldByName(m_kind.numberField);
    cdsPrxLanc->First();
    bool ok = false;
    qint64 highest = AllTrim(number->AsString()).toLongLong(&ok);
    if (!ok)
        highest = 0;
    for (; !cdsPrxLanc->Eof(); cdsPrxLanc->Next()) {
        const qint64 amount = AllTrim(number->AsString()).toLongLong(&ok);
        if (ok && amount > highest)
            highest = amount;
    }
    cdsPrxLanc->First();
    UltimoLancamento = QString::number(highest);
}

void StockDocumentWindow::FormActivate()
{
    SetStatusPanel(3, NomeUnit(this));
}

bool StockDocumentWindow::typing() const
{
    return editingHeader() || editing(cdsProduto) || editing(cdsVenc) || m_unsaved;
}

bool StockDocumentWindow::askDiscard()
{
    return ShowMsg(msgPadrao, QStringLiteral("dsj_td"), MsgType::Confirmation, mbYes | mbNo)
           == mrYes;
}

void StockDocumentWindow::FormClose(bool &allowClose)
{
    // A document being typed, or one a failed save left in memory only,
    // goes with the window only when the operator says so.
    if (typing() && !askDiscard()) {
        allowClose = false;
        return;
    }
    TfrmPadraoSimples::FormClose(allowClose);
    if (allowClose)
        SetStatusPanel(3, QStringLiteral("KIS00000"));
}

void StockDocumentWindow::showPage(TTabSheet *page)
{
    if (!page)
        return;
    m_pages->SetActivePage(page);
    mnuFormulario->setChecked(page == tshFormulario);
    mnuProduto->setChecked(page == tshProduto);
    mnuVencimento->setChecked(page == tshVenc);
}

void StockDocumentWindow::focusPartner()
{
    if (m_pages->ActivePage() == tshFormulario)
        m_partner->setFocus();
}

void StockDocumentWindow::enableDueDates(bool enable)
{
    // The menu entry goes with its page.
    tshVenc->setEnabled(enable);
    mnuVencimento->setEnabled(enable);
}

void StockDocumentWindow::showHeaderDates()
{
    // A header without a date (none stored yet) shows today's.
    for (const auto &[picker, field] : std::as_const(m_dates)) {
        const QDate date = m_header->FieldByName(field)->AsDate();
        picker->SetDateTime(date.isValid() ? date.startOfDay() : QDateTime::currentDateTime());
    }
}

void StockDocumentWindow::showDocumentRows(TTabSheet *page)
{
    Table *rows = page == tshProduto ? cdsProduto : page == tshVenc ? cdsVenc : nullptr;
    if (!rows || !rows->Active() || !m_header->Active())
        return;
    rows->SetFiltered(false);
    rows->SetFilter(m_kind.numberField + QStringLiteral(" =")
                    + QuotedStr(header(m_kind.numberField)));
    rows->SetFiltered(true);
}

void StockDocumentWindow::newDocument()
{
    // A number once given is not given back: a cancelled insertion leaves
    // a gap until the window is opened again.
    UltimoLancamento = QString::number(UltimoLancamento.toLongLong() + 1);
    setHeader(m_kind.numberField, UltimoLancamento);
    for (const auto &[picker, field] : std::as_const(m_dates))
        picker->SetDateTime(QDateTime::currentDateTime());
    if (medOperacao->isEnabled())
        medOperacao->setFocus();
}

void StockDocumentWindow::checkHeader(Check mode)
{
    Vd_Operacao(true);
    checkPartner(true);
    checkHeaderFields(mode);
}

void StockDocumentWindow::postHeader()
{
    // The pickers are not bound: their dates reach the record here.
    for (const auto &[picker, field] : std::as_const(m_dates))
        m_header->FieldByName(field)->SetAsDate(picker->Date());
    checkHeader(Check::Post);

    showDocumentRows(tshProduto);
    if (cdsProduto->IsEmpty()) {
        showPage(tshProduto);
        pageChanged();
        error(QStringLiteral("it_dev"));
    }
    double sum = 0;
    for (cdsProduto->First(); !cdsProduto->Eof(); cdsProduto->Next()) {
        sum += StrToFloat(item(kUnitValue)) * StrToFloat(item(kQuantity));
        itemSummed();
    }
    settleTotal(sum);
    checkDueDateSum();
    // The document belongs to the branch that records it.
    setHeader(QStringLiteral("CDFILIAL"), Session().branch);
}

void StockDocumentWindow::settleTotal(double sum)
{
    // The items decide the total, rounded to the five decimals it keeps. A
    // total wider than its field would be cut to another amount: refused.
    const QString total = FormatFloat(kValueFormat, sum);
    if (total.size() > m_header->FieldByName(kTotalField)->Size()) {
        showPage(tshProduto);
        pageChanged();
        MensErro(msgPadrao.Msg(QStringLiteral("tot_tam")).arg(total), true);
    }
    if (header(kTotalField) != total)
        setHeader(kTotalField, total);
}

void StockDocumentWindow::checkDueDateSum()
{
    showDocumentRows(tshVenc);
    // Rows typed while an operation with due dates was chosen do not stay
    // hidden under one without them, to be saved or summed.
    if (header(QStringLiteral("IDUTILVENC")) != QLatin1String("S")) {
        while (!cdsVenc->IsEmpty()) {
            cdsVenc->First();
            cdsVenc->Delete();
        }
        return;
    }
    if (cdsVenc->IsEmpty()) {
        if (!m_kind.dueDatesRequired)
            return;
        showPage(tshVenc);
        pageChanged();
        error(QStringLiteral("venc_dev"));
    }
    double dues = 0;
    for (cdsVenc->First(); !cdsVenc->Eof(); cdsVenc->Next())
        dues += StrToFloat(cdsVenc->FieldByName(m_kind.dueValueField)->AsString());
    if (!sameAmount(StrToFloat(header(kTotalField)), dues)) {
        showPage(tshVenc);
        pageChanged();
        focusTotal();
        error(QStringLiteral("vc<>tot"));
    }
}

void StockDocumentWindow::documentScrolled()
{
    if (!editingHeader())
        showHeaderDates();
    enableDueDates(header(QStringLiteral("IDUTILVENC")) == QLatin1String("S"));
    if (header(QStringLiteral("IDUTILVENC")) == QLatin1String("N")
        && m_pages->ActivePage() == tshVenc) {
        showPage(tshProduto);
        pageChanged();
    }
    showDocumentRows(m_pages->ActivePage());
    dtsPadraoStateChange();
}

void StockDocumentWindow::headerCancelled()
{
    showHeaderDates();
    // Unsaved items and due dates of every document go with the header;
    // the filters shown stay as they were.
    load(cdsProduto, m_kind.items.fileName);
    load(cdsVenc, m_kind.dueDates.fileName);
    if (m_header->IsEmpty()) {
        showPage(tshFormulario);
        pageChanged();
    }
}

void StockDocumentWindow::headerStateChanged()
{
    const DataSetState state = m_header->State();
    // Some header fields are chosen for a new document only.
    const bool isNew
        = state == DataSetState::Insert || !m_header->Active() || m_header->RecordCount() == 0;
    for (QWidget *widget : std::as_const(m_newDocumentOnly))
        widget->setEnabled(isNew);
    dbnPadrao->setEnabled(state != DataSetState::Edit && state != DataSetState::Insert);
}

void StockDocumentWindow::saveDocuments()
{
    // Every document of every branch, whatever the filters show. The three
    // files are replaced together or not at all. After a failure the tables
    // in memory still describe one set of documents, the one on screen:
    // confirm saves it again, cancel and close ask before dropping it.
    m_unsaved = true;
    try {
        Table::SaveToFiles({{m_header, dataFile(m_kind.header.fileName)},
                            {cdsProduto, dataFile(m_kind.items.fileName)},
                            {cdsVenc, dataFile(m_kind.dueDates.fileName)}});
    } catch (...) {
        dtsPadraoStateChange();
        throw;
    }
    m_unsaved = false;
    for (Table *saved : {m_header, cdsProduto, cdsVenc})
        if (saved->LogChanges())
            saved->MergeChangeLog();
}

void StockDocumentWindow::reloadDocuments()
{
    {
        // The header's controls show the reloaded record once it stands.
        m_header->DisableControls();
        const auto shown = qScopeGuard([this] { m_header->EnableControls(); });
        load(m_header, m_kind.header.fileName);
        load(cdsProduto, m_kind.items.fileName);
        load(cdsVenc, m_kind.dueDates.fileName);
    }
    m_unsaved = false;
    documentScrolled();
    if (m_header->IsEmpty()) {
        showPage(tshFormulario);
        pageChanged();
    }
}

void StockDocumentWindow::deleteDocumentRows()
{
    const QString filter
        = m_kind.numberField + QStringLiteral(" =") + QuotedStr(header(m_kind.numberField));
    m_deletingDocument = true;
    const auto done = qScopeGuard([this] { m_deletingDocument = false; });
    for (Table *rows : {cdsVenc, cdsProduto}) {
        rows->SetFiltered(false);
        rows->SetFilter(filter);
        rows->SetFiltered(true);
        for (rows->First(); !rows->IsEmpty();)
            rows->Delete();
    }
}

void StockDocumentWindow::documentDeleted()
{
    saveDocuments();
    dtsPadraoStateChange();
    disableConfirm();
}

void StockDocumentWindow::disableConfirm()
{
    sbtCancelar.SetEnabled(false);
    sbtConfirmar.SetEnabled(false);
}

void StockDocumentWindow::sbtConfirmarClick()
{
    // What the operator typed in the control that has the focus (the
    // command buttons take none) reaches its record first.
    for (TDataSource *typed : {m_headerSource, dtsVenc, dtsProduto})
        typed->UpdateRecord();
    const bool wasTyping = editingHeader() || editing(cdsProduto) || editing(cdsVenc);
    const bool saving = editingHeader() || (!wasTyping && m_unsaved);
    const QString number = header(m_kind.numberField);
    if (editingHeader())
        checkPartner(true);
    if (editing(cdsVenc))
        cdsVenc->Post();
    if (m_kind.itemsPostedBeforeHeader && editing(cdsProduto))
        cdsProduto->Post();
    if (editingHeader())
        m_header->Post();
    if (editing(cdsProduto))
        cdsProduto->Post();
    // A document a failed save left in memory only is saved again.
    if (!wasTyping && m_unsaved)
        saveDocuments();
    disableConfirm();
    if (saving && !m_unsaved)
        ShowStatusMessage(QStringLiteral("Lançamento %1 gravado.").arg(number));
}

void StockDocumentWindow::sbtCancelarClick()
{
    // The whole document goes only when the operator says so; after a
    // failed save, with what the save could not write.
    const auto cancelDocument = [this] {
        if (!askDiscard())
            return;
        if (editing(cdsProduto))
            cdsProduto->Cancel();
        if (editing(cdsVenc))
            cdsVenc->Cancel();
        if (editingHeader())
            m_header->Cancel();
        if (m_unsaved)
            reloadDocuments();
        disableConfirm();
    };
    const bool documentOpen = editingHeader() || m_unsaved || m_kind.cancelAlwaysAsks;
    // On a grid page a pending row goes first, without a question.
    const auto cancelPage = [&](Table *rows) {
        if (editing(rows)) {
            rows->Cancel();
            const bool hasRows = !rows->IsEmpty();
            for (TCommand *command : {&sbtAlterar, &sbtExcluir, &sbtProcurar})
                command->SetEnabled(hasRows);
        } else if (documentOpen) {
            cancelDocument();
        }
    };
    if (m_pages->ActivePage() == tshProduto)
        cancelPage(cdsProduto);
    else if (m_pages->ActivePage() == tshVenc)
        cancelPage(cdsVenc);
    else if (documentOpen)
        cancelDocument();
}

void StockDocumentWindow::dtsPadraoStateChange()
{
    Table *attached = dtsPadrao->DataSet();
    const DataSetState state = dtsPadrao->State();
    // Cancel and confirm are only enabled here; confirming, cancelling and
    // deleting disable them.
    if (state == DataSetState::Edit || state == DataSetState::Insert || editingHeader()
        || m_unsaved) {
        sbtCancelar.SetEnabled(true);
        sbtConfirmar.SetEnabled(true);
    }
    const bool browsing = state == DataSetState::Browse;
    sbtIncluir.SetEnabled(browsing);
    const bool withRecords = browsing && attached && !attached->IsEmpty();
    for (TCommand *command : {&sbtAlterar, &sbtExcluir, &sbtProcurar, &sbtVerificar})
        command->SetEnabled(withRecords);
    if (attached == m_header) {
        // A header being inserted counts as a record.
        const bool hasHeader = !m_header->IsEmpty() || m_header->State() == DataSetState::Insert;
        enableDueDates(hasHeader && header(QStringLiteral("IDUTILVENC")) == QLatin1String("S"));
        tshProduto->setEnabled(hasHeader);
        mnuProduto->setEnabled(tshProduto->isEnabled());
    }
    sbtVerificar.SetEnabled(false);
    // Headers are found by moving through them; find works on the grids.
    if (m_pages->ActivePage() == tshFormulario)
        sbtProcurar.SetEnabled(false);
    // A stored header without dates shows today's. While a header is typed
    // the pickers hold the operator's dates, which reach the record only
    // when it is posted: they are left alone.
    if (m_header->Active() && !editingHeader())
        for (const auto &[picker, field] : std::as_const(m_dates))
            if (m_header->FieldByName(field)->IsNull())
                picker->SetDateTime(QDateTime::currentDateTime());
}

void StockDocumentWindow::pageChanged()
{
    TTabSheet *page = m_pages->ActivePage();
    Table *attach = m_header;
    if (page == tshProduto) {
        showPage(tshProduto);
        if (editingHeader())
            checkHeader(Check::PageChange);
        if (editing(cdsVenc))
            checkDueDate(Check::PageChange);
        attach = cdsProduto;
    } else if (page == tshFormulario) {
        showPage(tshFormulario);
        sbtProcurar.SetEnabled(false);
        if (editing(cdsVenc))
            checkDueDate(Check::PageChange);
        if (editing(cdsProduto))
            checkItem(Check::PageChange);
    } else if (page == tshVenc) {
        showPage(tshVenc);
        if (editingHeader())
            checkHeader(Check::PageChange);
        if (editing(cdsProduto))
            checkItem(Check::PageChange);
        attach = cdsVenc;
    }
    dtsPadrao->setDataSet(attach);
    showDocumentRows(page);
    dtsPadraoStateChange();
    // The keyboard goes on in the page's grid, where the commands now act.
    if (page == tshProduto)
        dbgProduto->setFocus();
    else if (page == tshVenc)
        dbgVenc->setFocus();
}

void StockDocumentWindow::mnuFormularioClick()
{
    showPage(tshFormulario);
    pageChanged();
}

void StockDocumentWindow::mnuProdutoClick()
{
    showPage(tshProduto);
    pageChanged();
}

void StockDocumentWindow::mnuVencimentoClick()
{
    showPage(tshVenc);
    pageChanged();
}

void StockDocumentWindow::operationChanged()
{
    // A new operation type may take another kind of origin or destination:
    // it goes with the name.
    const DataSetState state = dtsPadrao->State();
    if (state != DataSetState::Edit && state != DataSetState::Insert)
        return;
    setHeader(QStringLiteral("NMTIPOOPER"), QString());
    setHeader(QStringLiteral("NRINSJURNF"), QString());
}

void StockDocumentWindow::partnerChanged()
{
    const DataSetState state = dtsPadrao->State();
    if (state == DataSetState::Edit || state == DataSetState::Insert)
        setHeader(QStringLiteral("NMORIGEM"), QString());
}

void StockDocumentWindow::operationLookup()
{
    if (!Pesquisar(dtsTipoOperac, kOperationTitle + u'|' + kNoOperationType, false, true))
        return;
    editHeader();
    for (const char *name : {"CDTIPOOPER", "NMTIPOOPER", "IDENTORIOP", "IDUTILVENC"})
        setHeader(QString::fromLatin1(name),
                  cdsTipoOperac->FieldByName(QString::fromLatin1(name))->AsString());
    enableDueDates(header(QStringLiteral("IDUTILVENC")) == QLatin1String("S"));
    m_partner->setFocus();
}

bool StockDocumentWindow::lookupPartner(TDataSource *list, const QString &title)
{
    if (!Pesquisar(list, title, false, true))
        return false;
    Table *partners = list->DataSet();
    const auto [registration, code, name]
        = partners == cdsClientes   ? std::tuple{"NRINSJURCL", "CDCLIENTE", "NMRAZSOCCL"}
          : partners == cdsForneced ? std::tuple{"NRINSJURFO", "CDFORNECED", "NMRAZSOCFO"}
                                    : std::tuple{"CDFILIAL", "CDFILIAL", "NMFILIAL"};
    editHeader();
    setHeader(QStringLiteral("NRINSJURNF"),
              partners->FieldByName(QString::fromLatin1(registration))->AsString());
    setHeader(QStringLiteral("CDORIGEM"),
              partners->FieldByName(QString::fromLatin1(code))->AsString());
    setHeader(QStringLiteral("NMORIGEM"),
              partners->FieldByName(QString::fromLatin1(name))->AsString());
    partnerPicked();
    // Stock does not move between a branch and itself.
    if (partners == cdsFilial && header(QStringLiteral("CDORIGEM")) == Session().branch) {
        focusPartner();
        cdsFilial->SetFiltered(false);
        error(QStringLiteral("fil<>or"));
    }
    return true;
}

void StockDocumentWindow::Vd_Operacao(bool required)
{
    if (EmptyString(header(QStringLiteral("CDTIPOOPER")))) {
        if (!required)
            return;
        showPage(tshFormulario);
        medOperacao->setFocus();
        error(QStringLiteral("to_dev"));
    }
    setHeader(QStringLiteral("CDTIPOOPER"), Ajusta(medOperacao->Text(), 2));
    FilterScope operation(*cdsTipoOperac, cdsTipoOperac->Filter()
                                              + QStringLiteral(" AND CDTIPOOPER =")
                                              + QuotedStr(medOperacao->Text()));
    if (cdsTipoOperac->IsEmpty()) {
        showPage(tshFormulario);
        medOperacao->setFocus();
        operation.restore();
        error(QStringLiteral("to_n_cad"));
    }
    for (const char *name : {"CDTIPOOPER", "NMTIPOOPER", "IDENTORIOP", "IDUTILVENC"})
        setHeader(QString::fromLatin1(name),
                  cdsTipoOperac->FieldByName(QString::fromLatin1(name))->AsString());
    enableDueDates(header(QStringLiteral("IDUTILVENC")) == QLatin1String("S"));
}

void StockDocumentWindow::checkPartner(bool required)
{
    const QString kind = header(QStringLiteral("IDENTORIOP"));
    if (kind == QLatin1String("C"))
        Vd_Cliente(required);
    if (kind == QLatin1String("F"))
        Vd_Fornecedor(required);
    if (kind == QLatin1String("L"))
        checkBranchPartner(required);
}

void StockDocumentWindow::Vd_Fornecedor(bool required)
{
    checkRegisteredPartner(cdsForneced, QStringLiteral("NRINSJURFO"), QStringLiteral("CDFORNECED"),
                           QStringLiteral("NMRAZSOCFO"), QStringLiteral("or_n_cad"), required);
}

void StockDocumentWindow::Vd_Cliente(bool required)
{
    checkRegisteredPartner(cdsClientes, QStringLiteral("NRINSJURCL"), QStringLiteral("CDCLIENTE"),
                           QStringLiteral("NMRAZSOCCL"), QStringLiteral("Cli_n_Cad"), required);
}

// A supplier or client: found by its registration number as typed (quoted,
// so a typed quote is part of the number), it gives the header its code,
// name and number.
void StockDocumentWindow::checkRegisteredPartner(Table *partners, const QString &registrationField,
                                                 const QString &codeField, const QString &nameField,
                                                 const QString &notRegistered, bool required)
{
    if (EmptyString(header(QStringLiteral("NRINSJURNF")))) {
        if (!required)
            return;
        showPage(tshFormulario);
        m_partner->setFocus();
        error(QStringLiteral("or_dev"));
    }
    FilterScope found(*partners,
                      registrationField + QStringLiteral(" = ") + QuotedStr(m_partner->Text()));
    if (partners->IsEmpty()) {
        showPage(tshFormulario);
        m_partner->setFocus();
        found.restore();
        error(notRegistered);
    }
    const QString code = partners->FieldByName(codeField)->AsString();
    const QString name = partners->FieldByName(nameField)->AsString();
    const QString registration = partners->FieldByName(registrationField)->AsString();
    setHeader(QStringLiteral("CDORIGEM"), code);
    setHeader(QStringLiteral("NMORIGEM"), name);
    setHeader(QStringLiteral("NRINSJURNF"), registration);
}

void StockDocumentWindow::checkBranchPartner(bool required)
{
    if (EmptyString(header(QStringLiteral("NRINSJURNF")))) {
        if (!required)
            return;
        focusPartner();
        error(QStringLiteral("or_dev"));
    }
    setHeader(QStringLiteral("NRINSJURNF"), Ajusta(header(QStringLiteral("NRINSJURNF")), 4));
    FilterScope branch(*cdsFilial, QStringLiteral("CDFILIAL = ")
                                       + QuotedStr(header(QStringLiteral("NRINSJURNF"))));
    if (cdsFilial->IsEmpty()) {
        focusPartner();
        branch.restore();
        error(QStringLiteral("fil_n_cad"));
    }
    setHeader(QStringLiteral("CDORIGEM"),
              cdsFilial->FieldByName(QStringLiteral("CDFILIAL"))->AsString());
    setHeader(QStringLiteral("NMORIGEM"),
              cdsFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
    // Stock does not move between a branch and itself.
    if (header(QStringLiteral("CDORIGEM")) == Session().branch) {
        focusPartner();
        branch.restore();
        error(QStringLiteral("fil<>or"));
    }
}

void StockDocumentWindow::buildItemGrid()
{
    // The widths the window was drawn with, wide enough for a masked code, a
    // quantity of thousands with three decimals and values with five.
    TDBGridColumns &columns = dbgProduto->Columns();
    columns.Add(kCode, QStringLiteral("Código"))->SetDesignWidth(m_kind.codeColumnWidth, 10);
    TColumn *nameColumn = columns.Add(QStringLiteral("NMPRODUTO"), QStringLiteral("Nome"));
    nameColumn->SetReadOnly(true);
    nameColumn->SetDesignWidth(172);
    TColumn *unit = columns.Add(QStringLiteral("SGUNIDADE"), QStringLiteral("UN"));
    unit->SetReadOnly(true);
    unit->SetDesignWidth(38);
    TColumn *quantity = columns.Add(kQuantity, QStringLiteral("Qtde"));
    quantity->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    quantity->SetDesignWidth(50, 8);
    TColumn *unitValue = columns.Add(kUnitValue, QStringLiteral("Vr. Unitário"));
    unitValue->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    unitValue->SetDesignWidth(65, 10);
    TColumn *total = columns.Add(kItemTotal, QStringLiteral("Vr. Total"));
    total->SetReadOnly(true);
    total->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    total->SetDesignWidth(102, 12);
    dbgProduto->OnColExit = [this] { dbgProdutoColExit(); };
    dbgProduto->OnEditButtonClick = [this] { dbgProdutoEditButtonClick(); };
    dbgProduto->OnKeyDown
        = [this](int &key, Qt::KeyboardModifiers shift) { dbgProdutoKeyDown(key, shift); };
    dbgProduto->OnKeyPress = [this](QChar &key) { dbgProdutoKeyPress(key); };
    dbgProduto->SetDeleteQuestion(kDeleteRowQuestion);
    dbgProduto->OnDrawColumnCell = [](TColumnCellDraw &cell) {
        // The cell shows the painted row's total, not the current record's.
        double value = 0;
        if (cell.field && cell.field->FieldName() == kItemTotal && TryStrToFloat(cell.text, value))
            cell.text = FormatFloat(kValueFormat, value);
    };
}

void StockDocumentWindow::focusItemColumn(const QString &fieldName)
{
    dbgProduto->SetSelectedField(fieldName);
    if (m_pages->ActivePage() == tshProduto)
        dbgProduto->setFocus();
}

void StockDocumentWindow::copyProduct()
{
    // The code first: its change clears the name and the unit.
    for (const QString &name : std::as_const(m_kind.productFields))
        setItem(name, cdsPesqProduto->FieldByName(name)->AsString().left(
                          cdsProduto->FieldByName(name)->Size()));
}

void StockDocumentWindow::Vd_Produto(bool required)
{
    if (EmptyString(item(kCode))) {
        if (!required)
            return;
        showPage(tshProduto);
        focusItemColumn(kCode);
        error(QStringLiteral("cod_dev"));
    }
    if (!cdsPesqProduto->Locate(kCode, item(kCode))) {
        showPage(tshProduto);
        focusItemColumn(kCode);
        error(QStringLiteral("prod_n_cad"));
    }
    copyProduct();
    if (cdsProduto->State() != DataSetState::Insert)
        return;
    // An item being changed may take a product the document already has;
    // a new one may not.
    FilterScope same(*cdsProdutoAux, m_kind.numberField + QStringLiteral(" =")
                                         + QuotedStr(header(m_kind.numberField))
                                         + QStringLiteral(" AND CDPRODUTO =")
                                         + QuotedStr(item(QStringLiteral("CDPRODUTO"))));
    if (!cdsProdutoAux->IsEmpty()) {
        focusItemColumn(kCode);
        same.restore();
        error(QStringLiteral("pr_j_cad"));
    }
}

QString StockDocumentWindow::normalised(Check mode, const QString &format, const Field *field) const
{
    if (mode == Check::Post && (format == kValueFormat || m_kind.quantityKeepsTypedWidth))
        return FormataValor(format, field->AsString(), field->Size());
    return FormatFloat(format, StrToFloat(field->AsString()));
}

void StockDocumentWindow::checkItem(Check mode)
{
    Vd_Produto(true);
    for (const auto &[name, format, message] : {std::tuple{kQuantity, kQuantityFormat, "qt_dev"},
                                                std::tuple{kUnitValue, kValueFormat, "vl_dev"}}) {
        Field *field = cdsProduto->FieldByName(name);
        if (EmptyString(field->AsString())) {
            if (mode == Check::PageChange)
                showPage(tshProduto);
            focusItemColumn(name);
            error(QString::fromLatin1(message));
        }
        field->SetAsString(normalised(mode, format, field));
    }
}

void StockDocumentWindow::cdsProdutoBeforeInsert()
{
    cdsProdutoAux->SetFiltered(false);
    cdsProdutoAux->SetData(cdsProduto->Data());
}

void StockDocumentWindow::cdsProdutoBeforePost()
{
    setItem(m_kind.numberField, header(m_kind.numberField));
    checkItem(Check::Post);
    completeItem();
}

void StockDocumentWindow::detailChanged()
{
    // A changed item changes its document: the header opens for confirm or
    // cancel; not while the whole document is being deleted. The commands
    // act on the page's table, whose state a deletion leaves as it was: they
    // are reconsidered here.
    if (m_deletingDocument || editingHeader())
        return;
    m_header->Edit();
    dtsPadraoStateChange();
}

void StockDocumentWindow::cdsProdutoCalcFields()
{
    const QString quantity = item(kQuantity);
    const QString unitValue = item(kUnitValue);
    double total = 0;
    double q = 0;
    double v = 0;
    // The key filters let only numbers in; a text that still does not read
    // shows no total rather than failing while the grid paints.
    if (!EmptyString(quantity) && !EmptyString(unitValue) && TryStrToFloat(quantity, q)
        && TryStrToFloat(unitValue, v))
        total = q * v;
    cdsProduto->FieldByName(kItemTotal)->SetAsFloat(total);
}

void StockDocumentWindow::CDARVPRODChange()
{
    setItem(QStringLiteral("NMPRODUTO"), QString());
    setItem(QStringLiteral("SGUNIDADE"), QString());
}

void StockDocumentWindow::dtsProdutoStateChange()
{
    if (const int column = IndiceCol(dbgProduto, kCode); column >= 0)
        dbgProduto->Columns().Items(column)->SetButtonStyle(
            cdsProduto->State() == DataSetState::Insert ? ColumnButtonStyle::Ellipsis
                                                        : ColumnButtonStyle::Auto);
}

void StockDocumentWindow::dbgProdutoColExit()
{
    const Field *leaving = dbgProduto->SelectedField();
    if (!editing(cdsProduto) || !leaving)
        return;
    const QString name = leaving->FieldName().toUpper();
    if (name == kCode) {
        Vd_Produto(false);
        productCodeLeft();
    } else if (name == kUnitValue && !EmptyString(item(kUnitValue))) {
        setItem(kUnitValue, FormatFloat(kValueFormat, StrToFloat(item(kUnitValue))));
    } else if (name == kQuantity && !EmptyString(item(kQuantity))) {
        setItem(kQuantity, FormatFloat(kQuantityFormat, StrToFloat(item(kQuantity))));
    }
}

void StockDocumentWindow::dbgProdutoEditButtonClick()
{
    // Only a new item takes its product from the list.
    if (cdsProduto->State() != DataSetState::Insert)
        return;
    if (!Pesquisar(dtsPesqProduto, msgPadrao.Msg(QStringLiteral("prod")), false, true))
        return;
    copyProduct();
    dbgProduto->SetSelectedField(kQuantity);
}

void StockDocumentWindow::dbgProdutoKeyDown(int &key, Qt::KeyboardModifiers)
{
    const Field *field = dbgProduto->SelectedField();
    const QString name = field ? field->FieldName().toUpper() : QString();
    if (name == kQuantity || name == kUnitValue)
        return;
    // A posted item keeps its product: a new product takes a new row.
    if (cdsProduto->State() != DataSetState::Insert && (key == VK_DELETE || key == VK_BACK))
        key = 0;
    if (key == VK_F9 && name == kCode) {
        key = 0;
        dbgProdutoEditButtonClick();
    }
}

void StockDocumentWindow::dbgProdutoKeyPress(QChar &key)
{
    const Field *field = dbgProduto->SelectedField();
    const QString name = field ? field->FieldName().toUpper() : QString();
    if (name == kQuantity || name == kUnitValue)
        NumericKeyPress(key, true);
    else if (!(name == kCode && cdsProduto->State() == DataSetState::Insert)
             && key != QChar(VK_RETURN))
        key = QChar();
}

void StockDocumentWindow::buildDueDateGrid()
{
    dbgVenc->Columns().Add(m_kind.dueDateField, QStringLiteral("Vencimento"))->SetWidthChars(10);
    TColumn *amount = dbgVenc->Columns().Add(m_kind.dueValueField, QStringLiteral("Valor"));
    amount->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    amount->SetWidthChars(12);
    dbgVenc->OnKeyPress = [this](QChar &key) { dbgVencKeyPress(key); };
    dbgVenc->SetDeleteQuestion(kDeleteRowQuestion);
}

void StockDocumentWindow::checkDueDate(Check mode)
{
    const auto focusColumn = [this](const QString &name) {
        showPage(tshVenc);
        dbgVenc->SetSelectedField(name);
        dbgVenc->setFocus();
    };
    Field *amount = cdsVenc->FieldByName(m_kind.dueValueField);
    if (EmptyString(amount->AsString())) {
        focusColumn(m_kind.dueValueField);
        error(QStringLiteral("vl_dev"));
    }
    amount->SetAsString(normalised(mode, kValueFormat, amount));
    // A document not posted yet has no stored date: every due date passes.
    // A row without a date falls before any stored date.
    const QDate stored = m_header->FieldByName(m_kind.documentDateField)->AsDate();
    const QDate dueDate = cdsVenc->FieldByName(m_kind.dueDateField)->AsDate();
    if (stored.isValid() && (!dueDate.isValid() || stored > dueDate)) {
        focusColumn(m_kind.dueDateField);
        error(QStringLiteral("dtvenc<"));
    }
}

void StockDocumentWindow::cdsVencBeforeInsert()
{
    cdsVencAux->SetFiltered(false);
    cdsVencAux->SetData(cdsVenc->Data());
}

void StockDocumentWindow::cdsVencBeforePost()
{
    checkDueDate(Check::Post);
    completeDueDate();
    if (cdsVenc->State() != DataSetState::Insert)
        return;
    const QString dateText
        = LocaleService::dateToText(cdsVenc->FieldByName(m_kind.dueDateField)->AsDate());
    FilterScope same(*cdsVencAux, m_kind.numberField + QStringLiteral(" = ")
                                      + QuotedStr(header(m_kind.numberField))
                                      + QStringLiteral(" AND ") + m_kind.dueDateField
                                      + QStringLiteral(" = ") + QuotedStr(dateText));
    if (!cdsVencAux->IsEmpty()) {
        dbgVenc->SetSelectedField(m_kind.dueDateField);
        if (m_pages->ActivePage() == tshVenc)
            dbgVenc->setFocus();
        same.restore();
        error(QStringLiteral("dt_j_cad"));
    }
    cdsVenc->FieldByName(m_kind.numberField)->SetAsString(header(m_kind.numberField));
}

void StockDocumentWindow::dbgVencKeyPress(QChar &key)
{
    // The date's separators come from its mask; amounts take the
    // workstation's decimal separator.
    NumericKeyPress(key, true);
}

} // namespace kiv
