#include "tfrmlanentr.h"

#include "datasource.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "dbnavigator.h"
#include "editmask.h"
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
#include "textroutines.h"
#include "taskwindows.h"

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

#include <utility>

namespace kiv {

namespace {

const QString kFiltroOperacao = QStringLiteral("IDENTTIPOP = 'E'");
const QString kFiltroSerie = QStringLiteral("IDLANCMTO ='E'");
const QString kFormatoValor = QStringLiteral("##0.00000");
const QString kFormatoQuantidade = QStringLiteral("##0.000");
const QString kCodigo = QStringLiteral("CDARVPROD");
const QString kQuantidade = QStringLiteral("QTITEMPROD");
const QString kUnitario = QStringLiteral("VRUNITITEM");
const QString kTotal = QStringLiteral("VRTOTPROD");
// The grids' own question before a row is deleted.
const QString kExcluirLinha = QStringLiteral("Excluir registro?");

// Lookup titles and their empty-list texts, as the buttons carry them.
const QString kTituloOperacao = QStringLiteral("Operação");
const QString kVazioOperacao = QStringLiteral("Não há tipo de operação cadastrado");
const QString kTituloOrigem = QStringLiteral("Fornecedor");
const QString kVazioOrigem = QStringLiteral("Não há fornecedor cadastrado.");
const QString kTituloSerie = QStringLiteral("Série");
const QString kVazioSerie = QStringLiteral("Não há série cadastrada.");

TDataSource *fonte(QObject *owner, const QString &name, Table *table)
{
    auto *source = new TDataSource(owner);
    source->setObjectName(name);
    source->setDataSet(table);
    return source;
}

Table *tabela(QObject *owner, const QString &name, const TableDecl &decl)
{
    auto *table = new Table(name, owner);
    table->Declare(decl);
    return table;
}

// Digits only: letters, signs, separators and even the backspace are
// dropped, so invoice numbers and totals hold whole numbers.
void soDigitos(QChar &key)
{
    if (key < u'0' || key > u'9')
        key = QChar();
}

// The table holds a record being edited or inserted.
bool editando(const Table *table)
{
    const DataSetState state = table->State();
    return state == DataSetState::Edit || state == DataSetState::Insert;
}

bool isLookupKey(int key)
{
    return key == VK_F6 || key == VK_F9;
}

} // namespace

TfrmLanEntr::TfrmLanEntr(const LoginSession &session, QWidget *parent)
    : TfrmPadraoSimples(parent)
{
    SetSession(session);
    setObjectName(QStringLiteral("TfrmLanEntr"));
    setWindowTitle(QStringLiteral("Lançamento de Entrada"));
    lblCodTela->setText(QStringLiteral("KIS00200"));
    msgPadrao = TMessages{
        QStringLiteral("to_dev|Tipo de operação deve ser informado."),
        QStringLiteral("to_n_cad|Tipo de operação não cadastrado."),
        QStringLiteral("or_dev|Origem deve ser informada."),
        QStringLiteral("or_n_cad|Fornecedor não cadastrado."),
        QStringLiteral("Cli_n_Cad|Cliente não cadastrado."),
        QStringLiteral("fil_n_cad|Filial não cadastrada."),
        QStringLiteral("fil<>or|Filial de origem deve ser diferente da filial de destino."),
        QStringLiteral("ser_dev|Série deve ser informada."),
        QStringLiteral("ser_n_cad|Série não cadastrada."),
        QStringLiteral("emis>ent|Data de emissão não pode ser maior que a data de entrada."),
        QStringLiteral("nr_dev|Número da nota fiscal deve ser informado."),
        QStringLiteral("tot_dev|Total deve ser informado."),
        QStringLiteral("it_dev|Item do lançamento de entrada deve ser informado."),
        QStringLiteral("venc_dev|Vencimento do lançamento de entrada deve ser informado."),
        QStringLiteral("vc<>tot|Somatório dos vencimentos difere do valor total da nota."),
        QStringLiteral("forn|Fornecedor"),
        QStringLiteral("Cli|Clientes"),
        QStringLiteral("fil|Filial"),
        QStringLiteral("prod|Produto"),
        QStringLiteral("cod_dev|Código deve ser informado."),
        QStringLiteral("prod_n_cad|Produto não cadastrado."),
        QStringLiteral("pr_j_cad|Produto já cadastrado para o lançamento de entrada."),
        QStringLiteral("qt_dev|Quantidade deve ser informada."),
        QStringLiteral("vl_dev|Valor deve ser informado."),
        QStringLiteral("ProdSemAf|Produto bloqueado para lançamento sem AF."),
        QStringLiteral("dtvenc<|Data de vencimento não pode ser menor do que a data de "
                       "entrada de lançamento."),
        QStringLiteral("dt_j_cad|Data já cadastrada para o lançamento de entrada."),
        QStringLiteral("dsj_td|Deseja cancelar todo o lançamento ?"),
        QStringLiteral("dsj_AF|Deseja importar AF ?"),
        QStringLiteral("num_af|Autorização de Fornecimento"),
        QStringLiteral("fil_n_af|Filial não possui AF cadastrada."),
    };
    declareTables();
    buildControls();
}

void TfrmLanEntr::declareTables()
{
    cdsLancEntr = tabela(this, QStringLiteral("cdsLancEntr"), RecordedTables::lancEntr());
    cdsLancEntr->AfterInsert = [this](Table &) { cdsLancEntrAfterInsert(); };
    cdsLancEntr->BeforePost = [this](Table &) { cdsLancEntrBeforePost(); };
    cdsLancEntr->AfterScroll = [this](Table &) { cdsLancEntrAfterScroll(); };
    cdsLancEntr->AfterCancel = [this](Table &) { cdsLancEntrAfterCancel(); };
    cdsLancEntr->AfterPost = [this](Table &) { cdsLancEntrAfterPost(); };
    cdsLancEntr->BeforeDelete = [this](Table &) { cdsLancEntrBeforeDelete(); };
    cdsLancEntr->AfterDelete = [this](Table &) { cdsLancEntrAfterDelete(); };
    dtsLancEntr = fonte(this, QStringLiteral("dtsLancEntr"), cdsLancEntr);
    dtsLancEntr->OnStateChange = [this] { dtsLancEntrStateChange(); };
    cdsPrxLanc = tabela(this, QStringLiteral("cdsPrxLanc"), RecordedTables::lancEntr());

    cdsTipoOperac = tabela(this, QStringLiteral("cdsTipoOperac"), RefTables::tipoOper());
    dtsTipoOperac = fonte(this, QStringLiteral("dtsTipoOperac"), cdsTipoOperac);
    cdsForneced = tabela(this, QStringLiteral("cdsForneced"), RefTables::forneced());
    dtsForneced = fonte(this, QStringLiteral("dtsForneced"), cdsForneced);
    cdsClientes = tabela(this, QStringLiteral("cdsClientes"), RefTables::cliente());
    dtsClientes = fonte(this, QStringLiteral("dtsClientes"), cdsClientes);
    cdsFilial = tabela(this, QStringLiteral("cdsFilial"), RefTables::filial());
    dtsFilial = fonte(this, QStringLiteral("dtsFilial"), cdsFilial);
    cdsSerie = tabela(this, QStringLiteral("cdsSerie"), RefTables::serie());
    cdsSerie->FieldByName(QStringLiteral("IDLANCMTO"))->SetReadOnly(true);
    dtsSerie = fonte(this, QStringLiteral("dtsSerie"), cdsSerie);

    cdsProduto = tabela(this, QStringLiteral("cdsProduto"), RecordedTables::itemEntr());
    cdsProduto->BeforeInsert = [this](Table &) { cdsProdutoBeforeInsert(); };
    for (TableEvent *event : {&cdsProduto->AfterInsert, &cdsProduto->AfterEdit,
                              &cdsProduto->AfterDelete})
        *event = [this](Table &) { detalheAlterado(); };
    cdsProduto->BeforePost = [this](Table &) { cdsProdutoBeforePost(); };
    cdsProduto->OnCalcFields = [this](Table &) { cdsProdutoCalcFields(); };
    cdsProduto->FieldByName(kCodigo)->OnChange = [this](Field &) { CDARVPRODChange(); };
    dtsProduto = fonte(this, QStringLiteral("dtsProduto"), cdsProduto);
    dtsProduto->OnStateChange = [this] { dtsProdutoStateChange(); };
    cdsProdutoAux = tabela(this, QStringLiteral("cdsProdutoAux"), RecordedTables::itemEntr());
    cdsPesqProduto = tabela(this, QStringLiteral("cdsPesqProduto"),
                            RefTables::produto(RefTables::ProductReader::Entries));
    dtsPesqProduto = fonte(this, QStringLiteral("dtsPesqProduto"), cdsPesqProduto);
    cdsVenc = tabela(this, QStringLiteral("cdsVenc"), RecordedTables::vencEntr());
    cdsVenc->BeforeInsert = [this](Table &) { cdsVencBeforeInsert(); };
    for (TableEvent *event : {&cdsVenc->AfterInsert, &cdsVenc->AfterEdit, &cdsVenc->AfterDelete})
        *event = [this](Table &) { detalheAlterado(); };
    cdsVenc->BeforePost = [this](Table &) { cdsVencBeforePost(); };
    dtsVenc = fonte(this, QStringLiteral("dtsVenc"), cdsVenc);
    cdsVencAux = tabela(this, QStringLiteral("cdsVencAux"), RecordedTables::vencEntr());
    cdsExpFilial = tabela(this, QStringLiteral("cdsExpFilial"), RefTables::expFilial());
    cdsParam = tabela(this, QStringLiteral("cdsParam"), RefTables::param());
    cdsNumAF = tabela(this, QStringLiteral("cdsNumAF"), RefTables::numAf());
    cdsItemAF = tabela(this, QStringLiteral("cdsItemAF"), RefTables::itemAf());

    // One row per authorisation the branch may import, with its supplier.
    cdsAuxNumAf = new Table(QStringLiteral("cdsAuxNumAf"), this);
    const auto shown = [](FieldDef def, int width) {
        def.displayWidth = width;
        return def;
    };
    cdsAuxNumAf->SetFieldDefs({
        shown(FieldDef::text(QStringLiteral("NMRAZSOCFO"), 40, QStringLiteral("Fornecedor")), 30),
        shown(FieldDef::text(QStringLiteral("NRAUTOFORN"), 10, QStringLiteral("Número")), 12),
        shown(FieldDef::text(QStringLiteral("STDTPENTAF"), 10, QStringLiteral("Data")), 12),
        FieldDef::of(QStringLiteral("DTPENTAF"), FieldKind::DateTime, {}, false),
        shown(FieldDef::text(QStringLiteral("VRTOTALAF"), 40, QStringLiteral("Valor")), 12),
        FieldDef::text(QStringLiteral("CDFORNECED"), 21, {}, false),
        FieldDef::text(QStringLiteral("NRINSJURFO"), 20, {}, false),
    });
    dtsNumAF = fonte(this, QStringLiteral("dtsNumAF"), cdsAuxNumAf);
}

QWidget *TfrmLanEntr::buildFormPage()
{
    auto *grid = new QGridLayout(tshFormulario);
    auto label = [this](const QString &name, const QString &caption) {
        auto *l = new QLabel(caption, tshFormulario);
        l->setObjectName(name);
        return l;
    };
    auto edit = [this](const QString &name, const char *fieldName, int widthChars) {
        auto *e = new TDBEdit(tshFormulario);
        e->setObjectName(name);
        e->SetDataSource(dtsLancEntr);
        e->SetDataField(QString::fromLatin1(fieldName));
        e->setFixedWidth(e->fontMetrics().averageCharWidth() * widthChars + 12);
        return e;
    };
    auto button = [this](const QString &name, const QString &tip) {
        auto *b = new QToolButton(tshFormulario);
        b->setObjectName(name);
        b->setText(QStringLiteral("..."));
        b->setToolTip(tip);
        // Like the platform's speed button: the edit keeps the focus.
        b->setFocusPolicy(Qt::NoFocus);
        return b;
    };
    auto disabled = [](TDBEdit *e) {
        // A name fills the rest of its line; codes keep their own width.
        e->setMaximumWidth(QWIDGETSIZE_MAX);
        e->setEnabled(false);
        e->setFocusPolicy(Qt::NoFocus);
        return e;
    };

    lblOperacao = label(QStringLiteral("lblOperacao"), QStringLiteral("Operação"));
    medOperacao = edit(QStringLiteral("medOperacao"), "CDTIPOOPER", 3);
    btpTipoOperac = button(QStringLiteral("btpTipoOperac"), kTituloOperacao);
    edtOperacao = disabled(edit(QStringLiteral("edtOperacao"), "NMTIPOOPER", 30));
    lblOrigem = label(QStringLiteral("lblOrigem"), QStringLiteral("Origem"));
    medOrigem = edit(QStringLiteral("medOrigem"), "NRINSJURNF", 20);
    btpOrigem = button(QStringLiteral("btpOrigem"), kTituloOrigem);
    edtOrigem = disabled(edit(QStringLiteral("edtOrigem"), "NMORIGEM", 40));
    lblEntrada = label(QStringLiteral("lblEntrada"), QStringLiteral("Entrada"));
    dtpEntrada = new TDateTimePicker(tshFormulario);
    dtpEntrada->setObjectName(QStringLiteral("dtpEntrada"));
    lblEmis = label(QStringLiteral("lblEmis"), QStringLiteral("Emissão"));
    dtpEmissao = new TDateTimePicker(tshFormulario);
    dtpEmissao->setObjectName(QStringLiteral("dtpEmissao"));
    lblNF = label(QStringLiteral("lblNF"), QStringLiteral("Nota Fiscal"));
    medNF = edit(QStringLiteral("medNF"), "NRNOTAFISC", 20);
    lblSerie = label(QStringLiteral("lblSerie"), QStringLiteral("Série"));
    medSerie = edit(QStringLiteral("medSerie"), "CDSERIE", 5);
    btpSerie = button(QStringLiteral("btpSerie"), kTituloSerie);
    lblTotal = label(QStringLiteral("lblTotal"), QStringLiteral("Total"));
    MedTotal = edit(QStringLiteral("MedTotal"), "VRNOTAFISC", 12);
    MedTotal->setAlignment(Qt::AlignRight);

    lblOperacao->setBuddy(medOperacao);
    lblOrigem->setBuddy(medOrigem);
    lblEntrada->setBuddy(dtpEntrada);
    lblEmis->setBuddy(dtpEmissao);
    lblNF->setBuddy(medNF);
    lblSerie->setBuddy(medSerie);
    lblTotal->setBuddy(MedTotal);

    int row = 0;
    auto codeRow = [&](QLabel *l, QWidget *code, QWidget *b, QWidget *name) {
        grid->addWidget(l, row, 0);
        auto *line = new QHBoxLayout;
        line->addWidget(code);
        line->addWidget(b);
        line->addWidget(name, 1);
        grid->addLayout(line, row++, 1, 1, 3);
    };
    codeRow(lblOperacao, medOperacao, btpTipoOperac, edtOperacao);
    codeRow(lblOrigem, medOrigem, btpOrigem, edtOrigem);
    grid->addWidget(lblEntrada, row, 0);
    grid->addWidget(dtpEntrada, row, 1);
    grid->addWidget(lblEmis, row, 2);
    auto *emissao = new QHBoxLayout;
    emissao->addWidget(dtpEmissao);
    emissao->addStretch(1);
    grid->addLayout(emissao, row++, 3);
    grid->addWidget(lblNF, row, 0);
    grid->addWidget(medNF, row, 1);
    grid->addWidget(lblSerie, row, 2);
    auto *serie = new QHBoxLayout;
    serie->addWidget(medSerie);
    serie->addWidget(btpSerie);
    serie->addStretch(1);
    grid->addLayout(serie, row++, 3);
    grid->addWidget(lblTotal, row, 0);
    grid->addWidget(MedTotal, row++, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(row, 1);

    QWidget::setTabOrder(medOperacao, medOrigem);
    QWidget::setTabOrder(medOrigem, dtpEntrada);
    QWidget::setTabOrder(dtpEntrada, dtpEmissao);
    QWidget::setTabOrder(dtpEmissao, medNF);
    QWidget::setTabOrder(medNF, medSerie);
    QWidget::setTabOrder(medSerie, MedTotal);
    return tshFormulario;
}

void TfrmLanEntr::buildControls()
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
    medCdFilial->setFixedWidth(medCdFilial->fontMetrics().horizontalAdvance(
                                   QStringLiteral("00000"))
                               + 16);
    BtnPesquisa1 = new QToolButton(panel);
    BtnPesquisa1->setObjectName(QStringLiteral("BtnPesquisa1"));
    BtnPesquisa1->setText(QStringLiteral("..."));
    BtnPesquisa1->setFocusPolicy(Qt::NoFocus);
    BtnPesquisa1->setEnabled(false);
    edtNmFilial = new QLineEdit(panel);
    edtNmFilial->setObjectName(QStringLiteral("edtNmFilial"));
    edtNmFilial->setEnabled(false);
    edtNmFilial->setMinimumWidth(edtNmFilial->fontMetrics().averageCharWidth() * 30);
    row->addWidget(lblFilial);
    row->addWidget(medCdFilial);
    row->addWidget(BtnPesquisa1);
    row->addWidget(edtNmFilial, 1);
    ClientLayout()->addWidget(panel);

    pgcLancEntr = new TPageControl(ClientArea());
    pgcLancEntr->setObjectName(QStringLiteral("pgcLancEntr"));
    auto sheet = [this](const QString &name, const QString &caption) {
        auto *page = new TTabSheet(pgcLancEntr);
        page->setObjectName(name);
        pgcLancEntr->addPage(page, caption);
        return page;
    };
    tshFormulario = sheet(QStringLiteral("tshFormulario"), QStringLiteral("Formulário"));
    tshProduto = sheet(QStringLiteral("tshProduto"), QStringLiteral("Produto"));
    tshVenc = sheet(QStringLiteral("tshVenc"), QStringLiteral("Vencimento"));
    buildFormPage();

    auto gridPage = [](TTabSheet *page, const QString &name, TDataSource *source) {
        auto *layout = new QVBoxLayout(page);
        auto *grid = new TDBGrid(page);
        grid->setObjectName(name);
        grid->SetDataSource(source);
        layout->addWidget(grid);
        return grid;
    };
    dbgProduto = gridPage(tshProduto, QStringLiteral("dbgProduto"), dtsProduto);
    dbgVenc = gridPage(tshVenc, QStringLiteral("dbgVenc"), dtsVenc);
    buildItemGrid();
    buildDueDateGrid();
    ClientLayout()->addWidget(pgcLancEntr, 1);

    dbnPadrao = new TDBNavigator(ClientArea());
    dbnPadrao->setObjectName(QStringLiteral("dbnPadrao"));
    dbnPadrao->SetDataSource(dtsLancEntr);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(dbnPadrao);
    bottom->addStretch(1);
    ClientLayout()->addLayout(bottom);

    // The page entries open the menu, above the commands.
    QAction *first = mnuOperacao->actions().value(0);
    auto pageEntry = [&](const QString &name, const QString &caption, TTabSheet *page) {
        auto *entry = new QAction(caption, mnuOperacao);
        entry->setObjectName(name);
        entry->setCheckable(true);
        mnuOperacao->insertAction(first, entry);
        connect(entry, &QAction::triggered, this,
                [this, page] {
                    guarded(this, [this, page] {
                        irParaPagina(page);
                        pgcLancEntrChange();
                    });
                });
        return entry;
    };
    mnuFormulario = pageEntry(QStringLiteral("mnuFormulario"), QStringLiteral("&Formulário"),
                              tshFormulario);
    mnuProduto = pageEntry(QStringLiteral("mnuProduto"), QStringLiteral("&Produto"), tshProduto);
    mnuVencimento = pageEntry(QStringLiteral("mnuVencimento"), QStringLiteral("&Vencimento"),
                              tshVenc);
    mnuOperacao->insertSeparator(first);
    mnuFormulario->setChecked(true);
    pgcLancEntr->OnChange = [this] { pgcLancEntrChange(); };
    mnuOrdenar->setShortcut(QKeySequence());

    medOperacao->OnChange = [this] { medOperacaoChange(); };
    medOperacao->OnExit = [this] { medOperacaoExit(); };
    medOperacao->OnKeyDown = [this](int &key, Qt::KeyboardModifiers) {
        if (isLookupKey(key)) {
            key = 0;
            btpTipoOperacClick();
        }
    };
    medOrigem->OnChange = [this] { medOrigemChange(); };
    medOrigem->OnExit = [this] { medOrigemExit(); };
    medOrigem->OnKeyDown = [this](int &key, Qt::KeyboardModifiers) {
        if (isLookupKey(key)) {
            key = 0;
            btpOrigemClick();
        }
    };
    medSerie->OnExit = [this] { medSerieExit(); };
    medSerie->OnKeyDown = [this](int &key, Qt::KeyboardModifiers) {
        if (isLookupKey(key)) {
            key = 0;
            btpSerieClick();
        }
    };
    medNF->OnKeyPress = soDigitos;
    MedTotal->OnKeyPress = soDigitos;
    MedTotal->OnExit = [this] { MedTotalExit(); };
    dtpEntrada->OnChange = [this] { dtpDataChange(); };
    dtpEntrada->OnKeyPress = [this](QChar &key) {
        if (key >= u'0' && key <= u'9')
            dtpDataChange();
    };
    dtpEmissao->OnChange = [this] { dtpDataChange(); };
    connect(btpTipoOperac, &QToolButton::clicked, this,
            [this] { guarded(this, [this] { btpTipoOperacClick(); }); });
    connect(btpOrigem, &QToolButton::clicked, this,
            [this] { guarded(this, [this] { btpOrigemClick(); }); });
    connect(btpSerie, &QToolButton::clicked, this,
            [this] { guarded(this, [this] { btpSerieClick(); }); });

    resize(720, 460);
}

QString TfrmLanEntr::arquivo(const QString &fileName) const
{
    return Session().file(fileName);
}

QString TfrmLanEntr::header(const char *fieldName) const
{
    return cdsLancEntr->FieldByName(QString::fromLatin1(fieldName))->AsString();
}

void TfrmLanEntr::setHeader(const char *fieldName, const QString &value)
{
    cdsLancEntr->FieldByName(QString::fromLatin1(fieldName))->SetAsString(value);
}

bool TfrmLanEntr::editandoCabecalho() const
{
    return editando(cdsLancEntr);
}

bool TfrmLanEntr::padraoEditando() const
{
    const DataSetState state = dtsPadrao->State();
    return state == DataSetState::Edit || state == DataSetState::Insert;
}

void TfrmLanEntr::editarCabecalho()
{
    if (!editandoCabecalho())
        cdsLancEntr->Edit();
}

void TfrmLanEntr::erro(const QString &key)
{
    MensErro(msgPadrao.Msg(key), true);
}

void TfrmLanEntr::FormCreate()
{
    TfrmPadraoSimples::FormCreate();
    // Entries are neither printed nor given help from here.
    sbtAjuda.SetEnabled(false);
    sbtImprimir.SetEnabled(false);

    // A session without a product mask types codes freely: the mask of a
    // lone blank would be one literal place, where nothing could be typed.
    const QString prodMask = Session().productMask;
    if (!EmptyString(prodMask))
        SetFieldEditMask(*cdsProduto->FieldByName(QStringLiteral("CDARVPROD")),
                         prodMask + QLatin1Char(' '));
    SetFieldEditMask(*cdsVenc->FieldByName(QStringLiteral("DTVENCENTR")), DateMask());

    dtpEntrada->SetDateTime(QDateTime::currentDateTime());
    dtpEmissao->SetDateTime(QDateTime::currentDateTime());

    cdsExpFilial->LoadFromFile(arquivo(QStringLiteral("EXPFILIAL.cds")));
    cdsParam->LoadFromFile(arquivo(QStringLiteral("PARAM.cds")));
    cdsNumAF->LoadFromFile(arquivo(QStringLiteral("NUMAF.cds")));
    cdsItemAF->LoadFromFile(arquivo(QStringLiteral("ITEMAF.cds")));
    cdsLancEntr->LoadFromFile(arquivo(QStringLiteral("LANCENTR.cds")));
    cdsTipoOperac->LoadFromFile(arquivo(QStringLiteral("TIPOOPER.cds")));
    cdsFilial->LoadFromFile(arquivo(QStringLiteral("FILIAL.CDS")));
    cdsClientes->LoadFromFile(arquivo(QStringLiteral("CLIENTE.CDS")));
    cdsForneced->LoadFromFile(arquivo(QStringLiteral("FORNECED.cds")));
    cdsSerie->LoadFromFile(arquivo(QStringLiteral("SERIE.cds")));
    cdsAuxNumAf->CreateDataSet();
    cdsSerie->SetFilter(kFiltroSerie);
    cdsSerie->SetFiltered(true);
    cdsTipoOperac->SetFilter(kFiltroOperacao);
    cdsTipoOperac->SetFiltered(true);
    cdsProduto->LoadFromFile(arquivo(QStringLiteral("ITEMENTR.cds")));
    cdsPesqProduto->LoadFromFile(arquivo(QStringLiteral("PRODUTO.CDS")));
    cdsVenc->LoadFromFile(arquivo(QStringLiteral("VENCENTR.cds")));

    calcularUltimoLancamento();

    medCdFilial->SetText(Session().branch);
    edtNmFilial->setText(Session().branchName);

    cdsLancEntr->SetFiltered(false);
    cdsLancEntr->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(Session().branch));
    cdsLancEntr->SetFiltered(true);
    dtsPadrao->setDataSet(cdsLancEntr);
    dtsLancEntrStateChange();
}

void TfrmLanEntr::calcularUltimoLancamento()
{
    cdsPrxLanc->SetData(cdsLancEntr->Data());
    if (cdsPrxLanc->IsEmpty()) {
        UltimoLancamento = QStringLiteral("0");
        return;
    }
    // Numbers are compared as integers ("10" beyond "9"); a number that is
    // not an integer was not given by this window and takes no part.
    const Field *numero = cdsPrxLanc->FieldByName(QStringLiteral("NRLANCNFE"));
    cdsPrxLanc->First();
    bool ok = false;
    qint64 maior = AllTrim(numero->AsString()).toLongLong(&ok);
    if (!ok)
        maior = 0;
    for (; !cdsPrxLanc->Eof(); cdsPrxLanc->Next()) {
        const qint64 valor = AllTrim(numero->AsString()).toLongLong(&ok);
        if (ok && valor > maior)
            maior = valor;
    }
    cdsPrxLanc->First();
    UltimoLancamento = QString::number(maior);
}

void TfrmLanEntr::FormActivate()
{
    SetStatusPanel(3, NomeUnit(this));
}

void TfrmLanEntr::FormClose(bool &allowClose)
{
    // A document being typed goes with the window only when the operator
    // says so, with the question of the cancel command.
    if ((editandoCabecalho() || editando(cdsProduto) || editando(cdsVenc))
        && ShowMsg(msgPadrao, QStringLiteral("dsj_td"), MsgType::Confirmation, mbYes | mbNo)
               != mrYes) {
        allowClose = false;
        return;
    }
    TfrmPadraoSimples::FormClose(allowClose);
    if (allowClose)
        SetStatusPanel(3, QStringLiteral("KIS00000"));
}

void TfrmLanEntr::irParaPagina(TTabSheet *page)
{
    if (!page)
        return;
    pgcLancEntr->SetActivePage(page);
    mnuFormulario->setChecked(page == tshFormulario);
    mnuProduto->setChecked(page == tshProduto);
    mnuVencimento->setChecked(page == tshVenc);
}

void TfrmLanEntr::focarOrigem()
{
    if (pgcLancEntr->ActivePage() == tshFormulario)
        medOrigem->setFocus();
}

void TfrmLanEntr::cdsLancEntrAfterInsert()
{
    // A number once given is not given back: a cancelled insertion leaves
    // a gap until the window is opened again.
    UltimoLancamento = QString::number(UltimoLancamento.toLongLong() + 1);
    setHeader("NRLANCNFE", UltimoLancamento);
    dtpEntrada->SetDateTime(QDateTime::currentDateTime());
    dtpEmissao->SetDateTime(QDateTime::currentDateTime());
    if (medOperacao->isEnabled())
        medOperacao->setFocus();
}

void TfrmLanEntr::cdsLancEntrBeforePost()
{
    // The pickers are not bound: their dates reach the record here.
    cdsLancEntr->FieldByName(QStringLiteral("DTENTRADA"))->SetAsDate(dtpEntrada->Date());
    cdsLancEntr->FieldByName(QStringLiteral("DTEMISSAO"))->SetAsDate(dtpEmissao->Date());
    Vd_Operacao(true);
    Vd_Origem(true);
    if (dtpEmissao->Date() > dtpEntrada->Date()) {
        dtpEntrada->setFocus();
        erro(QStringLiteral("emis>ent"));
    }
    if (EmptyString(header("NRNOTAFISC"))) {
        medNF->setFocus();
        erro(QStringLiteral("nr_dev"));
    }
    Vd_Serie(true);
    Field *total = cdsLancEntr->FieldByName(QStringLiteral("VRNOTAFISC"));
    if (EmptyString(total->AsString())) {
        MedTotal->setFocus();
        erro(QStringLiteral("tot_dev"));
    }
    total->SetAsString(FormataValor(kFormatoValor, total->AsString(), total->Size()));

    filtrarPagina(tshProduto);
    if (cdsProduto->IsEmpty()) {
        irParaPagina(tshProduto);
        pgcLancEntrChange();
        erro(QStringLiteral("it_dev"));
    }
    // The items decide the total: a typed total that differs is replaced
    // without a word.
    const bool importado = header("IDIMPAF") == QLatin1String("S");
    double soma = 0;
    for (cdsProduto->First(); !cdsProduto->Eof(); cdsProduto->Next()) {
        soma += StrToFloat(item("VRUNITITEM")) * StrToFloat(item("QTITEMPROD"));
        if (importado) {
            cdsProduto->Edit();
            setItem("NRNFEPROD", header("NRNOTAFISC"));
            cdsProduto->Post();
        }
    }
    if (StrToFloat(total->AsString()) != soma) {
        // The field keeps ten characters of the sum's text; the total is
        // what it kept, with five decimals.
        total->SetAsString(FloatToStr(soma));
        total->SetAsString(FormatFloat(kFormatoValor, StrToFloat(total->AsString())));
    }

    if (header("IDUTILVENC") == QLatin1String("S")) {
        filtrarPagina(tshVenc);
        if (cdsVenc->IsEmpty()) {
            irParaPagina(tshVenc);
            pgcLancEntrChange();
            erro(QStringLiteral("venc_dev"));
        }
        double vencimentos = 0;
        for (cdsVenc->First(); !cdsVenc->Eof(); cdsVenc->Next())
            vencimentos += StrToFloat(cdsVenc->FieldByName(QStringLiteral("VRVENCENTR"))
                                          ->AsString());
        if (StrToFloat(total->AsString()) != vencimentos) {
            irParaPagina(tshVenc);
            pgcLancEntrChange();
            if (MedTotal->isVisible())
                MedTotal->setFocus();
            erro(QStringLiteral("vc<>tot"));
        }
    }
    // The document belongs to the branch that records it.
    setHeader("CDFILIAL", Session().branch);
}

void TfrmLanEntr::cdsLancEntrAfterScroll()
{
    if (!editandoCabecalho())
        mostrarDatas();
    const bool usaVencimento = header("IDUTILVENC") == QLatin1String("S");
    habilitarVencimento(usaVencimento);
    if (header("IDUTILVENC") == QLatin1String("N")
        && pgcLancEntr->ActivePage() == tshVenc) {
        irParaPagina(tshProduto);
        pgcLancEntrChange();
    }
    filtrarPagina(pgcLancEntr->ActivePage());
    dtsPadraoStateChange();
}

void TfrmLanEntr::cdsLancEntrAfterCancel()
{
    mostrarDatas();
    // Unsaved items and due dates of every document go with the header;
    // the filters shown stay as they were.
    cdsProduto->LoadFromFile(arquivo(QStringLiteral("ITEMENTR.cds")));
    cdsVenc->LoadFromFile(arquivo(QStringLiteral("VENCENTR.cds")));
    if (cdsLancEntr->IsEmpty()) {
        irParaPagina(tshFormulario);
        pgcLancEntrChange();
    }
}

void TfrmLanEntr::gravarArquivos()
{
    // Every document of every branch, whatever the filters show. The three
    // files are replaced together or not at all: a failure leaves the old
    // ones, and what is posted in memory goes with the next save.
    Table::SaveToFiles({{cdsLancEntr, arquivo(QStringLiteral("LANCENTR.cds"))},
                        {cdsProduto, arquivo(QStringLiteral("ITEMENTR.cds"))},
                        {cdsVenc, arquivo(QStringLiteral("VENCENTR.cds"))}});
    for (Table *table : {cdsLancEntr, cdsProduto, cdsVenc})
        if (table->LogChanges())
            table->MergeChangeLog();
}

void TfrmLanEntr::cdsLancEntrAfterPost()
{
    gravarArquivos();
}

void TfrmLanEntr::cdsLancEntrBeforeDelete()
{
    const QString filtro = QStringLiteral("NRLANCNFE =") + QuotedStr(header("NRLANCNFE"));
    m_excluindoDocumento = true;
    const auto fim = qScopeGuard([this] { m_excluindoDocumento = false; });
    for (Table *table : {cdsVenc, cdsProduto}) {
        table->SetFiltered(false);
        table->SetFilter(filtro);
        table->SetFiltered(true);
        for (table->First(); !table->IsEmpty();)
            table->Delete();
    }
}

void TfrmLanEntr::cdsLancEntrAfterDelete()
{
    gravarArquivos();
    dtsPadraoStateChange();
    desabilitarConfirmacao();
}

void TfrmLanEntr::desabilitarConfirmacao()
{
    sbtCancelar.SetEnabled(false);
    sbtConfirmar.SetEnabled(false);
}

void TfrmLanEntr::sbtConfirmarClick()
{
    // What the operator typed in the control that has the focus (the
    // command buttons take none) reaches its record first.
    for (TDataSource *source : {dtsLancEntr, dtsVenc, dtsProduto})
        source->UpdateRecord();
    if (editandoCabecalho())
        Vd_Origem(true);
    const bool gravando = editandoCabecalho();
    const QString numero = header("NRLANCNFE");
    if (editando(cdsVenc))
        cdsVenc->Post();
    if (editandoCabecalho())
        cdsLancEntr->Post();
    if (editando(cdsProduto))
        cdsProduto->Post();
    desabilitarConfirmacao();
    if (gravando)
        ShowStatusMessage(QStringLiteral("Lançamento %1 gravado.").arg(numero));
}

void TfrmLanEntr::sbtCancelarClick()
{
    // The whole document goes only when the operator says so.
    const auto cancelarCabecalho = [this] {
        if (ShowMsg(msgPadrao, QStringLiteral("dsj_td"), MsgType::Confirmation, mbYes | mbNo)
            != mrYes)
            return;
        cdsLancEntr->Cancel();
        desabilitarConfirmacao();
    };
    // On a grid page a pending row goes first, without a question.
    const auto cancelarPagina = [&](Table *linhas) {
        if (editando(linhas)) {
            linhas->Cancel();
            const bool temLinhas = !linhas->IsEmpty();
            for (TCommand *command : {&sbtAlterar, &sbtExcluir, &sbtProcurar})
                command->SetEnabled(temLinhas);
        } else if (editandoCabecalho()) {
            cancelarCabecalho();
        }
    };
    if (pgcLancEntr->ActivePage() == tshProduto)
        cancelarPagina(cdsProduto);
    if (pgcLancEntr->ActivePage() == tshVenc)
        cancelarPagina(cdsVenc);
    if (pgcLancEntr->ActivePage() == tshFormulario && editandoCabecalho())
        cancelarCabecalho();
}

void TfrmLanEntr::dtsPadraoStateChange()
{
    Table *table = dtsPadrao->DataSet();
    const DataSetState state = dtsPadrao->State();
    // Cancel and confirm are only enabled here; confirming, cancelling and
    // deleting disable them.
    if (padraoEditando() || editandoCabecalho()) {
        sbtCancelar.SetEnabled(true);
        sbtConfirmar.SetEnabled(true);
    }
    const bool navegando = state == DataSetState::Browse;
    sbtIncluir.SetEnabled(navegando);
    const bool comRegistros = navegando && table && !table->IsEmpty();
    for (TCommand *command : {&sbtAlterar, &sbtExcluir, &sbtProcurar, &sbtVerificar})
        command->SetEnabled(comRegistros);
    if (table == cdsLancEntr) {
        // A header being inserted counts as a record.
        const bool temCabecalho = !cdsLancEntr->IsEmpty()
                                  || cdsLancEntr->State() == DataSetState::Insert;
        habilitarVencimento(temCabecalho && header("IDUTILVENC") == QLatin1String("S"));
        tshProduto->setEnabled(temCabecalho);
        mnuProduto->setEnabled(tshProduto->isEnabled());
    }
    sbtVerificar.SetEnabled(false);
    // Headers are found by moving through them; find works on the grids.
    if (pgcLancEntr->ActivePage() == tshFormulario)
        sbtProcurar.SetEnabled(false);
    // A stored header without dates shows today's. While a header is typed
    // the pickers hold the operator's dates, which reach the record only
    // when it is posted: they are left alone.
    if (cdsLancEntr->Active() && !editandoCabecalho()) {
        if (cdsLancEntr->FieldByName(QStringLiteral("DTEMISSAO"))->IsNull())
            dtpEmissao->SetDateTime(QDateTime::currentDateTime());
        if (cdsLancEntr->FieldByName(QStringLiteral("DTENTRADA"))->IsNull())
            dtpEntrada->SetDateTime(QDateTime::currentDateTime());
    }
}

void TfrmLanEntr::mostrarDatas()
{
    // A header without a date (none stored yet) shows today's.
    const auto mostrar = [this](TDateTimePicker *picker, const char *fieldName) {
        const QDate data = cdsLancEntr->FieldByName(QString::fromLatin1(fieldName))->AsDate();
        picker->SetDateTime(data.isValid() ? data.startOfDay() : QDateTime::currentDateTime());
    };
    mostrar(dtpEntrada, "DTENTRADA");
    mostrar(dtpEmissao, "DTEMISSAO");
}

void TfrmLanEntr::pgcLancEntrChange()
{
    TTabSheet *page = pgcLancEntr->ActivePage();
    Table *destino = cdsLancEntr;
    if (page == tshProduto) {
        irParaPagina(tshProduto);
        if (editandoCabecalho())
            checarCabecalho();
        if (editando(cdsVenc))
            checarVencimento();
        destino = cdsProduto;
    } else if (page == tshFormulario) {
        irParaPagina(tshFormulario);
        if (editando(cdsVenc))
            checarVencimento();
        if (editando(cdsProduto))
            checarItem();
    } else if (page == tshVenc) {
        irParaPagina(tshVenc);
        if (editandoCabecalho())
            checarCabecalho();
        if (editando(cdsProduto))
            checarItem();
        destino = cdsVenc;
    }
    dtsPadrao->setDataSet(destino);
    filtrarPagina(page);
    dtsPadraoStateChange();
    // The keyboard goes on in the page's grid, where the commands now act.
    if (page == tshProduto)
        dbgProduto->setFocus();
    else if (page == tshVenc)
        dbgVenc->setFocus();
}

void TfrmLanEntr::mnuFormularioClick()
{
    irParaPagina(tshFormulario);
    pgcLancEntrChange();
}

void TfrmLanEntr::mnuProdutoClick()
{
    irParaPagina(tshProduto);
    pgcLancEntrChange();
}

void TfrmLanEntr::mnuVencimentoClick()
{
    irParaPagina(tshVenc);
    pgcLancEntrChange();
}

void TfrmLanEntr::checarCabecalho()
{
    Vd_Operacao(true);
    Vd_Origem(true);
    if (dtpEmissao->Date() > dtpEntrada->Date()) {
        irParaPagina(tshFormulario);
        dtpEntrada->setFocus();
        erro(QStringLiteral("emis>ent"));
    }
    if (EmptyString(header("NRNOTAFISC"))) {
        irParaPagina(tshFormulario);
        medNF->setFocus();
        erro(QStringLiteral("nr_dev"));
    }
    Vd_Serie(true);
    if (EmptyString(header("VRNOTAFISC"))) {
        irParaPagina(tshFormulario);
        MedTotal->setFocus();
        erro(QStringLiteral("tot_dev"));
    }
    setHeader("VRNOTAFISC", FormatFloat(kFormatoValor, StrToFloat(header("VRNOTAFISC"))));
}

void TfrmLanEntr::checarVencimento()
{
    Field *valor = cdsVenc->FieldByName(QStringLiteral("VRVENCENTR"));
    if (EmptyString(valor->AsString())) {
        irParaPagina(tshVenc);
        focarColunaVenc("VRVENCENTR");
        erro(QStringLiteral("vl_dev"));
    }
    valor->SetAsString(FormatFloat(kFormatoValor, StrToFloat(valor->AsString())));
    // A document not posted yet has no stored entry date: no due date is
    // early for it.
    const QDate entrada = cdsLancEntr->FieldByName(QStringLiteral("DTENTRADA"))->AsDate();
    const QDate data = cdsVenc->FieldByName(QStringLiteral("DTVENCENTR"))->AsDate();
    if (entrada.isValid() && (!data.isValid() || entrada > data)) {
        irParaPagina(tshVenc);
        focarColunaVenc("DTVENCENTR");
        erro(QStringLiteral("dtvenc<"));
    }
}

void TfrmLanEntr::checarItem()
{
    Vd_Produto(true);
    if (EmptyString(item("QTITEMPROD"))) {
        irParaPagina(tshProduto);
        focarColunaItem("QTITEMPROD");
        erro(QStringLiteral("qt_dev"));
    }
    setItem("QTITEMPROD", FormatFloat(kFormatoQuantidade, StrToFloat(item("QTITEMPROD"))));
    if (EmptyString(item("VRUNITITEM"))) {
        irParaPagina(tshProduto);
        focarColunaItem("VRUNITITEM");
        erro(QStringLiteral("vl_dev"));
    }
    setItem("VRUNITITEM", FormatFloat(kFormatoValor, StrToFloat(item("VRUNITITEM"))));
}

void TfrmLanEntr::dtsLancEntrStateChange()
{
    const DataSetState state = cdsLancEntr->State();
    // Operation type and emission date are chosen for a new document only.
    const bool novo = state == DataSetState::Insert || !cdsLancEntr->Active()
                      || cdsLancEntr->RecordCount() == 0;
    for (QWidget *w : {static_cast<QWidget *>(medOperacao), static_cast<QWidget *>(btpTipoOperac),
                       static_cast<QWidget *>(lblOperacao), static_cast<QWidget *>(lblEmis),
                       static_cast<QWidget *>(dtpEmissao)})
        w->setEnabled(novo);
    dbnPadrao->setEnabled(state != DataSetState::Edit && state != DataSetState::Insert);
}

void TfrmLanEntr::dtpDataChange()
{
    editarCabecalho();
}

void TfrmLanEntr::medOperacaoChange()
{
    // A new operation type may take another kind of origin: the origin goes
    // with the name.
    if (!padraoEditando())
        return;
    setHeader("NMTIPOOPER", QString());
    setHeader("NRINSJURNF", QString());
}

void TfrmLanEntr::medOperacaoExit()
{
    if (editandoCabecalho())
        Vd_Operacao(true);
}

void TfrmLanEntr::medOrigemChange()
{
    if (padraoEditando())
        setHeader("NMORIGEM", QString());
}

void TfrmLanEntr::medOrigemExit()
{
    if (editandoCabecalho())
        Vd_Origem(false);
}

void TfrmLanEntr::medSerieExit()
{
    if (padraoEditando())
        Vd_Serie(false);
}

void TfrmLanEntr::MedTotalExit()
{
    if (!editandoCabecalho() || EmptyString(header("VRNOTAFISC")))
        return;
    setHeader("VRNOTAFISC", FormatFloat(kFormatoValor, StrToFloat(header("VRNOTAFISC"))));
}

void TfrmLanEntr::btpTipoOperacClick()
{
    if (!Pesquisar(dtsTipoOperac, kTituloOperacao + u'|' + kVazioOperacao, false, true))
        return;
    editarCabecalho();
    for (const char *name : {"CDTIPOOPER", "NMTIPOOPER", "IDENTORIOP", "IDUTILVENC"})
        setHeader(name, cdsTipoOperac->FieldByName(QString::fromLatin1(name))->AsString());
    habilitarVencimento(header("IDUTILVENC") == QLatin1String("S"));
    medOrigem->setFocus();
}

void TfrmLanEntr::btpOrigemClick()
{
    if (EmptyString(medOperacao->Text())) {
        medOperacao->setFocus();
        erro(QStringLiteral("to_dev"));
    }
    const QString kind = header("IDENTORIOP");
    if (kind == QLatin1String("F")) {
        if (header("CDTIPOOPER") == QLatin1String("01"))
            origemFornecedor();
        else
            pesquisarFornecedor();
    } else if (kind == QLatin1String("C")) {
        if (!Pesquisar(dtsClientes, msgPadrao.Msg(QStringLiteral("Cli")), false, true))
            return;
        copiarOrigem(cdsClientes, "NRINSJURCL", "CDCLIENTE", "NMRAZSOCCL");
        dtpEntrada->setFocus();
    } else if (kind == QLatin1String("L")) {
        if (!Pesquisar(dtsFilial, msgPadrao.Msg(QStringLiteral("fil")), false, true))
            return;
        copiarOrigem(cdsFilial, "CDFILIAL", "CDFILIAL", "NMFILIAL");
        if (header("CDORIGEM") == Session().branch) {
            focarOrigem();
            cdsFilial->SetFiltered(false);
            erro(QStringLiteral("fil<>or"));
        }
        dtpEntrada->setFocus();
    }
}

void TfrmLanEntr::copiarOrigem(const Table *lista, const char *inscricao, const char *codigo,
                               const char *nome)
{
    editarCabecalho();
    for (const auto &[destino, origem] : {std::pair{"NRINSJURNF", inscricao},
                                          std::pair{"CDORIGEM", codigo},
                                          std::pair{"NMORIGEM", nome}})
        setHeader(destino, lista->FieldByName(QString::fromLatin1(origem))->AsString());
    setHeader("IDIMPAF", QStringLiteral("N"));
}

void TfrmLanEntr::pesquisarFornecedor()
{
    const QString title = msgPadrao.Msg(QStringLiteral("forn")) + u'|' + kVazioOrigem;
    if (!Pesquisar(dtsForneced, title, false, true))
        return;
    copiarOrigem(cdsForneced, "NRINSJURFO", "CDFORNECED", "NMRAZSOCFO");
    dtpEntrada->setFocus();
}

void TfrmLanEntr::origemFornecedor()
{
    // The central system may make the import compulsory everywhere, or for
    // single branches; otherwise the operator chooses.
    cdsParam->First();
    if (cdsParam->FieldByName(QStringLiteral("IDBLOQNFSAF"))->AsString() == QLatin1String("S")) {
        ImportaAF();
        return;
    }
    cdsFilial->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(Session().branch));
    cdsFilial->SetFiltered(true);
    // The branch list is a lookup of its own: it must not stay narrowed to
    // the session branch, whatever happens here.
    const auto fim = qScopeGuard([this] { cdsFilial->SetFiltered(false); });
    if (cdsFilial->FieldByName(QStringLiteral("IDBLOQNFSAF"))->AsString() == QLatin1String("S"))
        ImportaAF();
    else if (ShowMsg(msgPadrao, QStringLiteral("dsj_AF"), MsgType::Confirmation, mbYes | mbNo)
             == mrYes)
        ImportaAF();
    else
        pesquisarFornecedor();
}

void TfrmLanEntr::ImportaAF()
{
    const QString filial = Session().branch;
    cdsNumAF->SetFilter(QStringLiteral("CDFILDEST = ") + QuotedStr(filial));
    cdsNumAF->SetFiltered(true);
    const auto semFiltro = qScopeGuard([this] { cdsNumAF->SetFiltered(false); });
    cdsNumAF->First();
    if (cdsNumAF->IsEmpty()
        || cdsNumAF->FieldByName(QStringLiteral("CDFILDEST"))->AsString() != filial) {
        cdsFilial->SetFiltered(false);
        erro(QStringLiteral("fil_n_af"));
    }

    // The choice list: one row per authorisation, with its supplier when the
    // supplier file has it.
    const auto af = [this](const char *name) {
        return cdsNumAF->FieldByName(QString::fromLatin1(name));
    };
    const auto escolha = [this](const char *name) {
        return cdsAuxNumAf->FieldByName(QString::fromLatin1(name));
    };
    cdsAuxNumAf->EmptyDataSet();
    for (cdsNumAF->First(); !cdsNumAF->Eof(); cdsNumAF->Next()) {
        cdsAuxNumAf->Append();
        escolha("NRAUTOFORN")->SetAsString(af("NRAUTOFORN")->AsString());
        escolha("STDTPENTAF")->SetAsString(af("STDTPENTAF")->AsString());
        escolha("DTPENTAF")->SetValue(af("DTPENTAF")->Value());
        escolha("VRTOTALAF")->SetAsString(
            FormatFloat(QStringLiteral("##0.00"), ConverteValor(af("VRTOTALAF")->AsString())));
        if (cdsForneced->Locate(QStringLiteral("CDFORNECED"), af("CDFORNECED")->AsString())) {
            for (const char *name : {"CDFORNECED", "NMRAZSOCFO", "NRINSJURFO"})
                escolha(name)->SetAsString(
                    cdsForneced->FieldByName(QString::fromLatin1(name))->AsString());
        }
        cdsAuxNumAf->Post();
    }
    cdsNumAF->SetFiltered(false);
    cdsAuxNumAf->First();
    if (!Pesquisar(dtsNumAF, msgPadrao.Msg(QStringLiteral("Num_Af")), false, true))
        return;

    editarCabecalho();
    setHeader("NRINSJURNF", escolha("NRINSJURFO")->AsString());
    setHeader("CDORIGEM", escolha("CDFORNECED")->AsString());
    setHeader("NMORIGEM", escolha("NMRAZSOCFO")->AsString());
    setHeader("IDIMPAF", QStringLiteral("S"));
    setHeader("NRINSJURNF", escolha("NRINSJURFO")->AsString());
    const QString dataTexto = escolha("STDTPENTAF")->AsString();
    const QDate entrega = LocaleService::textToDate(dataTexto);
    if (!entrega.isValid())
        throw EConvertError(QStringLiteral("'%1' não é uma data válida.").arg(dataTexto));
    dtpEntrada->SetDate(entrega);
    dtpEmissao->SetDate(entrega);
    setHeader("VRNOTAFISC",
              FormatFloat(kFormatoValor, ConverteValor(escolha("VRTOTALAF")->AsString())));
    const QString numero = escolha("NRAUTOFORN")->AsString();
    setHeader("NRAUTOFORN", numero);
    cdsLancEntr->FieldByName(QStringLiteral("DTPENTAF"))->SetValue(escolha("DTPENTAF")->Value());

    // The authorisation's items. Its number and date are quoted like the
    // branch: a number with other characters than digits still filters.
    cdsItemAF->SetFiltered(false);
    cdsItemAF->SetFilter(QStringLiteral("CDFILDEST = ") + QuotedStr(filial)
                         + QStringLiteral(" AND NRAUTOFORN = ") + QuotedStr(numero)
                         + QStringLiteral(" AND DTPENTAF = ")
                         + QuotedStr(LocaleService::dateTimeToText(
                               escolha("DTPENTAF")->AsDateTime())));
    cdsItemAF->SetFiltered(true);
    const auto itemAf = [this](const char *name) {
        return cdsItemAF->FieldByName(QString::fromLatin1(name))->AsString();
    };
    int importados = 0;
    for (cdsItemAF->First(); !cdsItemAF->Eof(); cdsItemAF->Next(), ++importados) {
        // A product the document has already (an authorisation imported
        // again) is overwritten; the previous row is posted by the move.
        if (cdsProduto->Locate(QStringLiteral("CDFILDEST;NRLANCNFE;CDPRODUTO"),
                               QVariantList{filial, header("NRLANCNFE"), itemAf("CDPRODUTO")}))
            cdsProduto->Edit();
        else
            cdsProduto->Insert();
        setItem("NRLANCNFE", header("NRLANCNFE"));
        for (const char *name : {"CDPRODUTO", "CDARVPROD", "NMPRODUTO", "SGUNIDADE"})
            setItem(name, itemAf(name));
        const QString quantidade =
            FormatFloat(QStringLiteral("##0.00"), ConverteValor(itemAf("QTPENTAF")));
        setItem("QTITEMPROD", quantidade);
        setItem("VRUNITITEM", FormatFloat(kFormatoValor, ConverteValor(itemAf("VRPREUNIAF"))));
        for (const char *name : {"CDFILLANC", "CDFILDEST", "CDMARCA"})
            setItem(name, itemAf(name));
        setItem("QTPENTAF", quantidade);
        setItem("VRPREUNIAF",
                FormatFloat(QStringLiteral("##0.00"), ConverteValor(itemAf("VRPREUNIAF"))));
        setItem("CDPSQPROD", itemAf("CDPSQPROD"));
    }
    ShowStatusMessage(importados == 1 ? QStringLiteral("1 item importado.")
                                      : QStringLiteral("%1 itens importados.").arg(importados));
    dtpEntrada->setFocus();
}

void TfrmLanEntr::btpSerieClick()
{
    if (EmptyString(medOperacao->Text())) {
        medOperacao->setFocus();
        erro(QStringLiteral("to_dev"));
    }
    if (!Pesquisar(dtsSerie, kTituloSerie + u'|' + kVazioSerie, false, true))
        return;
    editarCabecalho();
    setHeader("CDSERIE", cdsSerie->FieldByName(QStringLiteral("CDSERIE"))->AsString());
    MedTotal->setFocus();
}

void TfrmLanEntr::Vd_Operacao(bool obrigatorio)
{
    if (EmptyString(header("CDTIPOOPER"))) {
        if (!obrigatorio)
            return;
        irParaPagina(tshFormulario);
        medOperacao->setFocus();
        erro(QStringLiteral("to_dev"));
    }
    setHeader("CDTIPOOPER", Ajusta(medOperacao->Text(), 2));
    cdsTipoOperac->SetFilter(cdsTipoOperac->Filter() + QStringLiteral(" AND CDTIPOOPER =")
                             + QuotedStr(medOperacao->Text()));
    if (cdsTipoOperac->IsEmpty()) {
        irParaPagina(tshFormulario);
        medOperacao->setFocus();
        cdsTipoOperac->SetFilter(kFiltroOperacao);
        erro(QStringLiteral("to_n_cad"));
    }
    for (const char *name : {"CDTIPOOPER", "NMTIPOOPER", "IDENTORIOP", "IDUTILVENC"})
        setHeader(name, cdsTipoOperac->FieldByName(QString::fromLatin1(name))->AsString());
    habilitarVencimento(header("IDUTILVENC") == QLatin1String("S"));
    cdsTipoOperac->SetFilter(kFiltroOperacao);
}

void TfrmLanEntr::Vd_Origem(bool obrigatorio)
{
    const QString kind = header("IDENTORIOP");
    if (kind == QLatin1String("C"))
        Vd_Cliente(obrigatorio);
    if (kind == QLatin1String("F"))
        Vd_Fornecedor(obrigatorio);
    if (kind == QLatin1String("L"))
        Vd_FilialOrigem(obrigatorio);
}

void TfrmLanEntr::Vd_Fornecedor(bool obrigatorio)
{
    vdOrigemCadastrada(cdsForneced, "NRINSJURFO", "CDFORNECED", "NMRAZSOCFO",
                       QStringLiteral("or_n_cad"), obrigatorio);
}

void TfrmLanEntr::Vd_Cliente(bool obrigatorio)
{
    vdOrigemCadastrada(cdsClientes, "NRINSJURCL", "CDCLIENTE", "NMRAZSOCCL",
                       QStringLiteral("Cli_n_Cad"), obrigatorio);
}

// A supplier or client origin: found by its registration number, it gives
// the header its code, name and number; the lookup table's filter is
// emptied again whatever happens.
void TfrmLanEntr::vdOrigemCadastrada(Table *origens, const char *inscricaoField,
                                     const char *codigoField, const char *nomeField,
                                     const QString &naoCadastrada, bool obrigatorio)
{
    if (EmptyString(header("NRINSJURNF"))) {
        if (!obrigatorio)
            return;
        irParaPagina(tshFormulario);
        medOrigem->setFocus();
        erro(QStringLiteral("or_dev"));
    }
    const QString inscricaoName = QString::fromLatin1(inscricaoField);
    origens->SetFilter(inscricaoName + QStringLiteral(" = ") + QuotedStr(medOrigem->Text()));
    origens->SetFiltered(true);
    if (origens->IsEmpty()) {
        irParaPagina(tshFormulario);
        medOrigem->setFocus();
        origens->SetFilter(QString());
        erro(naoCadastrada);
    }
    const QString codigo = origens->FieldByName(QString::fromLatin1(codigoField))->AsString();
    const QString nome = origens->FieldByName(QString::fromLatin1(nomeField))->AsString();
    const QString inscricao = origens->FieldByName(inscricaoName)->AsString();
    setHeader("CDORIGEM", codigo);
    setHeader("NMORIGEM", nome);
    setHeader("NRINSJURNF", inscricao);
    origens->SetFilter(QString());
}

void TfrmLanEntr::Vd_FilialOrigem(bool obrigatorio)
{
    if (EmptyString(header("NRINSJURNF"))) {
        if (!obrigatorio)
            return;
        focarOrigem();
        erro(QStringLiteral("or_dev"));
    }
    setHeader("NRINSJURNF", Ajusta(header("NRINSJURNF"), 4));
    cdsFilial->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(header("NRINSJURNF")));
    cdsFilial->SetFiltered(true);
    if (cdsFilial->IsEmpty()) {
        focarOrigem();
        cdsFilial->SetFiltered(false);
        erro(QStringLiteral("fil_n_cad"));
    }
    setHeader("CDORIGEM", cdsFilial->FieldByName(QStringLiteral("CDFILIAL"))->AsString());
    setHeader("NMORIGEM", cdsFilial->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
    // Stock cannot come into a branch from itself.
    if (header("CDORIGEM") == Session().branch) {
        focarOrigem();
        cdsFilial->SetFiltered(false);
        erro(QStringLiteral("fil<>or"));
    }
    cdsFilial->SetFiltered(false);
}

void TfrmLanEntr::Vd_Serie(bool obrigatorio)
{
    if (EmptyString(header("CDSERIE"))) {
        if (!obrigatorio)
            return;
        irParaPagina(tshFormulario);
        medSerie->setFocus();
        erro(QStringLiteral("ser_dev"));
    }
    cdsSerie->SetFilter(cdsSerie->Filter() + QStringLiteral("AND CDSERIE = ")
                        + QuotedStr(medSerie->Text()));
    cdsSerie->SetFiltered(true);
    const bool cadastrada = !cdsSerie->IsEmpty();
    if (!cadastrada) {
        irParaPagina(tshFormulario);
        medSerie->setFocus();
    }
    cdsSerie->SetFilter(kFiltroSerie);
    if (!cadastrada)
        erro(QStringLiteral("ser_n_cad"));
}

void TfrmLanEntr::buildItemGrid()
{
    // Widths in digits: a masked code, a quantity of thousands with three
    // decimals, values with five.
    TDBGridColumns &columns = dbgProduto->Columns();
    columns.Add(kCodigo, QStringLiteral("Código"))->SetWidthChars(10);
    TColumn *nome = columns.Add(QStringLiteral("NMPRODUTO"), QStringLiteral("Nome"));
    nome->SetReadOnly(true);
    nome->SetWidthChars(26);
    TColumn *unidade = columns.Add(QStringLiteral("SGUNIDADE"), QStringLiteral("UN"));
    unidade->SetReadOnly(true);
    unidade->SetWidthChars(3);
    TColumn *quantidade = columns.Add(kQuantidade, QStringLiteral("Qtde"));
    quantidade->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    quantidade->SetWidthChars(8);
    TColumn *unitario = columns.Add(kUnitario, QStringLiteral("Vr. Unitário"));
    unitario->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    unitario->SetWidthChars(10);
    TColumn *total = columns.Add(kTotal, QStringLiteral("Vr. Total"));
    total->SetReadOnly(true);
    total->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    total->SetWidthChars(12);
    dbgProduto->OnColExit = [this] { dbgProdutoColExit(); };
    dbgProduto->OnEditButtonClick = [this] { dbgProdutoEditButtonClick(); };
    dbgProduto->OnKeyDown = [this](int &key, Qt::KeyboardModifiers shift) {
        dbgProdutoKeyDown(key, shift);
    };
    dbgProduto->OnKeyPress = [this](QChar &key) { dbgProdutoKeyPress(key); };
    dbgProduto->SetDeleteQuestion(kExcluirLinha);
    dbgProduto->OnDrawColumnCell = [](TColumnCellDraw &cell) {
        // The cell shows the painted row's total, not the current record's.
        double total = 0;
        if (cell.field && cell.field->FieldName() == kTotal && TryStrToFloat(cell.text, total))
            cell.text = FormatFloat(kFormatoValor, total);
    };
}

void TfrmLanEntr::filtrarPagina(TTabSheet *page)
{
    Table *table = page == tshProduto ? cdsProduto : page == tshVenc ? cdsVenc : nullptr;
    if (!table || !table->Active() || !cdsLancEntr->Active())
        return;
    table->SetFiltered(false);
    table->SetFilter(QStringLiteral("NRLANCNFE =") + QuotedStr(header("NRLANCNFE")));
    table->SetFiltered(true);
}

QString TfrmLanEntr::item(const char *fieldName) const
{
    return cdsProduto->FieldByName(QString::fromLatin1(fieldName))->AsString();
}

void TfrmLanEntr::setItem(const char *fieldName, const QString &value)
{
    cdsProduto->FieldByName(QString::fromLatin1(fieldName))->SetAsString(value);
}

bool TfrmLanEntr::inserindoItem() const
{
    return cdsProduto->State() == DataSetState::Insert;
}

void TfrmLanEntr::focarColunaItem(const char *fieldName)
{
    dbgProduto->SetSelectedField(QString::fromLatin1(fieldName));
    if (pgcLancEntr->ActivePage() == tshProduto)
        dbgProduto->setFocus();
}

void TfrmLanEntr::Vd_Produto(bool obrigatorio)
{
    if (EmptyString(item("CDARVPROD"))) {
        if (!obrigatorio)
            return;
        irParaPagina(tshProduto);
        focarColunaItem("CDARVPROD");
        erro(QStringLiteral("cod_dev"));
    }
    if (!cdsPesqProduto->Locate(kCodigo, item("CDARVPROD"))) {
        irParaPagina(tshProduto);
        focarColunaItem("CDARVPROD");
        erro(QStringLiteral("prod_n_cad"));
    }
    // The code first: its change clears the name and the unit.
    for (const char *name : {"CDPSQPROD", "CDPRODUTO", "CDARVPROD", "NMPRODUTO", "SGUNIDADE"})
        setItem(name, cdsPesqProduto->FieldByName(QString::fromLatin1(name))->AsString().left(
                          cdsProduto->FieldByName(QString::fromLatin1(name))->Size()));
    if (!inserindoItem())
        return;
    // An item being changed may take a product the document already has;
    // a new one may not.
    cdsProdutoAux->SetFiltered(false);
    cdsProdutoAux->SetFilter(QStringLiteral("NRLANCNFE =") + QuotedStr(header("NRLANCNFE"))
                             + QStringLiteral(" AND CDPRODUTO =")
                             + QuotedStr(item("CDPRODUTO")));
    cdsProdutoAux->SetFiltered(true);
    if (!cdsProdutoAux->IsEmpty()) {
        focarColunaItem("CDARVPROD");
        erro(QStringLiteral("pr_j_cad"));
    }
}

void TfrmLanEntr::Vd_ProdutoSemAf()
{
    if (header("IDIMPAF") == QLatin1String("S") || header("CDTIPOOPER") != QLatin1String("01"))
        return;
    cdsExpFilial->SetFiltered(false);
    cdsExpFilial->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(Session().branch));
    cdsExpFilial->SetFiltered(true);
    const QString codigo = item("CDARVPROD");
    const Field *bloqueio = cdsExpFilial->FieldByName(QStringLiteral("IDBLOQNFSAF"));
    const Field *prefixo = cdsExpFilial->FieldByName(kCodigo);
    // A blocking code covers every product below it in the product tree; an
    // empty one covers them all.
    for (cdsExpFilial->First(); !cdsExpFilial->Eof(); cdsExpFilial->Next()) {
        if (bloqueio->AsString() != QLatin1String("S"))
            continue;
        const QString raiz = prefixo->AsString();
        if (codigo.left(raiz.size()) == raiz)
            erro(QStringLiteral("ProdSemAf"));
    }
}

void TfrmLanEntr::cdsProdutoBeforeInsert()
{
    cdsProdutoAux->SetFiltered(false);
    cdsProdutoAux->SetData(cdsProduto->Data());
}

void TfrmLanEntr::detalheAlterado()
{
    // A changed item changes its document: the header opens for confirm or
    // cancel; not while the whole document is being deleted. The commands
    // act on the page's table, whose state a deletion leaves as it was: they
    // are reconsidered here.
    if (m_excluindoDocumento || editandoCabecalho())
        return;
    cdsLancEntr->Edit();
    dtsPadraoStateChange();
}

void TfrmLanEntr::habilitarVencimento(bool habilitar)
{
    // The menu entry goes with its page.
    tshVenc->setEnabled(habilitar);
    mnuVencimento->setEnabled(habilitar);
}

void TfrmLanEntr::cdsProdutoBeforePost()
{
    setItem("NRLANCNFE", header("NRLANCNFE"));
    Vd_Produto(true);
    if (EmptyString(item("QTITEMPROD"))) {
        focarColunaItem("QTITEMPROD");
        erro(QStringLiteral("qt_dev"));
    }
    setItem("QTITEMPROD", FormataValor(kFormatoQuantidade, item("QTITEMPROD"),
                                       cdsProduto->FieldByName(kQuantidade)->Size()));
    if (EmptyString(item("VRUNITITEM"))) {
        focarColunaItem("VRUNITITEM");
        erro(QStringLiteral("vl_dev"));
    }
    setItem("VRUNITITEM", FormataValor(kFormatoValor, item("VRUNITITEM"),
                                       cdsProduto->FieldByName(kUnitario)->Size()));
    setItem("NRNFEPROD", header("NRNOTAFISC"));
    // An imported document keeps the branches its authorisation gave.
    if (header("IDIMPAF") != QLatin1String("S"))
        setItem("CDFILLANC", Session().branch);
    if (header("IDENTORIOP") == QLatin1String("L"))
        setItem("CDFILDEST", header("CDORIGEM"));
}

void TfrmLanEntr::cdsProdutoCalcFields()
{
    const QString quantidade = item("QTITEMPROD");
    const QString unitario = item("VRUNITITEM");
    double total = 0;
    double q = 0;
    double v = 0;
    // The key filters let only numbers in; a text that still does not read
    // shows no total rather than failing while the grid paints.
    if (!EmptyString(quantidade) && !EmptyString(unitario) && TryStrToFloat(quantidade, q)
        && TryStrToFloat(unitario, v))
        total = q * v;
    cdsProduto->FieldByName(kTotal)->SetAsFloat(total);
}

void TfrmLanEntr::CDARVPRODChange()
{
    setItem("NMPRODUTO", QString());
    setItem("SGUNIDADE", QString());
}

void TfrmLanEntr::dtsProdutoStateChange()
{
    if (const int column = IndiceCol(dbgProduto, kCodigo); column >= 0)
        dbgProduto->Columns().Items(column)->SetButtonStyle(
            inserindoItem() ? ColumnButtonStyle::Ellipsis : ColumnButtonStyle::Auto);
}

void TfrmLanEntr::dbgProdutoColExit()
{
    const DataSetState state = cdsProduto->State();
    const Field *leaving = dbgProduto->SelectedField();
    if ((state != DataSetState::Edit && state != DataSetState::Insert) || !leaving)
        return;
    const QString name = leaving->FieldName().toUpper();
    if (name == kCodigo) {
        Vd_Produto(false);
        Vd_ProdutoSemAf();
    } else if (name == kUnitario && !EmptyString(item("VRUNITITEM"))) {
        setItem("VRUNITITEM", FormatFloat(kFormatoValor, StrToFloat(item("VRUNITITEM"))));
    } else if (name == kQuantidade && !EmptyString(item("QTITEMPROD"))) {
        setItem("QTITEMPROD", FormatFloat(kFormatoQuantidade, StrToFloat(item("QTITEMPROD"))));
    }
}

void TfrmLanEntr::pesquisarProduto()
{
    if (!inserindoItem())
        return;
    if (!Pesquisar(dtsPesqProduto, msgPadrao.Msg(QStringLiteral("prod")), false, true))
        return;
    if (cdsProduto->State() != DataSetState::Edit && !inserindoItem())
        cdsProduto->Edit();
    for (const char *name : {"CDPSQPROD", "CDPRODUTO", "CDARVPROD", "NMPRODUTO", "SGUNIDADE"})
        setItem(name, cdsPesqProduto->FieldByName(QString::fromLatin1(name))->AsString().left(
                          cdsProduto->FieldByName(QString::fromLatin1(name))->Size()));
    dbgProduto->SetSelectedField(kQuantidade);
}

void TfrmLanEntr::dbgProdutoEditButtonClick()
{
    pesquisarProduto();
}

void TfrmLanEntr::dbgProdutoKeyDown(int &key, Qt::KeyboardModifiers)
{
    const Field *field = dbgProduto->SelectedField();
    const QString name = field ? field->FieldName().toUpper() : QString();
    if (name == kQuantidade || name == kUnitario)
        return;
    // A posted item keeps its product: a new product takes a new row.
    if (!inserindoItem() && (key == VK_DELETE || key == VK_BACK))
        key = 0;
    if (key == VK_F9 && name == kCodigo) {
        key = 0;
        pesquisarProduto();
    }
}

void TfrmLanEntr::dbgProdutoKeyPress(QChar &key)
{
    const Field *field = dbgProduto->SelectedField();
    const QString name = field ? field->FieldName().toUpper() : QString();
    const bool enter = key == QChar(VK_RETURN);
    if (name == kQuantidade || name == kUnitario) {
        NumericKeyPress(key, true);
    } else if (!(name == kCodigo && inserindoItem()) && !enter) {
        key = QChar();
    }
}

void TfrmLanEntr::buildDueDateGrid()
{
    dbgVenc->Columns().Add(QStringLiteral("DTVENCENTR"), QStringLiteral("Vencimento"))
        ->SetWidthChars(10);
    TColumn *valor = dbgVenc->Columns().Add(QStringLiteral("VRVENCENTR"), QStringLiteral("Valor"));
    valor->SetAlignment(Qt::AlignRight | Qt::AlignVCenter);
    valor->SetWidthChars(12);
    dbgVenc->OnKeyPress = [this](QChar &key) { dbgVencKeyPress(key); };
    dbgVenc->SetDeleteQuestion(kExcluirLinha);
}

void TfrmLanEntr::focarColunaVenc(const char *fieldName)
{
    dbgVenc->SetSelectedField(QString::fromLatin1(fieldName));
    if (pgcLancEntr->ActivePage() == tshVenc)
        dbgVenc->setFocus();
}

void TfrmLanEntr::cdsVencBeforeInsert()
{
    cdsVencAux->SetFiltered(false);
    cdsVencAux->SetData(cdsVenc->Data());
}

void TfrmLanEntr::cdsVencBeforePost()
{
    Field *valor = cdsVenc->FieldByName(QStringLiteral("VRVENCENTR"));
    const Field *data = cdsVenc->FieldByName(QStringLiteral("DTVENCENTR"));
    if (EmptyString(valor->AsString())) {
        irParaPagina(tshVenc);
        focarColunaVenc("VRVENCENTR");
        erro(QStringLiteral("vl_dev"));
    }
    valor->SetAsString(FormataValor(kFormatoValor, valor->AsString(), valor->Size()));
    const QString dataTexto = LocaleService::dateToText(data->AsDate());
    cdsVenc->FieldByName(QStringLiteral("STDTVCENTR"))->SetAsString(dataTexto);

    // A document not posted yet has no entry date: every due date passes.
    // A row without a date falls before any stored entry date.
    const QDate entrada = cdsLancEntr->FieldByName(QStringLiteral("DTENTRADA"))->AsDate();
    if (entrada.isValid() && (!data->AsDate().isValid() || entrada > data->AsDate())) {
        irParaPagina(tshVenc);
        focarColunaVenc("DTVENCENTR");
        erro(QStringLiteral("dtvenc<"));
    }

    if (cdsVenc->State() != DataSetState::Insert)
        return;
    cdsVencAux->SetFiltered(false);
    cdsVencAux->SetFilter(QStringLiteral("NRLANCNFE = ") + QuotedStr(header("NRLANCNFE"))
                          + QStringLiteral(" AND DTVENCENTR = ") + QuotedStr(dataTexto));
    cdsVencAux->SetFiltered(true);
    if (!cdsVencAux->IsEmpty()) {
        focarColunaVenc("DTVENCENTR");
        erro(QStringLiteral("dt_j_cad"));
    }
    cdsVenc->FieldByName(QStringLiteral("NRLANCNFE"))->SetAsString(header("NRLANCNFE"));
}

void TfrmLanEntr::dbgVencKeyPress(QChar &key)
{
    // The date's separators come from its mask; amounts take the
    // workstation's decimal separator.
    NumericKeyPress(key, true);
}

} // namespace kiv

KIV_REGISTER_TASK_WINDOW(kiv::TaskWindow::LanEntrada, kiv::TfrmLanEntr)
