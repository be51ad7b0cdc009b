#include "tfrminventario.h"

#include "datasource.h"
#include "datetimepicker.h"
#include "dbgrid.h"
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
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "textroutines.h"
#include "taskwindows.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

const QString kCodigo = QStringLiteral("CDARVPROD");
const QString kNome = QStringLiteral("NMPRODUTO");
const QString kUnidade = QStringLiteral("SGUNIDADE");
const QString kQuantidade = QStringLiteral("QUANTPROD");
const QString kFormatoQuantidade = QStringLiteral("###0.000");

// Under a mask that saves its literals, a code typed in part keeps the
// separators the operator never reached ("12.." for 12 under 99.99.999);
// the product is searched for by what was typed, without them.
QString codigoDigitado(const QString &text, const QString &platformMask)
{
    QString code = AllTrim(text);
    if (platformMask.isEmpty())
        return code;
    QString literals;
    for (const EditMask::Cell &cell : EditMask::fromPlatform(platformMask).cells)
        if (cell.literal)
            literals += cell.character;
    while (!code.isEmpty() && (literals.contains(code.back()) || code.back().isSpace()))
        code.chop(1);
    return code;
}

void copiarProduto(const Table &produto, Table &inventario)
{
    for (const QString &name : {QStringLiteral("CDPRODUTO"), kCodigo, kNome, kUnidade})
        inventario.FieldByName(name)->SetAsString(produto.FieldByName(name)->AsString());
}

} // namespace

TfrmInventario::TfrmInventario(const LoginSession &session, QWidget *parent)
    : TfrmPadraoGrid(parent)
{
    SetSession(session);
    setObjectName(QStringLiteral("TfrmInventario"));
    setWindowTitle(QStringLiteral("Inventário"));
    lblCodTela->setText(QStringLiteral("KIS00100"));
    msgPadrao = TMessages{
        QStringLiteral("Excl|Confirma exclusão?"),
        QStringLiteral("Cod_Inf|Produto deve ser informado."),
        QStringLiteral("Cod_NCad|Produto não cadastrado."),
        QStringLiteral("Prod_Info|Produto"),
        QStringLiteral("Prod_NCad|Não há produto cadastrado."),
        QStringLiteral("Quant_Inf|Quantidade deve ser informada."),
        QStringLiteral("PROD_JCad|Produto já cadastrado."),
        QStringLiteral("Quant_Zero|Quantidade deve ser maior ou igual a zero."),
        QStringLiteral("Inv_N_cad|Não há inventário cadastrado."),
    };
    declareTables();
    buildControls();

    // Counts are not printed, and the help command is not offered here.
    sbtImprimir.SetEnabled(false);
    mnuConfigImpressora->setEnabled(false);
    sbtAjuda.SetEnabled(false);
}

void TfrmInventario::declareTables()
{
    cdsInventario = new Table(QStringLiteral("cdsInventario"), this);
    cdsInventario->Declare(RecordedTables::inventario());
    cdsInventario->BeforeInsert = [this](Table &) { cdsInventarioBeforeInsert(); };
    cdsInventario->BeforeEdit = [this](Table &) { cdsInventarioBeforeEdit(); };
    cdsInventario->BeforePost = [this](Table &) { cdsInventarioBeforePost(); };
    cdsInventario->AfterPost = [this](Table &) { cdsInventarioAfterPost(); };
    cdsInventario->AfterCancel = [this](Table &) { cdsInventarioAfterCancel(); };

    cdsProduto = new Table(QStringLiteral("cdsProduto"), this);
    cdsProduto->Declare(RefTables::produto(RefTables::ProductReader::Inventory));
    dtsProduto = new TDataSource(this);
    dtsProduto->setObjectName(QStringLiteral("dtsProduto"));
    dtsProduto->setDataSet(cdsProduto);

    cdsItemInvent = new Table(QStringLiteral("cdsItemInvent"), this);
    cdsItemInvent->Declare(RecordedTables::itemInvent());

    cdsAux = new Table(QStringLiteral("cdsAux"), this);
    cdsAux->Declare(RecordedTables::inventario());
}

void TfrmInventario::buildControls()
{
    auto *header = new QWidget(ClientArea());
    header->setObjectName(QStringLiteral("pnlCabecalho"));
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);

    lblFilial = new QLabel(QStringLiteral("Filial Agregada"), header);
    lblFilial->setObjectName(QStringLiteral("lblFilial"));
    medCdFilial = new TMaskEdit(header);
    medCdFilial->setObjectName(QStringLiteral("medCdFilial"));
    medCdFilial->setEditMask(QStringLiteral("9999;0; "));
    medCdFilial->setReadOnly(true);
    medCdFilial->setFocusPolicy(Qt::NoFocus);
    const QFontMetrics metrics = medCdFilial->fontMetrics();
    medCdFilial->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("00000")) + 16);
    lblFilial->setBuddy(medCdFilial);
    edtNmFilial = new QLineEdit(header);
    edtNmFilial->setObjectName(QStringLiteral("edtNmFilial"));
    edtNmFilial->setReadOnly(true);
    edtNmFilial->setFocusPolicy(Qt::NoFocus);
    edtNmFilial->setMinimumWidth(edtNmFilial->fontMetrics().averageCharWidth() * 30);

    lblData = new QLabel(QStringLiteral("Data"), header);
    lblData->setObjectName(QStringLiteral("lblData"));
    dpkInventario = new TDateTimePicker(header);
    dpkInventario->setObjectName(QStringLiteral("dpkInventario"));
    dpkInventario->OnChange = [this] { dpkInventarioChange(); };
    lblData->setBuddy(dpkInventario);

    btnImportar = new QToolButton(header);
    btnImportar->setObjectName(QStringLiteral("btnImportar"));
    btnImportar->setText(QStringLiteral("Importar"));
    btnImportar->setToolTip(QStringLiteral("Importar"));
    btnImportar->setIcon(style()->standardIcon(QStyle::SP_DialogOpenButton));
    btnImportar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    btnImportar->setFocusPolicy(Qt::NoFocus);
    connect(btnImportar, &QToolButton::clicked, this,
            [this] { guarded(this, [this] { btnImportarClick(); }); });

    row->addWidget(lblFilial);
    row->addWidget(medCdFilial);
    row->addWidget(edtNmFilial, 1);
    row->addSpacing(16);
    row->addWidget(lblData);
    row->addWidget(dpkInventario);
    row->addSpacing(16);
    row->addWidget(btnImportar);
    ClientLayout()->insertWidget(0, header);

    dbgPadrao->Columns().Add(kCodigo, QStringLiteral("Código"))->SetWidthChars(14);
    dbgPadrao->Columns().Find(kCodigo)->SetButtonStyle(ColumnButtonStyle::Ellipsis);
    TColumn *nome = dbgPadrao->Columns().Add(kNome, QStringLiteral("Nome"));
    nome->SetWidthChars(40);
    nome->SetReadOnly(true);
    TColumn *unidade = dbgPadrao->Columns().Add(kUnidade, QStringLiteral("UN"));
    unidade->SetWidthChars(5);
    unidade->SetReadOnly(true);
    TColumn *quantidade = dbgPadrao->Columns().Add(kQuantidade, QStringLiteral("Qtde"));
    quantidade->SetWidthChars(10);
    quantidade->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    dbgPadrao->OnColExit = [this] { dbgPadraoColExit(); };
    dbgPadrao->OnEditButtonClick = [this] { dbgPadraoEditButtonClick(); };
    dbgPadrao->SetDeleteQuestion(msgPadrao.Msg(QStringLiteral("Excl")));

    dbtNome = new QLabel(ClientArea());
    dbtNome->setObjectName(QStringLiteral("dbtNome"));
    dbtNome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Right under the grid's page, above the navigator.
    ClientLayout()->insertWidget(ClientLayout()->indexOf(pgcPadrao) + 1, dbtNome);
    connect(dtsPadrao, &TDataSource::dataChanged, this, [this] { showProductName(); });
    connect(dtsPadrao, &TDataSource::stateChanged, this, [this] { showProductName(); });
    connect(dtsPadrao, &TDataSource::dataSetChanged, this, [this] { showProductName(); });

    resize(760, 480);
}

QString TfrmInventario::dataFile(const QString &fileName) const
{
    return Session().file(fileName);
}

void TfrmInventario::FormCreate()
{
    TfrmPadraoGrid::FormCreate();
    m_branch = Session().branch;
    m_operator = Session().operatorCode;
    medCdFilial->SetText(m_branch);
    edtNmFilial->setText(Session().branchName);

    // A session without a product mask types codes freely: the mask of a
    // lone blank would be one literal place, where nothing could be typed.
    const QString prodMask = Session().productMask;
    if (!EmptyString(prodMask)) {
        SetFieldEditMask(*cdsInventario->FieldByName(kCodigo), prodMask + QLatin1Char(' '));
        SetFieldEditMask(*cdsProduto->FieldByName(kCodigo), prodMask + QLatin1Char(' '));
    }

    cdsInventario->LoadFromFile(dataFile(QStringLiteral("INVENTARIO.cds")));
    cdsInventario->SetFilter(QStringLiteral("CDFILIAL = ") + m_branch);
    cdsInventario->SetFiltered(true);
    cdsProduto->LoadFromFile(dataFile(QStringLiteral("PRODUTO.CDS")));
    cdsItemInvent->CreateDataSet();

    dpkInventario->SetDate(QDate::currentDate());
    dpkInventarioChange();
}

void TfrmInventario::FormActivate()
{
    SetStatusPanel(3, NomeUnit(this));
}

void TfrmInventario::FormClose(bool &allowClose)
{
    SetStatusPanel(3, QStringLiteral("KIS00000"));
    TfrmPadraoGrid::FormClose(allowClose);
}

void TfrmInventario::dpkInventarioChange()
{
    // The table store does not tell its controls that a new filter changed
    // the rows they show; releasing the controls afterwards does.
    cdsInventario->DisableControls();
    const auto release = qScopeGuard([this] { cdsInventario->EnableControls(); });
    cdsInventario->SetFilter(QStringLiteral("CDFILIAL = '%1' AND DTLANCESTQ = '%2'")
                                 .arg(m_branch, LocaleService::dateToText(dpkInventario->Date())));
    cdsInventario->SetFiltered(true);
    dtsPadrao->setDataSet(cdsInventario);
}

void TfrmInventario::focusColumn(const QString &fieldName)
{
    dbgPadrao->SetSelectedField(fieldName);
}

void TfrmInventario::Vd_Produto(bool obrigatorio)
{
    Field *codigo = cdsInventario->FieldByName(kCodigo);
    const QString digitado = codigoDigitado(codigo->AsString(), FieldEditMask(*codigo));
    if (!digitado.isEmpty()) {
        // The product table browses in code order, so a partial code takes
        // the first product it begins.
        if (!cdsProduto->Locate(kCodigo, digitado, loPartialKey)) {
            focusColumn(kCodigo);
            MensErro(msgPadrao.Msg(QStringLiteral("Cod_NCad")), true);
        }
        cdsInventario->Edit();
        copiarProduto(*cdsProduto, *cdsInventario);
        cdsInventario->FieldByName(QStringLiteral("DTLANCESTQ"))->SetAsDate(dpkInventario->Date());
    } else if (obrigatorio) {
        focusColumn(kCodigo);
        MensErro(msgPadrao.Msg(QStringLiteral("Cod_Inf")), true);
    }

    if (cdsInventario->State() == DataSetState::Insert
        && cdsAux->Locate(QStringLiteral("CDFILIAL;CDPRODUTO;DTLANCESTQ"),
                          QVariantList{m_branch,
                                       cdsInventario->FieldByName(QStringLiteral("CDPRODUTO"))
                                           ->AsString(),
                                       dpkInventario->Date()})) {
        focusColumn(kCodigo);
        MensErro(msgPadrao.Msg(QStringLiteral("PROD_JCad")), true);
    }
}

void TfrmInventario::dbgPadraoColExit()
{
    const Field *leaving = dbgPadrao->SelectedField();
    if (cdsInventario->State() == DataSetState::Insert && leaving
        && leaving->FieldName().compare(kCodigo, Qt::CaseInsensitive) == 0)
        Vd_Produto(false);
}

void TfrmInventario::lookUpProduct()
{
    const Field *current = dbgPadrao->SelectedField();
    if (cdsInventario->State() != DataSetState::Insert || !current
        || current->FieldName().compare(kCodigo, Qt::CaseInsensitive) != 0)
        return;
    const QString title = msgPadrao.Msg(QStringLiteral("Prod_Info")) + QLatin1Char('|')
                          + msgPadrao.Msg(QStringLiteral("Prod_NCad"));
    if (!Pesquisar(dtsProduto, title, false, true))
        return;
    copiarProduto(*cdsProduto, *cdsInventario);
}

void TfrmInventario::dbgPadraoEditButtonClick()
{
    lookUpProduct();
}

void TfrmInventario::dbgPadraoKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    TfrmPadraoGrid::dbgPadraoKeyDown(key, shift);
    if (key == VK_F9 && cdsInventario->State() == DataSetState::Insert) {
        key = 0;
        lookUpProduct();
    }
}

void TfrmInventario::dbgPadraoKeyPress(QChar &key)
{
    TfrmPadraoGrid::dbgPadraoKeyPress(key);
    const Field *field = dbgPadrao->SelectedField();
    if (!field || key.isNull())
        return;
    const QString name = field->FieldName().toUpper();
    if (name == kNome || name == kUnidade) {
        key = QChar();
        return;
    }
    if (name != kQuantidade)
        return;
    NumericKeyPress(key, true);
    const QChar separator = LocaleService::decimalSeparator();
    if (key == separator) {
        const QString text = GridText(dbgPadrao, kQuantidade);
        if (text.isEmpty() || text.contains(separator))
            key = QChar();
    }
}

void TfrmInventario::dtsPadraoStateChange()
{
    TfrmPadraoGrid::dtsPadraoStateChange();
    const DataSetState state = dtsPadrao->State();
    const bool rowOpen = state == DataSetState::Edit || state == DataSetState::Insert;
    // The date chooses the rows shown: it cannot change under an open row.
    dpkInventario->setEnabled(!rowOpen);
    lblData->setEnabled(!rowOpen);
    QPalette colours = dpkInventario->palette();
    colours.setColor(QPalette::Base, palette().color(rowOpen ? QPalette::Button
                                                             : QPalette::ToolTipBase));
    dpkInventario->setPalette(colours);
}

void TfrmInventario::sbtVerificarClick()
{
    if (dtsPadrao->State() == DataSetState::Browse)
        cdsInventario->LoadFromFile(dataFile(QStringLiteral("INVENTARIO.cds")));
}

void TfrmInventario::sbtExcluirClick()
{
    if (!cdsInventario->Active() || cdsInventario->IsEmpty())
        return;
    if (ShowMsg(msgPadrao, QStringLiteral("Excl"), MsgType::Confirmation, mbYes | mbNo) != mrYes)
        return;
    cdsInventario->Delete();
    const auto enable = qScopeGuard([this] { btnImportar->setEnabled(true); });
    saveCounts();
}

void TfrmInventario::cdsInventarioBeforeInsert()
{
    btnImportar->setEnabled(false);
    cdsAux->SetData(cdsInventario->Data());
    focusColumn(kCodigo);
}

void TfrmInventario::cdsInventarioBeforeEdit()
{
    btnImportar->setEnabled(false);
    cdsAux->SetData(cdsInventario->Data());
    focusColumn(kQuantidade);
}

void TfrmInventario::cdsInventarioBeforePost()
{
    Vd_Produto(true);
    Field *quantidade = cdsInventario->FieldByName(kQuantidade);
    if (EmptyString(cdsInventario->FieldByName(kCodigo)->AsString())) {
        focusColumn(kCodigo);
        MensErro(msgPadrao.Msg(QStringLiteral("Cod_Inf")), true);
    } else if (EmptyString(quantidade->AsString())) {
        focusColumn(kQuantidade);
        MensErro(msgPadrao.Msg(QStringLiteral("Quant_Inf")), true);
    }

    focusColumn(kQuantidade);
    const Field *selected = dbgPadrao->SelectedField();
    if (selected && selected->FieldName().compare(kQuantidade, Qt::CaseInsensitive) == 0)
        quantidade->SetAsString(FormatFloat(kFormatoQuantidade,
                                            ConverteValor(quantidade->AsString())));
    // A formatted quantity below zero starts with "-", which sorts before
    // every digit.
    if (QString::compare(quantidade->AsString(), QStringLiteral("0")) < 0) {
        focusColumn(kQuantidade);
        MensErro(msgPadrao.Msg(QStringLiteral("Quant_Zero")), true);
    }

    cdsInventario->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(m_branch);
    cdsInventario->FieldByName(QStringLiteral("CDOPERADOR"))->SetAsString(m_operator);
    cdsInventario->FieldByName(QStringLiteral("DTLANCESTQ"))->SetAsDate(dpkInventario->Date());
    m_lastCode = cdsInventario->FieldByName(kCodigo)->AsString();
}

void TfrmInventario::cdsInventarioAfterPost()
{
    // A failed save leaves the posted row in memory, so the next save
    // writes it; the import stays available either way.
    const auto enable = qScopeGuard([this] { btnImportar->setEnabled(true); });
    saveCounts();
}

void TfrmInventario::cdsInventarioAfterCancel()
{
    btnImportar->setEnabled(true);
}

void TfrmInventario::saveCounts()
{
    // The save writes every record, of every branch and date, whatever the
    // filter shows; the file is replaced whole or not at all.
    cdsInventario->SaveToFile(dataFile(QStringLiteral("INVENTARIO.CDS")));
    if (!m_lastCode.isEmpty())
        cdsInventario->Locate(kCodigo, m_lastCode, loCaseInsensitive);
}

void TfrmInventario::btnImportarClick()
{
    cdsItemInvent->SetFiltered(false);
    cdsItemInvent->LoadFromFile(dataFile(QStringLiteral("ITEMINVENT.cds")));
    if (cdsItemInvent->IsEmpty())
        MensErro(msgPadrao.Msg(QStringLiteral("Inv_N_cad")), true);
    cdsItemInvent->SetFilter(QStringLiteral("CDFILIAL = ") + m_branch);
    cdsItemInvent->SetFiltered(true);
    cdsItemInvent->First();

    cdsInventario->DisableControls();
    // At the end, after a failure too: a row refused half-way is not
    // imported (the rows before it are saved), and the operator sees the
    // list from its first row.
    const auto terminar = [this] {
        if (cdsInventario->State() == DataSetState::Insert
            || cdsInventario->State() == DataSetState::Edit)
            cdsInventario->Cancel();
        cdsInventario->First();
        cdsInventario->EnableControls();
        dtsPadraoStateChange();
    };
    try {
        importItems();
    } catch (...) {
        terminar();
        throw;
    }
    terminar();
}

void TfrmInventario::importItems()
{
    const Field *itemProduto = cdsItemInvent->FieldByName(QStringLiteral("CDPRODUTO"));
    while (!cdsItemInvent->Eof()) {
        const QString produto = itemProduto->AsString();
        const bool contado = cdsInventario->Locate(QStringLiteral("CDFILIAL;CDPRODUTO"),
                                                   QVariantList{m_branch, produto});
        if (!contado && cdsProduto->Locate(QStringLiteral("CDPRODUTO"), produto)) {
            // Read before the row opens, so that a quantity that does not
            // read stops the import without a half-filled row.
            const QString quantidade = FormatFloat(
                kFormatoQuantidade,
                StrToFloat(cdsItemInvent->FieldByName(QStringLiteral("QTITINVENTRETI"))
                               ->AsString()));
            cdsInventario->Insert();
            cdsInventario->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(m_branch);
            cdsInventario->FieldByName(QStringLiteral("CDOPERADOR"))->SetAsString(m_operator);
            cdsInventario->FieldByName(QStringLiteral("DTLANCESTQ"))
                ->SetAsDate(dpkInventario->Date());
            for (const QString &name : {QStringLiteral("CDPRODUTO"), kCodigo, kNome, kUnidade})
                cdsInventario->FieldByName(name)->SetAsString(
                    cdsItemInvent->FieldByName(name)->AsString());
            cdsInventario->FieldByName(kQuantidade)->SetAsString(quantidade);
            cdsInventario->Post();
        }
        cdsItemInvent->Next();
    }
}

void TfrmInventario::showProductName()
{
    const Table *table = dtsPadrao->DataSet();
    const bool shown = table && table->Active() && !table->IsEmpty();
    dbtNome->setText(shown ? table->FieldByName(kNome)->AsString() : QString());
}

} // namespace kiv

KIV_REGISTER_TASK_WINDOW(kiv::TaskWindow::Inventario, kiv::TfrmInventario)
