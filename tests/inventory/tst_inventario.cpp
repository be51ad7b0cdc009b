#include "basewindows.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "dialoganswerer.h"
#include "localeservice.h"
#include "maskedit.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "statusbar.h"
#include "table.h"
#include "taskwindow.h"
#include "tfrminventario.h"
#include "tfrmprincipal.h"

#include <QAction>
#include <QApplication>
#include <QCalendarWidget>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace kiv;
using kivtest::backInWindow;
using kivtest::command;
using kivtest::focused;
using kivtest::focusOn;
using kivtest::press;
using kivtest::type;

namespace {

struct Product
{
    QString code;
    QString internal;
    QString name;
    QString unit;
};

// Two codes begin with 12, and the file lists the greater one first: the
// window must take the first in code order, not in file order.
QList<Product> defaultProducts()
{
    return {
        {"12.02.001", "1202", "FEIJÃO CARIOCA", "KG"},
        {"12.01.001", "1201", "ARROZ AGULHINHA", "KG"},
        {"13.01.001", "1301", "ÓLEO DE SOJA", "LT"},
        {"05.01.001", "0501", "LEITE INTEGRAL", "LT"},
    };
}

struct Count
{
    QString branch;
    QDate date;
    QString code;
    QString quantity;
};

struct Item
{
    QString branch;
    QString code;
    QString internal;
    QString name;
    QString quantity;
};

const QString kBranch = QStringLiteral("0001");
const QString kBranchName = QStringLiteral("COZINHA CENTRAL NORTE");
const QString kOperator = QStringLiteral("000000000001");
const QString kProdMask = QStringLiteral("99.99.999;1;_");

QDate today()
{
    return QDate::currentDate();
}

// A data directory with the operator file, the products and the counts.
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
        writeProducts(defaultProducts());
        writeCounts({});
    }

    void writeProducts(const QList<Product> &products) const
    {
        QList<QVariantMap> rows;
        for (const Product &p : products)
            rows.append({{"CDPRODUTO", p.internal},
                         {"CDARVPROD", p.code},
                         {"CDPSQPROD", p.code},
                         {"NMPRODUTO", p.name},
                         {"SGUNIDADE", p.unit}});
        write(RefTables::produto(RefTables::ProductReader::Inventory), rows);
    }

    void writeCounts(const QList<Count> &counts) const
    {
        QList<QVariantMap> rows;
        for (const Count &c : counts) {
            QString internal, name, unit;
            for (const Product &p : defaultProducts())
                if (p.code == c.code) {
                    internal = p.internal;
                    name = p.name;
                    unit = p.unit;
                }
            rows.append({{"CDFILIAL", c.branch},
                         {"CDOPERADOR", "000000000002"},
                         {"DTLANCESTQ", c.date},
                         {"CDPRODUTO", internal},
                         {"FILOPEDTPD", QString()},
                         {"CDARVPROD", c.code},
                         {"NMPRODUTO", name},
                         {"SGUNIDADE", unit},
                         {"QUANTPROD", c.quantity}});
        }
        write(RecordedTables::inventario(), rows);
    }

    void writeItems(const QList<Item> &items) const
    {
        QList<QVariantMap> rows;
        for (const Item &i : items)
            rows.append({{"CDARVPROD", i.code},
                         {"CDFILIAL", i.branch},
                         {"CDPRODUTO", i.internal},
                         {"NRINVENTRETI", "7781"},
                         {"NMPRODUTO", i.name},
                         {"SGUNIDADE", "KG"},
                         {"QTITINVENTRETI", i.quantity}});
        write(RecordedTables::itemInvent(), rows);
    }

    QByteArray countsFileBytes() const { return bytes(RecordedTables::inventario().fileName); }

    // The counts file as it is on disk: "branch date code quantity" per
    // row, sorted, so that a test compares what a later run would load.
    QStringList countsOnDisk() const
    {
        const auto table = load(RecordedTables::inventario());
        QStringList rows;
        for (table->First(); !table->Eof(); table->Next())
            rows << QStringLiteral("%1 %2 %3 %4")
                        .arg(table->FieldByName("CDFILIAL")->AsString(),
                             table->FieldByName("DTLANCESTQ")->AsDate().toString(Qt::ISODate),
                             table->FieldByName("CDARVPROD")->AsString(),
                             table->FieldByName("QUANTPROD")->AsString());
        rows.sort();
        return rows;
    }
};

QString row(const QDate &date, const QString &code, const QString &quantity,
            const QString &branch = kBranch)
{
    return QStringLiteral("%1 %2 %3 %4").arg(branch, date.toString(Qt::ISODate), code, quantity);
}

// Ctrl+V as the keyboard sends it: the key and a control character.
void paste(const QString &text)
{
    QApplication::clipboard()->setText(text);
    if (QWidget *target = focused()) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier, QStringLiteral("\x16"));
        QApplication::sendEvent(target, &press);
    } else {
        QFAIL("no widget has the focus");
    }
}

QString field(const TfrmInventario *w, const char *name)
{
    return w->cdsInventario->FieldByName(QString::fromLatin1(name))->AsString();
}

QString selectedField(const TfrmInventario *w)
{
    const Field *f = w->dbgPadrao->SelectedField();
    return f ? f->FieldName() : QString();
}

// What the grid shows: "code quantity" per row.
QStringList gridRows(const TfrmInventario *w)
{
    QStringList rows;
    const QAbstractItemModel *model = w->dbgPadrao->model();
    for (int r = 0; r < model->rowCount(); ++r)
        rows << model->index(r, 0).data().toString() + u' ' + model->index(r, 3).data().toString();
    return rows;
}

// The operator's way of choosing a date: the drop-down calendar.
bool chooseDate(TfrmInventario *w, const QDate &date)
{
    w->dpkInventario->setFocus();
    if (!focusOn(w->dpkInventario))
        return false;
    QTest::keyClick(w->dpkInventario, Qt::Key_F4);
    QCalendarWidget *calendar = nullptr;
    if (!QTest::qWaitFor(
            [&] {
                calendar = w->dpkInventario->calendarWidget();
                return calendar && calendar->isVisible();
            },
            2000))
        return false;
    calendar->setSelectedDate(date);
    QTest::keyClick(calendar, Qt::Key_Return);
    w->dbgPadrao->setFocus();
    return w->dpkInventario->Date() == date;
}

// Makes the next save of the counts file fail, and undoes it.
class SaveBlocker
{
public:
    enum Kind { ReadOnlyDirectory, WriteCutShort };

    SaveBlocker(Kind kind, const DataDir &dir) : m_kind(kind), m_dir(dir.path())
    {
        if (kind == ReadOnlyDirectory)
            QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                             | QFile::ExeGroup);
        else // The new file cannot grow past the old one.
            m_limit = std::make_unique<kivtest::FileSizeLimit>(
                QFileInfo(dir.filePath("INVENTARIO.cds")).size());
    }

    ~SaveBlocker()
    {
        if (m_kind == ReadOnlyDirectory)
            QFile::setPermissions(m_dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    Kind m_kind;
    QString m_dir;
    std::unique_ptr<kivtest::FileSizeLimit> m_limit;
};

} // namespace

Q_DECLARE_METATYPE(Item)

class TestInventario : public QObject, private kivtest::WindowTest<TfrmInventario, DataDir>
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensFromTheMainWindowOnTheSessionBranch();
    void creationFailureShowsTheEngineError_data();
    void creationFailureShowsTheEngineError();
    void partialCodeTakesTheFirstProduct_data();
    void partialCodeTakesTheFirstProduct();
    void enterAtTheRowEndPostsAndSaves();
    void productLookup_data();
    void productLookup();
    void lookupOnAnEmptyProductTable();
    void duplicateOnTheSameDateOnlyIsRefused();
    void quantityIsTypedAndNormalised_data();
    void quantityIsTypedAndNormalised();
    void incompleteOrNegativeRowIsRefused_data();
    void incompleteOrNegativeRowIsRefused();
    void editedQuantityIsRewritten();
    void dateChangeShowsThatDateWhileTheFileKeepsAll();
    void openRowLocksTheDateAndTheImport();
    void deleteAsksAndRewritesTheFile_data();
    void deleteAsksAndRewritesTheFile();
    void refreshReloadsTheFileUnderTheSameFilter();
    void import_data();
    void import();
    void importTwiceOnTheSameDateAddsNothing();
    void importStopsAtTheFirstFailingRow_data();
    void importStopsAtTheFirstFailingRow();
    void failedSaveKeepsThePreviousFileAndTheRow_data();
    void failedSaveKeepsThePreviousFileAndTheRow();

private:
    void startSession();
    TfrmInventario *openWindow();
    // Insert, the code, Tab, the quantity and Confirm, as the operator does.
    void typeCount(const QString &code, const QString &quantity);

};

void TestInventario::initTestCase()
{
    QApplication::setApplicationDisplayName(QStringLiteral("Kiv - School Meals"));
}

void TestInventario::init()
{
    startTest();
}

void TestInventario::cleanup()
{
    endTest();
}

// The main window on the data directory, with the session a login would
// have left.
void TestInventario::startSession()
{
    if (!m_dir)
        m_dir = std::make_unique<DataDir>();
    m_principal = kivtest::startMainWindow(
        {.branch = kBranch, .branchName = kBranchName, .productMask = kProdMask});
    QVERIFY(m_principal);
}

TfrmInventario *TestInventario::openWindow()
{
    startSession();
    if (QTest::currentTestFailed())
        return nullptr;
    m_window = new TfrmInventario(m_principal->CurrentSession());
    m_window->Create();
    if (!kivtest::showActive(m_window))
        return nullptr;
    m_window->dbgPadrao->setFocus();
    if (!focusOn(m_window->dbgPadrao))
        return nullptr;
    return m_window;
}

void TestInventario::typeCount(const QString &code, const QString &quantity)
{
    QVERIFY(command(m_window->sbtIncluir));
    type(code);
    press(Qt::Key_Tab);
    type(quantity);
    QVERIFY(command(m_window->sbtConfirmar));
}

void TestInventario::opensFromTheMainWindowOnTheSessionBranch()
{
    m_dir = std::make_unique<DataDir>();
    // Another branch counted today: not this session's row.
    m_dir->writeCounts({{"0002", today(), "12.01.001", "3,000"}});
    KIVTEST_STEP(startSession());
    m_principal->mnuInventarioClick();

    auto *w = qobject_cast<TfrmInventario *>(
        m_principal->TaskWindowInstance(TaskWindow::Inventario));
    QVERIFY(w);
    QCOMPARE(w->objectName(), QString("TfrmInventario"));
    QCOMPARE(w->windowTitle(), QString("Inventário"));
    QCOMPARE(NomeUnit(w), QString("KIS00100"));
    QCOMPARE(m_principal->stbStatus->PanelText(3), QString("KIS00100"));
    QCOMPARE(w->medCdFilial->Text(), kBranch);
    QCOMPARE(w->edtNmFilial->text(), kBranchName);
    QCOMPARE(w->dpkInventario->Date(), today());
    QCOMPARE(gridRows(w), QStringList());
    QVERIFY(w->sbtIncluir.Enabled());
    QVERIFY(w->btnImportar->isEnabled());
    QVERIFY(!w->sbtImprimir.Enabled());
    QVERIFY(!w->mnuConfigImpressora->isEnabled());
    QVERIFY(!w->sbtAjuda.Enabled());

    // The same command brings the open window forward instead of a second one.
    m_principal->mnuInventarioClick();
    QCOMPARE(m_principal->TaskWindowInstance(TaskWindow::Inventario), w);

    QPointer<TfrmInventario> closing = w;
    QVERIFY(command(w->sbtFechar));
    QTRY_VERIFY(!closing);
    QCOMPARE(m_principal->stbStatus->PanelText(3), QString("KIS00000"));
    QVERIFY(!m_principal->TaskWindowInstance(TaskWindow::Inventario));
}

void TestInventario::creationFailureShowsTheEngineError_data()
{
    QTest::addColumn<QString>("missing");
    QTest::newRow("no counts file") << "INVENTARIO.cds";
    QTest::newRow("no product file") << "PRODUTO.CDS";
}

void TestInventario::creationFailureShowsTheEngineError()
{
    QFETCH(QString, missing);
    m_dir = std::make_unique<DataDir>();
    QVERIFY(QFile::remove(m_dir->filePath(missing)));
    DialogAnswerer &answerer = *m_answerer;
    answerer.press("OK");
    QVERIFY(openWindow());
    QCOMPARE(answerer.count(), 1);
    QVERIFY2(answerer.at(0).text.contains(missing), qPrintable(answerer.transcript()));
    // The window opens with what was done, and no row can be typed.
    QVERIFY(m_window->isVisible());
    QCOMPARE(m_window->medCdFilial->Text(), kBranch);
    QVERIFY(!m_window->sbtIncluir.Enabled());
    QVERIFY(!QFile::exists(m_dir->filePath("INVENTARIO.cds"))
            || m_dir->countsOnDisk().isEmpty());
}

void TestInventario::partialCodeTakesTheFirstProduct_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("12 begins two codes") << "12" << "12.01.001" << "ARROZ AGULHINHA" << "";
    QTest::newRow("1202 begins one") << "1202" << "12.02.001" << "FEIJÃO CARIOCA" << "";
    QTest::newRow("a whole code") << "1301001" << "13.01.001" << "ÓLEO DE SOJA" << "";
    QTest::newRow("no code begins so") << "99" << "99.." << ""
                                       << "Produto não cadastrado.";
}

void TestInventario::partialCodeTakesTheFirstProduct()
{
    QFETCH(QString, typed);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(QString, message);
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    QCOMPARE(selectedField(w), QString("CDARVPROD"));
    type(typed);
    DialogAnswerer &answerer = *m_answerer;
    if (!message.isEmpty())
        answerer.press("OK");
    press(Qt::Key_Tab);

    QCOMPARE(answerer.count(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(answerer.at(0).text, message);
    QCOMPARE(w->cdsInventario->State(), DataSetState::Insert);
    QCOMPARE(field(w, "CDARVPROD"), code);
    QCOMPARE(field(w, "NMPRODUTO"), name);
    QCOMPARE(w->dbtNome->text(), name);
    // Found, the operator goes on to the quantity (name and unit are not
    // typed); not found, the code column keeps him.
    QCOMPARE(selectedField(w), message.isEmpty() ? QString("QUANTPROD") : QString("CDARVPROD"));
}

void TestInventario::enterAtTheRowEndPostsAndSaves()
{
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    type("13");
    press(Qt::Key_Tab);
    type("2,5");
    press(Qt::Key_Return);
    QTRY_COMPARE(m_dir->countsOnDisk(), QStringList{row(today(), "13.01.001", "2,500")});
    // The grid opens the next row for the next count.
    QTRY_COMPARE(w->cdsInventario->State(), DataSetState::Insert);
    QCOMPARE(selectedField(w), QString("CDARVPROD"));
    QCOMPARE(field(w, "CDOPERADOR"), QString());
    press(Qt::Key_Escape);
    QCOMPARE(w->cdsInventario->State(), DataSetState::Browse);
    QCOMPARE(gridRows(w), QStringList{"13.01.001 2,500"});

    const auto saved = m_dir->load(RecordedTables::inventario());
    QCOMPARE(saved->FieldByName("CDOPERADOR")->AsString(), kOperator);
    QCOMPARE(saved->FieldByName("CDPRODUTO")->AsString(), QString("1301"));
    QCOMPARE(saved->FieldByName("SGUNIDADE")->AsString(), QString("LT"));
    QCOMPARE(saved->FieldByName("NMPRODUTO")->AsString(), QString("ÓLEO DE SOJA"));
}

void TestInventario::productLookup_data()
{
    QTest::addColumn<bool>("byButton");
    QTest::newRow("F9") << false;
    QTest::newRow("column button") << true;
}

void TestInventario::productLookup()
{
    QFETCH(bool, byButton);
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    const auto lookUp = [&] {
        if (byButton)
            QTest::mouseClick(w->dbgPadrao->viewport(), Qt::LeftButton, {},
                              w->dbgPadrao->EditButtonRect().center());
        else
            press(Qt::Key_F9);
    };

    DialogAnswerer &answerer = *m_answerer;
    if (!byButton) {
        // Outside a new row the lookup does not open.
        lookUp();
        QCOMPARE(answerer.count(), 0);
    }

    QVERIFY(command(w->sbtIncluir));
    QString title;
    answerer.run([&](QWidget *dialog) {
        title = dialog->windowTitle();
        QTest::keyClicks(dialog->findChild<QLineEdit *>("edtPesquisa"), "13");
        QTest::keyClick(dialog->findChild<QLineEdit *>("edtPesquisa"), Qt::Key_Return);
    });
    lookUp();
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).objectName, QString("dlgPesquisar"));
    QCOMPARE(title, QString("Produto"));
    QCOMPARE(field(w, "CDARVPROD"), QString("13.01.001"));
    QCOMPARE(field(w, "CDPRODUTO"), QString("1301"));
    QCOMPARE(field(w, "NMPRODUTO"), QString("ÓLEO DE SOJA"));
    QCOMPARE(field(w, "SGUNIDADE"), QString("LT"));

    press(Qt::Key_Tab);
    type("1");
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_dir->countsOnDisk(), QStringList{row(today(), "13.01.001", "1,000")});
}

void TestInventario::lookupOnAnEmptyProductTable()
{
    m_dir = std::make_unique<DataDir>();
    m_dir->writeProducts({});
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    QVERIFY(command(w->sbtIncluir));
    DialogAnswerer &answerer = *m_answerer;
    answerer.press("OK");
    press(Qt::Key_F9);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QString("Não há produto cadastrado."));
    QCOMPARE(field(w, "CDARVPROD"), QString());
}

void TestInventario::duplicateOnTheSameDateOnlyIsRefused()
{
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(typeCount("12", "4"));
    QCOMPARE(m_dir->countsOnDisk(), QStringList{row(today(), "12.01.001", "4,000")});

    QVERIFY(command(w->sbtIncluir));
    type("1201001");
    DialogAnswerer &answerer = *m_answerer;
    answerer.press("OK");
    press(Qt::Key_Tab);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QString("Produto já cadastrado."));
    QCOMPARE(w->cdsInventario->State(), DataSetState::Insert);
    QCOMPARE(selectedField(w), QString("CDARVPROD"));
    // Confirming does not get past it either.
    QVERIFY(backInWindow(w));
    answerer.press("OK");
    command(w->sbtConfirmar);
    QCOMPARE(answerer.count(), 2);
    QCOMPARE(answerer.at(1).text, QString("Produto já cadastrado."));
    QVERIFY(backInWindow(w));
    press(Qt::Key_Escape);
    QCOMPARE(w->cdsInventario->State(), DataSetState::Browse);

    QVERIFY(chooseDate(w, today().addDays(1)));
    KIVTEST_STEP(typeCount("12", "6"));
    QCOMPARE(answerer.count(), 2);
    QCOMPARE(m_dir->countsOnDisk(), QStringList({row(today(), "12.01.001", "4,000"),
                                                 row(today().addDays(1), "12.01.001", "6,000")}));
}

void TestInventario::quantityIsTypedAndNormalised_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    QTest::newRow("comma: 2,5") << QChar(u',') << "2,5" << "2,500";
    QTest::newRow("point: 2.5") << QChar(u'.') << "2.5" << "2.500";
    QTest::newRow("comma: a whole number") << QChar(u',') << "7" << "7,000";
    QTest::newRow("point: a whole number") << QChar(u'.') << "7" << "7.000";
    QTest::newRow("comma: zero counts") << QChar(u',') << "0" << "0,000";
    // "." types the separator: never a thousands mark.
    QTest::newRow("comma: a point is the separator") << QChar(u',') << "1.234,5" << "1,235";
    QTest::newRow("comma: typed with a point") << QChar(u',') << "2.5" << "2,500";
    QTest::newRow("comma: second separator refused") << QChar(u',') << "2,5,1" << "2,510";
    QTest::newRow("point: second separator refused") << QChar(u'.') << "2.5.1" << "2.510";
    QTest::newRow("comma: leading separator refused") << QChar(u',') << ",5" << "5,000";
    QTest::newRow("signs and exponent refused") << QChar(u',') << "+-3e" << "3,000";
}

void TestInventario::quantityIsTypedAndNormalised()
{
    QFETCH(QChar, separator);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    LocaleService::setDecimalSeparator(separator);
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(typeCount("05", typed));
    QCOMPARE(w->cdsInventario->State(), DataSetState::Browse);
    QCOMPARE(gridRows(w), QStringList{"05.01.001 " + stored});
    QCOMPARE(m_dir->countsOnDisk(), QStringList{row(today(), "05.01.001", stored)});
}

void TestInventario::incompleteOrNegativeRowIsRefused_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("quantity");
    QTest::addColumn<bool>("pasted");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("column");
    QTest::newRow("no code") << "" << "5" << false << "Produto deve ser informado."
                             << "CDARVPROD";
    QTest::newRow("no quantity") << "12" << "" << false << "Quantidade deve ser informada."
                                 << "QUANTPROD";
    // Typing cannot give a sign; pasting can.
    QTest::newRow("negative quantity") << "12" << "-2" << true
                                       << "Quantidade deve ser maior ou igual a zero."
                                       << "QUANTPROD";
}

void TestInventario::incompleteOrNegativeRowIsRefused()
{
    QFETCH(QString, code);
    QFETCH(QString, quantity);
    QFETCH(bool, pasted);
    QFETCH(QString, message);
    QFETCH(QString, column);
    m_dir = std::make_unique<DataDir>();
    m_dir->writeCounts({{kBranch, today().addDays(-30), "12.01.001", "10,000"}});
    const QByteArray before = m_dir->countsFileBytes();
    TfrmInventario *w = openWindow();
    QVERIFY(w);

    QVERIFY(command(w->sbtIncluir));
    type(code);
    press(Qt::Key_Tab);
    if (pasted) {
        press(Qt::Key_F2);
        paste(quantity);
    } else {
        type(quantity);
    }
    DialogAnswerer &answerer = *m_answerer;
    answerer.press("OK");
    command(w->sbtConfirmar);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, message);
    // The row stays open where the fault is, and nothing is written.
    QCOMPARE(w->cdsInventario->State(), DataSetState::Insert);
    QCOMPARE(selectedField(w), column);
    QVERIFY(!w->dpkInventario->isEnabled());
    QCOMPARE(m_dir->countsFileBytes(), before);
}

void TestInventario::editedQuantityIsRewritten()
{
    m_dir = std::make_unique<DataDir>();
    m_dir->writeCounts({{kBranch, today(), "12.01.001", "10,000"},
                        {kBranch, today(), "13.01.001", "1,000"}});
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    QCOMPARE(gridRows(w), QStringList({"12.01.001 10,000", "13.01.001 1,000"}));
    // Typing over a stored row's code goes to its quantity.
    type("8");
    QCOMPARE(w->cdsInventario->State(), DataSetState::Edit);
    QCOMPARE(selectedField(w), QString("QUANTPROD"));
    type(",25");
    QVERIFY(command(w->sbtConfirmar));
    QCOMPARE(m_dir->countsOnDisk(), QStringList({row(today(), "12.01.001", "8,250"),
                                                 row(today(), "13.01.001", "1,000")}));
}

void TestInventario::dateChangeShowsThatDateWhileTheFileKeepsAll()
{
    const QDate earlier = today().addDays(-30);
    m_dir = std::make_unique<DataDir>();
    m_dir->writeCounts({{kBranch, earlier, "12.01.001", "10,000"},
                        {"0002", today(), "12.01.001", "3,000"},
                        {kBranch, earlier, "13.01.001", "1,500"}});
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    QCOMPARE(gridRows(w), QStringList());
    KIVTEST_STEP(typeCount("05", "4"));
    QCOMPARE(gridRows(w), QStringList{"05.01.001 4,000"});

    QVERIFY(chooseDate(w, earlier));
    QCOMPARE(gridRows(w), QStringList({"12.01.001 10,000", "13.01.001 1,500"}));
    KIVTEST_STEP(typeCount("1202", "1"));
    QCOMPARE(gridRows(w),
             QStringList({"12.01.001 10,000", "12.02.001 1,000", "13.01.001 1,500"}));

    QVERIFY(chooseDate(w, today()));
    QCOMPARE(gridRows(w), QStringList{"05.01.001 4,000"});
    QCOMPARE(m_dir->countsOnDisk(),
             QStringList({row(earlier, "12.01.001", "10,000"), row(earlier, "12.02.001", "1,000"),
                          row(earlier, "13.01.001", "1,500"), row(today(), "05.01.001", "4,000"),
                          row(today(), "12.01.001", "3,000", "0002")}));
}

void TestInventario::openRowLocksTheDateAndTheImport()
{
    m_dir = std::make_unique<DataDir>();
    m_dir->writeCounts({{kBranch, today(), "12.01.001", "10,000"}});
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    const QColor browsing = w->dpkInventario->palette().color(QPalette::Base);

    QVERIFY(command(w->sbtIncluir));
    QVERIFY(!w->dpkInventario->isEnabled());
    QVERIFY(!w->lblData->isEnabled());
    QVERIFY(!w->btnImportar->isEnabled());
    QVERIFY(w->dpkInventario->palette().color(QPalette::Base) != browsing);
    press(Qt::Key_Escape);
    QCOMPARE(w->cdsInventario->State(), DataSetState::Browse);
    QVERIFY(w->dpkInventario->isEnabled());
    QVERIFY(w->lblData->isEnabled());
    QVERIFY(w->btnImportar->isEnabled());
    QCOMPARE(w->dpkInventario->palette().color(QPalette::Base), browsing);

    type("3");
    QCOMPARE(w->cdsInventario->State(), DataSetState::Edit);
    QVERIFY(!w->dpkInventario->isEnabled());
    QVERIFY(!w->btnImportar->isEnabled());
    QVERIFY(command(w->sbtConfirmar));
    QVERIFY(w->dpkInventario->isEnabled());
    QVERIFY(w->btnImportar->isEnabled());
}

void TestInventario::deleteAsksAndRewritesTheFile_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("left");
    QTest::newRow("yes") << "Sim" << QStringList{row(today(), "13.01.001", "1,000")};
    QTest::newRow("no") << "Não"
                        << QStringList({row(today(), "12.01.001", "10,000"),
                                        row(today(), "13.01.001", "1,000")});
}

void TestInventario::deleteAsksAndRewritesTheFile()
{
    QFETCH(QString, answer);
    QFETCH(QStringList, left);
    m_dir = std::make_unique<DataDir>();
    m_dir->writeCounts({{kBranch, today(), "12.01.001", "10,000"},
                        {kBranch, today(), "13.01.001", "1,000"}});
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    DialogAnswerer &answerer = *m_answerer;
    answerer.press(answer);
    QVERIFY(command(w->sbtExcluir));
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, QString("Confirma exclusão?"));
    QCOMPARE(m_dir->countsOnDisk(), left);
    QCOMPARE(gridRows(w).size(), left.size());
}

void TestInventario::refreshReloadsTheFileUnderTheSameFilter()
{
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    QCOMPARE(gridRows(w), QStringList());
    m_dir->writeCounts({{kBranch, today(), "13.01.001", "7,000"},
                        {"0002", today(), "12.01.001", "3,000"},
                        {kBranch, today().addDays(-1), "12.01.001", "1,000"}});
    QVERIFY(command(w->sbtVerificar));
    QCOMPARE(gridRows(w), QStringList{"13.01.001 7,000"});
}

void TestInventario::import_data()
{
    QTest::addColumn<QList<Item>>("items");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("todayRows");

    QTest::newRow("no rows at all") << QList<Item>() << "Não há inventário cadastrado."
                                    << QStringList{"13.01.001 2,000"};
    QTest::newRow("rows of other branches only")
        << QList<Item>{{"0002", "12.01.001", "1201", "ARROZ", "5"},
                       {"0003", "05.01.001", "0501", "LEITE", "1"}}
        << "" << QStringList{"13.01.001 2,000"};
    // Counted already: kept as it was; unknown product: skipped; the name
    // stored is the product table's.
    QTest::newRow("the branch's rows")
        << QList<Item>{{kBranch, "12.01.001", "1201", "ARROZ DA LISTA", "5"},
                       {kBranch, "13.01.001", "1301", "ÓLEO", "9"},
                       {"0002", "12.02.001", "1202", "FEIJÃO", "4"},
                       {kBranch, "77.77.777", "7777", "SEM CADASTRO", "1"},
                       {kBranch, "05.01.001", "0501", "LEITE", "0"}}
        << "" << QStringList{"05.01.001 0,000", "12.01.001 5,000", "13.01.001 2,000"};
}

void TestInventario::import()
{
    QFETCH(QList<Item>, items);
    QFETCH(QString, message);
    QFETCH(QStringList, todayRows);
    const QDate earlier = today().addDays(-30);
    m_dir = std::make_unique<DataDir>();
    m_dir->writeCounts({{kBranch, today(), "13.01.001", "2,000"},
                        {kBranch, earlier, "12.01.001", "10,000"},
                        {"0002", today(), "12.01.001", "3,000"}});
    m_dir->writeItems(items);
    TfrmInventario *w = openWindow();
    QVERIFY(w);

    DialogAnswerer &answerer = *m_answerer;
    if (!message.isEmpty())
        answerer.press("OK");
    QTest::mouseClick(w->btnImportar, Qt::LeftButton);
    QCOMPARE(answerer.count(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(answerer.at(0).text, message);

    QCOMPARE(gridRows(w), todayRows);
    QCOMPARE(w->cdsInventario->RecNo(), 1);
    QCOMPARE(w->cdsInventario->State(), DataSetState::Browse);
    QVERIFY(w->btnImportar->isEnabled());
    QVERIFY(w->sbtIncluir.Enabled());
    QStringList onDisk{row(earlier, "12.01.001", "10,000"),
                       row(today(), "12.01.001", "3,000", "0002")};
    for (const QString &r : todayRows)
        onDisk << row(today(), r.section(u' ', 0, 0), r.section(u' ', 1, 1));
    onDisk.sort();
    QCOMPARE(m_dir->countsOnDisk(), onDisk);
    if (todayRows.contains("12.01.001 5,000")) {
        QVERIFY(w->cdsInventario->Locate("CDARVPROD", QString("12.01.001")));
        QCOMPARE(field(w, "NMPRODUTO"), QString("ARROZ AGULHINHA"));
        QCOMPARE(field(w, "CDOPERADOR"), kOperator);
    }
}

void TestInventario::importTwiceOnTheSameDateAddsNothing()
{
    m_dir = std::make_unique<DataDir>();
    m_dir->writeItems({{kBranch, "12.01.001", "1201", "ARROZ", "5"},
                       {kBranch, "05.01.001", "0501", "LEITE", "2"}});
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    DialogAnswerer &answerer = *m_answerer;
    QTest::mouseClick(w->btnImportar, Qt::LeftButton);
    const QStringList once = m_dir->countsOnDisk();
    QCOMPARE(once, QStringList({row(today(), "05.01.001", "2,000"),
                                row(today(), "12.01.001", "5,000")}));
    QTest::mouseClick(w->btnImportar, Qt::LeftButton);
    QCOMPARE(answerer.count(), 0);
    QCOMPARE(m_dir->countsOnDisk(), once);
    QCOMPARE(gridRows(w), QStringList({"05.01.001 2,000", "12.01.001 5,000"}));

    // Another date is another count.
    QVERIFY(chooseDate(w, today().addDays(1)));
    QTest::mouseClick(w->btnImportar, Qt::LeftButton);
    QCOMPARE(m_dir->countsOnDisk().size(), 4);
}

void TestInventario::importStopsAtTheFirstFailingRow_data()
{
    QTest::addColumn<Item>("failing");
    QTest::addColumn<QString>("message");
    // The internal code is known but the code is not the product table's.
    QTest::newRow("code not in the product table")
        << Item{kBranch, "99.99.999", "1201", "ARROZ", "5"} << "Produto não cadastrado.";
    QTest::newRow("quantity that does not read")
        << Item{kBranch, "12.01.001", "1201", "ARROZ", "x"}
        << "'x' não é um valor numérico válido.";
}

void TestInventario::importStopsAtTheFirstFailingRow()
{
    QFETCH(Item, failing);
    QFETCH(QString, message);
    m_dir = std::make_unique<DataDir>();
    m_dir->writeItems({{kBranch, "05.01.001", "0501", "LEITE", "2"},
                       failing,
                       {kBranch, "13.01.001", "1301", "ÓLEO", "1"}});
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    DialogAnswerer &answerer = *m_answerer;
    answerer.press("OK");
    QTest::mouseClick(w->btnImportar, Qt::LeftButton);
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.at(0).text, message);
    // The rows before it stay saved; the failing one and those after it
    // are not imported, and nothing is left open.
    QCOMPARE(m_dir->countsOnDisk(), QStringList{row(today(), "05.01.001", "2,000")});
    QCOMPARE(gridRows(w), QStringList{"05.01.001 2,000"});
    QCOMPARE(w->cdsInventario->State(), DataSetState::Browse);
    QVERIFY(w->btnImportar->isEnabled());
    QVERIFY(w->dpkInventario->isEnabled());
}

void TestInventario::failedSaveKeepsThePreviousFileAndTheRow_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("read-only directory") << int(SaveBlocker::ReadOnlyDirectory);
#ifdef Q_OS_UNIX
    QTest::newRow("disk full") << int(SaveBlocker::WriteCutShort);
#endif
}

void TestInventario::failedSaveKeepsThePreviousFileAndTheRow()
{
    QFETCH(int, kind);
#ifdef Q_OS_UNIX
    if (kind == SaveBlocker::ReadOnlyDirectory && geteuid() == 0)
        QSKIP("permissions do not stop the superuser");
#endif
    TfrmInventario *w = openWindow();
    QVERIFY(w);
    KIVTEST_STEP(typeCount("12", "1"));
    const QByteArray before = m_dir->countsFileBytes();
    QVERIFY(!before.isEmpty());
    QCOMPARE(m_dir->countsOnDisk(), QStringList{row(today(), "12.01.001", "1,000")});

    DialogAnswerer &answerer = *m_answerer;
    answerer.press("OK");
    {
        SaveBlocker blocker(SaveBlocker::Kind(kind), *m_dir);
        KIVTEST_STEP(typeCount("13", "2"));
    }
    QCOMPARE(answerer.count(), 1);
    QVERIFY2(answerer.at(0).text.contains("INVENTARIO"), qPrintable(answerer.transcript()));
    QCOMPARE(m_dir->countsFileBytes(), before);
    const QStringList leftovers =
        QDir(m_dir->path()).entryList({"*.tmp"}, QDir::Files | QDir::Hidden);
    QCOMPARE(leftovers, QStringList());
    // The row is kept and shown; the import is open again.
    QCOMPARE(w->cdsInventario->State(), DataSetState::Browse);
    QCOMPARE(gridRows(w), QStringList({"12.01.001 1,000", "13.01.001 2,000"}));
    QVERIFY(w->btnImportar->isEnabled());

    // The next save writes it with the rest.
    KIVTEST_STEP(typeCount("05", "3"));
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(m_dir->countsOnDisk(), QStringList({row(today(), "05.01.001", "3,000"),
                                                 row(today(), "12.01.001", "1,000"),
                                                 row(today(), "13.01.001", "2,000")}));
}

QTEST_MAIN(TestInventario)
#include "tst_inventario.moc"
