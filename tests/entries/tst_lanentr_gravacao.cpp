// Confirming, cancelling and deleting entry documents, and what reaches the
// three files: LANCENTR.cds, ITEMENTR.cds and VENCENTR.cds are written
// together after a header post or a header deletion, every branch's records
// included, and a failed write leaves the old files as they were.

#include "basewindows.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "dialoganswerer.h"
#include "lanentrtests.h"
#include "localeservice.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "tablefile.h"
#include "tfrmlanentr.h"
#include "tfrmprincipal.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
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

const QString kOtherBranch = QStringLiteral("0002");
const QString kSupplier = QStringLiteral("11222333000144");
const QDate kEntry(2026, 3, 10);
const QDate kEmission(2026, 3, 8);
const QStringList kFiles{QStringLiteral("LANCENTR.cds"), QStringLiteral("ITEMENTR.cds"),
                         QStringLiteral("VENCENTR.cds")};

const QString kCancelAll = QStringLiteral("Deseja cancelar todo o lançamento ?");
const QString kDeleteQuestion = QStringLiteral("Deseja excluir o registro?");

// ----------------------------------------------------------------- documents

struct Item
{
    QString code; // CDARVPROD as stored, e.g. 01.02.001
    QString quantity;
    QString value;
};

struct Due
{
    QDate date;
    QString value;
};

// One document as it stands in the three files.
struct Doc
{
    QString number;
    QString branch = kBranch;
    bool dueDates = false;
    QString total;
    QList<Item> items;
    QList<Due> dues;
    QString invoice = QStringLiteral("4711");
};

QString productId(const QString &code)
{
    if (code == QLatin1String("01.02.001"))
        return QStringLiteral("1021");
    if (code == QLatin1String("01.03.001"))
        return QStringLiteral("1031");
    return QStringLiteral("1301");
}

QString operationOf(const Doc &d)
{
    return d.dueDates ? QStringLiteral("03") : QStringLiteral("02");
}

// One line per header, item and due date, in the same shape whether it
// comes from a file, from the window or from the expected documents.
QString headerLine(const QStringList &f)
{
    return QStringLiteral("H|") + f.join(u'|');
}

QString headerLine(const Table &t)
{
    const auto s = [&](const char *n) { return t.FieldByName(QString::fromLatin1(n))->AsString(); };
    const auto d = [&](const char *n) {
        return t.FieldByName(QString::fromLatin1(n))->AsDate().toString(Qt::ISODate);
    };
    return headerLine({s("NRLANCNFE"), s("CDFILIAL"), s("CDTIPOOPER"), s("CDORIGEM"),
                       s("NRINSJURNF"), s("NRNOTAFISC"), s("CDSERIE"), s("VRNOTAFISC"),
                       d("DTENTRADA"), d("DTEMISSAO"), s("IDUTILVENC")});
}

QString itemLine(const Table &t)
{
    const auto s = [&](const char *n) { return t.FieldByName(QString::fromLatin1(n))->AsString(); };
    return QStringLiteral("I|") + QStringList{s("NRLANCNFE"), s("CDARVPROD"), s("CDPRODUTO"),
                                              s("QTITEMPROD"), s("VRUNITITEM"), s("NRNFEPROD"),
                                              s("CDFILLANC")}
                                      .join(u'|');
}

QString dueLine(const Table &t)
{
    const auto s = [&](const char *n) { return t.FieldByName(QString::fromLatin1(n))->AsString(); };
    return QStringLiteral("V|")
           + QStringList{s("NRLANCNFE"),
                         t.FieldByName("DTVENCENTR")->AsDate().toString(Qt::ISODate),
                         s("VRVENCENTR"), s("STDTVCENTR")}
                 .join(u'|');
}

QStringList linesOf(const QList<Doc> &docs, const QString &branch = QString())
{
    QStringList lines;
    for (const Doc &d : docs) {
        if (!branch.isEmpty() && d.branch != branch)
            continue;
        lines.append(headerLine({d.number, d.branch, operationOf(d), "F100", kSupplier, d.invoice,
                                 "U", withSeparator(d.total), kEntry.toString(Qt::ISODate),
                                 kEmission.toString(Qt::ISODate), d.dueDates ? "S" : "N"}));
        for (const Item &i : d.items)
            lines.append(QStringLiteral("I|") + QStringList{d.number, i.code, productId(i.code),
                                                            withSeparator(i.quantity),
                                                            withSeparator(i.value), d.invoice,
                                                            d.branch}
                                                    .join(u'|'));
        for (const Due &v : d.dues)
            lines.append(QStringLiteral("V|") + QStringList{d.number,
                                                            v.date.toString(Qt::ISODate),
                                                            withSeparator(v.value),
                                                            v.date.toString("dd/MM/yyyy")}
                                                    .join(u'|'));
    }
    lines.sort();
    return lines;
}

// ------------------------------------------------------------ data directory

// The files the window loads: entry operations 02 (supplier, no due dates)
// and 03 (supplier, due dates), supplier F100, series U, three products,
// and the documents each test stores.
class DataDir : public EntryDataDirectory
{
public:
    explicit DataDir(const QList<Doc> &docs)
    {
        write(RefTables::tipoOper(), {operationRow("02", "DOAÇÃO DE FORNECEDOR", "F", "N"),
                                      operationRow("03", "COMPRA A PRAZO", "F", "S")});
        write(RefTables::forneced(), {supplierF100()});
        write(RefTables::serie(), {seriesU()});
        write(RefTables::filial(), {{{"CDFILIAL", kBranch}, {"NMFILIAL", kBranchName}},
                                    {{"CDFILIAL", kOtherBranch}, {"NMFILIAL", "COZINHA SUL"}}});
        write(RefTables::produto(RefTables::ProductReader::Entries),
              {productRow("1021", "01.02.001", "ARROZ AGULHINHA", "KG"),
               productRow("1031", "01.03.001", "FEIJÃO CARIOCA", "KG"),
               productRow("1301", "13.01.001", "ÓLEO DE SOJA", "LT")});
        writeDocuments(docs);
    }

    void writeDocuments(const QList<Doc> &docs) const
    {
        QList<QVariantMap> headers, items, dues;
        for (const Doc &d : docs) {
            headers.append({{"NRLANCNFE", d.number},
                            {"CDFILIAL", d.branch},
                            {"CDTIPOOPER", operationOf(d)},
                            {"NMTIPOOPER", d.dueDates ? "COMPRA A PRAZO"
                                                      : QString::fromUtf8("DOAÇÃO DE FORNECEDOR")},
                            {"IDENTORIOP", "F"},
                            {"CDORIGEM", "F100"},
                            {"NMORIGEM", "CEREALISTA BOA SAFRA"},
                            {"NRINSJURNF", kSupplier},
                            {"NRNOTAFISC", d.invoice},
                            {"CDSERIE", "U"},
                            {"VRNOTAFISC", withSeparator(d.total)},
                            {"DTENTRADA", kEntry},
                            {"DTEMISSAO", kEmission},
                            {"IDUTILVENC", d.dueDates ? "S" : "N"},
                            {"IDIMPAF", "N"}});
            for (const Item &i : d.items)
                items.append({{"NRLANCNFE", d.number},
                              {"CDPRODUTO", productId(i.code)},
                              {"CDARVPROD", i.code},
                              {"CDPSQPROD", i.code},
                              {"QTITEMPROD", withSeparator(i.quantity)},
                              {"VRUNITITEM", withSeparator(i.value)},
                              {"NRNFEPROD", d.invoice},
                              {"CDFILLANC", d.branch}});
            for (const Due &v : d.dues)
                dues.append({{"NRLANCNFE", d.number},
                             {"DTVENCENTR", v.date},
                             {"VRVENCENTR", withSeparator(v.value)},
                             {"STDTVCENTR", v.date.toString("dd/MM/yyyy")}});
        }
        write(RecordedTables::lancEntr(), headers);
        write(RecordedTables::itemEntr(), items);
        write(RecordedTables::vencEntr(), dues);
    }

    qint64 size(const QString &name) const
    {
        return QFileInfo(TableFile::resolve(filePath(name))).size();
    }

    // The three files as loaded by the table engine, one line per record;
    // with a branch, only that branch's documents and their rows.
    QStringList onDisk(const QString &branch = QString()) const
    {
        const auto headers = load(RecordedTables::lancEntr());
        const auto items = load(RecordedTables::itemEntr());
        const auto dues = load(RecordedTables::vencEntr());
        QStringList lines;
        QStringList numbers;
        for (headers->First(); !headers->Eof(); headers->Next()) {
            if (!branch.isEmpty() && headers->FieldByName("CDFILIAL")->AsString() != branch)
                continue;
            numbers.append(headers->FieldByName("NRLANCNFE")->AsString());
            lines.append(headerLine(*headers));
        }
        for (items->First(); !items->Eof(); items->Next())
            if (branch.isEmpty() || numbers.contains(items->FieldByName("NRLANCNFE")->AsString()))
                lines.append(itemLine(*items));
        for (dues->First(); !dues->Eof(); dues->Next())
            if (branch.isEmpty() || numbers.contains(dues->FieldByName("NRLANCNFE")->AsString()))
                lines.append(dueLine(*dues));
        lines.sort();
        return lines;
    }
};

// -------------------------------------------------------------- the operator

bool editing(const Table *t)
{
    return t->State() == DataSetState::Edit || t->State() == DataSetState::Insert;
}

// The enabled commands of the bar, in their order; a button that disagrees
// with its menu entry shows as "button≠menu:Name".
QString enabledCommands(const TfrmLanEntr *w)
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

} // namespace

Q_DECLARE_METATYPE(Item)
Q_DECLARE_METATYPE(Due)

class TestLanEntrGravacao : public QObject, private kivtest::WindowTest<TfrmLanEntr, DataDir>
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void newDocumentConfirmed_data();
    void newDocumentConfirmed();
    void confirmRefused_data();
    void confirmRefused();
    void deletingADocument_data();
    void deletingADocument();
    void failedSaveKeepsTheOldFiles_data();
    void failedSaveKeepsTheOldFiles();
    void cancelPendingRow_data();
    void cancelPendingRow();
    void cancelWholeDocument_data();
    void cancelWholeDocument();
    void cancelWithNothingEdited();
    void cancelFirstDocumentOfTheBranch_data();
    void cancelFirstDocumentOfTheBranch();
    void cancelNewDocumentShowsTheStoredOne_data();
    void cancelNewDocumentShowsTheStoredOne();
    void closingWhileTyping_data();
    void closingWhileTyping();
    void commandBar_data();
    void commandBar();
    void dueDatesLeftBehindByAnOperationChange();
    void afterAFailedSave_data();
    void afterAFailedSave();

private:
    // A new window on the data directory (the previous one, if any, is
    // discarded, as after closing and reopening it).
    TfrmLanEntr *openWindow();
    // Insert, then every header field as the operator types it; an empty
    // text is left untyped.
    void typeHeader(const QString &operation, const QString &origin, const QString &invoice,
                    const QDate &emission = kEmission);
    // The Produto page and its rows typed into the grid; the last row is
    // left open unless post.
    void typeItems(const QList<Item> &items, bool post);
    void typeDues(const QList<Due> &dues, bool post);
    // The entry date changed with the arrow key in its picker, as the
    // operator does on a stored document; returns the new date.
    QDate changeEntryDate();
    // What the window shows of the session branch: every header, and the
    // items and due dates of each on their pages.
    QStringList shown();
};

void TestLanEntrGravacao::init()
{
    startTest();
}

void TestLanEntrGravacao::cleanup()
{
    endTest();
}

TfrmLanEntr *TestLanEntrGravacao::openWindow()
{
    delete m_window;
    m_window = openEntryWindow(m_principal);
    return m_window;
}

void TestLanEntrGravacao::typeHeader(const QString &operation, const QString &origin,
                                     const QString &invoice, const QDate &emission)
{
    TfrmLanEntr *w = m_window;
    const int shownBefore = m_answerer->count();
    QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshFormulario);
    QVERIFY(command(w->sbtIncluir));
    QVERIFY(focusOn(w->medOperacao));
    type(operation);
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->medOrigem));
    type(origin);
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->dtpEntrada));
    w->dtpEntrada->SetDate(kEntry);
    w->dtpEmissao->SetDate(emission);
    w->medNF->setFocus();
    QVERIFY(focusOn(w->medNF));
    type(invoice);
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->medSerie));
    type("U");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->MedTotal));
    // A total the items will correct.
    type("8");
    w->medOperacao->setFocus();
    QVERIFY(focusOn(w->medOperacao));
    QCOMPARE(m_answerer->count(), shownBefore);
}

void TestLanEntrGravacao::typeItems(const QList<Item> &items, bool post)
{
    TfrmLanEntr *w = m_window;
    QVERIFY(w->mnuProduto->isEnabled());
    w->mnuProduto->trigger();
    QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshProduto);
    w->dbgProduto->setFocus();
    QTRY_VERIFY(w->dbgProduto->hasFocus());
    for (int i = 0; i < items.size(); ++i) {
        if (i == 0)
            w->cdsProduto->Last();
        // Below the last row the grid opens a new one (posting the row
        // left).
        press(Qt::Key_Down);
        QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
        w->dbgProduto->SetSelectedField("CDARVPROD");
        type(QString(items[i].code).remove(u'.'));
        press(Qt::Key_Tab);
        QCOMPARE(w->dbgProduto->SelectedField()->FieldName(), QString("QTITEMPROD"));
        type(withSeparator(items[i].quantity));
        press(Qt::Key_Tab);
        QCOMPARE(w->dbgProduto->SelectedField()->FieldName(), QString("VRUNITITEM"));
        type(withSeparator(items[i].value));
    }
    if (post) {
        // Up leaves the row, which posts it.
        press(Qt::Key_Up);
        QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);
    }
}

void TestLanEntrGravacao::typeDues(const QList<Due> &dues, bool post)
{
    TfrmLanEntr *w = m_window;
    // The operation opened the page and its menu entry; the operator
    // clicks the tab.
    QVERIFY(w->tshVenc->isEnabled());
    QVERIFY(w->mnuVencimento->isEnabled());
    QVERIFY(w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(w->tshVenc)));
    QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshVenc);
    w->dbgVenc->setFocus();
    QTRY_VERIFY(w->dbgVenc->hasFocus());
    for (int i = 0; i < dues.size(); ++i) {
        if (i == 0)
            w->cdsVenc->Last();
        press(Qt::Key_Down);
        QCOMPARE(w->cdsVenc->State(), DataSetState::Insert);
        w->dbgVenc->SetSelectedField("DTVENCENTR");
        type(dues[i].date.toString("ddMMyyyy"));
        press(Qt::Key_Tab);
        QCOMPARE(w->dbgVenc->SelectedField()->FieldName(), QString("VRVENCENTR"));
        type(withSeparator(dues[i].value));
    }
    if (post) {
        press(Qt::Key_Up);
        QCOMPARE(w->cdsVenc->State(), DataSetState::Browse);
    }
}

QDate TestLanEntrGravacao::changeEntryDate()
{
    TfrmLanEntr *w = m_window;
    w->dtpEntrada->setFocus();
    if (!focusOn(w->dtpEntrada))
        return {};
    const QDate before = w->dtpEntrada->Date();
    press(Qt::Key_Up);
    const QDate after = w->dtpEntrada->Date();
    return after != before ? after : QDate();
}

QStringList TestLanEntrGravacao::shown()
{
    TfrmLanEntr *w = m_window;
    QStringList lines;
    if (!w)
        return lines;
    w->mnuFormulario->trigger();
    QStringList numbers;
    for (w->cdsLancEntr->First(); !w->cdsLancEntr->Eof(); w->cdsLancEntr->Next()) {
        numbers.append(header(w, "NRLANCNFE"));
        lines.append(headerLine(*w->cdsLancEntr));
    }
    for (const QString &number : numbers) {
        w->mnuFormulario->trigger();
        if (!w->cdsLancEntr->Locate("NRLANCNFE", number))
            return {QStringLiteral("document %1 not found again").arg(number)};
        w->mnuProduto->trigger();
        if (w->pgcLancEntr->ActivePage() != w->tshProduto)
            return {QStringLiteral("Produto page refused for %1").arg(number)};
        for (w->cdsProduto->First(); !w->cdsProduto->Eof(); w->cdsProduto->Next())
            lines.append(itemLine(*w->cdsProduto));
        if (w->mnuVencimento->isEnabled()) {
            w->mnuVencimento->trigger();
            for (w->cdsVenc->First(); !w->cdsVenc->Eof(); w->cdsVenc->Next())
                lines.append(dueLine(*w->cdsVenc));
        }
    }
    w->mnuFormulario->trigger();
    lines.sort();
    return lines;
}

// ------------------------------------------------------------------ confirm

void TestLanEntrGravacao::newDocumentConfirmed_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("dueDates");
    QTest::newRow("comma: two items, no due dates") << QChar(u',') << false;
    QTest::newRow("point: two items, no due dates") << QChar(u'.') << false;
    QTest::newRow("comma: two items, two due dates") << QChar(u',') << true;
    QTest::newRow("point: two items, two due dates") << QChar(u'.') << true;
}

void TestLanEntrGravacao::newDocumentConfirmed()
{
    QFETCH(QChar, separator);
    QFETCH(bool, dueDates);
    LocaleService::setDecimalSeparator(separator);
    // Another branch's documents (one with the greatest number) and one of
    // the session branch.
    const QList<Doc> stored{
        Doc{"3", kOtherBranch, true, "7,50000", {{"01.02.001", "3,000", "2,50000"}},
            {{kEntry.addDays(30), "7,50000"}}},
        Doc{"1", kOtherBranch, false, "2,00000", {{"13.01.001", "1,000", "2,00000"}}, {}},
        Doc{"2", kBranch, false, "4,00000", {{"01.03.001", "2,000", "2,00000"}}, {}},
    };
    m_dir = std::make_unique<DataDir>(stored);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);

    // The old files carry an old time: a file the save writes gets a new one.
    const QDateTime old(QDate(2001, 1, 1), QTime(12, 0));
    for (const QString &name : kFiles) {
        QFile file(TableFile::resolve(m_dir->filePath(name)));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
    }

    // 3 × 2,5 + 2 × 1,25 = 10; the typed total 8 gives way to the items.
    const QList<Item> typedItems{{"01.02.001", "3", "2,5"}, {"01.03.001", "2", "1,25"}};
    const QList<Item> storedItems{{"01.02.001", "3,000", "2,50000"},
                                  {"01.03.001", "2,000", "1,25000"}};
    const QList<Due> typedDues{{QDate(2026, 4, 20), "6,5"}, {QDate(2026, 5, 20), "3,5"}};
    const QList<Due> storedDues{{QDate(2026, 4, 20), "6,50000"}, {QDate(2026, 5, 20), "3,50000"}};
    KIVTEST_STEP(typeHeader(dueDates ? "03" : "02", kSupplier, "4711"));
    QCOMPARE(header(w, "NRLANCNFE"), QString("4"));
    // Without due dates the second item is left open for the confirm to post;
    // with them the last due date is.
    KIVTEST_STEP(typeItems(typedItems, dueDates));
    if (dueDates)
        KIVTEST_STEP(typeDues(typedDues, false));
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_answerer->count(), 0);

    const Doc first{"4", kBranch, dueDates, "10,00000", storedItems,
                    dueDates ? storedDues : QList<Due>{}};
    QList<Doc> expected = stored;
    expected.append(first);
    QCOMPARE(m_dir->onDisk(), linesOf(expected));
    for (const QString &name : kFiles)
        QVERIFY2(QFileInfo(TableFile::resolve(m_dir->filePath(name))).lastModified() > old,
                 qPrintable(name + " was not written"));
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Browse);
    QCOMPARE(header(w, "VRNOTAFISC"), withSeparator("10,00000"));
    QVERIFY(!editing(w->cdsProduto) && !editing(w->cdsVenc));
    QVERIFY(!w->sbtCancelar.Enabled() && !w->sbtConfirmar.Enabled());

    // A new window shows the branch's documents exactly.
    w = openWindow();
    QVERIFY(w);
    QCOMPARE(shown(), linesOf(expected, kBranch));

    // A second document, of the other kind, typed in the new window.
    const Doc second{"5", kBranch, !dueDates, "2,00000", {{"13.01.001", "4,000", "0,50000"}},
                     !dueDates ? QList<Due>{{QDate(2026, 6, 1), "2,00000"}} : QList<Due>{},
                     "4712"};
    KIVTEST_STEP(typeHeader(!dueDates ? "03" : "02", kSupplier, "4712"));
    QCOMPARE(header(w, "NRLANCNFE"), QString("5"));
    KIVTEST_STEP(typeItems({{"13.01.001", "4", "0,5"}}, true));
    if (!dueDates)
        KIVTEST_STEP(typeDues({{QDate(2026, 6, 1), "2"}}, true));
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_answerer->count(), 0);
    expected.append(second);
    QCOMPARE(m_dir->onDisk(), linesOf(expected));

    w = openWindow();
    QVERIFY(w);
    QCOMPARE(shown(), linesOf(expected, kBranch));
}

void TestLanEntrGravacao::confirmRefused_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("origin");
    QTest::addColumn<QString>("invoice");
    QTest::addColumn<int>("emissionAfterEntry");
    QTest::addColumn<QList<Item>>("items");
    QTest::addColumn<QList<Due>>("dues");
    // Whether the last row typed (a due date if any, else an item) is left
    // open for the confirm.
    QTest::addColumn<bool>("lastPending");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("page");
    const QList<Item> items{{"01.02.001", "3", "2,5"}};
    QTest::newRow("pending item without quantity")
        << "02" << kSupplier << "4711" << 0 << QList<Item>{{"01.03.001", "", "2"}}
        << QList<Due>{} << true << "Quantidade deve ser informada." << "tshProduto";
    QTest::newRow("a posted item and a pending one without quantity")
        << "02" << kSupplier << "4711" << 0 << QList<Item>{items[0], {"01.03.001", "", "2"}}
        << QList<Due>{} << true << "Quantidade deve ser informada." << "tshProduto";
    QTest::newRow("no item") << "02" << kSupplier << "4711" << 0 << QList<Item>{}
                             << QList<Due>{} << false
                             << "Item do lançamento de entrada deve ser informado."
                             << "tshProduto";
    QTest::newRow("no origin") << "02" << "" << "4711" << 0 << QList<Item>{} << QList<Due>{}
                               << false << "Origem deve ser informada." << "tshFormulario";
    QTest::newRow("no invoice number")
        << "02" << kSupplier << "" << 0 << QList<Item>{} << QList<Due>{} << false
        << "Número da nota fiscal deve ser informado." << "tshFormulario";
    QTest::newRow("emission after entry")
        << "02" << kSupplier << "4711" << 1 << QList<Item>{} << QList<Due>{} << false
        << "Data de emissão não pode ser maior que a data de entrada." << "tshFormulario";
    QTest::newRow("no due date") << "03" << kSupplier << "4711" << 0 << items << QList<Due>{}
                                 << false
                                 << "Vencimento do lançamento de entrada deve ser informado."
                                 << "tshVenc";
    QTest::newRow("due dates off the total")
        << "03" << kSupplier << "4711" << 0 << items
        << QList<Due>{{QDate(2026, 4, 20), "5"}, {QDate(2026, 5, 20), "2"}} << true
        << "Somatório dos vencimentos difere do valor total da nota." << "tshVenc";
    QTest::newRow("pending due date without value")
        << "03" << kSupplier << "4711" << 0 << items << QList<Due>{{QDate(2026, 4, 20), ""}}
        << true << "Valor deve ser informado." << "tshVenc";
}

void TestLanEntrGravacao::confirmRefused()
{
    QFETCH(QString, operation);
    QFETCH(QString, origin);
    QFETCH(QString, invoice);
    QFETCH(int, emissionAfterEntry);
    QFETCH(QList<Item>, items);
    QFETCH(QList<Due>, dues);
    QFETCH(bool, lastPending);
    QFETCH(QString, message);
    QFETCH(QString, page);
    m_dir = std::make_unique<DataDir>(QList<Doc>{
        Doc{"2", kBranch, true, "7,50000", {{"01.02.001", "3,000", "2,50000"}},
            {{kEntry.addDays(30), "7,50000"}}},
        Doc{"1", kOtherBranch, false, "2,00000", {{"13.01.001", "1,000", "2,00000"}}, {}}});
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(typeHeader(operation, origin, invoice, kEntry.addDays(emissionAfterEntry)));
    if (!items.isEmpty())
        KIVTEST_STEP(typeItems(items, !(lastPending && dues.isEmpty())));
    if (!dues.isEmpty())
        KIVTEST_STEP(typeDues(dues, !lastPending));

    m_answerer->press("OK");
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, message);
    QCOMPARE(w->pgcLancEntr->ActivePage()->objectName(), page);
    // The document stays being typed, with its commands, and nothing is
    // written.
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
    QCOMPARE(header(w, "NRLANCNFE"), QString("3"));
    QCOMPARE(enabledCommands(w).contains("Cancelar Confirmar"), true);
    QCOMPARE(m_dir->contents(), before);
    if (message == QLatin1String("Quantidade deve ser informada."))
        QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
    if (message == QLatin1String("Valor deve ser informado."))
        QCOMPARE(w->cdsVenc->State(), DataSetState::Insert);
}

// ------------------------------------------------------------------- delete

void TestLanEntrGravacao::deletingADocument_data()
{
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("answer");
    QTest::newRow("three items and two due dates, Sim") << "5" << "form" << "Sim";
    QTest::newRow("the branch's other document, Sim") << "6" << "form" << "Sim";
    QTest::newRow("answered Não") << "5" << "form" << "Não";
    QTest::newRow("on the Produto page an item goes, not the document")
        << "5" << "produto" << "Sim";
    QTest::newRow("on the Vencimento page a due date goes, not the document")
        << "5" << "vencimento" << "Sim";
}

void TestLanEntrGravacao::deletingADocument()
{
    QFETCH(QString, number);
    QFETCH(QString, page);
    QFETCH(QString, answer);
    LocaleService::setDecimalSeparator(u'.');
    const QDate d1 = kEntry.addDays(30), d2 = kEntry.addDays(60);
    // Other documents share products and due dates with document 5, and one
    // number begins as its does.
    const QList<Doc> stored{
        Doc{"5", kBranch, true, "12,00000",
            {{"01.02.001", "2,000", "2,50000"}, {"01.03.001", "1,000", "4,00000"},
             {"13.01.001", "1,000", "3,00000"}},
            {{d1, "6,00000"}, {d2, "6,00000"}}},
        Doc{"7", kOtherBranch, true, "5,00000", {{"01.02.001", "2,000", "2,50000"}},
            {{d1, "2,00000"}, {d2, "3,00000"}}},
        Doc{"6", kBranch, false, "2,50000", {{"01.02.001", "1,000", "2,50000"}}, {}},
        Doc{"55", kOtherBranch, true, "3,00000", {{"13.01.001", "1,000", "3,00000"}},
            {{d1, "3,00000"}}},
    };
    m_dir = std::make_unique<DataDir>(stored);
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QVERIFY(w->cdsLancEntr->Locate("NRLANCNFE", number));
    Table *rows = nullptr;
    if (page == QLatin1String("produto")) {
        w->mnuProduto->trigger();
        rows = w->cdsProduto;
        QCOMPARE(rows->RecordCount(), 3);
    } else if (page == QLatin1String("vencimento")) {
        w->mnuVencimento->trigger();
        rows = w->cdsVenc;
        QCOMPARE(rows->RecordCount(), 2);
    }
    m_answerer->press(answer);
    QVERIFY(command(w->sbtExcluir));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, kDeleteQuestion);

    if (answer != QLatin1String("Sim")) {
        QCOMPARE(m_dir->contents(), before);
        QCOMPARE(w->cdsLancEntr->RecordCount(), 2);
        QCOMPARE(header(w, "NRLANCNFE"), number);
        QCOMPARE(w->cdsLancEntr->State(), DataSetState::Browse);
        return;
    }
    if (rows) {
        // The row goes in memory only; the document waits for confirm.
        QCOMPARE(rows->RecordCount(), rows == w->cdsProduto ? 2 : 1);
        QCOMPARE(w->cdsLancEntr->State(), DataSetState::Edit);
        QCOMPARE(m_dir->contents(), before);
        QVERIFY(w->sbtCancelar.Enabled() && w->sbtConfirmar.Enabled());
        return;
    }

    QList<Doc> expected;
    for (const Doc &d : stored)
        if (d.number != number)
            expected.append(d);
    QCOMPARE(m_dir->onDisk(), linesOf(expected));
    QCOMPARE(w->cdsLancEntr->RecordCount(), 1);
    QVERIFY(header(w, "NRLANCNFE") != number);
    QVERIFY(!w->sbtCancelar.Enabled() && !w->sbtConfirmar.Enabled());
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Browse);

    w = openWindow();
    QVERIFY(w);
    QCOMPARE(shown(), linesOf(expected, kBranch));
}

// -------------------------------------------------------------- failed save

void TestLanEntrGravacao::failedSaveKeepsTheOldFiles_data()
{
    QTest::addColumn<QString>("failing");
    // Rows of another branch's document that make the failing file the
    // largest of the three.
    QTest::addColumn<int>("otherItems");
    QTest::addColumn<int>("otherDues");
    QTest::addColumn<bool>("dueDates");
    QTest::newRow("the header file, first") << "LANCENTR.cds" << 1 << 1 << false;
    QTest::newRow("the items file, after the header's") << "ITEMENTR.cds" << 40 << 1 << false;
    QTest::newRow("the due-date file, last") << "VENCENTR.cds" << 1 << 60 << true;
}

void TestLanEntrGravacao::failedSaveKeepsTheOldFiles()
{
#ifndef Q_OS_UNIX
    QSKIP("the file-size limit is a Unix resource limit");
#else
    QFETCH(QString, failing);
    QFETCH(int, otherItems);
    QFETCH(int, otherDues);
    QFETCH(bool, dueDates);
    Doc other{"3", kOtherBranch, true, "0,00000", {}, {}};
    for (int i = 0; i < otherItems; ++i)
        other.items.append({"01.02.001", "1,000", "1,00000"});
    for (int i = 0; i < otherDues; ++i)
        other.dues.append({kEntry.addDays(i + 1), "1,00000"});
    const Doc mine{"2", kBranch, false, "4,00000", {{"01.03.001", "2,000", "2,00000"}}, {}};
    m_dir = std::make_unique<DataDir>(QList<Doc>{other, mine});
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);

    KIVTEST_STEP(typeHeader(dueDates ? "03" : "02", kSupplier, "4711"));
    KIVTEST_STEP(typeItems({{"01.02.001", "3", "2,5"}, {"01.03.001", "2", "1,25"}}, true));
    if (dueDates)
        KIVTEST_STEP(typeDues({{QDate(2026, 4, 20), "6,5"}, {QDate(2026, 5, 20), "3,5"}}, true));
    const auto before = m_dir->contents();
    const qint64 limit = m_dir->size(failing);
    m_answerer->press("OK");
    {
        kivtest::FileSizeLimit full(limit);
        QVERIFY(command(w->sbtConfirmar));
    }
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->count(), 1);
    QVERIFY2(m_answerer->at(0).text.contains(failing), qPrintable(m_answerer->transcript()));
    // The files written before the failing one would have fitted: the old
    // ones came back although some new content was ready.
    const QList<const Table *> tables{w->cdsLancEntr, w->cdsProduto, w->cdsVenc};
    for (int i = 0; i < kFiles.size(); ++i) {
        const qint64 size = tables[i]->SavedContent().size();
        if (kFiles[i] == failing) {
            QVERIFY2(size > limit, qPrintable(kFiles[i]));
            break;
        }
        QVERIFY2(size <= limit, qPrintable(kFiles[i]));
    }
    // No file replaced, nothing left behind.
    QCOMPARE(m_dir->contents(), before);
    // The document stays posted in memory.
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Browse);
    QCOMPARE(w->cdsLancEntr->RecordCount(), 2);
    QVERIFY(w->cdsLancEntr->Locate("NRLANCNFE", "4"));
    QCOMPARE(header(w, "VRNOTAFISC"), QString("10,00000"));

    // The next header post, with room on the disk, writes both documents.
    w->mnuFormulario->trigger();
    KIVTEST_STEP(typeHeader("02", kSupplier, "4712"));
    QCOMPARE(header(w, "NRLANCNFE"), QString("5"));
    KIVTEST_STEP(typeItems({{"13.01.001", "4", "0,5"}}, false));
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_answerer->count(), 1);
    const QList<Item> firstItems{{"01.02.001", "3,000", "2,50000"},
                                 {"01.03.001", "2,000", "1,25000"}};
    const QList<Due> firstDues{{QDate(2026, 4, 20), "6,50000"}, {QDate(2026, 5, 20), "3,50000"}};
    const QList<Doc> expected{
        other, mine,
        Doc{"4", kBranch, dueDates, "10,00000", firstItems, dueDates ? firstDues : QList<Due>{}},
        Doc{"5", kBranch, false, "2,00000", {{"13.01.001", "4,000", "0,50000"}}, {}, "4712"}};
    QCOMPARE(m_dir->onDisk(), linesOf(expected));
    w = openWindow();
    QVERIFY(w);
    QCOMPARE(shown(), linesOf(expected, kBranch));
#endif
}

// ------------------------------------------------------------------- cancel

namespace {

// Document 5 of the session branch, with due dates, and one of another
// branch.
QList<Doc> cancelDocuments()
{
    return {Doc{"5", kBranch, true, "10,00000",
                {{"01.02.001", "3,000", "2,50000"}, {"01.03.001", "2,000", "1,25000"}},
                {{kEntry.addDays(30), "10,00000"}}},
            Doc{"4", kOtherBranch, false, "2,00000", {{"13.01.001", "1,000", "2,00000"}}, {}}};
}

} // namespace

void TestLanEntrGravacao::cancelPendingRow_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("item row on the Produto page") << "tshProduto";
    QTest::newRow("due-date row on the Vencimento page") << "tshVenc";
}

void TestLanEntrGravacao::cancelPendingRow()
{
    QFETCH(QString, page);
    m_dir = std::make_unique<DataDir>(cancelDocuments());
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    const bool items = page == QLatin1String("tshProduto");
    Table *rows = items ? w->cdsProduto : w->cdsVenc;
    if (items)
        KIVTEST_STEP(typeItems({{"13.01.001", "1", "2"}}, false));
    else
        KIVTEST_STEP(typeDues({{kEntry.addDays(40), "1"}}, false));
    // Document 5 holds two items and one due date.
    const int stored = items ? 2 : 1;
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Edit);

    // Only the row goes, without a question.
    QVERIFY(command(w->sbtCancelar));
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(rows->State(), DataSetState::Browse);
    QCOMPARE(rows->RecordCount(), stored);
    QCOMPARE(w->pgcLancEntr->ActivePage()->objectName(), page);
    // The document stays changed: the whole of it may still be cancelled.
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Edit);
    QCOMPARE(enabledCommands(w), QString("Incluir Alterar Excluir Procurar Cancelar Confirmar"));
    QCOMPARE(m_dir->contents(), before);

    // The next cancel asks; Não keeps the document as it is.
    m_answerer->press("Não");
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, kCancelAll);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Edit);
    QCOMPARE(rows->RecordCount(), stored);
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrGravacao::cancelWholeDocument_data()
{
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("answer");
    QTest::newRow("form page, Não") << "tshFormulario" << "Não";
    QTest::newRow("form page, Sim") << "tshFormulario" << "Sim";
    QTest::newRow("Produto page, Não") << "tshProduto" << "Não";
    QTest::newRow("Produto page, Sim") << "tshProduto" << "Sim";
    QTest::newRow("Vencimento page, Sim") << "tshVenc" << "Sim";
}

void TestLanEntrGravacao::cancelWholeDocument()
{
    QFETCH(QString, page);
    QFETCH(QString, answer);
    m_dir = std::make_unique<DataDir>(cancelDocuments());
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    const bool yes = answer == QLatin1String("Sim");

    // A new entry date and a quantity corrected in the grid.
    const QDate changed = changeEntryDate();
    QVERIFY(changed.isValid());
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Edit);
    w->mnuProduto->trigger();
    w->dbgProduto->setFocus();
    QTRY_VERIFY(w->dbgProduto->hasFocus());
    QVERIFY(w->cdsProduto->Locate("CDARVPROD", "01.02.001"));
    w->dbgProduto->SetSelectedField("QTITEMPROD");
    QTest::keyClick(w->dbgProduto, Qt::Key_Backspace);
    type("9");
    press(Qt::Key_Up);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);
    QVERIFY(w->cdsProduto->Locate("CDARVPROD", "01.02.001"));
    QCOMPARE(w->cdsProduto->FieldByName("QTITEMPROD")->AsString(), QString("9,000"));

    auto *target = w->pgcLancEntr->findChild<TTabSheet *>(page);
    QVERIFY(target);
    if (target == w->tshFormulario)
        w->mnuFormulario->trigger();
    else if (target == w->tshVenc)
        w->mnuVencimento->trigger();
    QCOMPARE(w->pgcLancEntr->ActivePage(), target);

    m_answerer->press(answer);
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, kCancelAll);
    QCOMPARE(w->pgcLancEntr->ActivePage(), target);
    QCOMPARE(w->cdsLancEntr->State(), yes ? DataSetState::Browse : DataSetState::Edit);
    QCOMPARE(w->dtpEntrada->Date(), yes ? kEntry : changed);
    QCOMPARE(w->sbtCancelar.Enabled(), !yes);
    QCOMPARE(w->sbtConfirmar.Enabled(), !yes);
    QVERIFY(enabledCommands(w).indexOf("button≠menu") < 0);
    // The items in memory: the correction goes with the document.
    w->cdsProduto->SetFiltered(false);
    QVERIFY(w->cdsProduto->Locate("NRLANCNFE;CDARVPROD", QVariantList{"5", "01.02.001"}));
    QCOMPARE(w->cdsProduto->FieldByName("QTITEMPROD")->AsString(),
             yes ? QString("3,000") : QString("9,000"));
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrGravacao::cancelWithNothingEdited()
{
    m_dir = std::make_unique<DataDir>(cancelDocuments());
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    for (QAction *page : {w->mnuFormulario, w->mnuProduto, w->mnuVencimento}) {
        page->trigger();
        // The command is not offered; reaching its menu entry changes
        // nothing and asks nothing.
        QVERIFY(!w->sbtCancelar.Enabled());
        w->sbtCancelar.menu->trigger();
        QCOMPARE(m_answerer->count(), 0);
        QCOMPARE(w->cdsLancEntr->State(), DataSetState::Browse);
        QCOMPARE(w->cdsLancEntr->RecordCount(), 1);
    }
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrGravacao::cancelFirstDocumentOfTheBranch_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("from the form page") << "tshFormulario";
    QTest::newRow("from the Produto page") << "tshProduto";
}

void TestLanEntrGravacao::cancelFirstDocumentOfTheBranch()
{
    QFETCH(QString, page);
    // Only another branch's document is stored.
    m_dir = std::make_unique<DataDir>(
        QList<Doc>{Doc{"4", kOtherBranch, false, "2,00000", {{"13.01.001", "1,000", "2,00000"}}, {}}});
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    QCOMPARE(w->cdsLancEntr->RecordCount(), 0);
    KIVTEST_STEP(typeHeader("02", kSupplier, "4711"));
    QCOMPARE(header(w, "NRLANCNFE"), QString("5"));
    KIVTEST_STEP(typeItems({{"01.02.001", "1", "2"}}, true));
    if (page == QLatin1String("tshFormulario"))
        w->mnuFormulario->trigger();

    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, kCancelAll);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Browse);
    QCOMPARE(w->cdsLancEntr->RecordCount(), 0);
    QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshFormulario);
    QVERIFY(w->mnuFormulario->isChecked());
    QVERIFY(!w->mnuProduto->isChecked() && !w->mnuVencimento->isChecked());
    QCOMPARE(w->dtsPadrao->DataSet(), w->cdsLancEntr);
    QVERIFY(!w->tshProduto->isEnabled() && !w->mnuProduto->isEnabled());
    QCOMPARE(enabledCommands(w), QString("Incluir"));
    // The typed item went with its document.
    w->cdsProduto->SetFiltered(false);
    QCOMPARE(w->cdsProduto->RecordCount(), 1);
    QVERIFY(!w->cdsProduto->Locate("NRLANCNFE", "5"));
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrGravacao::cancelNewDocumentShowsTheStoredOne_data()
{
    QTest::addColumn<QString>("page");
    QTest::newRow("from the Produto page") << "tshProduto";
    QTest::newRow("from the Vencimento page") << "tshVenc";
}

void TestLanEntrGravacao::cancelNewDocumentShowsTheStoredOne()
{
    QFETCH(QString, page);
    m_dir = std::make_unique<DataDir>(cancelDocuments());
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    const bool dues = page == QLatin1String("tshVenc");
    // A new document of another operation, typed as far as the page.
    KIVTEST_STEP(typeHeader(dues ? "03" : "02", kSupplier, "4711"));
    QCOMPARE(header(w, "NRLANCNFE"), QString("6"));
    KIVTEST_STEP(typeItems({{"01.02.001", "1", "2"}}, true));
    if (dues)
        KIVTEST_STEP(typeDues({{kEntry.addDays(10), "2"}}, true));

    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QVERIFY(m_answerer->waitFor(1));
    // The stored document is the current one again, and the page shows its
    // rows, not the discarded document's.
    QCOMPARE(header(w, "NRLANCNFE"), QString("5"));
    QCOMPARE(w->pgcLancEntr->ActivePage()->objectName(), page);
    Table *rows = dues ? w->cdsVenc : w->cdsProduto;
    QCOMPARE(rows->RecordCount(), dues ? 1 : 2);
    for (rows->First(); !rows->Eof(); rows->Next())
        QCOMPARE(rows->FieldByName("NRLANCNFE")->AsString(), QString("5"));
    QVERIFY(w->tshVenc->isEnabled() && w->mnuVencimento->isEnabled());
    QCOMPARE(w->dtpEntrada->Date(), kEntry);
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrGravacao::closingWhileTyping_data()
{
    QTest::addColumn<bool>("typing");
    QTest::addColumn<QString>("answer");
    QTest::newRow("a new document, Não keeps the window") << true << "Não";
    QTest::newRow("a new document, Sim closes without saving") << true << "Sim";
    QTest::newRow("nothing typed, no question") << false << "";
}

void TestLanEntrGravacao::closingWhileTyping()
{
    QFETCH(bool, typing);
    QFETCH(QString, answer);
    m_dir = std::make_unique<DataDir>(cancelDocuments());
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    if (typing) {
        KIVTEST_STEP(typeHeader("02", kSupplier, "4711"));
        KIVTEST_STEP(typeItems({{"01.02.001", "1", "2"}}, false));
        m_answerer->press(answer);
    }
    QVERIFY(command(w->sbtFechar));
    const bool stays = answer == QStringLiteral("Não");
    if (typing) {
        QVERIFY(m_answerer->waitFor(1));
        QCOMPARE(m_answerer->at(0).text, kCancelAll);
    }
    if (stays) {
        QVERIFY(!m_window.isNull() && w->isVisible());
        QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
        QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
    } else {
        QTRY_VERIFY(m_window.isNull());
    }
    QCOMPARE(m_answerer->count(), typing ? 1 : 0);
    QCOMPARE(m_dir->contents(), before);
}

// -------------------------------------------------------------- command bar

void TestLanEntrGravacao::commandBar_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("enabled");
    // Document 5 (no due dates, two items) and 6 (due dates) of the branch.
    QTest::newRow("form page, browsing") << QStringList{} << "Incluir Alterar Excluir";
    QTest::newRow("form page, new header") << QStringList{"incluir"} << "Cancelar Confirmar";
    QTest::newRow("form page, a date changed") << QStringList{"data"} << "Cancelar Confirmar";
    QTest::newRow("form page, confirmed")
        << QStringList{"data", "confirmar"} << "Incluir Alterar Excluir";
    QTest::newRow("form page, whole document cancelled")
        << QStringList{"data", "cancelarSim"} << "Incluir Alterar Excluir";
    QTest::newRow("form page, a document deleted")
        << QStringList{"excluirSim"} << "Incluir Alterar Excluir";
    QTest::newRow("form page, the last document deleted")
        << QStringList{"excluirSim", "excluirSim"} << "Incluir";
    QTest::newRow("Produto page, browsing")
        << QStringList{"produto"} << "Incluir Alterar Excluir Procurar";
    QTest::newRow("Produto page, a new row")
        << QStringList{"produto", "novoItem"} << "Cancelar Confirmar";
    QTest::newRow("Produto page, the new row posted")
        << QStringList{"produto", "novoItem", "postar"}
        << "Incluir Alterar Excluir Procurar Cancelar Confirmar";
    QTest::newRow("Produto page, the new row cancelled")
        << QStringList{"produto", "novoItem", "cancelar"}
        << "Incluir Alterar Excluir Procurar Cancelar Confirmar";
    QTest::newRow("Produto page, confirmed with the row open")
        << QStringList{"produto", "novoItem", "confirmar"} << "Incluir Alterar Excluir Procurar";
    QTest::newRow("Produto page, whole document cancelled")
        << QStringList{"produto", "novoItem", "postar", "cancelarSim"}
        << "Incluir Alterar Excluir Procurar";
    QTest::newRow("Produto page, new document without items")
        << QStringList{"novoDocumento", "produto"} << "Incluir Cancelar Confirmar";
    QTest::newRow("back to the form page with items")
        << QStringList{"produto", "formulario"} << "Incluir Alterar Excluir";
    QTest::newRow("Vencimento page, browsing")
        << QStringList{"proximo", "vencimento"} << "Incluir Alterar Excluir Procurar";
    QTest::newRow("Vencimento page, a new row")
        << QStringList{"proximo", "vencimento", "novoVenc"} << "Cancelar Confirmar";
}

void TestLanEntrGravacao::commandBar()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, enabled);
    m_dir = std::make_unique<DataDir>(QList<Doc>{
        Doc{"5", kBranch, false, "10,00000",
            {{"01.02.001", "3,000", "2,50000"}, {"01.03.001", "2,000", "1,25000"}}, {}},
        Doc{"6", kBranch, true, "7,50000", {{"01.02.001", "3,000", "2,50000"}},
            {{kEntry.addDays(30), "7,50000"}}}});
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    for (const QString &step : steps) {
        if (step == "incluir") {
            QVERIFY(command(w->sbtIncluir));
        } else if (step == "novoDocumento") {
            KIVTEST_STEP(typeHeader("02", kSupplier, "4711"));
        } else if (step == "data") {
            QVERIFY(changeEntryDate().isValid());
        } else if (step == "produto") {
            w->mnuProduto->trigger();
        } else if (step == "vencimento") {
            w->mnuVencimento->trigger();
        } else if (step == "formulario") {
            w->mnuFormulario->trigger();
        } else if (step == "proximo") {
            w->cdsLancEntr->Next();
            QCOMPARE(header(w, "NRLANCNFE"), QString("6"));
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
        } else if (step == "novoVenc") {
            w->dbgVenc->setFocus();
            QTRY_VERIFY(w->dbgVenc->hasFocus());
            w->cdsVenc->Last();
            press(Qt::Key_Down);
            w->dbgVenc->SetSelectedField("DTVENCENTR");
            type("20052026");
        } else if (step == "postar") {
            press(Qt::Key_Up);
        } else if (step == "confirmar") {
            QVERIFY(command(w->sbtConfirmar));
        } else if (step == "cancelar") {
            QVERIFY(command(w->sbtCancelar));
        } else if (step == "cancelarSim") {
            m_answerer->press("Sim");
            QVERIFY(command(w->sbtCancelar));
        } else if (step == "excluirSim") {
            m_answerer->press("Sim");
            QVERIFY(command(w->sbtExcluir));
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
        // Verify is never offered, whatever the state.
        QVERIFY(!w->sbtVerificar.Enabled());
    }
    QCOMPARE(m_answerer->pending(), 0);
    QCOMPARE(enabledCommands(w), enabled);
}

// ------------------------------------------------- after a change of mind

void TestLanEntrGravacao::dueDatesLeftBehindByAnOperationChange()
{
    const QList<Doc> stored = cancelDocuments();
    m_dir = std::make_unique<DataDir>(stored);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(typeHeader("03", kSupplier, "4711"));
    KIVTEST_STEP(typeItems({{"01.02.001", "3", "2,5"}}, true));
    KIVTEST_STEP(typeDues({{QDate(2026, 4, 20), "5"}}, true));
    if (QTest::currentTestFailed())
        return;
    // Back on the form, an operation without due dates, and the origin again.
    w->mnuFormulario->trigger();
    w->medOperacao->setFocus();
    QVERIFY(focusOn(w->medOperacao));
    w->medOperacao->selectAll();
    type("02");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->medOrigem));
    QVERIFY(!w->tshVenc->isEnabled());
    type(kSupplier);
    press(Qt::Key_Tab);
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_answerer->count(), 0);
    // The due date typed under 03 is not saved under 02.
    QList<Doc> expected = stored;
    expected.append(Doc{"6", kBranch, false, "7,50000", {{"01.02.001", "3,000", "2,50000"}}, {}});
    QCOMPARE(m_dir->onDisk(), linesOf(expected));
}

void TestLanEntrGravacao::afterAFailedSave_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("then");
    QTest::newRow("a new document, confirm saves it again") << "confirmar" << "confirmar";
    QTest::newRow("a new document, cancel drops it") << "confirmar" << "cancelarSim";
    QTest::newRow("a new document, cancel answered Não keeps it")
        << "confirmar" << "cancelarNão";
    QTest::newRow("a new document, closing asks") << "confirmar" << "fecharSim";
    QTest::newRow("a deletion, confirm saves it again") << "excluir" << "confirmar";
    QTest::newRow("a deletion, cancel brings the document back whole")
        << "excluir" << "cancelarSim";
}

void TestLanEntrGravacao::afterAFailedSave()
{
#ifndef Q_OS_UNIX
    QSKIP("the file-size limit is a Unix resource limit");
#else
    QFETCH(QString, failing);
    QFETCH(QString, then);
    const QList<Doc> stored = cancelDocuments();
    m_dir = std::make_unique<DataDir>(stored);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    const auto before = m_dir->contents();
    const bool inserting = failing == QLatin1String("confirmar");
    const Doc typed{"6", kBranch, false, "7,50000", {{"01.02.001", "3,000", "2,50000"}}, {}};
    QList<Doc> saved = stored;
    if (inserting) {
        KIVTEST_STEP(typeHeader("02", kSupplier, "4711"));
        KIVTEST_STEP(typeItems({{"01.02.001", "3", "2,5"}}, true));
        if (QTest::currentTestFailed())
            return;
        saved.append(typed);
    } else {
        saved.removeFirst();
    }
    const int shownBefore = m_answerer->count();
    if (!inserting)
        m_answerer->press("Sim");
    m_answerer->press("OK");
    {
        kivtest::FileSizeLimit full(16);
        QVERIFY(command(inserting ? w->sbtConfirmar : w->sbtExcluir));
    }
    QVERIFY(m_answerer->waitFor(shownBefore + (inserting ? 1 : 2)));
    QCOMPARE(m_dir->contents(), before);
    // What the operator did stays on screen, and may be confirmed again.
    QCOMPARE(w->cdsLancEntr->RecordCount(), inserting ? 2 : 0);
    QVERIFY(w->sbtConfirmar.Enabled() && w->sbtCancelar.Enabled());
    const int seen = m_answerer->count();

    if (then == QLatin1String("confirmar")) {
        QVERIFY(command(w->sbtConfirmar));
        QCOMPARE(m_answerer->count(), seen);
        QCOMPARE(m_dir->onDisk(), linesOf(saved));
        QVERIFY(!w->sbtConfirmar.Enabled() && !w->sbtCancelar.Enabled());
    } else if (then.startsWith(QLatin1String("cancelar"))) {
        const bool yes = then == QLatin1String("cancelarSim");
        m_answerer->press(yes ? "Sim" : "Não");
        QVERIFY(command(w->sbtCancelar));
        QVERIFY(m_answerer->waitFor(seen + 1));
        QCOMPARE(m_answerer->at(seen).text, kCancelAll);
        if (!yes) {
            QCOMPARE(w->cdsLancEntr->RecordCount(), 2);
            QVERIFY(w->sbtConfirmar.Enabled());
            QCOMPARE(m_dir->contents(), before);
            return;
        }
        // The window holds what the files hold: the dropped document with
        // nothing of it, the deleted one with all its rows.
        QCOMPARE(w->cdsLancEntr->RecordCount(), 1);
        QVERIFY(!w->sbtConfirmar.Enabled() && !w->sbtCancelar.Enabled());
        QCOMPARE(shown(), linesOf(stored, kBranch));
        // A later save writes exactly the stored documents and the new one.
        KIVTEST_STEP(typeHeader("02", kSupplier, "4711"));
        const QString next = inserting ? "7" : "6";
        QCOMPARE(header(w, "NRLANCNFE"), next);
        KIVTEST_STEP(typeItems({{"01.02.001", "3", "2,5"}}, true));
        if (QTest::currentTestFailed())
            return;
        QVERIFY(command(w->sbtConfirmar));
        QList<Doc> expected = stored;
        Doc later = typed;
        later.number = next;
        expected.append(later);
        QCOMPARE(m_dir->onDisk(), linesOf(expected));
    } else {
        // Closing asks before the document goes.
        m_answerer->press("Não");
        QVERIFY(command(w->sbtFechar));
        QVERIFY(m_answerer->waitFor(seen + 1));
        QCOMPARE(m_answerer->at(seen).text, kCancelAll);
        QVERIFY(!m_window.isNull() && w->isVisible());
        m_answerer->press("Sim");
        QVERIFY(command(w->sbtFechar));
        QVERIFY(m_answerer->waitFor(seen + 2));
        QTRY_VERIFY(m_window.isNull());
        QCOMPARE(m_dir->contents(), before);
    }
#endif
}

QTEST_MAIN(TestLanEntrGravacao)
#include "tst_lanentr_gravacao.moc"
