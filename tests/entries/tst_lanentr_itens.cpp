#include "basewindows.h"
#include "dbgrid.h"
#include "dialoganswerer.h"
#include "lanentrtests.h"
#include "localeservice.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "tfrmlanentr.h"
#include "tfrmprincipal.h"

#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include <memory>

using namespace kiv;
using namespace lanentrtests;
using kivtest::press;
using kivtest::type;

namespace {

const QString kDuplicate = QStringLiteral("Produto já cadastrado para o lançamento de entrada.");
const QString kBlocked = QStringLiteral("Produto bloqueado para lançamento sem AF.");

// The branch's one stored document, number 5, whose items the tests type.
struct Document
{
    QString operation = QStringLiteral("02");
    QString originKind = QStringLiteral("F");
    QString origin = QStringLiteral("F100");
    QString imported = QStringLiteral("N");
    QString dueDates = QStringLiteral("N");
};

// The stored entry date of document 5.
const QDate kEntry(2026, 3, 10);

struct Block
{
    QString branch;
    QString code;
    QString flag;
};

// A data directory with the files the window loads: three products under
// the mask 99.99.999, document 5 of the session branch, the items and
// blocked codes each test needs.
class DataDir : public EntryDataDirectory
{
public:
    explicit DataDir(const Document &doc = {}, const QList<QVariantMap> &items = {},
                     const QList<Block> &blocks = {})
    {
        write(RefTables::tipoOper(), {operationRow("01", "COMPRA DE FORNECEDOR", "F", "S")});
        write(RefTables::produto(RefTables::ProductReader::Entries),
              {productRow("1021", "01.02.001", "ARROZ AGULHINHA", "KG"),
               productRow("1031", "01.03.001", "FEIJÃO CARIOCA", "KG"),
               productRow("1301", "13.01.001", "ÓLEO DE SOJA", "LT")});
        QList<QVariantMap> blockRows;
        for (const Block &b : blocks)
            blockRows.append({{"CDFILIAL", b.branch}, {"CDARVPROD", b.code},
                              {"IDBLOQNFSAF", b.flag}});
        write(RefTables::expFilial(), blockRows);
        write(RecordedTables::lancEntr(), {{{"NRLANCNFE", "5"},
                                            {"CDFILIAL", kBranch},
                                            {"CDTIPOOPER", doc.operation},
                                            {"IDENTORIOP", doc.originKind},
                                            {"CDORIGEM", doc.origin},
                                            {"NRNOTAFISC", "4711"},
                                            {"VRNOTAFISC", "10,00000"},
                                            {"DTENTRADA", kEntry},
                                            {"IDUTILVENC", doc.dueDates},
                                            {"IDIMPAF", doc.imported}}});
        write(RecordedTables::itemEntr(), items);
    }

    void writeDueDates(const QList<QPair<QString, QDate>> &rows) const
    {
        QList<QVariantMap> maps;
        for (const auto &[document, date] : rows)
            maps.append({{"NRLANCNFE", document}, {"DTVENCENTR", date},
                         {"VRVENCENTR", "1,00000"},
                         {"STDTVCENTR", date.toString("dd/MM/yyyy")}});
        write(RecordedTables::vencEntr(), maps);
    }

    static QVariantMap item(const char *document, const char *product, const char *code)
    {
        return {{"NRLANCNFE", document},    {"CDPRODUTO", product}, {"CDARVPROD", code},
                {"QTITEMPROD", "1,000"},    {"VRUNITITEM", "1,00000"},
                {"CDFILLANC", kBranch}};
    }
};

QString item(const TfrmLanEntr *w, const char *name)
{
    return w->cdsProduto->FieldByName(QString::fromLatin1(name))->AsString();
}

QString column(const TfrmLanEntr *w)
{
    const Field *f = w->dbgProduto->SelectedField();
    return f ? f->FieldName() : QString();
}

} // namespace

Q_DECLARE_METATYPE(Block)

class TestLanEntrItens : public QObject, private kivtest::WindowTest<TfrmLanEntr, DataDir>
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void itemTypedAndPosted_data();
    void itemTypedAndPosted();
    void missingQuantityOrValue_data();
    void missingQuantityOrValue();
    void unknownProductOnLeavingTheCode();
    void duplicateProduct_data();
    void duplicateProduct();
    void blockedWithoutSupplyAuthorisation_data();
    void blockedWithoutSupplyAuthorisation();
    void keyFiltersByColumnAndState();
    void lookupOnlyForANewItem();
    void deletingAnItemOpensTheHeader();
    void transferItemCarriesTheOriginBranch();

    void dueDatePosted_data();
    void dueDatePosted();
    void dueDateRefused_data();
    void dueDateRefused();

private:
    TfrmLanEntr *openWindow();
    // The operator clicks the Produto tab and starts typing in the grid:
    // a new row after the document's items.
    void newItem();
    // Code, Tab, quantity, Tab, value: the row is still open.
    // The Vencimento tab, and a new row after the document's due dates.
    void newDueDate();
    void typeItem(const QString &code, const QString &quantity, const QString &value);
};

void TestLanEntrItens::init()
{
    startTest();
}

void TestLanEntrItens::cleanup()
{
    endTest();
}

TfrmLanEntr *TestLanEntrItens::openWindow()
{
    if (!m_dir)
        m_dir = std::make_unique<DataDir>();
    m_window = openEntryWindow(m_principal);
    return m_window;
}

void TestLanEntrItens::newItem()
{
    TfrmLanEntr *w = m_window;
    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(w->tshProduto)));
    w->dbgProduto->setFocus();
    QTRY_VERIFY(w->dbgProduto->hasFocus());
    // Only a new row takes a code: typing alone does not start one.
    w->dbgProduto->SetSelectedField("CDARVPROD");
    type("1");
    QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);
    w->cdsProduto->Last();
    press(Qt::Key_Down);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
}

void TestLanEntrItens::typeItem(const QString &code, const QString &quantity,
                                const QString &value)
{
    type(code);
    press(Qt::Key_Tab);
    QCOMPARE(column(m_window), QString("QTITEMPROD"));
    type(quantity);
    press(Qt::Key_Tab);
    QCOMPARE(column(m_window), QString("VRUNITITEM"));
    type(value);
}

void TestLanEntrItens::itemTypedAndPosted_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("quantityShown");
    QTest::addColumn<QString>("quantityPosted");
    QTest::addColumn<QString>("valuePosted");
    QTest::addColumn<double>("total");
    QTest::newRow("comma: 2,5 × 3") << QChar(u',') << "2,5" << "3" << "2,500" << "2,500"
                                    << "3,00000" << 7.5;
    QTest::newRow("point: 2.5 × 3") << QChar(u'.') << "2.5" << "3" << "2.500" << "2.500"
                                    << "3.00000" << 7.5;
    QTest::newRow("comma: 3 × 2,5") << QChar(u',') << "3" << "2,5" << "3,000" << "3,000"
                                    << "2,50000" << 7.5;
    QTest::newRow("point: 12 × 0.125") << QChar(u'.') << "12" << "0.125" << "12.000"
                                       << "12.000" << "0.12500" << 1.5;
}

void TestLanEntrItens::itemTypedAndPosted()
{
    QFETCH(QChar, separator);
    QFETCH(QString, quantity);
    QFETCH(QString, value);
    QFETCH(QString, quantityShown);
    QFETCH(QString, quantityPosted);
    QFETCH(QString, valuePosted);
    QFETCH(double, total);
    LocaleService::setDecimalSeparator(separator);
    m_dir = std::make_unique<DataDir>();
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    newItem();
    // A new item opens the header: the document has changed.
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Edit);
    type("0102001");
    press(Qt::Key_Tab);
    QCOMPARE(item(w, "CDARVPROD"), QString("01.02.001"));
    QCOMPARE(item(w, "NMPRODUTO"), QString("ARROZ AGULHINHA"));
    QCOMPARE(item(w, "SGUNIDADE"), QString("KG"));
    QCOMPARE(item(w, "CDPRODUTO"), QString("1021"));
    QCOMPARE(column(w), QString("QTITEMPROD"));
    type(quantity);
    press(Qt::Key_Tab);
    QCOMPARE(item(w, "QTITEMPROD"), quantityShown);
    type(value);
    press(Qt::Key_Down);
    QCOMPARE(m_answerer->count(), 0);

    QVERIFY(w->cdsProduto->Locate("CDARVPROD", "01.02.001"));
    QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);
    QCOMPARE(item(w, "NRLANCNFE"), QString("5"));
    QCOMPARE(item(w, "QTITEMPROD"), quantityPosted);
    QCOMPARE(item(w, "VRUNITITEM"), valuePosted);
    QCOMPARE(w->cdsProduto->FieldByName("VRTOTPROD")->AsFloat(), total);
    QCOMPARE(item(w, "NRNFEPROD"), QString("4711"));
    QCOMPARE(item(w, "CDFILLANC"), kBranch);
    QCOMPARE(item(w, "CDFILDEST"), QString());
    // Items are kept in memory until the document is saved.
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrItens::missingQuantityOrValue_data()
{
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("no quantity") << "" << "3" << "Quantidade deve ser informada."
                                 << "QTITEMPROD";
    QTest::newRow("no value") << "2" << "" << "Valor deve ser informado." << "VRUNITITEM";
}

void TestLanEntrItens::missingQuantityOrValue()
{
    QFETCH(QString, quantity);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    newItem();
    typeItem("0103001", quantity, value);
    m_answerer->press("OK");
    press(Qt::Key_Down);
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->at(0).text, message);
    // The row stays open with what was typed, on the column to correct.
    QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
    QCOMPARE(item(w, "CDARVPROD"), QString("01.03.001"));
    QCOMPARE(column(w), focus);
    // An empty quantity has no total.
    if (quantity.isEmpty())
        QCOMPARE(w->cdsProduto->FieldByName("VRTOTPROD")->AsFloat(), 0.0);
}

void TestLanEntrItens::unknownProductOnLeavingTheCode()
{
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    newItem();
    type("0102009");
    m_answerer->press("OK");
    press(Qt::Key_Tab);
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->at(0).text, QString("Produto não cadastrado."));
    QCOMPARE(column(w), QString("CDARVPROD"));
    QCOMPARE(item(w, "NMPRODUTO"), QString());
}

void TestLanEntrItens::duplicateProduct_data()
{
    QTest::addColumn<QString>("otherDocument");
    QTest::addColumn<bool>("refused");
    QTest::newRow("already in this document") << "5" << true;
    QTest::newRow("in another document only") << "4" << false;
    QTest::newRow("a number that begins the same") << "50" << false;
}

void TestLanEntrItens::duplicateProduct()
{
    QFETCH(QString, otherDocument);
    QFETCH(bool, refused);
    m_dir = std::make_unique<DataDir>(
        Document{}, QList<QVariantMap>{DataDir::item("5", "1031", "01.03.001"),
                                       DataDir::item(qPrintable(otherDocument), "1021",
                                                     "01.02.001")});
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    newItem();
    QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
    if (refused)
        m_answerer->press("OK");
    type("0102001");
    press(Qt::Key_Tab);
    QCOMPARE(m_answerer->count(), refused ? 1 : 0);
    if (refused) {
        QCOMPARE(m_answerer->at(0).text, kDuplicate);
        QCOMPARE(column(w), QString("CDARVPROD"));
        return;
    }
    QCOMPARE(column(w), QString("QTITEMPROD"));
    type("1");
    press(Qt::Key_Tab);
    type("2");
    press(Qt::Key_Down);
    QCOMPARE(m_answerer->count(), 0);
    QVERIFY(w->cdsProduto->Locate("NRLANCNFE;CDPRODUTO", QVariantList{"5", "1021"}));
}

void TestLanEntrItens::blockedWithoutSupplyAuthorisation_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("imported");
    QTest::addColumn<QList<Block>>("blocks");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("refused");
    const QList<Block> group{{kBranch, "01.02", "S"}};
    QTest::newRow("product under the blocked group") << "01" << "N" << group << "0102001"
                                                     << true;
    QTest::newRow("product of another group") << "01" << "N" << group << "0103001" << false;
    QTest::newRow("operation 02 is not checked") << "02" << "N" << group << "0102001" << false;
    QTest::newRow("an imported document is not checked")
        << "01" << "S" << group << "0102001" << false;
    QTest::newRow("a row not flagged does not block")
        << "01" << "N" << QList<Block>{{kBranch, "01.02", "N"}} << "0102001" << false;
    QTest::newRow("another branch's block")
        << "01" << "N" << QList<Block>{{"0002", "01.02", "S"}} << "0102001" << false;
    QTest::newRow("an empty code blocks every product")
        << "01" << "N" << QList<Block>{{kBranch, "", "S"}} << "1301001" << true;
    QTest::newRow("the whole code blocks itself")
        << "01" << "N" << QList<Block>{{kBranch, "01.03.001", "N"}, {kBranch, "01.03.001", "S"}}
        << "0103001" << true;
}

void TestLanEntrItens::blockedWithoutSupplyAuthorisation()
{
    QFETCH(QString, operation);
    QFETCH(QString, imported);
    QFETCH(QList<Block>, blocks);
    QFETCH(QString, code);
    QFETCH(bool, refused);
    Document doc;
    doc.operation = operation;
    doc.imported = imported;
    m_dir = std::make_unique<DataDir>(doc, QList<QVariantMap>{}, blocks);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    newItem();
    if (refused)
        m_answerer->press("OK");
    type(code);
    press(Qt::Key_Tab);
    QCOMPARE(m_answerer->count(), refused ? 1 : 0);
    if (refused) {
        QCOMPARE(m_answerer->at(0).text, kBlocked);
        QCOMPARE(column(w), QString("CDARVPROD"));
    } else {
        QCOMPARE(column(w), QString("QTITEMPROD"));
    }
}

void TestLanEntrItens::keyFiltersByColumnAndState()
{
    m_dir = std::make_unique<DataDir>(
        Document{}, QList<QVariantMap>{DataDir::item("4", "1021", "01.02.001"),
                                       DataDir::item("5", "1031", "01.03.001")});
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(w->tshProduto)));
    // The Produto page shows the current document's items only.
    QCOMPARE(w->cdsProduto->RecordCount(), 1);
    w->dbgProduto->setFocus();
    QTRY_VERIFY(w->dbgProduto->hasFocus());

    // A posted item keeps its product: neither typing nor erasing reaches
    // the code, and the lookup does not open.
    w->dbgProduto->SetSelectedField("CDARVPROD");
    type("13");
    press(Qt::Key_Backspace);
    press(Qt::Key_Delete);
    press(Qt::Key_F9);
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);
    QCOMPARE(item(w, "CDARVPROD"), QString("01.03.001"));
    QCOMPARE(w->dbgProduto->Columns().Find("CDARVPROD")->ButtonStyle(),
             ColumnButtonStyle::Auto);

    // Quantity takes digits and the separator only, and may be corrected.
    w->dbgProduto->SetSelectedField("QTITEMPROD");
    QTest::keyClick(w->dbgProduto, Qt::Key_Backspace);
    type("x4a,-5e");
    press(Qt::Key_Backspace);
    type("7");
    press(Qt::Key_Tab);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Edit);
    QCOMPARE(item(w, "QTITEMPROD"), QString("4,700"));
    QCOMPARE(item(w, "CDARVPROD"), QString("01.03.001"));
    press(Qt::Key_Up);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);

    // A new row takes any key in its code and shows the lookup button.
    w->cdsProduto->Last();
    press(Qt::Key_Down);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
    QCOMPARE(w->dbgProduto->Columns().Find("CDARVPROD")->ButtonStyle(),
             ColumnButtonStyle::Ellipsis);
}

void TestLanEntrItens::lookupOnlyForANewItem()
{
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    newItem();
    QString title;
    m_answerer->run([&](QWidget *dialog) {
        title = dialog->windowTitle();
        auto *search = dialog->findChild<QLineEdit *>("edtPesquisa");
        QTest::keyClicks(search, "13");
        QTest::keyClick(search, Qt::Key_Return);
    });
    press(Qt::Key_F9);
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->at(0).objectName, QString("dlgPesquisar"));
    QCOMPARE(title, QString("Produto"));
    QCOMPARE(item(w, "CDARVPROD"), QString("13.01.001"));
    QCOMPARE(item(w, "CDPRODUTO"), QString("1301"));
    QCOMPARE(item(w, "NMPRODUTO"), QString("ÓLEO DE SOJA"));
    QCOMPARE(item(w, "SGUNIDADE"), QString("LT"));
    QCOMPARE(column(w), QString("QTITEMPROD"));
}

void TestLanEntrItens::deletingAnItemOpensTheHeader()
{
    m_dir = std::make_unique<DataDir>(
        Document{}, QList<QVariantMap>{DataDir::item("5", "1031", "01.03.001"),
                                       DataDir::item("5", "1021", "01.02.001")});
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(w->tshProduto)));
    w->dbgProduto->setFocus();
    QTRY_VERIFY(w->dbgProduto->hasFocus());
    QCOMPARE(w->cdsProduto->RecordCount(), 2);
    QVERIFY(w->cdsProduto->Locate("CDARVPROD", "01.02.001"));

    // The code column drops Delete, Ctrl+Delete included.
    w->dbgProduto->SetSelectedField("CDARVPROD");
    QTest::keyClick(w->dbgProduto, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(w->cdsProduto->RecordCount(), 2);

    w->dbgProduto->SetSelectedField("QTITEMPROD");
    m_answerer->press("Sim");
    QTest::keyClick(w->dbgProduto, Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->at(0).text, QString("Excluir registro?"));
    QCOMPARE(w->cdsProduto->RecordCount(), 1);
    QCOMPARE(item(w, "CDARVPROD"), QString("01.03.001"));
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Edit);
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrItens::transferItemCarriesTheOriginBranch()
{
    Document doc;
    doc.originKind = QStringLiteral("L");
    doc.origin = QStringLiteral("0007");
    m_dir = std::make_unique<DataDir>(doc);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    newItem();
    typeItem("0103001", "1", "2");
    press(Qt::Key_Down);
    QCOMPARE(m_answerer->count(), 0);
    QVERIFY(w->cdsProduto->Locate("CDARVPROD", "01.03.001"));
    QCOMPARE(item(w, "CDFILDEST"), QString("0007"));
    QCOMPARE(item(w, "CDFILLANC"), kBranch);
}

void TestLanEntrItens::newDueDate()
{
    TfrmLanEntr *w = m_window;
    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(w->tshVenc)));
    w->dbgVenc->setFocus();
    QTRY_VERIFY(w->dbgVenc->hasFocus());
    w->cdsVenc->Last();
    press(Qt::Key_Down);
    QCOMPARE(w->cdsVenc->State(), DataSetState::Insert);
    w->dbgVenc->SetSelectedField("DTVENCENTR");
}

void TestLanEntrItens::dueDatePosted_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("stored");
    QTest::newRow("comma: 250") << QChar(u',') << "250" << "250,00000";
    QTest::newRow("point: 12.5") << QChar(u'.') << "12.5" << "12.50000";
    QTest::newRow("comma: letters dropped") << QChar(u',') << "1a2,b5" << "12,50000";
    QTest::newRow("nine characters kept as typed") << QChar(u',') << "123456,78" << "123456,78";
}

void TestLanEntrItens::dueDatePosted()
{
    QFETCH(QChar, separator);
    QFETCH(QString, amount);
    QFETCH(QString, stored);
    LocaleService::setDecimalSeparator(separator);
    Document doc;
    doc.dueDates = QStringLiteral("S");
    m_dir = std::make_unique<DataDir>(doc);
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    newDueDate();
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Edit);
    type("2x0/032026");
    press(Qt::Key_Tab);
    type(amount);
    press(Qt::Key_Down);
    QCOMPARE(m_answerer->count(), 0);
    QVERIFY(w->cdsVenc->Locate("NRLANCNFE", "5"));
    QCOMPARE(w->cdsVenc->FieldByName("DTVENCENTR")->AsDate(), QDate(2026, 3, 20));
    QCOMPARE(w->cdsVenc->FieldByName("VRVENCENTR")->AsString(), stored);
    QCOMPARE(w->cdsVenc->FieldByName("STDTVCENTR")->AsString(), QString("20/03/2026"));
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrItens::dueDateRefused_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::newRow("a day before the entry")
        << "" << "09032026" << "5"
        << "Data de vencimento não pode ser menor do que a data de entrada de lançamento."
        << "DTVENCENTR";
    QTest::newRow("on the entry date") << "" << "10032026" << "5" << "" << "";
    QTest::newRow("date the document has") << "5" << "15032026" << "5"
                                           << "Data já cadastrada para o lançamento de entrada."
                                           << "DTVENCENTR";
    QTest::newRow("date another document has") << "4" << "15032026" << "5" << "" << "";
    QTest::newRow("no amount") << "" << "15032026" << "" << "Valor deve ser informado."
                               << "VRVENCENTR";
}

void TestLanEntrItens::dueDateRefused()
{
    QFETCH(QString, stored);
    QFETCH(QString, date);
    QFETCH(QString, amount);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    Document doc;
    doc.dueDates = QStringLiteral("S");
    m_dir = std::make_unique<DataDir>(doc);
    if (!stored.isEmpty())
        m_dir->writeDueDates({{stored, QDate(2026, 3, 15)}});
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    newDueDate();
    type(date);
    press(Qt::Key_Tab);
    type(amount);
    if (!message.isEmpty())
        m_answerer->press("OK");
    press(Qt::Key_Down);
    if (message.isEmpty()) {
        QCOMPARE(m_answerer->count(), 0);
        QVERIFY(w->cdsVenc->Locate("NRLANCNFE;DTVENCENTR", QVariantList{"5", QDate(2026, 3,
                                   date.left(2).toInt())}));
        return;
    }
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(m_answerer->at(0).text, message);
    QCOMPARE(w->cdsVenc->State(), DataSetState::Insert);
    QCOMPARE(w->dbgVenc->SelectedField()->FieldName(), focus);
}

QTEST_MAIN(TestLanEntrItens)
#include "tst_lanentr_itens.moc"
