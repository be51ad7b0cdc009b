#include "basewindows.h"
#include "dbgrid.h"
#include "dbnavigator.h"
#include "dialoganswerer.h"
#include "efetivosfixture.h"
#include "localeservice.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "table.h"
#include "taskwindow.h"
#include "textroutines.h"
#include "tfrmefetivos.h"
#include "tfrmprincipal.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <memory>


using namespace kiv;
using namespace headcount;
using kivtest::command;
using kivtest::press;

namespace {

const QString kAlvorada = QStringLiteral("ESCOLA MUNICIPAL ALVORADA");
const QString kBelaVista = QStringLiteral("ESCOLA MUNICIPAL BELA VISTA");

QString clientRow(const QString &name, const QString &clients, const QString &staff,
                  const QString &donations)
{
    return QStringList{name, clients, staff, donations}.join(u'|');
}

ClientRow breakdown(const QString &code, const QString &name, const QString &clients,
                    const QString &staff, const QString &donations)
{
    return {kBranch, kMenu, "00001", kDay, code, name, clients, staff, donations};
}

using WriteLimit = kivtest::FileSizeLimit;

} // namespace

class TestEfetivosClientes : public QObject, private kivtest::WindowTest<TfrmEfetivos, DataDir>
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void breakdownIsGeneratedOnceWithZeros();
    void serviceWithoutClientsGivesAnEmptyPage();
    void breakdownSumsAreCarriedIntoTheHeadcount();
    void headcountDifferingFromTheBreakdownIsRefused_data();
    void headcountDifferingFromTheBreakdownIsRefused();
    void sumsAreComparedAtTheTextsPrecision();
    void breakdownAndHeadcountAreWrittenTogether();
    void failedGenerationLeavesLaterStoresWorking();
    void emptyQuantityOfAClientIsRefused();
    void noClientRowIsAddedOrRemoved();
    void navigatorShowsTheBreakdownOfEachService();
    void changeAndCancelActOnTheClientRow();
    void leavingForTheHeaderStoresTheClientRow();

private:
    TfrmEfetivos *openOnDesjejum();
    bool storeClient(int row, const QString &field, const QString &text);
};

void TestEfetivosClientes::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Kiv - School Meals"));
}

void TestEfetivosClientes::init()
{
    startTest();
    m_dir = std::make_unique<DataDir>();
}

void TestEfetivosClientes::cleanup()
{
    endTest();
}

// The window on the session branch, menu kMenu and day kDay, the headcount
// grid on DESJEJUM (45/3/2).
TfrmEfetivos *TestEfetivosClientes::openOnDesjejum()
{
    m_principal = kivtest::startMainWindow({.branch = kBranch, .branchName = "COZINHA PILOTO"});
    if (!m_principal)
        return nullptr;
    m_window = new TfrmEfetivos(m_principal->CurrentSession());
    m_window->Create();
    if (!kivtest::showActive(m_window) || !kivtest::focusOn(m_window->edtCdTpCard)
        || !chooseHeader(m_window, kMenu) || m_window->cdsAuxEfetivos->RecordCount() == 0)
        return nullptr;
    return m_window;
}

bool TestEfetivosClientes::storeClient(int row, const QString &field, const QString &text)
{
    typeInto(m_window->dbgClientes, row, field, text);
    return command(m_window->sbtConfirmar);
}

void TestEfetivosClientes::breakdownIsGeneratedOnceWithZeros()
{
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    const QStringList headcounts = m_dir->headcountsOnDisk();
    FileReplacements breakdownWrites(m_dir->path(), "EFETCLIE.cds");
    FileReplacements headcountWrites(m_dir->path(), "EFETIVOS.cds");
    QVERIFY(choosePage(w, true));
    QTRY_VERIFY(w->dbgClientes->hasFocus());
    // One row per client of the service, in name order, all at zero.
    QCOMPARE(breakdownRows(w), (QStringList{clientRow(kAlvorada, "0", "0", "0"),
                                            clientRow(kBelaVista, "0", "0", "0")}));
    // Written once for the whole breakdown; the central branch is that of
    // the headcount broken down, not of the file's first record (Vila
    // Nova's); the headcount stays as it was.
    QCOMPARE(m_dir->breakdownOnDisk(), (QStringList{"00001 2001 0 0 0 0900",
                                                    "00001 2002 0 0 0 0900"}));
    if (breakdownWrites.count() >= 0)
        QCOMPARE(breakdownWrites.count(), 1);
    QCOMPARE(m_dir->headcountsOnDisk(), headcounts);
    {
        TableDecl decl = RecordedTables::efetClie();
        decl.indexFieldNames.clear();
        const auto stored = m_dir->load(decl);
        QStringList written;
        for (stored->First(); !stored->Eof(); stored->Next())
            written << QStringList{
                stored->FieldByName("NMCLIENTE")->AsString(),
                stored->FieldByName("DTPROGENTR")->AsDate().toString(Qt::ISODate),
                stored->FieldByName("FILTPCSEDT")->AsString()}
                           .join(u'|');
        const QString key = kBranch + kMenu + "00001" + LocaleService::dateToText(kDay);
        QCOMPARE(key.size(), 29);
        QCOMPARE(written, (QStringList{kAlvorada + "|2026-12-09|" + key,
                                       kBelaVista + "|2026-12-09|" + key}));
    }
    QVERIFY(headcountWrites.count() <= 0);

    // Opening the page again adds nothing and writes nothing.
    QVERIFY(choosePage(w, false));
    QVERIFY(choosePage(w, true));
    QCOMPARE(breakdownRows(w).size(), 2);
    QCOMPARE(m_dir->breakdownOnDisk().size(), 2);
    if (breakdownWrites.count() >= 0)
        QCOMPARE(breakdownWrites.count(), 1);
    // The command bar acts on the breakdown now.
    QVERIFY(w->sbtAlterar.Enabled());
    QVERIFY(!w->sbtIncluir.Enabled());
    QVERIFY(w->dbnPadrao->isEnabled());
}

void TestEfetivosClientes::serviceWithoutClientsGivesAnEmptyPage()
{
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    const QByteArray before = m_dir->bytes("EFETCLIE.cds");
    QVERIFY(goToCell(w->dbgPadrao, 1, "QTCLIENTE"));  // ALMOÇO
    QVERIFY(choosePage(w, true));
    QCOMPARE(breakdownRows(w), QStringList());
    QCOMPARE(m_dir->bytes("EFETCLIE.cds"), before);
    QVERIFY(!w->sbtAlterar.Enabled());
}

// 45 clients, 3 employees, 2 donations broken down: each stored client
// row sets the headcount to the sums, and both files are rewritten.
void TestEfetivosClientes::breakdownSumsAreCarriedIntoTheHeadcount()
{
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    QVERIFY(choosePage(w, true));
    QVERIFY(storeClient(0, "QTCLIENTE", "30"));
    QCOMPARE(w->cdsEfetCli->State(), DataSetState::Browse);
    QCOMPARE(headcountRows(w).first(), headcountRow("00001", "DESJEJUM", "30", "0", "0", "30"));
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00001 0000000001 30 0 0"));
    QCOMPARE(m_dir->breakdownOnDisk(), (QStringList{"00001 2001 30 0 0 0900",
                                                    "00001 2002 0 0 0 0900"}));
    QTRY_VERIFY(w->dbgClientes->hasFocus());

    QVERIFY(storeClient(1, "QTCLIENTE", "20"));
    QCOMPARE(headcountRows(w).first(), headcountRow("00001", "DESJEJUM", "50", "0", "0", "50"));
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00001 0000000001 50 0 0"));

    // Decimals and the other quantities follow the same way.
    QVERIFY(storeClient(1, "QTDOACAO", "1,5"));
    QCOMPARE(headcountRows(w).first(),
             headcountRow("00001", "DESJEJUM", "50", "0", "1,5", "51,5"));
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00001 0000000001 50 0 1,5"));

    // Every client back at zero: the headcount is zero too.
    QVERIFY(storeClient(0, "QTCLIENTE", "0"));
    QVERIFY(storeClient(1, "QTCLIENTE", "0"));
    QVERIFY(storeClient(1, "QTDOACAO", "0"));
    QCOMPARE(headcountRows(w).first(), headcountRow("00001", "DESJEJUM", "0", "0", "0", "0"));
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00001 0000000001 0 0 0"));
    // The other rows of the file keep their texts.
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00002 0000000001 10.5 4 0"));
}

void TestEfetivosClientes::headcountDifferingFromTheBreakdownIsRefused_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("clients") << "QTCLIENTE" << "40"
                             << "Somatória dos comensais dos clientes difere da distribuição de "
                                "clientes por serviço.";
    QTest::newRow("employees") << "QTFUNC" << "4"
                               << "Somatório dos comensais dos funcionários difere da "
                                  "distribuição de funcionários por serviço.";
    QTest::newRow("donations") << "QTDOACAO" << "1"
                               << "Somatório dos comensais das doações difere da distribuição "
                                  "de doações por serviço.";
    QTest::newRow("donations matching") << "QTDOACAO" << "2" << "";
    QTest::newRow("a quantity the breakdown leaves at zero")
        << "QTFUNC" << "7" << "";
}

void TestEfetivosClientes::headcountDifferingFromTheBreakdownIsRefused()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    // Clients 30 + 20, donations 2 + 0; employees left at zero unless the
    // row tests them.
    const QString staff = field == "QTFUNC" && !message.isEmpty() ? "2" : "0";
    m_dir->writeBreakdown({breakdown("2001", kAlvorada, "30", staff, "2"),
                           breakdown("2002", kBelaVista, "20", staff == "2" ? "1" : "0", "0")});
    QList<Headcount> rows = defaultHeadcounts();
    rows[2].clients = "50";
    m_dir->writeHeadcounts(rows);
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    const QStringList before = m_dir->headcountsOnDisk();
    typeInto(w->dbgPadrao, 0, field, typed);
    if (!message.isEmpty())
        m_answerer->press("OK");
    QVERIFY(command(w->sbtConfirmar));
    if (message.isEmpty()) {
        QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Browse);
        const QString stored = QStringLiteral("0001 2026-12-09T00:00:00Z 00001 0000000001 50 %1 %2")
                                   .arg(field == "QTFUNC" ? typed : "3",
                                        field == "QTDOACAO" ? typed : "2");
        QVERIFY2(m_dir->headcountsOnDisk().contains(stored), qPrintable(stored));
        return;
    }
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, message);
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Edit);
    QCOMPARE(w->cdsAuxEfetivos->FieldByName(field)->AsString(), typed);
    QVERIFY(kivtest::backInWindow(w));
    QTRY_VERIFY(w->dbgPadrao->hasFocus() || w->dbgPadrao->isAncestorOf(kivtest::focused()));
    QCOMPARE(m_dir->headcountsOnDisk(), before);
}

// Sums of decimal texts are compared at the precision the texts carry:
// 1,1 + 2,2 is the 3,3 of the headcount.
void TestEfetivosClientes::sumsAreComparedAtTheTextsPrecision()
{
    m_dir->writeBreakdown({breakdown("2001", kAlvorada, "1,1", "0", "0"),
                           breakdown("2002", kBelaVista, "2.2", "0", "0")});
    QList<Headcount> rows = defaultHeadcounts();
    rows[2].clients = "3,3";
    m_dir->writeHeadcounts(rows);
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    typeInto(w->dbgPadrao, 0, "QTFUNC", "5");
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Browse);
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00001 0000000001 3,3 5 2"));

    // A stored breakdown row carries sums written at that precision.
    QVERIFY(choosePage(w, true));
    QVERIFY(storeClient(0, "QTCLIENTE", "1,2"));
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00001 0000000001 3,4 0 0"));
}

// The breakdown row and the headcount it sets are written together: when
// the headcount's file cannot be written, neither file changes and the row
// keeps what was typed.
void TestEfetivosClientes::breakdownAndHeadcountAreWrittenTogether()
{
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    QVERIFY(choosePage(w, true));
    const QByteArray breakdownFile = m_dir->bytes("EFETCLIE.cds");
    QVERIFY(QFile::rename(m_dir->filePath("EFETIVOS.cds"), m_dir->filePath("EFETIVOS.bak")));
    QVERIFY(QDir(m_dir->path()).mkdir("EFETIVOS.cds"));
    typeInto(w->dbgClientes, 0, "QTCLIENTE", "30");
    m_answerer->press("OK");
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_dir->bytes("EFETCLIE.cds"), breakdownFile);
    QCOMPARE(w->cdsEfetCli->State(), DataSetState::Edit);
    QCOMPARE(w->cdsEfetCli->FieldByName("QTCLIENTE")->AsString(), QStringLiteral("30"));
    QCOMPARE(headcountRows(w).first(), headcountRow("00001", "DESJEJUM", "45", "3", "2", "50"));

    QVERIFY(QDir(m_dir->path()).rmdir("EFETIVOS.cds"));
    QVERIFY(QFile::rename(m_dir->filePath("EFETIVOS.bak"), m_dir->filePath("EFETIVOS.cds")));
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(w->cdsEfetCli->State(), DataSetState::Browse);
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00001 0000000001 30 0 0"));
    QVERIFY(m_dir->breakdownOnDisk().contains("00001 2001 30 0 0 0900"));
}

// A generation whose write fails keeps nothing of it, and the breakdown
// stores after it carry their sums as usual.
void TestEfetivosClientes::failedGenerationLeavesLaterStoresWorking()
{
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    {
        const WriteLimit full(QFileInfo(m_dir->filePath("EFETCLIE.cds")).size());
        m_answerer->press("OK");
        QVERIFY(choosePage(w, true));
        QVERIFY(m_answerer->waitFor(1));
    }
    QVERIFY(kivtest::backInWindow(w));
    QCOMPARE(breakdownRows(w), QStringList());
    QCOMPARE(m_dir->breakdownOnDisk(), QStringList());
    QCOMPARE(w->GerandoClientes, QStringLiteral("N"));

    QVERIFY(choosePage(w, false));
    QVERIFY(choosePage(w, true));
    QCOMPARE(breakdownRows(w).size(), 2);
    QVERIFY(storeClient(0, "QTCLIENTE", "30"));
    QCOMPARE(headcountRows(w).first(), headcountRow("00001", "DESJEJUM", "30", "0", "0", "30"));
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00001 0000000001 30 0 0"));
}

void TestEfetivosClientes::emptyQuantityOfAClientIsRefused()
{
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    QVERIFY(choosePage(w, true));
    QVERIFY(goToCell(w->dbgClientes, 0, "QTDOACAO"));
    QTest::keyClick(w->dbgClientes, Qt::Key_F2);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backspace);
    m_answerer->press("OK").press("OK");
    press(Qt::Key_Tab, Qt::ShiftModifier);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, QStringLiteral("Quantidade deve ser informada."));
    QVERIFY(kivtest::backInWindow(w));
    QCOMPARE(w->cdsEfetCli->State(), DataSetState::Edit);
    // The "Efetivos" page and the headcount rows wait until the row is
    // finished or cancelled.
    QVERIFY(!w->dbnPadrao->isEnabled());
    QVERIFY(!w->tshFolhaDados->isEnabled());
    QVERIFY(!w->mnuFolhaDados->isEnabled());
    const QStringList before = m_dir->breakdownOnDisk();
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_answerer->waitFor(2));
    QCOMPARE(m_answerer->at(1).text, QStringLiteral("Quantidade deve ser informada."));
    QCOMPARE(m_dir->breakdownOnDisk(), before);
}

void TestEfetivosClientes::noClientRowIsAddedOrRemoved()
{
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    QVERIFY(choosePage(w, true));
    const QByteArray file = m_dir->bytes("EFETCLIE.cds");
    QVERIFY(goToCell(w->dbgClientes, 1, "QTCLIENTE"));
    press(Qt::Key_Down);
    press(Qt::Key_Insert);
    press(Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(breakdownRows(w).size(), 2);
    QCOMPARE(w->cdsEfetCli->State(), DataSetState::Browse);
    QCOMPARE(m_dir->bytes("EFETCLIE.cds"), file);
}

void TestEfetivosClientes::navigatorShowsTheBreakdownOfEachService()
{
    m_dir->writeBreakdown({breakdown("2001", kAlvorada, "45", "3", "2")});
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    QVERIFY(choosePage(w, true));
    QCOMPARE(breakdownRows(w), QStringList{clientRow(kAlvorada, "45", "3", "2")});
    // The next service has no breakdown: an empty page, nothing generated.
    w->dbnPadrao->BtnClick(nbNext);
    QCOMPARE(w->dbtNome->text(), QStringLiteral("ALMOÇO"));
    QCOMPARE(breakdownRows(w), QStringList());
    w->dbnPadrao->BtnClick(nbPrior);
    QCOMPARE(breakdownRows(w), QStringList{clientRow(kAlvorada, "45", "3", "2")});
    QCOMPARE(m_dir->breakdownOnDisk().size(), 1);
}

void TestEfetivosClientes::changeAndCancelActOnTheClientRow()
{
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    QVERIFY(choosePage(w, true));
    const QByteArray breakdownFile = m_dir->bytes("EFETCLIE.cds");
    const QByteArray headcountFile = m_dir->bytes("EFETIVOS.cds");
    QVERIFY(goToCell(w->dbgClientes, 1, "NMCLIENTE"));
    QVERIFY(command(w->sbtAlterar));
    QCOMPARE(w->cdsEfetCli->State(), DataSetState::Edit);
    QCOMPARE(w->cdsAuxEfetivos->State(), DataSetState::Browse);
    QCOMPARE(w->dbgClientes->SelectedField()->FieldName(), QStringLiteral("QTCLIENTE"));
    QVERIFY(w->sbtConfirmar.Enabled());
    QVERIFY(w->sbtCancelar.Enabled());
    QVERIFY(!w->sbtAlterar.Enabled());
    QVERIFY(!w->tshFolhaDados->isEnabled());
    QVERIFY(!w->dbnPadrao->isEnabled());

    typeInto(w->dbgClientes, 1, "QTCLIENTE", "12");
    m_answerer->press("Não");
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, w->msgMensagensPadroes.Msg("Canc"));
    QCOMPARE(w->cdsEfetCli->State(), DataSetState::Edit);
    QCOMPARE(GridText(w->dbgClientes, "QTCLIENTE"), QStringLiteral("12"));
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(2));
    QCOMPARE(w->cdsEfetCli->State(), DataSetState::Browse);
    QCOMPARE(breakdownRows(w), (QStringList{clientRow(kAlvorada, "0", "0", "0"),
                                            clientRow(kBelaVista, "0", "0", "0")}));
    QVERIFY(w->tshFolhaDados->isEnabled());
    QVERIFY(w->dbnPadrao->isEnabled());
    QVERIFY(!w->sbtConfirmar.Enabled());
    QCOMPARE(m_dir->bytes("EFETCLIE.cds"), breakdownFile);
    QCOMPARE(m_dir->bytes("EFETIVOS.cds"), headcountFile);
}

// The focus goes back to the header while a client row is edited: the row
// is stored on the way, with the headcount it sets, and the header then
// closes the tables.
void TestEfetivosClientes::leavingForTheHeaderStoresTheClientRow()
{
    TfrmEfetivos *w = openOnDesjejum();
    QVERIFY(w);
    QVERIFY(choosePage(w, true));
    typeInto(w->dbgClientes, 0, "QTCLIENTE", "30");
    w->edtCdTpCard->setFocus();
    QVERIFY(kivtest::focusOn(w->edtCdTpCard));
    QCOMPARE(m_dir->breakdownOnDisk(), (QStringList{"00001 2001 30 0 0 0900",
                                                    "00001 2002 0 0 0 0900"}));
    QVERIFY(m_dir->headcountsOnDisk().contains(
        "0001 2026-12-09T00:00:00Z 00001 0000000001 30 0 0"));
    QVERIFY(!w->cdsAuxEfetivos->Active());
    QVERIFY(!w->cdsEfetCli->Active());
    QCOMPARE(w->pgcPadrao->ActivePage(), w->tshFolhaDados);
    QVERIFY(!w->tshFormulario->isEnabled());

    // Loaded again, the day shows what was stored.
    QVERIFY(chooseHeader(w, kMenu));
    QCOMPARE(headcountRows(w).first(), headcountRow("00001", "DESJEJUM", "30", "0", "0", "30"));
}

QTEST_MAIN(TestEfetivosClientes)
#include "tst_efetivos_clientes.moc"
