// Exit documents from the operator's side: items and due dates with their
// checks, the header post that computes the total, confirm, cancel and the
// deletion of a whole document, and what reaches LANCSAID.cds, ITEMSAID.cds
// and VENCSAID.cds (every branch's records kept).

#include "basewindows.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "dialoganswerer.h"
#include "lansaidatests.h"
#include "localeservice.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "table.h"
#include "tfrmlansaida.h"
#include "tfrmprincipal.h"

#include <QAction>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <memory>


using namespace kiv;
using namespace lansaidatests;
using kivtest::command;
using kivtest::focusOn;
using kivtest::press;
using kivtest::type;

namespace {

const QString kCancelAll = QStringLiteral("Deseja cancelar todo o lançamento ?");
const QString kDeleteQuestion = QStringLiteral("Deseja excluir o registro?");

// The enabled commands of the bar, in their order; a button that disagrees
// with its menu entry shows as "button≠menu:Name".
QString enabledCommands(const TfrmLanSaida *w)
{
    const QList<QPair<QString, const TCommand *>> commands{
        {"Incluir", &w->sbtIncluir},     {"Alterar", &w->sbtAlterar},
        {"Excluir", &w->sbtExcluir},     {"Procurar", &w->sbtProcurar},
        {"Verificar", &w->sbtVerificar}, {"Cancelar", &w->sbtCancelar},
        {"Confirmar", &w->sbtConfirmar}};
    QStringList names;
    for (const auto &[name, c] : commands) {
        if (c->button->isEnabled() != c->menu->isEnabled())
            names.append(QStringLiteral("button≠menu:") + name);
        else if (c->menu->isEnabled())
            names.append(name);
    }
    return names.join(u' ');
}

// Documents of both branches: 5 (ours, two items, no due dates), 6 (ours,
// due dates), 7 and 55 (the other branch's, sharing products and dates).
QList<Doc> storedDocuments()
{
    const QDate d1 = kExit.addDays(30), d2 = kExit.addDays(60);
    return {
        Doc{"5",
            kBranch,
            "52",
            "10,00000",
            {{"01.02.001", "3,000", "2,50000"}, {"01.03.001", "2,000", "1,25000"}},
            {}},
        Doc{"6",
            kBranch,
            "51",
            "12,00000",
            {{"01.02.001", "2,000", "2,50000"},
             {"01.03.001", "1,000", "4,00000"},
             {"13.01.001", "1,000", "3,00000"}},
            {{d1, "6,00000"}, {d2, "6,00000"}}},
        Doc{"7",
            kOtherBranch,
            "51",
            "5,00000",
            {{"01.02.001", "2,000", "2,50000"}},
            {{d1, "2,00000"}, {d2, "3,00000"}}},
        Doc{"55", kOtherBranch, "52", "3,00000", {{"13.01.001", "1,000", "3,00000"}}, {}},
    };
}

} // namespace

Q_DECLARE_METATYPE(Item)
Q_DECLARE_METATYPE(Due)

class TestLanSaidaDocumento : public QObject, private kivtest::WindowTest<TfrmLanSaida, ExitDataDirectory>
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newDocumentConfirmed_data();
    void newDocumentConfirmed();
    void confirmRefused_data();
    void confirmRefused();
    void itemRules_data();
    void itemRules();
    void dueDateRules_data();
    void dueDateRules();
    void deletingADocument_data();
    void deletingADocument();
    void cancelPendingRowThenDocument();
    void cancelFirstDocumentOfTheBranch();
    void movingToADocumentWithoutDueDates();
    void commandBar_data();
    void commandBar();
    void totalAndDueDatesAtTheirPrecision_data();
    void totalAndDueDatesAtTheirPrecision();
    void dueDatesLeftBehindByAnOperationChange();
    void afterAFailedSave_data();
    void afterAFailedSave();

private:
    TfrmLanSaida *openWindow(const QList<Doc> &docs);
};

void TestLanSaidaDocumento::init()
{
    startTest();
}

void TestLanSaidaDocumento::cleanup()
{
    endTest();
}

TfrmLanSaida *TestLanSaidaDocumento::openWindow(const QList<Doc> &docs)
{
    delete m_window;
    if (!m_dir)
        m_dir = std::make_unique<ExitDataDirectory>(docs);
    m_window = openExitWindow(m_principal);
    return m_window;
}

void TestLanSaidaDocumento::newDocumentConfirmed_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QList<Due>>("dues");
    QTest::addColumn<QList<Due>>("storedDues");
    const QList<Due> dues{{QDate(2026, 4, 20), "6,5"}, {QDate(2026, 5, 20), "3,5"}};
    const QList<Due> stored{{QDate(2026, 4, 20), "6,50000"}, {QDate(2026, 5, 20), "3,50000"}};
    QTest::newRow("comma: to a client, no due dates")
        << QChar(u',') << "52" << kClient << QList<Due>{} << QList<Due>{};
    QTest::newRow("point: to a client, two due dates")
        << QChar(u'.') << "51" << kClient << dues << stored;
    QTest::newRow("comma: due dates optional when none are typed")
        << QChar(u',') << "51" << kClient << QList<Due>{} << QList<Due>{};
    QTest::newRow("point: to a supplier")
        << QChar(u'.') << "53" << kSupplier << QList<Due>{} << QList<Due>{};
    QTest::newRow("comma: to another branch") << QChar(u',') << "54"
                                              << "2" << QList<Due>{} << QList<Due>{};
}

void TestLanSaidaDocumento::newDocumentConfirmed()
{
    QFETCH(QChar, separator);
    QFETCH(QString, operation);
    QFETCH(QString, destination);
    QFETCH(QList<Due>, dues);
    QFETCH(QList<Due>, storedDues);
    LocaleService::setDecimalSeparator(separator);
    const QList<Doc> stored = storedDocuments();
    TfrmLanSaida *w = openWindow(stored);
    QVERIFY(w);
    EXIT_STEP(typeHeader(w, operation, destination));
    QCOMPARE(header(w, "NRLANCNFS"), QString("56"));
    // 3 × 2,5 + 2 × 1,25 = 10: the window works the total out.
    EXIT_STEP(
        KIVTEST_STEP(typeItems(w, {{"01.02.001", "3", "2,5"}, {"01.03.001", "2", "1,25"}}, !dues.isEmpty())));
    if (!dues.isEmpty())
        EXIT_STEP(typeDues(w, dues, false));
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_answerer->count(), 0);

    QList<Doc> expected = stored;
    expected.append(Doc{"56",
                        kBranch,
                        operation,
                        "10,00000",
                        {{"01.02.001", "3,000", "2,50000"}, {"01.03.001", "2,000", "1,25000"}},
                        storedDues});
    QCOMPARE(m_dir->onDisk(), linesOf(expected));
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Browse);
    QCOMPARE(header(w, "VRNOTAFISC"), withSeparator("10,00000"));
    QCOMPARE(w->MedTotal->Text(), withSeparator("10,00000"));
    QCOMPARE(header(w, "DTSAIDA"), LocaleService::dateToText(kExit));
    QVERIFY(!w->sbtCancelar.Enabled() && !w->sbtConfirmar.Enabled());
    if (operation == QLatin1String("54")) {
        QCOMPARE(header(w, "NRINSJURNF"), QString("0002"));
        QCOMPARE(header(w, "CDORIGEM"), QString("0002"));
        QCOMPARE(header(w, "NMORIGEM"), QString("COZINHA SUL"));
    }

    // A new window shows it again, with the next number after it.
    w = openWindow({});
    QVERIFY(w);
    QVERIFY(w->cdsLancSaid->Locate("NRLANCNFS", "56"));
    QCOMPARE(header(w, "VRNOTAFISC"), withSeparator("10,00000"));
    QCOMPARE(w->UltimoLancamento, QString("56"));
}

void TestLanSaidaDocumento::confirmRefused_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QList<Item>>("items");
    QTest::addColumn<QList<Due>>("dues");
    // Whether the last row typed (a due date if any, else an item) is left
    // open for the confirm.
    QTest::addColumn<bool>("lastPending");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("page");
    const QList<Item> items{{"01.02.001", "3", "2,5"}};
    QTest::newRow("no item") << "52" << kClient << QList<Item>{} << QList<Due>{} << false
                             << "Item do lançamento de saída deve ser informado."
                             << "tshProduto";
    QTest::newRow("no destination")
        << "52"
        << "" << QList<Item>{} << QList<Due>{} << false << "Destino deve ser informado."
        << "tshFormulario";
    QTest::newRow("pending item without quantity")
        << "52" << kClient << QList<Item>{{"01.03.001", "", "2"}} << QList<Due>{} << true
        << "Quantidade deve ser informada."
        << "tshProduto";
    QTest::newRow("due dates 5 + 2 for items worth 7,50")
        << "51" << kClient << items
        << QList<Due>{{QDate(2026, 4, 20), "5"}, {QDate(2026, 5, 20), "2"}} << false
        << "Somatório dos vencimentos difere do valor total da nota."
        << "tshVenc";
    QTest::newRow("pending due date without value")
        << "51" << kClient << items << QList<Due>{{QDate(2026, 4, 20), ""}} << true
        << "Valor deve ser informado."
        << "tshVenc";
}

void TestLanSaidaDocumento::confirmRefused()
{
    QFETCH(QString, operation);
    QFETCH(QString, destination);
    QFETCH(QList<Item>, items);
    QFETCH(QList<Due>, dues);
    QFETCH(bool, lastPending);
    QFETCH(QString, message);
    QFETCH(QString, page);
    TfrmLanSaida *w = openWindow(storedDocuments());
    QVERIFY(w);
    const auto before = m_dir->contents();
    EXIT_STEP(typeHeader(w, operation, destination));
    if (!items.isEmpty())
        EXIT_STEP(typeItems(w, items, !(lastPending && dues.isEmpty())));
    if (!dues.isEmpty())
        EXIT_STEP(typeDues(w, dues, !lastPending));

    m_answerer->press("OK");
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, message);
    QCOMPARE(w->pgcLancSaid->ActivePage()->objectName(), page);
    // The document stays being typed, with its commands, and nothing is
    // written.
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Insert);
    QVERIFY(w->sbtCancelar.Enabled() && w->sbtConfirmar.Enabled());
    QCOMPARE(m_dir->contents(), before);
}

void TestLanSaidaDocumento::itemRules_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("storedQuantity");
    QTest::addColumn<QString>("storedValue");
    QTest::newRow("comma: 2,5 × 3") << QChar(u',') << "13.01.001"
                                    << "2,5"
                                    << "3"
                                    << ""
                                    << "2,500"
                                    << "3,00000";
    QTest::newRow("point: typed with the point") << QChar(u'.') << "13.01.001"
                                                 << "2.5"
                                                 << "3"
                                                 << ""
                                                 << "2.500"
                                                 << "3.00000";
    QTest::newRow("comma: letters are not taken") << QChar(u',') << "13.01.001"
                                                  << "1x,a5"
                                                  << "2b"
                                                  << ""
                                                  << "1,500"
                                                  << "2,00000";
    QTest::newRow("a product the document has")
        << QChar(u',') << "01.02.001"
        << "1"
        << "1"
        << "Produto já cadastrado para o lançamento de saída."
        << ""
        << "";
    QTest::newRow("an unknown product") << QChar(u',') << "99.99.999"
                                        << "1"
                                        << "1"
                                        << "Produto não cadastrado."
                                        << ""
                                        << "";
}

void TestLanSaidaDocumento::itemRules()
{
    QFETCH(QChar, separator);
    QFETCH(QString, code);
    QFETCH(QString, quantity);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QFETCH(QString, storedQuantity);
    QFETCH(QString, storedValue);
    LocaleService::setDecimalSeparator(separator);
    TfrmLanSaida *w = openWindow(storedDocuments());
    QVERIFY(w);
    // Document 5 holds 01.02.001; document 7 of the other branch holds it
    // too, as 6 holds 13.01.001.
    QCOMPARE(header(w, "NRLANCNFS"), QString("5"));
    w->mnuProduto->trigger();
    w->dbgProduto->setFocus();
    QTRY_VERIFY(w->dbgProduto->hasFocus());
    w->cdsProduto->Last();
    press(Qt::Key_Down);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
    w->dbgProduto->SetSelectedField("CDARVPROD");
    type(QString(code).remove(u'.'));
    // The code is checked as the column is left.
    if (!message.isEmpty()) {
        m_answerer->press("OK");
        press(Qt::Key_Tab);
        QVERIFY(m_answerer->waitFor(1));
        QCOMPARE(m_answerer->at(0).text, message);
        QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
        QCOMPARE(w->dbgProduto->SelectedField()->FieldName(), QString("CDARVPROD"));
        return;
    }
    press(Qt::Key_Tab);
    type(quantity);
    press(Qt::Key_Tab);
    type(value);
    press(Qt::Key_Up);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);
    QVERIFY(w->cdsProduto->Locate("CDARVPROD", code));
    QCOMPARE(w->cdsProduto->FieldByName("QTITEMPROD")->AsString(), storedQuantity);
    QCOMPARE(w->cdsProduto->FieldByName("VRUNITITEM")->AsString(), storedValue);
    QCOMPARE(w->cdsProduto->FieldByName("NRLANCNFS")->AsString(), QString("5"));
    QCOMPARE(w->cdsProduto->FieldByName("NMPRODUTO")->AsString(), QString("ÓLEO DE SOJA"));
    // The item changed its document: confirm and cancel are offered.
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Edit);
    QVERIFY(w->sbtConfirmar.Enabled() && w->sbtCancelar.Enabled());
}

void TestLanSaidaDocumento::dueDateRules_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored");
    QTest::newRow("comma: 150 on the exit date") << QChar(u',') << kExit << "150"
                                                 << ""
                                                 << "150,00000";
    QTest::newRow("point: 1.5") << QChar(u'.') << kExit.addDays(1) << "1.5"
                                << ""
                                << "1.50000";
    QTest::newRow("a date the document has, the other branch's too")
        << QChar(u',') << kExit.addDays(30) << "1"
        << "Data já cadastrada para o lançamento de saída"
        << "";
    QTest::newRow("a day before the exit date")
        << QChar(u',') << kExit.addDays(-1) << "1"
        << "Data de vencimento não pode ser menor do que a data de entrada de lançamento."
        << "";
}

void TestLanSaidaDocumento::dueDateRules()
{
    QFETCH(QChar, separator);
    QFETCH(QDate, date);
    QFETCH(QString, value);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    LocaleService::setDecimalSeparator(separator);
    TfrmLanSaida *w = openWindow(storedDocuments());
    QVERIFY(w);
    QVERIFY(w->cdsLancSaid->Locate("NRLANCNFS", "6"));
    EXIT_STEP(typeDues(w, {{date, value}}, message.isEmpty()));
    if (!message.isEmpty()) {
        m_answerer->press("OK");
        press(Qt::Key_Up);
        QVERIFY(m_answerer->waitFor(1));
        QCOMPARE(m_answerer->at(0).text, message);
        QCOMPARE(w->cdsVenc->State(), DataSetState::Insert);
        QCOMPARE(w->dbgVenc->SelectedField()->FieldName(), QString("DTVENCSAID"));
        return;
    }
    // Document 6 had two; the rows show in date order.
    QCOMPARE(w->cdsVenc->RecordCount(), 3);
    w->cdsVenc->First();
    QCOMPARE(w->cdsVenc->FieldByName("DTVENCSAID")->AsDate(), date);
    QCOMPARE(w->cdsVenc->FieldByName("VRVENCSAID")->AsString(), stored);
    QCOMPARE(w->cdsVenc->FieldByName("NRLANCNFS")->AsString(), QString("6"));
}

void TestLanSaidaDocumento::deletingADocument_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("answer");
    QTest::newRow("three items and two due dates, Sim") << "6"
                                                        << "Sim";
    QTest::newRow("two items, Sim") << "5"
                                    << "Sim";
    QTest::newRow("answered Não") << "6"
                                  << "Não";
}

void TestLanSaidaDocumento::deletingADocument()
{
    QFETCH(QString, number);
    QFETCH(QString, answer);
    LocaleService::setDecimalSeparator(u'.');
    const QList<Doc> stored = storedDocuments();
    TfrmLanSaida *w = openWindow(stored);
    QVERIFY(w);
    const auto before = m_dir->contents();
    QVERIFY(w->cdsLancSaid->Locate("NRLANCNFS", number));
    m_answerer->press(answer);
    QVERIFY(command(w->sbtExcluir));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, kDeleteQuestion);
    if (answer != QLatin1String("Sim")) {
        QCOMPARE(m_dir->contents(), before);
        QCOMPARE(w->cdsLancSaid->RecordCount(), 2);
        return;
    }
    QList<Doc> expected;
    for (const Doc &d : stored)
        if (d.number != number)
            expected.append(d);
    // The other branch's documents (7 and 55 share products and dates) stay.
    QCOMPARE(m_dir->onDisk(), linesOf(expected));
    QCOMPARE(w->cdsLancSaid->RecordCount(), 1);
    QVERIFY(!w->sbtCancelar.Enabled() && !w->sbtConfirmar.Enabled());
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Browse);
}

void TestLanSaidaDocumento::cancelPendingRowThenDocument()
{
    TfrmLanSaida *w = openWindow(storedDocuments());
    QVERIFY(w);
    const auto before = m_dir->contents();
    EXIT_STEP(typeItems(w, {{"13.01.001", "1", "2"}}, false));
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Edit);
    // Only the row goes, without a question.
    QVERIFY(command(w->sbtCancelar));
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);
    QCOMPARE(w->cdsProduto->RecordCount(), 2);
    QCOMPARE(enabledCommands(w), QString("Incluir Alterar Excluir Procurar Cancelar Confirmar"));
    // The next cancel asks; Não keeps the document, Sim drops it.
    m_answerer->press("Não").press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, kCancelAll);
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Edit);
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(2));
    QCOMPARE(m_answerer->at(1).text, kCancelAll);
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Browse);
    QVERIFY(!w->sbtCancelar.Enabled() && !w->sbtConfirmar.Enabled());
    QCOMPARE(m_dir->contents(), before);
}

void TestLanSaidaDocumento::cancelFirstDocumentOfTheBranch()
{
    TfrmLanSaida *w = openWindow(
        {Doc{"4", kOtherBranch, "52", "2,00000", {{"13.01.001", "1,000", "2,00000"}}, {}}});
    QVERIFY(w);
    const auto before = m_dir->contents();
    QCOMPARE(w->cdsLancSaid->RecordCount(), 0);
    EXIT_STEP(typeHeader(w, "52", kClient));
    EXIT_STEP(typeItems(w, {{"01.02.001", "1", "2"}}, true));
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(w->cdsLancSaid->RecordCount(), 0);
    QCOMPARE(w->pgcLancSaid->ActivePage(), w->tshFormulario);
    QVERIFY(w->mnuFormulario->isChecked() && !w->mnuProduto->isChecked());
    QCOMPARE(w->dtsPadrao->DataSet(), w->cdsLancSaid);
    QVERIFY(!w->tshProduto->isEnabled() && !w->mnuProduto->isEnabled());
    QCOMPARE(enabledCommands(w), QString("Incluir"));
    w->cdsProduto->SetFiltered(false);
    QCOMPARE(w->cdsProduto->RecordCount(), 1);
    QCOMPARE(m_dir->contents(), before);
}

void TestLanSaidaDocumento::movingToADocumentWithoutDueDates()
{
    TfrmLanSaida *w = openWindow(storedDocuments());
    QVERIFY(w);
    QVERIFY(w->cdsLancSaid->Locate("NRLANCNFS", "6"));
    w->mnuVencimento->trigger();
    QCOMPARE(w->pgcLancSaid->ActivePage(), w->tshVenc);
    QCOMPARE(w->cdsVenc->RecordCount(), 2);
    // Document 5's operation uses no due dates: its items come up.
    w->cdsLancSaid->First();
    QCOMPARE(header(w, "NRLANCNFS"), QString("5"));
    QCOMPARE(w->pgcLancSaid->ActivePage(), w->tshProduto);
    QVERIFY(w->mnuProduto->isChecked());
    QVERIFY(!w->tshVenc->isEnabled() && !w->mnuVencimento->isEnabled());
    QCOMPARE(w->dtsPadrao->DataSet(), w->cdsProduto);
    QCOMPARE(w->cdsProduto->RecordCount(), 2);
}

void TestLanSaidaDocumento::commandBar_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("enabled");
    QTest::newRow("form page, browsing") << QStringList{} << "Incluir Alterar Excluir";
    QTest::newRow("form page, new header") << QStringList{"incluir"} << "Cancelar Confirmar";
    QTest::newRow("Produto page, browsing")
        << QStringList{"produto"} << "Incluir Alterar Excluir Procurar";
    QTest::newRow("Produto page, a new row")
        << QStringList{"produto", "novoItem"} << "Cancelar Confirmar";
    QTest::newRow("Produto page, confirmed with the row open")
        << QStringList{"produto", "novoItem", "confirmar"} << "Incluir Alterar Excluir Procurar";
    QTest::newRow("Vencimento page, browsing")
        << QStringList{"documento6", "vencimento"} << "Incluir Alterar Excluir Procurar";
    QTest::newRow("back to the form page")
        << QStringList{"produto", "formulario"} << "Incluir Alterar Excluir";
}

void TestLanSaidaDocumento::commandBar()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, enabled);
    TfrmLanSaida *w = openWindow(storedDocuments());
    QVERIFY(w);
    for (const QString &step : steps) {
        if (step == "incluir") {
            QVERIFY(command(w->sbtIncluir));
        } else if (step == "produto") {
            w->mnuProduto->trigger();
        } else if (step == "vencimento") {
            w->mnuVencimento->trigger();
        } else if (step == "formulario") {
            w->mnuFormulario->trigger();
        } else if (step == "documento6") {
            QVERIFY(w->cdsLancSaid->Locate("NRLANCNFS", "6"));
        } else if (step == "novoItem") {
            w->dbgProduto->setFocus();
            QTRY_VERIFY(w->dbgProduto->hasFocus());
            w->cdsProduto->Last();
            press(Qt::Key_Down);
            w->dbgProduto->SetSelectedField("CDARVPROD");
            type("1301001");
            press(Qt::Key_Tab);
            type("1");
            press(Qt::Key_Tab);
            type("2");
        } else if (step == "confirmar") {
            QVERIFY(command(w->sbtConfirmar));
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
        // Verify is never offered, whatever the state.
        QVERIFY(!w->sbtVerificar.Enabled());
    }
    QCOMPARE(enabledCommands(w), enabled);
}

void TestLanSaidaDocumento::totalAndDueDatesAtTheirPrecision_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<Item>("item");
    QTest::addColumn<QList<Due>>("dues");
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("message");
    const QDate d1(2026, 4, 20), d2(2026, 5, 20);
    QTest::newRow("comma: due dates 1,1 + 2,2 for 3,3")
        << QChar(u',') << "51" << Item{"13.01.001", "1", "3,3"}
        << QList<Due>{{d1, "1,1"}, {d2, "2,2"}} << "3,30000"
        << "";
    QTest::newRow("point: due dates 1.1 + 2.2 for 3.3")
        << QChar(u'.') << "51" << Item{"13.01.001", "1", "3,3"}
        << QList<Due>{{d1, "1,1"}, {d2, "2,2"}} << "3,30000"
        << "";
    // 1234,567895 is rounded, not cut to the field's ten characters.
    QTest::newRow("comma: 0,5 × 2469,13579")
        << QChar(u',') << "52" << Item{"13.01.001", "0,5", "2469,13579"} << QList<Due>{}
        << "1234,56790"
        << "";
    QTest::newRow("point: items worth nothing")
        << QChar(u'.') << "52" << Item{"13.01.001", "2", "0"} << QList<Due>{} << "0,00000"
        << "";
    QTest::newRow("comma: a total wider than its field")
        << QChar(u',') << "52" << Item{"13.01.001", "20000", "5"} << QList<Due>{} << ""
        << "O total 100000,00000 não cabe nos 10 caracteres do campo Total.";
}

void TestLanSaidaDocumento::totalAndDueDatesAtTheirPrecision()
{
    QFETCH(QChar, separator);
    QFETCH(QString, operation);
    QFETCH(Item, item);
    QFETCH(QList<Due>, dues);
    QFETCH(QString, total);
    QFETCH(QString, message);
    LocaleService::setDecimalSeparator(separator);
    TfrmLanSaida *w = openWindow(storedDocuments());
    QVERIFY(w);
    const auto before = m_dir->contents();
    EXIT_STEP(typeHeader(w, operation, kClient));
    EXIT_STEP(typeItems(w, {item}, true));
    if (!dues.isEmpty())
        EXIT_STEP(typeDues(w, dues, true));
    if (!message.isEmpty())
        m_answerer->press("OK");
    QVERIFY(command(w->sbtConfirmar));
    if (!message.isEmpty()) {
        QVERIFY(m_answerer->waitFor(1));
        QCOMPARE(m_answerer->at(0).text, withSeparator(message));
        QCOMPARE(w->pgcLancSaid->ActivePage(), w->tshProduto);
        QCOMPARE(w->cdsLancSaid->State(), DataSetState::Insert);
        QCOMPARE(m_dir->contents(), before);
        return;
    }
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Browse);
    QCOMPARE(header(w, "VRNOTAFISC"), withSeparator(total));
    const auto stored = m_dir->load(kiv::RecordedTables::lancSaid());
    QVERIFY(stored->Locate("NRLANCNFS", "56"));
    QCOMPARE(stored->FieldByName("VRNOTAFISC")->AsString(), withSeparator(total));
}

void TestLanSaidaDocumento::dueDatesLeftBehindByAnOperationChange()
{
    TfrmLanSaida *w = openWindow(storedDocuments());
    QVERIFY(w);
    EXIT_STEP(typeHeader(w, "51", kClient));
    EXIT_STEP(typeItems(w, {{"13.01.001", "3", "2,5"}}, true));
    EXIT_STEP(typeDues(w, {{QDate(2026, 4, 20), "5"}}, true));
    // Back on the form, an operation without due dates, and its destination.
    w->mnuFormulario->trigger();
    w->medOperacao->setFocus();
    QVERIFY(focusOn(w->medOperacao));
    w->medOperacao->selectAll();
    type("52");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->medDestino));
    QVERIFY(!w->tshVenc->isEnabled());
    type(kClient);
    press(Qt::Key_Tab);
    QVERIFY(command(w->sbtConfirmar));
    // The hidden due date is neither summed (5 against 7,5) nor saved.
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Browse);
    QList<Doc> expected = storedDocuments();
    expected.append(Doc{"56", kBranch, "52", "7,50000", {{"13.01.001", "3,000", "2,50000"}}, {}});
    QCOMPARE(m_dir->onDisk(), linesOf(expected));
}

void TestLanSaidaDocumento::afterAFailedSave_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("then");
    QTest::newRow("a new document, confirm saves it again") << "confirmar"
                                                            << "confirmar";
    QTest::newRow("a new document, cancel drops it") << "confirmar"
                                                     << "cancelarSim";
    QTest::newRow("a new document, cancel answered Não keeps it") << "confirmar"
                                                                  << "cancelarNão";
    QTest::newRow("a new document, closing asks") << "confirmar"
                                                  << "fecharSim";
    QTest::newRow("a deletion, confirm saves it again") << "excluir"
                                                        << "confirmar";
    QTest::newRow("a deletion, cancel brings the document back whole") << "excluir"
                                                                       << "cancelarSim";
}

void TestLanSaidaDocumento::afterAFailedSave()
{
#ifndef Q_OS_UNIX
    QSKIP("the file-size limit is a Unix resource limit");
#else
    QFETCH(QString, failing);
    QFETCH(QString, then);
    const QList<Doc> stored = storedDocuments();
    TfrmLanSaida *w = openWindow(stored);
    QVERIFY(w);
    const auto before = m_dir->contents();
    const Doc typed{"56", kBranch, "52", "7,50000", {{"13.01.001", "3,000", "2,50000"}}, {}};
    QList<Doc> saved = stored;
    if (failing == QLatin1String("confirmar")) {
        EXIT_STEP(typeHeader(w, "52", kClient));
        EXIT_STEP(typeItems(w, {{"13.01.001", "3", "2,5"}}, true));
        saved.append(typed);
    } else {
        QVERIFY(w->cdsLancSaid->Locate("NRLANCNFS", "6"));
        saved.removeAt(1);
    }
    if (failing != QLatin1String("confirmar"))
        m_answerer->press("Sim");
    m_answerer->press("OK");
    {
        kivtest::FileSizeLimit full(16);
        QVERIFY(command(failing == QLatin1String("confirmar") ? w->sbtConfirmar : w->sbtExcluir));
    }
    QVERIFY(m_answerer->waitFor(failing == QLatin1String("confirmar") ? 1 : 2));
    QCOMPARE(m_dir->contents(), before);
    // What the operator did stays on screen, and may be confirmed again.
    QCOMPARE(w->cdsLancSaid->RecordCount(), failing == QLatin1String("confirmar") ? 3 : 1);
    QVERIFY(w->sbtConfirmar.Enabled() && w->sbtCancelar.Enabled());
    const int shown = m_answerer->count();

    if (then == QLatin1String("confirmar")) {
        QVERIFY(command(w->sbtConfirmar));
        QCOMPARE(m_answerer->count(), shown);
        QCOMPARE(m_dir->onDisk(), linesOf(saved));
        QVERIFY(!w->sbtConfirmar.Enabled() && !w->sbtCancelar.Enabled());
    } else if (then.startsWith(QLatin1String("cancelar"))) {
        const bool yes = then == QLatin1String("cancelarSim");
        m_answerer->press(yes ? "Sim" : "Não");
        QVERIFY(command(w->sbtCancelar));
        QVERIFY(m_answerer->waitFor(shown + 1));
        QCOMPARE(m_answerer->at(shown).text, kCancelAll);
        if (yes) {
            // The window holds what the files hold: the dropped document
            // with nothing of it, the deleted one with all its rows.
            QCOMPARE(w->cdsLancSaid->RecordCount(), 2);
            QVERIFY(!w->sbtConfirmar.Enabled() && !w->sbtCancelar.Enabled());
            w->cdsProduto->SetFiltered(false);
            w->cdsVenc->SetFiltered(false);
            QVERIFY(!w->cdsProduto->Locate("NRLANCNFS", "56"));
            QVERIFY(w->cdsLancSaid->Locate("NRLANCNFS", "6"));
            w->mnuProduto->trigger();
            QCOMPARE(w->cdsProduto->RecordCount(), 3);
            QVERIFY(w->tshVenc->isEnabled());
            w->mnuVencimento->trigger();
            QCOMPARE(w->cdsVenc->RecordCount(), 2);
            // A later save writes exactly the stored documents and the new one.
            w->mnuFormulario->trigger();
            EXIT_STEP(typeHeader(w, "52", kClient));
            // A number once given is not given again in this window.
            const QString next = failing == QLatin1String("confirmar") ? "57" : "56";
            QCOMPARE(header(w, "NRLANCNFS"), next);
            EXIT_STEP(typeItems(w, {{"13.01.001", "3", "2,5"}}, true));
            QVERIFY(command(w->sbtConfirmar));
            QList<Doc> expected = stored;
            expected.append(
                Doc{next, kBranch, "52", "7,50000", {{"13.01.001", "3,000", "2,50000"}}, {}});
            QCOMPARE(m_dir->onDisk(), linesOf(expected));
        } else {
            QCOMPARE(w->cdsLancSaid->RecordCount(), 3);
            QVERIFY(w->sbtConfirmar.Enabled());
            QCOMPARE(m_dir->contents(), before);
        }
    } else {
        // Closing asks before the document goes.
        m_answerer->press("Não");
        QVERIFY(command(w->sbtFechar));
        QVERIFY(m_answerer->waitFor(shown + 1));
        QCOMPARE(m_answerer->at(shown).text, kCancelAll);
        QVERIFY(!m_window.isNull() && w->isVisible());
        m_answerer->press("Sim");
        QVERIFY(command(w->sbtFechar));
        QVERIFY(m_answerer->waitFor(shown + 2));
        QTRY_VERIFY(m_window.isNull());
        QCOMPARE(m_dir->contents(), before);
    }
#endif
}

QTEST_MAIN(TestLanSaidaDocumento)
#include "tst_lansaida_documento.moc"
