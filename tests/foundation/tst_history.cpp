#include "datadircheck.h"
#include "history.h"
#include "localeservice.h"
#include "recordedtables.h"
#include "table.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace kiv;

// The benchmark's directory of years of history: every file opens as the
// windows declare it, the documents hang together (every item and due date
// belongs to a header), and the demonstration documents are still there.
class TstHistory : public QObject
{
    Q_OBJECT

private slots:
    void oneYearOpensAndHangsTogether();
};

void TstHistory::oneYearOpensAndHangsTogether()
{
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    QTemporaryDir dir;
    const QDate today(2026, 3, 10);
    const DemoData::HistorySummary summary = DemoData::writeHistoryDirectory(dir.path(), 1, today);
    QCOMPARE(summary.entryDocuments, 4000);
    QCOMPARE(summary.entryItems, 40000);

    const QList<DataDirProblem> problems = CheckDataDirectory(dir.path());
    for (const DataDirProblem &p : problems)
        qWarning("%s: %s", qPrintable(p.fileName), qPrintable(p.message));
    QVERIFY(problems.isEmpty());

    Table headers;
    headers.Declare(RecordedTables::lancEntr());
    headers.LoadFromFile(dir.filePath("LANCENTR.cds"));
    QSet<QString> numbers;
    for (headers.First(); !headers.Eof(); headers.Next()) {
        const QString number = headers.FieldByName("NRLANCNFE")->AsString();
        QVERIFY2(!numbers.contains(number), qPrintable(number));
        numbers.insert(number);
        QVERIFY(headers.FieldByName("DTENTRADA")->AsDate() < today);
        // A total the window could not store again would stop every
        // confirm of the document.
        const Field *total = headers.FieldByName("VRNOTAFISC");
        QVERIFY2(total->AsString().size() <= total->Size(), qPrintable(total->AsString()));
    }
    // The history, then the three demonstration documents.
    QCOMPARE(numbers.size(), 4003);
    QVERIFY(numbers.contains("1") && numbers.contains("2") && numbers.contains("3"));

    Table items;
    items.Declare(RecordedTables::itemEntr());
    items.LoadFromFile(dir.filePath("ITEMENTR.cds"));
    QCOMPARE(items.RecordCount(), 40000 + 7);
    for (items.First(); !items.Eof(); items.Next())
        QVERIFY(numbers.contains(items.FieldByName("NRLANCNFE")->AsString()));
    // No document holds a product twice: the window refuses it.
    items.SetFilter("NRLANCNFE = '1999'");
    items.SetFiltered(true);
    QSet<QString> products;
    for (items.First(); !items.Eof(); items.Next())
        products.insert(items.FieldByName("CDPRODUTO")->AsString());
    QCOMPARE(products.size(), 10);

    Table dues;
    dues.Declare(RecordedTables::vencEntr());
    dues.LoadFromFile(dir.filePath("VENCENTR.cds"));
    for (dues.First(); !dues.Eof(); dues.Next()) {
        const QString number = dues.FieldByName("NRLANCNFE")->AsString();
        QVERIFY(headers.Locate("NRLANCNFE", number));
        QCOMPARE(headers.FieldByName("IDUTILVENC")->AsString(), QString("S"));
    }
}

QTEST_GUILESS_MAIN(TstHistory)
#include "tst_history.moc"
