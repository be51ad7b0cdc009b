#include "basewindows.h"
#include "cripto.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "dialoganswerer.h"
#include "lanentrtests.h"
#include "localeservice.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "statusbar.h"
#include "table.h"
#include "taskwindows.h"
#include "tfrmlanentr.h"
#include "tfrmlogin.h"
#include "tfrmprincipal.h"
#include "typeahead.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QPointer>
#include <QTest>

#include <memory>

using namespace kiv;
using namespace lanentrtests;
using kivtest::focusOn;
using kivtest::press;
using kivtest::type;

// The operator's keyboard on the entry window: dates typed after a lookup,
// the decimal point, and keys typed ahead of the program.
namespace {

class DataDir : public EntryDataDirectory
{
public:
    DataDir()
    {
        write(RefTables::tipoOper(), {operationRow("02", "DOAÇÃO DE FORNECEDOR", "F", "N"),
                                      operationRow("01", "COMPRA DE FORNECEDOR", "F", "S")});
        write(RefTables::forneced(), {supplierF100()});
        write(RefTables::serie(), {seriesU()});
        write(RefTables::produto(RefTables::ProductReader::Entries),
              {productRow("1021", "01.02.001", "ARROZ AGULHINHA", "KG"),
               productRow("1031", "01.03.001", "FEIJÃO CARIOCA", "KG")});
        write(RecordedTables::lancEntr(), {{{"NRLANCNFE", "5"},
                                            {"CDFILIAL", kBranch},
                                            {"CDTIPOOPER", "01"},
                                            {"IDENTORIOP", "F"},
                                            {"CDORIGEM", "F100"},
                                            {"NRNOTAFISC", "4711"},
                                            {"VRNOTAFISC", "10,00000"},
                                            {"DTENTRADA", QDate(2026, 3, 10)},
                                            {"IDUTILVENC", "S"},
                                            {"IDIMPAF", "N"}}});
    }
};

QString item(const TfrmLanEntr *w, const char *name)
{
    return w->cdsProduto->FieldByName(QString::fromLatin1(name))->AsString();
}

} // namespace

class TestLanEntrTeclado : public QObject, private kivtest::WindowTest<TfrmLanEntr, DataDir>
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dateTypedAfterTheOriginLookup_data();
    void dateTypedAfterTheOriginLookup();
    void pointTypesTheSeparatorInTheItemGrid_data();
    void pointTypesTheSeparatorInTheItemGrid();
    void itemLineTypedAhead_data();
    void itemLineTypedAhead();
    void dueDateLineTypedAhead();
    void endingTheRunOverATypedDocument_data();
    void endingTheRunOverATypedDocument();
    void confirmSaysWhatWasSaved();

private:
    TfrmLanEntr *openWindow();
    // The main window shown with the session, and the entry window opened
    // by its command, inside it.
    TfrmLanEntr *openFromTheMainWindow();
    // The Produto page with a new row after the document's items.
    void newItem();
};

void TestLanEntrTeclado::init()
{
    startTest();
    m_dir = std::make_unique<DataDir>();
}

void TestLanEntrTeclado::cleanup()
{
    endTest();
}

TfrmLanEntr *TestLanEntrTeclado::openWindow()
{
    m_window = openEntryWindow(m_principal);
    return m_window;
}

TfrmLanEntr *TestLanEntrTeclado::openFromTheMainWindow()
{
    // The operator logs in (the main window's first activation shows the
    // login) and opens the window from the menu.
    const kivtest::Session s = session();
    m_dir->write(RecordedTables::dadosKipc(), {{{"CDFILIAL", s.branch},
                                                 {"NMFILIAL", s.branchName},
                                                 {"CDOPERADOR", s.operatorCode},
                                                 {"NMOPERADOR", s.operatorName},
                                                 {"CDSENHAOPE", CriptoPlus("senha1")},
                                                 {"PRODMASK", s.productMask}}});
    m_principal = std::make_unique<TfrmPrincipal>();
    m_principal->Create();
    if (!m_principal->Started())
        return nullptr;
    m_principal->show();
    m_principal->activateWindow();
    if (!QTest::qWaitFor([this] { return m_principal->LoginWindow() != nullptr; }))
        return nullptr;
    TfrmLogin *login = m_principal->LoginWindow();
    login->medCdFilial->SetText(s.branch);
    login->medCdOperador->SetText(s.operatorCode);
    login->edtSenha->setText(QStringLiteral("senha1"));
    login->btnConfirma->click();
    if (!QTest::qWaitFor([this] { return m_principal->LoginWindow() == nullptr; })
        || !QTest::qWaitForWindowActive(m_principal.get()))
        return nullptr;
    m_principal->findChild<QAction *>("mnuLanEntrada")->trigger();
    m_window = qobject_cast<TfrmLanEntr *>(
        m_principal->TaskWindowInstance(TaskWindow::LanEntrada));
    return m_window;
}

void TestLanEntrTeclado::newItem()
{
    TfrmLanEntr *w = m_window;
    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(w->tshProduto)));
    w->dbgProduto->setFocus();
    QTRY_VERIFY(w->dbgProduto->hasFocus());
    w->dbgProduto->SetSelectedField("CDARVPROD");
    press(Qt::Key_Down);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
}

void TestLanEntrTeclado::dateTypedAfterTheOriginLookup_data()
{
    QTest::addColumn<QString>("typedBefore");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QDate>("stored");
    // The operator had typed part of the date, went back to the origin and
    // looked it up: the picker was left in its year, or its month.
    QTest::newRow("left in the year, 10122026") << "0101" << "10122026" << QDate(2026, 12, 10);
    QTest::newRow("left in the month, 10122026") << "01" << "10122026" << QDate(2026, 12, 10);
    QTest::newRow("left in the year, 05/11/2026")
        << "0101" << "05/11/2026" << QDate(2026, 11, 5);
}

void TestLanEntrTeclado::dateTypedAfterTheOriginLookup()
{
    QFETCH(QString, typedBefore);
    QFETCH(QString, typed);
    QFETCH(QDate, stored);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "02"));
    type("11222333000144");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->dtpEntrada));
    type(typedBefore);
    press(Qt::Key_Tab, Qt::ShiftModifier);
    QVERIFY(focusOn(w->medOrigem));
    m_answerer->run([](QWidget *dialog) {
        QWidget *target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
        QTest::keyClicks(target, "11");
        QTest::keyClick(target, Qt::Key_Return);
    });
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(header(w, "CDORIGEM"), QString("F100"));
    QVERIFY(focusOn(w->dtpEntrada));
    type(typed);
    QCOMPARE(w->dtpEntrada->Date(), stored);
    // Keys nobody expects to change a date leave it alone.
    press(Qt::Key_PageDown);
    press(Qt::Key_PageUp);
    QCOMPARE(w->dtpEntrada->Date(), stored);
}

void TestLanEntrTeclado::pointTypesTheSeparatorInTheItemGrid_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<QString>("quantity");
    QTest::newRow("comma, point key") << QChar(u',') << false << "2,500";
    QTest::newRow("comma, keypad key") << QChar(u',') << true << "2,500";
    QTest::newRow("point, point key") << QChar(u'.') << false << "2.500";
    QTest::newRow("point, keypad key") << QChar(u'.') << true << "2.500";
}

void TestLanEntrTeclado::pointTypesTheSeparatorInTheItemGrid()
{
    QFETCH(QChar, separator);
    QFETCH(bool, keypad);
    QFETCH(QString, quantity);
    LocaleService::setDecimalSeparator(separator);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    newItem();
    type("0102001");
    press(Qt::Key_Tab);
    QCOMPARE(w->dbgProduto->SelectedField()->FieldName(), QString("QTITEMPROD"));
    type("2");
    // The keypad's decimal key prints "," on some layouts and "." on others.
    if (keypad)
        QTest::keyClick(kivtest::focused(), Qt::Key_Comma, Qt::KeypadModifier);
    else
        type(".");
    type("5");
    press(Qt::Key_Tab);
    QCOMPARE(item(w, "QTITEMPROD"), quantity);
    QCOMPARE(m_answerer->count(), 0);
}

void TestLanEntrTeclado::itemLineTypedAhead_data()
{
    QTest::addColumn<QString>("keys");
    QTest::newRow("Enter between the cells") << "0102001\n2,5\n3\n";
    QTest::newRow("Tab between the cells") << "0102001\t2,5\t3\t";
    QTest::newRow("Enter with the point") << "0102001\n2.5\n3\n";
}

void TestLanEntrTeclado::itemLineTypedAhead()
{
    QFETCH(QString, keys);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    newItem();
    // Two whole lines, every key queued before the first is handled.
    QString second = keys;
    second.replace(0, 7, QStringLiteral("0103001"));
    kivtest::typeAhead(w, keys + second);
    QTRY_COMPARE(w->cdsProduto->RecordCount(), 2);
    QCOMPARE(m_answerer->count(), 0);
    QVERIFY(w->cdsProduto->Locate("CDARVPROD", "01.02.001"));
    QCOMPARE(item(w, "QTITEMPROD"), QString("2,500"));
    QCOMPARE(item(w, "VRUNITITEM"), QString("3,00000"));
    QVERIFY(w->cdsProduto->Locate("CDARVPROD", "01.03.001"));
    QCOMPARE(item(w, "QTITEMPROD"), QString("2,500"));
    QCOMPARE(item(w, "VRUNITITEM"), QString("3,00000"));
}

void TestLanEntrTeclado::dueDateLineTypedAhead()
{
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(w->tshVenc)));
    w->dbgVenc->setFocus();
    QTRY_VERIFY(w->dbgVenc->hasFocus());
    press(Qt::Key_Down);
    QCOMPARE(w->cdsVenc->State(), DataSetState::Insert);
    w->dbgVenc->SetSelectedField("DTVENCENTR");
    kivtest::typeAhead(w, "20042026\n7,5\n");
    QTRY_COMPARE(w->cdsVenc->RecordCount(), 1);
    QCOMPARE(m_answerer->count(), 0);
    // Enter after the amount posted the row and opened the next one.
    QCOMPARE(w->cdsVenc->State(), DataSetState::Insert);
    QVERIFY(w->cdsVenc->Locate("NRLANCNFE", "5"));
    QCOMPARE(w->cdsVenc->FieldByName("DTVENCENTR")->AsDate(), QDate(2026, 4, 20));
    QCOMPARE(w->cdsVenc->FieldByName("VRVENCENTR")->AsString(), QString("7,50000"));
}

void TestLanEntrTeclado::endingTheRunOverATypedDocument_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("ends");
    QTest::newRow("Não keeps the program and the document") << "Não" << false;
    QTest::newRow("Sim discards it and ends") << "Sim" << true;
}

void TestLanEntrTeclado::endingTheRunOverATypedDocument()
{
    QFETCH(QString, answer);
    QFETCH(bool, ends);
    TfrmLanEntr *w = openFromTheMainWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "02"));
    type("11222333000144");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->dtpEntrada));
    const auto before = m_dir->contents();

    m_answerer->press("Sim").press(answer);
    const bool closed = m_principal->close();
    QVERIFY(m_answerer->waitFor(2));
    QCOMPARE(m_answerer->at(0).text, QString("Deseja sair do sistema ?"));
    QCOMPARE(m_answerer->at(1).text, QString("Deseja cancelar todo o lançamento ?"));
    QCOMPARE(closed, ends);
    if (!ends) {
        QVERIFY(m_window);
        QVERIFY(m_principal->isVisible());
        QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
        QCOMPARE(header(w, "CDORIGEM"), QString("F100"));
    }
    // Nothing is saved on the way out.
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrTeclado::confirmSaysWhatWasSaved()
{
    TfrmLanEntr *w = openFromTheMainWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "02"));
    type("11222333000144");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->dtpEntrada));
    type("10122026");
    w->medNF->setFocus();
    QVERIFY(focusOn(w->medNF));
    type("4711");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->medSerie));
    type("U");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->MedTotal));
    type("5");
    newItem();
    type("0102001\t2\t2,5");
    press(Qt::Key_Up);
    QVERIFY(kivtest::command(w->sbtConfirmar));
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Browse);
    QCOMPARE(m_principal->stbStatus->Message(), QString("Lançamento 6 gravado."));
}

QTEST_MAIN(TestLanEntrTeclado)
#include "tst_lanentr_teclado.moc"
