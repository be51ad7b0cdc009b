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
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>
#include <vector>

namespace kiv {

namespace {

const QString kCodigo = QStringLiteral("CDARVPROD");
const QString kNome = QStringLiteral("NMPRODUTO");
const QString kUnidade = QStringLiteral("SGUNIDADE");
const QString kPrevista = QStringLiteral("QTSOLICPRO");
const QString kAjustada = QStringLiteral("QTAJUSTPRO");
const QString kJustificativa = QStringLiteral("DSJUSTSOLI");
const QString kSolicitacao = QStringLiteral("NRSOLICMP");
const QString kFormatoQuantidade = QStringLiteral("##0.000");

// A quantity in thousandths, the precision the file keeps: "10" and
// "10,000" are the same quantity.
qint64 milesimos(const QString &text)
{
    return std::llround(ConverteValor(text) * 1000.0);
}

bool mesmaQuantidade(const QString &a, const QString &b)
{
    try {
        return milesimos(a) == milesimos(b);
    } catch (const EConvertError &) {
        return a == b;
    }
}

QString quantidadeFormatada(const QString &text)
{
    return FormatFloat(kFormatoQuantidade, ConverteValor(text));
}

// The code as typed, without the mask's literals where nothing was typed
// ("12.." for 12 under 99.99.999): only literals is no code at all.
bool codigoVazio(const QString &text, const QString &platformMask)
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
        if (!m_normalizando)
            focarColuna("CDARVPROD");
    };
    cdsSoliComp->BeforeEdit = [this](Table &) { cdsSoliCompBeforeEdit(); };
    cdsSoliComp->BeforePost = [this](Table &) { cdsSoliCompBeforePost(); };
    cdsSoliComp->AfterPost = [this](Table &) { cdsSoliCompAfterPost(); };
    cdsSoliComp->AfterCancel = [this](Table &) { cdsSoliCompAfterCancel(); };
    cdsSoliComp->BeforeDelete = [this](Table &) { cdsSoliCompBeforeDelete(); };
    cdsSoliComp->FieldByName(kAjustada)->OnSetText = [this](Field &field, const QString &text) {
        QTAJUSTPROSetText(field, text);
    };
    // Justification and request number are picked from their lists, never
    // typed: text typed into their cells (a paste) leaves them as they are.
    for (const QString &picked : {kJustificativa, kSolicitacao})
        cdsSoliComp->FieldByName(picked)->OnSetText = [](Field &, const QString &) {};
    // The product code is typed only on a new row.
    cdsSoliComp->FieldByName(kCodigo)->SetReadOnly(true);
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
    TColumn *codigo = columns.Add(kCodigo, QStringLiteral("Código"));
    codigo->SetWidthChars(10);
    codigo->SetButtonStyle(ColumnButtonStyle::Ellipsis);
    TColumn *nome = columns.Add(kNome, QStringLiteral("Nome"));
    nome->SetWidthChars(30);
    nome->SetReadOnly(true);
    TColumn *unidade = columns.Add(kUnidade, QStringLiteral("UN"));
    unidade->SetWidthChars(3);
    unidade->SetAlignment(Qt::AlignCenter);
    unidade->SetReadOnly(true);
    TColumn *prevista = columns.Add(kPrevista, QStringLiteral("Prevista"));
    prevista->SetWidthChars(9);
    prevista->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    prevista->SetReadOnly(true);
    TColumn *ajustada = columns.Add(kAjustada, QStringLiteral("Ajustada"));
    ajustada->SetWidthChars(9);
    ajustada->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    TColumn *justificativa = columns.Add(kJustificativa, QStringLiteral("Justif."));
    justificativa->SetWidthChars(24);
    justificativa->SetButtonStyle(ColumnButtonStyle::Ellipsis);
    TColumn *solicitacao = columns.Add(kSolicitacao, QStringLiteral("Solicitação"));
    solicitacao->SetWidthChars(10);
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
    connect(dtsPadrao, &TDataSource::dataChanged, this, [this] { mostrarNome(); });
    connect(dtsPadrao, &TDataSource::stateChanged, this, [this] { mostrarNome(); });

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

QString TfrmSolCompra::arquivo(const QString &fileName) const
{
    return Session().file(fileName);
}

void TfrmSolCompra::FormCreate()
{
    TfrmPadraoSimples::FormCreate();
    sbtAjuda.SetEnabled(false);
    AtualizaBotoes();
    m_filial = Session().branch;
    medCdFilial->SetText(m_filial);
    edtNmFilial->setText(Session().branchName);

    cdsProduto->LoadFromFile(arquivo(QStringLiteral("PRODUTO.cds")));
    cdsJustSoli->LoadFromFile(arquivo(QStringLiteral("JustSoli.cds")));
    cdsSoliComp->CreateDataSet();
    cdsSolicita->LoadFromFile(arquivo(QStringLiteral("SOLICITA.cds")));
    cdsSolicita->SetFilter(QStringLiteral("CDFILSOLI = ") + QuotedStr(medCdFilial->Text()));
    cdsSolicita->SetFiltered(true);
    cdsParaSupri->LoadFromFile(arquivo(QStringLiteral("ParaSupri.cds")));
    cdsDataSoli->LoadFromFile(arquivo(QStringLiteral("DATASOLI.cds")));
    cdsDataSoli->SetFilter(QStringLiteral("CDFILSOLI = ") + QuotedStr(medCdFilial->Text()));
    cdsDataSoli->SetFiltered(true);

    Criando = true;
    const auto criado = qScopeGuard([this] {
        Criando = false;
        sbtExcluir.SetEnabled(false);
    });
    if (!temDatas()) {
        sbtIncluir.SetEnabled(false);
        return;
    }
    // A session without a product mask types codes freely: the mask of a
    // lone blank would be one literal place, where nothing could be typed.
    if (!EmptyString(Session().productMask))
        SetFieldEditMask(*cdsSoliComp->FieldByName(kCodigo),
                         Session().productMask + QLatin1Char(' '));
    cdsDataSoli->First();
    mostrarData();
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

bool TfrmSolCompra::temDatas() const
{
    return cdsDataSoli->Active() && !cdsDataSoli->IsEmpty();
}

bool TfrmSolCompra::inserindo() const
{
    return cdsSoliComp->State() == DataSetState::Insert;
}

bool TfrmSolCompra::editandoOuInserindo() const
{
    return cdsSoliComp->State() == DataSetState::Edit || inserindo();
}

QString TfrmSolCompra::campo(const char *fieldName) const
{
    return cdsSoliComp->FieldByName(QString::fromLatin1(fieldName))->AsString();
}

void TfrmSolCompra::setCampo(const char *fieldName, const QString &value)
{
    Field *field = cdsSoliComp->FieldByName(QString::fromLatin1(fieldName));
    if (field->AsString() != value)
        field->SetAsString(value);
}

void TfrmSolCompra::focarColuna(const char *fieldName)
{
    m_focando = true;
    const auto done = qScopeGuard([this] { m_focando = false; });
    dbgPadrao->SetSelectedField(QString::fromLatin1(fieldName));
    if (isVisible())
        dbgPadrao->setFocus();
}

void TfrmSolCompra::erro(const char *key)
{
    MensErro(msgPadrao.Msg(QString::fromLatin1(key)), true);
}

void TfrmSolCompra::AtualizaBotoes()
{
    sbtIncluir.SetEnabled(temDatas() && m_linhasCarregadas);
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
    mostrarNome();
}

void TfrmSolCompra::cdsDataSoliBeforeScroll()
{
    if (!cdsSoliComp->Active())
        return;
    if (m_gravacaoPendente && !editandoOuInserindo())
        gravarLinhas();
    if (!editandoOuInserindo())
        return;
    // The row being typed is not lost to another date: it is posted, or
    // the date stays where the check stopped it.
    dbgPadrao->UpdateData();
    if (inserindo() && !cdsSoliComp->Modified())
        cdsSoliComp->Cancel();
    else
        cdsSoliComp->Post();
}

void TfrmSolCompra::cdsDataSoliAfterScroll()
{
    // The loads and filters of the creation move the list too; the rows
    // follow the list once the creation has shown the first date.
    if (!m_linhasCarregadas || !temDatas())
        return;
    if (cdsDataSoli->FieldByName(QStringLiteral("DTPROGENTR"))->AsDateTime() == m_data)
        return;
    mostrarData();
}

void TfrmSolCompra::mostrarData()
{
    cdsSoliComp->DisableControls();
    const auto mostrar = qScopeGuard([this] {
        cdsSoliComp->EnableControls();
        AtualizaBotoes();
        mostrarNome();
    });
    cdsSoliComp->LoadFromFile(arquivo(QStringLiteral("SOLICOMP.CDS")));
    m_linhasCarregadas = true;
    m_data = cdsDataSoli->FieldByName(QStringLiteral("DTPROGENTR"))->AsDateTime();
    const QString filial = cdsDataSoli->FieldByName(QStringLiteral("CDFILSOLI"))->AsString();
    cdsSoliComp->SetFilter(QStringLiteral("CDFILISOLI = ") + QuotedStr(filial)
                           + QStringLiteral("and DTPROGENTR = ")
                           + QuotedStr(LocaleService::dateTimeToText(m_data)));
    cdsSoliComp->SetFiltered(true);
    cdsSoliComp->First();
    if (Criando)
        normalizarQuantidades();
}

void TfrmSolCompra::normalizarQuantidades()
{
    // Every text is read before any is changed: a quantity that does not
    // read stops the opening with its error and nothing is rewritten.
    struct Mudanca
    {
        int linha;
        QString prevista;
        QString ajustada;
    };
    std::vector<Mudanca> mudancas;
    for (cdsSoliComp->First(); !cdsSoliComp->Eof(); cdsSoliComp->Next()) {
        const QString prevista = quantidadeFormatada(campo("QTSOLICPRO"));
        const QString ajustada = quantidadeFormatada(campo("QTAJUSTPRO"));
        if (prevista != campo("QTSOLICPRO") || ajustada != campo("QTAJUSTPRO"))
            mudancas.push_back({cdsSoliComp->RecNo(), prevista, ajustada});
    }
    cdsSoliComp->First();
    if (mudancas.empty())
        return;

    // Only the form of the texts changes: not a post of the operator's, so
    // none of the row's checks or stamps apply.
    m_normalizando = true;
    const auto fim = qScopeGuard([this] {
        if (editandoOuInserindo())
            cdsSoliComp->Cancel();
        m_normalizando = false;
        cdsSoliComp->First();
    });
    for (const Mudanca &m : mudancas) {
        cdsSoliComp->SetRecNo(m.linha);
        cdsSoliComp->Edit();
        setCampo("QTSOLICPRO", m.prevista);
        setCampo("QTAJUSTPRO", m.ajustada);
        cdsSoliComp->Post();
    }
    cdsSoliComp->SaveToFile(arquivo(QStringLiteral("SOLICOMP.cds")));
}

void TfrmSolCompra::cdsSoliCompBeforeInsert()
{
    // Without a date, or over a rows file that did not load, nothing can
    // be added (a save would put this table over the file).
    if (!temDatas() || !m_linhasCarregadas || !m_data.isValid())
        throw EAbort();
    cdsAux->SetData(cdsSoliComp->Data());
    cdsSoliComp->FieldByName(kCodigo)->SetReadOnly(false);
}

void TfrmSolCompra::cdsSoliCompBeforeEdit()
{
    if (m_normalizando)
        return;
    cdsAux->SetData(cdsSoliComp->Data());
    m_justificativaAntes = campo("DSJUSTSOLI");
    m_ajusteAntes = campo("QTAJUSTPRO");
}

void TfrmSolCompra::cdsSoliCompBeforeDelete()
{
    throw EAbort();
}

void TfrmSolCompra::QTAJUSTPROSetText(Field &field, const QString &text)
{
    field.SetAsString(GridText(dbgPadrao, kAjustada).isEmpty() || text.isEmpty()
                          ? QStringLiteral("0")
                          : text);
}

void TfrmSolCompra::Vd_Ajuste()
{
    if (!editandoOuInserindo())
        return;
    const QString prevista = campo("QTSOLICPRO");
    const QString ajustada = campo("QTAJUSTPRO");
    // Whichever column the operator is in, and when the row is posted.
    if (!cdsParaSupri->IsEmpty()
        && cdsParaSupri->FieldByName(QStringLiteral("IDBLOQALTSOLAVR"))->AsString()
               == QLatin1String("S")
        && cdsSoliComp->State() == DataSetState::Edit && !EmptyString(prevista)
        && milesimos(ajustada) > milesimos(prevista)) {
        focarColuna("QTAJUSTPRO");
        erro("Quantidade_Menor");
    }
    if (milesimos(prevista) != milesimos(ajustada) && !cdsJustSoli->IsEmpty()
        && AllTrim(campo("DSJUSTSOLI")).isEmpty()) {
        focarColuna("DSJUSTSOLI");
        erro("Just_Inf");
    }
}

void TfrmSolCompra::Vd_Produto(bool obrigatorio)
{
    const Field *codigo = cdsSoliComp->FieldByName(kCodigo);
    if (codigoVazio(codigo->AsString(), FieldEditMask(*codigo))) {
        if (obrigatorio) {
            focarColuna("CDARVPROD");
            erro("Cod_Inf");
        }
        return;
    }
    if (!inserindo())
        return;
    // The whole code: the lookup is there for finding a product by part of
    // it, typing the beginning of a code never picks one.
    if (!cdsProduto->Locate(kCodigo, AllTrim(codigo->AsString()))) {
        focarColuna("CDARVPROD");
        erro("Cod_NCad");
    }
    const QString encontrado = cdsProduto->FieldByName(kCodigo)->AsString();
    if (cdsAux->Locate(QStringLiteral("CDARVPROD;CDFILISOLI;DTPROGENTR"),
                       QVariantList{encontrado, medCdFilial->Text(), m_data})) {
        focarColuna("CDARVPROD");
        erro("Prod_JCad");
    }
    for (const char *name : {"CDARVPROD", "CDPSQPROD", "NMPRODUTO", "SGUNIDADE", "CDPRODUTO"})
        setCampo(name, cdsProduto->FieldByName(QString::fromLatin1(name))->AsString());
}

void TfrmSolCompra::cdsSoliCompBeforePost()
{
    if (m_normalizando)
        return;
    const bool novo = inserindo();
    Vd_Ajuste();
    if (!novo && EmptyString(campo("QTSOLICPRO"))) {
        focarColuna("QTSOLICPRO");
        erro("QtPrev_Inf");
    }
    if (EmptyString(campo("QTAJUSTPRO"))) {
        focarColuna("QTAJUSTPRO");
        erro("QtAjus_Inf");
    }
    if (EmptyString(campo("NRSOLICMP"))) {
        focarColuna("NRSOLICMP");
        erro("nr_soli_Inf");
    }
    const QString prevista = quantidadeFormatada(campo("QTSOLICPRO"));
    const QString ajustada = quantidadeFormatada(campo("QTAJUSTPRO"));
    // A new row with nothing to request is refused; a planned row may be
    // declined with a zero.
    if (novo && milesimos(ajustada) <= 0) {
        focarColuna("QTAJUSTPRO");
        erro("QtAjus_Zero");
    }
    // Who justified is who last changed the justification or the quantity
    // it justifies, not whoever posts the row again.
    const QString justificativa = campo("DSJUSTSOLI");
    if (!EmptyString(justificativa)
        && (novo || justificativa != m_justificativaAntes
            || !mesmaQuantidade(ajustada, m_ajusteAntes)))
        setCampo("CDOPERSOLI", Session().operatorCode);
    setCampo("QTSOLICPRO", prevista);
    setCampo("QTAJUSTPRO", ajustada);
    setCampo("CDFILISOLI", medCdFilial->Text());
    setCampo("FILSOLPRDT", campo("CDFILISOLI") + campo("NRSOLICMP") + campo("CDPRODUTO")
                               + LocaleService::dateToText(m_data.date()));
    // A planned row keeps the branch that issues its request; a new row
    // takes the issuer of the request number chosen for it.
    if (novo) {
        const bool achada = cdsSolicita->Locate(QStringLiteral("NRSOLICOMP"), campo("NRSOLICMP"));
        setCampo("CDFILLAN",
                 achada ? cdsSolicita->FieldByName(QStringLiteral("CDFILLAN"))->AsString()
                        : QString());
    }
    cdsSoliComp->FieldByName(QStringLiteral("DTPROGENTR"))->SetAsDateTime(m_data);
    Vd_Produto(true);
}

void TfrmSolCompra::cdsSoliCompAfterPost()
{
    if (m_normalizando)
        return;
    cdsSoliComp->FieldByName(kCodigo)->SetReadOnly(true);
    const auto depois = qScopeGuard([this] { AtualizaBotoes(); });
    m_gravacaoPendente = true;
    gravarLinhas();
}

void TfrmSolCompra::gravarLinhas()
{
    // Every row of every branch and date; a failed save leaves the rows
    // posted in memory, and the next save writes them.
    cdsSoliComp->SaveToFile(arquivo(QStringLiteral("SOLICOMP.cds")));
    m_gravacaoPendente = false;
}

void TfrmSolCompra::cdsSoliCompAfterCancel()
{
    cdsSoliComp->FieldByName(kCodigo)->SetReadOnly(true);
    AtualizaBotoes();
}

void TfrmSolCompra::dbgPadraoKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    // Rows are never deleted here.
    if (key == VK_DELETE && (shift & Qt::ControlModifier)) {
        key = 0;
        return;
    }
    if (key == VK_F9 && editandoOuInserindo()) {
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
    if (name == kAjustada && key == separador) {
        const QString text = GridText(dbgPadrao, kAjustada);
        if (text.isEmpty() || text.contains(separador))
            key = QChar();
    } else if (name == kNome || name == kUnidade || name == kPrevista || name == kJustificativa
               || name == kSolicitacao) {
        key = QChar();
    } else if (name == kCodigo && !inserindo() && key.isDigit()) {
        key = QChar();
    }
}

void TfrmSolCompra::dbgPadraoColExit()
{
    if (m_focando)
        return;
    Vd_Ajuste();
    const Field *leaving = dbgPadrao->SelectedField();
    if (inserindo() && leaving && leaving->FieldName().compare(kCodigo, Qt::CaseInsensitive) == 0)
        Vd_Produto(true);
}

void TfrmSolCompra::dbgPadraoEditButtonClick()
{
    const Field *field = dbgPadrao->SelectedField();
    const QString name = field ? field->FieldName().toUpper() : QString();
    if (name == kCodigo && inserindo()) {
        if (Pesquisar(dtsProduto, msgPadrao.Msg(QStringLiteral("Prod_Info")), false, true))
            for (const char *n : {"CDPRODUTO", "CDARVPROD", "CDPSQPROD", "NMPRODUTO", "SGUNIDADE"})
                setCampo(n, cdsProduto->FieldByName(QString::fromLatin1(n))->AsString());
    } else if (name == kJustificativa && editandoOuInserindo()) {
        if (Pesquisar(dtsJustificativa, msgPadrao.Msg(QStringLiteral("Just")), false, true))
            setCampo("DSJUSTSOLI",
                     cdsJustSoli->FieldByName(QStringLiteral("DSJUSTSOL"))->AsString());
    } else if (name == kSolicitacao && inserindo()) {
        if (Pesquisar(dtsSolicita, msgPadrao.Msg(QStringLiteral("nr_soli")), false, true))
            setCampo("NRSOLICMP",
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
    if (dtsPadrao->State() == DataSetState::Browse && m_linhasCarregadas) {
        if (m_gravacaoPendente)
            gravarLinhas();
        cdsSoliComp->LoadFromFile(arquivo(QStringLiteral("SOLICOMP.cds")));
        AtualizaBotoes();
    }
    sbtExcluir.SetEnabled(false);
}

void TfrmSolCompra::sbtExcluirClick() {}

void TfrmSolCompra::mostrarNome()
{
    if (!dbtNome)
        return;
    const bool mostra = cdsSoliComp->Active() && cdsSoliComp->ViewCount() > 0;
    dbtNome->setText(mostra ? campo("NMPRODUTO") : QString());
}

} // namespace kiv

KIV_REGISTER_TASK_WINDOW(kiv::TaskWindow::SolCompras, kiv::TfrmSolCompra)
