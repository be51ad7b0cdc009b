#include "datadircheck.h"
#include "errors.h"
#include "localeservice.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace kiv;

namespace {

// Writes each file with its declared fields and no rows, under a name
// whose letter case differs from the windows' spelling, as a data
// directory copied from another system may have.
void writeCompleteDirectory(const QString &dir)
{
    for (const TableDecl &decl : DataDirectoryFiles()) {
        Table table;
        table.Declare(decl);
        table.CreateDataSet();
        table.SaveToFile(dir + u'/' + decl.fileName.toLower());
    }
}

void writeDeclared(const QString &path, const TableDecl &decl)
{
    Table table;
    table.Declare(decl);
    table.CreateDataSet();
    table.SaveToFile(path);
}

TableDecl withField(TableDecl decl, const QString &name, const FieldDef &replacement)
{
    for (FieldDef &field : decl.fields)
        if (field.name == name)
            field = replacement;
    return decl;
}

TableDecl withoutField(TableDecl decl, const QString &name)
{
    decl.fields.removeIf([&](const FieldDef &field) { return field.name == name; });
    return decl;
}

// The text the windows show when they load the file: the error of a table
// declared as they declare it.
QString loadError(const QString &path, const TableDecl &decl)
{
    Table table(decl.fileName);
    table.Declare(decl);
    try {
        table.LoadFromFile(path);
    } catch (const EDatabaseError &error) {
        return error.message();
    }
    return QString();
}

} // namespace

class TstDataDirCheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void completeDirectoryHasNoProblems();
    void everyFaultyFileIsListedWithTheLoadError();

    void dump_data();
    void dump();
};

void TstDataDirCheck::init()
{
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TstDataDirCheck::cleanup()
{
    LocaleService::resetToSystem();
}

void TstDataDirCheck::completeDirectoryHasNoProblems()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeCompleteDirectory(dir.path());
    // Fields the windows do not read are allowed.
    TableDecl produto = RefTables::produto(RefTables::ProductReader::Inventory);
    produto.fields.append(FieldDef::text(QStringLiteral("CDBARRAS"), 13));
    writeDeclared(dir.filePath(QStringLiteral("produto.cds")), produto);

    const QList<DataDirProblem> problems = CheckDataDirectory(dir.path());
    for (const DataDirProblem &problem : problems)
        qWarning("%s: %s", qPrintable(problem.fileName), qPrintable(problem.message));
    QVERIFY(problems.isEmpty());
}

void TstDataDirCheck::everyFaultyFileIsListedWithTheLoadError()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    writeCompleteDirectory(dir.path());
    const auto path = [&](const QString &name) { return dir.filePath(name.toLower()); };

    QVERIFY(QFile::remove(path(QStringLiteral("SERIE.cds"))));

    const TableDecl produto = RefTables::produto(RefTables::ProductReader::Inventory);
    writeDeclared(path(produto.fileName), withoutField(produto, QStringLiteral("CDPSQPROD")));

    const TableDecl filial = RefTables::filial();
    writeDeclared(path(filial.fileName),
                  withField(filial, QStringLiteral("NMFILIAL"),
                            FieldDef::text(QStringLiteral("NMFILIAL"), 40)));

    const TableDecl dataSoli = RefTables::dataSoli();
    writeDeclared(path(dataSoli.fileName),
                  withField(dataSoli, QStringLiteral("DTPROGENTR"),
                            FieldDef::of(QStringLiteral("DTPROGENTR"), FieldKind::Date)));

    // A save cut short by a crash of the copying tool.
    const TableDecl prevReti = RecordedTables::prevReti();
    {
        QFile file(path(prevReti.fileName));
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray bytes = file.readAll();
        QVERIFY(file.resize(bytes.size() / 2));
    }

    struct Expected
    {
        TableDecl decl;
        QStringList mentions;
    };
    const QList<Expected> expected = {
        {produto, {QStringLiteral("produto.cds"), QStringLiteral("CDPSQPROD")}},
        {filial, {QStringLiteral("filial.cds"), QStringLiteral("NMFILIAL"),
                  QStringLiteral("texto(40)"), QStringLiteral("texto(30)")}},
        {RefTables::serie(), {QStringLiteral("SERIE.cds")}},
        {dataSoli, {QStringLiteral("datasoli.cds"), QStringLiteral("DTPROGENTR")}},
        {prevReti, {QStringLiteral("prevreti.cds")}},
    };

    const QList<DataDirProblem> problems = CheckDataDirectory(dir.path());
    QStringList listed;
    for (const DataDirProblem &problem : problems)
        listed.append(problem.fileName);
    QStringList wanted;
    for (const Expected &e : expected)
        wanted.append(e.decl.fileName);
    QCOMPARE(listed, wanted);

    for (qsizetype i = 0; i < expected.size(); ++i) {
        const Expected &e = expected.at(i);
        const QString message = problems.at(i).message;
        QCOMPARE(message, loadError(dir.filePath(e.decl.fileName), e.decl));
        for (const QString &mention : e.mentions)
            QVERIFY2(message.contains(mention), qPrintable(message));
    }
}

void TstDataDirCheck::dump_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("dateFormat");
    QTest::newRow("comma, day first") << QChar(u',') << QStringLiteral("dd/MM/yyyy");
    QTest::newRow("point, month first") << QChar(u'.') << QStringLiteral("MM/dd/yyyy");
}

// Support staff compare dumps taken on different workstations, so the text
// depends on the file alone.
void TstDataDirCheck::dump()
{
    QFETCH(QChar, separator);
    QFETCH(QString, dateFormat);
    LocaleService::setDecimalSeparator(separator);
    LocaleService::setShortDateFormat(dateFormat);

    Table table;
    table.SetFieldDefs({
        FieldDef::text(QStringLiteral("NMPRODUTO"), 30),
        FieldDef::of(QStringLiteral("QTPESO"), FieldKind::Float),
        FieldDef::of(QStringLiteral("NRCAIXAS"), FieldKind::Integer),
        FieldDef::of(QStringLiteral("DTLANCESTQ"), FieldKind::Date),
        FieldDef::of(QStringLiteral("DTPREVRETI"), FieldKind::DateTime),
    });
    table.CreateDataSet();
    const auto add = [&](const QString &name, double weight, qint64 boxes, const QDate &day,
                         const QDateTime &when) {
        table.Append();
        table.FieldByName(QStringLiteral("NMPRODUTO"))->SetAsString(name);
        table.FieldByName(QStringLiteral("QTPESO"))->SetAsFloat(weight);
        table.FieldByName(QStringLiteral("NRCAIXAS"))->SetAsInteger(boxes);
        table.FieldByName(QStringLiteral("DTLANCESTQ"))->SetAsDate(day);
        table.FieldByName(QStringLiteral("DTPREVRETI"))->SetAsDateTime(when);
        table.Post();
    };
    add(QStringLiteral("Feijão carioca; tipo 1"), 2.5, -3, QDate(2026, 3, 10),
        QDateTime(QDate(2026, 3, 10), QTime(10, 20, 5, 123), Qt::UTC));
    add(QStringLiteral("Óleo de soja\nlata"), 0.1, 0, QDate(2026, 12, 31),
        QDateTime(QDate(2026, 12, 31), QTime(0, 0), Qt::UTC));
    add(QStringLiteral("Açúcar"), 1234567.125, 2147483647, QDate(2027, 1, 2),
        QDateTime(QDate(2027, 1, 2), QTime(23, 59, 59), Qt::UTC));
    table.Append();
    table.FieldByName(QStringLiteral("NMPRODUTO"))->SetAsString(QStringLiteral("Sal"));
    table.Post();

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("AMOSTRA.cds"));
    table.SaveToFile(path);

    QCOMPARE(DumpTableFile(path),
             QStringLiteral("Campos: 5\n"
                            "NMPRODUTO;texto;30\n"
                            "QTPESO;número;\n"
                            "NRCAIXAS;inteiro;\n"
                            "DTLANCESTQ;data;\n"
                            "DTPREVRETI;data e hora;\n"
                            "Linhas: 4\n"
                            "Feijão carioca; tipo 1;2.5;-3;2026-03-10;2026-03-10 10:20:05.123\n"
                            "Óleo de soja\\nlata;0.1;0;2026-12-31;2026-12-31 00:00:00\n"
                            "Açúcar;1234567.125;2147483647;2027-01-02;2027-01-02 23:59:59\n"
                            "Sal;;;;\n"));
}

QTEST_GUILESS_MAIN(TstDataDirCheck)
#include "tst_datadircheck.moc"
