#include "tfrmsolcompra.h"

#include "datasource.h"
#include "dbgrid.h"
#include "dbnavigator.h"
#include "editmask.h"
#include "errors.h"
#include "fieldeditmask.h"
#include "keys.h"
#include "localeservice.h"
#include "lookupdialogs.h"
#include "maskedit.h"
#include "messagebox.h"
#include "numerictext.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "taskwindows.h"
#include "textroutines.h"

#include <QAction>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <vector>

namespace kiv {

namespace {

const QString kProductCode = QStringLiteral("CDARVPROD");
const QString kProductName = QStringLiteral("NMPRODUTO");
const QString kUnit = QStringLiteral("SGUNIDADE");
const QString kPlanned = QStringLiteral("QTSOLICPRO");
const QString kAdjusted = QStringLiteral("QTAJUSTPRO");
const QString kJustification = QStringLiteral("DSJUSTSOLI");
const QString kRequestNumber = QStringLiteral("NRSOLICMP");
const QString kQuantityFormat = QStringLiteral("##0.000");

// A quantity in thousandths, the precision the file keeps: "10" and
// "10,000" are the same quantity.
qint64 thousandths(const QString &text)
{
    return std::llround(ConverteValor(text) * 1000.0);
}

bool sameQuantity(const QString &a, const QString &b)
{
    try {
        return thousandths(a) == thousandths(b);
    } catch (const EConvertError &) {
        return a == b;
    }
}

QString formattedQuantity(const QString &text)
{
    return FormatFloat(kQuantityFormat, ConverteValor(text));
}

// The code as typed, without the mask's literals where nothing was typed
// ("12.." for 12 under 99.99.999): only literals is no code at all.
bool codeIsEmpty(const QString &text, const QString &platformMask)
{
    QString code = AllTrim(text);
    if (!platformMask.isEmpty()) {
        QString literals;
        for (const EditMask::Cell &cell : EditMask::fromPlatform(platformMask).cells)
            if (cell.literal)
                literals += cell.character;
        code.removeIf([&](QChar c) { return literals.contains(c) || c.isSpace(); });
    }
    return code.isEmpty();
}

} // namespace

TfrmSolCompra::TfrmSolCompra(const LoginSession &session, QWidget *parent)
    : TfrmPadraoSimples(parent)
{
    SetSession(session);
    setObjectName(QStringLiteral("TfrmSolCompra"));
    setWindowTitle(QStringLiteral("Solicitação de Compras"));
    lblCodTela->setText(QStringLiteral("KIS00400"));
    msgPadrao = TMessages{
        QStringLiteral("Prod_Info|Produto"),
        QStringLiteral("Just|Justificativa"),
        QStringLiteral("nr_soli|Solicitação"),
        QStringLiteral("Cod_Inf|Código deve ser informado."),
        QStringLiteral("Cod_NCad|Código não cadastrado."),
        QStringLiteral("PROD_JCad|Produto já cadastrado."),
        QStringLiteral("QtPrev_Inf|Quantidade prevista deve ser informada."),
        QStringLiteral("QtAjus_Inf|Quantidade ajustada deve ser informada."),
        QStringLiteral("QtPrev_Zero|Quantidade prevista deve ser maior que zero."),
        QStringLiteral("QtAjus_Zero|Quantidade ajustada deve ser maior que zero."),
        QStringLiteral("nr_soli_inf|Solicitção deve ser informada."),
        QStringLiteral("Just_Inf|Justificativa deve ser informada."),
        QStringLiteral("Quantidade_Menor|Quantidade ajustada deve ser menor que a quantidade "
                       "solicitada."),
    };
    declareTables();
    buildControls();

    // Requests are not printed here, and the help command is not offered.
    sbtImprimir.SetEnabled(false);
    mnuConfigImpressora->setEnabled(false);
    mnuOrdenar->setShortcut(QKeySequence());
}

void TfrmSolCompra::declareTables()
{
    cdsSoliComp = new Table(QStringLiteral("cdsSoliComp"), this);
    cdsSoliComp->Declare(RecordedTables::soliComp());
    cdsSoliComp->BeforeInsert = [this](Table &) { cdsSoliCompBeforeInsert(); };
    cdsSoliComp->AfterInsert = [this](Table &) {
        if (!m_normalising)
            focusColumn("CDARVPROD");
    };
    cdsSoliComp->BeforeEdit = [this](Table &) { cdsSoliCompBeforeEdit(); };
    cdsSoliComp->BeforePost = [this](Table &) { cdsSoliCompBeforePost(); };
    cdsSoliComp->AfterPost = [this](Table &) { cdsSoliCompAfterPost(); };
    cdsSoliComp->AfterCancel = [this](Table &) { cdsSoliCompAfterCancel(); };
    cdsSoliComp->BeforeDelete = [this](Table &) { cdsSoliCompBeforeDelete(); };
    cdsSoliComp->FieldByName(kAdjusted)->OnSetText
        = [this](Field &field, const QString &text) { QTAJUSTPROSetText(field, text); };
    // Justification and request number are picked from their lists, never
    // typed: text typed into their cells (a paste) leaves them as they are.
    for (const QString &picked : {kJustification, kRequestNumber})
        cdsSoliComp->FieldByName(picked)->OnSetText = [](Field &, const QString &) {};
    // The product code is typed only on a new row.
    cdsSoliComp->FieldByName(kProductCode)->SetReadOnly(true);
    dtsPadrao->setDataSet(cdsSoliComp);

    cdsAux = new Table(QStringLiteral("cdsAux"), this);
    cdsAux->Declare(RecordedTables::soliComp());

    cdsDataSoli = new Table(QStringLiteral("cdsDataSoli"), this);
    cdsDataSoli->Declare(RefTables::dataSoli());
    cdsDataSoli->FieldByName(QStringLiteral("STDATASOLI"))->SetReadOnly(true);
    cdsDataSoli->BeforeScroll = [this](Table &) { cdsDataSoliBeforeScroll(); };
    cdsDataSoli->AfterScroll = [this](Table &) { cdsDataSoliAfterScroll(); };
    dtsDataSoli = new TDataSource(this);
    dtsDataSoli->setObjectName(QStringLiteral("dtsDataSoli"));
    dtsDataSoli->setDataSet(cdsDataSoli);

    cdsProduto = new Table(QStringLiteral("cdsProduto"), this);
    cdsProduto->Declare(RefTables::produto(RefTables::ProductReader::PurchaseRequests));
    dtsProduto = new TDataSource(this);
    dtsProduto->setObjectName(QStringLiteral("dtsProduto"));
    dtsProduto->setDataSet(cdsProduto);

    cdsJustSoli = new Table(QStringLiteral("cdsJustSoli"), this);
    cdsJustSoli->Declare(RefTables::justSoli());
    dtsJustificativa = new TDataSource(this);
    dtsJustificativa->setObjectName(QStringLiteral("dtsJustificativa"));
    dtsJustificativa->setDataSet(cdsJustSoli);

    cdsSolicita = new Table(QStringLiteral("cdsSolicita"), this);
    cdsSolicita->Declare(RefTables::solicita());
    dtsSolicita = new TDataSource(this);
    dtsSolicita->setObjectName(QStringLiteral("dtsSolicita"));
    dtsSolicita->setDataSet(cdsSolicita);

    cdsParaSupri = new Table(QStringLiteral("cdsParaSupri"), this);
    cdsParaSupri->Declare(RefTables::paraSupri());
}

void TfrmSolCompra::buildControls()
{
    auto *header = new QWidget(ClientArea());
    header->setObjectName(QStringLiteral("pnlCabecalho"));
    auto *row = new QHBoxLayout(header);
    row->setContentsMargins(0, 0, 0, 0);
    lblAgregada = new QLabel(QStringLiteral("Filial Agregada"), header);
    lblAgregada->setObjectName(QStringLiteral("lblAgregada"));
    lblAgregada->setEnabled(false);
    medCdFilial = new TMaskEdit(header);
    medCdFilial->setObjectName(QStringLiteral("medCdFilial"));
    medCdFilial->setEditMask(QStringLiteral("9999;0; "));
    medCdFilial->setMaxLength(4);
    medCdFilial->setEnabled(false);
    const QFontMetrics metrics = medCdFilial->fontMetrics();
    medCdFilial->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("00000")) + 16);
    lblAgregada->setBuddy(medCdFilial);
    BtnPesquisa1 = new QToolButton(header);
    BtnPesquisa1->setObjectName(QStringLiteral("BtnPesquisa1"));
    BtnPesquisa1->setText(QStringLiteral("..."));
    BtnPesquisa1->setEnabled(false);
    edtNmFilial = new QLineEdit(header);
    edtNmFilial->setObjectName(QStringLiteral("edtNmFilial"));
    edtNmFilial->setEnabled(false);
    edtNmFilial->setMinimumWidth(edtNmFilial->fontMetrics().averageCharWidth() * 30);
    row->addWidget(lblAgregada);
    row->addWidget(medCdFilial);
    row->addWidget(BtnPesquisa1);
    row->addWidget(edtNmFilial, 1);
    ClientLayout()->addWidget(header);

    auto *body = new QHBoxLayout;
    dbgDataSoli = new TDBGrid(ClientArea());
    dbgDataSoli->setObjectName(QStringLiteral("dbgDataSoli"));
    dbgDataSoli->SetDataSource(dtsDataSoli);
    dbgDataSoli->SetReadOnly(true);
    dbgDataSoli->SetTabsMoveCells(false);
    dbgDataSoli->Columns().Add(QStringLiteral("DTPROGENTR"), QStringLiteral("Data"))
        ->SetWidthChars(10);
    dbgDataSoli->setFixedWidth(dbgDataSoli->Columns().Items(0)->Width() + 24);
    body->addWidget(dbgDataSoli);

    auto *right = new QVBoxLayout;
    dbgPadrao = new TDBGrid(ClientArea());
    dbgPadrao->setObjectName(QStringLiteral("dbgPadrao"));
    dbgPadrao->SetDataSource(dtsPadrao);
    TDBGridColumns &columns = dbgPadrao->Columns();
    TColumn *codigo = columns.Add(kProductCode, QStringLiteral("Código"));
    codigo->SetDesignWidth(80, 10);
    codigo->SetButtonStyle(ColumnButtonStyle::Ellipsis);
    TColumn *nome = columns.Add(kProductName, QStringLiteral("Nome"));
    nome->SetDesignWidth(100);
    nome->SetReadOnly(true);
    TColumn *unidade = columns.Add(kUnit, QStringLiteral("UN"));
    unidade->SetDesignWidth(21);
    unidade->SetAlignment(Qt::AlignCenter);
    unidade->SetReadOnly(true);
    TColumn *prevista = columns.Add(kPlanned, QStringLiteral("Prevista"));
    prevista->SetDesignWidth(45, 9);
    prevista->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    prevista->SetReadOnly(true);
    TColumn *ajustada = columns.Add(kAdjusted, QStringLiteral("Ajustada"));
    ajustada->SetDesignWidth(48, 9);
    ajustada->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TColumn *justificativa = columns.Add(kJustification, QStringLiteral("Justif."));
    justificativa->SetDesignWidth(80);
    justificativa->SetButtonStyle(ColumnButtonStyle::Ellipsis);
    TColumn *solicitacao = columns.Add(kRequestNumber, QStringLiteral("Solicitação"));
    solicitacao->SetDesignWidth(67, 10);
    solicitacao->SetButtonStyle(ColumnButtonStyle::Ellipsis);
    dbgPadrao->OnKeyDown = [this](int &key, Qt::KeyboardModifiers shift) {
        dbgPadraoKeyDown(key, shift);
    };
    dbgPadrao->OnKeyPress = [this](QChar &key) { dbgPadraoKeyPress(key); };
    dbgPadrao->OnColExit = [this] { dbgPadraoColExit(); };
    dbgPadrao->OnEditButtonClick = [this] { dbgPadraoEditButtonClick(); };
    right->addWidget(dbgPadrao, 1);

    dbtNome = new QLabel(ClientArea());
    dbtNome->setObjectName(QStringLiteral("dbtNome"));
    QFont bold = dbtNome->font();
    bold.setBold(true);
    dbtNome->setFont(bold);
    dbtNome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    right->addWidget(dbtNome);
    connect(dtsPadrao, &TDataSource::dataChanged, this, [this] { showProductName(); });
    connect(dtsPadrao, &TDataSource::stateChanged, this, [this] { showProductName(); });

    DBNavigator1 = new TDBNavigator(ClientArea());
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    DBNavigator1->SetDataSource(dtsPadrao);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(DBNavigator1);
    bottom->addStretch(1);
    right->addLayout(bottom);
    body->addLayout(right, 1);
    ClientLayout()->addLayout(body, 1);

    resize(900, 480);
}

QString TfrmSolCompra::dataFile(const QString &fileName) const
{
    return Session().file(fileName);
}

void TfrmSolCompra::FormCreate()
{
    TfrmPadraoSimples::FormCreate();
    sbtAjuda.SetEnabled(false);
    AtualizaBotoes();
    m_branch = Session().branch;
    medCdFilial->SetText(m_branch);
    edtNmFilial->setText(Session().branchName);

    cdsProduto->LoadFromFile(dataFile(QStringLiteral("PRODUTO.cds")));
    cdsJustSoli->LoadFromFile(dataFile(QStringLiteral("JustSoli.cds")));
    cdsSoliComp->CreateDataSet();
    cdsSolicita->LoadFromFile(dataFile(QStringLiteral("SOLICITA.cds")));
    cdsSolicita->SetFilter(QStringLiteral("CDFILSOLI = ") + QuotedStr(medCdFilial->Text()));
    cdsSolicita->SetFiltered(true);
    cdsParaSupri->LoadFromFile(dataFile(QStringLiteral("ParaSupri.cds")));
    cdsDataSoli->LoadFromFile(dataFile(QStringLiteral("DATASOLI.cds")));
    cdsDataSoli->SetFilter(QStringLiteral("CDFILSOLI = ") + QuotedStr(medCdFilial->Text()));
    cdsDataSoli->SetFiltered(true);

    Criando = true;
    const auto created = qScopeGuard([this] {
        Criando = false;
        sbtExcluir.SetEnabled(false);
    });
    if (!hasDates()) {
        sbtIncluir.SetEnabled(false);
        return;
    }
    // A session without a product mask types codes freely: the mask of a
    // lone blank would be one literal place, where nothing could be typed.
    if (!EmptyString(Session().productMask))
        SetFieldEditMask(*cdsSoliComp->FieldByName(kProductCode),
                         Session().productMask + QLatin1Char(' '));
    cdsDataSoli->First();
    loadDateRows();
}

void TfrmSolCompra::FormActivate()
{
    SetStatusPanel(3, NomeUnit(this));
}

void TfrmSolCompra::FormClose(bool &allowClose)
{
    SetStatusPanel(3, QStringLiteral("KIS00000"));
    TfrmPadraoSimples::FormClose(allowClose);
}

bool TfrmSolCompra::hasDates() const
{
    return cdsDataSoli->Active() && !cdsDataSoli->IsEmpty();
}

bool TfrmSolCompra::inserting() const
{
    return cdsSoliComp->State() == DataSetState::Insert;
}

bool TfrmSolCompra::editingOrInserting() const
{
    return cdsSoliComp->State() == DataSetState::Edit || inserting();
}

QString TfrmSolCompra::fieldText(const char *fieldName) const
{
    return cdsSoliComp->FieldByName(QString::fromLatin1(fieldName))->AsString();
}

void TfrmSolCompra::setFieldText(const char *fieldName, const QString &value)
{
    Field *field = cdsSoliComp->FieldByName(QString::fromLatin1(fieldName));
    if (field->AsString() != value)
        field->SetAsString(value);
}

void TfrmSolCompra::focusColumn(const char *fieldName)
{
    m_focusing = true;
    const auto done = qScopeGuard([this] { m_focusing = false; });
    dbgPadrao->SetSelectedField(QString::fromLatin1(fieldName));
    if (isVisible())
        dbgPadrao->setFocus();
}

void TfrmSolCompra::refuse(const char *key)
{
    MensErro(msgPadrao.Msg(QString::fromLatin1(key)), true);
}

void TfrmSolCompra::AtualizaBotoes()
{
    sbtIncluir.SetEnabled(hasDates() && m_rowsLoaded);
    sbtExcluir.SetEnabled(false);
    const bool comLinhas = cdsSoliComp->Active() && cdsSoliComp->RecordCount() > 0;
    sbtAlterar.SetEnabled(comLinhas);
    sbtProcurar.SetEnabled(comLinhas);
    sbtVerificar.SetEnabled(comLinhas);
}

void TfrmSolCompra::dtsPadraoStateChange()
{
    // Cancel and confirm follow the row's state as in every window; in
    // browse the commands are this window's.
    AtualizaComandos();
    if (dtsPadrao->State() == DataSetState::Browse)
        AtualizaBotoes();
    sbtExcluir.SetEnabled(false);
    showProductName();
}

void TfrmSolCompra::cdsDataSoliBeforeScroll()
{
    if (!cdsSoliComp->Active())
        return;
    if (m_savePending && !editingOrInserting())
        saveRows();
    if (!editingOrInserting())
        return;
    // The row being typed is not lost to another date: it is posted, or
    // the date stays where the check stopped it. A row opened and left
    // untouched has nothing to keep and is given up, as any move does.
    dbgPadrao->UpdateData();
    try {
        cdsSoliComp->CheckBrowseMode();
    } catch (...) {
        // The click on the date list goes on after the message: the focus
        // comes back to the cell the check named once the click is done.
        QTimer::singleShot(0, dbgPadrao, [grid = dbgPadrao] { grid->setFocus(); });
        throw;
    }
}

void TfrmSolCompra::cdsDataSoliAfterScroll()
{
    // The loads and filters of the creation move the list too; the rows
    // follow the list once the creation has shown the first date.
    if (!m_rowsLoaded || !hasDates())
        return;
    if (cdsDataSoli->FieldByName(QStringLiteral("DTPROGENTR"))->AsDateTime() == m_date)
        return;
    loadDateRows();
}

void TfrmSolCompra::loadDateRows()
{
    cdsSoliComp->DisableControls();
    const auto refresh = qScopeGuard([this] {
        cdsSoliComp->EnableControls();
        AtualizaBotoes();
        showProductName();
    });
    cdsSoliComp->LoadFromFile(dataFile(QStringLiteral("SOLICOMP.CDS")));
    m_rowsLoaded = true;
    m_date = cdsDataSoli->FieldByName(QStringLiteral("DTPROGENTR"))->AsDateTime();
    const QString filial = cdsDataSoli->FieldByName(QStringLiteral("CDFILSOLI"))->AsString();
    cdsSoliComp->SetFilter(QStringLiteral("CDFILISOLI = ") + QuotedStr(filial)
                           + QStringLiteral("and DTPROGENTR = ")
                           + QuotedStr(LocaleService::dateTimeToText(m_date)));
    cdsSoliComp->SetFiltered(true);
    cdsSoliComp->First();
    if (Criando)
        normaliseQuantities();
}

void TfrmSolCompra::normaliseQuantities()
{
    // Every text is read before any is changed: a quantity that does not
    // read stops the opening with its error and nothing is rewritten.
    struct Change
    {
        int row;
        QString planned;
        QString adjusted;
    };
    std::vector<Change> changes;
    for (cdsSoliComp->First(); !cdsSoliComp->Eof(); cdsSoliComp->Next()) {
        const QString prevista = formattedQuantity(fieldText("QTSOLICPRO"));
        const QString ajustada = formattedQuantity(fieldText("QTAJUSTPRO"));
        if (prevista != fieldText("QTSOLICPRO") || ajustada != fieldText("QTAJUSTPRO"))
            changes.push_back({cdsSoliComp->RecNo(), prevista, ajustada});
    }
    cdsSoliComp->First();
    if (changes.empty())
        return;

    // Only the form of the texts changes: not a post of the operator's, so
    // none of the row's checks or stamps apply.
    m_normalising = true;
    const auto finish = qScopeGuard([this] {
        if (editingOrInserting())
            cdsSoliComp->Cancel();
        m_normalising = false;
        cdsSoliComp->First();
    });
    for (const Change &m : changes) {
        cdsSoliComp->SetRecNo(m.row);
        cdsSoliComp->Edit();
        setFieldText("QTSOLICPRO", m.planned);
        setFieldText("QTAJUSTPRO", m.adjusted);
        cdsSoliComp->Post();
    }
    cdsSoliComp->SaveToFile(dataFile(QStringLiteral("SOLICOMP.cds")));
}

void TfrmSolCompra::cdsSoliCompBeforeInsert()
{
    // Without a date, or over a rows file that did not load, nothing can
    // be added (a save would put this table over the file).
    if (!hasDates() || !m_rowsLoaded || !m_date.isValid())
        throw EAbort();
    cdsAux->SetData(cdsSoliComp->Data());
    cdsSoliComp->FieldByName(kProductCode)->SetReadOnly(false);
}

void TfrmSolCompra::cdsSoliCompBeforeEdit()
{
    if (m_normalising)
        return;
    cdsAux->SetData(cdsSoliComp->Data());
    m_justificationBefore = fieldText("DSJUSTSOLI");
    m_adjustedBefore = fieldText("QTAJUSTPRO");
}

void TfrmSolCompra::cdsSoliCompBeforeDelete()
{
    throw EAbort();
}

void TfrmSolCompra::QTAJUSTPROSetText(Field &field, const QString &text)
{
    field.SetAsString(
        GridText(dbgPadrao, kAdjusted).isEmpty() || text.isEmpty() ? QStringLiteral("0") : text);
}

void TfrmSolCompra::Vd_Ajuste()
{
    if (!editingOrInserting())
        return;
    const QString prevista = fieldText("QTSOLICPRO");
    const QString ajustada = fieldText("QTAJUSTPRO");
    // Whichever column the operator is in, and when the row is posted.
    if (!cdsParaSupri->IsEmpty()
        && cdsParaSupri->FieldByName(QStringLiteral("IDBLOQALTSOLAVR"))->AsString()
               == QLatin1String("S")
        && cdsSoliComp->State() == DataSetState::Edit && !EmptyString(prevista)
        && thousandths(ajustada) > thousandths(prevista)) {
        focusColumn("QTAJUSTPRO");
        refuse("Quantidade_Menor");
    }
    if (thousandths(prevista) != thousandths(ajustada) && !cdsJustSoli->IsEmpty()
        && AllTrim(fieldText("DSJUSTSOLI")).isEmpty()) {
        focusColumn("DSJUSTSOLI");
        refuse("Just_Inf");
    }
}

void TfrmSolCompra::Vd_Produto(bool obrigatorio)
{
    const Field *codigo = cdsSoliComp->FieldByName(kProductCode);
    if (codeIsEmpty(codigo->AsString(), FieldEditMask(*codigo))) {
        if (obrigatorio) {
            focusColumn("CDARVPROD");
            refuse("Cod_Inf");
        }
        return;
    }
    if (!inserting())
        return;
    // The whole code: the lookup is there for finding a product by part of
    // it, typing the beginning of a code never picks one.
    if (!cdsProduto->Locate(kProductCode, AllTrim(codigo->AsString()))) {
        focusColumn("CDARVPROD");
        refuse("Cod_NCad");
    }
    const QString encontrado = cdsProduto->FieldByName(kProductCode)->AsString();
    if (cdsAux->Locate(QStringLiteral("CDARVPROD;CDFILISOLI;DTPROGENTR"),
                       QVariantList{encontrado, medCdFilial->Text(), m_date})) {
        focusColumn("CDARVPROD");
        refuse("Prod_JCad");
    }
    for (const char *name : {"CDARVPROD", "CDPSQPROD", "NMPRODUTO", "SGUNIDADE", "CDPRODUTO"})
        setFieldText(name, cdsProduto->FieldByName(QString::fromLatin1(name))->AsString());
}

void TfrmSolCompra::cdsSoliCompBeforePost()
{
    if (m_normalising)
        return;
    const bool novo = inserting();
    Vd_Ajuste();
    if (!novo && EmptyString(fieldText("QTSOLICPRO"))) {
        focusColumn("QTSOLICPRO");
        refuse("QtPrev_Inf");
    }
    if (EmptyString(fieldText("QTAJUSTPRO"))) {
        focusColumn("QTAJUSTPRO");
        refuse("QtAjus_Inf");
    }
    if (EmptyString(fieldText("NRSOLICMP"))) {
        focusColumn("NRSOLICMP");
        refuse("nr_soli_Inf");
    }
    const QString prevista = formattedQuantity(fieldText("QTSOLICPRO"));
    const QString ajustada = formattedQuantity(fieldText("QTAJUSTPRO"));
    // Who justified is who last changed the justification or the quantity
    // it justifies, not whoever posts the row again.
    const QString justificativa = fieldText("DSJUSTSOLI");
    if (!EmptyString(justificativa)
        && (novo || justificativa != m_justificationBefore
            || !sameQuantity(ajustada, m_adjustedBefore)))
        setFieldText("CDOPERSOLI", Session().operatorCode);
    setFieldText("QTSOLICPRO", prevista);
    setFieldText("QTAJUSTPRO", ajustada);
    setFieldText("CDFILISOLI", medCdFilial->Text());
    // A planned row keeps the branch that issues its request; a new row
    // takes the issuer of the request number chosen for it.
    if (novo) {
        const bool achada
            = cdsSolicita->Locate(QStringLiteral("NRSOLICOMP"), fieldText("NRSOLICMP"));
        setFieldText("CDFILLAN",
                     achada ? cdsSolicita->FieldByName(QStringLiteral("CDFILLAN"))->AsString()
                            : QString());
    }
    cdsSoliComp->FieldByName(QStringLiteral("DTPROGENTR"))->SetAsDateTime(m_date);
    Vd_Produto(true);
    // The key takes the product the code check settled on: a code typed
    // over and posted from its own cell is completed only just above.
    setFieldText("FILSOLPRDT", fieldText("CDFILISOLI") + fieldText("NRSOLICMP")
                                   + fieldText("CDPRODUTO")
                                   + LocaleService::dateToText(m_date.date()));
    // A new row with nothing to request is refused; a planned row may be
    // declined with a zero. Checked after the row's own checks, whose
    // messages come first.
    if (novo && thousandths(ajustada) <= 0) {
        focusColumn("QTAJUSTPRO");
        refuse("QtAjus_Zero");
    }
}

void TfrmSolCompra::cdsSoliCompAfterPost()
{
    if (m_normalising)
        return;
    cdsSoliComp->FieldByName(kProductCode)->SetReadOnly(true);
    const auto after = qScopeGuard([this] { AtualizaBotoes(); });
    m_savePending = true;
    saveRows();
}

void TfrmSolCompra::saveRows()
{
    // Every row of every branch and date; a failed save leaves the rows
    // posted in memory, and the next save writes them.
    cdsSoliComp->SaveToFile(dataFile(QStringLiteral("SOLICOMP.cds")));
    m_savePending = false;
}

void TfrmSolCompra::cdsSoliCompAfterCancel()
{
    cdsSoliComp->FieldByName(kProductCode)->SetReadOnly(true);
    AtualizaBotoes();
}

void TfrmSolCompra::dbgPadraoKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    // Rows are never deleted here.
    if (key == VK_DELETE && (shift & Qt::ControlModifier)) {
        key = 0;
        return;
    }
    if (key == VK_F9 && editingOrInserting()) {
        key = 0;
        dbgPadraoEditButtonClick();
    }
}

void TfrmSolCompra::dbgPadraoKeyPress(QChar &key)
{
    if (key == QChar(VK_RETURN)) {
        key = QChar();
        return;
    }
    NumericKeyPress(key, true);
    if (key.isNull())
        return;
    const Field *field = dbgPadrao->SelectedField();
    const QString name = field ? field->FieldName().toUpper() : QString();
    const QChar separador = LocaleService::decimalSeparator();
    if (name == kAdjusted && key == separador) {
        const QString text = GridText(dbgPadrao, kAdjusted);
        if (text.isEmpty() || text.contains(separador))
            key = QChar();
    } else if (name == kProductName || name == kUnit || name == kPlanned || name == kJustification
               || name == kRequestNumber) {
        key = QChar();
    } else if (name == kProductCode && !inserting() && key.isDigit()) {
        key = QChar();
    }
}

void TfrmSolCompra::dbgPadraoColExit()
{
    if (m_focusing)
        return;
    Vd_Ajuste();
    const Field *leaving = dbgPadrao->SelectedField();
    if (inserting() && leaving
        && leaving->FieldName().compare(kProductCode, Qt::CaseInsensitive) == 0)
        Vd_Produto(true);
}

void TfrmSolCompra::dbgPadraoEditButtonClick()
{
    const Field *field = dbgPadrao->SelectedField();
    const QString name = field ? field->FieldName().toUpper() : QString();
    if (name == kProductCode && inserting()) {
        if (Pesquisar(dtsProduto, msgPadrao.Msg(QStringLiteral("Prod_Info")), false, true))
            for (const char *n : {"CDPRODUTO", "CDARVPROD", "CDPSQPROD", "NMPRODUTO", "SGUNIDADE"})
                setFieldText(n, cdsProduto->FieldByName(QString::fromLatin1(n))->AsString());
    } else if (name == kJustification && editingOrInserting()) {
        if (Pesquisar(dtsJustificativa, msgPadrao.Msg(QStringLiteral("Just")), false, true))
            setFieldText("DSJUSTSOLI",
                         cdsJustSoli->FieldByName(QStringLiteral("DSJUSTSOL"))->AsString());
    } else if (name == kRequestNumber && inserting()) {
        if (Pesquisar(dtsSolicita, msgPadrao.Msg(QStringLiteral("nr_soli")), false, true))
            setFieldText("NRSOLICMP",
                         cdsSolicita->FieldByName(QStringLiteral("NRSOLICOMP"))->AsString());
    }
}

void TfrmSolCompra::sbtConfirmarClick()
{
    TfrmPadraoSimples::sbtConfirmarClick();
    sbtExcluir.SetEnabled(false);
}

void TfrmSolCompra::sbtCancelarClick()
{
    TfrmPadraoSimples::sbtCancelarClick();
    sbtExcluir.SetEnabled(false);
}

void TfrmSolCompra::sbtVerificarClick()
{
    if (dtsPadrao->State() == DataSetState::Browse && m_rowsLoaded) {
        if (m_savePending)
            saveRows();
        cdsSoliComp->LoadFromFile(dataFile(QStringLiteral("SOLICOMP.cds")));
        AtualizaBotoes();
    }
    sbtExcluir.SetEnabled(false);
}

void TfrmSolCompra::sbtExcluirClick() {}

void TfrmSolCompra::showProductName()
{
    if (!dbtNome)
        return;
    const bool mostra = cdsSoliComp->Active() && cdsSoliComp->ViewCount() > 0;
    dbtNome->setText(mostra ? fieldText("NMPRODUTO") : QString());
}

} // namespace kiv

KIV_REGISTER_TASK_WINDOW(kiv::TaskWindow::SolCompras, kiv::TfrmSolCompra)
