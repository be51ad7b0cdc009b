#include "basewindows.h"
#include "datasource.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "dialoganswerer.h"
#include "errors.h"
#include "lanentrtests.h"
#include "localeservice.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "tfrmlanentr.h"
#include "tfrmprincipal.h"

#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <functional>
#include <memory>

using namespace kiv;
using namespace lanentrtests;
using kivtest::command;
using kivtest::focusOn;
using kivtest::press;
using kivtest::type;

namespace {

const QString kOtherBranch = QStringLiteral("0012");
// The branch that issued the authorisations; imported items keep it.
const QString kIssuer = QStringLiteral("0099");

const QString kAfTitle = QStringLiteral("Autorização de Fornecimento");
const QString kSupplierTitle = QStringLiteral("Fornecedor");
const QString kBranchTitle = QStringLiteral("Filial");
const QString kQuestion = QStringLiteral("Deseja importar AF ?");
const QString kNoAf = QStringLiteral("Filial não possui AF cadastrada.");
const QString kUnknownProduct = QStringLiteral("Produto não cadastrado.");
const QString kBlocked = QStringLiteral("Produto bloqueado para lançamento sem AF.");
const QString kNoOrigin = QStringLiteral("Origem deve ser informada.");

// Delivery dates of the authorisations of the session branch.
const QDate kDelivery345(2026, 3, 10);
const QDate kDelivery346(2026, 3, 12);
const QDate kDelivery350(2026, 3, 11);

// How the central system flags the import as compulsory.
struct Flags
{
    QString param = QStringLiteral("S");
    // A second parameter row: only the first one counts.
    QString secondParam;
    QString branch = QStringLiteral("N");
    QString otherBranch = QStringLiteral("N");
};

// What the central system exported: the separator of its numeric texts and
// the time of day of its delivery dates.
struct Export
{
    QChar separator = u',';
    QTime time = QTime(0, 0);
};

QString exported(const Export &ex, const char *text)
{
    return QString::fromUtf8(text).replace(u',', ex.separator);
}

QDateTime at(const Export &ex, const QDate &date)
{
    return QDateTime(date, ex.time, Qt::UTC);
}

QVariantMap authorisation(const Export &ex, const QString &branch, const char *number,
                          const char *supplier, const QDate &delivery, const char *total)
{
    return {{"CDFILLANC", kIssuer},
            {"CDFILDEST", branch},
            {"NRAUTOFORN", number},
            {"CDFORNECED", supplier},
            {"DTPENTAF", at(ex, delivery)},
            {"STDTPENTAF", LocaleService::dateToText(delivery)},
            {"VRTOTALAF", exported(ex, total)}};
}

struct Product
{
    const char *id;
    const char *code;
    const char *name;
    const char *unit;
};

const Product kRice{"1021", "01.02.001", "ARROZ AGULHINHA", "KG"};
const Product kBeans{"1031", "01.03.001", "FEIJÃO CARIOCA", "KG"};
const Product kPasta{"1041", "01.04.001", "MACARRÃO ESPAGUETE", "PCT"};
const Product kOil{"1301", "13.01.001", "ÓLEO DE SOJA", "LT"};
// Exported with an authorisation, missing from the product file.
const Product kUnknown{"9901", "99.01.001", "PRODUTO DESCONTINUADO", "UN"};

QVariantMap authorisationItem(const Export &ex, const QString &branch, const char *number,
                              const QDate &delivery, const Product &p, const char *brand,
                              const char *quantity, const char *price)
{
    return {{"CDFILLANC", kIssuer},
            {"CDFILDEST", branch},
            {"NRAUTOFORN", number},
            {"CDMARCA", brand},
            {"CDPRODUTO", p.id},
            {"DTPENTAF", at(ex, delivery)},
            {"QTPENTAF", exported(ex, quantity)},
            {"VRPREUNIAF", exported(ex, price)},
            {"CDARVPROD", p.code},
            {"NMPRODUTO", QString::fromUtf8(p.name)},
            {"SGUNIDADE", p.unit},
            {"CDPSQPROD", p.code}};
}

// The session branch's authorisations: 345 (supplier F100, 1234,5 for
// 50 × 12,5 + 40 × 15,2375), 346 (F200, 100 for items worth 7,5) and 350
// (a supplier the supplier file lacks). Branch 0012 has a 345 of its own,
// and 345 was also delivered once before: neither may be imported.
QList<QVariantMap> defaultAuthorisations(const Export &ex)
{
    return {authorisation(ex, kBranch, "346", "F200", kDelivery346, "100"),
            authorisation(ex, kOtherBranch, "345", "F100", kDelivery345, "999"),
            authorisation(ex, kBranch, "350", "F999", kDelivery350, "80"),
            authorisation(ex, kBranch, "345", "F100", kDelivery345, "1234,5")};
}

QList<QVariantMap> defaultAuthorisationItems(const Export &ex)
{
    return {
        authorisationItem(ex, kBranch, "345", kDelivery345.addMonths(-1), kOil, "M09", "7",
                          "9,9"),
        authorisationItem(ex, kBranch, "345", kDelivery345, kRice, "M01", "50", "12,5"),
        authorisationItem(ex, kOtherBranch, "345", kDelivery345, kOil, "M09", "3", "1"),
        authorisationItem(ex, kBranch, "345", kDelivery345, kBeans, "M02", "40", "15,2375"),
        authorisationItem(ex, kBranch, "346", kDelivery346, kRice, "M01", "3", "2,5"),
        authorisationItem(ex, kBranch, "350", kDelivery350, kBeans, "M02", "8", "10"),
    };
}

// A data directory with every file the window loads: entry operations 01
// (supplier, the one that imports), 02 (supplier) and 07 (branch), without
// due dates; suppliers F100 and F200; branches 0001 (the session's) and
// 0012; products under the mask 99.99.999, all of group 01 blocked for the
// session branch without an authorisation; document 1 of branch 0012 with
// one item; the authorisations above unless a test writes its own.
class DataDir : public EntryDataDirectory
{
public:
    explicit DataDir(const Flags &flags = {}, const Export &ex = {})
    {
        QList<QVariantMap> params{{{"IDCONSMEFE", "N"}, {"IDBLOQNFSAF", flags.param}}};
        if (!flags.secondParam.isEmpty())
            params.append({{"IDCONSMEFE", "N"}, {"IDBLOQNFSAF", flags.secondParam}});
        write(RefTables::param(), params);
        write(RefTables::filial(),
              {{{"CDFILIAL", kBranch}, {"NMFILIAL", kBranchName}, {"IDBLOQNFSAF", flags.branch}},
               {{"CDFILIAL", kOtherBranch},
                {"NMFILIAL", "COZINHA SUL"},
                {"IDBLOQNFSAF", flags.otherBranch}}});
        write(RefTables::tipoOper(),
              {operationRow("01", "COMPRA DE FORNECEDOR", "F", "N"),
               operationRow("02", "DOAÇÃO DE FORNECEDOR", "F", "N"),
               operationRow("07", "TRANSFERÊNCIA ENTRE FILIAIS", "L", "N")});
        write(RefTables::forneced(), {supplierF100(),
                                      {{"CDFORNECED", "F200"},
                                       {"NRMSKFORN", "22.333.444/0001-55"},
                                       {"NRINSJURFO", "22333444000155"},
                                       {"NMRAZSOCFO", "LATICÍNIOS SERRA AZUL"}}});
        write(RefTables::serie(), {seriesU()});
        write(RefTables::produto(RefTables::ProductReader::Entries),
              {product(kRice), product(kBeans), product(kPasta), product(kOil)});
        write(RefTables::expFilial(), {{{"CDFILIAL", kBranch},
                                        {"CDARVPROD", "01"},
                                        {"IDBLOQNFSAF", "S"}}});
        write(RecordedTables::lancEntr(), {{{"NRLANCNFE", "1"},
                                            {"CDFILIAL", kOtherBranch},
                                            {"CDTIPOOPER", "02"},
                                            {"IDENTORIOP", "F"},
                                            {"CDORIGEM", "F100"},
                                            {"NRNOTAFISC", "10"},
                                            {"CDSERIE", "U"},
                                            {"IDUTILVENC", "N"},
                                            {"IDIMPAF", "N"}}});
        write(RecordedTables::itemEntr(), {{{"NRLANCNFE", "1"},
                                            {"CDPRODUTO", kRice.id},
                                            {"CDARVPROD", kRice.code},
                                            {"QTITEMPROD", withSeparator("1,000")},
                                            {"VRUNITITEM", withSeparator("1,00000")},
                                            {"CDFILLANC", kOtherBranch},
                                            {"CDFILDEST", kBranch}}});
        writeAuthorisations(defaultAuthorisations(ex), defaultAuthorisationItems(ex));
    }

    void writeAuthorisations(const QList<QVariantMap> &numbers,
                             const QList<QVariantMap> &items) const
    {
        write(RefTables::numAf(), numbers);
        write(RefTables::itemAf(), items);
    }

private:
    static QVariantMap product(const Product &p)
    {
        return productRow(p.id, p.code, p.name, p.unit);
    }
};

QString text(const Table *table, const char *name)
{
    return table->FieldByName(QString::fromLatin1(name))->AsString();
}

// One row of the authorisation list as the operator reads it.
struct ListRow
{
    QString supplier;
    QString number;
    QString date;
    QString value;
    bool operator==(const ListRow &o) const
    {
        return supplier == o.supplier && number == o.number && date == o.date
               && value == o.value;
    }
};

QString describe(const QList<ListRow> &rows)
{
    QStringList lines;
    for (const ListRow &r : rows)
        lines << QStringLiteral("%1|%2|%3|%4").arg(r.supplier, r.number, r.date, r.value);
    return lines.join(u'\n');
}

// What a lookup dialog showed: its title, its column titles and the rows of
// the table it lists.
struct ListSeen
{
    QString title;
    QStringList columns;
    QList<QStringList> rows;
};

void look(QWidget *dialog, ListSeen &seen)
{
    seen.title = dialog->windowTitle();
    auto *grid = dialog->findChild<TDBGrid *>(QStringLiteral("dbgPesquisa"));
    if (!grid)
        return;
    Table *table = grid->DataSource() ? grid->DataSource()->DataSet() : nullptr;
    QList<int> fields;
    for (int i = 0; i < grid->Columns().Count(); ++i) {
        seen.columns << grid->Columns().Items(i)->Title();
        if (Field *f = grid->Columns().Items(i)->GetField())
            fields << f->Index();
    }
    if (!table)
        return;
    for (int row = 0; row < table->ViewCount(); ++row) {
        QStringList cells;
        for (int f : std::as_const(fields))
            cells << table->TextAt(row, f);
        seen.rows << cells;
    }
}

// Looks at the list and picks the row whose column `column` reads `value`,
// moving down the grid with the arrow key as the operator does.
std::function<void(QWidget *)> pickRow(ListSeen &seen, int column, const QString &value)
{
    return [&seen, column, value](QWidget *dialog) {
        look(dialog, seen);
        int target = -1;
        for (int i = 0; i < seen.rows.size(); ++i)
            if (seen.rows[i].value(column) == value)
                target = i;
        auto *grid = dialog->findChild<TDBGrid *>(QStringLiteral("dbgPesquisa"));
        if (target < 0 || !grid) {
            static_cast<QDialog *>(dialog)->reject();
            return;
        }
        Table *table = grid->DataSource()->DataSet();
        for (int moves = 0; table->RecNo() - 1 < target && moves < 20; ++moves)
            QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Return);
    };
}

std::function<void(QWidget *)> cancelList(ListSeen &seen)
{
    return [&seen](QWidget *dialog) {
        look(dialog, seen);
        auto *grid = dialog->findChild<TDBGrid *>(QStringLiteral("dbgPesquisa"));
        QTest::keyClick(grid ? static_cast<QWidget *>(grid) : dialog, Qt::Key_Escape);
    };
}

QList<ListRow> authorisationRows(const ListSeen &seen)
{
    QList<ListRow> rows;
    for (const QStringList &cells : seen.rows)
        rows.append({cells.value(0), cells.value(1), cells.value(2), cells.value(3)});
    return rows;
}

// The rows of a table as it shows them (its filter applied), by field.
QList<QVariantMap> rowsOf(Table *table, const QStringList &names)
{
    QList<QVariantMap> rows;
    for (int row = 0; row < table->ViewCount(); ++row) {
        QVariantMap values;
        for (const QString &name : names)
            values.insert(name, table->TextAt(row, table->FieldByName(name)->Index()));
        rows.append(values);
    }
    return rows;
}

} // namespace

Q_DECLARE_METATYPE(Flags)
Q_DECLARE_METATYPE(Export)

class TestLanEntrAf : public QObject, private kivtest::WindowTest<TfrmLanEntr, DataDir>
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void modeOfTheSupplierOrigin_data();
    void modeOfTheSupplierOrigin();
    void branchWithoutAuthorisation_data();
    void branchWithoutAuthorisation();
    void importFillsHeaderAndItems_data();
    void importFillsHeaderAndItems();
    void confirmingAnImportedDocument_data();
    void confirmingAnImportedDocument();
    void importingAgainOverwritesTheItems_data();
    void importingAgainOverwritesTheItems();
    void blockedProductOnlyWithoutAuthorisation_data();
    void blockedProductOnlyWithoutAuthorisation();
    void productMissingFromTheProductFile_data();
    void productMissingFromTheProductFile();
    void cancellingTheListChangesNothing();
    void supplierMissingFromTheSupplierFile();

private:
    TfrmLanEntr *openWindow();
    // The origin lookup as the operator opens it: F9 in the origin field.
    void openOriginLookup();
    // Authorisation `number` chosen from the list, the compulsory way.
    void importAuthorisation(const QString &number, ListSeen *seen = nullptr);
    // Invoice number and series typed, so that the header checks pass.
    void typeInvoiceAndSeries();
    void showPage(TTabSheet *page);
};

void TestLanEntrAf::init()
{
    startTest();
}

void TestLanEntrAf::cleanup()
{
    endTest();
}

TfrmLanEntr *TestLanEntrAf::openWindow()
{
    if (!m_dir)
        m_dir = std::make_unique<DataDir>();
    m_window = openEntryWindow(m_principal);
    return m_window;
}

void TestLanEntrAf::openOriginLookup()
{
    m_window->medOrigem->setFocus();
    QVERIFY(focusOn(m_window->medOrigem));
    press(Qt::Key_F9);
}

void TestLanEntrAf::importAuthorisation(const QString &number, ListSeen *seen)
{
    ListSeen local;
    ListSeen &target = seen ? *seen : local;
    const int before = m_answerer->count();
    m_answerer->run(pickRow(target, 1, number));
    openOriginLookup();
    QVERIFY(m_answerer->waitFor(before + 1));
    QCOMPARE(m_answerer->count(), before + 1);
    QCOMPARE(target.title, kAfTitle);
}

void TestLanEntrAf::typeInvoiceAndSeries()
{
    TfrmLanEntr *w = m_window;
    w->medNF->setFocus();
    QVERIFY(focusOn(w->medNF));
    type("4711");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->medSerie));
    type("U");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->MedTotal));
}

void TestLanEntrAf::showPage(TTabSheet *page)
{
    TfrmLanEntr *w = m_window;
    w->pgcLancEntr->SelectPage(w->pgcLancEntr->indexOf(page));
}

// ------------------------------------------------------------ mode choice

void TestLanEntrAf::modeOfTheSupplierOrigin_data()
{
    QTest::addColumn<Flags>("flags");
    QTest::addColumn<QString>("operation");
    // How the lookup is opened: "F9", "F6" in the origin field, "click".
    QTest::addColumn<QString>("trigger");
    // The answer to "Deseja importar AF ?"; empty: no question expected.
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("list");

    const auto flags = [](const char *param, const char *branch, const char *other,
                          const char *second = "") {
        Flags f;
        f.param = QString::fromLatin1(param);
        f.branch = QString::fromLatin1(branch);
        f.otherBranch = QString::fromLatin1(other);
        f.secondParam = QString::fromLatin1(second);
        return f;
    };
    QTest::newRow("parameter S: compulsory, no question")
        << flags("S", "N", "N") << "01" << "F9" << "" << kAfTitle;
    QTest::newRow("parameter S, by the button")
        << flags("S", "N", "N") << "01" << "click" << "" << kAfTitle;
    QTest::newRow("parameter S and branch S") << flags("S", "S", "S") << "01" << "F6" << ""
                                              << kAfTitle;
    QTest::newRow("session branch S: compulsory for it")
        << flags("N", "S", "N") << "01" << "F9" << "" << kAfTitle;
    QTest::newRow("session branch S, by the button")
        << flags("N", "S", "N") << "01" << "click" << "" << kAfTitle;
    QTest::newRow("only another branch S: asked, Sim")
        << flags("N", "N", "S") << "01" << "F9" << "Sim" << kAfTitle;
    QTest::newRow("only another branch S: asked, Não")
        << flags("N", "N", "S") << "01" << "F6" << "Não" << kSupplierTitle;
    QTest::newRow("both N: asked, Sim") << flags("N", "N", "N") << "01" << "click" << "Sim"
                                        << kAfTitle;
    QTest::newRow("both N: asked, Não") << flags("N", "N", "N") << "01" << "F9" << "Não"
                                        << kSupplierTitle;
    QTest::newRow("flags empty: asked") << flags("", "", "") << "01" << "F9" << "Não"
                                        << kSupplierTitle;
    QTest::newRow("only the first parameter row counts")
        << flags("N", "N", "N", "S") << "01" << "F9" << "Não" << kSupplierTitle;
    QTest::newRow("operation 02, everything S: supplier list")
        << flags("S", "S", "S") << "02" << "F9" << "" << kSupplierTitle;
    QTest::newRow("operation 02 by the button") << flags("N", "N", "N") << "02" << "click" << ""
                                                << kSupplierTitle;
}

void TestLanEntrAf::modeOfTheSupplierOrigin()
{
    QFETCH(Flags, flags);
    QFETCH(QString, operation);
    QFETCH(QString, trigger);
    QFETCH(QString, answer);
    QFETCH(QString, list);
    m_dir = std::make_unique<DataDir>(flags);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, operation));

    // The authorisation list is left without a choice; a supplier is picked.
    ListSeen seen;
    if (!answer.isEmpty())
        m_answerer->press(answer);
    if (list == kAfTitle)
        m_answerer->run(cancelList(seen));
    else
        m_answerer->run(pickRow(seen, 1, QStringLiteral("CEREALISTA BOA SAFRA")));
    if (trigger == QLatin1String("click"))
        w->btpOrigem->click();
    else
        press(trigger == QLatin1String("F6") ? Qt::Key_F6 : Qt::Key_F9);
    const int dialogs = answer.isEmpty() ? 1 : 2;
    QVERIFY(m_answerer->waitFor(dialogs));
    QCOMPARE(m_answerer->count(), dialogs);
    if (!answer.isEmpty())
        QCOMPARE(m_answerer->at(0).text, kQuestion);
    QCOMPARE(m_answerer->at(dialogs - 1).objectName, QString("dlgPesquisar"));
    QCOMPARE(seen.title, list);

    const QString imported = list == kAfTitle ? QString() : QStringLiteral("N");
    QCOMPARE(text(w->cdsLancEntr, "IDIMPAF"), imported);
    QCOMPARE(text(w->cdsLancEntr, "CDORIGEM"), list == kAfTitle ? QString() : "F100");
    QCOMPARE(text(w->cdsLancEntr, "NRINSJURNF"),
             list == kAfTitle ? QString() : "11222333000144");
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
    if (list == kSupplierTitle)
        QVERIFY(focusOn(w->dtpEntrada));
    // Neither list is left narrowed.
    QVERIFY(!w->cdsNumAF->Filtered());
    QVERIFY(!w->cdsFilial->Filtered());
    QCOMPARE(w->cdsFilial->RecordCount(), 2);

    // A branch origin afterwards lists every branch.
    w->medOperacao->setFocus();
    QVERIFY(focusOn(w->medOperacao));
    press(Qt::Key_A, Qt::ControlModifier);
    type("07");
    press(Qt::Key_Tab);
    QVERIFY(focusOn(w->medOrigem));
    QCOMPARE(text(w->cdsLancEntr, "IDENTORIOP"), QString("L"));
    ListSeen branches;
    m_answerer->run(cancelList(branches));
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(dialogs + 1));
    QCOMPARE(m_answerer->count(), dialogs + 1);
    QCOMPARE(branches.title, kBranchTitle);
    QCOMPARE(branches.rows.size(), 2);
}

// --------------------------------------------------- no authorisation

void TestLanEntrAf::branchWithoutAuthorisation_data()
{
    QTest::addColumn<Flags>("flags");
    // The answer to the question, when asked.
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("otherBranchHasOne");

    Flags byParameter;
    Flags byBranch;
    byBranch.param = QStringLiteral("N");
    byBranch.branch = QStringLiteral("S");
    Flags asked;
    asked.param = QStringLiteral("N");
    QTest::newRow("none at all, compulsory by parameter") << byParameter << "" << false;
    QTest::newRow("only another branch's, compulsory by parameter") << byParameter << ""
                                                                    << true;
    QTest::newRow("only another branch's, compulsory for the branch") << byBranch << ""
                                                                      << true;
    QTest::newRow("only another branch's, operator says Sim") << asked << "Sim" << true;
}

void TestLanEntrAf::branchWithoutAuthorisation()
{
    QFETCH(Flags, flags);
    QFETCH(QString, answer);
    QFETCH(bool, otherBranchHasOne);
    m_dir = std::make_unique<DataDir>(flags);
    const Export ex;
    if (otherBranchHasOne)
        m_dir->writeAuthorisations(
            {authorisation(ex, kOtherBranch, "345", "F100", kDelivery345, "1234,5")},
            {authorisationItem(ex, kOtherBranch, "345", kDelivery345, kRice, "M01", "1",
                               "1")});
    else
        m_dir->writeAuthorisations({}, {});
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "01"));
    const QDate today = w->dtpEntrada->Date();
    const int items = w->cdsProduto->RecordCount();

    if (!answer.isEmpty())
        m_answerer->press(answer);
    m_answerer->press("OK");
    press(Qt::Key_F9);
    const int dialogs = answer.isEmpty() ? 1 : 2;
    QVERIFY(m_answerer->waitFor(dialogs));
    QCOMPARE(m_answerer->count(), dialogs);
    QCOMPARE(m_answerer->at(dialogs - 1).text, kNoAf);

    // Nothing changed, and no list stays narrowed.
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
    for (const char *name : {"IDIMPAF", "NRINSJURNF", "CDORIGEM", "NMORIGEM", "VRNOTAFISC",
                             "NRAUTOFORN", "DTPENTAF"})
        QVERIFY2(text(w->cdsLancEntr, name).isEmpty(), name);
    QCOMPARE(w->dtpEntrada->Date(), today);
    QCOMPARE(w->dtpEmissao->Date(), today);
    QCOMPARE(w->cdsProduto->RecordCount(), items);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);
    QVERIFY(!w->cdsNumAF->Filtered());
    QVERIFY(!w->cdsFilial->Filtered());
    QCOMPARE(w->cdsFilial->RecordCount(), 2);
    QCOMPARE(m_dir->contents(), before);
}

// --------------------------------------------------------------- import

void TestLanEntrAf::importFillsHeaderAndItems_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("dateFormat");
    QTest::addColumn<Export>("ex");
    QTest::addColumn<QString>("listValue");
    QTest::addColumn<QString>("total");

    QTest::newRow("comma, exported with comma")
        << QChar(u',') << "dd/MM/yyyy" << Export{u',', QTime(0, 0)} << "1234,50"
        << "1234,50000";
    QTest::newRow("point, exported with point")
        << QChar(u'.') << "dd/MM/yyyy" << Export{u'.', QTime(0, 0)} << "1234.50"
        << "1234.50000";
    QTest::newRow("comma, exported with point")
        << QChar(u',') << "dd/MM/yyyy" << Export{u'.', QTime(0, 0)} << "1234,50"
        << "1234,50000";
    QTest::newRow("point, exported with comma")
        << QChar(u'.') << "dd/MM/yyyy" << Export{u',', QTime(0, 0)} << "1234.50"
        << "1234.50000";
    QTest::newRow("month first dates")
        << QChar(u',') << "MM/dd/yyyy" << Export{u',', QTime(0, 0)} << "1234,50"
        << "1234,50000";
    QTest::newRow("delivery with a time of day")
        << QChar(u',') << "dd/MM/yyyy" << Export{u',', QTime(8, 30)} << "1234,50"
        << "1234,50000";
}

void TestLanEntrAf::importFillsHeaderAndItems()
{
    QFETCH(QChar, separator);
    QFETCH(QString, dateFormat);
    QFETCH(Export, ex);
    QFETCH(QString, listValue);
    QFETCH(QString, total);
    LocaleService::setDecimalSeparator(separator);
    LocaleService::setShortDateFormat(dateFormat);
    m_dir = std::make_unique<DataDir>(Flags{}, ex);
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "01"));
    const QString number = text(w->cdsLancEntr, "NRLANCNFE");
    QCOMPARE(number, QString("2"));

    ListSeen seen;
    importAuthorisation("345", &seen);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_answerer->count(), 1);

    // The list: the session branch's authorisations only, with the
    // supplier's name when the supplier file has it.
    QCOMPARE(seen.columns, (QStringList{"Fornecedor", "Número", "Data", "Valor"}));
    QList<ListRow> expected{
        {"CEREALISTA BOA SAFRA", "345", LocaleService::dateToText(kDelivery345), listValue},
        {"LATICÍNIOS SERRA AZUL", "346", LocaleService::dateToText(kDelivery346),
         withSeparator("100,00")},
        {"", "350", LocaleService::dateToText(kDelivery350), withSeparator("80,00")}};
    QList<ListRow> shown = authorisationRows(seen);
    std::sort(shown.begin(), shown.end(),
              [](const ListRow &a, const ListRow &b) { return a.number < b.number; });
    QVERIFY2(shown == expected, qPrintable(describe(shown)));

    // The header.
    Table *h = w->cdsLancEntr;
    QCOMPARE(h->State(), DataSetState::Insert);
    QCOMPARE(text(h, "NRLANCNFE"), number);
    QCOMPARE(text(h, "CDTIPOOPER"), QString("01"));
    QCOMPARE(text(h, "NRINSJURNF"), QString("11222333000144"));
    QCOMPARE(text(h, "CDORIGEM"), QString("F100"));
    QCOMPARE(text(h, "NMORIGEM"), QString("CEREALISTA BOA SAFRA"));
    QCOMPARE(text(h, "IDIMPAF"), QString("S"));
    QCOMPARE(text(h, "NRAUTOFORN"), QString("345"));
    QCOMPARE(h->FieldByName("DTPENTAF")->AsDate(), kDelivery345);
    QCOMPARE(text(h, "VRNOTAFISC"), total);
    QCOMPARE(w->MedTotal->text(), total);
    QCOMPARE(w->medOrigem->text(), QString("11222333000144"));
    QCOMPARE(w->edtOrigem->text(), QString("CEREALISTA BOA SAFRA"));
    QCOMPARE(w->dtpEntrada->Date(), kDelivery345);
    QCOMPARE(w->dtpEmissao->Date(), kDelivery345);
    QVERIFY(focusOn(w->dtpEntrada));
    QVERIFY(!w->cdsNumAF->Filtered());
    QVERIFY(!w->cdsFilial->Filtered());

    // The items, posted by the move to the Produto page: the document's two
    // and nothing of the other delivery or of the other branch's 345.
    typeInvoiceAndSeries();
    showPage(w->tshProduto);
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshProduto);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);
    const QStringList names{"NRLANCNFE", "CDPRODUTO", "CDARVPROD", "NMPRODUTO", "SGUNIDADE",
                            "QTITEMPROD", "VRUNITITEM", "CDFILLANC", "CDFILDEST", "CDMARCA",
                            "QTPENTAF", "VRPREUNIAF", "CDPSQPROD"};
    const auto row = [&](const Product &p, const char *brand, const char *quantity,
                         const char *unitValue, const char *afQuantity, const char *afPrice) {
        return QVariantMap{{"NRLANCNFE", number},
                           {"CDPRODUTO", p.id},
                           {"CDARVPROD", p.code},
                           {"NMPRODUTO", QString::fromUtf8(p.name)},
                           {"SGUNIDADE", p.unit},
                           {"QTITEMPROD", withSeparator(quantity)},
                           {"VRUNITITEM", withSeparator(unitValue)},
                           {"CDFILLANC", kIssuer},
                           {"CDFILDEST", kBranch},
                           {"CDMARCA", brand},
                           {"QTPENTAF", withSeparator(afQuantity)},
                           {"VRPREUNIAF", withSeparator(afPrice)},
                           {"CDPSQPROD", p.code}};
    };
    const QList<QVariantMap> items = rowsOf(w->cdsProduto, names);
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.value(0), row(kRice, "M01", "50,000", "12,50000", "50,00", "12,50"));
    QCOMPARE(items.value(1), row(kBeans, "M02", "40,000", "15,23750", "40,00", "15,24"));
    // Kept in memory until the document is confirmed.
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrAf::confirmingAnImportedDocument_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("authorisation");
    QTest::addColumn<QString>("imported");
    QTest::addColumn<QString>("confirmed");
    QTest::addColumn<QStringList>("products");

    QTest::newRow("comma: items add up to the total")
        << QChar(u',') << "345" << "1234,50000" << "1234,50000"
        << QStringList{kRice.code, kBeans.code};
    QTest::newRow("point: items add up to the total")
        << QChar(u'.') << "345" << "1234.50000" << "1234.50000"
        << QStringList{kRice.code, kBeans.code};
    QTest::newRow("comma: items worth 7,5 against 100")
        << QChar(u',') << "346" << "100,00000" << "7,50000" << QStringList{kRice.code};
    QTest::newRow("point: items worth 7.5 against 100")
        << QChar(u'.') << "346" << "100.00000" << "7.50000" << QStringList{kRice.code};
}

void TestLanEntrAf::confirmingAnImportedDocument()
{
    QFETCH(QChar, separator);
    QFETCH(QString, authorisation);
    QFETCH(QString, imported);
    QFETCH(QString, confirmed);
    QFETCH(QStringList, products);
    LocaleService::setDecimalSeparator(separator);
    m_dir = std::make_unique<DataDir>();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "01"));
    importAuthorisation(authorisation);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(text(w->cdsLancEntr, "VRNOTAFISC"), imported);
    const QDate delivery = authorisation == "345" ? kDelivery345 : kDelivery346;
    // The first items are posted by the import itself, before the invoice
    // number is typed: the header post gives it to every one.
    typeInvoiceAndSeries();
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Browse);
    QCOMPARE(text(w->cdsLancEntr, "VRNOTAFISC"), confirmed);
    QVERIFY(!w->sbtConfirmar.Enabled());

    // The files hold the document as a new window would show it.
    auto headers = m_dir->load(RecordedTables::lancEntr());
    QCOMPARE(headers->RecordCount(), 2);
    QVERIFY(headers->Locate("NRLANCNFE", "2"));
    QCOMPARE(text(headers.get(), "CDFILIAL"), kBranch);
    QCOMPARE(text(headers.get(), "IDIMPAF"), QString("S"));
    QCOMPARE(text(headers.get(), "NRAUTOFORN"), authorisation);
    QCOMPARE(headers->FieldByName("DTPENTAF")->AsDate(), delivery);
    QCOMPARE(headers->FieldByName("DTENTRADA")->AsDate(), delivery);
    QCOMPARE(headers->FieldByName("DTEMISSAO")->AsDate(), delivery);
    QCOMPARE(text(headers.get(), "VRNOTAFISC"), confirmed);
    QCOMPARE(text(headers.get(), "NRNOTAFISC"), QString("4711"));
    QCOMPARE(text(headers.get(), "CDORIGEM"), QString(authorisation == "345" ? "F100" : "F200"));

    auto items = m_dir->load(RecordedTables::itemEntr());
    items->SetFilter(QStringLiteral("NRLANCNFE = '2'"));
    items->SetFiltered(true);
    QCOMPARE(items->RecordCount(), products.size());
    for (items->First(); !items->Eof(); items->Next()) {
        QVERIFY2(products.contains(text(items.get(), "CDARVPROD")),
                 qPrintable(text(items.get(), "CDARVPROD")));
        QCOMPARE(text(items.get(), "NRNFEPROD"), QString("4711"));
        QCOMPARE(text(items.get(), "CDFILLANC"), kIssuer);
    }
    // The other branch's item is written back untouched.
    items->SetFilter(QStringLiteral("NRLANCNFE = '1'"));
    QCOMPARE(items->RecordCount(), 1);
    QCOMPARE(text(items.get(), "NRNFEPROD"), QString());
}

void TestLanEntrAf::importingAgainOverwritesTheItems_data()
{
    QTest::addColumn<bool>("visitProduto");
    QTest::newRow("items filtered to the document") << true;
    QTest::newRow("items never filtered") << false;
}

void TestLanEntrAf::importingAgainOverwritesTheItems()
{
    QFETCH(bool, visitProduto);
    m_dir = std::make_unique<DataDir>();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "01"));
    importAuthorisation("345");
    if (QTest::currentTestFailed())
        return;
    typeInvoiceAndSeries();
    Table *items = w->cdsProduto;
    if (visitProduto) {
        showPage(w->tshProduto);
        QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshProduto);
        QCOMPARE(items->RecordCount(), 2);
        // The operator changes a quantity, then goes back to the header.
        QVERIFY(items->Locate("CDARVPROD", kBeans.code));
        items->Edit();
        items->FieldByName("QTITEMPROD")->SetAsString("99");
        items->Post();
        QCOMPARE(text(items, "QTITEMPROD"), QString("99,000"));
        showPage(w->tshFormulario);
        QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshFormulario);
    }
    importAuthorisation("345");
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(text(w->cdsLancEntr, "NRAUTOFORN"), QString("345"));

    showPage(w->tshProduto);
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshProduto);
    QCOMPARE(items->State(), DataSetState::Browse);
    const QList<QVariantMap> rows =
        rowsOf(items, {"CDARVPROD", "QTITEMPROD", "VRUNITITEM", "QTPENTAF"});
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.value(0).value("CDARVPROD").toString(), QString(kRice.code));
    QCOMPARE(rows.value(1).value("CDARVPROD").toString(), QString(kBeans.code));
    QCOMPARE(rows.value(1).value("QTITEMPROD").toString(), QString("40,000"));
    QCOMPARE(rows.value(1).value("VRUNITITEM").toString(), QString("15,23750"));
    QCOMPARE(rows.value(1).value("QTPENTAF").toString(), QString("40,00"));

    // And once confirmed, the file has the two, not four.
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(text(w->cdsLancEntr, "VRNOTAFISC"), QString("1234,50000"));
    auto stored = m_dir->load(RecordedTables::itemEntr());
    stored->SetFilter(QStringLiteral("NRLANCNFE = '2'"));
    stored->SetFiltered(true);
    QCOMPARE(stored->RecordCount(), 2);
}

// ----------------------------------------------------- blocked products

void TestLanEntrAf::blockedProductOnlyWithoutAuthorisation_data()
{
    QTest::addColumn<bool>("imported");
    QTest::newRow("document imported from authorisation 345") << true;
    QTest::newRow("document typed with supplier F100") << false;
}

void TestLanEntrAf::blockedProductOnlyWithoutAuthorisation()
{
    QFETCH(bool, imported);
    Flags flags;
    if (!imported)
        flags.param = QStringLiteral("N");
    m_dir = std::make_unique<DataDir>(flags);
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "01"));
    if (imported) {
        importAuthorisation("345");
        if (QTest::currentTestFailed())
            return;
    } else {
        ListSeen seen;
        m_answerer->press("Não");
        m_answerer->run(pickRow(seen, 1, QStringLiteral("CEREALISTA BOA SAFRA")));
        press(Qt::Key_F9);
        QVERIFY(m_answerer->waitFor(2));
        QCOMPARE(seen.title, kSupplierTitle);
        QCOMPARE(text(w->cdsLancEntr, "IDIMPAF"), QString("N"));
    }
    const int dialogs = m_answerer->count();
    typeInvoiceAndSeries();
    if (!imported)
        type("10");
    showPage(w->tshProduto);
    QCOMPARE(w->pgcLancEntr->ActivePage(), w->tshProduto);
    // The imported items are all of the blocked group 01.
    QCOMPARE(w->cdsProduto->RecordCount(), imported ? 2 : 0);

    // Pasta, of the blocked group, typed in a new row.
    w->dbgProduto->setFocus();
    QTRY_VERIFY(w->dbgProduto->hasFocus());
    w->dbgProduto->SetSelectedField("CDARVPROD");
    w->cdsProduto->Last();
    press(Qt::Key_Down);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
    if (!imported)
        m_answerer->press("OK");
    type("0104001");
    press(Qt::Key_Tab);
    const QString column = w->dbgProduto->SelectedField()
                               ? w->dbgProduto->SelectedField()->FieldName()
                               : QString();
    if (imported) {
        QCOMPARE(m_answerer->count(), dialogs);
        QCOMPARE(column, QString("QTITEMPROD"));
        QCOMPARE(text(w->cdsProduto, "NMPRODUTO"), QString::fromUtf8(kPasta.name));
    } else {
        QVERIFY(m_answerer->waitFor(dialogs + 1));
        QCOMPARE(m_answerer->at(dialogs).text, kBlocked);
        QCOMPARE(column, QString("CDARVPROD"));
    }
    QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
}

// --------------------------------------------------------------- errors

void TestLanEntrAf::productMissingFromTheProductFile_data()
{
    QTest::addColumn<bool>("missingFirst");
    QTest::newRow("first item: the import stops at the second") << true;
    QTest::newRow("last item: the confirm stops") << false;
}

void TestLanEntrAf::productMissingFromTheProductFile()
{
    QFETCH(bool, missingFirst);
    m_dir = std::make_unique<DataDir>();
    const Export ex;
    QList<QVariantMap> afItems{
        authorisationItem(ex, kBranch, "345", kDelivery345, kRice, "M01", "50", "12,5"),
        authorisationItem(ex, kBranch, "345", kDelivery345, kBeans, "M02", "40", "15,2375")};
    afItems.insert(missingFirst ? 0 : 2, authorisationItem(ex, kBranch, "345", kDelivery345,
                                                           kUnknown, "M03", "2", "3"));
    m_dir->writeAuthorisations(defaultAuthorisations(ex), afItems);
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "01"));
    ListSeen seen;
    m_answerer->run(pickRow(seen, 1, QStringLiteral("345")));
    if (missingFirst)
        m_answerer->press("OK");
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(missingFirst ? 2 : 1));
    QCOMPARE(seen.title, kAfTitle);
    // The header was filled before the items.
    QCOMPARE(text(w->cdsLancEntr, "IDIMPAF"), QString("S"));
    QCOMPARE(text(w->cdsLancEntr, "NRAUTOFORN"), QString("345"));
    QCOMPARE(text(w->cdsLancEntr, "VRNOTAFISC"), QString("1234,50000"));
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
    Table *items = w->cdsProduto;
    if (missingFirst) {
        QCOMPARE(m_answerer->count(), 2);
        QCOMPARE(m_answerer->at(1).text, kUnknownProduct);
        // The unknown product stays pending; nothing after it came in.
        QCOMPARE(items->State(), DataSetState::Insert);
        QCOMPARE(text(items, "CDARVPROD"), QString(kUnknown.code));
        QCOMPARE(text(items, "NRLANCNFE"), QString("2"));
        // (Looked at without moving: a move would post the pending row.)
        QStringList document;
        for (const QVariantMap &row : rowsOf(items, {"NRLANCNFE", "CDPRODUTO"}))
            if (row.value("NRLANCNFE").toString() == "2")
                document << row.value("CDPRODUTO").toString();
        QCOMPARE(document, QStringList{kUnknown.id});
        QCOMPARE(m_dir->contents(), before);
        return;
    }
    // The pending last item is posted by the confirm, which refuses it.
    QCOMPARE(m_answerer->count(), 1);
    QCOMPARE(items->State(), DataSetState::Insert);
    QCOMPARE(text(items, "CDARVPROD"), QString(kUnknown.code));
    typeInvoiceAndSeries();
    m_answerer->press("OK");
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_answerer->waitFor(2));
    QCOMPARE(m_answerer->at(1).text, kUnknownProduct);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
    QCOMPARE(items->State(), DataSetState::Insert);
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrAf::cancellingTheListChangesNothing()
{
    m_dir = std::make_unique<DataDir>();
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "01"));
    const QDate today = w->dtpEntrada->Date();

    // Cancelled on a new document: the header stays as typed.
    ListSeen first;
    m_answerer->run(cancelList(first));
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(first.title, kAfTitle);
    for (const char *name : {"IDIMPAF", "NRINSJURNF", "CDORIGEM", "NMORIGEM", "VRNOTAFISC",
                             "NRAUTOFORN", "DTPENTAF"})
        QVERIFY2(text(w->cdsLancEntr, name).isEmpty(), name);
    QCOMPARE(w->dtpEntrada->Date(), today);
    QCOMPARE(w->dtpEmissao->Date(), today);
    QCOMPARE(w->cdsProduto->RecordCount(), 1);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Browse);
    QVERIFY(!w->cdsItemAF->Filtered());

    // Cancelled after an import: the first authorisation stays.
    importAuthorisation("346");
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(text(w->cdsLancEntr, "NRAUTOFORN"), QString("346"));
    const QString itemFilter = w->cdsItemAF->Filter();
    ListSeen second;
    m_answerer->run([&second](QWidget *dialog) {
        // The operator moves to another row, then gives up.
        look(dialog, second);
        auto *grid = dialog->findChild<TDBGrid *>(QStringLiteral("dbgPesquisa"));
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Escape);
    });
    openOriginLookup();
    QVERIFY(m_answerer->waitFor(3));
    QCOMPARE(m_answerer->count(), 3);
    QCOMPARE(second.title, kAfTitle);
    QCOMPARE(text(w->cdsLancEntr, "NRAUTOFORN"), QString("346"));
    QCOMPARE(text(w->cdsLancEntr, "CDORIGEM"), QString("F200"));
    QCOMPARE(text(w->cdsLancEntr, "NMORIGEM"), QString("LATICÍNIOS SERRA AZUL"));
    QCOMPARE(text(w->cdsLancEntr, "VRNOTAFISC"), QString("100,00000"));
    QCOMPARE(w->cdsLancEntr->FieldByName("DTPENTAF")->AsDate(), kDelivery346);
    QCOMPARE(w->dtpEntrada->Date(), kDelivery346);
    QCOMPARE(w->cdsItemAF->Filter(), itemFilter);
    QCOMPARE(w->cdsProduto->State(), DataSetState::Insert);
    QCOMPARE(text(w->cdsProduto, "CDARVPROD"), QString(kRice.code));
    QCOMPARE(text(w->cdsProduto, "QTITEMPROD"), QString("3,00"));
    QCOMPARE(m_dir->contents(), before);
}

void TestLanEntrAf::supplierMissingFromTheSupplierFile()
{
    m_dir = std::make_unique<DataDir>();
    const auto before = m_dir->contents();
    TfrmLanEntr *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(newDocument(w, "01"));
    ListSeen seen;
    importAuthorisation("350", &seen);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(m_answerer->count(), 1);
    bool listedWithoutName = false;
    for (const ListRow &row : authorisationRows(seen))
        if (row.number == "350")
            listedWithoutName = row.supplier.isEmpty() && row.value == "80,00";
    QVERIFY2(listedWithoutName, qPrintable(describe(authorisationRows(seen))));

    // The import goes through, without an origin.
    QCOMPARE(text(w->cdsLancEntr, "IDIMPAF"), QString("S"));
    QCOMPARE(text(w->cdsLancEntr, "NRAUTOFORN"), QString("350"));
    QCOMPARE(text(w->cdsLancEntr, "VRNOTAFISC"), QString("80,00000"));
    QCOMPARE(text(w->cdsLancEntr, "NRINSJURNF"), QString());
    QCOMPARE(text(w->cdsLancEntr, "CDORIGEM"), QString());
    QCOMPARE(text(w->cdsLancEntr, "NMORIGEM"), QString());
    QCOMPARE(w->dtpEntrada->Date(), kDelivery350);
    QCOMPARE(text(w->cdsProduto, "CDARVPROD"), QString(kBeans.code));

    // Which the confirm refuses: nothing is written.
    typeInvoiceAndSeries();
    m_answerer->press("OK");
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_answerer->waitFor(2));
    QCOMPARE(m_answerer->count(), 2);
    QCOMPARE(m_answerer->at(1).text, kNoOrigin);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
    QVERIFY(focusOn(w->medOrigem));
    QCOMPARE(m_dir->contents(), before);

    // The header post on its own refuses it as well.
    m_answerer->press("OK");
    QVERIFY_THROWS_EXCEPTION(EAbort, w->cdsLancEntr->Post());
    QVERIFY(m_answerer->waitFor(3));
    QCOMPARE(m_answerer->at(2).text, kNoOrigin);
    QCOMPARE(w->cdsLancEntr->State(), DataSetState::Insert);
    QCOMPARE(m_dir->contents(), before);
}

QTEST_MAIN(TestLanEntrAf)
#include "tst_lanentr_af.moc"
