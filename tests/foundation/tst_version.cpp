#include "version.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestVersion : public QObject
{
    Q_OBJECT

private slots:
    void fourPartVersion_data();
    void fourPartVersion();
    void runningProgramHasAFourPartVersion();
    void otherNamesOfTheProgramGiveTheSameVersion();
    void otherPathsGiveNoVersion_data();
    void otherPathsGiveNoVersion();

private:
    QTemporaryDir m_dir;
};

void TestVersion::fourPartVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("expected");
    QTest::newRow("three parts") << QStringLiteral("1.0.0") << QStringLiteral("1.0.0.0");
    QTest::newRow("one part") << QStringLiteral("2") << QStringLiteral("2.0.0.0");
    QTest::newRow("four parts") << QStringLiteral("1.2.3.4") << QStringLiteral("1.2.3.4");
    QTest::newRow("five parts") << QStringLiteral("1.2.3.4.5") << QStringLiteral("1.2.3.4");
    QTest::newRow("empty part") << QStringLiteral("3..1") << QStringLiteral("3.0.1.0");
}

void TestVersion::fourPartVersion()
{
    QFETCH(QString, version);
    QFETCH(QString, expected);
    QCOMPARE(kiv::FourPartVersion(version), expected);
}

void TestVersion::runningProgramHasAFourPartVersion()
{
    static const QRegularExpression fourParts(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+$"));
    const QString version = kiv::GetFileVersion(QCoreApplication::applicationFilePath());
    QVERIFY2(fourParts.match(version).hasMatch(), qPrintable(version));
}

void TestVersion::otherNamesOfTheProgramGiveTheSameVersion()
{
    const QString program = QCoreApplication::applicationFilePath();
    const QString version = kiv::GetFileVersion(program);
    QVERIFY(!version.isEmpty());

    QCOMPARE(kiv::GetFileVersion(QDir::current().relativeFilePath(program)), version);
    QVERIFY(m_dir.isValid());
    const QString link = m_dir.filePath(QStringLiteral("kiv-link"));
    if (!QFile::link(program, link))
        QSKIP("symbolic links are not available here");
    QCOMPARE(kiv::GetFileVersion(link), version);
}

void TestVersion::otherPathsGiveNoVersion_data()
{
    QVERIFY(m_dir.isValid());
    const QString program = QCoreApplication::applicationFilePath();
    const QString copy = m_dir.filePath(QStringLiteral("kiv-copy"));
    QVERIFY(QFile::exists(copy) || QFile::copy(program, copy));

    QTest::addColumn<QString>("path");
    QTest::newRow("empty path") << QString();
    QTest::newRow("missing file") << m_dir.filePath(QStringLiteral("missing.exe"));
    QTest::newRow("program's folder") << QFileInfo(program).absolutePath();
    QTest::newRow("copy of the program") << copy;
}

void TestVersion::otherPathsGiveNoVersion()
{
    QFETCH(QString, path);
    QCOMPARE(kiv::GetFileVersion(path), QString());
}

QTEST_GUILESS_MAIN(TestVersion)
#include "tst_version.moc"
