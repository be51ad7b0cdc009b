#include "basewindows.h"
#include "datetimepicker.h"
#include "dbnavigator.h"
#include "dialoganswerer.h"
#include "lanentrtests.h"
#include "localeservice.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "statusbar.h"
#include "table.h"
#include "tfrmlanentr.h"
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
using namespace lanentrtests;
using kivtest::command;
using kivtest::focusOn;
using kivtest::press;
using kivtest::type;

namespace {

struct Header
{
    QString number;
    QString branch;
};

// A data directory with every file the window loads: operation types of
// each kind of origin (and one exit type), suppliers, clients, branches and
// series of both kinds; headers as each test needs them.
class DataDir : public EntryDataDirectory
{
public:
    DataDir()
    {
        write(RefTables::tipoOper(),
              {operationRow("01", "COMPRA DE FORNECEDOR", "F", "S"),
               operationRow("02", "DOAÇÃO DE FORNECEDOR", "F", "N"),
               operationRow("06", "RESSARCIMENTO DE CLIENTE", "C", "S"),
               operationRow("07", "TRANSFERÊNCIA ENTRE FILIAIS", "L", "N"),
               operationRow("13", "DEVOLUÇÃO A FORNECEDOR", "F", "S", "S")});
        write(RefTables::forneced(), {supplierF100()});
        write(RefTables::cliente(), {{{"CDCLIENTE", "C200"},
                                      {"NRMSKCLIE", "55.666.777/0001-88"},
                                      {"NRINSJURCL", "55666777000188"},
                                      {"NMRAZSOCCL", "ESCOLA MUNICIPAL JARDIM"}}});
        write(RefTables::filial(), {{{"CDFILIAL", kBranch}, {"NMFILIAL", kBranchName}},
                                    {{"CDFILIAL", "0012"}, {"NMFILIAL", "COZINHA SUL"}}});
        write(RefTables::serie(),
              {seriesU(), {{"CDSERIE", "X"}, {"DSSERIE", "SAÍDA"}, {"IDLANCMTO", "S"}}});
    }

    void writeHeaders(const QList<Header> &headers) const
    {
        QList<QVariantMap> rows;
        for (const Header &h : headers)
            rows.append({{"NRLANCNFE", h.number},
                         {"CDFILIAL", h.branch},
                         {"CDTIPOOPER", "02"},
                         {"NMTIPOOPER", "DOAÇÃO DE FORNECEDOR"},
                         {"IDENTORIOP", "F"},
                         {"IDUTILVENC", "N"}});
        write(RecordedTables::lancEntr(), rows);
    }
};

// Types the text into the field with the focus and leaves it with Tab, as
// the operator does. Without a message the focus goes on to next; with one,
// the message is shown (and answered) and the field keeps the focus. Returns
// what went otherwise; empty when all went as expected.
QString typeAndLeave(DialogAnswerer &answerer, const QString &text, const QString &message,
                     QWidget *field, QWidget *next)
{
    const int before = answerer.count();
    if (!message.isEmpty())
        answerer.press("OK");
    type(text);
    press(Qt::Key_Tab);
    if (message.isEmpty()) {
        if (answerer.count() != before)
            return QStringLiteral("unexpected message: ") + answerer.at(before).text;
        return focusOn(next) ? QString() : next->objectName() + " did not take the focus";
    }
    if (!answerer.waitFor(before + 1))
        return QStringLiteral("no message");
    if (answerer.at(before).text != message)
        return QStringLiteral("message: ") + answerer.at(before).text;
    return focusOn(field) ? QString() : field->objectName() + " lost the focus";
}

} // namespace

Q_DECLARE_METATYPE(Header)

class TestLanEntr : public QObject, private kivtest::WindowTest<TfrmLanEntr, DataDir>
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
    void operationLookupKeepsToEntryTypes();
    void lookupsNeedAnOperation_data();
    void lookupsNeedAnOperation();
    void originByKind_data();
    void originByKind();
    void originLookupByKind_data();
    void originLookupByKind();
    void seriesOnExit_data();
    void seriesOnExit();
    void invoiceNumberAndTotalTakeDigitsOnly_data();
    void invoiceNumberAndTotalTakeDigitsOnly();
    void operationAndEmissionOnlyForANewDocument();

private:
    TfrmLanEntr *openWindow();
};

void TestLanEntr::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Kiv - School Meals"));
}

void TestLanEntr::init()
{
    startTest();
}

void TestLanEntr::cleanup()
{
    endTest();
}

TfrmLanEntr *TestLanEntr::openWindow()
{
    if (!m_dir)
        m_dir = std::make_unique<DataDir>();
    m_window = openEntryWindow(m_principal);
    return m_window;
}

void TestLanEntr::opensFromTheMainWindowOnTheSessionBranch()
{
    m_dir = std::make_unique<DataDir>();
    m_dir->writeHeaders({{"1", "0002"}, {"2", kBranch}, {"3", "0002"}});
    QVERIFY(openWindow());
    delete m_window;
    m_principal->mnuLanEntradaClick();
    auto *w = qobject_cast<TfrmLanEntr *>(
        m_principal->TaskWindowInstance(TaskWindow::LanEntrada));
    QVERIFY(w);
    m_window = w;
    QCOMPARE(w->objectName(), QString("TfrmLanEntr"));
    QCOMPARE(w->windowTitle(), QString("Lançamento de Entrada"));
    QCOMPARE(NomeUnit(w), QString("KIS00200"));
    QCOMPARE(m_principal->stbStatus->PanelText(3), QString("KIS00200"));
    QCOMPARE(w->medCdFilial->Text(), kBranch);
    QCOMPARE(w->edtNmFilial->text(), kBranchName);
    QVERIFY(!w->medCdFilial->isEnabled());
    QVERIFY(!w->BtnPesquisa1->isEnabled());

    // Only the session branch's document is shown; the numbering saw all.
    QCOMPARE(w->cdsLancEntr->RecordCount(), 1);
    QCOMPARE(header(w, "NRLANCNFE"), QString("2"));
    QCOMPARE(w->UltimoLancamento, QString("3"));
    QCOMPARE(w->dtpEntrada->Date(), QDate::currentDate());
    QCOMPARE(w->dtpEmissao->Date(), QDate::currentDate());

    QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshFormulario);
    QCOMPARE(w->tshFormulario->Caption(), QString("Formulário"));
    QCOMPARE(w->tshProduto->Caption(), QString("Produto"));
    QCOMPARE(w->tshVenc->Caption(), QString("Vencimento"));
    QVERIFY(w->mnuFormulario->isChecked());
    QVERIFY(!w->mnuProduto->isChecked());
    QVERIFY(w->dtsPadrao->DataSet() == w->cdsLancEntr);
    QVERIFY(!w->sbtAjuda.Enabled());
    QVERIFY(!w->sbtImprimir.Enabled());
    QVERIFY(!w->sbtCancelar.Enabled());
    QVERIFY(!w->sbtConfirmar.Enabled());
    QVERIFY(w->mnuOrdenar->shortcut().isEmpty());
    // Lookup tables stand filtered to entry operations and entry series.
    QCOMPARE(w->cdsTipoOperac->Filter(), QString("IDENTTIPOP = 'E'"));
    QCOMPARE(w->cdsTipoOperac->RecordCount(), 4);
    QCOMPARE(w->cdsSerie->Filter(), QString("IDLANCMTO ='E'"));
    QCOMPARE(w->cdsSerie->RecordCount(), 1);

    QPointer<TfrmLanEntr> closing = w;
    QVERIFY(command(w->sbtFechar));
    QTRY_VERIFY(!closing);
    QCOMPARE(m_principal->stbStatus->PanelText(3), QString("KIS00000"));
    QVERIFY(!m_principal->TaskWindowInstance(TaskWindow::LanEntrada));
}

void TestLanEntr::creationStopsAtAMissingFile_data()
{
    QTest::addColumn<QString>("missing");
    QTest::addColumn<bool>("headersLoaded");
    QTest::newRow("first of the loads") << "EXPFILIAL.cds" << false;
    QTest::newRow("last of the loads") << "VENCENTR.cds" << true;
}

void TestLanEntr::creationStopsAtAMissingFile()
{
    QFETCH(QString, missing);
    QFETCH(bool, headersLoaded);
    m_dir = std::make_unique<DataDir>();
    m_dir->writeHeaders({{"3", kBranch}});
    QVERIFY(QFile::remove(m_dir->filePath(missing)));
    m_answerer->press("OK");
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QCOMPARE(m_answerer->count(), 1);
    QVERIFY2(m_answerer->at(0).text.contains(missing), qPrintable(m_answerer->transcript()));
    // The window opens with what was done: nothing after the failing load.
    QVERIFY(w->isVisible());
    QCOMPARE(w->cdsLancEntr->Active(), headersLoaded);
    QCOMPARE(w->UltimoLancamento, QString());
    QCOMPARE(w->medCdFilial->Text(), QString());
    QVERIFY(!w->sbtIncluir.Enabled());
}

void TestLanEntr::numberingOverEveryBranch_data()
{
    QTest::addColumn<QList<Header>>("headers");
    QTest::addColumn<QString>("next");
    QTest::newRow("no document yet") << QList<Header>{} << "1";
    QTest::newRow("9 and 10 in other branches")
        << QList<Header>{{"9", "0002"}, {"10", "0003"}} << "11";
    QTest::newRow("greatest not first, not ours")
        << QList<Header>{{"2", kBranch}, {"10", "0002"}, {"9", kBranch}} << "11";
    QTest::newRow("a number that is no integer is skipped")
        << QList<Header>{{"A7", "0002"}, {"9", kBranch}, {"8.5", "0002"}} << "10";
}

void TestLanEntr::numberingOverEveryBranch()
{
    QFETCH(QList<Header>, headers);
    QFETCH(QString, next);
    m_dir = std::make_unique<DataDir>();
    m_dir->writeHeaders(headers);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
    QCOMPARE(header(w, "NRLANCNFE"), next);
    QVERIFY(w->medOperacao->hasFocus());
}

void TestLanEntr::cancelledInsertionLeavesAGap()
{
    m_dir = std::make_unique<DataDir>();
    m_dir->writeHeaders({{"4", "0002"}});
    const QByteArray before = m_dir->bytes("LANCENTR.cds");
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QCOMPARE(header(w, "NRLANCNFE"), QString("5"));
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QCOMPARE(w->cdsLancEntr->RecordCount(), 0);
    // A change of the entry date on a branch without documents inserts one.
    w->dtpEntrada->setFocus();
    QVERIFY(focusOn(w->dtpEntrada));
    press(Qt::Key_Up);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
    QCOMPARE(header(w, "NRLANCNFE"), QString("6"));
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    // Nothing is written by inserting and cancelling.
    QCOMPARE(m_dir->bytes("LANCENTR.cds"), before);

    // A new window counts from the file again.
    delete m_window;
    w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QCOMPARE(header(w, "NRLANCNFE"), QString("5"));
}

void TestLanEntr::operationCodeOnExit_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("7 padded to 07") << "7" << "07" << "TRANSFERÊNCIA ENTRE FILIAIS" << "";
    QTest::newRow("02 as typed") << "02" << "02" << "DOAÇÃO DE FORNECEDOR" << "";
    QTest::newRow("empty") << "" << "" << "" << "Tipo de operação deve ser informado.";
    QTest::newRow("an exit type") << "13" << "13" << ""
                                  << "Tipo de operação não cadastrado.";
    QTest::newRow("unknown, padded") << "9" << "09" << ""
                                     << "Tipo de operação não cadastrado.";
}

void TestLanEntr::operationCodeOnExit()
{
    QFETCH(QString, typed);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, message);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QVERIFY(focusOn(w->medOperacao));
    const QString left = typeAndLeave(*m_answerer, typed, message, w->medOperacao, w->medOrigem);
    QVERIFY2(left.isEmpty(), qPrintable(left));
    QCOMPARE(header(w, "CDTIPOOPER"), code);
    QCOMPARE(header(w, "NMTIPOOPER"), name);
    QCOMPARE(w->medOperacao->Text(), code);
    // The lookup table is back on the entry types either way.
    QCOMPARE(w->cdsTipoOperac->Filter(), QString("IDENTTIPOP = 'E'"));
    QCOMPARE(w->cdsTipoOperac->RecordCount(), 4);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
}

void TestLanEntr::operationLookupKeepsToEntryTypes()
{
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QVERIFY(focusOn(w->medOperacao));
    int listed = -1;
    m_answerer->run([&](QWidget *dialog) {
        listed = w->cdsTipoOperac->RecordCount();
        QWidget *target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
        QTest::keyClicks(target, QStringLiteral("06"));
        QTest::keyClick(target, Qt::Key_Return);
    });
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(listed, 4);
    QCOMPARE(header(w, "CDTIPOOPER"), QString("06"));
    QCOMPARE(header(w, "NMTIPOOPER"), QString("RESSARCIMENTO DE CLIENTE"));
    QCOMPARE(header(w, "IDENTORIOP"), QString("C"));
    QCOMPARE(header(w, "IDUTILVENC"), QString("S"));
    QVERIFY(w->tshVenc->isEnabled());
    QVERIFY(focusOn(w->medOrigem));

    // F6 as well; Esc changes nothing.
    w->medOperacao->setFocus();
    QVERIFY(focusOn(w->medOperacao));
    m_answerer->pressEscape();
    press(Qt::Key_F6);
    QVERIFY(m_answerer->waitFor(2));
    QCOMPARE(header(w, "CDTIPOOPER"), QString("06"));
    QCOMPARE(w->cdsTipoOperac->Filter(), QString("IDENTTIPOP = 'E'"));
}

void TestLanEntr::lookupsNeedAnOperation_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("origin") << "btpOrigem";
    QTest::newRow("series") << "btpSerie";
}

void TestLanEntr::lookupsNeedAnOperation()
{
    QFETCH(QString, button);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QVERIFY(focusOn(w->medOperacao));
    m_answerer->press("OK");
    w->findChild<QToolButton *>(button)->click();
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, QString("Tipo de operação deve ser informado."));
    QVERIFY(focusOn(w->medOperacao));
}

void TestLanEntr::originByKind_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("F known") << "02" << "11222333000144" << "11222333000144" << "F100"
                             << "CEREALISTA BOA SAFRA" << "";
    QTest::newRow("F unknown") << "02" << "999" << "999" << "" << ""
                               << "Fornecedor não cadastrado.";
    QTest::newRow("C known") << "06" << "55666777000188" << "55666777000188" << "C200"
                             << "ESCOLA MUNICIPAL JARDIM" << "";
    QTest::newRow("C unknown") << "06" << "11222333000144" << "11222333000144" << "" << ""
                               << "Cliente não cadastrado.";
    QTest::newRow("L 12 padded") << "07" << "12" << "0012" << "0012" << "COZINHA SUL" << "";
    QTest::newRow("L unknown") << "07" << "77" << "0077" << "" << ""
                               << "Filial não cadastrada.";
    QTest::newRow("L the session branch") << "07" << "1" << "0001" << "0001" << kBranchName
                                          << "Filial de origem deve ser diferente da filial "
                                             "de destino.";
    // A quote typed is part of the number, not of the filter.
    QTest::newRow("F with a quote") << "02" << "11' OR '1'='1" << "11' OR '1'='1" << "" << ""
                                    << "Fornecedor não cadastrado.";
    QTest::newRow("L with a quote") << "07" << "1'" << "001'" << "" << ""
                                    << "Filial não cadastrada.";
}

void TestLanEntr::originByKind()
{
    QFETCH(QString, operation);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, message);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, operation));
    const QString left = typeAndLeave(*m_answerer, typed, message, w->medOrigem, w->dtpEntrada);
    QVERIFY2(left.isEmpty(), qPrintable(left));
    QCOMPARE(header(w, "NRINSJURNF"), shown);
    QCOMPARE(header(w, "CDORIGEM"), code);
    QCOMPARE(header(w, "NMORIGEM"), name);
    // Every list is whole again for the next lookup.
    QCOMPARE(w->cdsForneced->Filter(), QString());
    QCOMPARE(w->cdsClientes->Filter(), QString());
    QVERIFY(!w->cdsFilial->Filtered());
    QCOMPARE(w->cdsFilial->RecordCount(), 2);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
    if (!message.isEmpty())
        return;

    // A change of operation empties the origin and its name.
    w->medOperacao->setFocus();
    QVERIFY(focusOn(w->medOperacao));
    press(Qt::Key_Backspace);
    QCOMPARE(header(w, "NRINSJURNF"), QString());
    QCOMPARE(header(w, "NMORIGEM"), QString());
    QCOMPARE(header(w, "NMTIPOOPER"), QString());
}

void TestLanEntr::originLookupByKind_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("F supplier") << "02" << "11" << "11222333000144" << "F100"
                                << "CEREALISTA BOA SAFRA" << "";
    QTest::newRow("C client") << "06" << "55" << "55666777000188" << "C200"
                              << "ESCOLA MUNICIPAL JARDIM" << "";
    QTest::newRow("L another branch") << "07" << "0012" << "0012" << "0012" << "COZINHA SUL"
                                      << "";
    QTest::newRow("L the session branch")
        << "07" << "0001" << "0001" << "0001" << kBranchName
        << "Filial de origem deve ser diferente da filial de destino.";
}

void TestLanEntr::originLookupByKind()
{
    QFETCH(QString, operation);
    QFETCH(QString, search);
    QFETCH(QString, shown);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, message);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, operation));
    m_answerer->run([search](QWidget *dialog) {
        QWidget *target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
        QTest::keyClicks(target, search);
        QTest::keyClick(target, Qt::Key_Return);
    });
    if (!message.isEmpty())
        m_answerer->press("OK");
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(message.isEmpty() ? 1 : 2));
    if (!message.isEmpty())
        QCOMPARE(m_answerer->at(1).text, message);
    QCOMPARE(header(w, "NRINSJURNF"), shown);
    QCOMPARE(header(w, "CDORIGEM"), code);
    QCOMPARE(header(w, "NMORIGEM"), name);
    QCOMPARE(header(w, "IDIMPAF"), QString("N"));
    QVERIFY(focusOn(message.isEmpty() ? static_cast<QWidget *>(w->dtpEntrada)
                                      : static_cast<QWidget *>(w->medOrigem)));
    QVERIFY(!w->cdsFilial->Filtered());
}

void TestLanEntr::seriesOnExit_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    QTest::newRow("entry series") << "U" << "";
    QTest::newRow("exit series") << "X" << "Série não cadastrada.";
    QTest::newRow("unknown") << "Z" << "Série não cadastrada.";
    QTest::newRow("empty passes on exit") << "" << "";
}

void TestLanEntr::seriesOnExit()
{
    QFETCH(QString, typed);
    QFETCH(QString, message);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "02"));
    w->medSerie->setFocus();
    QVERIFY(focusOn(w->medSerie));
    const QString left = typeAndLeave(*m_answerer, typed, message, w->medSerie, w->MedTotal);
    QVERIFY2(left.isEmpty(), qPrintable(left));
    QCOMPARE(header(w, "CDSERIE"), typed);
    QCOMPARE(w->cdsSerie->Filter(), QString("IDLANCMTO ='E'"));
    QCOMPARE(w->cdsSerie->RecordCount(), 1);
}

void TestLanEntr::invoiceNumberAndTotalTakeDigitsOnly_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("total");
    QTest::newRow("comma") << QChar(u',') << "1a5,0.0-x" << "1500" << "1500,00000";
    QTest::newRow("point") << QChar(u'.') << "15.0,0e" << "1500" << "1500.00000";
    QTest::newRow("one digit") << QChar(u',') << "7" << "7" << "7,00000";
}

void TestLanEntr::invoiceNumberAndTotalTakeDigitsOnly()
{
    QFETCH(QChar, separator);
    QFETCH(QString, typed);
    QFETCH(QString, number);
    QFETCH(QString, total);
    LocaleService::setDecimalSeparator(separator);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "02"));
    w->medNF->setFocus();
    QVERIFY(focusOn(w->medNF));
    type(typed);
    // Not even a backspace takes away a digit.
    press(Qt::Key_Backspace);
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->medSerie));
    QCOMPARE(header(w, "NRNOTAFISC"), number);

    w->MedTotal->setFocus();
    QVERIFY(focusOn(w->MedTotal));
    type(typed);
    press(Qt::Key_Backspace);
    QCOMPARE(w->MedTotal->text(), number);
    w->medNF->setFocus();
    QVERIFY(focusOn(w->medNF));
    QCOMPARE(header(w, "VRNOTAFISC"), total);
}

void TestLanEntr::operationAndEmissionOnlyForANewDocument()
{
    m_dir = std::make_unique<DataDir>();
    const auto enabledAll = [](const TfrmLanEntr *w, bool enabled) {
        return w->medOperacao->isEnabled() == enabled && w->btpTipoOperac->isEnabled() == enabled
               && w->lblOperacao->isEnabled() == enabled && w->lblEmis->isEnabled() == enabled
               && w->dtpEmissao->isEnabled() == enabled;
    };
    // A branch without documents chooses them even while browsing.
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QVERIFY(enabledAll(w, true));
    QVERIFY(w->dbnPadrao->isEnabled());
    delete m_window;

    m_dir->writeHeaders({{"1", kBranch}});
    w = openWindow();
    QVERIFY(w);
    QVERIFY(enabledAll(w, false));
    QVERIFY(w->dbnPadrao->isEnabled());
    QVERIFY(command(w->sbtIncluir));
    QVERIFY(enabledAll(w, true));
    QVERIFY(!w->dbnPadrao->isEnabled());
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(enabledAll(w, false));
    QVERIFY(command(w->sbtAlterar));
    QVERIFY(enabledAll(w, false));
    QVERIFY(!w->dbnPadrao->isEnabled());
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(w->dbnPadrao->isEnabled());
}

QTEST_MAIN(TestLanEntr)
#include "tst_lanentr.moc"
