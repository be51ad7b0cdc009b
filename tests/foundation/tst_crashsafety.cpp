// Kills a program that posts and saves in a loop at random moments and
// checks, after each kill and the start-up recovery, that the data directory
// is sound. The program is this test's own executable, started again with
// KIV_CRASH_CHILD naming the data directory.
#include "errors.h"
#include "table.h"
#include "tablefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <map>
#include <set>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

using namespace kiv;

namespace {

const char childVariable[] = "KIV_CRASH_CHILD";
const QString countFile = QStringLiteral("INVENTARIO.cds");
const QStringList setFiles = {"LANCENTR.cds", "ITEMENTR.cds", "VENCENTR.cds"};

// Every table holds a document number and a line of text, so that the
// files grow as documents are added and a save takes a while.
void declare(Table &table)
{
    table.SetFieldDefs({FieldDef::of("NRLANCNFE", FieldKind::Integer),
                        FieldDef::of("NRITEM", FieldKind::Integer),
                        FieldDef::text("DSTEXTO", 80)});
}

void addRow(Table &table, int document, int item)
{
    table.Append();
    table.FieldByName("NRLANCNFE")->SetAsInteger(document);
    table.FieldByName("NRITEM")->SetAsInteger(item);
    table.FieldByName("DSTEXTO")->SetAsString(
        QStringLiteral("documento %1, linha %2 ").arg(document).arg(item).leftJustified(80, u'.'));
    table.Post();
}

// The documents of a table: number -> rows.
std::map<int, int> documents(const Table &table)
{
    std::map<int, int> out;
    const int field = table.FieldByName("NRLANCNFE")->Index();
    for (int row = 0; row < table.ViewCount(); ++row)
        ++out[table.ValueAt(row, field).toInt()];
    return out;
}

void say(const QByteArray &line)
{
#ifdef Q_OS_UNIX
    // Straight to the pipe: what is said is said, whenever the kill comes.
    if (::write(STDOUT_FILENO, line.constData(), size_t(line.size())) < 0)
        return;
#endif
}

// The program being killed: loads the files, then for ever adds a count
// row and saves its file, and adds a document (a header, two items, a due
// date) and saves the three files together, saying after each save how
// many the file now holds.
int runChild(const QString &directory)
{
    const QDir dir(directory);
    Table count("cdsInventario");
    Table header("cdsLancEntr");
    Table items("cdsItemEntr");
    Table dues("cdsVencEntr");
    try {
        for (Table *table : {&count, &header, &items, &dues})
            declare(*table);
        count.LoadFromFile(dir.filePath(countFile));
        header.LoadFromFile(dir.filePath(setFiles[0]));
        items.LoadFromFile(dir.filePath(setFiles[1]));
        dues.LoadFromFile(dir.filePath(setFiles[2]));
        for (;;) {
            const int counted = count.RecordCount() + 1;
            addRow(count, counted, 1);
            count.SaveToFile(dir.filePath(countFile));
            say("count " + QByteArray::number(counted) + '\n');

            const int document = header.RecordCount() + 1;
            addRow(header, document, 0);
            addRow(items, document, 1);
            addRow(items, document, 2);
            addRow(dues, document, 1);
            Table::SaveToFiles({{&header, dir.filePath(setFiles[0])},
                                {&items, dir.filePath(setFiles[1])},
                                {&dues, dir.filePath(setFiles[2])}});
            say("set " + QByteArray::number(document) + '\n');
        }
    } catch (const KivError &error) {
        say("error " + error.message().toUtf8() + '\n');
        return 1;
    }
}

// The last number the child said after a save of the given kind; before
// the last run's first save, what the files held when it started.
int lastSaid(const QByteArray &output, const QByteArray &kind, int before)
{
    int last = before;
    for (const QByteArray &line : output.split('\n'))
        if (line.startsWith(kind + ' '))
            last = line.mid(kind.size() + 1).toInt();
    return last;
}

} // namespace

class TstCrashSafety : public QObject
{
    Q_OBJECT

private slots:
    void killedWhileSavingLeavesSoundFiles();
};

void TstCrashSafety::killedWhileSavingLeavesSoundFiles()
{
#ifndef Q_OS_UNIX
    QSKIP("SIGKILL is a Unix matter");
#else
    QTemporaryDir temporary;
    const QDir dir(temporary.path());
    {
        Table empty;
        declare(empty);
        empty.CreateDataSet();
        empty.SaveToFile(dir.filePath(countFile));
        for (const QString &name : setFiles)
            empty.SaveToFile(dir.filePath(name));
    }
    const QStringList expectedEntries = {"INVENTARIO.cds", "ITEMENTR.cds", "LANCENTR.cds",
                                         "VENCENTR.cds"};

    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    qInfo("seed %u", seed);
    int counted = 0;     // count rows on disk after the last recovery
    int documentsOnDisk = 0;
    int kills = 0;
    int finishedSets = 0;
    QElapsedTimer timer;
    timer.start();
    while (kills < 40 && timer.elapsed() < 15000) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(childVariable, dir.path());
        child.setProcessEnvironment(environment);
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForStarted());
        QThread::msleep(10 + random.bounded(140));
        child.kill();  // SIGKILL
        QVERIFY(child.waitForFinished());
        ++kills;
        const QByteArray output = child.readAllStandardOutput();
        QVERIFY2(!output.contains("error"), output.constData());

        const TableFile::Recovery recovery = TableFile::recover(dir.path());
        if (!recovery.completed.isEmpty())
            ++finishedSets;
        QVERIFY2(recovery.restored.isEmpty(), qPrintable(recovery.message()));

        // Every file loads and holds the old or the new content.
        Table count;
        declare(count);
        count.LoadFromFile(dir.filePath(countFile));
        const int saidCount = lastSaid(output, "count", counted);
        const std::map<int, int> counts = documents(count);
        QVERIFY2(count.RecordCount() == saidCount || count.RecordCount() == saidCount + 1,
                 qPrintable(QString("%1 rows, %2 said").arg(count.RecordCount()).arg(saidCount)));
        QCOMPARE(int(counts.size()), count.RecordCount());
        QVERIFY(counts.empty() || counts.rbegin()->first == count.RecordCount());
        counted = count.RecordCount();

        // The three files of the set describe the same documents.
        Table header;
        Table items;
        Table dues;
        for (Table *table : {&header, &items, &dues})
            declare(*table);
        header.LoadFromFile(dir.filePath(setFiles[0]));
        items.LoadFromFile(dir.filePath(setFiles[1]));
        dues.LoadFromFile(dir.filePath(setFiles[2]));
        const int saidSet = lastSaid(output, "set", documentsOnDisk);
        QVERIFY2(header.RecordCount() == saidSet || header.RecordCount() == saidSet + 1,
                 qPrintable(QString("%1 documents, %2 said").arg(header.RecordCount()).arg(saidSet)));
        const std::map<int, int> headers = documents(header);
        const std::map<int, int> itemsOf = documents(items);
        const std::map<int, int> duesOf = documents(dues);
        QCOMPARE(int(headers.size()), header.RecordCount());
        QCOMPARE(itemsOf.size(), headers.size());
        QCOMPARE(duesOf.size(), headers.size());
        for (const auto &[document, rows] : headers) {
            QCOMPARE(rows, 1);
            QCOMPARE(itemsOf.count(document) ? itemsOf.at(document) : 0, 2);
            QCOMPARE(duesOf.count(document) ? duesOf.at(document) : 0, 1);
        }
        documentsOnDisk = header.RecordCount();

        // No temporary, no record of a set is left.
        QCOMPARE(dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name),
                 expectedEntries);
    }
    qInfo("%d kills in %lld ms: %d count rows and %d documents saved, %d sets finished by the "
          "recovery",
          kills, timer.elapsed(), counted, documentsOnDisk, finishedSets);
    QVERIFY(kills >= 20);
    QVERIFY2(counted > 0 && documentsOnDisk > 0, "the child never saved");
#endif
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString childDirectory = qEnvironmentVariable(childVariable);
    if (!childDirectory.isEmpty())
        return runChild(childDirectory);
    TstCrashSafety test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_crashsafety.moc"
