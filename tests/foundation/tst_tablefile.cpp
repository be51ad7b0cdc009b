#include "errors.h"
#include "localeservice.h"
#include "table.h"
#include "tablefile.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstring>
#include <limits>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using namespace kiv;

namespace {

const QByteArray header = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                          "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>\n";

// A packet of the given FIELD elements and ROW elements, as we write it.
QByteArray packet(const QByteArray &fields, const QByteArray &rows)
{
    return header + fields + "</FIELDS><PARAMS/></METADATA><ROWDATA>\n" + rows
           + "</ROWDATA></DATAPACKET>\n";
}

// A stock count as the inventory keeps it: one field of every kind.
QList<FieldDef> countFields()
{
    FieldDef fixed = FieldDef::text("CDFILIAL", 4);
    fixed.fixedChar = true;
    return {fixed,
            FieldDef::text("NMPRODUTO", 20),
            FieldDef::of("QTD", FieldKind::Float),
            FieldDef::of("NRSEQ", FieldKind::Integer),
            FieldDef::of("DTCONT", FieldKind::Date),
            FieldDef::of("DTHORA", FieldKind::DateTime)};
}

const QByteArray countFieldElements =
    "<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\" SUBTYPE=\"FixedChar\"/>\n"
    "<FIELD attrname=\"NMPRODUTO\" fieldtype=\"string\" WIDTH=\"20\"/>\n"
    "<FIELD attrname=\"QTD\" fieldtype=\"r8\"/>\n"
    "<FIELD attrname=\"NRSEQ\" fieldtype=\"i4\"/>\n"
    "<FIELD attrname=\"DTCONT\" fieldtype=\"date\"/>\n"
    "<FIELD attrname=\"DTHORA\" fieldtype=\"dateTime\"/>\n";

// Two counts of branch 0001, the content every refused load must leave.
const QByteArray goodCounts = packet(
    countFieldElements,
    "<ROW CDFILIAL=\"0001\" NMPRODUTO=\"Feijão\" QTD=\"2.5\" NRSEQ=\"1\" DTCONT=\"20090310\"/>\n"
    "<ROW CDFILIAL=\"0001\" NMPRODUTO=\"Arroz\" QTD=\"10\" NRSEQ=\"2\"/>\n");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

QStringList names(const Table &table, const QString &field = QStringLiteral("NMPRODUTO"))
{
    QStringList out;
    const int index = table.FieldByName(field)->Index();
    for (int row = 0; row < table.ViewCount(); ++row)
        out << table.TextAt(row, index);
    return out;
}

// Whatever is in the directory besides the expected files: temporaries left
// behind by a save.
QStringList leftovers(const QString &dir, const QStringList &expected)
{
    QStringList out;
    const QStringList entries =
        QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries)
        if (!expected.contains(entry))
            out << entry;
    return out;
}

// Every visible row, every field as the controls show it.
QStringList rowTexts(const Table &table)
{
    QStringList out;
    for (int row = 0; row < table.ViewCount(); ++row) {
        QStringList values;
        for (int field = 0; field < table.FieldCount(); ++field)
            values << table.TextAt(row, field);
        out << values.join(u'|');
    }
    return out;
}

// Where the table's first stored value lives in memory. A load that reads
// the file puts the values in memory of its own; one that takes the content
// again leaves them where they were. Callers hold a copy of the old content,
// so that its memory cannot be handed out again in between.
quintptr valueMemory(const Table &table)
{
    const TableData &data = table.Content();
    return quintptr(data.heap.bytes(data.row(data.stored.front())[0]).data());
}

// Three counts of two branches, by name.
const QByteArray threeCounts = packet(
    countFieldElements,
    "<ROW CDFILIAL=\"0001\" NMPRODUTO=\"Feijão\" QTD=\"2.5\" NRSEQ=\"1\" DTCONT=\"20090310\"/>\n"
    "<ROW CDFILIAL=\"0002\" NMPRODUTO=\"Sal\" QTD=\"1\" NRSEQ=\"3\"/>\n"
    "<ROW CDFILIAL=\"0001\" NMPRODUTO=\"Arroz\" QTD=\"10\" NRSEQ=\"2\"/>\n");

// What a table tells its controls.
struct SignalCounts
{
    explicit SignalCounts(Table *table)
        : state(table, &Table::stateChanged)
        , fields(table, &Table::fieldsChanged)
        , reset(table, &Table::viewReset)
        , current(table, &Table::currentChanged)
    {}
    QList<qsizetype> counts() const
    {
        return {state.count(), fields.count(), reset.count(), current.count()};
    }
    QSignalSpy state, fields, reset, current;
};

QStringList freshRows(const QString &path, const QString &order = QString())
{
    Table fresh;
    fresh.SetFieldDefs(countFields());
    fresh.SetIndexFieldNames(order);
    fresh.LoadFromFile(path);
    return rowTexts(fresh);
}

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

} // namespace

class TstTableFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void valueRoundTrip_data();
    void valueRoundTrip();
    void writtenShape();
    void floatsRoundTripExactly();
    void readsWhatOtherToolsWrite_data();
    void readsWhatOtherToolsWrite();
    void otherFormsWrittenInOurs_data();
    void otherFormsWrittenInOurs();
    void changeLogRowsDropped();
    void refusedFileLeavesTable_data();
    void refusedFileLeavesTable();
    void refusalSaysWhereAndWhat();
    void largeFileReadInHalves_data();
    void largeFileReadInHalves();
    void declarationMismatchRefused_data();
    void declarationMismatchRefused();
    void undeclaredFieldsWrittenBackUnchanged();
    void fileNamesIgnoreCase();
    void missingFileRaises();
    void failedSaveRaisesNamingTheFile();
    void saveIntoReadOnlyDirectory();
    void saveToFilesAllOrNone();
    void writtenInPieces();
    void failingContentLeavesTheSet();
    void savedFilePermissions();
    void reloadOfUnchangedFileKeepsTheContent();
    void reloadAfterAChangeReadsTheFile_data();
    void reloadAfterAChangeReadsTheFile();
    void reloadAfterASaveKeepsTheSavedContent();
};

void TstTableFile::init()
{
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TstTableFile::cleanup()
{
    LocaleService::resetToSystem();
}

void TstTableFile::valueRoundTrip_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("written");  // the attribute as the file holds it

    const QChar comma(u',');
    const QChar point(u'.');
    QTest::newRow("float, comma workstation") << comma << "QTD" << QVariant(2.5) << "QTD=\"2.5\"";
    QTest::newRow("float, point workstation") << point << "QTD" << QVariant(2.5) << "QTD=\"2.5\"";
    QTest::newRow("float shortest") << comma << "QTD" << QVariant(0.1) << "QTD=\"0.1\"";
    QTest::newRow("float sum") << comma << "QTD" << QVariant(0.1 + 0.2)
                               << "QTD=\"0.30000000000000004\"";
    QTest::newRow("float negative") << point << "QTD" << QVariant(-1234.125)
                                    << "QTD=\"-1234.125\"";
    QTest::newRow("float whole") << comma << "QTD" << QVariant(10.0) << "QTD=\"10\"";
    QTest::newRow("float negative zero") << comma << "QTD" << QVariant(-0.0) << "QTD=\"0\"";
    QTest::newRow("float tiny") << comma << "QTD" << QVariant(1e-7) << "QTD=\"1e-07\"";
    QTest::newRow("integer") << comma << "NRSEQ" << QVariant(qint64(-42)) << "NRSEQ=\"-42\"";
    QTest::newRow("date") << comma << "DTCONT" << QVariant(QDate(2026, 12, 10))
                          << "DTCONT=\"20261210\"";
    QTest::newRow("date-time, milliseconds")
        << comma << "DTHORA"
        << QVariant(QDateTime(QDate(2026, 12, 10), QTime(10, 20, 5, 123), Qt::UTC))
        << "DTHORA=\"20261210T10:20:05123\"";
    QTest::newRow("date-time, seconds")
        << comma << "DTHORA" << QVariant(QDateTime(QDate(2026, 1, 2), QTime(23, 59, 59), Qt::UTC))
        << "DTHORA=\"20260102T23:59:59000\"";
    QTest::newRow("date-time, one millisecond")
        << comma << "DTHORA" << QVariant(QDateTime(QDate(2026, 1, 2), QTime(0, 0, 0, 1), Qt::UTC))
        << "DTHORA=\"20260102T00:00:00001\"";
    QTest::newRow("date-time, midnight")
        << comma << "DTHORA" << QVariant(QDateTime(QDate(2026, 12, 10), QTime(0, 0), Qt::UTC))
        << "DTHORA=\"20261210\"";
    QTest::newRow("escaped characters")
        << comma << "NMPRODUTO" << QVariant(QString("A&B<C>\"D\"'E'\r\n\tF"))
        << "NMPRODUTO=\"A&amp;B&lt;C&gt;&quot;D&quot;&apos;E&apos;&#13;&#10;&#9;F\"";
    QTest::newRow("accented text") << comma << "NMPRODUTO"
                                   << QVariant(QString("Feijão Ação ÇÕÉ"))
                                   << "NMPRODUTO=\"Feijão Ação ÇÕÉ\"";
    QTest::newRow("fixed-width text") << comma << "CDFILIAL" << QVariant(QString("01"))
                                      << "CDFILIAL=\"01\"";
}

void TstTableFile::valueRoundTrip()
{
    QFETCH(QChar, separator);
    QFETCH(QString, field);
    QFETCH(QVariant, value);
    QFETCH(QString, written);

    LocaleService::setDecimalSeparator(separator);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath("INVENTARIO.cds");
    Table table;
    table.SetFieldDefs(countFields());
    table.CreateDataSet();
    table.Append();
    table.FieldByName(field)->SetValue(value);
    table.Post();
    table.SaveToFile(path);

    const QByteArray bytes = readFile(path);
    QVERIFY2(bytes.contains("<ROW " + written.toUtf8() + "/>\n"), bytes.constData());

    Table loaded;
    loaded.SetFieldDefs(countFields());
    loaded.LoadFromFile(path);
    QCOMPARE(loaded.RecordCount(), 1);
    const QVariant back = loaded.FieldByName(field)->Value();
    if (value.typeId() == QMetaType::Double) {
        QCOMPARE(back.toDouble(), value.toDouble());
        QCOMPARE(loaded.FieldByName(field)->AsString(), table.FieldByName(field)->AsString());
    } else if (value.typeId() == QMetaType::QDateTime) {
        QCOMPARE(back.toDateTime(), value.toDateTime());
    } else {
        QCOMPARE(back.toString(), value.toString());
    }
    // A second save of the loaded table writes the same bytes.
    QCOMPARE(loaded.SavedContent(), bytes);
}

void TstTableFile::writtenShape()
{
    Table table;
    QList<FieldDef> fields = countFields();
    FieldDef calc = FieldDef::of("VRTOTAL", FieldKind::Float);
    calc.calculated = true;
    fields.insert(2, calc);
    table.SetFieldDefs(fields);
    table.CreateDataSet();
    table.Append();
    table.FieldByName("CDFILIAL")->SetAsString("0001");
    table.FieldByName("QTD")->SetAsFloat(2.5);
    table.Post();
    table.Append();
    table.FieldByName("NMPRODUTO")->SetAsString("");
    table.FieldByName("NRSEQ")->SetAsInteger(7);
    table.Post();

    QCOMPARE(table.SavedContent(),
             packet(countFieldElements, "<ROW CDFILIAL=\"0001\" QTD=\"2.5\"/>\n"
                                        "<ROW NRSEQ=\"7\"/>\n"));

    Table empty;
    empty.SetFieldDefs({FieldDef::text("CDFILIAL", 4)});
    empty.CreateDataSet();
    QCOMPARE(empty.SavedContent(),
             packet("<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\"/>\n", ""));
}

void TstTableFile::floatsRoundTripExactly()
{
    // Values a quantity or price field meets, and the awkward ones.
    const QList<double> values = {1.0 / 3, 2.675, 1e15 + 0.5, 123456789.123456789,
                                  std::numeric_limits<double>::min(),
                                  std::numeric_limits<double>::max(), -5e-324, 0.000123};
    Table table;
    table.SetFieldDefs({FieldDef::of("QTD", FieldKind::Float)});
    table.CreateDataSet();
    for (double value : values) {
        table.Append();
        table.FieldByName("QTD")->SetAsFloat(value);
        table.Post();
    }
    const QByteArray bytes = table.SavedContent();
    Table loaded;
    loaded.SetData(TableFile::parse(bytes, "QTD.cds"));
    QCOMPARE(loaded.RecordCount(), values.size());
    int i = 0;
    for (loaded.First(); !loaded.Eof(); loaded.Next(), ++i) {
        const double back = loaded.FieldByName("QTD")->AsFloat();
        QCOMPARE(std::memcmp(&back, &values[i], sizeof back), 0);
    }
    QVERIFY(!bytes.contains(','));

    // A value that has no text form is refused at the field.
    table.Append();
    QVERIFY_THROWS_EXCEPTION(EConvertError,
                             table.FieldByName("QTD")->SetAsFloat(std::nan("")));
    table.Cancel();
}

void TstTableFile::readsWhatOtherToolsWrite_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<int>("size");  // the text field's size; 0 for other kinds

    const QByteArray nm = "<FIELD attrname=\"NM\" fieldtype=\"string\" WIDTH=\"10\"/>";
    auto one = [&](const QByteArray &row) { return packet(nm + "\n", row + "\n"); };
    const QVariant feijao = QString("Feijão");

    QTest::newRow("one line")
        << QByteArray("<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET Version=\"2.0\">"
                      "<METADATA><FIELDS>" + nm + "</FIELDS><PARAMS/></METADATA><ROWDATA>"
                      "<ROW NM=\"Feijão\"/></ROWDATA></DATAPACKET>")
        << "NM" << feijao << 10;
    QTest::newRow("whitespace everywhere")
        << QByteArray("\r\n  <?xml version=\"1.0\"?>\r\n<DATAPACKET  Version = \"2.0\" >\r\n"
                      "\t<METADATA>\r\n\t\t<FIELDS>\r\n\t\t\t<FIELD\r\n attrname=\"NM\"\t"
                      "fieldtype=\"string\"  WIDTH=\"10\" />\r\n\t\t</FIELDS>\r\n"
                      "\t\t<PARAMS />\r\n\t</METADATA>\r\n\t<ROWDATA>\r\n"
                      "\t\t<ROW\tNM\t=\t\"Feijão\"\r\n />\r\n\t</ROWDATA >\r\n"
                      "</DATAPACKET>\r\n\r\n")
        << "NM" << feijao << 10;
    QTest::newRow("attributes in any order")
        << packet("<FIELD WIDTH=\"10\" fieldtype=\"string\" attrname=\"NM\"/>\n"
                  "<FIELD fieldtype=\"r8\" attrname=\"QTD\"/>\n",
                  "<ROW QTD=\"1.5\" NM=\"Feijão\"/>\n")
        << "NM" << feijao << 10;
    QTest::newRow("attribute values in single quotes")
        << packet("<FIELD attrname='NM' fieldtype='string' WIDTH='10'/>\n",
                  "<ROW NM='Feijão'/>\n")
        << "NM" << feijao << 10;
    QTest::newRow("field type and width in other case")
        << packet("<FIELD attrname=\"NM\" FIELDTYPE=\"String\" width=\"10\" "
                  "subtype=\"fixedchar\"/>\n"
                  "<FIELD attrname=\"DT\" fieldtype=\"DATETIME\"/>\n",
                  "<ROW NM=\"Feijão\" DT=\"20090310T10:20:30000\"/>\n")
        << "DT" << QVariant(QDateTime(QDate(2009, 3, 10), QTime(10, 20, 30), Qt::UTC)) << 0;
    QTest::newRow("string.uni counts two bytes a character")
        << packet("<FIELD attrname=\"NM\" fieldtype=\"string.uni\" WIDTH=\"20\"/>\n",
                  "<ROW NM=\"Feijão com arroz\"/>\n")
        << "NM" << QVariant(QString("Feijão com")) << 10;
    QTest::newRow("no encoding declared, UTF-8")
        << QByteArray("<?xml version=\"1.0\"?>"
                      + one("<ROW NM=\"Feijão\"/>").mid(header.indexOf('\n') + 1))
        << "NM" << feijao << 10;
    QTest::newRow("Windows-1252 bytes")
        << one("<ROW NM=\"Feij\xE3o \x80\x39\"/>") << "NM" << QVariant(QString("Feijão €9")) << 10;
    QTest::newRow("declared Latin-1, really UTF-8")
        << QByteArray("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                      + one("<ROW NM=\"Feijão\"/>").mid(header.indexOf('\n') + 1))
        << "NM" << feijao << 10;
    QTest::newRow("UTF-8 BOM") << QByteArray("\xEF\xBB\xBF" + one("<ROW NM=\"Feijão\"/>"))
                               << "NM" << feijao << 10;
    QTest::newRow("character references")
        << one("<ROW NM=\"Feij&#227;o&#xE3;&#x20AC;&amp;\"/>") << "NM"
        << QVariant(QString("Feijãoã€&")) << 10;
    QTest::newRow("text longer than its size")
        << one("<ROW NM=\"Feijão preto tipo 1\"/>") << "NM" << QVariant(QString("Feijão pre"))
        << 10;
    QTest::newRow("empty attribute")
        << one("<ROW NM=\"\"/>") << "NM" << QVariant() << 10;
    QTest::newRow("date-time cut to seconds")
        << packet("<FIELD attrname=\"DT\" fieldtype=\"dateTime\"/>\n",
                  "<ROW DT=\"20090310T10:20:30\"/>\n")
        << "DT" << QVariant(QDateTime(QDate(2009, 3, 10), QTime(10, 20, 30), Qt::UTC)) << 0;
    QTest::newRow("date-time cut to minutes")
        << packet("<FIELD attrname=\"DT\" fieldtype=\"dateTime\"/>\n",
                  "<ROW DT=\"20090310T10:20\"/>\n")
        << "DT" << QVariant(QDateTime(QDate(2009, 3, 10), QTime(10, 20), Qt::UTC)) << 0;
    QTest::newRow("date-time without time")
        << packet("<FIELD attrname=\"DT\" fieldtype=\"dateTime\"/>\n", "<ROW DT=\"20090310\"/>\n")
        << "DT" << QVariant(QDateTime(QDate(2009, 3, 10), QTime(0, 0), Qt::UTC)) << 0;
    QTest::newRow("FIELD with PARAM children")
        << packet("<FIELD attrname=\"NM\" fieldtype=\"string\" WIDTH=\"10\">"
                  "<PARAM Name=\"ORIGIN\" Value=\"PRODUTO.NMPRODUTO\" Type=\"string\"/>"
                  "<PARAM Name=\"PROVFLAGS\" Value=\"3\" Type=\"i4\"></PARAM></FIELD>\n"
                  "<FIELD attrname=\"QTD\" fieldtype=\"r8\" DECIMALS=\"3\" required=\"true\"/>\n",
                  "<ROW NM=\"Feijão\" QTD=\"1\"/>\n")
        << "NM" << feijao << 10;
    QTest::newRow("platform PARAMS and ROW end tag")
        << QByteArray(header + nm + "\n</FIELDS><PARAMS DEFAULT_ORDER=\"1\" PRIMARY_KEY=\"1\" "
                      "LCID=\"1046\"/></METADATA><ROWDATA><ROW NM=\"Feijão\"></ROW>"
                      "</ROWDATA></DATAPACKET>")
        << "NM" << feijao << 10;
    QTest::newRow("comment") << QByteArray("<!-- exportado -->" + one("<ROW NM=\"Feijão\"/>"))
                             << "NM" << feijao << 10;
}

void TstTableFile::readsWhatOtherToolsWrite()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, field);
    QFETCH(QVariant, expected);
    QFETCH(int, size);

    QTemporaryDir dir;
    const QString path = dir.filePath("PRODUTO.cds");
    writeFile(path, bytes);
    Table table;
    table.LoadFromFile(path);
    QCOMPARE(table.RecordCount(), 1);
    Field *f = table.FieldByName(field);
    QCOMPARE(f->Value(), expected);
    if (size > 0)
        QCOMPARE(f->Size(), size);

    // Our own save of it reads back the same.
    Table again;
    again.SetData(TableFile::parse(table.SavedContent(), "copia.cds"));
    QCOMPARE(again.FieldByName(field)->Value(), expected);
}

void TstTableFile::otherFormsWrittenInOurs_data()
{
    QTest::addColumn<QByteArray>("read");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("already ours") << QByteArray("<ROW CDFILIAL=\"0001\" QTD=\"1.5\"/>\n")
                                  << QByteArray("<ROW CDFILIAL=\"0001\" QTD=\"1.5\"/>\n");
    QTest::newRow("float trailing zero") << QByteArray("<ROW QTD=\"1.50\"/>\n")
                                         << QByteArray("<ROW QTD=\"1.5\"/>\n");
    QTest::newRow("float with sign and exponent") << QByteArray("<ROW QTD=\"+25E-1\"/>\n")
                                                  << QByteArray("<ROW QTD=\"2.5\"/>\n");
    QTest::newRow("integer with zeros") << QByteArray("<ROW NRSEQ=\"+007\"/>\n")
                                        << QByteArray("<ROW NRSEQ=\"7\"/>\n");
    QTest::newRow("character reference") << QByteArray("<ROW NMPRODUTO=\"Feij&#227;o\"/>\n")
                                          << QByteArray("<ROW NMPRODUTO=\"Feijão\"/>\n");
    QTest::newRow("raw quote and greater-than")
        << QByteArray("<ROW NMPRODUTO='a\"b>c'/>\n")
        << QByteArray("<ROW NMPRODUTO=\"a&quot;b&gt;c\"/>\n");
    QTest::newRow("attributes out of order")
        << QByteArray("<ROW QTD=\"2\" CDFILIAL=\"0001\"/>\n")
        << QByteArray("<ROW CDFILIAL=\"0001\" QTD=\"2\"/>\n");
    QTest::newRow("blanks in the tag") << QByteArray("<ROW  CDFILIAL = \"0001\" />\n")
                                       << QByteArray("<ROW CDFILIAL=\"0001\"/>\n");
    QTest::newRow("end tag") << QByteArray("<ROW CDFILIAL=\"0001\"></ROW>\n")
                             << QByteArray("<ROW CDFILIAL=\"0001\"/>\n");
    QTest::newRow("row state") << QByteArray("<ROW RowState=\"4\" CDFILIAL=\"0001\"/>\n")
                               << QByteArray("<ROW CDFILIAL=\"0001\"/>\n");
    QTest::newRow("empty attribute") << QByteArray("<ROW CDFILIAL=\"\" QTD=\"3\"/>\n")
                                     << QByteArray("<ROW QTD=\"3\"/>\n");
    QTest::newRow("text over its size") << QByteArray("<ROW CDFILIAL=\"00012\"/>\n")
                                        << QByteArray("<ROW CDFILIAL=\"0001\"/>\n");
    QTest::newRow("date-time cut short") << QByteArray("<ROW DTHORA=\"20090310T10:20:30\"/>\n")
                                         << QByteArray("<ROW DTHORA=\"20090310T10:20:30000\"/>\n");
    QTest::newRow("date-time at midnight")
        << QByteArray("<ROW DTHORA=\"20090310T00:00:00000\"/>\n")
        << QByteArray("<ROW DTHORA=\"20090310\"/>\n");
    QTest::newRow("carriage return") << QByteArray("<ROW CDFILIAL=\"0001\"/>\r\n")
                                     << QByteArray("<ROW CDFILIAL=\"0001\"/>\n");
    QTest::newRow("two rows on a line")
        << QByteArray("<ROW CDFILIAL=\"0001\"/><ROW CDFILIAL=\"0002\"/>\n")
        << QByteArray("<ROW CDFILIAL=\"0001\"/>\n<ROW CDFILIAL=\"0002\"/>\n");
    QTest::newRow("Windows-1252") << QByteArray("<ROW NMPRODUTO=\"Feij\xE3o\"/>\n")
                                  << QByteArray("<ROW NMPRODUTO=\"Feijão\"/>\n");
}

// What the central system writes in its own way is saved in ours, rows
// read unchanged included.
void TstTableFile::otherFormsWrittenInOurs()
{
    QFETCH(QByteArray, read);
    QFETCH(QByteArray, written);

    const QByteArray plainRow = "<ROW CDFILIAL=\"0009\" NRSEQ=\"9\"/>\n";
    QTemporaryDir dir;
    const QString path = dir.filePath("INVENTARIO.cds");
    writeFile(path, packet(countFieldElements, plainRow + read + plainRow));
    Table table;
    table.SetFieldDefs(countFields());
    table.LoadFromFile(path);
    table.SaveToFile(path);
    QCOMPARE(readFile(path), packet(countFieldElements, plainRow + written + plainRow));
}

void TstTableFile::changeLogRowsDropped()
{
    const QByteArray bytes =
        header + "<FIELD attrname=\"NM\" fieldtype=\"string\" WIDTH=\"10\"/>\n"
        "</FIELDS><PARAMS CHANGE_LOG=\"1 0 4 2 1 8 3 0 4\"/></METADATA><ROWDATA>\n"
        "<ROW RowState=\"4\" NM=\"novo\"/>\n"
        "<ROW RowState=\"1\" NM=\"original\"/>\n"
        "<ROW RowState=\"8\" NM=\"alterado\"/>\n"
        "<ROW RowState=\"2\" NM=\"apagado\"/>\n"
        "<ROW RowState=\"32\" NM=\"sem uso\"/>\n"
        "<ROW RowState=\"9\" NM=\"orig mod\"/>\n"
        "<ROW RowState=\"12\" NM=\"novo mod\"/>\n"
        "<ROW NM=\"simples\"/>\n"
        "<ROW NM=\"zero\" RowState=\"0\"/>\n"
        "</ROWDATA></DATAPACKET>\n";
    Table table;
    table.SetData(TableFile::parse(bytes, "log.cds"));
    QCOMPARE(names(table, "NM"),
             QStringList({"novo", "alterado", "novo mod", "simples", "zero"}));
    const QByteArray saved = table.SavedContent();
    QVERIFY(!saved.contains("RowState"));
    QVERIFY(!saved.contains("CHANGE_LOG"));
}

void TstTableFile::refusedFileLeavesTable_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray nm = "<FIELD attrname=\"NMPRODUTO\" fieldtype=\"string\" WIDTH=\"20\"/>\n";
    auto counts = [&](const QByteArray &row) { return packet(countFieldElements, row + "\n"); };
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("not XML") << QByteArray("CDFILIAL;NMPRODUTO\n0001;Feijão\n");
    QTest::newRow("binary") << QByteArray("\x00\x01\x02\xff\xfe", 5);
    QTest::newRow("other XML")
        << QByteArray("<?xml version=\"1.0\"?><TABLE><ROW A=\"1\"/></TABLE>");
    QTest::newRow("only a declaration") << QByteArray("<?xml version=\"1.0\"?>");
    const QByteArray whole = goodCounts;
    const QList<QByteArray> cuts = {"<FIELDS>", "attrname=\"QTD\" field", "<ROWDATA>",
                                    "NMPRODUTO=\"Feij", "NRSEQ=\"2\"/>\n", "</ROWDATA>",
                                    "</DATAPACK"};
    for (const QByteArray &cut : cuts) {
        const qsizetype at = whole.indexOf(cut) + cut.size();
        QTest::newRow(("truncated after " + cut.trimmed()).constData()) << whole.left(at);
    }
    QTest::newRow("truncated before the last >") << whole.left(whole.size() - 2);
    QTest::newRow("ROW before FIELDS")
        << QByteArray("<DATAPACKET Version=\"2.0\"><METADATA><ROW NMPRODUTO=\"x\"/><FIELDS>" + nm
                      + "</FIELDS></METADATA><ROWDATA/></DATAPACKET>");
    QTest::newRow("ROWDATA before METADATA")
        << QByteArray("<DATAPACKET Version=\"2.0\"><ROWDATA><ROW NMPRODUTO=\"x\"/></ROWDATA>"
                      "<METADATA><FIELDS>" + nm + "</FIELDS></METADATA></DATAPACKET>");
    QTest::newRow("no FIELDS")
        << QByteArray("<DATAPACKET Version=\"2.0\"><METADATA><PARAMS/></METADATA>"
                      "<ROWDATA/></DATAPACKET>");
    QTest::newRow("field without a type")
        << packet(nm + "<FIELD attrname=\"FOTO\" SUBTYPE=\"Binary\"/>\n", "");
    QTest::newRow("field without a name") << packet("<FIELD fieldtype=\"r8\"/>\n", "");
    QTest::newRow("field twice") << packet(nm + nm, "");
    QTest::newRow("float not a number") << counts("<ROW QTD=\"abc\"/>");
    QTest::newRow("float with a comma") << counts("<ROW QTD=\"2,5\"/>");
    QTest::newRow("float with blanks") << counts("<ROW QTD=\" 2.5\"/>");
    QTest::newRow("float infinite") << counts("<ROW QTD=\"inf\"/>");
    QTest::newRow("integer with decimals") << counts("<ROW NRSEQ=\"1.5\"/>");
    QTest::newRow("integer not a number") << counts("<ROW NRSEQ=\"um\"/>");
    QTest::newRow("integer over 32 bits") << counts("<ROW NRSEQ=\"2147483648\"/>");
    QTest::newRow("integer under 32 bits") << counts("<ROW NRSEQ=\"-2147483649\"/>");
    QTest::newRow("integer over 64 bits") << counts("<ROW NRSEQ=\"99999999999999999999\"/>");
    QTest::newRow("date impossible") << counts("<ROW DTCONT=\"20090231\"/>");
    QTest::newRow("date in the short format") << counts("<ROW DTCONT=\"10/03/2009\"/>");
    QTest::newRow("date with a time") << counts("<ROW DTCONT=\"20090310T10:00:00000\"/>");
    QTest::newRow("date-time, bad hour") << counts("<ROW DTHORA=\"20090310T25:00:00000\"/>");
    QTest::newRow("date-time, bad separator") << counts("<ROW DTHORA=\"20090310 10:00:00\"/>");
    QTest::newRow("unknown entity") << counts("<ROW NMPRODUTO=\"a&nbsp;b\"/>");
    QTest::newRow("entity without ;") << counts("<ROW NMPRODUTO=\"a&amp b\"/>");
    QTest::newRow("NUL character reference") << counts("<ROW NMPRODUTO=\"a&#0;b\"/>");
    QTest::newRow("raw NUL byte") << counts(QByteArray("<ROW NMPRODUTO=\"a") + '\0' + "b\"/>");
    QTest::newRow("attribute of no field") << counts("<ROW XPTO=\"1\"/>");
    QTest::newRow("unquoted attribute") << counts("<ROW NRSEQ=1/>");
    QTest::newRow("value over 16 MiB")
        << packet("<FIELD attrname=\"OBS\" fieldtype=\"string\" WIDTH=\"0\"/>\n",
                  "<ROW OBS=\"" + QByteArray(17 * 1024 * 1024, 'x') + "\"/>\n");
    QTest::newRow("content after the packet") << QByteArray(goodCounts + "<ROW/>");
    QTest::newRow("ROWDATA not closed")
        << QByteArray(goodCounts).replace("</ROWDATA>", "");
}

void TstTableFile::refusedFileLeavesTable()
{
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    const QString good = dir.filePath("INVENTARIO.cds");
    const QString bad = dir.filePath("ESTRAGADO.cds");
    writeFile(good, goodCounts);
    writeFile(bad, bytes);

    Table table;
    table.SetFieldDefs(countFields());
    table.LoadFromFile(good);
    table.SetIndexFieldNames("NMPRODUTO");
    table.Last();
    try {
        table.LoadFromFile(bad);
        QFAIL("the file was accepted");
    } catch (const EDatabaseError &error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(bad)),
                 qPrintable(error.message()));
    }
    QCOMPARE(names(table), QStringList({"Arroz", "Feijão"}));
    QCOMPARE(table.FieldByName("NMPRODUTO")->AsString(), QString("Feijão"));
    QCOMPARE(table.State(), DataSetState::Browse);

    // A table that was never loaded stays closed.
    Table fresh;
    fresh.SetFieldDefs(countFields());
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, fresh.LoadFromFile(bad));
    QCOMPARE(fresh.State(), DataSetState::Inactive);
}

void TstTableFile::refusalSaysWhereAndWhat()
{
    QByteArray bytes = goodCounts;
    bytes.replace("QTD=\"10\"", "QTD=\"1O\"");  // a letter O typed for a zero, on line 11
    try {
        TableFile::parse(bytes, "INVENTARIO.cds");
        QFAIL("the file was accepted");
    } catch (const EDatabaseError &error) {
        const QString message = error.message();
        QVERIFY2(message.contains("INVENTARIO.cds"), qPrintable(message));
        QVERIFY2(message.contains("QTD"), qPrintable(message));
        QVERIFY2(message.contains("1O"), qPrintable(message));
        QVERIFY2(message.contains("11"), qPrintable(message));
    }
}

// A large file is read in two halves at once (on a machine with two
// cores); what it gives must not depend on where the halves meet.
void TstTableFile::largeFileReadInHalves_data()
{
    QTest::addColumn<QString>("variant");
    QTest::newRow("canonical rows") << "plain";
    QTest::newRow("values escaped or made canonical") << "rewritten";
    QTest::newRow("a line break and a row inside a value at the middle") << "trap";
    QTest::newRow("error in the second half") << "late error";
    QTest::newRow("errors in both halves") << "two errors";
}

void TstTableFile::largeFileReadInHalves()
{
    QFETCH(QString, variant);
    const int rows = 100000;  // about 5 MB
    const QByteArray fields = "<FIELD attrname=\"NR\" fieldtype=\"i4\"/>\n"
                              "<FIELD attrname=\"NM\" fieldtype=\"string\" WIDTH=\"40\"/>\n"
                              "<FIELD attrname=\"QTD\" fieldtype=\"r8\"/>\n"
                              "<FIELD attrname=\"OBS\" fieldtype=\"string\" WIDTH=\"5000000\"/>\n";
    QByteArray input;
    QByteArray written;  // what a save writes back
    QList<int> badLines;
    const QByteArray head = packet(fields, "");
    const int headLines = int(head.left(head.indexOf("<ROWDATA>")).count('\n')) + 2;
    for (int i = 1; i <= rows; ++i) {
        const QByteArray n = QByteArray::number(i);
        QByteArray nr = n;
        QByteArray name = "Nome " + n;
        QByteArray quantity = n + ".5";
        QByteArray inQuantity = quantity;
        QByteArray inName = name;
        if (variant == "rewritten" && i % 3 == 0) {
            inQuantity = n + ".50";  // read back as n.5
            inName = "Nome &amp; " + n;
            name = "Nome &amp; " + n;
        }
        if ((variant == "late error" && i == 80000)
            || (variant == "two errors" && (i == 20000 || i == 80000))) {
            nr = "x" + n;
            badLines << headLines + i - 1;
        }
        QByteArray obs;
        QByteArray inObs;
        if (variant == "trap" && i == rows / 2) {
            // Long enough to hold the middle of the rows, with a line that
            // looks like a row past the middle.
            const QByteArray filler(1500000, 'x');
            inObs = filler + filler + "\n<ROW NR=\"0\"/>" + filler;
            inObs.replace("\"", "'");
            obs = filler + filler + "&#10;&lt;ROW NR=&apos;0&apos;/&gt;" + filler;
        }
        auto row = [](const QByteArray &a, const QByteArray &b, const QByteArray &c,
                      const QByteArray &d) {
            QByteArray line = "<ROW NR=\"" + a + "\" NM=\"" + b + "\" QTD=\"" + c + "\"";
            if (!d.isEmpty())
                line += " OBS=\"" + d + "\"";
            return line + "/>\n";
        };
        input += row(nr, inName, inQuantity, inObs);
        written += row(n, name, quantity, obs);
    }
    QVERIFY(input.size() > 4 << 20);
    input = packet(fields, input);

    Table table;
    table.SetFieldDefs({FieldDef::of("NR", FieldKind::Integer), FieldDef::text("NM", 40),
                        FieldDef::of("QTD", FieldKind::Float), FieldDef::text("OBS", 5000000)});
    try {
        table.SetData(TableFile::parse(input, "GRANDE.cds"));
        QVERIFY2(badLines.isEmpty(), "the file was accepted");
    } catch (const EDatabaseError &error) {
        QVERIFY2(!badLines.isEmpty(), qPrintable(error.message()));
        const QString where = QStringLiteral("(linha %1)").arg(badLines.first());
        QVERIFY2(error.message().contains(where), qPrintable(error.message() + " / " + where));
        QVERIFY2(error.message().contains("x" + QString::number(badLines.first() - headLines + 1)),
                 qPrintable(error.message()));
        return;
    }
    QCOMPARE(table.RecordCount(), rows);
    QVERIFY(table.SavedContent() == packet(fields, written));
    table.Last();
    QCOMPARE(table.FieldByName("NR")->AsInteger(), rows);
}

void TstTableFile::declarationMismatchRefused_data()
{
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<QString>("field");

    const QByteArray fil = "<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\"/>\n";
    const QByteArray qtd = "<FIELD attrname=\"QTD\" fieldtype=\"r8\"/>\n";
    const QByteArray dt = "<FIELD attrname=\"DTCONT\" fieldtype=\"date\"/>\n";
    QTest::newRow("missing") << fil + dt << "QTD";
    QTest::newRow("integer for float")
        << fil + "<FIELD attrname=\"QTD\" fieldtype=\"i4\"/>\n" + dt << "QTD";
    QTest::newRow("text for float")
        << fil + "<FIELD attrname=\"QTD\" fieldtype=\"string\" WIDTH=\"8\"/>\n" + dt << "QTD";
    QTest::newRow("wider text")
        << "<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"5\"/>\n" + qtd + dt
        << "CDFILIAL";
    QTest::newRow("narrower text, wide characters")
        << "<FIELD attrname=\"CDFILIAL\" fieldtype=\"string.uni\" WIDTH=\"4\"/>\n" + qtd + dt
        << "CDFILIAL";
    QTest::newRow("date-time for date")
        << fil + qtd + "<FIELD attrname=\"DTCONT\" fieldtype=\"dateTime\"/>\n" << "DTCONT";
}

void TstTableFile::declarationMismatchRefused()
{
    QFETCH(QByteArray, fields);
    QFETCH(QString, field);

    const QList<FieldDef> declared = {FieldDef::text("CDFILIAL", 4),
                                      FieldDef::of("QTD", FieldKind::Float),
                                      FieldDef::of("DTCONT", FieldKind::Date)};
    QTemporaryDir dir;
    const QString path = dir.filePath("CONTAGEM.cds");
    writeFile(path, packet(fields, ""));
    writeFile(dir.filePath("BOM.cds"),
              packet("<FIELD attrname=\"DTCONT\" fieldtype=\"date\"/>\n"
                     "<FIELD attrname=\"qtd\" fieldtype=\"r8\"/>\n"
                     "<FIELD attrname=\"CDFILIAL\" fieldtype=\"string.uni\" WIDTH=\"8\"/>\n",
                     "<ROW CDFILIAL=\"0001\" qtd=\"3\"/>\n"));

    Table table;
    table.SetFieldDefs(declared);
    table.LoadFromFile(dir.filePath("BOM.cds"));  // other order, other case, wide text
    QCOMPARE(table.FieldByName("QTD")->AsFloat(), 3.0);
    try {
        table.LoadFromFile(path);
        QFAIL("the file was accepted");
    } catch (const EDatabaseError &error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(path)),
                 qPrintable(error.message()));
        QVERIFY2(error.message().contains(field), qPrintable(error.message()));
    }
    QCOMPARE(table.RecordCount(), 1);
    QCOMPARE(table.FieldByName("CDFILIAL")->AsString(), QString("0001"));
}

void TstTableFile::undeclaredFieldsWrittenBackUnchanged()
{
    const QByteArray extraField =
        "<FIELD attrname=\"OBS\" fieldtype=\"string\" WIDTH=\"30\" SUBTYPE=\"FixedChar\" "
        "required=\"true\"/>\n";
    const QByteArray extraNumber =
        "<FIELD attrname=\"VRCUSTO\" fieldtype=\"r8\" DECIMALS=\"4\"/>\n";
    const QByteArray bytes =
        packet("<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\"/>\n" + extraField
                   + "<FIELD attrname=\"QTD\" fieldtype=\"r8\"/>\n" + extraNumber,
               "<ROW CDFILIAL=\"0001\" OBS=\"a &amp; b &quot;c&quot;\" QTD=\"1\" "
               "VRCUSTO=\"2.125\"/>\n"
               "<ROW CDFILIAL=\"0002\" QTD=\"2\"/>\n");
    QTemporaryDir dir;
    const QString path = dir.filePath("ITEMENTR.cds");
    writeFile(path, bytes);

    Table table;
    table.SetFieldDefs({FieldDef::text("CDFILIAL", 4), FieldDef::of("QTD", FieldKind::Float)});
    table.LoadFromFile(path);
    QCOMPARE(table.FieldCount(), 4);
    QCOMPARE(table.FieldByName("OBS")->AsString(), QString("a & b \"c\""));
    QVERIFY(!table.FieldByName("OBS")->Visible());
    table.Edit();
    table.FieldByName("QTD")->SetAsFloat(5);
    table.Post();
    table.Append();
    table.FieldByName("CDFILIAL")->SetAsString("0003");
    table.Post();
    table.SaveToFile(path);

    QByteArray expected = bytes;
    expected.replace("QTD=\"1\"", "QTD=\"5\"");
    expected.replace("</ROWDATA>", "<ROW CDFILIAL=\"0003\"/>\n</ROWDATA>");
    QCOMPARE(readFile(path), expected);
}

void TstTableFile::fileNamesIgnoreCase()
{
    QTemporaryDir dir;
    writeFile(dir.filePath("produto.cds"), goodCounts);
    writeFile(dir.filePath("INVENTARIO.cds"), goodCounts);

    Table table;
    table.SetFieldDefs(countFields());
    table.LoadFromFile(dir.filePath("PRODUTO.CDS"));
    QCOMPARE(table.RecordCount(), 2);

    table.Append();
    table.FieldByName("NMPRODUTO")->SetAsString("Óleo");
    table.Post();
    table.SaveToFile(dir.filePath("INVENTARIO.CDS"));
    QCOMPARE(leftovers(dir.path(), {"produto.cds", "INVENTARIO.cds"}), QStringList());
    QVERIFY(readFile(dir.filePath("INVENTARIO.cds")).contains("Óleo"));

    Table saved;
    saved.SetFieldDefs(countFields());
    saved.LoadFromFile(dir.filePath("inventario.cds"));
    QCOMPARE(saved.RecordCount(), 3);

    // A new file takes the name as spelled.
    table.SaveToFile(dir.filePath("NOVO.CDS"));
    QVERIFY(QFile::exists(dir.filePath("NOVO.CDS")));
    QCOMPARE(leftovers(dir.path(), {"produto.cds", "INVENTARIO.cds", "NOVO.CDS"}),
             QStringList());
}

void TstTableFile::missingFileRaises()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("SERVICO.cds");
    Table table;
    table.SetFieldDefs(countFields());
    try {
        table.LoadFromFile(path);
        QFAIL("a missing file loaded");
    } catch (const EDatabaseError &error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(path)),
                 qPrintable(error.message()));
    }
    QCOMPARE(table.State(), DataSetState::Inactive);
}

void TstTableFile::failedSaveRaisesNamingTheFile()
{
    QTemporaryDir dir;
    // A regular file where the directory should be stops every writer,
    // the superuser included.
    writeFile(dir.filePath("dados"), "not a directory");
    const QString path = dir.filePath("dados/INVENTARIO.cds");
    Table table;
    table.SetFieldDefs(countFields());
    table.SetData(TableFile::parse(goodCounts, "x"));
    table.Edit();
    table.FieldByName("QTD")->SetAsFloat(99);
    try {
        table.SaveToFile(path);
        QFAIL("the save succeeded");
    } catch (const EDatabaseError &error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(path)),
                 qPrintable(error.message()));
    }
    QCOMPARE(table.State(), DataSetState::Edit);
    QCOMPARE(table.FieldByName("QTD")->AsFloat(), 99.0);
    QCOMPARE(leftovers(dir.path(), {"dados"}), QStringList());
}

void TstTableFile::saveIntoReadOnlyDirectory()
{
    if (runningAsRoot())
        QSKIP("permissions do not stop the superuser");
    QTemporaryDir dir;
    const QString sub = dir.filePath("dados");
    QVERIFY(QDir().mkdir(sub));
    const QString path = sub + "/INVENTARIO.cds";
    writeFile(path, goodCounts);
    Table table;
    table.SetFieldDefs(countFields());
    table.LoadFromFile(path);
    table.EmptyDataSet();
    const QFile::Permissions readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                        | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QVERIFY(QFile::setPermissions(sub, readOnly));
    bool raised = false;
    try {
        table.SaveToFile(path);
    } catch (const EDatabaseError &error) {
        raised = error.message().contains(QDir::toNativeSeparators(path));
    }
    QFile::setPermissions(sub, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(raised);
    QCOMPARE(readFile(path), goodCounts);
    QCOMPARE(leftovers(sub, {"INVENTARIO.cds"}), QStringList());
}

void TstTableFile::saveToFilesAllOrNone()
{
    QTemporaryDir dir;
    const QString header = dir.filePath("LANCENTR.cds");
    const QString items = dir.filePath("ITEMENTR.cds");
    writeFile(header, goodCounts);
    writeFile(items, goodCounts);
    writeFile(dir.filePath("bloqueio"), "a file, not a directory");

    Table first;
    first.SetFieldDefs(countFields());
    first.LoadFromFile(header);
    first.EmptyDataSet();
    Table second;
    second.SetFieldDefs(countFields());
    second.LoadFromFile(items);
    second.EmptyDataSet();

    const QString blocked = dir.filePath("bloqueio/VENCENTR.cds");
    QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                             Table::SaveToFiles({{&first, header}, {&second, items},
                                                 {&second, blocked}}));
    QCOMPARE(readFile(header), goodCounts);
    QCOMPARE(readFile(items), goodCounts);
    const QStringList files = {"LANCENTR.cds", "ITEMENTR.cds", "bloqueio"};
    QCOMPARE(leftovers(dir.path(), files), QStringList());

    Table::SaveToFiles({{&first, dir.filePath("lancentr.CDS")}, {&second, items}});
    QCOMPARE(readFile(header), first.SavedContent());
    QCOMPARE(readFile(items), second.SavedContent());
    QVERIFY(!readFile(header).contains("<ROW "));
    QCOMPARE(leftovers(dir.path(), files), QStringList());
}

// A save streams its content through a small buffer: values longer than
// the buffer and values that need escaping come out as whole.
void TstTableFile::writtenInPieces()
{
    const QByteArray longName = QByteArray(5000, 'x');
    Table table;
    table.SetFieldDefs({FieldDef::text("NMPRODUTO", 6000), FieldDef::text("DSOBS", 20)});
    table.CreateDataSet();
    table.Append();
    table.FieldByName("NMPRODUTO")->SetAsString(QString::fromLatin1(longName) + "&");
    table.Post();
    table.Append();
    table.FieldByName("NMPRODUTO")->SetAsString("a<b>\"c\"");
    table.FieldByName("DSOBS")->SetAsString("d'e");
    table.Post();
    const QByteArray expected =
        packet("<FIELD attrname=\"NMPRODUTO\" fieldtype=\"string\" WIDTH=\"6000\"/>\n"
               "<FIELD attrname=\"DSOBS\" fieldtype=\"string\" WIDTH=\"20\"/>\n",
               "<ROW NMPRODUTO=\"" + longName + "&amp;\"/>\n"
               "<ROW NMPRODUTO=\"a&lt;b&gt;&quot;c&quot;\" DSOBS=\"d&apos;e\"/>\n");
    for (size_t capacity : {size_t(64), size_t(100), size_t(1) << 20}) {
        QByteArray out;
        std::vector<int> pieces;
        ContentSink sink(
            [&](const char *data, size_t size) {
                out.append(data, qsizetype(size));
                pieces.push_back(int(size));
            },
            capacity);
        TableFile::FreshLines fresh;
        TableFile::serialize(table.Data(), sink, &fresh);
        sink.finish();
        QCOMPARE(out, expected);
        QCOMPARE(fresh.rows.size(), size_t(2));
        QVERIFY(capacity > 6000 || pieces.size() > 1);
    }

    // The lines written are kept, and a later save copies them.
    QTemporaryDir dir;
    const QString path = dir.filePath("OBS.cds");
    table.SaveToFile(path);
    table.First();
    table.Edit();
    table.FieldByName("DSOBS")->SetAsString("&");
    table.Post();
    table.SaveToFile(path);
    QByteArray second = expected;
    second.replace("<ROW NMPRODUTO=\"" + longName + "&amp;\"/>",
                   "<ROW NMPRODUTO=\"" + longName + "&amp;\" DSOBS=\"&amp;\"/>");
    QCOMPARE(readFile(path), second);
}

// Content that fails while it is being written (here, after some megabytes
// of the second file) leaves every file of the set as it was.
void TstTableFile::failingContentLeavesTheSet()
{
    QTemporaryDir dir;
    const QString header = dir.filePath("LANCENTR.cds");
    const QString items = dir.filePath("ITEMENTR.cds");
    writeFile(header, goodCounts);
    writeFile(items, goodCounts);
    AtomicSave save;
    save.add(header, QByteArray("new header"));
    save.add(items, [](ContentSink &out) {
        const QByteArray piece(1 << 20, 'r');
        for (int i = 0; i < 3; ++i)
            out.append(piece.constData(), size_t(piece.size()));
        throw EDatabaseError(QStringLiteral("falhou no meio"));
    });
    try {
        save.commit();
        QFAIL("the save succeeded");
    } catch (const EDatabaseError &error) {
        QCOMPARE(error.message(), QStringLiteral("falhou no meio"));
    }
    QCOMPARE(readFile(header), goodCounts);
    QCOMPARE(readFile(items), goodCounts);
    QCOMPARE(leftovers(dir.path(), {"LANCENTR.cds", "ITEMENTR.cds"}), QStringList());
}

// A new file is created as any program's would be (the umask decides); a
// replaced one keeps the permissions the branch gave it.
void TstTableFile::savedFilePermissions()
{
#ifndef Q_OS_UNIX
    QSKIP("permission bits are a Unix matter");
#else
    QTemporaryDir dir;
    Table table;
    table.SetFieldDefs(countFields());
    table.SetData(TableFile::parse(goodCounts, "x"));

    const mode_t previous = ::umask(027);
    const QString fresh = dir.filePath("NOVO.cds");
    table.SaveToFile(fresh);
    ::umask(previous);
    struct stat created;
    QCOMPARE(::stat(QFile::encodeName(fresh).constData(), &created), 0);
    QCOMPARE(created.st_mode & 0777, mode_t(0640));

    const QString kept = dir.filePath("INVENTARIO.cds");
    writeFile(kept, goodCounts);
    QCOMPARE(::chmod(QFile::encodeName(kept).constData(), 0604), 0);
    table.SaveToFile(kept);
    struct stat replaced;
    QCOMPARE(::stat(QFile::encodeName(kept).constData(), &replaced), 0);
    QCOMPARE(replaced.st_mode & 0777, mode_t(0604));
#endif
}

// A window reads its files again on every move; a file nobody wrote since
// the table read it gives back what the table holds, and the load takes that
// again instead of reading it, doing all a load does.
void TstTableFile::reloadOfUnchangedFileKeepsTheContent()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("INVENTARIO.cds");
    writeFile(path, threeCounts);

    // kept is reloaded as it was loaded; read holds the same rows as a new
    // content, so its reload reads the file: the two must end alike.
    Table kept("cdsKept");
    Table read("cdsRead");
    int scrolls[2] = {0, 0};
    for (Table *table : {&kept, &read}) {
        table->SetFieldDefs(countFields());
        table->SetIndexFieldNames("NMPRODUTO");
        table->SetFilter("CDFILIAL = '0001'");
        table->SetFiltered(true);
        table->LoadFromFile(path);
        table->AfterScroll
            = [&scrolls, table, &kept](Table &) { ++scrolls[table == &kept ? 0 : 1]; };
    }
    read.SetData(read.Data());
    for (Table *table : {&kept, &read}) {
        table->Last();
        table->Edit();
        table->FieldByName("QTD")->SetAsFloat(7);
    }
    QCOMPARE(rowTexts(kept)[1].section(u'|', 2, 2), QString("7"));

    const TableData keptBefore = kept.Data();
    const TableData readBefore = read.Data();
    const quintptr keptMemory = valueMemory(kept);
    const quintptr readMemory = valueMemory(read);
    SignalCounts keptSignals(&kept);
    SignalCounts readSignals(&read);
    scrolls[0] = scrolls[1] = 0;
    kept.LoadFromFile(path);
    read.LoadFromFile(path);

    QCOMPARE(valueMemory(kept), keptMemory);
    QVERIFY(valueMemory(read) != readMemory);
    const QStringList expected = {"0001|Arroz|10|2||", "0001|Feijão|2,5|1|10/03/2009|"};
    QCOMPARE(rowTexts(kept), expected);
    QCOMPARE(rowTexts(read), expected);
    for (Table *table : {&kept, &read}) {
        QCOMPARE(table->State(), DataSetState::Browse);
        QCOMPARE(table->RecNo(), 1);
        QCOMPARE(table->RecordCount(), 2);
        QVERIFY(table->Bof());
        QVERIFY(!table->Modified());
        QCOMPARE(table->ChangeCount(), 0);
        QCOMPARE(table->FieldByName("NMPRODUTO")->AsString(), QString("Arroz"));
    }
    QCOMPARE(keptSignals.counts(), QList<qsizetype>({1, 1, 1, 1}));
    QCOMPARE(readSignals.counts(), keptSignals.counts());
    QCOMPARE(scrolls[0], 1);
    QCOMPARE(scrolls[1], 1);

    // The indexes answer as before, a lookup and a narrower filter included.
    QVERIFY(kept.Locate("NMPRODUTO", "Feijão"));
    QCOMPARE(kept.FieldByName("QTD")->AsFloat(), 2.5);
    {
        FilterScope branch(kept, "CDFILIAL = '0002'");
        QCOMPARE(rowTexts(kept), QStringList({"0002|Sal|1|3||"}));
    }
    QCOMPARE(rowTexts(kept), expected);

    // Again, and under another spelling of the name: the same file.
    kept.LoadFromFile(path);
    kept.LoadFromFile(dir.filePath("inventario.CDS"));
    QCOMPARE(valueMemory(kept), keptMemory);
    QCOMPARE(rowTexts(kept), expected);

    // A changed declaration is refused as a read would refuse it.
    kept.SetFieldDefs({FieldDef::text("CDFILIAL", 4), FieldDef::text("NMPRODUTO", 30)});
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, kept.LoadFromFile(path));
}

enum class Change {
    PostedEdit,
    PostedWithoutLog,
    Deleted,
    Emptied,
    Replaced,
    SetData,
    RewrittenByAnother,
    RewrittenInPlaceSameSizeAndTime,
    FailedSave,
    SavedElsewhere,
};

void TstTableFile::reloadAfterAChangeReadsTheFile_data()
{
    QTest::addColumn<int>("change");
    QTest::newRow("an edit posted, not saved") << int(Change::PostedEdit);
    QTest::newRow("an edit posted with the change log off") << int(Change::PostedWithoutLog);
    QTest::newRow("a row deleted") << int(Change::Deleted);
    QTest::newRow("emptied") << int(Change::Emptied);
    QTest::newRow("another file loaded") << int(Change::Replaced);
    QTest::newRow("the same rows set as a new content") << int(Change::SetData);
    QTest::newRow("another program saved the file") << int(Change::RewrittenByAnother);
    QTest::newRow("rewritten in place, same size and modification time")
        << int(Change::RewrittenInPlaceSameSizeAndTime);
    QTest::newRow("a save that failed") << int(Change::FailedSave);
    QTest::newRow("saved to another file") << int(Change::SavedElsewhere);
}

void TstTableFile::reloadAfterAChangeReadsTheFile()
{
    QFETCH(int, change);
    QTemporaryDir dir;
    const QString path = dir.filePath("INVENTARIO.cds");
    writeFile(path, threeCounts);
    Table table;
    table.SetFieldDefs(countFields());
    table.LoadFromFile(path);
    const QStringList loaded = rowTexts(table);

    switch (Change(change)) {
    case Change::PostedEdit:
    case Change::PostedWithoutLog:
        table.SetLogChanges(Change(change) == Change::PostedEdit);
        table.Edit();
        table.FieldByName("QTD")->SetAsFloat(99);
        table.Post();
        break;
    case Change::Deleted: table.Delete(); break;
    case Change::Emptied: table.EmptyDataSet(); break;
    case Change::Replaced:
        writeFile(dir.filePath("OUTRO.cds"), goodCounts);
        table.LoadFromFile(dir.filePath("OUTRO.cds"));
        break;
    case Change::SetData: table.SetData(table.Data()); break;
    case Change::RewrittenByAnother: {
        Table other;
        other.SetFieldDefs(countFields());
        other.LoadFromFile(path);
        other.Append();
        other.FieldByName("CDFILIAL")->SetAsString("0003");
        other.FieldByName("NMPRODUTO")->SetAsString("Milho");
        other.Post();
        other.SaveToFile(path);
        break;
    }
    case Change::RewrittenInPlaceSameSizeAndTime: {
#ifndef Q_OS_UNIX
        QSKIP("status change times are a Unix matter");
#else
        struct stat before;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &before), 0);
        // Past the file system's clock tick, which a change within the
        // same tick as the load could share.
        QTest::qSleep(20);
        QByteArray bytes = threeCounts;
        bytes.replace("Arroz", "Milho");
        writeFile(path, bytes);
        const struct timespec times[2] = {before.st_atim, before.st_mtim};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
        struct stat after;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &after), 0);
        QCOMPARE(after.st_size, before.st_size);
        QCOMPARE(after.st_ino, before.st_ino);
        QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        QCOMPARE(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
        break;
#endif
    }
    case Change::FailedSave: {
        // A set of two files of which the second cannot be written: neither
        // is replaced, and the first's content is trusted no more.
        writeFile(dir.filePath("bloqueio"), "a file, not a directory");
        Table other;
        other.SetFieldDefs(countFields());
        other.SetData(TableFile::parse(goodCounts, "x"));
        QVERIFY_THROWS_EXCEPTION(
            EDatabaseError,
            Table::SaveToFiles({{&table, path}, {&other, dir.filePath("bloqueio/OUTRO.cds")}}));
        QCOMPARE(readFile(path), threeCounts);
        break;
    }
    case Change::SavedElsewhere: table.SaveToFile(dir.filePath("COPIA.cds")); break;
    }

    const QStringList expected = freshRows(path);
    const TableData before = table.Data();
    const bool hadRows = !before.stored.empty();
    const quintptr memory = hadRows ? valueMemory(table) : 0;
    table.LoadFromFile(path);
    QCOMPARE(rowTexts(table), expected);
    QCOMPARE(table.RecNo(), 1);
    if (hadRows)
        QVERIFY2(valueMemory(table) != memory, "the file was not read");
    if (Change(change) == Change::RewrittenByAnother)
        QVERIFY(expected.size() == 4 && expected.last().contains("Milho"));
    else if (Change(change) == Change::RewrittenInPlaceSameSizeAndTime)
        QVERIFY(expected.last().contains("Milho"));
    else
        QCOMPARE(expected, loaded);
}

// After a save the file holds what the table holds: the next load takes the
// table's content again, and it is what a read of the file gives, value for
// value, also for values whose written form is escaped.
void TstTableFile::reloadAfterASaveKeepsTheSavedContent()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("INVENTARIO.cds");
    writeFile(path, threeCounts);
    writeFile(dir.filePath("LANCENTR.cds"), goodCounts);
    Table table;
    table.SetFieldDefs(countFields());
    table.SetIndexFieldNames("NMPRODUTO");
    table.LoadFromFile(path);
    QCOMPARE(names(table), QStringList({"Arroz", "Feijão", "Sal"}));

    // Edits that move rows in the browsing order, and rows of equal keys,
    // which keep their stored order.
    table.Delete();
    table.Edit();
    table.FieldByName("NMPRODUTO")->SetAsString("a \"b\" & <c> 'd'");
    table.FieldByName("QTD")->SetAsFloat(0.1 + 0.2);
    table.Post();
    table.Append();
    table.FieldByName("CDFILIAL")->SetAsString("01");
    table.FieldByName("NMPRODUTO")->SetAsString("linha 1\nlinha 2\t ");
    table.FieldByName("QTD")->SetAsFloat(-1e-7);
    table.FieldByName("NRSEQ")->SetAsInteger(-42);
    table.FieldByName("DTCONT")->SetAsDate(QDate(2026, 12, 10));
    table.FieldByName("DTHORA")->SetAsDateTime(
        QDateTime(QDate(2026, 12, 10), QTime(17, 5, 9, 123), Qt::UTC));
    table.Post();
    table.Append();
    table.FieldByName("NMPRODUTO")->SetAsString("Sal");
    table.FieldByName("QTD")->SetAsFloat(5);
    table.Post();
    QVERIFY(table.Locate("NMPRODUTO", "Sal"));
    table.Insert();
    table.FieldByName("NMPRODUTO")->SetAsString("Sal");
    table.FieldByName("QTD")->SetAsFloat(6);
    table.Post();
    table.First();
    table.Insert();
    table.FieldByName("NMPRODUTO")->SetAsString("Açúcar");
    table.Post();
    const QStringList held = rowTexts(table);
    // The file's own spelling is resolved, as the save resolves it.
    table.SaveToFile(dir.filePath("inventario.CDS"));

    const QStringList saved = freshRows(path, "NMPRODUTO");
    QCOMPARE(saved, held);
    const TableData before = table.Data();
    const quintptr memory = valueMemory(table);
    table.LoadFromFile(path);
    QCOMPARE(valueMemory(table), memory);
    QCOMPARE(rowTexts(table), saved);
    QCOMPARE(table.RecNo(), 1);
    table.SetIndexFieldNames("");
    QCOMPARE(rowTexts(table), freshRows(path));

    // A set saved together: every table of it.
    Table header;
    header.SetFieldDefs(countFields());
    header.LoadFromFile(dir.filePath("LANCENTR.cds"));
    header.Append();
    header.FieldByName("NMPRODUTO")->SetAsString("Óleo");
    header.Post();
    table.Edit();
    table.FieldByName("QTD")->SetAsFloat(3);
    table.Post();
    Table::SaveToFiles({{&table, path}, {&header, dir.filePath("LANCENTR.cds")}});
    for (Table *saver : {&table, &header}) {
        const QString file = saver == &table ? path : dir.filePath("LANCENTR.cds");
        const QStringList written = freshRows(file);
        const TableData held = saver->Data();
        const quintptr at = valueMemory(*saver);
        saver->LoadFromFile(file);
        QCOMPARE(valueMemory(*saver), at);
        QCOMPARE(rowTexts(*saver), written);
    }
}

QTEST_GUILESS_MAIN(TstTableFile)
#include "tst_tablefile.moc"
