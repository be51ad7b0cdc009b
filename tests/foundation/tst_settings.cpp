#include "settings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char kVariable[] = "KIV_REGISTRY_INI";

QString separator()
{
    return QString(QDir::separator());
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();
    void dirDadosFrom_data();
    void dirDadosFrom();
    void iniValue_data();
    void iniValue();
    void missingFileReadsEmptyAndIsNotCreated();
    void existingFileIsOnlyRead();

private:
    QString writeIni(const QByteArray &content);

    QTemporaryDir m_dir;
    QByteArray m_savedVariable;
    bool m_hadVariable = false;
};

void TestSettings::initTestCase()
{
#ifdef Q_OS_WIN
    QSKIP("on Windows the value comes from the registry");
#endif
    QVERIFY(m_dir.isValid());
    m_hadVariable = qEnvironmentVariableIsSet(kVariable);
    m_savedVariable = qgetenv(kVariable);
}

void TestSettings::cleanup()
{
    QDir(m_dir.path()).removeRecursively();
    QDir().mkpath(m_dir.path());
}

void TestSettings::cleanupTestCase()
{
    if (m_hadVariable)
        qputenv(kVariable, m_savedVariable);
    else
        qunsetenv(kVariable);
}

QString TestSettings::writeIni(const QByteArray &content)
{
    const QString path = m_dir.filePath(QStringLiteral("Ostrel.ini"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return QString();
    return path;
}

void TestSettings::dirDadosFrom_data()
{
    const QString sep = separator();
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("dirDados");
    QTest::newRow("without separator") << QStringLiteral("dados") << QStringLiteral("dados") + sep;
    QTest::newRow("with separator") << QStringLiteral("dados") + sep
                                    << QStringLiteral("dados") + sep;
    QTest::newRow("empty") << QString() << sep;
    QTest::newRow("separator alone") << sep << sep;
}

void TestSettings::dirDadosFrom()
{
    QFETCH(QString, value);
    QFETCH(QString, dirDados);
    QCOMPARE(kiv::DirDadosFrom(value), dirDados);
}

void TestSettings::iniValue_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("dirDados");
    const QString data = QStringLiteral("/srv/kiv/dados");
    const QString dataDir = data + u'/';
    QTest::newRow("without trailing separator") << QByteArray("KivpcDir=/srv/kiv/dados\n")
                                                << data << dataDir;
    QTest::newRow("with trailing separator") << QByteArray("KivpcDir=/srv/kiv/dados/\n")
                                             << dataDir << dataDir;
    QTest::newRow("under General, CRLF")
        << QByteArray("; Ostrel\r\n[General]\r\nKivpcDir=/srv/kiv/dados\r\n") << data
        << dataDir;
    QTest::newRow("name in other case, blanks around")
        << QByteArray("  kivpcdir = /srv/kiv/dados  \n") << data << dataDir;
    QTest::newRow("quoted") << QByteArray("KivpcDir=\"/srv/kiv/dados\"") << data << dataDir;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBFKivpcDir=/srv/kiv/dados")
                                     << data << dataDir;
    QTest::newRow("comma, backslash and accents kept")
        << QByteArray("KivpcDir=/srv/kiv/a,b\\c/Alimenta\xC3\xA7\xC3\xA3o")
        << QStringLiteral("/srv/kiv/a,b\\c/Alimentação")
        << QStringLiteral("/srv/kiv/a,b\\c/Alimentação/");
    QTest::newRow("entry in another section") << QByteArray("[Outro]\nKivpcDir=/srv/kiv\n")
                                              << QString() << QStringLiteral("/");
    QTest::newRow("missing entry") << QByteArray("KivpcDirX=/srv/kiv\n") << QString()
                                   << QStringLiteral("/");
    QTest::newRow("commented out") << QByteArray("#KivpcDir=/srv/kiv\n") << QString()
                                   << QStringLiteral("/");
    QTest::newRow("empty value") << QByteArray("KivpcDir=\n") << QString()
                                 << QStringLiteral("/");
    QTest::newRow("empty file") << QByteArray() << QString() << QStringLiteral("/");
}

void TestSettings::iniValue()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, value);
    QFETCH(QString, dirDados);
    const QString path = writeIni(content);
    QVERIFY(!path.isEmpty());
    qputenv(kVariable, QFile::encodeName(path));
    QCOMPARE(kiv::ReadKivpcDir(), value);
    QCOMPARE(kiv::DirDados(), dirDados);
}

void TestSettings::missingFileReadsEmptyAndIsNotCreated()
{
    const QString inFolder = m_dir.filePath(QStringLiteral("Ostrel.ini"));
    const QString inMissingFolder = m_dir.filePath(QStringLiteral("etc/kiv/Ostrel.ini"));
    for (const QString &path : {inFolder, inMissingFolder}) {
        qputenv(kVariable, QFile::encodeName(path));
        QCOMPARE(kiv::ReadKivpcDir(), QString());
        QCOMPARE(kiv::DirDados(), QStringLiteral("/"));
        QVERIFY(!QFileInfo::exists(path));
    }
    QVERIFY(QDir(m_dir.path()).isEmpty());
}

void TestSettings::existingFileIsOnlyRead()
{
    const QByteArray content("[General]\nKivpcDir=/srv/kiv/dados\nOutro=1\n");
    const QString path = writeIni(content);
    QVERIFY(!path.isEmpty());
    const QDateTime written = QFileInfo(path).lastModified();
    qputenv(kVariable, QFile::encodeName(path));

    QCOMPARE(kiv::DirDados(), QStringLiteral("/srv/kiv/dados/"));

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
    QCOMPARE(QFileInfo(path).lastModified(), written);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("Ostrel.ini")});
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
