// The stock exit window: creation, numbering over every branch, and the
// header's operation and destination with their checks and lookups.

#include "basewindows.h"
#include "datetimepicker.h"
#include "dbnavigator.h"
#include "demodata.h"
#include "dialoganswerer.h"
#include "lansaidatests.h"
#include "localeservice.h"
#include "lookupdialogs.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "statusbar.h"
#include "table.h"
#include "tfrmlansaida.h"
#include "tfrmprincipal.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
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

Doc headerOnly(const QString &number, const QString &branch)
{
    return Doc{number, branch, QStringLiteral("52"), QStringLiteral("0,00000"), {}, {}};
}

// Types the start of a row's code in the lookup list and takes that row, or
// cancels the list when there is nothing to type.
void pickInList(QWidget *dialog, const QString &code)
{
    QWidget *target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
    if (code.isEmpty()) {
        QTest::keyClick(target, Qt::Key_Escape);
        return;
    }
    QTest::keyClicks(target, code);
    QTest::keyClick(target, Qt::Key_Return);
}

} // namespace

class TestLanSaida : public QObject, private kivtest::WindowTest<TfrmLanSaida, ExitDataDirectory>
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensFromTheMainWindowOnTheSessionBranch();
    void creationStopsAtAMissingFile_data();
    void creationStopsAtAMissingFile();
    void numberingOverEveryBranch_data();
    void numberingOverEveryBranch();
    void cancelledInsertionLeavesAGap();
    void operationCodeOnExit_data();
    void operationCodeOnExit();
    void destinationOnExit_data();
    void destinationOnExit();
    void destinationLookupByKind_data();
    void destinationLookupByKind();
    void sameOperationAgainKeepsTheDestination();
    void exitDateStartsAnEditOnlyFromTheOperator();
    void demoDirectoryOffersEveryKindOfExit_data();
    void demoDirectoryOffersEveryKindOfExit();

private:
    TfrmLanSaida *openWindow(const QList<Doc> &docs = {});
};

void TestLanSaida::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Kiv - School Meals"));
}

void TestLanSaida::init()
{
    startTest();
}

void TestLanSaida::cleanup()
{
    endTest();
}

TfrmLanSaida *TestLanSaida::openWindow(const QList<Doc> &docs)
{
    if (!m_dir)
        m_dir = std::make_unique<ExitDataDirectory>(docs);
    m_window = openExitWindow(m_principal);
    return m_window;
}

void TestLanSaida::opensFromTheMainWindowOnTheSessionBranch()
{
    QVERIFY(openWindow(
        {headerOnly("1", kOtherBranch), headerOnly("2", kBranch), headerOnly("3", kOtherBranch)}));
    delete m_window;
    m_principal->findChild<QAction *>("mnuLanSaida")->trigger();
    auto *w = qobject_cast<TfrmLanSaida *>(m_principal->TaskWindowInstance(TaskWindow::LanSaida));
    QVERIFY(w);
    m_window = w;
    QCOMPARE(w->objectName(), QString("TfrmLanSaida"));
    QCOMPARE(w->windowTitle(), QString("Lançamento de Saída"));
    QCOMPARE(NomeUnit(w), QString("KIS00300"));
    QCOMPARE(m_principal->stbStatus->PanelText(3), QString("KIS00300"));
    QCOMPARE(w->medCdFilial->Text(), kBranch);
    QCOMPARE(w->edtNmFilial->text(), kBranchName);
    QVERIFY(!w->medCdFilial->isEnabled() && !w->BtnPesquFilial->isEnabled());
    QVERIFY(!w->lblFilial->isEnabled());
    QCOMPARE(w->findChild<QLabel *>("lblSaida")->text(), QString("Saida"));
    QCOMPARE(w->findChild<QLabel *>("lblTotal")->text(), QString("Total da Nota"));
    QCOMPARE(w->lblDestino->text(), QString("Destino"));
    // The total is the items', never typed.
    QVERIFY(!w->MedTotal->isEnabled());

    // Only the session branch's document is shown; the numbering saw all.
    QCOMPARE(w->cdsLancSaid->RecordCount(), 1);
    QCOMPARE(header(w, "NRLANCNFS"), QString("2"));
    QCOMPARE(w->UltimoLancamento, QString("3"));
    QCOMPARE(w->dtpSaida->Date(), kExit);
    QCOMPARE(w->pgcLancSaid->ActivePage(), w->tshFormulario);
    QVERIFY(w->mnuFormulario->isChecked());
    QVERIFY(w->dtsPadrao->DataSet() == w->cdsLancSaid);
    QVERIFY(!w->sbtAjuda.Enabled() && !w->sbtImprimir.Enabled());
    QVERIFY(!w->sbtCancelar.Enabled() && !w->sbtConfirmar.Enabled());
    QVERIFY(w->mnuOrdenar->shortcut().isEmpty());
    // The operation list keeps to exit types for the window's life.
    QCOMPARE(w->cdsTipoOperac->Filter(), QString("IDENTTIPOP = 'S'"));
    QCOMPARE(w->cdsTipoOperac->RecordCount(), 5);

    QPointer<TfrmLanSaida> closing = w;
    QVERIFY(command(w->sbtFechar));
    QTRY_VERIFY(!closing);
    QCOMPARE(m_principal->stbStatus->PanelText(3), QString("KIS00000"));
    QVERIFY(!m_principal->TaskWindowInstance(TaskWindow::LanSaida));
}

void TestLanSaida::creationStopsAtAMissingFile_data()
{
    // The eight loads in their order: headers, operations, clients,
    // suppliers, branches, items, products, due dates.
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QStringList>("loaded");
    QTest::addColumn<QStringList>("notLoaded");
    QTest::newRow("the headers, first")
        << "LANCSAID.cds" << QStringList{} << QStringList{"cdsLancSaid", "cdsTipoOperac"};
    QTest::newRow("the branches, fifth")
        << "FILIAL.CDS" << QStringList{"cdsLancSaid", "cdsClientes", "cdsForneced"}
        << QStringList{"cdsFilial", "cdsProduto"};
    QTest::newRow("the products, seventh")
        << "PRODUTO.CDS" << QStringList{"cdsFilial", "cdsProduto"}
        << QStringList{"cdsPesqProduto", "cdsVenc"};
}

void TestLanSaida::creationStopsAtAMissingFile()
{
    QFETCH(QString, missing);
    QFETCH(QStringList, loaded);
    QFETCH(QStringList, notLoaded);
    m_dir = std::make_unique<ExitDataDirectory>(QList<Doc>{headerOnly("3", kBranch)});
    QVERIFY(QFile::remove(m_dir->filePath(missing)));
    m_answerer->press("OK");
    TfrmLanSaida *w = openWindow();
    QVERIFY(w);
    QCOMPARE(m_answerer->count(), 1);
    QVERIFY2(m_answerer->at(0).text.contains(missing), qPrintable(m_answerer->transcript()));
    // The window opens with what was done: nothing after the failing load.
    QVERIFY(w->isVisible());
    for (const QString &name : loaded)
        QVERIFY2(w->findChild<Table *>(name)->Active(), qPrintable(name));
    for (const QString &name : notLoaded)
        QVERIFY2(!w->findChild<Table *>(name)->Active(), qPrintable(name));
    QCOMPARE(w->UltimoLancamento, QString());
}

void TestLanSaida::numberingOverEveryBranch_data()
{
    QTest::addColumn<QList<Doc>>("docs");
    QTest::addColumn<QString>("next");
    QTest::newRow("no document yet") << QList<Doc>{} << "1";
    QTest::newRow("9 and 10 in another branch")
        << QList<Doc>{headerOnly("9", kOtherBranch), headerOnly("10", kOtherBranch)} << "11";
    QTest::newRow("greatest neither first nor ours")
        << QList<Doc>{headerOnly("2", kBranch), headerOnly("10", kOtherBranch),
                      headerOnly("9", kBranch)}
        << "11";
    QTest::newRow("numbers that are no integers are skipped")
        << QList<Doc>{headerOnly("A7", kOtherBranch), headerOnly("9", kBranch),
                      headerOnly("12,5", kOtherBranch)}
        << "10";
}

void TestLanSaida::numberingOverEveryBranch()
{
    QFETCH(QList<Doc>, docs);
    QFETCH(QString, next);
    TfrmLanSaida *w = openWindow(docs);
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Insert);
    QCOMPARE(header(w, "NRLANCNFS"), next);
    QVERIFY(w->medOperacao->hasFocus());
    QCOMPARE(w->dtpSaida->Date(), QDate::currentDate());
}

void TestLanSaida::cancelledInsertionLeavesAGap()
{
    TfrmLanSaida *w = openWindow({headerOnly("4", kOtherBranch)});
    QVERIFY(w);
    const auto before = m_dir->contents();
    QVERIFY(command(w->sbtIncluir));
    QCOMPARE(header(w, "NRLANCNFS"), QString("5"));
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QCOMPARE(w->cdsLancSaid->RecordCount(), 0);
    QCOMPARE(w->pgcLancSaid->ActivePage(), w->tshFormulario);
    // A change of the exit date on a branch without documents inserts one.
    w->dtpSaida->setFocus();
    QVERIFY(focusOn(w->dtpSaida));
    press(Qt::Key_Up);
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Insert);
    QCOMPARE(header(w, "NRLANCNFS"), QString("6"));
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QCOMPARE(m_dir->contents(), before);

    // A new window counts from the file again.
    delete m_window;
    w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QCOMPARE(header(w, "NRLANCNFS"), QString("5"));
}

void TestLanSaida::operationCodeOnExit_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("52 as typed") << "52"
                                 << "52"
                                 << "DOAÇÃO A ESCOLA"
                                 << "";
    QTest::newRow("empty passes on leaving") << ""
                                             << ""
                                             << ""
                                             << "";
    QTest::newRow("an entry type") << "01"
                                   << "01"
                                   << ""
                                   << "Tipo de operação não cadastrado.";
    QTest::newRow("unknown, padded") << "7"
                                     << "07"
                                     << ""
                                     << "Tipo de operação não cadastrado.";
    QTest::newRow("a quote typed") << "'"
                                   << "0'"
                                   << ""
                                   << "Tipo de operação não cadastrado.";
}

void TestLanSaida::operationCodeOnExit()
{
    QFETCH(QString, typed);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, message);
    TfrmLanSaida *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QVERIFY(focusOn(w->medOperacao));
    if (!message.isEmpty())
        m_answerer->press("OK");
    type(typed);
    press(Qt::Key_Tab);
    if (message.isEmpty()) {
        QVERIFY(focusOn(w->medDestino));
        QCOMPARE(m_answerer->count(), 0);
    } else {
        QVERIFY(m_answerer->waitFor(1));
        QCOMPARE(m_answerer->at(0).text, message);
        QVERIFY(focusOn(w->medOperacao));
    }
    QCOMPARE(header(w, "CDTIPOOPER"), code);
    QCOMPARE(header(w, "NMTIPOOPER"), name);
    QCOMPARE(w->cdsTipoOperac->Filter(), QString("IDENTTIPOP = 'S'"));
    QCOMPARE(w->cdsTipoOperac->RecordCount(), 5);
}

void TestLanSaida::destinationOnExit_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("registration");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("client") << "52" << kClient << kClient << "C200"
                            << "ESCOLA MUNICIPAL JARDIM"
                            << "";
    QTest::newRow("unknown client") << "52"
                                    << "123"
                                    << "123"
                                    << ""
                                    << ""
                                    << "Cliente não cadastrado.";
    QTest::newRow("a quote in the client's number") << "52"
                                                    << "55'666"
                                                    << "55'666"
                                                    << ""
                                                    << ""
                                                    << "Cliente não cadastrado.";
    QTest::newRow("supplier") << "53" << kSupplier << kSupplier << "F100"
                              << "CEREALISTA BOA SAFRA"
                              << "";
    QTest::newRow("unknown supplier") << "53"
                                      << "999"
                                      << "999"
                                      << ""
                                      << ""
                                      << "Fornecedor não cadastrado.";
    QTest::newRow("branch 12 stored as 0012") << "54"
                                              << "12"
                                              << "0012"
                                              << "0012"
                                              << "COZINHA LESTE"
                                              << "";
    QTest::newRow("the own branch") << "54"
                                    << "1"
                                    << "0001"
                                    << "0001" << kBranchName
                                    << "Filial de origem deve ser diferente da filial de "
                                       "destino.";
    QTest::newRow("unknown branch") << "54"
                                    << "99"
                                    << "0099"
                                    << ""
                                    << ""
                                    << "Filial não cadastrada.";
    QTest::newRow("a quote in the branch") << "54"
                                           << "1'"
                                           << "001'"
                                           << ""
                                           << ""
                                           << "Filial não cadastrada.";
}

void TestLanSaida::destinationOnExit()
{
    QFETCH(QString, operation);
    QFETCH(QString, typed);
    QFETCH(QString, registration);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, message);
    TfrmLanSaida *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QVERIFY(focusOn(w->medOperacao));
    type(operation);
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->medDestino));
    if (!message.isEmpty())
        m_answerer->press("OK");
    type(typed);
    press(Qt::Key_Tab);
    if (message.isEmpty()) {
        QVERIFY(focusOn(w->dtpSaida));
    } else {
        QVERIFY(m_answerer->waitFor(1));
        QCOMPARE(m_answerer->at(0).text, message);
        QVERIFY(focusOn(w->medDestino));
    }
    QCOMPARE(header(w, "NRINSJURNF"), registration);
    QCOMPARE(header(w, "CDORIGEM"), code);
    QCOMPARE(header(w, "NMORIGEM"), name);
    // Every list is whole again, whatever happened.
    QCOMPARE(w->cdsClientes->RecordCount(), 1);
    QCOMPARE(w->cdsForneced->RecordCount(), 1);
    QCOMPARE(w->cdsFilial->RecordCount(), 3);
}

void TestLanSaida::destinationLookupByKind_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("pick");
    QTest::addColumn<QString>("registration");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("F9, a client") << "52" << int(Qt::Key_F9) << "55" << kClient
                                  << "ESCOLA MUNICIPAL JARDIM"
                                  << "";
    QTest::newRow("F6, a supplier")
        << "53" << int(Qt::Key_F6) << "11" << kSupplier << "CEREALISTA BOA SAFRA"
        << "";
    QTest::newRow("the button, a branch")
        << "54" << 0 << kOtherBranch << kOtherBranch << "COZINHA SUL"
        << "";
    QTest::newRow("F9, the own branch")
        << "54" << int(Qt::Key_F9) << kBranch << kBranch << kBranchName
        << "Filial de origem deve ser diferente da filial de destino.";
    QTest::newRow("F9, the list cancelled") << "52" << int(Qt::Key_F9) << ""
                                            << ""
                                            << ""
                                            << "";
}

void TestLanSaida::destinationLookupByKind()
{
    QFETCH(QString, operation);
    QFETCH(int, key);
    QFETCH(QString, pick);
    QFETCH(QString, registration);
    QFETCH(QString, name);
    QFETCH(QString, message);
    TfrmLanSaida *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QVERIFY(focusOn(w->medOperacao));
    type(operation);
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->medDestino));
    m_answerer->run([pick](QWidget *dialog) { pickInList(dialog, pick); });
    if (!message.isEmpty())
        m_answerer->press("OK");
    if (key)
        press(Qt::Key(key));
    else
        w->btpDestino->click();
    QVERIFY(m_answerer->waitFor(message.isEmpty() ? 1 : 2));
    if (!message.isEmpty())
        QCOMPARE(m_answerer->at(1).text, message);
    QCOMPARE(header(w, "NRINSJURNF"), registration);
    QCOMPARE(header(w, "NMORIGEM"), name);
    QVERIFY(focusOn(!pick.isEmpty() && message.isEmpty() ? static_cast<QWidget *>(w->dtpSaida)
                                                         : w->medDestino));
    QVERIFY(!w->cdsFilial->Filtered());
}

void TestLanSaida::sameOperationAgainKeepsTheDestination()
{
    TfrmLanSaida *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QVERIFY(focusOn(w->medOperacao));
    type("52");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->medDestino));
    type(kClient);
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->dtpSaida));
    // The same operation picked again changes nothing.
    m_answerer->run([](QWidget *dialog) { pickInList(dialog, "52"); });
    w->btpTipoOperac->click();
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(header(w, "CDTIPOOPER"), QString("52"));
    QCOMPARE(header(w, "NRINSJURNF"), kClient);
    QCOMPARE(header(w, "NMORIGEM"), QString("ESCOLA MUNICIPAL JARDIM"));
    // Another one takes the destination with it.
    m_answerer->run([](QWidget *dialog) { pickInList(dialog, "51"); });
    w->btpTipoOperac->click();
    QVERIFY(m_answerer->waitFor(2));
    QCOMPARE(header(w, "CDTIPOOPER"), QString("51"));
    QCOMPARE(header(w, "NRINSJURNF"), QString());
    QCOMPARE(header(w, "NMORIGEM"), QString());
    QVERIFY(w->tshVenc->isEnabled() && w->mnuVencimento->isEnabled());
}

void TestLanSaida::exitDateStartsAnEditOnlyFromTheOperator()
{
    TfrmLanSaida *w = openWindow({headerOnly("3", kBranch)});
    QVERIFY(w);
    // Code moving the picker starts nothing.
    w->dtpSaida->SetDate(kExit.addDays(2));
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Browse);
    QVERIFY(!w->sbtConfirmar.Enabled());
    // A digit typed by the operator does; the stored date stays until the post.
    w->dtpSaida->setFocus();
    QVERIFY(focusOn(w->dtpSaida));
    type("1");
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Edit);
    QVERIFY(w->sbtConfirmar.Enabled() && w->sbtCancelar.Enabled());
    QCOMPARE(w->cdsLancSaid->FieldByName("DTSAIDA")->AsDate(), kExit);
    // The operation is chosen for a new document only.
    QVERIFY(!w->medOperacao->isEnabled() && !w->btpTipoOperac->isEnabled());
    QVERIFY(!w->lblOperacao->isEnabled());
    QVERIFY(!w->dbnPadrao->isEnabled());
}

void TestLanSaida::demoDirectoryOffersEveryKindOfExit_data()
{
    // The destination: a client's or supplier's key, whose registration
    // number the operator types, or a branch code.
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("partner");
    QTest::addColumn<bool>("dueDates");
    QTest::newRow("to a client, no due dates") << "11"
                                               << "C2001" << false;
    QTest::newRow("to a client, due dates") << "12"
                                            << "C2007" << true;
    QTest::newRow("to a supplier, due dates") << "13"
                                              << "F1002" << true;
    QTest::newRow("to a supplier, no due dates") << "16"
                                                 << "F1003" << false;
    QTest::newRow("to another branch, no due dates") << "14"
                                                     << "L2" << false;
    QTest::newRow("to another branch, due dates") << "17"
                                                  << "L2" << true;
}

void TestLanSaida::demoDirectoryOffersEveryKindOfExit()
{
    QFETCH(QString, operation);
    QFETCH(QString, partner);
    QFETCH(bool, dueDates);
    m_dir = std::make_unique<ExitDataDirectory>();
    kiv::DemoData::writeDemoDirectory(m_dir->path(), QDate::currentDate());
    QString destination = partner.mid(1);
    if (partner.startsWith(u'C') || partner.startsWith(u'F')) {
        const bool client = partner.startsWith(u'C');
        const auto partners = m_dir->load(client ? RefTables::cliente() : RefTables::forneced());
        QVERIFY(partners->Locate(client ? "CDCLIENTE" : "CDFORNECED", destination));
        destination = partners->FieldByName(client ? "NRINSJURCL" : "NRINSJURFO")->AsString();
    }
    // Branch 0002 holds the highest number, and 0001 has documents too.
    const auto stored = m_dir->load(RecordedTables::lancSaid());
    QStringList branches;
    int highest = 0;
    QString highestBranch;
    for (stored->First(); !stored->Eof(); stored->Next()) {
        branches.append(stored->FieldByName("CDFILIAL")->AsString());
        const int number = stored->FieldByName("NRLANCNFS")->AsString().toInt();
        if (number > highest) {
            highest = number;
            highestBranch = branches.last();
        }
    }
    QVERIFY(branches.contains(kBranch));
    QCOMPARE(highestBranch, kOtherBranch);

    // Branch 0001 records an exit of this kind on the demonstration data.
    TfrmLanSaida *w = openWindow();
    QVERIFY(w);
    EXIT_STEP(typeHeader(w, operation, destination));
    QCOMPARE(header(w, "NRLANCNFS"), QString::number(highest + 1));
    QCOMPARE(w->tshVenc->isEnabled(), dueDates);
    w->dtpSaida->SetDate(QDate::currentDate());
    EXIT_STEP(typeItems(w, {{"01.01.001", "2", "5,25"}}, true));
    if (dueDates)
        EXIT_STEP(typeDues(w, {{QDate::currentDate().addDays(10), "10,5"}}, true));
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(w->cdsLancSaid->State(), DataSetState::Browse);
    QCOMPARE(header(w, "VRNOTAFISC"), QString("10,50000"));
    QVERIFY(!header(w, "NMORIGEM").isEmpty());
}

QTEST_MAIN(TestLanSaida)
#include "tst_lansaida.moc"
