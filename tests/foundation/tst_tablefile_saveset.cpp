#include "errors.h"
#include "table.h"
#include "tablefile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace kiv;

namespace {

const QByteArray header = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                          "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>\n";

QByteArray packet(const QByteArray &rows)
{
    return header + "<FIELD attrname=\"NRLANCNFE\" fieldtype=\"i4\"/>\n"
                    "<FIELD attrname=\"DSTEXTO\" fieldtype=\"string\" WIDTH=\"60\"/>\n"
                    "</FIELDS><PARAMS/></METADATA><ROWDATA>\n"
           + rows + "</ROWDATA></DATAPACKET>\n";
}

const QStringList setFiles = {"LANCENTR.cds", "ITEMENTR.cds", "VENCENTR.cds"};

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

QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                               QDir::Name);
}

// A document's three tables, each holding the old document 1 as loaded
// from the data directory, then document 2 added.
struct Document
{
    Table header{"cdsLancEntr"};
    Table items{"cdsItemEntr"};
    Table dues{"cdsVencEntr"};

    explicit Document(const QDir &dir, int rowsPerTable = 1)
    {
        for (Table *table : {&header, &items, &dues}) {
            table->SetFieldDefs({FieldDef::of("NRLANCNFE", FieldKind::Integer),
                                 FieldDef::text("DSTEXTO", 60)});
            table->CreateDataSet();
        }
        int i = 0;
        for (Table *table : {&header, &items, &dues}) {
            table->LoadFromFile(dir.filePath(setFiles[i++]));
            for (int row = 0; row < rowsPerTable; ++row) {
                table->Append();
                table->FieldByName("NRLANCNFE")->SetAsInteger(2);
                table->FieldByName("DSTEXTO")->SetAsString(QString(60, u'x'));
                table->Post();
            }
        }
    }
    QList<QPair<const Table *, QString>> saves(const QDir &dir) const
    {
        return {{&header, dir.filePath(setFiles[0])},
                {&items, dir.filePath(setFiles[1])},
                {&dues, dir.filePath(setFiles[2])}};
    }
};

// The old set on disk: document 1 in every file, each file's own text.
QList<QByteArray> writeOldSet(const QDir &dir)
{
    QList<QByteArray> old;
    for (const QString &name : setFiles) {
        old << packet("<ROW NRLANCNFE=\"1\" DSTEXTO=\"" + name.toUtf8() + "\"/>\n");
        writeFile(dir.filePath(name), old.last());
    }
    return old;
}

} // namespace

class TstTableFileSaveSet : public QObject
{
    Q_OBJECT

private slots:
    void failedRenameUndoesTheSet_data();
    void failedRenameUndoesTheSet();
    void readOnlyFileNotReplaced_data();
    void readOnlyFileNotReplaced();
    void diskFullKeepsEveryOldFile();
    void interruptedSetFinishedAtStart_data();
    void interruptedSetFinishedAtStart();
    void killedSavesLeftoversRemoved();
};

void TstTableFileSaveSet::failedRenameUndoesTheSet_data()
{
    QTest::addColumn<int>("blocked");
    QTest::newRow("first file") << 0;
    QTest::newRow("second file") << 1;
    QTest::newRow("last file") << 2;
}

// A target that cannot be replaced (a directory stands in for a file that
// another program holds open on Windows): the renames already made are
// undone, every old file stays byte for byte, and the save is reported as
// not done.
void TstTableFileSaveSet::failedRenameUndoesTheSet()
{
    QFETCH(int, blocked);
    QTemporaryDir temporary;
    const QDir dir(temporary.path());
    QList<QByteArray> old = writeOldSet(dir);
    Document document(dir);
    QVERIFY(QFile::remove(dir.filePath(setFiles[blocked])));
    QVERIFY(dir.mkpath(setFiles[blocked] + "/ocupado"));
    old[blocked] = "<missing>";
    const QStringList before = entries(dir.path());

    try {
        Table::SaveToFiles(document.saves(dir));
        QFAIL("the save succeeded");
    } catch (const EDatabaseError &error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(dir.filePath(setFiles[blocked]))),
                 qPrintable(error.message()));
    }
    for (int i = 0; i < setFiles.size(); ++i)
        QCOMPARE(readFile(dir.filePath(setFiles[i])), old[i]);
    QCOMPARE(entries(dir.path()), before);
    QCOMPARE(TableFile::recover(dir.path()).message(), QString());

    // Once the file can be replaced the same tables save whole.
    QVERIFY(QDir(dir.filePath(setFiles[blocked])).removeRecursively());
    Table::SaveToFiles(document.saves(dir));
    QCOMPARE(readFile(dir.filePath(setFiles[2])), document.dues.SavedContent());
    QCOMPARE(entries(dir.path()), QStringList({"ITEMENTR.cds", "LANCENTR.cds", "VENCENTR.cds"}));
}

void TstTableFileSaveSet::readOnlyFileNotReplaced_data()
{
    QTest::addColumn<bool>("alone");
    QTest::newRow("one file") << true;
    QTest::newRow("in a set") << false;
}

// Judged by the file's own mark, so it holds for the superuser too.
void TstTableFileSaveSet::readOnlyFileNotReplaced()
{
    QFETCH(bool, alone);
    QTemporaryDir temporary;
    const QDir dir(temporary.path());
    const QList<QByteArray> old = writeOldSet(dir);
    Document document(dir);
    const QString marked = dir.filePath(setFiles[1]);
    QVERIFY(QFile::setPermissions(marked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    try {
        if (alone)
            document.items.SaveToFile(marked);
        else
            Table::SaveToFiles(document.saves(dir));
        QFAIL("a read-only file was replaced");
    } catch (const EDatabaseError &error) {
        QVERIFY2(error.message().contains(QDir::toNativeSeparators(marked))
                     && error.message().contains("somente leitura"),
                 qPrintable(error.message()));
    }
    for (int i = 0; i < setFiles.size(); ++i)
        QCOMPARE(readFile(dir.filePath(setFiles[i])), old[i]);
    QCOMPARE(entries(dir.path()), QStringList({"ITEMENTR.cds", "LANCENTR.cds", "VENCENTR.cds"}));
    QFile::setPermissions(marked, QFile::ReadOwner | QFile::WriteOwner);
}

// A save larger than the room left: the file size limit stands in for a
// full disk (the write fails part-way, as it does when the disk fills).
void TstTableFileSaveSet::diskFullKeepsEveryOldFile()
{
#ifndef Q_OS_UNIX
    QSKIP("the file size limit is a Unix matter");
#else
    QTemporaryDir temporary;
    const QDir dir(temporary.path());
    const QList<QByteArray> old = writeOldSet(dir);
    Document document(dir, 2000);  // about 200 KB a file
    const QStringList before = entries(dir.path());

    struct rlimit previous;
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limited = previous;
    limited.rlim_cur = 64 * 1024;
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    QString message;
    try {
        Table::SaveToFiles(document.saves(dir));
    } catch (const EDatabaseError &error) {
        message = error.message();
    }
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY2(message.contains(QDir::toNativeSeparators(dir.filePath(setFiles[0]))),
             qPrintable(message));
    for (int i = 0; i < setFiles.size(); ++i)
        QCOMPARE(readFile(dir.filePath(setFiles[i])), old[i]);
    QCOMPARE(entries(dir.path()), before);
#endif
}

void TstTableFileSaveSet::interruptedSetFinishedAtStart_data()
{
    // What a crash leaves: the record of the set (as far as it was written),
    // the temporaries not yet renamed, the second names of the old files.
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QStringList>("renamed");   // already in place when the crash came
    QTest::addColumn<bool>("forward");          // new content expected, else the old
    QTest::addColumn<QString>("message");

    const QByteArray lines = "KIV SAVE SET 1\n"
                             "LANCENTR.cds\t.LANCENTR.cds.77-1.tmp\t.LANCENTR.cds.77-4.old\n"
                             "ITEMENTR.cds\t.ITEMENTR.cds.77-2.tmp\t.ITEMENTR.cds.77-5.old\n"
                             "VENCENTR.cds\t.VENCENTR.cds.77-3.tmp\t.VENCENTR.cds.77-6.old\n";
    QTest::newRow("between two renames")
        << lines + "END\n" << QStringList{"LANCENTR.cds"} << true
        << "A gravação interrompida de ITEMENTR.cds e VENCENTR.cds foi concluída.";
    QTest::newRow("before the first rename")
        << lines + "END\n" << QStringList() << true
        << "A gravação interrompida de LANCENTR.cds, ITEMENTR.cds e VENCENTR.cds foi concluída.";
    QTest::newRow("after the last rename")
        << lines + "END\n" << setFiles << true << QString();
    QTest::newRow("record cut short") << lines.left(lines.size() - 20) << QStringList() << false
                                      << QString();
    QTest::newRow("while undoing a failed rename")
        << lines + "END\nUNDO\n" << QStringList{"LANCENTR.cds", "ITEMENTR.cds"} << false
        << "A gravação interrompida de LANCENTR.cds, ITEMENTR.cds e VENCENTR.cds foi desfeita.";
}

void TstTableFileSaveSet::interruptedSetFinishedAtStart()
{
    QFETCH(QByteArray, record);
    QFETCH(QStringList, renamed);
    QFETCH(bool, forward);
    QFETCH(QString, message);

    QTemporaryDir temporary;
    const QDir dir(temporary.path());
    const QList<QByteArray> old = writeOldSet(dir);
    QList<QByteArray> fresh;
    for (int i = 0; i < setFiles.size(); ++i) {
        const QString name = setFiles[i];
        fresh << packet("<ROW NRLANCNFE=\"1\"/>\n<ROW NRLANCNFE=\"2\" DSTEXTO=\"" + name.toUtf8()
                        + "\"/>\n");
        QVERIFY(QFile::copy(dir.filePath(name),
                            dir.filePath(QString(".%1.77-%2.old").arg(name).arg(i + 4))));
        const QString temporaryFile = dir.filePath(QString(".%1.77-%2.tmp").arg(name).arg(i + 1));
        writeFile(temporaryFile, fresh.last());
        if (renamed.contains(name)) {
            QVERIFY(QFile::remove(dir.filePath(name)));
            QVERIFY(QFile::rename(temporaryFile, dir.filePath(name)));
        }
    }
    writeFile(dir.filePath(".kiv-save.77-7.set"), record);

    const TableFile::Recovery recovery = TableFile::recover(dir.path());
    QCOMPARE(recovery.message(), message);
    for (int i = 0; i < setFiles.size(); ++i) {
        const QByteArray expected = forward || (!record.contains("UNDO") && renamed.contains(setFiles[i]))
                                        ? fresh[i]
                                        : old[i];
        QCOMPARE(readFile(dir.filePath(setFiles[i])), expected);
    }
    QCOMPARE(entries(dir.path()), QStringList({"ITEMENTR.cds", "LANCENTR.cds", "VENCENTR.cds"}));
}

// Each killed save used to leave a hidden temporary that nothing removed.
// The next start removes them, and they are never taken for table files.
void TstTableFileSaveSet::killedSavesLeftoversRemoved()
{
    QTemporaryDir temporary;
    const QDir dir(temporary.path());
    writeOldSet(dir);
    const QStringList leftovers = {".LANCENTR.cds.4242-1.tmp", ".LANCENTR.cds.4242-9.old",
                                   ".PRODUTO.CDS.17-3.tmp"};
    for (const QString &name : leftovers)
        writeFile(dir.filePath(name), packet("<ROW NRLANCNFE=\"9\"/>\n"));
    const QStringList kept = {".kiv.lock", "ITEMENTR.cds", "LANCENTR.cds", "VENCENTR.cds",
                              "notas.tmp"};
    writeFile(dir.filePath(".kiv.lock"), "4242\nkiv\n");
    writeFile(dir.filePath("notas.tmp"), "not ours");

    Table table;
    table.SetFieldDefs({FieldDef::of("NRLANCNFE", FieldKind::Integer)});
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, table.LoadFromFile(dir.filePath("PRODUTO.CDS")));

    const TableFile::Recovery recovery = TableFile::recover(dir.path());
    QCOMPARE(recovery.removedTemporaries, 3);
    QCOMPARE(recovery.message(), QString());
    QCOMPARE(entries(dir.path()), kept);
}

QTEST_GUILESS_MAIN(TstTableFileSaveSet)
#include "tst_tablefile_saveset.moc"
