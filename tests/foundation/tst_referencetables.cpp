#include "errors.h"
#include "localeservice.h"
#include "referencetables.h"
#include "table.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kiv;

Q_DECLARE_METATYPE(kiv::RefTables::ProductReader)

namespace {

using RefTables::ProductReader;

// A product file as the central system exports it; fields replaces the
// standard FIELD list when given.
QByteArray productFile(const QByteArray &fields = {})
{
    const QByteArray standard =
        "<FIELD attrname=\"CDPRODUTO\" fieldtype=\"string\" WIDTH=\"10\"/>\n"
        "<FIELD attrname=\"CDARVPROD\" fieldtype=\"string\" WIDTH=\"20\"/>\n"
        "<FIELD attrname=\"CDPSQPROD\" fieldtype=\"string\" WIDTH=\"20\"/>\n"
        "<FIELD attrname=\"NMPRODUTO\" fieldtype=\"string\" WIDTH=\"50\"/>\n"
        "<FIELD attrname=\"SGUNIDADE\" fieldtype=\"string\" WIDTH=\"10\"/>\n";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
           "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>\n"
           + (fields.isEmpty() ? standard : fields)
           + "</FIELDS><PARAMS/></METADATA><ROWDATA>\n"
             "<ROW CDPRODUTO=\"0000000002\" CDARVPROD=\"01.02.002\" CDPSQPROD=\"2\" "
             "NMPRODUTO=\"FEIJÃO CARIOCA\" SGUNIDADE=\"KG\"/>\n"
             "<ROW CDPRODUTO=\"0000000001\" CDARVPROD=\"01.01.001\" CDPSQPROD=\"1\" "
             "NMPRODUTO=\"ARROZ TIPO 1\" SGUNIDADE=\"KG\"/>\n"
             "</ROWDATA></DATAPACKET>\n";
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

} // namespace

class TstReferenceTables : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void productFileLoadsForEveryReader_data();
    void productFileLoadsForEveryReader();
    void productFileRefused_data();
    void productFileRefused();
    void bothSpellingsNameOneFile();
    void everyDeclarationReadsItsOwnFile();
};

void TstReferenceTables::init()
{
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TstReferenceTables::cleanup()
{
    LocaleService::resetToSystem();
}

void TstReferenceTables::productFileLoadsForEveryReader_data()
{
    QTest::addColumn<ProductReader>("reader");
    QTest::addColumn<QString>("onDisk");

    QTest::newRow("entries") << ProductReader::Entries << "produto.cds";
    QTest::newRow("exits") << ProductReader::Exits << "PRODUTO.cds";
    QTest::newRow("inventory") << ProductReader::Inventory << "Produto.Cds";
    QTest::newRow("purchase requests") << ProductReader::PurchaseRequests << "PRODUTO.CDS";
    QTest::newRow("withdrawals") << ProductReader::Withdrawals << "produto.CDS";
}

void TstReferenceTables::productFileLoadsForEveryReader()
{
    QFETCH(ProductReader, reader);
    QFETCH(QString, onDisk);

    // The central system may export more than the windows read.
    QByteArray bytes = productFile();
    bytes.replace("</FIELDS>",
                  "<FIELD attrname=\"IDATIVO\" fieldtype=\"string\" WIDTH=\"1\"/>\n"
                  "<FIELD attrname=\"QTESTMIN\" fieldtype=\"r8\"/>\n</FIELDS>");
    bytes.replace("SGUNIDADE=\"KG\"/>", "SGUNIDADE=\"KG\" IDATIVO=\"S\" QTESTMIN=\"2.5\"/>");
    QTemporaryDir dir;
    writeFile(dir.filePath(onDisk), bytes);

    const TableDecl decl = RefTables::produto(reader);
    Table table(QStringLiteral("cdsProduto"));
    table.Declare(decl);
    table.LoadFromFile(dir.filePath(decl.fileName));
    QCOMPARE(table.RecordCount(), 2);
    // Browsed in the declared order: by product tree code.
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("ARROZ TIPO 1"));
    QCOMPARE(table.FieldByName("CDPSQPROD")->AsString(), QString("1"));
    QCOMPARE(table.FieldByName("QTESTMIN")->AsFloat(), 2.5);
    QVERIFY(table.Locate("CDPSQPROD", QString("2")));
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("FEIJÃO CARIOCA"));
}

void TstReferenceTables::productFileRefused_data()
{
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<QString>("field");

    const QByteArray cdProduto =
        "<FIELD attrname=\"CDPRODUTO\" fieldtype=\"string\" WIDTH=\"10\"/>\n";
    const QByteArray cdArv = "<FIELD attrname=\"CDARVPROD\" fieldtype=\"string\" WIDTH=\"20\"/>\n";
    const QByteArray cdPsq = "<FIELD attrname=\"CDPSQPROD\" fieldtype=\"string\" WIDTH=\"20\"/>\n";
    const QByteArray nm = "<FIELD attrname=\"NMPRODUTO\" fieldtype=\"string\" WIDTH=\"50\"/>\n";
    const QByteArray unit = "<FIELD attrname=\"SGUNIDADE\" fieldtype=\"string\" WIDTH=\"10\"/>\n";

    QTest::newRow("without CDPSQPROD") << cdProduto + cdArv + nm + unit << "CDPSQPROD";
    QTest::newRow("NMPRODUTO of 40")
        << cdProduto + cdArv + cdPsq
               + "<FIELD attrname=\"NMPRODUTO\" fieldtype=\"string\" WIDTH=\"40\"/>\n" + unit
        << "NMPRODUTO";
    QTest::newRow("NMPRODUTO of 60")
        << cdProduto + cdArv + cdPsq
               + "<FIELD attrname=\"NMPRODUTO\" fieldtype=\"string\" WIDTH=\"60\"/>\n" + unit
        << "NMPRODUTO";
    QTest::newRow("CDPSQPROD a number")
        << cdProduto + cdArv + "<FIELD attrname=\"CDPSQPROD\" fieldtype=\"i4\"/>\n" + nm + unit
        << "CDPSQPROD";
}

void TstReferenceTables::productFileRefused()
{
    QFETCH(QByteArray, fields);
    QFETCH(QString, field);

    QTemporaryDir dir;
    const QString path = dir.filePath("PRODUTO.cds");
    QByteArray bytes = productFile(fields);
    if (field == "CDPSQPROD" && !fields.contains("CDPSQPROD"))
        bytes.replace(" CDPSQPROD=\"2\"", "").replace(" CDPSQPROD=\"1\"", "");
    writeFile(path, bytes);

    for (ProductReader reader : {ProductReader::Entries, ProductReader::Withdrawals}) {
        const TableDecl decl = RefTables::produto(reader);
        Table table;
        table.Declare(decl);
        try {
            table.LoadFromFile(dir.filePath(decl.fileName));
            QFAIL("the product file was accepted");
        } catch (const EDatabaseError &error) {
            QVERIFY2(error.message().contains(QDir::toNativeSeparators(path)),
                     qPrintable(error.message()));
            QVERIFY2(error.message().contains(field), qPrintable(error.message()));
        }
        QCOMPARE(table.State(), DataSetState::Inactive);
    }
}

void TstReferenceTables::bothSpellingsNameOneFile()
{
    const TableDecl stock = RefTables::produto(ProductReader::Entries);
    const TableDecl withdrawals = RefTables::produto(ProductReader::Withdrawals);
    QCOMPARE(stock.fileName.compare(withdrawals.fileName, Qt::CaseInsensitive), 0);

    QTemporaryDir dir;
    writeFile(dir.filePath("PRODUTO.cds"), productFile());
    Table first;
    first.Declare(stock);
    first.LoadFromFile(dir.filePath(stock.fileName));
    Table second;
    second.Declare(withdrawals);
    second.LoadFromFile(dir.filePath(withdrawals.fileName));
    QCOMPARE(first.SavedContent(), second.SavedContent());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList({"PRODUTO.cds"}));
}

// A file written from a declaration (what the demo data and the central
// system produce) loads back into it, and its order names declared fields.
void TstReferenceTables::everyDeclarationReadsItsOwnFile()
{
    QTemporaryDir dir;
    const QList<TableDecl> decls = RefTables::all();
    QVERIFY(!decls.isEmpty());
    QStringList files;
    for (const TableDecl &decl : decls) {
        QVERIFY2(!files.contains(decl.fileName.toUpper()), qPrintable(decl.fileName));
        files << decl.fileName.toUpper();
        Table writer;
        writer.SetFieldDefs(decl.fields);
        writer.CreateDataSet();
        writer.Append();
        for (const FieldDef &field : decl.fields)
            if (field.kind == FieldKind::Text && !field.calculated)
                writer.FieldByName(field.name)->SetAsString(QString(field.size, u'9'));
        writer.Post();
        writer.SaveToFile(dir.filePath(decl.fileName));

        Table reader;
        reader.Declare(decl);
        try {
            reader.LoadFromFile(dir.filePath(decl.fileName));
        } catch (const EDatabaseError &error) {
            QFAIL(qPrintable(error.message()));
        }
        QCOMPARE(reader.RecordCount(), 1);
        QCOMPARE(reader.IndexFieldNames(), decl.indexFieldNames);
        for (const FieldDef &field : decl.fields)
            if (field.kind == FieldKind::Text && !field.calculated)
                QCOMPARE(reader.FieldByName(field.name)->AsString().size(), field.size);
    }
}

QTEST_GUILESS_MAIN(TstReferenceTables)
#include "tst_referencetables.moc"
