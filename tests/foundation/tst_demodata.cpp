#include "demodata.h"

#include "cripto.h"
#include "errors.h"
#include "localeservice.h"
#include "numerictext.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "textroutines.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using kiv::Table;
using kiv::TableDecl;

namespace {

// A day whose planned withdrawals cross the end of a leap February, and
// whose day of month tells dd/MM from MM/dd.
const QDate kToday(2024, 2, 27);

QString dateFormatFor(QChar separator)
{
    return separator == u',' ? QStringLiteral("dd/MM/yyyy") : QStringLiteral("MM/dd/yyyy");
}

void useLocale(QChar separator)
{
    kiv::LocaleService::setDecimalSeparator(separator);
    kiv::LocaleService::setShortDateFormat(dateFormatFor(separator));
}

QList<TableDecl> declaredFiles()
{
    return kiv::RefTables::all() + kiv::RecordedTables::all();
}

TableDecl declOf(const QString &fileName)
{
    for (const TableDecl &decl : declaredFiles())
        if (decl.fileName.compare(fileName, Qt::CaseInsensitive) == 0)
            return decl;
    qFatal("no declaration for %s", qPrintable(fileName));
}

std::unique_ptr<Table> load(const QString &dir, const TableDecl &decl)
{
    auto table = std::make_unique<Table>(decl.fileName);
    table->Declare(decl);
    table->LoadFromFile(QDir(dir).filePath(decl.fileName));
    return table;
}

std::unique_ptr<Table> load(const QString &dir, const QString &fileName)
{
    return load(dir, declOf(fileName));
}

int countWhere(Table &table, const QString &filter)
{
    table.SetFilter(filter);
    table.SetFiltered(true);
    return table.RecordCount();
}

QString text(Table &table, const char *field)
{
    return table.FieldByName(QLatin1String(field))->AsString();
}

double number(Table &table, const char *field)
{
    return kiv::StrToFloat(text(table, field));
}

} // namespace

class TestDemoData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void everyDeclaredFileExistsAndLoads_data();
    void everyDeclaredFileExistsAndLoads();
    void numericTextsFollowTheWindowsFormats_data();
    void numericTextsFollowTheWindowsFormats();
    void keysAndDateTextsFollowTheShortDateFormat_data();
    void keysAndDateTextsFollowTheShortDateFormat();

    void operatorsOfBothBranchesInBranchOrder();
    void demoLoginsMatchTheStoredPasswords();
    void productCodesAreShapedByTheMask();
    void referencedProductsExist_data();
    void referencedProductsExist();

    void windowsFindTheirData_data();
    void windowsFindTheirData();
    void plannedWithdrawalsAroundTodayForEveryService();
    void supplyAuthorisationsHaveItemsAndAKnownSupplier();
    void requestDatesHaveRows();
    void headcountsMatchTheirServicesAndBreakdown();
    void documentsAddUp_data();
    void documentsAddUp();

    void largePrevRetiHasTheRequestedRows_data();
    void largePrevRetiHasTheRequestedRows();
    void writeTableStoresEachKindOfValue_data();
    void writeTableStoresEachKindOfValue();
    void writeTableRefusesABadFixture_data();
    void writeTableRefusesABadFixture();
    void unwritableDirectoryIsReported();

private:
    void addLocaleRows();
    QString demoDir(QChar separator) const { return m_dirs[separator]->path(); }

    QHash<QChar, std::shared_ptr<QTemporaryDir>> m_dirs;
};

void TestDemoData::initTestCase()
{
    for (QChar separator : {QChar(u','), QChar(u'.')}) {
        useLocale(separator);
        auto dir = std::make_shared<QTemporaryDir>();
        QVERIFY(dir->isValid());
        // Written into a directory that does not exist yet.
        kiv::DemoData::writeDemoDirectory(dir->filePath(QStringLiteral("dados")), kToday);
        m_dirs.insert(separator, dir);
    }
}

void TestDemoData::cleanupTestCase()
{
    kiv::LocaleService::resetToSystem();
}

void TestDemoData::addLocaleRows()
{
    QTest::addColumn<QChar>("separator");
    QTest::newRow("comma, dd/MM/yyyy") << QChar(u',');
    QTest::newRow("point, MM/dd/yyyy") << QChar(u'.');
}

void TestDemoData::everyDeclaredFileExistsAndLoads_data()
{
    addLocaleRows();
}

void TestDemoData::everyDeclaredFileExistsAndLoads()
{
    QFETCH(QChar, separator);
    useLocale(separator);
    const QString dir = QDir(demoDir(separator)).filePath(QStringLiteral("dados"));
    const QSet<QString> recorded = [] {
        QSet<QString> names;
        for (const TableDecl &decl : kiv::RecordedTables::all())
            names.insert(decl.fileName);
        return names;
    }();
    for (const TableDecl &decl : declaredFiles()) {
        QVERIFY2(QFile::exists(QDir(dir).filePath(decl.fileName)), qPrintable(decl.fileName));
        try {
            auto table = load(dir, decl);
            // The central system exports every reference file with content.
            if (!recorded.contains(decl.fileName))
                QVERIFY2(!table->IsEmpty(), qPrintable(decl.fileName));
        } catch (const kiv::KivError &error) {
            QFAIL(error.what());
        }
    }
    // Each reader spells and declares the products its own way.
    for (auto reader : {kiv::RefTables::ProductReader::Entries,
                        kiv::RefTables::ProductReader::Exits,
                        kiv::RefTables::ProductReader::Inventory,
                        kiv::RefTables::ProductReader::PurchaseRequests,
                        kiv::RefTables::ProductReader::Withdrawals}) {
        auto products = load(dir, kiv::RefTables::produto(reader));
        QVERIFY(products->RecordCount() >= 20);
    }
    QCOMPARE(QDir(dir).entryList(QDir::Files).size(), qsizetype(declaredFiles().size()));
}

void TestDemoData::numericTextsFollowTheWindowsFormats_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("pattern");
    // The planned purchase requests are left out: their first dates come as
    // the central system exports them, for the purchase window to bring to
    // form (its tests open the demonstration directory).
    const QList<QStringList> cases = {
        {"PREVRETI.cds", "QTPREVRETI", "##0.00000"}, {"PREVRETI.cds", "QTCONSRETI", "##0.00000"},
        {"ITEMENTR.cds", "QTITEMPROD", "##0.000"},   {"ITEMENTR.cds", "VRUNITITEM", "##0.00000"},
        {"LANCENTR.cds", "VRNOTAFISC", "##0.00000"}, {"VENCENTR.cds", "VRVENCENTR", "##0.00000"},
        {"ITEMSAID.cds", "QTITEMPROD", "##0.000"},   {"ITEMSAID.cds", "VRUNITITEM", "##0.00000"},
        {"LANCSAID.cds", "VRNOTAFISC", "##0.00000"}, {"VENCSAID.cds", "VRVENCSAID", "##0.00000"},
        {"NUMAF.cds", "VRTOTALAF", "##0.00"},        {"ITEMAF.cds", "VRPREUNIAF", "##0.00"},
        {"ITEMAF.cds", "QTPENTAF", "##0.000"},       {"INVENTARIO.cds", "QUANTPROD", "###0.000"},
    };
    for (QChar separator : {QChar(u','), QChar(u'.')})
        for (const QStringList &c : cases)
            QTest::addRow("%s %s %c", qPrintable(c[0]), qPrintable(c[1]), separator.toLatin1())
                << separator << c[0] << c[1] << c[2];
}

void TestDemoData::numericTextsFollowTheWindowsFormats()
{
    QFETCH(QChar, separator);
    QFETCH(QString, file);
    QFETCH(QString, field);
    QFETCH(QString, pattern);
    useLocale(separator);
    auto table = load(QDir(demoDir(separator)).filePath(QStringLiteral("dados")), file);
    QVERIFY(!table->IsEmpty());
    const QChar other = separator == u',' ? u'.' : u',';
    for (table->First(); !table->Eof(); table->Next()) {
        const QString value = table->FieldByName(field)->AsString();
        QVERIFY2(!value.contains(other), qPrintable(value));
        double read = 0;
        QVERIFY2(kiv::TryStrToFloat(value, read), qPrintable(value));
        QCOMPARE(value, kiv::FormatFloat(pattern, read));
    }
}

void TestDemoData::keysAndDateTextsFollowTheShortDateFormat_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("parts");
    const QList<QStringList> cases = {
        {"PREVRETI.cds", "FILSERPRDT", "CDFILIAL", "CDSERVFILI", "CDPRODUTO", "DTPREVRETI"},
        {"SOLICOMP.cds", "FILSOLPRDT", "CDFILISOLI", "NRSOLICMP", "CDPRODUTO", "DTPROGENTR"},
        {"EFETCLIE.cds", "FILTPCSEDT", "CDFILIAL", "CDTIPOCARD", "CDSERVFILI", "DTPROGENTR"},
        {"SERVCLIE.cds", "FILTPCSERV", "CDFILIAL", "CDTIPOCARD", "CDSERVFILI"},
        {"NUMAF.cds", "STDTPENTAF", "DTPENTAF"},
        {"DATASOLI.cds", "STDATASOLI", "DTPROGENTR"},
        {"VENCENTR.cds", "STDTVCENTR", "DTVENCENTR"},
    };
    for (QChar separator : {QChar(u','), QChar(u'.')})
        for (const QStringList &c : cases)
            QTest::addRow("%s %s %c", qPrintable(c[0]), qPrintable(c[1]), separator.toLatin1())
                << separator << c[0] << c[1] << c.mid(2);
}

void TestDemoData::keysAndDateTextsFollowTheShortDateFormat()
{
    QFETCH(QChar, separator);
    QFETCH(QString, file);
    QFETCH(QString, field);
    QFETCH(QStringList, parts);
    useLocale(separator);
    auto table = load(QDir(demoDir(separator)).filePath(QStringLiteral("dados")), file);
    QVERIFY(!table->IsEmpty());
    for (table->First(); !table->Eof(); table->Next()) {
        QString expected;
        for (const QString &part : parts) {
            kiv::Field *f = table->FieldByName(part);
            const bool isDate = f->DataType() == kiv::FieldKind::Date
                                || f->DataType() == kiv::FieldKind::DateTime;
            expected += isDate ? kiv::LocaleService::dateToText(f->AsDate()) : f->AsString();
        }
        QCOMPARE(table->FieldByName(field)->AsString(), expected);
    }
}

void TestDemoData::operatorsOfBothBranchesInBranchOrder()
{
    useLocale(u',');
    auto operators = load(QDir(demoDir(u',')).filePath(QStringLiteral("dados")),
                          kiv::RecordedTables::dadosKipc());
    QStringList runs;  // the branches in the order their runs of rows start
    QHash<QString, int> perBranch;
    for (operators->First(); !operators->Eof(); operators->Next()) {
        const QString branch = text(*operators, "CDFILIAL");
        if (runs.isEmpty() || runs.last() != branch)
            runs.append(branch);
        ++perBranch[branch];
        QCOMPARE(text(*operators, "PRODMASK"), QStringLiteral("99.99.999;1;_"));
        QCOMPARE(text(*operators, "CDOPERADOR").size(), 12);
        QVERIFY(!text(*operators, "NMFILIAL").isEmpty());
    }
    // One run per branch, ascending: the login's branch list relies on it.
    QCOMPARE(runs, QStringList({"0001", "0002"}));
    QVERIFY(perBranch.value("0001") >= 2);
    QVERIFY(perBranch.value("0002") >= 2);
}

void TestDemoData::demoLoginsMatchTheStoredPasswords()
{
    useLocale(u',');
    auto operators = load(QDir(demoDir(u',')).filePath(QStringLiteral("dados")),
                          kiv::RecordedTables::dadosKipc());
    const QList<kiv::DemoData::DemoLogin> logins = kiv::DemoData::demoLogins();
    QSet<QString> branches;
    for (const kiv::DemoData::DemoLogin &login : logins) {
        branches.insert(login.branch);
        QVERIFY(!login.password.isEmpty());
        // The login's own password check, filter text included.
        const QString filter = QStringLiteral("CDFILIAL =") + kiv::QuotedStr(login.branch)
                               + QStringLiteral(" AND CDOPERADOR =")
                               + kiv::QuotedStr(login.operatorCode)
                               + QStringLiteral(" AND CDSENHAOPE =")
                               + kiv::QuotedStr(kiv::CriptoPlus(login.password));
        QVERIFY2(countWhere(*operators, filter) == 1, qPrintable(filter));
        QCOMPARE(kiv::UncriptoPlus(text(*operators, "CDSENHAOPE")), login.password);
        const QString wrong = QStringLiteral("CDFILIAL =") + kiv::QuotedStr(login.branch)
                              + QStringLiteral(" AND CDOPERADOR =")
                              + kiv::QuotedStr(login.operatorCode)
                              + QStringLiteral(" AND CDSENHAOPE =")
                              + kiv::QuotedStr(kiv::CriptoPlus(login.password + u'x'));
        QCOMPARE(countWhere(*operators, wrong), 0);
    }
    QCOMPARE(branches, QSet<QString>({"0001", "0002"}));
    operators->SetFiltered(false);
    QCOMPARE(operators->RecordCount(), int(logins.size()));
}

void TestDemoData::productCodesAreShapedByTheMask()
{
    useLocale(u',');
    auto products = load(QDir(demoDir(u',')).filePath(QStringLiteral("dados")),
                         QStringLiteral("PRODUTO.CDS"));
    static const QRegularExpression shape(QStringLiteral("^\\d{2}\\.\\d{2}\\.\\d{3}$"));
    const QSet<QString> units = {"KG", "L", "UN", "PCT", "CX", "DZ"};
    QSet<QString> codes;
    QSet<QString> internal;
    QSet<QString> unitsUsed;
    for (products->First(); !products->Eof(); products->Next()) {
        const QString code = text(*products, "CDARVPROD");
        QVERIFY2(shape.match(code).hasMatch(), qPrintable(code));
        QVERIFY2(!codes.contains(code), qPrintable(code));
        codes.insert(code);
        internal.insert(text(*products, "CDPRODUTO"));
        unitsUsed.insert(text(*products, "SGUNIDADE"));
    }
    QVERIFY(codes.size() >= 20 && codes.size() <= 40);
    QCOMPARE(internal.size(), codes.size());
    QCOMPARE(unitsUsed, units);
}

void TestDemoData::referencedProductsExist_data()
{
    QTest::addColumn<QString>("file");
    for (const char *file : {"PREVRETI.cds", "SOLICOMP.cds", "ITEMAF.cds", "ITEMINVENT.cds",
                             "ITEMENTR.cds", "ITEMSAID.cds", "INVENTARIO.cds"})
        QTest::newRow(file) << QString::fromLatin1(file);
}

void TestDemoData::referencedProductsExist()
{
    QFETCH(QString, file);
    useLocale(u',');
    const QString dir = QDir(demoDir(u',')).filePath(QStringLiteral("dados"));
    auto products = load(dir, QStringLiteral("PRODUTO.CDS"));
    auto rows = load(dir, file);
    QVERIFY(!rows->IsEmpty());
    for (rows->First(); !rows->Eof(); rows->Next()) {
        const QString code = text(*rows, "CDARVPROD");
        QVERIFY2(products->Locate(QStringLiteral("CDARVPROD"), code), qPrintable(code));
        QCOMPARE(text(*rows, "CDPRODUTO"), text(*products, "CDPRODUTO"));
        QCOMPARE(text(*rows, "NMPRODUTO"), text(*products, "NMPRODUTO"));
        QCOMPARE(text(*rows, "SGUNIDADE"), text(*products, "SGUNIDADE"));
    }
}

void TestDemoData::windowsFindTheirData_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("filter");
    for (const char *kind : {"E", "S"}) {
        for (const char *origin : {"F", "C", "L"})
            QTest::addRow("%s operation with origin %s", kind, origin)
                << "TIPOOPER.cds"
                << QStringLiteral("IDENTTIPOP = '%1' AND IDENTORIOP = '%2'").arg(kind, origin);
        for (const char *due : {"S", "N"})
            QTest::addRow("%s operation with due dates %s", kind, due)
                << "TIPOOPER.cds"
                << QStringLiteral("IDENTTIPOP = '%1' AND IDUTILVENC = '%2'").arg(kind, due);
    }
    QTest::newRow("purchase from a supplier, the authorisation import")
        << "TIPOOPER.cds" << "IDENTTIPOP = 'E' AND CDTIPOOPER ='01' AND IDENTORIOP = 'F'";
    QTest::newRow("entry series") << "SERIE.cds" << "IDLANCMTO ='E'";
    QTest::newRow("entries of branch 0001") << "LANCENTR.cds" << "CDFILIAL = '0001'";
    QTest::newRow("exits of branch 0001") << "LANCSAID.cds" << "CDFILIAL = '0001'";
    QTest::newRow("product blocked without authorisation")
        << "EXPFILIAL.cds" << "CDFILIAL = '0001' AND IDBLOQNFSAF = 'S'";
    QTest::newRow("authorisations for branch 0001") << "NUMAF.cds" << "CDFILDEST = '0001'";
    QTest::newRow("request dates of branch 0001") << "DATASOLI.cds" << "CDFILSOLI = '0001'";
    QTest::newRow("request numbers of branch 0001") << "SOLICITA.cds" << "CDFILSOLI = '0001'";
    QTest::newRow("justifications") << "JustSoli.cds" << "";
    QTest::newRow("menu types of branch 0001") << "TIPOCARD.cds" << "CDFILIAL = '0001'";
    QTest::newRow("menu types of branch 0002") << "TIPOCARD.cds" << "CDFILIAL = '0002'";
    QTest::newRow("services of branch 0002") << "SERVICO.cds" << "CDFILIAL = '0002'";
    QTest::newRow("service clients of branch 0001") << "SERVCLIE.cds" << "CDFILIAL = '0001'";
    QTest::newRow("withdrawal types") << "TIPORETI.cds" << "";
    QTest::newRow("count list of branch 0001") << "ITEMINVENT.cds" << "CDFILIAL = 0001";
    QTest::newRow("count list of branch 0002") << "ITEMINVENT.cds" << "CDFILIAL = 0002";
    QTest::newRow("withdrawals of branch 0002") << "PREVRETI.cds" << "CDFILIAL = '0002'";
}

void TestDemoData::windowsFindTheirData()
{
    QFETCH(QString, file);
    QFETCH(QString, filter);
    useLocale(u',');
    auto table = load(QDir(demoDir(u',')).filePath(QStringLiteral("dados")), file);
    QVERIFY2(countWhere(*table, filter) > 0, qPrintable(filter));
}

void TestDemoData::plannedWithdrawalsAroundTodayForEveryService()
{
    for (QChar separator : {QChar(u','), QChar(u'.')}) {
        useLocale(separator);
        const QString dir = QDir(demoDir(separator)).filePath(QStringLiteral("dados"));
        auto services = load(dir, QStringLiteral("SERVICO.cds"));
        auto withdrawals = load(dir, QStringLiteral("PREVRETI.cds"));
        QVERIFY(countWhere(*services, QStringLiteral("CDFILIAL = '0001'")) >= 2);
        for (services->First(); !services->Eof(); services->Next()) {
            for (int day = -5; day <= 5; ++day) {
                // The withdrawal window's own selection of a service's rows.
                const QString filter =
                    QStringLiteral("CDFILIAL = ") + kiv::QuotedStr(QStringLiteral("0001"))
                    + QStringLiteral(" AND DTPREVRETI = ")
                    + kiv::QuotedStr(kiv::LocaleService::dateToText(kToday.addDays(day)))
                    + QStringLiteral(" AND CDSERVFILI = ")
                    + kiv::QuotedStr(text(*services, "CDSERVFILI"));
                QVERIFY2(countWhere(*withdrawals, filter) > 0, qPrintable(filter));
            }
        }
        // Days past carry a consumption and its type, days ahead none yet.
        QVERIFY(countWhere(*withdrawals,
                           QStringLiteral("CDFILIAL = '0001' AND DTPREVRETI = ")
                               + kiv::QuotedStr(kiv::LocaleService::dateToText(
                                   kToday.addDays(-1)))
                               + QStringLiteral(" AND CDTIPORETI = '01'"))
                > 0);
        QCOMPARE(countWhere(*withdrawals,
                            QStringLiteral("CDFILIAL = '0001' AND DTPREVRETI = ")
                                + kiv::QuotedStr(kiv::LocaleService::dateToText(
                                    kToday.addDays(1)))
                                + QStringLiteral(" AND CDTIPORETI = '01'")),
                 0);
        // A consumed day beyond the ten days around today, for the
        // withdrawal window's date lookup.
        QVERIFY(countWhere(*withdrawals,
                           QStringLiteral("CDFILIAL = '0001' AND DTPREVRETI = ")
                               + kiv::QuotedStr(kiv::LocaleService::dateToText(
                                   kToday.addDays(-21)))
                               + QStringLiteral(" AND CDTIPORETI = '01'"))
                > 0);
    }
}

void TestDemoData::supplyAuthorisationsHaveItemsAndAKnownSupplier()
{
    useLocale(u',');
    const QString dir = QDir(demoDir(u',')).filePath(QStringLiteral("dados"));
    auto authorisations = load(dir, QStringLiteral("NUMAF.cds"));
    auto items = load(dir, QStringLiteral("ITEMAF.cds"));
    auto suppliers = load(dir, QStringLiteral("FORNECED.cds"));
    QVERIFY(countWhere(*authorisations, QStringLiteral("CDFILDEST = '0001'")) > 0);
    for (authorisations->First(); !authorisations->Eof(); authorisations->Next()) {
        QVERIFY(suppliers->Locate(QStringLiteral("CDFORNECED"),
                                  text(*authorisations, "CDFORNECED")));
        // The import's selection of an authorisation's items, written as it
        // writes it: code and number without quotes.
        const QString filter =
            QStringLiteral("CDFILDEST = 0001 AND NRAUTOFORN = ")
            + text(*authorisations, "NRAUTOFORN") + QStringLiteral(" AND DTPENTAF = ")
            + kiv::QuotedStr(kiv::LocaleService::dateTimeToText(
                authorisations->FieldByName(QStringLiteral("DTPENTAF"))->AsDateTime()));
        QVERIFY2(countWhere(*items, filter) > 0, qPrintable(filter));
        double sum = 0;
        for (items->First(); !items->Eof(); items->Next())
            sum += kiv::ConverteValor(text(*items, "QTPENTAF"))
                   * kiv::ConverteValor(text(*items, "VRPREUNIAF"));
        QCOMPARE(sum, kiv::ConverteValor(text(*authorisations, "VRTOTALAF")));
    }
}

void TestDemoData::requestDatesHaveRows()
{
    for (QChar separator : {QChar(u','), QChar(u'.')}) {
        useLocale(separator);
        const QString dir = QDir(demoDir(separator)).filePath(QStringLiteral("dados"));
        auto dates = load(dir, QStringLiteral("DATASOLI.cds"));
        auto rows = load(dir, QStringLiteral("SOLICOMP.cds"));
        QVERIFY(countWhere(*dates, QStringLiteral("CDFILSOLI = '0001'")) >= 2);
        for (dates->First(); !dates->Eof(); dates->Next()) {
            // The purchase window's selection, "and" glued to the quote.
            const QString filter =
                QStringLiteral("CDFILISOLI = '") + text(*dates, "CDFILSOLI")
                + QStringLiteral("'and DTPROGENTR = ")
                + kiv::QuotedStr(kiv::LocaleService::dateTimeToText(
                    dates->FieldByName(QStringLiteral("DTPROGENTR"))->AsDateTime()));
            QVERIFY2(countWhere(*rows, filter) > 0, qPrintable(filter));
        }
    }
}

void TestDemoData::headcountsMatchTheirServicesAndBreakdown()
{
    useLocale(u',');
    const QString dir = QDir(demoDir(u',')).filePath(QStringLiteral("dados"));
    auto services = load(dir, QStringLiteral("SERVICO.cds"));
    auto headcounts = load(dir, QStringLiteral("EFETIVOS.cds"));
    auto breakdown = load(dir, QStringLiteral("EFETCLIE.cds"));
    auto clients = load(dir, QStringLiteral("SERVCLIE.cds"));
    int broken = 0;
    QStringList withoutClients;
    for (services->First(); !services->Eof(); services->Next()) {
        const QString branch = text(*services, "CDFILIAL");
        const QString service = text(*services, "CDSERVFILI");
        const QString menuType = text(*services, "CDTIPOCARD");
        QCOMPARE(menuType.size(), 10);
        if (countWhere(*clients, QStringLiteral("CDFILIAL = '%1' AND CDTIPOCARD = '%2' AND "
                                                "CDSERVFILI = '%3'")
                                     .arg(branch, menuType, service))
            == 0)
            withoutClients << branch + u'/' + service;
        for (int day = -3; day <= 0; ++day) {
            const QDateTime when(kToday.addDays(day), QTime(0, 0), Qt::UTC);
            const QString key = QStringLiteral("CDFILIAL; DTEFETIVO; CDSERVFILI; CDTIPOCARD");
            QVERIFY(headcounts->Locate(key, QVariantList{branch, when, service, menuType}));
            // The breakdown, where there is one, adds up to the headcount:
            // the window refuses a headcount that differs from it.
            const int rows = countWhere(
                *breakdown, QStringLiteral("CDFILIAL = '%1' AND CDTIPOCARD = '%2' AND "
                                           "CDSERVFILI = '%3' AND DTPROGENTR = '%4'")
                                .arg(branch, menuType, service,
                                     kiv::LocaleService::dateToText(when.date())));
            if (rows == 0)
                continue;
            ++broken;
            for (const char *field : {"QTCLIENTE", "QTFUNC", "QTDOACAO"}) {
                double sum = 0;
                for (breakdown->First(); !breakdown->Eof(); breakdown->Next())
                    sum += kiv::ConverteValorSemZero(text(*breakdown, field));
                QCOMPARE(sum, kiv::ConverteValorSemZero(text(*headcounts, field)));
            }
        }
    }
    QVERIFY(broken > 0);
    // One service of the pilot kitchen has no clients listed: its
    // breakdown page stays empty.
    QCOMPARE(withoutClients, QStringList{QStringLiteral("0001/00004")});

    // Headcounts of a service SERVICO.cds does not hold, on several days.
    QSet<QString> days;
    bool unlisted = false;
    bool point = false;
    bool comma = false;
    headcounts->SetFiltered(false);
    for (headcounts->First(); !headcounts->Eof(); headcounts->Next()) {
        days.insert(text(*headcounts, "DTEFETIVO"));
        if (!services->Locate(QStringLiteral("CDFILIAL;CDSERVFILI"),
                              QVariantList{text(*headcounts, "CDFILIAL"),
                                           text(*headcounts, "CDSERVFILI")}))
            unlisted = true;
        const QString donations = text(*headcounts, "QTDOACAO");
        point = point || donations.contains(u'.');
        comma = comma || donations.contains(u',');
    }
    QVERIFY(unlisted);
    QVERIFY(days.size() >= 3);
    // Quantities written with either decimal mark, as exports differ.
    QVERIFY(point);
    QVERIFY(comma);

    // The first record of the file, in the window's order, is of a branch
    // that answers to another central branch than the pilot kitchen.
    headcounts->First();
    QCOMPARE(text(*headcounts, "CDFILIAL"), QStringLiteral("0002"));
    const QString firstCentral = text(*headcounts, "CDFILCENT");
    QVERIFY(countWhere(*headcounts, QStringLiteral("CDFILIAL = '0001'")) > 0);
    headcounts->First();
    QVERIFY(text(*headcounts, "CDFILCENT") != firstCentral);

    // Two menu types in the pilot kitchen.
    auto menuTypes = load(dir, QStringLiteral("TIPOCARD.cds"));
    QVERIFY(countWhere(*menuTypes, QStringLiteral("CDFILIAL = '0001'")) >= 2);
}

void TestDemoData::documentsAddUp_data()
{
    QTest::addColumn<QString>("headers");
    QTest::addColumn<QString>("items");
    QTest::addColumn<QString>("dues");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("dueValue");
    QTest::newRow("entries") << "LANCENTR.cds" << "ITEMENTR.cds" << "VENCENTR.cds"
                             << "NRLANCNFE" << "VRVENCENTR";
    QTest::newRow("exits") << "LANCSAID.cds" << "ITEMSAID.cds" << "VENCSAID.cds"
                           << "NRLANCNFS" << "VRVENCSAID";
}

void TestDemoData::documentsAddUp()
{
    QFETCH(QString, headers);
    QFETCH(QString, items);
    QFETCH(QString, dues);
    QFETCH(QString, key);
    QFETCH(QString, dueValue);
    useLocale(u',');
    const QString dir = QDir(demoDir(u',')).filePath(QStringLiteral("dados"));
    auto header = load(dir, headers);
    auto item = load(dir, items);
    auto due = load(dir, dues);
    QVERIFY(!header->IsEmpty());
    bool someWithDueDates = false;
    for (header->First(); !header->Eof(); header->Next()) {
        const QString document = header->FieldByName(key)->AsString();
        const double total = number(*header, "VRNOTAFISC");
        QVERIFY(countWhere(*item, key + QStringLiteral(" ='") + document + u'\'') > 0);
        double sum = 0;
        for (item->First(); !item->Eof(); item->Next())
            sum += number(*item, "QTITEMPROD") * number(*item, "VRUNITITEM");
        QCOMPARE(sum, total);
        const int dueRows = countWhere(*due, key + QStringLiteral(" ='") + document + u'\'');
        QCOMPARE(dueRows > 0, text(*header, "IDUTILVENC") == QLatin1String("S"));
        if (dueRows == 0)
            continue;
        someWithDueDates = true;
        double dueSum = 0;
        for (due->First(); !due->Eof(); due->Next())
            dueSum += kiv::StrToFloat(due->FieldByName(dueValue)->AsString());
        QCOMPARE(dueSum, total);
    }
    QVERIFY(someWithDueDates);
}

void TestDemoData::largePrevRetiHasTheRequestedRows_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<int>("rows");
    QTest::newRow("none") << QChar(u',') << 0;
    QTest::newRow("one") << QChar(u',') << 1;
    QTest::newRow("5000, comma") << QChar(u',') << 5000;
    QTest::newRow("5000, point") << QChar(u'.') << 5000;
}

void TestDemoData::largePrevRetiHasTheRequestedRows()
{
    QFETCH(QChar, separator);
    QFETCH(int, rows);
    useLocale(separator);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("PREVRETI.cds"));
    kiv::DemoData::writeLargePrevReti(path, rows, kToday);
    auto table = load(dir.path(), kiv::RecordedTables::prevReti());
    QCOMPARE(table->RecordCount(), rows);
    if (rows == 0)
        return;

    QSet<QString> branches, services, products;
    QSet<QDate> dates;
    for (table->First(); !table->Eof(); table->Next()) {
        branches.insert(text(*table, "CDFILIAL"));
        services.insert(text(*table, "CDSERVFILI"));
        products.insert(text(*table, "CDARVPROD"));
        const QDate date = table->FieldByName(QStringLiteral("DTPREVRETI"))->AsDate();
        dates.insert(date);
        QCOMPARE(text(*table, "FILSERPRDT"),
                 text(*table, "CDFILIAL") + text(*table, "CDSERVFILI") + text(*table, "CDPRODUTO")
                     + kiv::LocaleService::dateToText(date));
        for (const char *field : {"QTPREVRETI", "QTCONSRETI"})
            QCOMPARE(text(*table, field),
                     kiv::FormatFloat(QStringLiteral("##0.00000"), number(*table, field)));
        QVERIFY(!text(*table, "NMPRODUTO").isEmpty());
    }
    QVERIFY(dates.contains(kToday));
    if (rows >= 5000) {
        QVERIFY(branches.size() > 1);
        QVERIFY(services.size() > 1);
        QVERIFY(products.size() >= 20);
        QVERIFY(dates.size() > 1);
    }
}

void TestDemoData::writeTableStoresEachKindOfValue_data()
{
    addLocaleRows();
}

void TestDemoData::writeTableStoresEachKindOfValue()
{
    QFETCH(QChar, separator);
    useLocale(separator);
    const TableDecl decl{QStringLiteral("AMOSTRA.cds"),
                         {kiv::FieldDef::text(QStringLiteral("NOME"), 10),
                          kiv::FieldDef::text(QStringLiteral("QTDE"), 10),
                          kiv::FieldDef::of(QStringLiteral("PESO"), kiv::FieldKind::Float),
                          kiv::FieldDef::of(QStringLiteral("DIA"), kiv::FieldKind::Date),
                          kiv::FieldDef::of(QStringLiteral("HORA"), kiv::FieldKind::DateTime)},
                         {}};
    const QDateTime when(QDate(2024, 2, 29), QTime(10, 20, 30), Qt::UTC);
    QTemporaryDir dir;
    const QString path = dir.filePath(decl.fileName);
    kiv::DemoData::writeTable(path, decl,
                              {{{"NOME", QStringLiteral("Feijão")},
                                {"QTDE", 2.5},
                                {"PESO", 1234.5},
                                {"DIA", QDate(2024, 2, 29)},
                                {"HORA", when}},
                               {{"NOME", QStringLiteral("Arroz")}}});
    auto table = load(dir.path(), decl);
    QCOMPARE(table->RecordCount(), 2);
    table->First();
    QCOMPARE(text(*table, "NOME"), QStringLiteral("Feijão"));
    QCOMPARE(text(*table, "QTDE"), QStringLiteral("2") + separator + QStringLiteral("5"));
    QCOMPARE(table->FieldByName(QStringLiteral("PESO"))->AsFloat(), 1234.5);
    QCOMPARE(table->FieldByName(QStringLiteral("DIA"))->AsDate(), QDate(2024, 2, 29));
    QCOMPARE(table->FieldByName(QStringLiteral("HORA"))->AsDateTime(), when);
    table->Next();
    QCOMPARE(text(*table, "NOME"), QStringLiteral("Arroz"));
    QVERIFY(table->FieldByName(QStringLiteral("DIA"))->IsNull());
}

void TestDemoData::writeTableRefusesABadFixture_data()
{
    QTest::addColumn<QVariantMap>("row");
    QTest::newRow("field not declared") << QVariantMap{{"NOME", "Sal"}, {"PRECO", "1,50"}};
    QTest::newRow("text longer than its field")
        << QVariantMap{{"NOME", QStringLiteral("Macarrão espaguete")}};
    QTest::newRow("number longer than its field") << QVariantMap{{"QTDE", 1234.56789}};
}

void TestDemoData::writeTableRefusesABadFixture()
{
    QFETCH(QVariantMap, row);
    useLocale(u',');
    const TableDecl decl{QStringLiteral("AMOSTRA.cds"),
                         {kiv::FieldDef::text(QStringLiteral("NOME"), 10),
                          kiv::FieldDef::text(QStringLiteral("QTDE"), 5)},
                         {}};
    QTemporaryDir dir;
    const QString path = dir.filePath(decl.fileName);
    QVERIFY_THROWS_EXCEPTION(kiv::EDatabaseError,
                             kiv::DemoData::writeTable(path, decl, {{{"NOME", "Sal"}}, row}));
    QVERIFY(!QFile::exists(path));
}

void TestDemoData::unwritableDirectoryIsReported()
{
    QTemporaryDir dir;
    const QString blocker = dir.filePath(QStringLiteral("arquivo"));
    QFile file(blocker);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    try {
        kiv::DemoData::writeDemoDirectory(blocker + QStringLiteral("/dados"), kToday);
        QFAIL("no error for a directory under a file");
    } catch (const kiv::EDatabaseError &error) {
        QVERIFY2(error.message().contains(QStringLiteral("dados")), error.what());
    }
}

QTEST_GUILESS_MAIN(TestDemoData)
#include "tst_demodata.moc"
