#include "basewindows.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "dbnavigator.h"
#include "dialoganswerer.h"
#include "localeservice.h"
#include "lookupdialogs.h"
#include "maskedit.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "statusbar.h"
#include "table.h"
#include "taskwindow.h"
#include "tfrmprincipal.h"
#include "tfrmretirada.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace kiv;
using kivtest::backInWindow;
using kivtest::command;
using kivtest::focused;
using kivtest::focusOn;
using kivtest::press;
using kivtest::type;

namespace {

const QString kBranch = QStringLiteral("0001");
const QString kBranchName = QStringLiteral("COZINHA CENTRAL NORTE");
const QString kOperator = QStringLiteral("000000000001");
const QString kProdMask = QStringLiteral("99.99.999;1;_");

QDate today()
{
    return QDate::currentDate();
}

struct Product
{
    QString code;
    QString internal;
    QString name;
    QString unit;
};

const QList<Product> &products()
{
    static const QList<Product> list = {
        {"12.01.001", "0000001201", "ARROZ AGULHINHA", "KG"},
        {"12.02.001", "0000001202", "FEIJÃO CARIOCA", "KG"},
        {"13.01.001", "0000001301", "ÓLEO DE SOJA", "LT"},
        {"05.01.001", "0000000501", "LEITE INTEGRAL", "LT"},
    };
    return list;
}

Product product(const QString &code)
{
    for (const Product &p : products())
        if (p.code == code)
            return p;
    return {};
}

// One planned withdrawal; a date-time with a time of day when `at` is set.
struct Plan
{
    QString branch;
    QString service;
    QDate date;
    QString code;
    QString planned;
    QString consumed = QStringLiteral("0,00000");
    QTime at = QTime();
};

// Today the lunch of the branch plans rice and beans, the snack milk; the
// dinner has plans only three days ago; another branch plans rice today,
// its quantity in a form this window never writes.
QList<Plan> defaultPlans()
{
    return {
        {"0001", "00001", today(), "12.02.001", "5,00000"},
        {"0001", "00001", today(), "12.01.001", "10,00000"},
        {"0001", "00002", today(), "05.01.001", "3,00000"},
        {"0001", "00003", today().addDays(-3), "13.01.001", "1,00000"},
        {"0002", "00001", today(), "12.01.001", "7", "0"},
    };
}

class DataDir : public kivtest::DataDirectory
{
public:
    DataDir()
    {
        write(RecordedTables::dadosKipc(), {{{"CDFILIAL", kBranch},
                                             {"NMFILIAL", kBranchName},
                                             {"DIREXP", "C:\\Kiv\\Exporta\\0001\\"},
                                             {"CDSENHAOPE", "x"},
                                             {"CDFILIOPER", kBranch + kOperator},
                                             {"CDOPERADOR", kOperator},
                                             {"NMOPERADOR", "ANA LIMA"},
                                             {"PRODMASK", kProdMask}}});
        QList<QVariantMap> rows;
        for (const Product &p : products())
            rows.append({{"CDPRODUTO", p.internal},
                         {"CDARVPROD", p.code},
                         {"CDPSQPROD", p.code},
                         {"NMPRODUTO", p.name},
                         {"SGUNIDADE", p.unit}});
        write(RefTables::produto(RefTables::ProductReader::Withdrawals), rows);
        write(RefTables::servico(), {{{"CDFILIAL", "0001"}, {"CDSERVFILI", "00001"},
                                      {"NMSERVICO", "ALMOÇO"}, {"CDTIPOCARD", "0000000001"}},
                                     {{"CDFILIAL", "0001"}, {"CDSERVFILI", "00002"},
                                      {"NMSERVICO", "LANCHE"}, {"CDTIPOCARD", "0000000001"}},
                                     {{"CDFILIAL", "0001"}, {"CDSERVFILI", "00003"},
                                      {"NMSERVICO", "JANTAR"}, {"CDTIPOCARD", "0000000001"}},
                                     {{"CDFILIAL", "0002"}, {"CDSERVFILI", "00001"},
                                      {"NMSERVICO", "ALMOÇO"}, {"CDTIPOCARD", "0000000001"}}});
        write(RefTables::tipoReti(), {{{"CDTIPORETI", "01"}, {"NMTIPORETI", "NORMAL"}},
                                      {{"CDTIPORETI", "02"}, {"NMTIPORETI", "EXTRA"}}});
        writePlans(defaultPlans());
    }

    void writePlans(const QList<Plan> &plans) const
    {
        QList<QVariantMap> rows;
        for (const Plan &p : plans) {
            const Product prod = product(p.code);
            QVariant date = p.date;
            if (p.at.isValid())
                date = QDateTime(p.date, p.at, Qt::UTC);
            rows.append({{"CDFILIAL", p.branch},
                         {"CDSERVFILI", p.service},
                         {"DTPREVRETI", date},
                         {"CDPRODUTO", prod.internal},
                         {"CDARVPROD", p.code},
                         {"CDPSQPROD", p.code},
                         {"NMPRODUTO", prod.name},
                         {"SGUNIDADE", prod.unit},
                         {"QTPREVRETI", p.planned},
                         {"QTCONSRETI", p.consumed},
                         {"CDTIPORETI", ""},
                         {"NMTIPORETI", ""},
                         {"CDOPERADOR", ""},
                         {"FILSERPRDT", ""}});
        }
        write(RecordedTables::prevReti(), rows);
    }

    QByteArray plansFileBytes() const { return bytes(RecordedTables::prevReti().fileName); }

    // PREVRETI.cds as a later run loads it: one line per row, "branch
    // service day product planned consumed type name operator key", sorted.
    QStringList plansOnDisk() const
    {
        const auto table = load(RecordedTables::prevReti());
        QStringList rows;
        for (table->First(); !table->Eof(); table->Next()) {
            const auto f = [&](const char *name) {
                return table->FieldByName(QString::fromLatin1(name))->AsString();
            };
            const QDateTime when = table->FieldByName("DTPREVRETI")->AsDateTime();
            rows << QStringList{f("CDFILIAL"), f("CDSERVFILI"),
                                when.toString(when.time() == QTime(0, 0) ? "yyyy-MM-dd"
                                                                         : "yyyy-MM-ddThh:mm"),
                                f("CDARVPROD"), f("QTPREVRETI"), f("QTCONSRETI"),
                                f("CDTIPORETI"), f("NMTIPORETI"), f("CDOPERADOR"),
                                f("FILSERPRDT")}
                        .join(u' ')
                        .trimmed();
        }
        rows.sort();
        return rows;
    }

    // The line of plansOnDisk() for one branch, service, day and product.
    QString planOnDisk(const QString &branch, const QString &service, const QDate &date,
                       const QString &code) const
    {
        const QString start = QStringList{branch, service, date.toString("yyyy-MM-dd"), code}
                                  .join(u' ');
        for (const QString &row : plansOnDisk())
            if (row.startsWith(start + u' '))
                return row;
        return QString();
    }
};

QString dayText(const QDate &date)
{
    return LocaleService::dateToText(date);
}

// The product grid as the operator reads it: "code unit planned consumed
// type" per row, straight from the rows shown.
QStringList gridRows(const TfrmRetirada *w)
{
    QStringList rows;
    const Table *t = w->cdsPrevReti;
    if (!w->dtsPadrao->Enabled() || !t->Active())
        return rows;
    for (int r = 0; r < t->ViewCount(); ++r) {
        QStringList cells;
        for (const char *name :
             {"CDARVPROD", "SGUNIDADE", "QTPREVRETI", "QTCONSRETI", "CDTIPORETI"})
            cells << t->TextAt(r, t->FieldByName(QString::fromLatin1(name))->Index());
        rows << cells.join(u' ').trimmed();
    }
    return rows;
}

// The product grid as it is painted: each cell's text after the window's
// drawing hook, "|" between the cells of a row.
QStringList paintedRows(TfrmRetirada *w)
{
    QStringList rows;
    const QAbstractItemModel *model = w->dbgPadrao->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < w->dbgPadrao->Columns().Count(); ++c) {
            TColumnCellDraw cell;
            cell.row = r;
            cell.dataCol = c;
            cell.column = w->dbgPadrao->Columns().Items(c);
            cell.field = cell.column->GetField();
            cell.text = model->index(r, c).data().toString();
            if (w->dbgPadrao->OnDrawColumnCell)
                w->dbgPadrao->OnDrawColumnCell(cell);
            cells << cell.text;
        }
        rows << cells.join(u'|');
    }
    return rows;
}

QStringList serviceRows(const TfrmRetirada *w)
{
    QStringList rows;
    const QAbstractItemModel *model = w->dbgServico->model();
    for (int r = 0; r < model->rowCount(); ++r)
        rows << model->index(r, 0).data().toString();
    return rows;
}

QString selectedField(const TfrmRetirada *w)
{
    const Field *f = w->dbgPadrao->SelectedField();
    return f ? f->FieldName() : QString();
}

QString field(const TfrmRetirada *w, const char *name)
{
    return w->cdsPrevReti->FieldByName(QString::fromLatin1(name))->AsString();
}

// The operator's way of choosing a date: the drop-down calendar.
bool chooseDate(TfrmRetirada *w, const QDate &date)
{
    w->dpkData->setFocus();
    if (!focusOn(w->dpkData))
        return false;
    QTest::keyClick(w->dpkData, Qt::Key_F4);
    QCalendarWidget *calendar = nullptr;
    if (!QTest::qWaitFor(
            [&] {
                calendar = w->dpkData->calendarWidget();
                return calendar && calendar->isVisible();
            },
            2000))
        return false;
    calendar->setSelectedDate(date);
    // Enter in the calendar's day grid picks the day and closes it.
    QWidget *days = QApplication::focusWidget();
    QTest::keyClick(days ? days : calendar, Qt::Key_Return);
    // Back from the calendar, the window is in front with the focus in the
    // date again (the offscreen platform has no window manager to do it).
    return kivtest::showActive(w) && focusOn(w->dpkData) && w->dpkData->Date() == date;
}

// The rows of a lookup list, as their visible columns read.
QStringList listRows(QWidget *dialog)
{
    QStringList rows;
    auto *grid = dialog->findChild<TDBGrid *>(QStringLiteral("dbgPesquisa"));
    if (!grid || !grid->DataSource() || !grid->DataSource()->DataSet())
        return rows;
    const Table *table = grid->DataSource()->DataSet();
    for (int row = 0; row < table->ViewCount(); ++row) {
        QStringList cells;
        for (int c = 0; c < grid->Columns().Count(); ++c)
            if (const Field *f = grid->Columns().Items(c)->GetField())
                cells << table->TextAt(row, f->Index());
        rows << cells.join(u' ');
    }
    return rows;
}

// Picks the lookup row whose first column reads `value`, with the arrow
// keys and Enter, after noting every row in `seen`.
std::function<void(QWidget *)> pick(QStringList &seen, const QString &value)
{
    return [&seen, value](QWidget *dialog) {
        seen = listRows(dialog);
        auto *grid = dialog->findChild<TDBGrid *>(QStringLiteral("dbgPesquisa"));
        int target = -1;
        for (int i = 0; i < seen.size(); ++i)
            if (seen[i].startsWith(value))
                target = i;
        if (target < 0 || !grid) {
            static_cast<QDialog *>(dialog)->reject();
            return;
        }
        const Table *table = grid->DataSource()->DataSet();
        for (int moves = 0; table->RecNo() - 1 < target && moves < 40; ++moves)
            QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Return);
    };
}

QColor base(const QWidget *w)
{
    return w->palette().color(QPalette::Base);
}

} // namespace

class TestRetirada : public QObject, private kivtest::WindowTest<TfrmRetirada, DataDir>
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensFromTheMainWindowOnTheDate();
    void servicesListTheBranchAndMoveTheProducts();
    void openingBringsTheBranchQuantitiesIntoFormat_data();
    void openingBringsTheBranchQuantitiesIntoFormat();
    void openingAFormattedFileWritesNothing();
    void dateLoadSeesWhatAnotherProgramWrote();
    void tenDayRuleComparesDays_data();
    void tenDayRuleComparesDays();
    void dateLookupListsEachDayOnceAndSkipsTheRule();
    void dateLookupWithoutPlans();
    void datesWithATimeOfDayLoad();
    void consumedQuantityAndTypeAreStored_data();
    void consumedQuantityAndTypeAreStored();
    void typingInTheEditableCells_data();
    void typingInTheEditableCells();
    void unplannedProductIsAdded();
    void productAndTypeShowTheirNames();
    void productRetypedInPlaceIsStoredWhole_data();
    void productRetypedInPlaceIsStoredWhole();
    void productLookupFillsTheRow();
    void productChecks_data();
    void productChecks();
    void incompleteRowIsRefused_data();
    void incompleteRowIsRefused();
    void commandsFollowTheFocusAndTheRow();
    void cancelAsksFirst();
    void newRowPastTheLastOne();
    void rowIsStoredUnderItsService_data();
    void rowIsStoredUnderItsService();
    void deletionIsWrittenAtOnce();
    void plannedRowsAreNotDeleted();
    void failedLoadDoesNotStopLaterStores_data();
    void failedLoadDoesNotStopLaterStores();
    void fileWrittenElsewhereIsReadAgain();
    void verifyRebuildsTheLists();
    void findInTheFocusedList_data();
    void findInTheFocusedList();

private:
    void startSession();
    TfrmRetirada *openWindow();
    // Leaves the date strip for the service list: the date loads.
    bool loadDate(TfrmRetirada *w);
    // The product grid, on the row of the product, in the column.
    bool onCell(TfrmRetirada *w, const QString &code, const QString &column);
    // Include, the product code, Tab, the consumed quantity, Tab, the type.
    void typeNewRow(const QString &code, const QString &consumed, const QString &type);
};

void TestRetirada::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Kiv - School Meals"));
}

void TestRetirada::init()
{
    startTest();
}

void TestRetirada::cleanup()
{
    endTest();
}

void TestRetirada::startSession()
{
    if (!m_dir)
        m_dir = std::make_unique<DataDir>();
    m_principal = kivtest::startMainWindow({.branch = kBranch,
                                            .branchName = kBranchName,
                                            .operatorCode = kOperator,
                                            .productMask = kProdMask});
    QVERIFY(m_principal);
}

TfrmRetirada *TestRetirada::openWindow()
{
    startSession();
    if (QTest::currentTestFailed())
        return nullptr;
    m_window = new TfrmRetirada(m_principal->CurrentSession());
    m_window->Create();
    if (!kivtest::showActive(m_window))
        return nullptr;
    if (!focusOn(m_window->dpkData))
        return nullptr;
    return m_window;
}

bool TestRetirada::loadDate(TfrmRetirada *w)
{
    if (!w->dpkData->hasFocus())
        return false;
    press(Qt::Key_Tab);
    return QTest::qWaitFor([w] { return w->dbgServico->hasFocus(); }, 2000);
}

bool TestRetirada::onCell(TfrmRetirada *w, const QString &code, const QString &column)
{
    w->dbgPadrao->setFocus();
    if (!focusOn(w->dbgPadrao))
        return false;
    if (!code.isEmpty() && !w->cdsPrevReti->Locate(QStringLiteral("CDARVPROD"), code))
        return false;
    w->dbgPadrao->SetSelectedField(column);
    return selectedField(w) == column;
}

void TestRetirada::typeNewRow(const QString &code, const QString &consumed, const QString &type)
{
    QVERIFY(onCell(m_window, QString(), QStringLiteral("CDARVPROD")));
    QVERIFY(command(m_window->sbtIncluir));
    ::type(code);
    press(Qt::Key_Tab);
    ::type(consumed);
    press(Qt::Key_Tab);
    ::type(type);
}

void TestRetirada::opensFromTheMainWindowOnTheDate()
{
    startSession();
    m_principal->mnuRetServicoClick();
    auto *w = qobject_cast<TfrmRetirada *>(
        m_principal->TaskWindowInstance(TaskWindow::RetServico));
    QVERIFY(w);
    m_window = w;
    QCOMPARE(w->objectName(), QString("TfrmRetirada"));
    QCOMPARE(w->windowTitle(), QString("Retirada por Serviço"));
    QCOMPARE(NomeUnit(w), QString("KIS00600"));
    QCOMPARE(m_principal->stbStatus->PanelText(3), QString("KIS00600"));
    QCOMPARE(w->medCdFilial->Text(), kBranch);
    QCOMPARE(w->edtNmFilial->text(), kBranchName);
    QVERIFY(!w->medCdFilial->isEnabled());
    QVERIFY(!w->edtNmFilial->isEnabled());
    QCOMPARE(w->dpkData->Date(), today());

    // In the date strip both grids are empty and every command is off.
    QCOMPARE(serviceRows(w), QStringList());
    QCOMPARE(gridRows(w), QStringList());
    for (const TCommand &c : {w->sbtIncluir, w->sbtAlterar, w->sbtExcluir, w->sbtProcurar,
                              w->sbtVerificar, w->sbtConfirmar, w->sbtCancelar, w->sbtImprimir,
                              w->sbtAjuda})
        QVERIFY2(!c.Enabled(), qPrintable(c.menu->objectName()));
    QVERIFY(!w->mnuConfigImpressora->isEnabled());
    QVERIFY(!w->sbtExcluir.button->isEnabled());
    QVERIFY(w->btnData->isEnabled());
    QCOMPARE(w->btnData->toolTip(), QString("Pesquisar"));

    // The columns of the two grids, field and title.
    QStringList columns;
    for (TDBGrid *grid : {w->dbgServico, static_cast<TDBGrid *>(w->dbgPadrao)})
        for (int c = 0; c < grid->Columns().Count(); ++c)
            columns << grid->Columns().Items(c)->FieldName() + u'='
                           + grid->Columns().Items(c)->Title();
    QCOMPARE(columns, (QStringList{"CDNMSERVICO=Serviço", "CDARVPROD=Produto",
                                   "SGUNIDADE=Unidade", "QTPREVRETI=Prevista",
                                   "QTCONSRETI=Consumida", "CDTIPORETI=Tp Retirada"}));

    // Closing it gives the status bar back to the main window; the next
    // command builds it anew.
    QPointer<TfrmRetirada> closing = w;
    QVERIFY(command(w->sbtFechar));
    QTRY_VERIFY(!closing);
    m_window = nullptr;
    QCOMPARE(m_principal->stbStatus->PanelText(3), QString("KIS00000"));
    QVERIFY(!m_principal->TaskWindowInstance(TaskWindow::RetServico));
}

void TestRetirada::servicesListTheBranchAndMoveTheProducts()
{
    m_dir = std::make_unique<DataDir>();
    QList<Plan> plans = defaultPlans();
    // A service the service file does not know is listed without a name.
    plans.append({"0001", "00009", today(), "13.01.001", "2,00000"});
    // Its products come by name, whatever their codes.
    plans.append({"0001", "00009", today(), "05.01.001", "1,00000"});
    plans.append({"0001", "00009", today(), "12.01.001", "3,00000"});
    m_dir->writePlans(plans);
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    QCOMPARE(serviceRows(w),
             (QStringList{"00001 - ALMOÇO", "00002 - LANCHE", "00003 - JANTAR", ""}));
    // The first service's products, by name.
    QCOMPARE(gridRows(w), (QStringList{"12.01.001 KG 10,00000 0,00000",
                                       "12.02.001 KG 5,00000 0,00000"}));
    QCOMPARE(w->dbtNome->text(), QString("00001 - ALMOÇO"));
    QVERIFY(w->sbtVerificar.Enabled());
    QVERIFY(!w->sbtExcluir.button->isEnabled());

    // Keys and the navigator move in the list; the products follow.
    press(Qt::Key_Down);
    QCOMPARE(w->dbtNome->text(), QString("00002 - LANCHE"));
    QCOMPARE(gridRows(w), QStringList{"05.01.001 LT 3,00000 0,00000"});
    // The dinner has plans on another day only.
    w->dbnPadrao->BtnClick(nbNext);
    QCOMPARE(w->dbtNome->text(), QString("00003 - JANTAR"));
    QCOMPARE(gridRows(w), QStringList());
    w->dbnPadrao->BtnClick(nbLast);
    QCOMPARE(gridRows(w), (QStringList{"12.01.001 KG 3,00000 0,00000",
                                       "05.01.001 LT 1,00000 0,00000",
                                       "13.01.001 LT 2,00000 0,00000"}));
    // No service row is added past the last one.
    w->dbgServico->setFocus();
    QVERIFY(focusOn(w->dbgServico));
    press(Qt::Key_Down);
    QCOMPARE(serviceRows(w).size(), 4);
    QCOMPARE(w->cdsAuxPrevReti->State(), DataSetState::Browse);
    w->dbnPadrao->BtnClick(nbFirst);
    QCOMPARE(gridRows(w), (QStringList{"12.01.001 KG 10,00000 0,00000",
                                       "12.02.001 KG 5,00000 0,00000"}));
}

void TestRetirada::openingBringsTheBranchQuantitiesIntoFormat_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::newRow("comma") << QChar(u',');
    QTest::newRow("point") << QChar(u'.');
}

void TestRetirada::openingBringsTheBranchQuantitiesIntoFormat()
{
    QFETCH(QChar, separator);
    LocaleService::setDecimalSeparator(separator);
    const QString other = separator == u',' ? QStringLiteral(".") : QStringLiteral(",");
    m_dir = std::make_unique<DataDir>();
    m_dir->writePlans({{"0001", "00001", today(), "12.01.001", "12", "3" + other + "5"},
                       {"0001", "00001", today(), "12.02.001", QString("3") + separator + "5",
                        ""},
                       {"0002", "00001", today(), "12.01.001", "7", "3" + other + "5"}});
    QVERIFY(openWindow());
    const QString s = QString(separator);
    QCOMPARE(m_dir->plansOnDisk(),
             (QStringList{"0001 00001 " + today().toString("yyyy-MM-dd") + " 12.01.001 12" + s
                              + "00000 3" + s + "50000",
                          "0001 00001 " + today().toString("yyyy-MM-dd") + " 12.02.001 3" + s
                              + "50000 0" + s + "00000",
                          "0002 00001 " + today().toString("yyyy-MM-dd") + " 12.01.001 7 3"
                              + other + "5"}));
}

void TestRetirada::openingAFormattedFileWritesNothing()
{
    m_dir = std::make_unique<DataDir>();
    QList<Plan> plans = defaultPlans();
    plans.removeLast();
    m_dir->writePlans(plans);
    const QMap<QString, QByteArray> before = m_dir->contents();
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    QCOMPARE(m_dir->contents(), before);
}

// The window keeps the rows it read and stored; a file another program
// wrote since is read again at the next date load.
void TestRetirada::dateLoadSeesWhatAnotherProgramWrote()
{
    m_dir = std::make_unique<DataDir>();
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    QTRY_COMPARE(gridRows(w).size(), 2);

    QList<Plan> plans = defaultPlans();
    plans.append({"0001", "00001", today(), "13.01.001", "4,00000"});
    m_dir->writePlans(plans);
    w->dpkData->setFocus();
    QVERIFY(focusOn(w->dpkData));
    QVERIFY(loadDate(w));
    QTRY_COMPARE(gridRows(w).size(), 3);
    QVERIFY(gridRows(w).contains("13.01.001 LT 4,00000 0,00000"));
}

void TestRetirada::tenDayRuleComparesDays_data()
{
    QTest::addColumn<int>("days");
    QTest::addColumn<bool>("planned");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("ten days ahead, nothing planned") << 10 << false << true;
    // Midnight ten days back lies before "now minus ten days" at any hour
    // but midnight: a rule on moments would refuse it.
    QTest::newRow("ten days back, nothing planned") << -10 << false << true;
    QTest::newRow("eleven days ahead, nothing planned") << 11 << false << false;
    QTest::newRow("eleven days back, nothing planned") << -11 << false << false;
    QTest::newRow("eleven days back, planned") << -11 << true << true;
    QTest::newRow("a year ahead, planned") << 365 << true << true;
}

void TestRetirada::tenDayRuleComparesDays()
{
    QFETCH(int, days);
    QFETCH(bool, planned);
    QFETCH(bool, accepted);
    const QDate date = today().addDays(days);
    m_dir = std::make_unique<DataDir>();
    QList<Plan> plans = defaultPlans();
    if (planned)
        plans.append({"0001", "00001", date, "13.01.001", "4,00000"});
    // Another branch's plan does not open the date.
    plans.append({"0002", "00001", date, "13.01.001", "4,00000"});
    m_dir->writePlans(plans);
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(chooseDate(w, date));
    if (!accepted)
        m_answerer->press("OK");
    press(Qt::Key_Tab);
    if (accepted) {
        QVERIFY(QTest::qWaitFor([w] { return w->dbgServico->hasFocus(); }, 2000));
        QCOMPARE(serviceRows(w).size(), 4 - 1);
        QCOMPARE(gridRows(w), planned ? QStringList{"13.01.001 LT 4,00000 0,00000"}
                                      : QStringList());
        QCOMPARE(m_answerer->count(), 0);
    } else {
        QVERIFY(m_answerer->waitFor(1));
        QCOMPARE(m_answerer->at(0).text,
                 QString("Data selecionada fora do intervalo de dez dias"));
        QVERIFY(backInWindow(w));
        QCOMPARE(focused(), static_cast<QWidget *>(w->dpkData));
        QCOMPARE(serviceRows(w), QStringList());
        QVERIFY(!w->sbtVerificar.Enabled());
    }
}

void TestRetirada::dateLookupListsEachDayOnceAndSkipsTheRule()
{
    m_dir = std::make_unique<DataDir>();
    QList<Plan> plans = defaultPlans();
    const QDate old = today().addDays(-20);
    plans.append({"0001", "00001", old, "13.01.001", "4,00000"});
    plans.append({"0001", "00002", old, "05.01.001", "2,00000"});
    plans.append({"0002", "00001", today().addDays(-30), "13.01.001", "4,00000"});
    m_dir->writePlans(plans);
    TfrmRetirada *w = openWindow();
    QVERIFY(w);

    QStringList seen;
    QString title;
    m_answerer->run([&](QWidget *dialog) {
        title = dialog->windowTitle();
        pick(seen, dayText(old))(dialog);
    });
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).objectName, QString("dlgPesquisar"));
    QCOMPARE(title, QString("Data"));
    QCOMPARE(seen, (QStringList{dayText(old), dayText(today().addDays(-3)), dayText(today())}));
    QVERIFY(QTest::qWaitFor([w] { return w->dbgServico->hasFocus(); }, 2000));
    QCOMPARE(w->dpkData->Date(), old);
    QTRY_COMPARE(gridRows(w), QStringList{"13.01.001 LT 4,00000 0,00000"});

    // The button does the same.
    w->dpkData->setFocus();
    QVERIFY(focusOn(w->dpkData));
    QTRY_COMPARE(gridRows(w), QStringList());
    m_answerer->run(pick(seen, dayText(today())));
    QTest::mouseClick(w->btnData, Qt::LeftButton);
    QVERIFY(m_answerer->waitFor(2));
    QVERIFY(QTest::qWaitFor([w] { return w->dbgServico->hasFocus(); }, 2000));
    QCOMPARE(w->dpkData->Date(), today());
    QTRY_COMPARE(gridRows(w).size(), 2);
}

void TestRetirada::dateLookupWithoutPlans()
{
    m_dir = std::make_unique<DataDir>();
    m_dir->writePlans({{"0002", "00001", today(), "12.01.001", "7"}});
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    m_answerer->press("OK");
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text,
             QString("Não há Previsão de Retirada para a filial informada."));
    QVERIFY(backInWindow(w));
    QCOMPARE(focused(), static_cast<QWidget *>(w->dpkData));
}

void TestRetirada::datesWithATimeOfDayLoad()
{
    m_dir = std::make_unique<DataDir>();
    QList<Plan> plans = defaultPlans();
    plans[0].at = QTime(8, 30);
    const QDate old = today().addDays(-15);
    plans.append({"0001", "00001", old, "13.01.001", "4,00000", "0,00000", QTime(23, 59)});
    m_dir->writePlans(plans);
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    QCOMPARE(gridRows(w), (QStringList{"12.01.001 KG 10,00000 0,00000",
                                       "12.02.001 KG 5,00000 0,00000"}));

    // The old date is a planned date like any other: listed once, and
    // accepted when typed.
    QVERIFY(chooseDate(w, old));
    press(Qt::Key_Tab);
    QVERIFY(QTest::qWaitFor([w] { return w->dbgServico->hasFocus(); }, 2000));
    QCOMPARE(gridRows(w), QStringList{"13.01.001 LT 4,00000 0,00000"});
}

void TestRetirada::consumedQuantityAndTypeAreStored_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("storedType");
    QTest::newRow("12") << QChar(u',') << "12" << "1" << "12,00000" << "01 NORMAL";
    QTest::newRow("3,5") << QChar(u',') << "3,5" << "2" << "3,50000" << "02 EXTRA";
    QTest::newRow("3.5 on the point key") << QChar(u',') << "3.5" << "01" << "3,50000"
                                          << "01 NORMAL";
    QTest::newRow("3.5 with a point separator") << QChar(u'.') << "3.5" << "1" << "3.50000"
                                                << "01 NORMAL";
}

void TestRetirada::consumedQuantityAndTypeAreStored()
{
    QFETCH(QChar, separator);
    QFETCH(QString, typed);
    QFETCH(QString, type);
    QFETCH(QString, stored);
    QFETCH(QString, storedType);
    LocaleService::setDecimalSeparator(separator);
    m_dir = std::make_unique<DataDir>();
    QList<Plan> plans = defaultPlans();
    for (Plan &p : plans)
        if (p.branch == kBranch) {
            p.planned.replace(u',', separator);
            p.consumed.replace(u',', separator);
        }
    m_dir->writePlans(plans);
    const QString otherBranch = m_dir->planOnDisk("0002", "00001", today(), "12.01.001");
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    QVERIFY(onCell(w, "12.01.001", "QTCONSRETI"));
    ::type(typed);
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Edit);
    // While the row is open the date and the list stay where they are.
    QVERIFY(!w->dpkData->isEnabled());
    QVERIFY(!w->btnData->isEnabled());
    QVERIFY(!w->dbnPadrao->isEnabled());
    press(Qt::Key_Tab);
    QCOMPARE(selectedField(w), QString("CDTIPORETI"));
    ::type(type);
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Browse);

    const QString key = kBranch + "00001" + "0000001201" + dayText(today());
    QCOMPARE(key.size(), 29);
    QString planned = QStringLiteral("10,00000");
    planned.replace(u',', separator);
    QCOMPARE(m_dir->planOnDisk(kBranch, "00001", today(), "12.01.001"),
             QStringList({kBranch, "00001", today().toString("yyyy-MM-dd"), "12.01.001", planned,
                          stored, storedType, kOperator, key})
                 .join(u' '));
    QCOMPARE(m_dir->planOnDisk("0002", "00001", today(), "12.01.001"), otherBranch);
    QCOMPARE(m_dir->plansOnDisk().size(), defaultPlans().size());
    QVERIFY(w->dpkData->isEnabled());
}

void TestRetirada::typingInTheEditableCells_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("left");
    const QString consumed = QStringLiteral("QTCONSRETI");
    QTest::newRow("2,5") << consumed << "2,5" << "2,5" << "2,50000";
    QTest::newRow("letters and signs") << consumed << "a1-b+2e" << "12" << "12,00000";
    QTest::newRow("a second separator") << consumed << "2,5,5" << "2,55" << "2,55000";
    QTest::newRow("a leading separator") << consumed << ",5" << "5" << "5,00000";
    // Home puts the caret before the digits: the separator would lead.
    QTest::newRow("a separator put first") << consumed << "5\x01," << "5" << "5,00000";
    QTest::newRow("emptied") << consumed << "7\b" << "" << "0,00000";
    // The type takes digits only and is brought to its two places.
    QTest::newRow("type: letters and signs") << "CDTIPORETI" << "a-2b" << "2" << "02";
}

void TestRetirada::typingInTheEditableCells()
{
    QFETCH(QString, column);
    QFETCH(QString, keys);
    QFETCH(QString, shown);
    QFETCH(QString, left);
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    QVERIFY(onCell(w, "12.01.001", column));
    for (QChar c : keys) {
        if (c == u'\x01')
            press(Qt::Key_Home);
        else if (c == u'\b')
            press(Qt::Key_Backspace);
        else
            ::type(QString(c));
    }
    QVERIFY(w->dbgPadrao->CellEditor());
    QCOMPARE(w->dbgPadrao->CellEditor()->text(), shown);
    // Back to the previous cell of the row: Tab from the last one would
    // store the row and move on.
    press(Qt::Key_Backtab);
    QCOMPARE(field(w, column.toLatin1().constData()), left);
    press(Qt::Key_Escape);
    press(Qt::Key_Escape);
}

void TestRetirada::unplannedProductIsAdded()
{
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    typeNewRow("1301001", "2", "1");
    QCOMPARE(field(w, "NMPRODUTO"), QString("ÓLEO DE SOJA"));
    QCOMPARE(field(w, "QTPREVRETI"), QString("0,00000"));
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Browse);
    QCOMPARE(gridRows(w), (QStringList{"12.01.001 KG 10,00000 0,00000",
                                       "12.02.001 KG 5,00000 0,00000",
                                       "13.01.001 LT 0,00000 2,00000 01"}));
    QCOMPARE(m_dir->planOnDisk(kBranch, "00001", today(), "13.01.001"),
             QStringList({kBranch, "00001", today().toString("yyyy-MM-dd"), "13.01.001",
                          "0,00000", "2,00000", "01", "NORMAL", kOperator,
                          kBranch + "00001" + "0000001301" + dayText(today())})
                 .join(u' '));
    QCOMPARE(m_dir->plansOnDisk().size(), defaultPlans().size() + 1);
}

void TestRetirada::productAndTypeShowTheirNames()
{
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    typeNewRow("1301001", "2", "1");
    QVERIFY(command(w->sbtConfirmar));
    // Codes are kept, names are shown; a row without a type shows none.
    QCOMPARE(paintedRows(w), (QStringList{"ARROZ AGULHINHA|KG|10,00000|0,00000|",
                                          "FEIJÃO CARIOCA|KG|5,00000|0,00000|",
                                          "ÓLEO DE SOJA|LT|0,00000|2,00000|NORMAL"}));
    QCOMPARE(field(w, "CDTIPORETI"), QString("01"));

    // The cell being typed shows the code.
    QVERIFY(onCell(w, "13.01.001", "CDTIPORETI"));
    TColumn *type = w->dbgPadrao->Columns().Find("CDTIPORETI");
    TColumnCellDraw cell;
    cell.row = w->cdsPrevReti->RecNo() - 1;
    cell.column = type;
    cell.field = type->GetField();
    cell.editing = true;
    cell.text = QStringLiteral("01");
    w->dbgPadrao->OnDrawColumnCell(cell);
    QCOMPARE(cell.text, QString("01"));
}

void TestRetirada::productRetypedInPlaceIsStoredWhole_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("Confirm") << true;
    QTest::newRow("moving to another row") << false;
}

// The operator goes back to the product of a new row, types another code
// and stores the row without leaving the cell: the row carries the new
// product's name, unit and internal code, not the first one's.
void TestRetirada::productRetypedInPlaceIsStoredWhole()
{
    QFETCH(bool, confirm);
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    typeNewRow("1301001", "2", "1");
    press(Qt::Key_Backtab);
    press(Qt::Key_Backtab);
    QCOMPARE(selectedField(w), QString("CDARVPROD"));
    ::type("0501001");
    if (confirm)
        QVERIFY(command(w->sbtConfirmar));
    else
        press(Qt::Key_Up);
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Browse);
    QCOMPARE(m_dir->planOnDisk(kBranch, "00001", today(), "13.01.001"), QString());
    const QString row = m_dir->planOnDisk(kBranch, "00001", today(), "05.01.001");
    QCOMPARE(row.section(u' ', 4), QStringList({"0,00000", "2,00000", "01", "NORMAL", kOperator,
                                                kBranch + "00001" + "0000000501"
                                                    + dayText(today())})
                                       .join(u' '));
    QVERIFY(w->cdsPrevReti->Locate("CDARVPROD", "05.01.001"));
    QCOMPARE(field(w, "NMPRODUTO"), QString("LEITE INTEGRAL"));
    QCOMPARE(field(w, "SGUNIDADE"), QString("LT"));
    QCOMPARE(field(w, "CDPSQPROD"), QString("05.01.001"));
}

void TestRetirada::productLookupFillsTheRow()
{
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    QVERIFY(onCell(w, QString(), "CDARVPROD"));
    // Outside a new row the product lookup does not open.
    press(Qt::Key_F9);
    QCOMPARE(m_answerer->count(), 0);

    QVERIFY(command(w->sbtIncluir));
    QStringList seen;
    m_answerer->run(pick(seen, "13.01.001"));
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(seen.size(), products().size());
    QCOMPARE(field(w, "CDARVPROD"), QString("13.01.001"));
    QCOMPARE(field(w, "CDPRODUTO"), QString("0000001301"));
    QCOMPARE(field(w, "NMPRODUTO"), QString("ÓLEO DE SOJA"));
    QCOMPARE(field(w, "SGUNIDADE"), QString("LT"));
    QCOMPARE(field(w, "QTPREVRETI"), QString("0,00000"));
    QCOMPARE(field(w, "QTCONSRETI"), QString("0,00000"));
    QVERIFY(backInWindow(w));
    QCOMPARE(selectedField(w), QString("QTCONSRETI"));

    // The type column has its lookup too.
    ::type("4");
    press(Qt::Key_Tab);
    QCOMPARE(selectedField(w), QString("CDTIPORETI"));
    m_answerer->run(pick(seen, "02"));
    press(Qt::Key_F9);
    QVERIFY(m_answerer->waitFor(2));
    QCOMPARE(m_answerer->at(0).title, QString("Produto"));
    QCOMPARE(m_answerer->at(1).title, QString("Tipo de Retirada"));
    QCOMPARE(seen, (QStringList{"01 NORMAL", "02 EXTRA"}));
    QCOMPARE(field(w, "CDTIPORETI"), QString("02"));
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_dir->planOnDisk(kBranch, "00001", today(), "13.01.001").section(u' ', 4, 7),
             QString("0,00000 4,00000 02 EXTRA"));
}

void TestRetirada::productChecks_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("planned for the service") << "" << "1201001" << "Produto já cadastrado.";
    QTest::newRow("added a moment ago") << "1301001" << "1301001" << "Produto já cadastrado.";
    QTest::newRow("not in the product file") << "" << "9999999" << "Produto não cadastrado.";
    QTest::newRow("no code") << "" << "" << "Produto deve ser informado.";
    QTest::newRow("planned for another service") << "" << "0501001" << "";
}

void TestRetirada::productChecks()
{
    QFETCH(QString, first);
    QFETCH(QString, code);
    QFETCH(QString, message);
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    if (!first.isEmpty()) {
        typeNewRow(first, "1", "1");
        QVERIFY(command(w->sbtConfirmar));
        QCOMPARE(w->cdsPrevReti->State(), DataSetState::Browse);
    }
    const QStringList before = m_dir->plansOnDisk();
    QVERIFY(onCell(w, QString(), "CDARVPROD"));
    QVERIFY(command(w->sbtIncluir));
    ::type(code);
    if (!message.isEmpty())
        m_answerer->press("OK");
    press(Qt::Key_Tab);
    if (message.isEmpty()) {
        QCOMPARE(selectedField(w), QString("QTCONSRETI"));
        ::type("1");
        press(Qt::Key_Tab);
        ::type("1");
        QVERIFY(command(w->sbtConfirmar));
        QCOMPARE(m_dir->plansOnDisk().size(), before.size() + 1);
        return;
    }
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, message);
    QVERIFY(backInWindow(w));
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Insert);
    QCOMPARE(selectedField(w), QString("CDARVPROD"));
    QCOMPARE(m_dir->plansOnDisk(), before);
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
}

void TestRetirada::incompleteRowIsRefused_data()
{
    // Keys typed from the consumed-quantity cell of a planned row ("\t" is
    // Tab, "\b" Backspace), then Confirm; every box the row raises on the
    // way, and the cell the cursor is left in.
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("column");
    QTest::newRow("consumed quantity emptied")
        << "7\b" << QStringList{"Consumo deve ser informado."} << "QTCONSRETI";
    QTest::newRow("no type") << "2\t" << QStringList{"Tipo de retirada deve ser informado."}
                             << "CDTIPORETI";
    // Leaving the empty type cell does not turn it into a code of zeros:
    // Tab past the last cell stores the row, and Confirm tries again.
    QTest::newRow("no type, its cell left")
        << "2\t\t"
        << QStringList{"Tipo de retirada deve ser informado.",
                       "Tipo de retirada deve ser informado."}
        << "CDTIPORETI";
    QTest::newRow("unknown type") << "2\t7\t"
                                  << QStringList{"Tipo de retirada não cadastrado.",
                                                 "Tipo de retirada não cadastrado."}
                                  << "CDTIPORETI";
}

void TestRetirada::incompleteRowIsRefused()
{
    QFETCH(QString, keys);
    QFETCH(QStringList, messages);
    QFETCH(QString, column);
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    const QByteArray before = m_dir->plansFileBytes();
    QVERIFY(onCell(w, "12.01.001", "QTCONSRETI"));
    for (int i = 0; i < messages.size(); ++i)
        m_answerer->press("OK");
    for (QChar c : keys) {
        if (c == u'\t')
            press(Qt::Key_Tab);
        else if (c == u'\b')
            press(Qt::Key_Backspace);
        else
            ::type(QString(c));
    }
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(m_answerer->waitFor(int(messages.size())));
    QStringList shown;
    for (const DialogAnswerer::Dialog &d : m_answerer->dialogs())
        shown << d.text;
    QCOMPARE(shown, messages);
    QVERIFY(backInWindow(w));
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Edit);
    QCOMPARE(selectedField(w), column);
    QCOMPARE(m_dir->plansFileBytes(), before);
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
}

void TestRetirada::commandsFollowTheFocusAndTheRow()
{
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    const QColor tip = QApplication::palette().color(QPalette::ToolTipBase);
    const QColor face = QApplication::palette().color(QPalette::Button);
    QCOMPARE(base(w->dbgServico), face);
    QCOMPARE(base(w->dbgPadrao), face);
    QVERIFY(loadDate(w));
    // With the focus in the service list, the row commands are off.
    QVERIFY(!w->sbtIncluir.Enabled());
    QVERIFY(!w->sbtAlterar.Enabled());
    QVERIFY(!w->sbtExcluir.Enabled());
    QVERIFY(w->sbtProcurar.Enabled());
    QCOMPARE(base(w->dbgServico), tip);
    QCOMPARE(base(w->dbgPadrao), face);

    w->dbgPadrao->setFocus();
    QVERIFY(focusOn(w->dbgPadrao));
    QVERIFY(w->sbtIncluir.Enabled());
    QVERIFY(w->sbtAlterar.Enabled());
    QCOMPARE(base(w->dbgServico), face);
    QCOMPARE(base(w->dbgPadrao), tip);

    // Change from the planned column moves to the consumed one.
    w->dbgPadrao->SetSelectedField("QTPREVRETI");
    QVERIFY(command(w->sbtAlterar));
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Edit);
    QCOMPARE(selectedField(w), QString("QTCONSRETI"));
    QVERIFY(w->sbtConfirmar.Enabled());
    QVERIFY(w->sbtCancelar.Enabled());
    // A planned row being changed offers the type lookup, not the product's.
    QCOMPARE(w->dbgPadrao->Columns().Find("CDARVPROD")->ButtonStyle(), ColumnButtonStyle::Auto);
    QCOMPARE(w->dbgPadrao->Columns().Find("CDTIPORETI")->ButtonStyle(),
             ColumnButtonStyle::Ellipsis);
    QVERIFY(!w->sbtIncluir.Enabled());
    QVERIFY(!w->sbtVerificar.Enabled());
    QVERIFY(!w->dpkData->isEnabled());

    // Typing into the unit or planned column does nothing.
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    w->dbgPadrao->SetSelectedField("QTPREVRETI");
    ::type("9");
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Browse);
    w->dbgPadrao->SetSelectedField("CDARVPROD");
    ::type("1");
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Browse);

    // Back in the date strip, everything is off again and both grids grey.
    w->dpkData->setFocus();
    QVERIFY(focusOn(w->dpkData));
    QVERIFY(!w->sbtIncluir.Enabled());
    QVERIFY(!w->sbtVerificar.Enabled());
    QCOMPARE(base(w->dbgServico), face);
    QCOMPARE(base(w->dbgPadrao), face);
    QCOMPARE(gridRows(w), QStringList());
}

// Down from the last row starts a new row in the product cell; left
// untouched, it goes away without a word and nothing is written.
void TestRetirada::newRowPastTheLastOne()
{
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    const QByteArray before = m_dir->plansFileBytes();
    QVERIFY(onCell(w, "12.02.001", "QTCONSRETI"));
    press(Qt::Key_Down);
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Insert);
    QCOMPARE(selectedField(w), QString("CDARVPROD"));
    QVERIFY(!w->sbtIncluir.Enabled());
    QVERIFY(w->sbtConfirmar.Enabled());
    // Both lookups are offered on a new row.
    TColumn *product = w->dbgPadrao->Columns().Find("CDARVPROD");
    TColumn *type = w->dbgPadrao->Columns().Find("CDTIPORETI");
    QCOMPARE(product->ButtonStyle(), ColumnButtonStyle::Ellipsis);
    QCOMPARE(type->ButtonStyle(), ColumnButtonStyle::Ellipsis);
    press(Qt::Key_Up);
    QCOMPARE(product->ButtonStyle(), ColumnButtonStyle::Auto);
    QCOMPARE(type->ButtonStyle(), ColumnButtonStyle::Auto);
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Browse);
    QCOMPARE(gridRows(w).size(), 2);
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(m_dir->plansFileBytes(), before);
}

void TestRetirada::rowIsStoredUnderItsService_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("message");
    QTest::newRow("complete row") << "1" << "";
    QTest::newRow("row without a type") << "" << "Tipo de retirada deve ser informado.";
}

// A new row is typed for the lunch and the operator clicks the snack in the
// service list: the row is stored for the lunch before the list moves, or,
// when it fails its checks, the list stays on the lunch.
void TestRetirada::rowIsStoredUnderItsService()
{
    QFETCH(QString, type);
    QFETCH(QString, message);
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    const QStringList before = m_dir->plansOnDisk();
    typeNewRow("1301001", "2", type);
    if (!message.isEmpty())
        m_answerer->press("OK");
    const QModelIndex snack = w->dbgServico->model()->index(1, 0);
    QTest::mouseClick(w->dbgServico->viewport(), Qt::LeftButton, {},
                      w->dbgServico->visualRect(snack).center());
    if (message.isEmpty()) {
        QCOMPARE(m_answerer->count(), 0);
        QCOMPARE(w->dbtNome->text(), QString("00002 - LANCHE"));
        QCOMPARE(gridRows(w), QStringList{"05.01.001 LT 3,00000 0,00000"});
        QCOMPARE(m_dir->planOnDisk(kBranch, "00001", today(), "13.01.001").section(u' ', 4, 7),
                 QString("0,00000 2,00000 01 NORMAL"));
        QCOMPARE(m_dir->planOnDisk(kBranch, "00002", today(), "13.01.001"), QString());
        return;
    }
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, message);
    QVERIFY(backInWindow(w));
    QCOMPARE(w->dbtNome->text(), QString("00001 - ALMOÇO"));
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Insert);
    QCOMPARE(selectedField(w), QString("CDTIPORETI"));
    QTRY_COMPARE(focused(), static_cast<QWidget *>(w->dbgPadrao));
    QCOMPARE(m_dir->plansOnDisk(), before);
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
}

void TestRetirada::cancelAsksFirst()
{
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    QVERIFY(onCell(w, "12.01.001", "QTCONSRETI"));
    ::type("4");
    m_answerer->press("Não");
    QVERIFY(command(w->sbtCancelar));
    QCOMPARE(m_answerer->at(0).text, w->msgMensagensPadroes.Msg("Canc"));
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Edit);
    m_answerer->press("Sim");
    QVERIFY(command(w->sbtCancelar));
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Browse);
    QCOMPARE(field(w, "QTCONSRETI"), QString("0,00000"));
}

void TestRetirada::deletionIsWrittenAtOnce()
{
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    const QStringList planned = m_dir->plansOnDisk();
    typeNewRow("1301001", "2", "1");
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_dir->plansOnDisk().size(), planned.size() + 1);

    // Ctrl+Delete in the grid goes through the delete command.
    QVERIFY(onCell(w, "13.01.001", "QTCONSRETI"));
    QVERIFY(w->sbtExcluir.Enabled());
    QVERIFY(!w->sbtExcluir.button->isEnabled());
    m_answerer->press("Sim");
    press(Qt::Key_Delete, Qt::ControlModifier);
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).text, QString("Confirma exclusão?"));
    QCOMPARE(m_dir->plansOnDisk(), planned);

    // Neither Verify nor a later store brings it back.
    QVERIFY(backInWindow(w));
    w->dbgPadrao->setFocus();
    QVERIFY(focusOn(w->dbgPadrao));
    QVERIFY(command(w->sbtVerificar));
    QCOMPARE(gridRows(w).size(), 2);
    QVERIFY(onCell(w, "12.01.001", "QTCONSRETI"));
    ::type("1");
    press(Qt::Key_Tab);
    ::type("1");
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_dir->plansOnDisk().size(), planned.size());
}

void TestRetirada::plannedRowsAreNotDeleted()
{
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    const QByteArray before = m_dir->plansFileBytes();
    QVERIFY(onCell(w, "12.01.001", "QTCONSRETI"));
    QVERIFY(!w->sbtExcluir.Enabled());
    press(Qt::Key_Delete, Qt::ControlModifier);
    press(Qt::Key_Delete);
    QCOMPARE(m_answerer->count(), 0);
    QCOMPARE(gridRows(w).size(), 2);
    QCOMPARE(w->cdsPrevReti->State(), DataSetState::Browse);
    QCOMPARE(m_dir->plansFileBytes(), before);
}

void TestRetirada::failedLoadDoesNotStopLaterStores_data()
{
    QTest::addColumn<bool>("verify");
    QTest::addColumn<QString>("file");
    QTest::newRow("date load") << false << "TIPORETI.cds";
    // The rows stay open after a failed Verify: a flag left set would keep
    // the next store from being checked and written.
    QTest::newRow("Verify of the lists") << true << "SERVICO.cds";
}

void TestRetirada::failedLoadDoesNotStopLaterStores()
{
    QFETCH(bool, verify);
    QFETCH(QString, file);
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    if (verify)
        QVERIFY(loadDate(w));
    const QByteArray good = m_dir->bytes(file);
    const auto writeFile = [&](const QByteArray &bytes) {
        QFile out(m_dir->filePath(file));
        return out.open(QIODevice::WriteOnly | QIODevice::Truncate)
               && out.write(bytes) == bytes.size();
    };
    // An unreadable file stops the load half-way.
    QVERIFY(writeFile("not a table"));
    m_answerer->press("OK");
    if (verify)
        QVERIFY(command(w->sbtVerificar));
    else
        press(Qt::Key_Tab);
    QVERIFY(m_answerer->waitFor(1));
    QVERIFY(backInWindow(w));
    QVERIFY(!w->Carregando);
    QVERIFY(writeFile(good));
    if (!verify) {
        w->dpkData->setFocus();
        QVERIFY(focusOn(w->dpkData));
        QVERIFY(loadDate(w));
    }
    QVERIFY(onCell(w, "12.01.001", "QTCONSRETI"));
    ::type("6");
    press(Qt::Key_Tab);
    ::type("1");
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_dir->planOnDisk(kBranch, "00001", today(), "12.01.001").section(u' ', 5, 6),
             QString("6,00000 01"));
}

void TestRetirada::fileWrittenElsewhereIsReadAgain()
{
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    QList<Plan> plans = defaultPlans();
    plans[1].consumed = QStringLiteral("9,00000");
    m_dir->writePlans(plans);
    // Loading a date again reads a file someone else replaced.
    w->dpkData->setFocus();
    QVERIFY(focusOn(w->dpkData));
    QVERIFY(loadDate(w));
    QCOMPARE(gridRows(w).first(), QString("12.01.001 KG 10,00000 9,00000"));

    // Verify in the product grid reads it too.
    plans[1].consumed = QStringLiteral("8,00000");
    m_dir->writePlans(plans);
    w->dbgPadrao->setFocus();
    QVERIFY(focusOn(w->dbgPadrao));
    QVERIFY(command(w->sbtVerificar));
    QCOMPARE(gridRows(w).first(), QString("12.01.001 KG 10,00000 8,00000"));
}

void TestRetirada::verifyRebuildsTheLists()
{
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    press(Qt::Key_Down);
    QCOMPARE(w->dbtNome->text(), QString("00002 - LANCHE"));
    QList<Plan> plans = defaultPlans();
    plans.append({"0001", "00004", today().addDays(-40), "13.01.001", "1,00000"});
    m_dir->writePlans(plans);
    m_dir->write(RefTables::servico(), {{{"CDFILIAL", "0001"}, {"CDSERVFILI", "00001"},
                                         {"NMSERVICO", "ALMOÇO"}, {"CDTIPOCARD", "1"}},
                                        {{"CDFILIAL", "0001"}, {"CDSERVFILI", "00002"},
                                         {"NMSERVICO", "LANCHE"}, {"CDTIPOCARD", "1"}},
                                        {{"CDFILIAL", "0001"}, {"CDSERVFILI", "00003"},
                                         {"NMSERVICO", "JANTAR"}, {"CDTIPOCARD", "1"}},
                                        {{"CDFILIAL", "0001"}, {"CDSERVFILI", "00004"},
                                         {"NMSERVICO", "CEIA"}, {"CDTIPOCARD", "1"}}});
    QVERIFY(w->dbgServico->hasFocus());
    QVERIFY(command(w->sbtVerificar));
    QCOMPARE(serviceRows(w), (QStringList{"00001 - ALMOÇO", "00002 - LANCHE", "00003 - JANTAR",
                                          "00004 - CEIA"}));
    // The list stays on its service, and the new day is a planned date.
    QCOMPARE(w->dbtNome->text(), QString("00002 - LANCHE"));
    QCOMPARE(gridRows(w), QStringList{"05.01.001 LT 3,00000 0,00000"});
    QVERIFY(w->cdsAuxData->Locate("STDATE", dayText(today().addDays(-40))));
}

void TestRetirada::findInTheFocusedList_data()
{
    QTest::addColumn<bool>("products");
    QTest::addColumn<QString>("searched");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("product");
    QTest::addColumn<QStringList>("rows");
    // The dinner's products of the day: none.
    QTest::newRow("service list") << false << "NMSERVICO" << "jan" << "00003 - JANTAR" << ""
                                  << QStringList();
    QTest::newRow("product grid")
        << true << "NMPRODUTO" << "fei" << "00001 - ALMOÇO" << "12.02.001"
        << QStringList{"12.01.001 KG 10,00000 0,00000", "12.02.001 KG 5,00000 0,00000"};
}

void TestRetirada::findInTheFocusedList()
{
    QFETCH(bool, products);
    QFETCH(QString, searched);
    QFETCH(QString, value);
    QFETCH(QString, service);
    QFETCH(QString, product);
    QFETCH(QStringList, rows);
    TfrmRetirada *w = openWindow();
    QVERIFY(w);
    QVERIFY(loadDate(w));
    if (products) {
        w->dbgPadrao->setFocus();
        QVERIFY(focusOn(w->dbgPadrao));
    }
    QString fieldChosen;
    m_answerer->run([&](QWidget *dialog) {
        auto *fieldBox = dialog->findChild<QComboBox *>(QStringLiteral("cbxCampo"));
        fieldBox->setCurrentIndex(fieldBox->findData(searched));
        fieldChosen = fieldBox->currentData().toString();
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("edtValor"));
        QTest::keyClicks(edit, value);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    QVERIFY(command(w->sbtProcurar));
    QVERIFY(m_answerer->waitFor(1));
    QCOMPARE(m_answerer->at(0).objectName, QString("dlgProcura"));
    QCOMPARE(fieldChosen, searched);
    QCOMPARE(w->dbtNome->text(), service);
    QVERIFY(!w->Procurando);
    QCOMPARE(gridRows(w), rows);
    if (!product.isEmpty())
        QCOMPARE(field(w, "CDARVPROD"), product);
}

QTEST_MAIN(TestRetirada)
#include "tst_retirada.moc"
