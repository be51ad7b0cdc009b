#include "datadircheck.h"
#include "errors.h"
#include "table.h"
#include "tablefile.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <limits>

using namespace kiv;

namespace {

const QByteArray header = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                          "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>\n";

QByteArray packet(const QByteArray &fields, const QByteArray &rows,
                  const QByteArray &params = "<PARAMS/>")
{
    return header + fields + "</FIELDS>" + params + "</METADATA><ROWDATA>\n" + rows
           + "</ROWDATA></DATAPACKET>\n";
}

const QByteArray branchField = "<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\"/>\n";

// The engine's other field types, as the central system writes them.
const QByteArray otherFields =
    "<FIELD attrname=\"IDATIVO\" fieldtype=\"boolean\"/>\n"
    "<FIELD attrname=\"VRCUSTO\" fieldtype=\"fixed\" DECIMALS=\"4\" WIDTH=\"19\"/>\n"
    "<FIELD attrname=\"QTPESO\" fieldtype=\"r4\"/>\n"
    "<FIELD attrname=\"DSFOTO\" fieldtype=\"bin.hex\" SUBTYPE=\"Binary\"/>\n"
    "<FIELD attrname=\"DSOBS\" fieldtype=\"bin.hex\" SUBTYPE=\"Text\"/>\n"
    "<FIELD attrname=\"DTALTER\" fieldtype=\"SQLdateTime\"/>\n"
    "<FIELD attrname=\"NRGRANDE\" fieldtype=\"i8\"/>\n"
    "<FIELD attrname=\"NRPEQUENO\" fieldtype=\"i2\"/>\n"
    "<FIELD attrname=\"HRENTREGA\" fieldtype=\"time\"/>\n"
    "<FIELD attrname=\"XPTO\" fieldtype=\"coisa.nova\"/>\n";

const QByteArray otherRows =
    "<ROW CDFILIAL=\"0001\" IDATIVO=\"TRUE\" VRCUSTO=\"12.3400\" QTPESO=\"1.5\" "
    "DSFOTO=\"0A0BFF\" DSOBS=\"linha 1&#13;&#10;linha &amp; 2\" DTALTER=\"20261210T10:20:30123\" "
    "NRGRANDE=\"9999999999\" NRPEQUENO=\"-7\" HRENTREGA=\"10:20:30000\" XPTO=\"?\"/>\n"
    "<ROW CDFILIAL=\"0002\" IDATIVO=\"FALSE\"/>\n";

// Elements nested depth levels deep inside a FIELD or inside PARAMS.
QByteArray nestedIn(const QByteArray &where, int depth)
{
    QByteArray open;
    QByteArray close;
    open.reserve(depth * 7);
    close.reserve(depth * 8);
    for (int i = 0; i < depth; ++i) {
        open += "<PARAM>";
        close += "</PARAM>";
    }
    if (where == "FIELD")
        return packet("<FIELD attrname=\"CDFILIAL\" fieldtype=\"string\" WIDTH=\"4\">" + open
                          + close + "</FIELD>\n",
                      "<ROW CDFILIAL=\"0001\"/>\n");
    return packet(branchField, "<ROW CDFILIAL=\"0001\"/>\n", "<PARAMS>" + open + close + "</PARAMS>");
}

// Parses on a thread with a 1 MiB stack, as the main thread has on Windows:
// a reader that recurses per element overflows it long before the heap runs
// short. Returns the error text, empty when the file was accepted.
QString parseOnSmallStack(const QByteArray &bytes)
{
    QString outcome;
    QThread *thread = QThread::create([&] {
        try {
            TableFile::parse(bytes, QStringLiteral("PARAM.cds"));
        } catch (const EDatabaseError &error) {
            outcome = error.message();
        }
    });
    thread->setStackSize(1024 * 1024);
    thread->start();
    thread->wait();
    delete thread;
    return outcome;
}

} // namespace

class TstTableFileHostile : public QObject
{
    Q_OBJECT

private slots:
    void nestingBeyondTheShapeRefused_data();
    void nestingBeyondTheShapeRefused();
    void absurdFieldCountRefused();
    void manyFieldsReadInLinearTime();
    void fieldNameThatCannotBeWrittenRefused();
    void integerFieldHolds32Bits_data();
    void integerFieldHolds32Bits();
    void otherFieldTypesKeptAndWrittenBack();
    void declaredFieldOfOtherTypeRefused_data();
    void declaredFieldOfOtherTypeRefused();
    void mutatedFilesReadOrRefusedCleanly();
};

void TstTableFileHostile::nestingBeyondTheShapeRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("PARAM in a FIELD, as the engine writes") << nestedIn("FIELD", 1) << true;
    QTest::newRow("a few levels in a FIELD") << nestedIn("FIELD", TableFile::maxNesting) << true;
    QTest::newRow("a few levels in PARAMS") << nestedIn("PARAMS", TableFile::maxNesting) << true;
    QTest::newRow("one level too deep in a FIELD")
        << nestedIn("FIELD", TableFile::maxNesting + 1) << false;
    QTest::newRow("10,000 levels in a FIELD (75 KB)") << nestedIn("FIELD", 10000) << false;
    QTest::newRow("100,000 levels in PARAMS") << nestedIn("PARAMS", 100000) << false;
}

void TstTableFileHostile::nestingBeyondTheShapeRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, accepted);
    const QString error = parseOnSmallStack(bytes);
    if (accepted) {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        return;
    }
    QVERIFY2(error.contains("PARAM.cds") && error.contains("aninhados"), qPrintable(error));
}

void TstTableFileHostile::absurdFieldCountRefused()
{
    QByteArray fields;
    for (int i = 0; i < 40000; ++i)
        fields += "<FIELD attrname=\"C" + QByteArray::number(i) + "\" fieldtype=\"r8\"/>\n";
    QElapsedTimer timer;
    timer.start();
    try {
        TableFile::parse(packet(fields, ""), QStringLiteral("PRODUTO.CDS"));
        QFAIL("40,000 fields were accepted");
    } catch (const EDatabaseError &error) {
        QVERIFY2(error.message().contains("PRODUTO.CDS")
                     && error.message().contains(QString::number(TableFile::maxFields)),
                 qPrintable(error.message()));
    }
    // Refused at the first field over the limit, not after reading them all.
    QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
}

// As many fields as are allowed, and rows that name them in reverse order:
// finding a field by name must not cost a pass over the fields.
void TstTableFileHostile::manyFieldsReadInLinearTime()
{
    const int count = TableFile::maxFields;
    QByteArray fields;
    QByteArray row = "<ROW";
    for (int i = 0; i < count; ++i)
        fields += "<FIELD attrname=\"C" + QByteArray::number(i) + "\" fieldtype=\"i4\"/>\n";
    for (int i = count - 1; i >= 0; --i)
        row += " C" + QByteArray::number(i) + "=\"" + QByteArray::number(i) + "\"";
    row += "/>\n";
    QByteArray rows;
    for (int r = 0; r < 100; ++r)
        rows += row;
    QElapsedTimer timer;
    timer.start();
    const TableData data = TableFile::parse(packet(fields, rows), QStringLiteral("X.cds"));
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(data.columnCount(), count);
    QCOMPARE(data.stored.size(), size_t(100));
    const std::string_view last = data.heap.bytes(data.row(data.stored[99])[count - 1]);
    QCOMPARE(QByteArray(last.data(), qsizetype(last.size())), QByteArray::number(count - 1));
    // Well under a second, even under the sanitizers on a busy machine; a
    // pass over the fields per attribute takes minutes.
    QVERIFY2(elapsed < 20000, qPrintable(QString::number(elapsed)));
}

void TstTableFileHostile::fieldNameThatCannotBeWrittenRefused()
{
    // Each of these would be written as an attribute name of every row,
    // giving a file that no reader takes back.
    for (const QByteArray &name : {QByteArray("A B"), QByteArray("A&quot;B"), QByteArray("A=B"),
                                   QByteArray("A&lt;B"), QByteArray("A/B")}) {
        const QByteArray bytes =
            packet("<FIELD attrname=\"" + name + "\" fieldtype=\"r8\"/>\n", "");
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, TableFile::parse(bytes, QStringLiteral("X.cds")));
    }
}

void TstTableFileHostile::integerFieldHolds32Bits_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("largest") << qint64(std::numeric_limits<qint32>::max()) << true;
    QTest::newRow("smallest") << qint64(std::numeric_limits<qint32>::min()) << true;
    QTest::newRow("one over") << qint64(std::numeric_limits<qint32>::max()) + 1 << false;
    QTest::newRow("one under") << qint64(std::numeric_limits<qint32>::min()) - 1 << false;
    QTest::newRow("64 bits") << std::numeric_limits<qint64>::max() << false;
}

// On read, in SetAsInteger and through typed text alike: a value outside
// 32 bits never reaches a file.
void TstTableFileHostile::integerFieldHolds32Bits()
{
    QFETCH(qint64, value);
    QFETCH(bool, accepted);

    const QByteArray bytes = packet("<FIELD attrname=\"NRSEQ\" fieldtype=\"i4\"/>\n",
                                    "<ROW NRSEQ=\"" + QByteArray::number(value) + "\"/>\n");
    bool read = true;
    try {
        TableFile::parse(bytes, QStringLiteral("INVENTARIO.cds"));
    } catch (const EDatabaseError &error) {
        read = false;
        QVERIFY2(error.message().contains("INVENTARIO.cds") && error.message().contains("NRSEQ"),
                 qPrintable(error.message()));
    }
    QCOMPARE(read, accepted);

    Table table;
    table.SetFieldDefs({FieldDef::of("NRSEQ", FieldKind::Integer)});
    table.CreateDataSet();
    table.Append();
    table.FieldByName("NRSEQ")->SetAsInteger(5);
    for (int way = 0; way < 2; ++way) {
        bool set = true;
        try {
            if (way == 0)
                table.FieldByName("NRSEQ")->SetAsInteger(value);
            else
                table.FieldByName("NRSEQ")->SetAsString(QString::number(value));
        } catch (const EConvertError &) {
            set = false;
        }
        QCOMPARE(set, accepted);
        QCOMPARE(table.FieldByName("NRSEQ")->AsInteger(), accepted ? value : qint64(5));
    }
    table.Post();
    QVERIFY(table.SavedContent().contains(
        "NRSEQ=\"" + QByteArray::number(accepted ? value : 5) + "\""));
}

void TstTableFileHostile::otherFieldTypesKeptAndWrittenBack()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("PRODUTO.CDS");
    const QByteArray bytes = packet(branchField + otherFields, otherRows);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    Table table;
    table.SetFieldDefs({FieldDef::text("CDFILIAL", 4)});
    table.LoadFromFile(path);
    QCOMPARE(table.RecordCount(), 2);
    QCOMPARE(table.FieldByName("IDATIVO")->AsString(), QString("TRUE"));
    QCOMPARE(table.FieldByName("NRGRANDE")->AsString(), QString("9999999999"));
    QCOMPARE(table.FieldByName("DSOBS")->AsString(), QString("linha 1\r\nlinha & 2"));
    QCOMPARE(table.FieldByName("DTALTER")->AsString(), QString("20261210T10:20:30123"));
    const QString dump = DumpTableFile(path);
    QVERIFY2(dump.contains("IDATIVO;boolean;\n") && dump.contains("DSFOTO;bin.hex;\n")
                 && dump.contains("CDFILIAL;texto;4\n"),
             qPrintable(dump));

    table.Edit();
    table.FieldByName("CDFILIAL")->SetAsString("0003");
    table.Post();
    table.SaveToFile(path);
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QByteArray expected = bytes;
    expected.replace("<ROW CDFILIAL=\"0001\"", "<ROW CDFILIAL=\"0003\"");
    QCOMPARE(saved.readAll(), expected);
}

void TstTableFileHostile::declaredFieldOfOtherTypeRefused_data()
{
    QTest::addColumn<QByteArray>("type");
    QTest::addColumn<int>("declared");  // a FieldKind
    QTest::newRow("boolean for text") << QByteArray("boolean") << int(FieldKind::Text);
    QTest::newRow("fixed for float") << QByteArray("fixed") << int(FieldKind::Float);
    QTest::newRow("i8 for integer") << QByteArray("i8") << int(FieldKind::Integer);
    QTest::newRow("i2 for integer") << QByteArray("i2") << int(FieldKind::Integer);
    QTest::newRow("SQLdateTime for date-time")
        << QByteArray("SQLdateTime") << int(FieldKind::DateTime);
}

void TstTableFileHostile::declaredFieldOfOtherTypeRefused()
{
    QFETCH(QByteArray, type);
    QFETCH(int, declared);
    const TableData data = TableFile::parse(
        packet("<FIELD attrname=\"CAMPO\" fieldtype=\"" + type + "\"/>\n", "<ROW CAMPO=\"1\"/>\n"),
        QStringLiteral("TIPOOPER.cds"));
    Table table("cdsTipoOper");
    const FieldKind kind = FieldKind(declared);
    table.SetFieldDefs({kind == FieldKind::Text ? FieldDef::text("CAMPO", 1)
                                                : FieldDef::of("CAMPO", kind)});
    try {
        table.SetData(data);
        QFAIL("a field of another type was taken for a declared one");
    } catch (const EDatabaseError &error) {
        QVERIFY2(error.message().contains("CAMPO") && error.message().contains(QString(type)),
                 qPrintable(error.message()));
    }
    QCOMPARE(table.State(), DataSetState::Inactive);
}

// Deterministic mutations of the seed files (the demo files and the odd
// ones the fuzz target starts from): every mutant is either refused with
// the reader's error or read, and then its saved form reads back to the
// same saved form. Mutations aim at the limits too (deep nesting, many
// fields, long values), so a regression shows as a crash or a hang here.
void TstTableFileHostile::mutatedFilesReadOrRefusedCleanly()
{
    const QString corpus = QFINDTESTDATA("../../fuzz/corpus");
    QVERIFY2(!corpus.isEmpty(), "fuzz/corpus not found");
    QList<QByteArray> seeds;
    QDirIterator files(corpus, QDir::Files);
    while (files.hasNext()) {
        QFile file(files.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        seeds << file.readAll();
    }
    QVERIFY(seeds.size() >= 10);

    QRandomGenerator random(20261210);
    const QList<QByteArray> pieces = {"<", ">", "/>", "\"", "'", "&", "&#", ";", "=", " ",
                                      "\n", "<PARAM>", "</PARAM>", "<FIELD attrname=\"Z\" fieldtype=\"i4\"/>",
                                      "<ROW/>", "&amp;", "&#x10FFFF;", "&#0;", "\xC3", "\xFF",
                                      "2147483648", "-", "T", ":", "RowState=\"1\"", "fieldtype=\"r8\""};
    int read = 0;
    QElapsedTimer timer;
    timer.start();
    for (int round = 0; round < 2000; ++round) {
        QByteArray bytes = seeds[random.bounded(int(seeds.size()))];
        const int edits = 1 + random.bounded(4);
        for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
            const int at = random.bounded(int(bytes.size()));
            switch (random.bounded(7)) {
            case 0: bytes[at] = char(random.bounded(256)); break;
            case 1: bytes.remove(at, 1 + random.bounded(16)); break;
            case 2: bytes.insert(at, pieces[random.bounded(int(pieces.size()))]); break;
            case 3: bytes.truncate(at); break;
            case 4: {
                const int length = 1 + random.bounded(64);
                bytes.insert(random.bounded(int(bytes.size())), bytes.mid(at, length));
                break;
            }
            case 5: bytes.insert(at, QByteArray("<PARAM>").repeated(1 + random.bounded(2000)));
                break;
            default:
                bytes.insert(at, QByteArray("<FIELD attrname=\"F\" fieldtype=\"x\"/>")
                                     .repeated(1 + random.bounded(5000)));
                break;
            }
        }
        QByteArray written;
        try {
            written = TableFile::serialize(TableFile::parse(bytes, QStringLiteral("M.cds")));
        } catch (const EDatabaseError &) {
            continue;
        }
        ++read;
        try {
            QCOMPARE(TableFile::serialize(TableFile::parse(written, QStringLiteral("S.cds"))),
                     written);
        } catch (const EDatabaseError &error) {
            QFAIL(qPrintable("a saved form does not read back: " + error.message()));
        }
    }
    qInfo("%d of 2000 mutants read, in %lld ms", read, timer.elapsed());
    QVERIFY(read > 0);
}

QTEST_GUILESS_MAIN(TstTableFileHostile)
#include "tst_tablefile_hostile.moc"
