#include "basewindows.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "dbnavigator.h"
#include "demodata.h"
#include "dialoganswerer.h"
#include "efetivosfixture.h"
#include "localeservice.h"
#include "lookupdialogs.h"
#include "maskedit.h"
#include "numerictext.h"
#include "pagecontrol.h"
#include "statusbar.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "textroutines.h"
#include "taskwindow.h"
#include "tfrmefetivos.h"
#include "tfrmprincipal.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace kiv;
using namespace headcount;
using kivtest::command;
using kivtest::focused;
using kivtest::focusOn;
using kivtest::press;

namespace {

QStringList listShown(QWidget *dialog)
{
    QStringList rows;
    auto *grid = dialog->findChild<QAbstractItemView *>(QStringLiteral("dbgPesquisa"));
    if (!grid)
        return {QStringLiteral("<no dbgPesquisa>")};
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        rows << grid->model()->index(r, 0).data().toString();
    return rows;
}

} // namespace

class TestEfetivos : public QObject, private kivtest::WindowTest<TfrmEfetivos, DataDir>
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensFromTheMainWindowInTheHeader();
    void menuTypeIsPaddedAndNamed();
    void menuTypeLookupListsTheBranchTypes();
    void tabOutOfTheHeaderLoads();
    void verifyReadsTheFileAgain();
    void menuTypeChecks_data();
    void menuTypeChecks();
    void loadShowsTheBranchMenuAndDay_data();
    void loadShowsTheBranchMenuAndDay();
    void dateLookupListsEachDayOnce();
    void dateLookupWithoutHeadcounts();
    void changedHeadcountIsReadBackByANewWindow_data();
    void changedHeadcountIsReadBackByANewWindow();
    void keyFilterOfTheQuantityCells_data();
    void keyFilterOfTheQuantityCells();
    void emptyQuantityIsRefused();
    void rowsAreNeverAddedOrRemoved();
    void cancelAsksAndNoKeepsWhatWasTyped();
    void leavingForTheHeaderStoresTheRow();
    void changeStartsEditingOnAQuantityCell_data();
    void changeStartsEditingOnAQuantityCell();
    void gridIsGreyInTheHeaderAndTintedOnceLoaded();
    void changedRowOfAPointTextIsWrittenWithTheComma();
    void menuTypeLookupWithoutTypesForTheBranch();
    void findActsOnTheHeadcountRows();
    void verifyOnTheClientsPage();
    void missingFileStopsTheLoad_data();
    void missingFileStopsTheLoad();
    void dateLookupChecksTheMenuType_data();
    void dateLookupChecksTheMenuType();
    void dateLookupLeftWithoutAChoice();

    void vanishedRecordIsNotOverwritten();
    void failedStoreKeepsWhatWasTyped();
    void badTextOfAnotherBranchDoesNotStopTheLoad();
    void badTextOfAShownRowNamesItsRow();
    void headcountStoredWithATimeOfDayIsFoundByItsDay();
    void demoDirectoryMeetsEachRule();

private:
    TfrmEfetivos *openWindow();
};

void TestEfetivos::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Kiv - School Meals"));
}

void TestEfetivos::init()
{
    startTest();
    m_dir = std::make_unique<DataDir>();
}

void TestEfetivos::cleanup()
{
    endTest();
}

TfrmEfetivos *TestEfetivos::openWindow()
{
    if (!m_principal)
        m_principal = kivtest::startMainWindow({.branch = kBranch, .branchName = "COZINHA PILOTO"});
    if (!m_principal)
        return nullptr;
    m_window = new TfrmEfetivos(m_principal->CurrentSession());
    m_window->Create();
    if (!kivtest::showActive(m_window) || !focusOn(m_window->edtCdTpCard))
        return nullptr;
    return m_window;
}

void TestEfetivos::opensFromTheMainWindowInTheHeader()
{
    m_principal = kivtest::startMainWindow({.branch = kBranch, .branchName = "COZINHA PILOTO"});
    QVERIFY(m_principal);
    m_principal->mnuEfetivosClick();
    auto *w = qobject_cast<TfrmEfetivos *>(m_principal->TaskWindowInstance(TaskWindow::Efetivos));
    QVERIFY(w);
    m_window = w;
    QCOMPARE(w->objectName(), QStringLiteral("TfrmEfetivos"));
    QCOMPARE(w->windowTitle(), QStringLiteral("Efetivos"));
    QCOMPARE(NomeUnit(w), QStringLiteral("KIS00500"));
    QCOMPARE(m_principal->stbStatus->PanelText(3), QStringLiteral("KIS00500"));
    QCOMPARE(w->medCdFilial->Text(), kBranch);
    QCOMPARE(w->edtNmFilial->text(), QStringLiteral("COZINHA PILOTO"));
    QVERIFY(!w->findChild<QWidget *>("panAgrupFili")->isEnabled());
    QCOMPARE(w->dpkData->Date(), QDate::currentDate());

    QCOMPARE(w->pgcPadrao->ActivePage(), w->tshFolhaDados);
    QCOMPARE(w->tshFolhaDados->Caption(), QStringLiteral("Efetivos"));
    QCOMPARE(w->tshFormulario->Caption(), QStringLiteral("Clientes"));
    QCOMPARE(w->mnuFolhaDados->text(), QStringLiteral("&Efetivos"));
    QCOMPARE(w->mnuFormulario->text(), QStringLiteral("Clie&ntes"));
    // In the header nothing is loaded: every command is off and only the
    // "Efetivos" page can be chosen.
    QVERIFY(!w->cdsAuxEfetivos->Active());
    QVERIFY(!w->tshFormulario->isEnabled());
    QVERIFY(!w->mnuFormulario->isEnabled());
    for (const TCommand *c : {&w->sbtIncluir, &w->sbtAlterar, &w->sbtExcluir, &w->sbtProcurar,
                              &w->sbtVerificar, &w->sbtConfirmar, &w->sbtCancelar,
                              &w->sbtImprimir, &w->sbtAjuda})
        QVERIFY2(!c->Enabled(), qPrintable(c->menu->objectName()));

    QStringList titles;
    for (int c = 0; c < w->dbgPadrao->Columns().Count(); ++c)
        titles << w->dbgPadrao->Columns()[c]->Title();
    QCOMPARE(titles, (QStringList{"Serviço", "Nome do Serviço", "Clientes", "Funcionário",
                                  "Doações", "Efetivos"}));
    QStringList clientTitles;
    for (int c = 0; c < w->dbgClientes->Columns().Count(); ++c)
        clientTitles << w->dbgClientes->Columns()[c]->Title();
    QCOMPARE(clientTitles, (QStringList{"Cliente", "Clientes", "Funcionários", "Doações"}));
    QCOMPARE(w->btnTpCard->toolTip(), QStringLiteral("Pesquisar"));
    QCOMPARE(w->btnData->toolTip(), QStringLiteral("Pesquisar"));
    QVERIFY(!w->edtNmTpCard->isEnabled());
    QCOMPARE(w->edtCdTpCard->maxLength(), 10);
    // The header has the keyboard whenever the window has it.
    QCOMPARE(w->focusWidget(), w->edtCdTpCard);

    // Closed, it is gone; the next command builds it anew.
    QPointer<TfrmEfetivos> closing = w;
    QVERIFY(command(w->sbtFechar));
    QTRY_VERIFY(!closing);
    QCOMPARE(m_principal->stbStatus->PanelText(3), QStringLiteral("KIS00000"));
    QVERIFY(!m_principal->TaskWindowInstance(TaskWindow::Efetivos));
}

void TestEfetivos::menuTypeIsPaddedAndNamed()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QTest::keyClicks(w->edtCdTpCard, QStringLiteral("2"));
    QVERIFY(w->edtNmTpCard->text().isEmpty());
    w->dpkData->setFocus();
    QVERIFY(focusOn(w->dpkData));
    QCOMPARE(w->edtCdTpCard->Text(), kCrecheMenu);
    QCOMPARE(w->edtNmTpCard->text(), QStringLiteral("CRECHE"));
    // A change clears the name until the box is left again.
    w->edtCdTpCard->setFocus();
    QVERIFY(focusOn(w->edtCdTpCard));
    QTest::keyClick(w->edtCdTpCard, Qt::Key_End);
    QTest::keyClick(w->edtCdTpCard, Qt::Key_Backspace);
    QVERIFY(w->edtNmTpCard->text().isEmpty());
}

void TestEfetivos::menuTypeLookupListsTheBranchTypes()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QStringList listed;
    QStringList columns;
    m_answerer->run([&](QWidget *dialog) {
        listed = listShown(dialog);
        auto *grid = dialog->findChild<QAbstractItemView *>(QStringLiteral("dbgPesquisa"));
        if (grid)
            for (int c = 0; c < grid->model()->columnCount(); ++c)
                columns << grid->model()->headerData(c, Qt::Horizontal).toString();
        auto *search = dialog->findChild<QLineEdit *>("edtPesquisa");
        QTest::keyClicks(search, kCrecheMenu);
        QTest::keyClick(search, Qt::Key_Return);
    });
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(1));
    // Only the session branch's menu types.
    QCOMPARE(listed, (QStringList{kMenu, kCrecheMenu}));
    QCOMPARE(columns, (QStringList{"Código", "Nome"}));
    QVERIFY(kivtest::backInWindow(w));
    QCOMPARE(w->edtCdTpCard->Text(), kCrecheMenu);
    QCOMPARE(w->edtNmTpCard->text(), QStringLiteral("CRECHE"));
    QTRY_VERIFY(w->dpkData->hasFocus());
}

void TestEfetivos::tabOutOfTheHeaderLoads()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    w->dpkData->SetDate(kDay);
    QTest::keyClicks(w->edtCdTpCard, QStringLiteral("1"));
    press(Qt::Key_Tab);
    QTRY_VERIFY(w->dpkData->hasFocus());
    QVERIFY(!w->cdsAuxEfetivos->Active());
    press(Qt::Key_Tab);
    QTRY_VERIFY(w->pgcPadrao->isAncestorOf(focused()));
    QCOMPARE(headcountRows(w).size(), 3);
}

void TestEfetivos::verifyReadsTheFileAgain()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    QList<Headcount> rows = defaultHeadcounts();
    rows[2].clients = QStringLiteral("60");
    m_dir->writeHeadcounts(rows);
    QVERIFY(command(w->sbtVerificar));
    QCOMPARE(headcountRows(w).first(), headcountRow("00001", "DESJEJUM", "60", "3", "2", "65"));
}

void TestEfetivos::menuTypeChecks_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "" << "Tipo de cardápio deve ser informado.";
    QTest::newRow("not registered") << "9" << "Tipo de cardápio não cadastrado.";
    QTest::newRow("another branch's") << "3" << "Tipo de cardápio não cadastrado.";
}

void TestEfetivos::menuTypeChecks()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    m_answerer->press("OK");
    QTest::keyClicks(w->edtCdTpCard, typed);
    w->dpkData->SetDate(kDay);
    w->dbgPadrao->setFocus();
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, message);
    QVERIFY(kivtest::backInWindow(w));
    QTRY_VERIFY(w->edtCdTpCard->hasFocus());
    QVERIFY(!w->cdsAuxEfetivos->Active());
    QCOMPARE(headcountRows(w), QStringList());
    QVERIFY(!w->Carregando);
}

void TestEfetivos::loadShowsTheBranchMenuAndDay_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::newRow("comma") << QChar(u',');
    QTest::newRow("point") << QChar(u'.');
}

void TestEfetivos::loadShowsTheBranchMenuAndDay()
{
    QFETCH(QChar, separator);
    LocaleService::setDecimalSeparator(separator);
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, "1"));
    const QString half = QStringLiteral("10") + separator + u'5';
    const QString total = QStringLiteral("14") + separator + u'5';
    // Service order; the service missing from SERVICO.cds has no name; the
    // central system's "10.5" reads as ten and a half.
    QCOMPARE(headcountRows(w),
             (QStringList{headcountRow("00001", "DESJEJUM", "45", "3", "2", "50"),
                          headcountRow("00002", "ALMOÇO", half, "4", "0", total),
                          headcountRow("00003", "", "7", "1", "0", "8")}));
    QVERIFY(!w->Carregando);
    QCOMPARE(w->dbtNome->text(), QStringLiteral("DESJEJUM"));
    QVERIFY(w->tshFormulario->isEnabled());
    QVERIFY(w->sbtAlterar.Enabled());
    QVERIFY(w->sbtVerificar.Enabled());
    QVERIFY(!w->sbtIncluir.Enabled());
    QVERIFY(!w->sbtExcluir.Enabled());

    // Another day of the same menu type.
    QVERIFY(chooseHeader(w, kMenu, kOtherDay));
    QCOMPARE(headcountRows(w),
             QStringList{headcountRow("00001", "DESJEJUM", "40", "3", "2", "45")});
    // A day without headcounts: an empty grid and no message.
    QVERIFY(chooseHeader(w, kMenu, kDay.addDays(1)));
    QCOMPARE(headcountRows(w), QStringList());
    QVERIFY(!w->tshFormulario->isEnabled());
    QVERIFY(!w->sbtAlterar.Enabled());
    // Entering the header again empties the grid.
    w->edtCdTpCard->setFocus();
    QVERIFY(focusOn(w->edtCdTpCard));
    QVERIFY(!w->cdsAuxEfetivos->Active());
    QCOMPARE(headcountRows(w), QStringList());
}

void TestEfetivos::dateLookupListsEachDayOnce()
{
    QList<Headcount> rows = defaultHeadcounts();
    // A later day listed first in the file, and a day stored with a time.
    rows.prepend({kBranch, at(kDay.addDays(3), QTime(9, 30)), "00002", kMenu, "1", "0", "0"});
    m_dir->writeHeadcounts(rows);
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QTest::keyClicks(w->edtCdTpCard, QStringLiteral("1"));
    w->dpkData->setFocus();
    QVERIFY(focusOn(w->dpkData));

    QStringList listed;
    QString title;
    m_answerer->run([&](QWidget *dialog) {
        listed = listShown(dialog);
        title = dialog->windowTitle();
        // The last day, found by typing its start.
        auto *search = dialog->findChild<QLineEdit *>("edtPesquisa");
        QTest::keyClicks(search, LocaleService::dateToText(kDay.addDays(3)).left(5));
        QTest::keyClick(search, Qt::Key_Return);
    });
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(title, QStringLiteral("Data"));
    QCOMPARE(listed, (QStringList{LocaleService::dateToText(kOtherDay),
                                  LocaleService::dateToText(kDay),
                                  LocaleService::dateToText(kDay.addDays(3))}));
    QVERIFY(kivtest::backInWindow(w));
    QCOMPARE(w->dpkData->Date(), kDay.addDays(3));
    QTRY_VERIFY(w->dpkData->hasFocus());
    // Nothing loads until the header is left; then the day stored with a
    // time of day is found.
    QVERIFY(!w->cdsAuxEfetivos->Active());
    w->dbgPadrao->setFocus();
    QVERIFY(focusOn(w->dbgPadrao));
    QCOMPARE(headcountRows(w), QStringList{headcountRow("00002", "ALMOÇO", "1", "0", "0", "1")});
}

void TestEfetivos::dateLookupWithoutHeadcounts()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    // The creche menu of Vila Nova is not this branch's: no dates at all
    // for a menu type this branch has without headcounts.
    m_dir->writeHeadcounts({defaultHeadcounts().first()});
    QTest::keyClicks(w->edtCdTpCard, kMenu);
    m_answerer->press("OK");
    w->btnData->click();
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text,
             QStringLiteral("Não há efetivos para o Tipo de Cardápio informado."));
}

void TestEfetivos::changedHeadcountIsReadBackByANewWindow_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("shown");
    QTest::newRow("comma, whole") << QChar(u',') << "5" << "5" << "5";
    QTest::newRow("comma, decimal typed with the comma") << QChar(u',') << "5,5" << "5,5" << "5,5";
    QTest::newRow("comma, decimal typed with the point") << QChar(u',') << "5.5" << "5,5" << "5,5";
    QTest::newRow("point, decimal typed with the point") << QChar(u'.') << "5.5" << "5.5" << "5.5";
}

void TestEfetivos::changedHeadcountIsReadBackByANewWindow()
{
    QFETCH(QChar, separator);
    QFETCH(QString, typed);
    QFETCH(QString, written);
    QFETCH(QString, shown);
    LocaleService::setDecimalSeparator(separator);
    const QStringList before = m_dir->headcountsOnDisk();
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    // DESJEJUM's employees, 3, are typed over.
    typeInto(w->dbgPadrao, 0, "QTFUNC", typed);
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Edit);
    QVERIFY(w->sbtConfirmar.Enabled());
    QVERIFY(!w->tshFormulario->isEnabled());
    QVERIFY(!w->dbnPadrao->isEnabled());
    // Leaving the cell brings the total up to date.
    press(Qt::Key_Tab);
    const double total = 45 + 2 + kiv::ConverteValorSemZero(typed);
    QCOMPARE(w->cdsAuxEfetivos->FieldByName("QTCOMEFETCAR")->AsFloat(), total);
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Browse);

    // Only that record changed, written in the shortest form with the
    // workstation's separator; the others keep their texts ("10.5").
    QStringList expected = before;
    expected[2] = QStringLiteral("0001 2026-12-09T00:00:00Z 00001 0000000001 45 %1 2").arg(written);
    QCOMPARE(m_dir->headcountsOnDisk(), expected);

    delete m_window;
    TfrmEfetivos *again = openWindow();
    QVERIFY(again);
    QVERIFY(chooseHeader(again, kMenu));
    QCOMPARE(headcountRows(again).first(),
             headcountRow("00001", "DESJEJUM", "45", shown, "2",
                          kiv::FloatToStr(total)));
}

void TestEfetivos::keyFilterOfTheQuantityCells_data()
{
    QTest::addColumn<bool>("clientsPage");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("cell");
    for (bool clients : {false, true}) {
        const char *page = clients ? "clients, " : "headcounts, ";
        QTest::addRow("%sa comma first", page) << clients << ",7" << "7";
        QTest::addRow("%sa second comma", page) << clients << "7,5,2" << "7,52";
        QTest::addRow("%sletters and signs", page) << clients << "7a-+e1" << "71";
        QTest::addRow("%sbackspace", page) << clients << "75\b" << "7";
    }
}

void TestEfetivos::keyFilterOfTheQuantityCells()
{
    QFETCH(bool, clientsPage);
    QFETCH(QString, keys);
    QFETCH(QString, cell);
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    TDBGrid *grid = clientsPage ? w->dbgClientes : w->dbgPadrao;
    if (clientsPage)
        QVERIFY(choosePage(w, true));
    QVERIFY(goToCell(grid, 0, "QTCLIENTE"));
    for (QChar c : keys) {
        if (c == u'\b')
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
        else
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
    }
    QCOMPARE(GridText(grid, "QTCLIENTE"), cell);
}

void TestEfetivos::emptyQuantityIsRefused()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    const QStringList before = m_dir->headcountsOnDisk();
    QVERIFY(goToCell(w->dbgPadrao, 0, "QTDOACAO"));
    QTest::keyClick(w->dbgPadrao, Qt::Key_F2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_End);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    m_answerer->press("OK").press("OK");
    press(Qt::Key_Tab);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, QStringLiteral("Quantidade deve ser informada."));
    QVERIFY(kivtest::backInWindow(w));
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Edit);
    // Confirm refuses it too, and writes nothing.
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_answerer->waitFor(2));
    QCOMPARE(m_answerer->at(1).text, QStringLiteral("Quantidade deve ser informada."));
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Edit);
    QCOMPARE(m_dir->headcountsOnDisk(), before);
}

void TestEfetivos::rowsAreNeverAddedOrRemoved()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    const QStringList rows = headcountRows(w);
    const QByteArray file = m_dir->bytes("EFETIVOS.cds");
    QVERIFY(!w->sbtIncluir.Enabled());
    QVERIFY(!w->sbtExcluir.Enabled());
    QVERIFY(goToCell(w->dbgPadrao, 2, "QTCLIENTE"));
    press(Qt::Key_Down);
    press(Qt::Key_Insert);
    // Ctrl+Delete asks nothing and removes nothing.
    press(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(headcountRows(w), rows);
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Browse);
    QCOMPARE(m_dir->bytes("EFETIVOS.cds"), file);
}

void TestEfetivos::cancelAsksAndNoKeepsWhatWasTyped()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    typeInto(w->dbgPadrao, 0, "QTCLIENTE", "46");
    press(Qt::Key_Tab);
    m_answerer->press("Não");
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, w->msgMensagensPadroes.Msg("Canc"));
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Edit);
    QCOMPARE(w->cdsAuxEfetivos->FieldByName("QTCLIENTE")->AsString(), QStringLiteral("46"));
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(2));
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Browse);
    QCOMPARE(headcountRows(w).first(), headcountRow("00001", "DESJEJUM", "45", "3", "2", "50"));
}

void TestEfetivos::leavingForTheHeaderStoresTheRow()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    typeInto(w->dbgPadrao, 0, "QTCLIENTE", "46");
    // The focus goes back to the header: the row is stored on the way.
    w->edtCdTpCard->setFocus();
    QVERIFY(focusOn(w->edtCdTpCard));
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00001 0000000001 46 3 2"));
    QVERIFY(!w->cdsAuxEfetivos->Active());
}

void TestEfetivos::changeStartsEditingOnAQuantityCell_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::newRow("service code") << "CDSERVFILI" << "QTCLIENTE";
    QTest::newRow("service name") << "NMSERVICO" << "QTCLIENTE";
    QTest::newRow("total") << "QTCOMEFETCAR" << "QTCLIENTE";
    QTest::newRow("a quantity stays") << "QTFUNC" << "QTFUNC";
}

void TestEfetivos::changeStartsEditingOnAQuantityCell()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    QVERIFY(goToCell(w->dbgPadrao, 1, from));
    QVERIFY(w->sbtAlterar.Enabled());
    QVERIFY(w->sbtProcurar.Enabled());
    QVERIFY(!w->sbtConfirmar.Enabled());
    QVERIFY(!w->sbtCancelar.Enabled());
    QVERIFY(command(w->sbtAlterar));
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Edit);
    QCOMPARE(w->cdsAuxEfetivos->RecNo(), 2);
    QVERIFY(w->dbgPadrao->SelectedField());
    QCOMPARE(w->dbgPadrao->SelectedField()->FieldName(), to);
    // While the row is edited: Confirm and Cancel only, no navigator and
    // no "Clientes" page.
    QVERIFY(w->sbtConfirmar.Enabled());
    QVERIFY(w->sbtCancelar.Enabled());
    for (const TCommand *c : {&w->sbtAlterar, &w->sbtProcurar, &w->sbtVerificar})
        QVERIFY2(!c->Enabled(), qPrintable(c->menu->objectName()));
    QVERIFY(!w->dbnPadrao->isEnabled());
    QVERIFY(!w->tshFormulario->isEnabled());
    QVERIFY(!w->mnuFormulario->isEnabled());
    QVERIFY(w->tshFolhaDados->isEnabled());
    QVERIFY(w->mnuFolhaDados->isEnabled());

    // Confirm of an unchanged row stores it as it was.
    const QStringList before = m_dir->headcountsOnDisk();
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Browse);
    QVERIFY(w->sbtAlterar.Enabled());
    QVERIFY(w->dbnPadrao->isEnabled());
    QVERIFY(w->tshFormulario->isEnabled());
    QCOMPARE(headcountRows(w), (QStringList{headcountRow("00001", "DESJEJUM", "45", "3", "2", "50"),
                                            headcountRow("00002", "ALMOÇO", "10,5", "4", "0",
                                                         "14,5"),
                                            headcountRow("00003", "", "7", "1", "0", "8")}));
    QCOMPARE(m_dir->headcountsOnDisk().size(), before.size());
}

void TestEfetivos::gridIsGreyInTheHeaderAndTintedOnceLoaded()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    const QColor face = w->palette().color(QPalette::Button);
    const QColor tint = w->palette().color(QPalette::ToolTipBase);
    QCOMPARE(w->dbgPadrao->palette().color(QPalette::Base), face);
    QCOMPARE(w->dbgClientes->palette().color(QPalette::Base), tint);
    QVERIFY(chooseHeader(w, kMenu));
    QCOMPARE(w->dbgPadrao->palette().color(QPalette::Base), tint);
    w->edtCdTpCard->setFocus();
    QVERIFY(focusOn(w->edtCdTpCard));
    QCOMPARE(w->dbgPadrao->palette().color(QPalette::Base), face);
}

// ALMOÇO's clients were written by the central system as "10.5": a change
// of that row writes them back in the workstation's form.
void TestEfetivos::changedRowOfAPointTextIsWrittenWithTheComma()
{
    LocaleService::setDecimalSeparator(u',');
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    typeInto(w->dbgPadrao, 1, "QTFUNC", "5");
    press(Qt::Key_Tab);
    QCOMPARE(headcountRows(w)[1], headcountRow("00002", "ALMOÇO", "10,5", "5", "0", "15,5"));
    QVERIFY(command(w->sbtConfirmar));
    const QStringList disk = m_dir->headcountsOnDisk();
    QVERIFY2(disk.contains("0001 2026-12-09T00:00:00Z 00002 0000000001 10,5 5 0"),
             qPrintable(disk.join(u'\n')));
    QVERIFY(disk.contains("0001 2026-12-09T00:00:00Z 00001 0000000001 45 3 2"));
    // The record's other fields are carried as they were.
    TableDecl decl = RecordedTables::efetivos();
    const auto stored = m_dir->load(decl);
    QVERIFY(stored->Locate("CDFILIAL;CDSERVFILI;CDTIPOCARD",
                           QVariantList{kBranch, "00002", kMenu}));
    QCOMPARE(stored->FieldByName("CDFILCENT")->AsString(), QStringLiteral("0900"));
    QCOMPARE(stored->FieldByName("NRCARDPME")->AsString(), QStringLiteral("49"));
    QCOMPARE(stored->FieldByName("NRCDIAPME")->AsString(), QStringLiteral("3"));
    QCOMPARE(stored->FieldByName("FILSETPCDT")->AsString(), kBranch + "00002" + kMenu);
    QCOMPARE(stored->RecordCount(), defaultHeadcounts().size());
}

void TestEfetivos::menuTypeLookupWithoutTypesForTheBranch()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    // The lookup reads the file again: only another branch's type is left.
    m_dir->write(RefTables::tipoCard(), {{{"CDFILIAL", kOtherBranch},
                                          {"CDTIPOCARD", "0000000003"},
                                          {"NMTIPOCARD", "EJA NOTURNO"}}});
    m_answerer->press("OK");
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, QStringLiteral("Não há Tipo de Cardápio cadastrado."));
    QVERIFY(kivtest::backInWindow(w));
    QVERIFY(w->edtCdTpCard->Text().isEmpty());
}

void TestEfetivos::findActsOnTheHeadcountRows()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    QString title;
    m_answerer->run([&](QWidget *dialog) {
        title = dialog->windowTitle();
        dialog->close();
    });
    QVERIFY(command(w->sbtProcurar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(title, QStringLiteral("Procurar"));
    QVERIFY(kivtest::backInWindow(w));
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Browse);
}

void TestEfetivos::dateLookupChecksTheMenuType_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty") << "" << "Tipo de cardápio deve ser informado.";
    QTest::newRow("not registered") << "9" << "Tipo de cardápio não cadastrado.";
}

void TestEfetivos::dateLookupChecksTheMenuType()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QTest::keyClicks(w->edtCdTpCard, typed);
    w->dpkData->setFocus();
    QVERIFY(focusOn(w->dpkData));
    m_answerer->press("OK");
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, message);
    QVERIFY(kivtest::backInWindow(w));
    QTRY_VERIFY(w->edtCdTpCard->hasFocus());
    QVERIFY(!w->cdsAuxEfetivos->Active());
}

void TestEfetivos::dateLookupLeftWithoutAChoice()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QTest::keyClicks(w->edtCdTpCard, QStringLiteral("1"));
    w->dpkData->SetDate(kOtherDay);
    w->dpkData->setFocus();
    QVERIFY(focusOn(w->dpkData));
    QStringList columns;
    m_answerer->run([&](QWidget *dialog) {
        auto *grid = dialog->findChild<QAbstractItemView *>(QStringLiteral("dbgPesquisa"));
        if (grid)
            for (int c = 0; c < grid->model()->columnCount(); ++c)
                columns << grid->model()->headerData(c, Qt::Horizontal).toString();
        dialog->close();
    });
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(1));
    // The day text is the only column.
    QCOMPARE(columns, QStringList{"Data de Efetivos"});
    QVERIFY(kivtest::backInWindow(w));
    QCOMPARE(w->dpkData->Date(), kOtherDay);
    QVERIFY(!w->cdsAuxEfetivos->Active());
}

// Verify on the "Clientes" page reads the headcounts again and shows the
// breakdown of the first service.
void TestEfetivos::verifyOnTheClientsPage()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    QVERIFY(choosePage(w, true));
    QCOMPARE(breakdownRows(w).size(), 2);
    QVERIFY(w->sbtVerificar.Enabled());
    QList<Headcount> rows = defaultHeadcounts();
    rows[2].staff = QStringLiteral("9");
    m_dir->writeHeadcounts(rows);
    QVERIFY(command(w->sbtVerificar));
    QCOMPARE(w->pgcPadrao->ActivePage(), w->tshFormulario);
    QCOMPARE(headcountRows(w).first(), headcountRow("00001", "DESJEJUM", "45", "9", "2", "56"));
    QCOMPARE(breakdownRows(w).size(), 2);
    QCOMPARE(w->dbtNome->text(), QStringLiteral("DESJEJUM"));
    QVERIFY(w->sbtAlterar.Enabled());
    QVERIFY(w->dbnPadrao->isEnabled());
}

void TestEfetivos::missingFileStopsTheLoad_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("headcounts") << "EFETIVOS.cds";
    QTest::newRow("breakdowns") << "EFETCLIE.cds";
    QTest::newRow("services") << "SERVICO.cds";
}

// The table store's error is shown, nothing is loaded, and the window is
// ready for the next load once the file is back.
void TestEfetivos::missingFileStopsTheLoad()
{
    QFETCH(QString, file);
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(QFile::rename(m_dir->filePath(file), m_dir->filePath(file + ".bak")));
    m_answerer->press("OK");
    chooseHeader(w, kMenu);
    QVERIFY(m_answerer->waitFor(1));
    QVERIFY2(m_answerer->at(0).text.contains(file, Qt::CaseInsensitive),
             qPrintable(m_answerer->at(0).text));
    QVERIFY(kivtest::backInWindow(w));
    QVERIFY(!w->Carregando);
    QCOMPARE(headcountRows(w), QStringList());
    QVERIFY(!w->tshFormulario->isEnabled());

    QVERIFY(QFile::rename(m_dir->filePath(file + ".bak"), m_dir->filePath(file)));
    QVERIFY(chooseHeader(w, kMenu));
    QCOMPARE(headcountRows(w).size(), 3);
}

// The record of a row has gone from the file since the window loaded it
// (another program rewrote it): the change is refused and no other record
// takes its numbers.
void TestEfetivos::vanishedRecordIsNotOverwritten()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    QList<Headcount> rows = defaultHeadcounts();
    rows.removeAt(2); // DESJEJUM of kDay
    m_dir->writeHeadcounts(rows);
    const QByteArray file = m_dir->bytes("EFETIVOS.cds");

    typeInto(w->dbgPadrao, 0, "QTCLIENTE", "46");
    m_answerer->press("OK");
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_answerer->waitFor(1));
    const QString message = m_answerer->at(0).text;
    QVERIFY2(message.contains("não foi encontrado"), qPrintable(message));
    QCOMPARE(m_dir->bytes("EFETIVOS.cds"), file);
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Edit);
    QCOMPARE(w->cdsAuxEfetivos->FieldByName("QTCLIENTE")->AsString(), QStringLiteral("46"));
}

// A store that cannot write keeps the row being edited with what was
// typed, even when the focus was on its way to the header (whose entry
// closes the table).
void TestEfetivos::failedStoreKeepsWhatWasTyped()
{
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    const QByteArray file = m_dir->bytes("EFETIVOS.cds");
    // The file cannot be read or replaced while a directory stands in its
    // place.
    QVERIFY(QFile::rename(m_dir->filePath("EFETIVOS.cds"), m_dir->filePath("EFETIVOS.bak")));
    QVERIFY(QDir(m_dir->path()).mkdir("EFETIVOS.cds"));

    typeInto(w->dbgPadrao, 0, "QTCLIENTE", "46");
    m_answerer->press("OK");
    w->edtCdTpCard->setFocus();
    QVERIFY(m_answerer->waitFor(1));
    QVERIFY(kivtest::backInWindow(w));
    QVERIFY(w->cdsAuxEfetivos->Active());
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Edit);
    QCOMPARE(w->cdsAuxEfetivos->FieldByName("QTCLIENTE")->AsString(), QStringLiteral("46"));
    QTRY_VERIFY(w->dbgPadrao->hasFocus() || w->dbgPadrao->isAncestorOf(focused()));

    // Once the file is back, Confirm stores what was typed.
    QVERIFY(QDir(m_dir->path()).rmdir("EFETIVOS.cds"));
    QVERIFY(QFile::rename(m_dir->filePath("EFETIVOS.bak"), m_dir->filePath("EFETIVOS.cds")));
    QCOMPARE(m_dir->bytes("EFETIVOS.cds"), file);
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Browse);
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00001 0000000001 46 3 2"));
}

void TestEfetivos::badTextOfAnotherBranchDoesNotStopTheLoad()
{
    QList<Headcount> rows = defaultHeadcounts();
    rows[0].clients = QStringLiteral("doze");
    rows.append({kBranch, at(kOtherDay), "00002", kMenu, "1,2,3", "0", "0"});
    m_dir->writeHeadcounts(rows);
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    QCOMPARE(headcountRows(w).size(), 3);
    // And the rows are stored as usual: the other branch's text stays.
    typeInto(w->dbgPadrao, 0, "QTCLIENTE", "46");
    QVERIFY(command(w->sbtConfirmar));
    const QStringList disk = m_dir->headcountsOnDisk();
    QVERIFY(disk.contains("0001 2026-12-09T00:00:00Z 00001 0000000001 46 3 2"));
    QVERIFY(disk.contains("0002 2026-12-09T00:00:00Z 00001 0000000001 doze 1 1"));
}

// A shown row whose text does not read stops the load with a message that
// names the row; the window is left as it was before the load, so the
// stores after it write their rows as usual.
void TestEfetivos::badTextOfAShownRowNamesItsRow()
{
    QList<Headcount> rows = defaultHeadcounts();
    rows[3].staff = QStringLiteral("4 a");
    m_dir->writeHeadcounts(rows);
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    m_answerer->press("OK");
    // Leaving the header loads; the load refuses the row on the way.
    chooseHeader(w, kMenu);
    QVERIFY(m_answerer->waitFor(1));
    const QString text = m_answerer->at(0).text;
    QVERIFY2(text.contains("4 a") && text.contains("00002") && text.contains("Funcionários"),
             qPrintable(text));
    QVERIFY(kivtest::backInWindow(w));
    QVERIFY(!w->Carregando);
    QVERIFY(!w->cdsAuxEfetivos->ControlsDisabled());
    QCOMPARE(headcountRows(w), QStringList());

    // Another day loads and stores as usual.
    QVERIFY(chooseHeader(w, kMenu, kOtherDay));
    QCOMPARE(headcountRows(w).size(), 1);
    typeInto(w->dbgPadrao, 0, "QTCLIENTE", "41");
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-07T00:00:00Z 00001 0000000001 41 3 2"));
}

void TestEfetivos::headcountStoredWithATimeOfDayIsFoundByItsDay()
{
    QList<Headcount> rows = defaultHeadcounts();
    rows[2].date = at(kDay, QTime(7, 15));
    m_dir->writeHeadcounts(rows);
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kMenu));
    QCOMPARE(headcountRows(w).size(), 3);
    QCOMPARE(headcountRows(w).first(), headcountRow("00001", "DESJEJUM", "45", "3", "2", "50"));
    // Stored back into its own record, time of day kept.
    typeInto(w->dbgPadrao, 0, "QTCLIENTE", "46");
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T07:15:00Z 00001 0000000001 46 3 2"));
}

// The demonstration directory: the creche menu of the pilot kitchen shows
// a service without clients and one missing from SERVICO.cds; donations
// written with a point and with a comma read alike; the breakdown of
// yesterday adds up to its headcount, and a new breakdown takes the pilot
// kitchen's central branch although Vila Nova's records open the file.
void TestEfetivos::demoDirectoryMeetsEachRule()
{
    const QDate today = QDate::currentDate();
    DemoData::writeDemoDirectory(m_dir->path(), today);
    TfrmEfetivos *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseHeader(w, kCrecheMenu, today));
    QStringList services;
    for (const QString &row : headcountRows(w))
        services << row.section(u'|', 0, 1);
    QCOMPARE(services, (QStringList{"00004|ALMOÇO CRECHE", "00009|"}));
    QVERIFY(choosePage(w, true));
    QCOMPARE(breakdownRows(w), QStringList());

    for (int day : {-3, -2}) {
        QVERIFY(chooseHeader(w, kMenu, today.addDays(day)));
        const QString donations = headcountRows(w).first().section(u'|', 4, 4);
        QVERIFY2(donations.endsWith(",5"), qPrintable(donations));
    }

    // Yesterday's breakdown holds its headcount's clients.
    QVERIFY(chooseHeader(w, kMenu, today.addDays(-1)));
    typeInto(w->dbgPadrao, 0, "QTCLIENTE", "1");
    m_answerer->press("OK").press("Sim");
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, w->msgPadrao.Msg("Som_Cli_Dif"));
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(2));

    // Today's is generated with the pilot kitchen's central branch.
    QVERIFY(chooseHeader(w, kMenu, today));
    QVERIFY(choosePage(w, true));
    QCOMPARE(breakdownRows(w).size(), 2);
    TableDecl decl = RecordedTables::efetClie();
    const auto stored = m_dir->load(decl);
    stored->SetFilter(QStringLiteral("CDFILIAL = '0001' AND DTPROGENTR = ")
                      + QuotedStr(LocaleService::dateToText(today)));
    stored->SetFiltered(true);
    QCOMPARE(stored->RecordCount(), 2);
    for (stored->First(); !stored->Eof(); stored->Next())
        QCOMPARE(stored->FieldByName("CDFILCENT")->AsString(), QStringLiteral("0900"));
}

QTEST_MAIN(TestEfetivos)
#include "tst_efetivos.moc"
