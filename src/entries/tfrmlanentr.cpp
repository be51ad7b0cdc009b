#include "tfrmlanentr.h"

#include "datasource.h"
#include "datetimepicker.h"
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

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>

namespace kiv {

namespace {

const QString kSeriesFilter = QStringLiteral("IDLANCMTO ='E'");
const QString kValueFormat = QStringLiteral("##0.00000");
const QString kOriginTitle = QStringLiteral("Fornecedor");
const QString kNoSupplier = QStringLiteral("Não há fornecedor cadastrado.");
const QString kSeriesTitle = QStringLiteral("Série");
const QString kNoSeries = QStringLiteral("Não há série cadastrada.");

StockDocumentKind entries()
{
    StockDocumentKind kind;
    kind.operationKind = QStringLiteral("E");
    kind.header = RecordedTables::lancEntr();
    kind.items = RecordedTables::itemEntr();
    kind.dueDates = RecordedTables::vencEntr();
    kind.headerName = QStringLiteral("cdsLancEntr");
    kind.headerSourceName = QStringLiteral("dtsLancEntr");
    kind.pagesName = QStringLiteral("pgcLancEntr");
    kind.numberField = QStringLiteral("NRLANCNFE");
    kind.documentDateField = QStringLiteral("DTENTRADA");
    kind.dueDateField = QStringLiteral("DTVENCENTR");
    kind.dueValueField = QStringLiteral("VRVENCENTR");
    kind.productReader = RefTables::ProductReader::Entries;
    kind.productFields
        = {QStringLiteral("CDPSQPROD"), QStringLiteral("CDPRODUTO"), QStringLiteral("CDARVPROD"),
           QStringLiteral("NMPRODUTO"), QStringLiteral("SGUNIDADE")};
    kind.partnerName = QStringLiteral("medOrigem");
    kind.partnerLabelName = QStringLiteral("lblOrigem");
    kind.partnerCaption = QStringLiteral("Origem");
    kind.partnerButtonName = QStringLiteral("btpOrigem");
    kind.branchButtonName = QStringLiteral("BtnPesquisa1");
    return kind;
}

// Digits only: letters, signs, separators and even the backspace are
// dropped, so invoice numbers and totals hold whole numbers.
void digitsOnly(QChar &key)
{
    if (key < u'0' || key > u'9')
        key = QChar();
}

} // namespace

TfrmLanEntr::TfrmLanEntr(const LoginSession &session, QWidget *parent)
    : StockDocumentWindow(session, entries(), parent)
{
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
        QStringLiteral("tot_tam|O total %1 não cabe nos 10 caracteres do campo Total."),
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
    cdsLancEntr = headerTable();
    dtsLancEntr = headerSource();
    pgcLancEntr = pages();
    medOrigem = partnerEdit();
    btpOrigem = partnerButton();
    lblOrigem = partnerLabel();
    BtnPesquisa1 = branchButton();
    btpOrigem->setToolTip(kOriginTitle);
    declareTables();
    buildHeaderFields();
}

void TfrmLanEntr::declareTables()
{
    cdsLancEntr->AfterInsert = [this](Table &) { cdsLancEntrAfterInsert(); };
    cdsLancEntr->BeforePost = [this](Table &) { cdsLancEntrBeforePost(); };
    cdsLancEntr->AfterScroll = [this](Table &) { cdsLancEntrAfterScroll(); };
    cdsLancEntr->AfterCancel = [this](Table &) { cdsLancEntrAfterCancel(); };
    cdsLancEntr->AfterPost = [this](Table &) { cdsLancEntrAfterPost(); };
    cdsLancEntr->BeforeDelete = [this](Table &) { cdsLancEntrBeforeDelete(); };
    cdsLancEntr->AfterDelete = [this](Table &) { cdsLancEntrAfterDelete(); };
    dtsLancEntr->OnStateChange = [this] { dtsLancEntrStateChange(); };

    const auto table = [this](const QString &name, const TableDecl &decl) {
        auto *result = new Table(name, this);
        result->Declare(decl);
        return result;
    };
    cdsSerie = table(QStringLiteral("cdsSerie"), RefTables::serie());
    cdsSerie->FieldByName(QStringLiteral("IDLANCMTO"))->SetReadOnly(true);
    dtsSerie = new TDataSource(this);
    dtsSerie->setObjectName(QStringLiteral("dtsSerie"));
    dtsSerie->setDataSet(cdsSerie);
    cdsExpFilial = table(QStringLiteral("cdsExpFilial"), RefTables::expFilial());
    cdsParam = table(QStringLiteral("cdsParam"), RefTables::param());
    cdsNumAF = table(QStringLiteral("cdsNumAF"), RefTables::numAf());
    cdsItemAF = table(QStringLiteral("cdsItemAF"), RefTables::itemAf());

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
    dtsNumAF = new TDataSource(this);
    dtsNumAF->setObjectName(QStringLiteral("dtsNumAF"));
    dtsNumAF->setDataSet(cdsAuxNumAf);
}

void TfrmLanEntr::buildHeaderFields()
{
    QGridLayout *grid = formLayout();
    lblEntrada = formLabel(QStringLiteral("lblEntrada"), QStringLiteral("Entrada"));
    dtpEntrada = new TDateTimePicker(tshFormulario);
    dtpEntrada->setObjectName(QStringLiteral("dtpEntrada"));
    lblEmis = formLabel(QStringLiteral("lblEmis"), QStringLiteral("Emissão"));
    dtpEmissao = new TDateTimePicker(tshFormulario);
    dtpEmissao->setObjectName(QStringLiteral("dtpEmissao"));
    lblNF = formLabel(QStringLiteral("lblNF"), QStringLiteral("Nota Fiscal"));
    medNF = headerEdit(QStringLiteral("medNF"), QStringLiteral("NRNOTAFISC"), 20);
    lblSerie = formLabel(QStringLiteral("lblSerie"), QStringLiteral("Série"));
    medSerie = headerEdit(QStringLiteral("medSerie"), QStringLiteral("CDSERIE"), 5);
    btpSerie = lookupButton(QStringLiteral("btpSerie"), kSeriesTitle);
    lblTotal = formLabel(QStringLiteral("lblTotal"), QStringLiteral("Total"));
    MedTotal = headerEdit(QStringLiteral("MedTotal"), QStringLiteral("VRNOTAFISC"), 12);
    MedTotal->setAlignment(Qt::AlignRight);
    lblEntrada->setBuddy(dtpEntrada);
    lblEmis->setBuddy(dtpEmissao);
    lblNF->setBuddy(medNF);
    lblSerie->setBuddy(medSerie);
    lblTotal->setBuddy(MedTotal);

    int row = nextFormRow();
    grid->addWidget(lblEntrada, row, 0);
    grid->addWidget(dtpEntrada, row, 1);
    grid->addWidget(lblEmis, row, 2);
    auto *emissionRow = new QHBoxLayout;
    emissionRow->addWidget(dtpEmissao);
    emissionRow->addStretch(1);
    grid->addLayout(emissionRow, row, 3);
    row = nextFormRow();
    grid->addWidget(lblNF, row, 0);
    grid->addWidget(medNF, row, 1);
    grid->addWidget(lblSerie, row, 2);
    auto *series = new QHBoxLayout;
    series->addWidget(medSerie);
    series->addWidget(btpSerie);
    series->addStretch(1);
    grid->addLayout(series, row, 3);
    row = nextFormRow();
    grid->addWidget(lblTotal, row, 0);
    grid->addWidget(MedTotal, row, 1);
    grid->setRowStretch(nextFormRow(), 1);
    QWidget::setTabOrder(medOrigem, dtpEntrada);
    QWidget::setTabOrder(dtpEntrada, dtpEmissao);
    QWidget::setTabOrder(dtpEmissao, medNF);
    QWidget::setTabOrder(medNF, medSerie);
    QWidget::setTabOrder(medSerie, MedTotal);

    addHeaderDate(dtpEntrada, QStringLiteral("DTENTRADA"), true);
    addHeaderDate(dtpEmissao, QStringLiteral("DTEMISSAO"), false);
    // The emission date, like the operation, is chosen for a new document.
    addNewDocumentOnly(lblEmis);
    addNewDocumentOnly(dtpEmissao);

    pgcLancEntr->OnChange = [this] { pgcLancEntrChange(); };
    medOperacao->OnExit = [this] { medOperacaoExit(); };
    medOrigem->OnExit = [this] { medOrigemExit(); };
    lookupKeys(medOrigem, [this] { btpOrigemClick(); });
    medSerie->OnExit = [this] { medSerieExit(); };
    lookupKeys(medSerie, [this] { btpSerieClick(); });
    medNF->OnKeyPress = digitsOnly;
    MedTotal->OnKeyPress = digitsOnly;
    MedTotal->OnExit = [this] { MedTotalExit(); };
    connect(btpOrigem, &QToolButton::clicked, this,
            [this] { guarded(this, [this] { btpOrigemClick(); }); });
    connect(btpSerie, &QToolButton::clicked, this,
            [this] { guarded(this, [this] { btpSerieClick(); }); });
}

void TfrmLanEntr::FormCreate()
{
    prepareCreation();
    load(cdsExpFilial, QStringLiteral("EXPFILIAL.cds"));
    load(cdsParam, QStringLiteral("PARAM.cds"));
    load(cdsNumAF, QStringLiteral("NUMAF.cds"));
    load(cdsItemAF, QStringLiteral("ITEMAF.cds"));
    load(cdsLancEntr, QStringLiteral("LANCENTR.cds"));
    load(cdsTipoOperac, QStringLiteral("TIPOOPER.cds"));
    load(cdsFilial, QStringLiteral("FILIAL.CDS"));
    load(cdsClientes, QStringLiteral("CLIENTE.CDS"));
    load(cdsForneced, QStringLiteral("FORNECED.cds"));
    load(cdsSerie, QStringLiteral("SERIE.cds"));
    cdsAuxNumAf->CreateDataSet();
    cdsSerie->SetFilter(kSeriesFilter);
    cdsSerie->SetFiltered(true);
    filterOperationTypes();
    loadItemsAndDueDates();
    finishCreation();
}

void TfrmLanEntr::checkHeaderFields(Check mode)
{
    if (dtpEmissao->Date() > dtpEntrada->Date()) {
        showPage(tshFormulario);
        dtpEntrada->setFocus();
        error(QStringLiteral("emis>ent"));
    }
    if (EmptyString(header(QStringLiteral("NRNOTAFISC")))) {
        showPage(tshFormulario);
        medNF->setFocus();
        error(QStringLiteral("nr_dev"));
    }
    Vd_Serie(true);
    Field *total = cdsLancEntr->FieldByName(QStringLiteral("VRNOTAFISC"));
    if (EmptyString(total->AsString())) {
        showPage(tshFormulario);
        MedTotal->setFocus();
        error(QStringLiteral("tot_dev"));
    }
    total->SetAsString(mode == Check::Post
                           ? FormataValor(kValueFormat, total->AsString(), total->Size())
                           : FormatFloat(kValueFormat, StrToFloat(total->AsString())));
}

void TfrmLanEntr::itemSummed()
{
    // An imported document's items take the invoice number typed after the
    // import.
    if (header(QStringLiteral("IDIMPAF")) != QLatin1String("S"))
        return;
    cdsProduto->Edit();
    setItem(QStringLiteral("NRNFEPROD"), header(QStringLiteral("NRNOTAFISC")));
    cdsProduto->Post();
}

void TfrmLanEntr::focusTotal()
{
    if (MedTotal->isVisible())
        MedTotal->setFocus();
}

void TfrmLanEntr::medOperacaoExit()
{
    if (editingHeader())
        Vd_Operacao(true);
}

void TfrmLanEntr::medOrigemExit()
{
    if (editingHeader())
        Vd_Origem(false);
}

void TfrmLanEntr::medSerieExit()
{
    const DataSetState state = dtsPadrao->State();
    if (state == DataSetState::Edit || state == DataSetState::Insert)
        Vd_Serie(false);
}

void TfrmLanEntr::MedTotalExit()
{
    if (!editingHeader() || EmptyString(header(QStringLiteral("VRNOTAFISC"))))
        return;
    setHeader(QStringLiteral("VRNOTAFISC"),
              FormatFloat(kValueFormat, StrToFloat(header(QStringLiteral("VRNOTAFISC")))));
}

void TfrmLanEntr::Vd_Origem(bool required)
{
    checkPartner(required);
}

void TfrmLanEntr::Vd_FilialOrigem(bool required)
{
    checkBranchPartner(required);
}

void TfrmLanEntr::Vd_Serie(bool required)
{
    if (EmptyString(header(QStringLiteral("CDSERIE")))) {
        if (!required)
            return;
        showPage(tshFormulario);
        medSerie->setFocus();
        error(QStringLiteral("ser_dev"));
    }
    FilterScope series(*cdsSerie, cdsSerie->Filter() + QStringLiteral("AND CDSERIE = ")
                                      + QuotedStr(medSerie->Text()));
    if (cdsSerie->IsEmpty()) {
        showPage(tshFormulario);
        medSerie->setFocus();
        series.restore();
        error(QStringLiteral("ser_n_cad"));
    }
}

void TfrmLanEntr::btpOrigemClick()
{
    if (EmptyString(medOperacao->Text())) {
        medOperacao->setFocus();
        error(QStringLiteral("to_dev"));
    }
    const QString kind = header(QStringLiteral("IDENTORIOP"));
    if (kind == QLatin1String("F") && header(QStringLiteral("CDTIPOOPER")) == QLatin1String("01"))
        supplierOrigin();
    else if (kind == QLatin1String("F"))
        supplierLookup();
    else if (kind == QLatin1String("C")
             && lookupPartner(dtsClientes, msgPadrao.Msg(QStringLiteral("Cli"))))
        dtpEntrada->setFocus();
    else if (kind == QLatin1String("L")
             && lookupPartner(dtsFilial, msgPadrao.Msg(QStringLiteral("fil"))))
        dtpEntrada->setFocus();
}

void TfrmLanEntr::partnerPicked()
{
    setHeader(QStringLiteral("IDIMPAF"), QStringLiteral("N"));
}

void TfrmLanEntr::supplierLookup()
{
    if (lookupPartner(dtsForneced, msgPadrao.Msg(QStringLiteral("forn")) + u'|' + kNoSupplier))
        dtpEntrada->setFocus();
}

void TfrmLanEntr::supplierOrigin()
{
    // The central system may make the import compulsory everywhere, or for
    // single branches; otherwise the operator chooses.
    cdsParam->First();
    if (cdsParam->FieldByName(QStringLiteral("IDBLOQNFSAF"))->AsString() == QLatin1String("S")) {
        ImportaAF();
        return;
    }
    // The branch list is a lookup of its own: it must not stay narrowed to
    // the session branch, whatever happens here.
    FilterScope branch(*cdsFilial, QStringLiteral("CDFILIAL = ") + QuotedStr(Session().branch));
    if (cdsFilial->FieldByName(QStringLiteral("IDBLOQNFSAF"))->AsString() == QLatin1String("S"))
        ImportaAF();
    else if (ShowMsg(msgPadrao, QStringLiteral("dsj_AF"), MsgType::Confirmation, mbYes | mbNo)
             == mrYes)
        ImportaAF();
    else
        supplierLookup();
}

void TfrmLanEntr::ImportaAF()
{
    const QString branch = Session().branch;
    {
        FilterScope ofBranch(*cdsNumAF, QStringLiteral("CDFILDEST = ") + QuotedStr(branch));
        cdsNumAF->First();
        if (cdsNumAF->IsEmpty()
            || cdsNumAF->FieldByName(QStringLiteral("CDFILDEST"))->AsString() != branch) {
            ofBranch.restore();
            cdsFilial->SetFiltered(false);
            error(QStringLiteral("fil_n_af"));
        }
        // The choice list: one row per authorisation, with its supplier when
        // the supplier file has it.
        const auto af
            = [this](const char *name) { return cdsNumAF->FieldByName(QString::fromLatin1(name)); };
        const auto choice = [this](const char *name) {
            return cdsAuxNumAf->FieldByName(QString::fromLatin1(name));
        };
        cdsAuxNumAf->EmptyDataSet();
        for (cdsNumAF->First(); !cdsNumAF->Eof(); cdsNumAF->Next()) {
            cdsAuxNumAf->Append();
            choice("NRAUTOFORN")->SetAsString(af("NRAUTOFORN")->AsString());
            choice("STDTPENTAF")->SetAsString(af("STDTPENTAF")->AsString());
            choice("DTPENTAF")->SetValue(af("DTPENTAF")->Value());
            choice("VRTOTALAF")
                ->SetAsString(FormatFloat(QStringLiteral("##0.00"),
                                          ConverteValor(af("VRTOTALAF")->AsString())));
            if (cdsForneced->Locate(QStringLiteral("CDFORNECED"), af("CDFORNECED")->AsString()))
                for (const char *name : {"CDFORNECED", "NMRAZSOCFO", "NRINSJURFO"})
                    choice(name)->SetAsString(
                        cdsForneced->FieldByName(QString::fromLatin1(name))->AsString());
            cdsAuxNumAf->Post();
        }
    }
    cdsAuxNumAf->First();
    if (!Pesquisar(dtsNumAF, msgPadrao.Msg(QStringLiteral("Num_Af")), false, true))
        return;

    const auto chosen
        = [this](const char *name) { return cdsAuxNumAf->FieldByName(QString::fromLatin1(name)); };
    editHeader();
    setHeader(QStringLiteral("NRINSJURNF"), chosen("NRINSJURFO")->AsString());
    setHeader(QStringLiteral("CDORIGEM"), chosen("CDFORNECED")->AsString());
    setHeader(QStringLiteral("NMORIGEM"), chosen("NMRAZSOCFO")->AsString());
    setHeader(QStringLiteral("IDIMPAF"), QStringLiteral("S"));
    setHeader(QStringLiteral("NRINSJURNF"), chosen("NRINSJURFO")->AsString());
    const QString dateText = chosen("STDTPENTAF")->AsString();
    const QDate delivery = LocaleService::textToDate(dateText);
    if (!delivery.isValid())
        throw EConvertError(QStringLiteral("'%1' não é uma data válida.").arg(dateText));
    dtpEntrada->SetDate(delivery);
    dtpEmissao->SetDate(delivery);
    setHeader(QStringLiteral("VRNOTAFISC"),
              FormatFloat(kValueFormat, ConverteValor(chosen("VRTOTALAF")->AsString())));
    const QString number = chosen("NRAUTOFORN")->AsString();
    setHeader(QStringLiteral("NRAUTOFORN"), number);
    cdsLancEntr->FieldByName(QStringLiteral("DTPENTAF"))->SetValue(chosen("DTPENTAF")->Value());

    // The authorisation's items. Its number and date are quoted like the
    // branch: a number with other characters than digits still filters.
    cdsItemAF->SetFiltered(false);
    cdsItemAF->SetFilter(
        QStringLiteral("CDFILDEST = ") + QuotedStr(branch) + QStringLiteral(" AND NRAUTOFORN = ")
        + QuotedStr(number) + QStringLiteral(" AND DTPENTAF = ")
        + QuotedStr(LocaleService::dateTimeToText(chosen("DTPENTAF")->AsDateTime())));
    cdsItemAF->SetFiltered(true);
    const auto itemAf = [this](const char *name) {
        return cdsItemAF->FieldByName(QString::fromLatin1(name))->AsString();
    };
    const QString documentNumber = header(QStringLiteral("NRLANCNFE"));
    int imported = 0;
    for (cdsItemAF->First(); !cdsItemAF->Eof(); cdsItemAF->Next(), ++imported) {
        // A product the document has already (an authorisation imported
        // again) is overwritten; the previous row is posted by the move.
        if (cdsProduto->Locate(QStringLiteral("CDFILDEST;NRLANCNFE;CDPRODUTO"),
                               QVariantList{branch, documentNumber, itemAf("CDPRODUTO")}))
            cdsProduto->Edit();
        else
            cdsProduto->Insert();
        setItem(QStringLiteral("NRLANCNFE"), documentNumber);
        for (const char *name : {"CDPRODUTO", "CDARVPROD", "NMPRODUTO", "SGUNIDADE"})
            setItem(QString::fromLatin1(name), itemAf(name));
        const QString quantity
            = FormatFloat(QStringLiteral("##0.00"), ConverteValor(itemAf("QTPENTAF")));
        setItem(QStringLiteral("QTITEMPROD"), quantity);
        setItem(QStringLiteral("VRUNITITEM"),
                FormatFloat(kValueFormat, ConverteValor(itemAf("VRPREUNIAF"))));
        for (const char *name : {"CDFILLANC", "CDFILDEST", "CDMARCA"})
            setItem(QString::fromLatin1(name), itemAf(name));
        setItem(QStringLiteral("QTPENTAF"), quantity);
        setItem(QStringLiteral("VRPREUNIAF"),
                FormatFloat(QStringLiteral("##0.00"), ConverteValor(itemAf("VRPREUNIAF"))));
        setItem(QStringLiteral("CDPSQPROD"), itemAf("CDPSQPROD"));
    }
    ShowStatusMessage(imported == 1 ? QStringLiteral("1 item importado.")
                                    : QStringLiteral("%1 itens importados.").arg(imported));
    dtpEntrada->setFocus();
}

void TfrmLanEntr::btpSerieClick()
{
    if (EmptyString(medOperacao->Text())) {
        medOperacao->setFocus();
        error(QStringLiteral("to_dev"));
    }
    if (!Pesquisar(dtsSerie, kSeriesTitle + u'|' + kNoSeries, false, true))
        return;
    editHeader();
    setHeader(QStringLiteral("CDSERIE"),
              cdsSerie->FieldByName(QStringLiteral("CDSERIE"))->AsString());
    MedTotal->setFocus();
}

void TfrmLanEntr::productCodeLeft()
{
    Vd_ProdutoSemAf();
}

void TfrmLanEntr::Vd_ProdutoSemAf()
{
    if (header(QStringLiteral("IDIMPAF")) == QLatin1String("S")
        || header(QStringLiteral("CDTIPOOPER")) != QLatin1String("01"))
        return;
    cdsExpFilial->SetFiltered(false);
    cdsExpFilial->SetFilter(QStringLiteral("CDFILIAL = ") + QuotedStr(Session().branch));
    cdsExpFilial->SetFiltered(true);
    const QString code = item(QStringLiteral("CDARVPROD"));
    const Field *blocking = cdsExpFilial->FieldByName(QStringLiteral("IDBLOQNFSAF"));
    const Field *prefix = cdsExpFilial->FieldByName(QStringLiteral("CDARVPROD"));
    // A blocking code covers every product below it in the product tree; an
    // empty one covers them all.
    for (cdsExpFilial->First(); !cdsExpFilial->Eof(); cdsExpFilial->Next()) {
        if (blocking->AsString() != QLatin1String("S"))
            continue;
        const QString root = prefix->AsString();
        if (code.left(root.size()) == root)
            error(QStringLiteral("ProdSemAf"));
    }
}

void TfrmLanEntr::completeItem()
{
    setItem(QStringLiteral("NRNFEPROD"), header(QStringLiteral("NRNOTAFISC")));
    // An imported document keeps the branches its authorisation gave.
    if (header(QStringLiteral("IDIMPAF")) != QLatin1String("S"))
        setItem(QStringLiteral("CDFILLANC"), Session().branch);
    if (header(QStringLiteral("IDENTORIOP")) == QLatin1String("L"))
        setItem(QStringLiteral("CDFILDEST"), header(QStringLiteral("CDORIGEM")));
}

void TfrmLanEntr::completeDueDate()
{
    cdsVenc->FieldByName(QStringLiteral("STDTVCENTR"))
        ->SetAsString(LocaleService::dateToText(
            cdsVenc->FieldByName(QStringLiteral("DTVENCENTR"))->AsDate()));
}

} // namespace kiv

KIV_REGISTER_TASK_WINDOW(kiv::TaskWindow::LanEntrada, kiv::TfrmLanEntr)
