#include "basewindows.h"
#include "datasource.h"
#include "datetimepicker.h"
#include "dialoganswerer.h"
#include "errors.h"
#include "lanentrtests.h"
#include "localeservice.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "tfrmlanentr.h"
#include "tfrmprincipal.h"

#include <QAction>
#include <QDir>
#include <QPointer>
#include <QTest>

#include <memory>

using namespace kiv;
using namespace lanentrtests;

namespace {

const QDate kEntry(2026, 3, 10);

const QString kEmissionAfterEntry =
    QStringLiteral("Data de emissão não pode ser maior que a data de entrada.");
const QString kNoItems = QStringLiteral("Item do lançamento de entrada deve ser informado.");
const QString kNoDueDates =
    QStringLiteral("Vencimento do lançamento de entrada deve ser informado.");
const QString kDueDatesOff =
    QStringLiteral("Somatório dos vencimentos difere do valor total da nota.");

// A stored document of the session branch: operation 01 (supplier, due
// dates) or 02 (supplier, no due dates), supplier F100, series U.
struct Document
{
    QString number;
    bool dueDates = false;
    QString total = QStringLiteral("8");
    QList<QPair<QString, QString>> items; // quantity, unit value
    QList<QString> dueValues;
};

class DataDir : public EntryDataDirectory
{
public:
    explicit DataDir(const QList<Document> &docs)
    {
        write(RefTables::tipoOper(), {operationRow("01", "COMPRA DE FORNECEDOR", "F", "S"),
                                      operationRow("02", "DOAÇÃO DE FORNECEDOR", "F", "N")});
        write(RefTables::forneced(), {supplierF100()});
        write(RefTables::serie(), {seriesU()});
        write(RefTables::produto(RefTables::ProductReader::Entries),
              {productRow("1021", "01.02.001", "ARROZ AGULHINHA", "KG"),
               productRow("1031", "01.03.001", "FEIJÃO CARIOCA", "KG")});
        QList<QVariantMap> headers, items, dueDates;
        for (const Document &d : docs) {
            headers.append({{"NRLANCNFE", d.number},
                            {"CDFILIAL", kBranch},
                            {"CDTIPOOPER", d.dueDates ? "01" : "02"},
                            {"IDENTORIOP", "F"},
                            {"NRINSJURNF", "11222333000144"},
                            {"CDORIGEM", "F100"},
                            {"NRNOTAFISC", "4711"},
                            {"CDSERIE", "U"},
                            {"VRNOTAFISC", withSeparator(d.total)},
                            {"DTENTRADA", kEntry},
                            {"DTEMISSAO", kEntry},
                            {"IDUTILVENC", d.dueDates ? "S" : "N"},
                            {"IDIMPAF", "N"}});
            for (int i = 0; i < d.items.size(); ++i)
                items.append({{"NRLANCNFE", d.number},
                              {"CDPRODUTO", i == 0 ? "1021" : "1031"},
                              {"CDARVPROD", i == 0 ? "01.02.001" : "01.03.001"},
                              {"QTITEMPROD", withSeparator(d.items[i].first)},
                              {"VRUNITITEM", withSeparator(d.items[i].second)},
                              {"CDFILLANC", kBranch}});
            for (int i = 0; i < d.dueValues.size(); ++i) {
                const QDate date = kEntry.addDays(30 * (i + 1));
                dueDates.append({{"NRLANCNFE", d.number}, {"DTVENCENTR", date},
                                 {"VRVENCENTR", withSeparator(d.dueValues[i])},
                                 {"STDTVCENTR", date.toString("dd/MM/yyyy")}});
            }
        }
        write(RecordedTables::lancEntr(), headers);
        write(RecordedTables::itemEntr(), items);
        write(RecordedTables::vencEntr(), dueDates);
    }
};

// The document numbers of the rows the table shows.
QStringList shownDocuments(Table *table)
{
    QStringList numbers;
    for (table->First(); !table->Eof(); table->Next())
        numbers.append(table->FieldByName("NRLANCNFE")->AsString());
    table->First();
    return numbers;
}

} // namespace

Q_DECLARE_METATYPE(Document)

class TestLanEntrPagina : public QObject, private kivtest::WindowTest<TfrmLanEntr, DataDir>
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void headerPostRefused_data();
    void headerPostRefused();
    void itemsDecideTheTotal_data();
    void itemsDecideTheTotal();
    void leavingTheFormWithEmissionAfterEntry_data();
    void leavingTheFormWithEmissionAfterEntry();
    void pendingRowCheckedOnLeaving_data();
    void pendingRowCheckedOnLeaving();
    void pageAttachesTheCommandsAndFilters();
    void movingToADocumentWithoutDueDates();
    void headerCancelReloadsItems();

private:
    TfrmLanEntr *openWindow(const QList<Document> &docs);

    QMap<QString, QByteArray> m_before;
};

void TestLanEntrPagina::init()
{
    startTest();
}

void TestLanEntrPagina::cleanup()
{
    delete m_window;
    m_principal.reset();
    // Neither a refused post nor changing pages nor cancelling writes a
    // file; a test whose post succeeds checks what it wrote and takes that
    // as the new starting point.
    if (m_dir)
        QCOMPARE(m_dir->contents(), m_before);
    endTest();
}

TfrmLanEntr *TestLanEntrPagina::openWindow(const QList<Document> &docs)
{
    m_dir = std::make_unique<DataDir>(docs);
    m_before = m_dir->contents();
    m_window = openEntryWindow(m_principal);
    return m_window;
}

void TestLanEntrPagina::headerPostRefused_data()
{
    QTest::addColumn<Document>("doc");
    QTest::addColumn<int>("emissionDaysAfterEntry");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("page");
    const QList<QPair<QString, QString>> items{{"3", "2,5"}};
    QTest::newRow("emission one day after entry")
        << Document{"5", false, "8", items, {}} << 1 << kEmissionAfterEntry << "tshFormulario";
    QTest::newRow("no items") << Document{"5", false, "8", {}, {}} << 0 << kNoItems
                              << "tshProduto";
    QTest::newRow("no due dates") << Document{"5", true, "8", items, {}} << 0 << kNoDueDates
                                  << "tshVenc";
    QTest::newRow("due dates 5 + 2 for 7,50")
        << Document{"5", true, "8", items, {"5", "2"}} << 0 << kDueDatesOff << "tshVenc";
    QTest::newRow("a total wider than its field")
        << Document{"5", false, "8", {{"20000", "5"}}, {}} << 0
        << "O total 100000,00000 não cabe nos 10 caracteres do campo Total." << "tshProduto";
}

void TestLanEntrPagina::headerPostRefused()
{
    QFETCH(Document, doc);
    QFETCH(int, emissionDaysAfterEntry);
    QFETCH(QString, message);
    QFETCH(QString, page);
    TfrmLanEntr *w = openWindow({doc});
    QVERIFY(w);
    QCOMPARE(w->dtpEntrada->Date(), kEntry);
    w->cdsLancEntr->Edit();
    w->dtpEmissao->SetDate(kEntry.addDays(emissionDaysAfterEntry));
    m_answerer->press("OK");
    QVERIFY_THROWS_EXCEPTION(EAbort, w->cdsLancEntr->Post());
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, message);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Edit);
    QCOMPARE(w->pgcLancEntr->ActivePage()->objectName(), page);
    QCOMPARE(w->mnuFormulario->isChecked(), page == "tshFormulario");
    QCOMPARE(w->mnuProduto->isChecked(), page == "tshProduto");
    QCOMPARE(w->mnuVencimento->isChecked(), page == "tshVenc");
    if (message == kEmissionAfterEntry)
        QTRY_VERIFY(w->dtpEntrada->hasFocus());
}

void TestLanEntrPagina::itemsDecideTheTotal_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<Document>("doc");
    QTest::addColumn<QString>("total");
    const QList<QPair<QString, QString>> items{{"3", "2,5"}};
    QTest::newRow("comma: 3 × 2,5, typed 8") << QChar(u',')
                                             << Document{"5", false, "8", items, {}}
                                             << "7,50000";
    QTest::newRow("point: 3 × 2.5, typed 8") << QChar(u'.')
                                             << Document{"5", false, "8", items, {}}
                                             << "7.50000";
    QTest::newRow("comma: due dates 5 + 2,5 match the items")
        << QChar(u',') << Document{"5", true, "8", items, {"5", "2,5"}} << "7,50000";
    QTest::newRow("point: two items, total already right")
        << QChar(u'.') << Document{"5", false, "4,25", {{"2", "1,5"}, {"1", "1,25"}}, {}}
        << "4.25000";
    // 1236,11020875 is rounded to the five decimals the field keeps, not cut
    // to its ten characters.
    QTest::newRow("comma: a sum longer than the field")
        << QChar(u',') << Document{"5", false, "8", {{"100,125", "12,34567"}}, {}}
        << "1236,11021";
    // 1,1 + 2,2 is not 3,3 in binary; at five decimals it is.
    QTest::newRow("comma: due dates 1,1 + 2,2 for 3,3")
        << QChar(u',') << Document{"5", true, "8", {{"1", "3,3"}}, {"1,1", "2,2"}} << "3,30000";
    QTest::newRow("point: due dates 1.1 + 2.2 for 3.3")
        << QChar(u'.') << Document{"5", true, "8", {{"1", "3,3"}}, {"1,1", "2,2"}} << "3.30000";
}

void TestLanEntrPagina::itemsDecideTheTotal()
{
    QFETCH(QChar, separator);
    QFETCH(Document, doc);
    QFETCH(QString, total);
    LocaleService::setDecimalSeparator(separator);
    TfrmLanEntr *w = openWindow({doc});
    QVERIFY(w);
    w->cdsLancEntr->Edit();
    // Equal dates pass.
    w->dtpEmissao->SetDate(kEntry);
    w->cdsLancEntr->Post();
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Browse);
    QCOMPARE(header(w, "VRNOTAFISC"), total);
    QCOMPARE(header(w, "CDFILIAL"), kBranch);
    // The post wrote the document as shown.
    Table stored(QStringLiteral("stored"));
    stored.Declare(RecordedTables::lancEntr());
    stored.LoadFromFile(QDir(m_window->Session().dataDir).filePath("LANCENTR.cds"));
    QVERIFY(stored.Locate("NRLANCNFE", doc.number));
    QCOMPARE(stored.FieldByName("VRNOTAFISC")->AsString(), total);
    m_before = m_dir->contents();
}

void TestLanEntrPagina::leavingTheFormWithEmissionAfterEntry_data()
{
    QTest::addColumn<QString>("target");
    QTest::newRow("to Produto") << "tshProduto";
    QTest::newRow("to Vencimento") << "tshVenc";
}

void TestLanEntrPagina::leavingTheFormWithEmissionAfterEntry()
{
    QFETCH(QString, target);
    TfrmLanEntr *w = openWindow({Document{"5", true, "7,5", {{"3", "2,5"}}, {"7,5"}}});
    QVERIFY(w);
    w->cdsLancEntr->Edit();
    w->dtpEmissao->SetDate(kEntry.addDays(1));
    auto *page = w->pgcLancEntr->findChild<TTabSheet *>(target);
    QVERIFY(page);
    m_answerer->press("OK");
    w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(page));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, kEmissionAfterEntry);
    QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshFormulario);
    QVERIFY(w->mnuFormulario->isChecked());
    QVERIFY(!w->mnuProduto->isChecked() && !w->mnuVencimento->isChecked());
    QTRY_VERIFY(w->dtpEntrada->hasFocus());
    // The commands still act on the header, which keeps its edits.
    QCOMPARE(w->dtsPadrao->DataSet(), w->cdsLancEntr);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Edit);
    QCOMPARE(w->dtpEmissao->Date(), kEntry.addDays(1));
}

void TestLanEntrPagina::pendingRowCheckedOnLeaving_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    // The fields the operator fills in the pending row.
    QTest::addColumn<QVariantMap>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("item without quantity, to the form")
        << "tshProduto" << "tshFormulario" << QVariantMap{{"CDARVPROD", "01.03.001"}}
        << "Quantidade deve ser informada.";
    QTest::newRow("item without quantity, to the due dates")
        << "tshProduto" << "tshVenc" << QVariantMap{{"CDARVPROD", "01.03.001"}}
        << "Quantidade deve ser informada.";
    QTest::newRow("due date without value, to the items")
        << "tshVenc" << "tshProduto" << QVariantMap{{"DTVENCENTR", kEntry.addDays(40)}}
        << "Valor deve ser informado.";
    QTest::newRow("due date the day before the stored entry, to the form")
        << "tshVenc" << "tshFormulario"
        << QVariantMap{{"DTVENCENTR", kEntry.addDays(-1)}, {"VRVENCENTR", "1"}}
        << "Data de vencimento não pode ser menor do que a data de entrada de lançamento.";
}

void TestLanEntrPagina::pendingRowCheckedOnLeaving()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QVariantMap, typed);
    QFETCH(QString, message);
    TfrmLanEntr *w = openWindow({Document{"5", true, "7,5", {{"3", "2,5"}}, {"7,5"}}});
    QVERIFY(w);
    auto *source = w->pgcLancEntr->findChild<TTabSheet *>(from);
    auto *target = w->pgcLancEntr->findChild<TTabSheet *>(to);
    QVERIFY(source && target);
    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(source)));
    Table *table = source == w->tshProduto ? w->cdsProduto : w->cdsVenc;
    table->Append();
    for (auto it = typed.cbegin(); it != typed.cend(); ++it) {
        if (it.value().typeId() == QMetaType::QDate)
            table->FieldByName(it.key())->SetAsDate(it.value().toDate());
        else
            table->FieldByName(it.key())->SetAsString(it.value().toString());
    }
    m_answerer->press("OK");
    w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(target));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, message);
    // The row is checked, not posted, and the operator is back on its page.
    QCOMPARE(table->State(), DataSetState::Insert);
    QCOMPARE(w->pgcLancEntr->ActivePage(), source);
    QCOMPARE(w->dtsPadrao->DataSet(), table);
}

void TestLanEntrPagina::pageAttachesTheCommandsAndFilters()
{
    TfrmLanEntr *w = openWindow({Document{"5", true, "7,5", {{"3", "2,5"}}, {"7,5"}},
                                 Document{"6", true, "2", {{"1", "2"}}, {"1", "1"}}});
    QVERIFY(w);
    QCOMPARE(header(w, "NRLANCNFE"), QString("5"));
    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(w->tshVenc)));
    QCOMPARE(w->dtsPadrao->DataSet(), w->cdsVenc);
    QVERIFY(w->mnuVencimento->isChecked() && !w->mnuFormulario->isChecked());
    QCOMPARE(shownDocuments(w->cdsVenc), QStringList{"5"});

    // Another document refilters the page shown.
    w->cdsLancEntr->Next();
    QCOMPARE(header(w, "NRLANCNFE"), QString("6"));
    QCOMPARE(shownDocuments(w->cdsVenc), (QStringList{"6", "6"}));

    w->mnuProduto->trigger();
    QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshProduto);
    QCOMPARE(w->dtsPadrao->DataSet(), w->cdsProduto);
    QVERIFY(w->mnuProduto->isChecked() && !w->mnuVencimento->isChecked());
    QCOMPARE(shownDocuments(w->cdsProduto), QStringList{"6"});
    w->cdsLancEntr->Prior();
    QCOMPARE(shownDocuments(w->cdsProduto), QStringList{"5"});

    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(w->tshFormulario)));
    QCOMPARE(w->dtsPadrao->DataSet(), w->cdsLancEntr);
    QVERIFY(!w->sbtProcurar.Enabled());
    QVERIFY(w->mnuFormulario->isChecked() && !w->mnuProduto->isChecked());
}

void TestLanEntrPagina::movingToADocumentWithoutDueDates()
{
    TfrmLanEntr *w = openWindow({Document{"5", true, "7,5", {{"3", "2,5"}}, {"7,5"}},
                                 Document{"6", false, "2", {{"1", "2"}}, {}}});
    QVERIFY(w);
    QVERIFY(w->tshVenc->isEnabled() && w->mnuVencimento->isEnabled());
    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(w->tshVenc)));
    w->cdsLancEntr->Next();
    QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshProduto);
    QVERIFY(w->mnuProduto->isChecked() && !w->mnuVencimento->isChecked());
    QVERIFY(!w->tshVenc->isEnabled() && !w->mnuVencimento->isEnabled());
    QCOMPARE(w->dtsPadrao->DataSet(), w->cdsProduto);
    QCOMPARE(shownDocuments(w->cdsProduto), QStringList{"6"});
    w->cdsLancEntr->Prior();
    QVERIFY(w->tshVenc->isEnabled() && w->mnuVencimento->isEnabled());
}

void TestLanEntrPagina::headerCancelReloadsItems()
{
    TfrmLanEntr *w = openWindow({Document{"5", true, "7,5", {{"3", "2,5"}}, {"7,5"}}});
    QVERIFY(w);
    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(w->tshProduto)));
    Table *items = w->cdsProduto;
    items->First();
    items->Edit();
    items->FieldByName("QTITEMPROD")->SetAsString("9,000");
    items->Post();
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Edit);
    Table *dueDates = w->cdsVenc;
    dueDates->Delete();
    QCOMPARE(dueDates->RecordCount(), 0);
    w->dtpEntrada->SetDate(kEntry.addDays(2));

    w->cdsLancEntr->Cancel();
    QCOMPARE(w->dtpEntrada->Date(), kEntry);
    items->First();
    QCOMPARE(items->FieldByName("QTITEMPROD")->AsString(), QString("3"));
    QCOMPARE(dueDates->RecordCount(), 1);
    QCOMPARE(shownDocuments(items), QStringList{"5"});
}


QTEST_MAIN(TestLanEntrPagina)
#include "tst_lanentr_pagina.moc"
