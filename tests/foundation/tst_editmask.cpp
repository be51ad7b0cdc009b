#include "editmask.h"
#include "localeservice.h"

#include <QTest>

class TestEditMask : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanupTestCase();
    void fromPlatform_data();
    void fromPlatform();
    void slashIsTheLocaleDateSeparator();
    void dateMask_data();
    void dateMask();
    void storedText_data();
    void storedText();
    void displayText_data();
    void displayText();
};

void TestEditMask::init()
{
    kiv::LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TestEditMask::cleanupTestCase()
{
    kiv::LocaleService::resetToSystem();
}

void TestEditMask::fromPlatform_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("qtMask");
    QTest::addColumn<bool>("saveLiterals");
    QTest::addColumn<QChar>("blank");
    QTest::newRow("branch code") << QStringLiteral("9999;0; ") << QStringLiteral("0000; ")
                                 << false << QChar(u' ');
    QTest::newRow("date") << QStringLiteral("!99/99/0000;1;_")
                          << QStringLiteral("00/00/9999;_") << true << QChar(u'_');
    QTest::newRow("product with a blank appended") << QStringLiteral("99.99.999;1;_ ")
                                                   << QStringLiteral("00.00.000;_") << true
                                                   << QChar(u'_');
    QTest::newRow("required before optional") << QStringLiteral("0099")
                                              << QStringLiteral("9900;_") << true
                                              << QChar(u'_');
    QTest::newRow("letters and case") << QStringLiteral(">LL<ll")
                                      << QStringLiteral(">AA<aa;_") << true << QChar(u'_');
    QTest::newRow("alphanumerics and any character") << QStringLiteral("AaCc")
                                                     << QStringLiteral("NnXx;_") << true
                                                     << QChar(u'_');
    QTest::newRow("case left alone") << QStringLiteral("<>cc") << QStringLiteral("!xx;_")
                                     << true << QChar(u'_');
    QTest::newRow("sign") << QStringLiteral("#99") << QStringLiteral("#00;_") << true
                          << QChar(u'_');
    QTest::newRow("time") << QStringLiteral("00:00;1;_") << QStringLiteral("99:99;_") << true
                          << QChar(u'_');
    QTest::newRow("underscore is a blank") << QStringLiteral("000_000")
                                           << QStringLiteral("999 999;_") << true
                                           << QChar(u'_');
    QTest::newRow("escaped mask characters") << QStringLiteral("\\0\\9\\A-0")
                                             << QStringLiteral("\\0\\9\\A-9;_") << true
                                             << QChar(u'_');
    QTest::newRow("literals Qt reads as places")
        << QStringLiteral("NF-DdHhBbXx[]{}0")
        << QStringLiteral("\\NF-\\D\\d\\H\\h\\B\\b\\X\\x\\[\\]\\{\\}9;_") << true
        << QChar(u'_');
    QTest::newRow("escaped semicolon does not end the mask")
        << QStringLiteral("00\\;00;0;*") << QStringLiteral("9999;*") << false << QChar(u'*');
    QTest::newRow("save flag other than 0") << QStringLiteral("000;x;_")
                                            << QStringLiteral("999;_") << true << QChar(u'_');
    QTest::newRow("no blank field") << QStringLiteral("000;0") << QStringLiteral("999;_")
                                    << false << QChar(u'_');
    QTest::newRow("empty blank field") << QStringLiteral("000;0;") << QStringLiteral("999;_")
                                       << false << QChar(u'_');
    QTest::newRow("no mask") << QString() << QString() << true << QChar(u'_');
}

void TestEditMask::fromPlatform()
{
    QFETCH(QString, platform);
    QFETCH(QString, qtMask);
    QFETCH(bool, saveLiterals);
    QFETCH(QChar, blank);
    const kiv::EditMask mask = kiv::EditMask::fromPlatform(platform);
    QCOMPARE(mask.qtMask, qtMask);
    QCOMPARE(mask.saveLiterals, saveLiterals);
    QCOMPARE(mask.blank, blank);
}

void TestEditMask::slashIsTheLocaleDateSeparator()
{
    kiv::LocaleService::setShortDateFormat(QStringLiteral("dd.MM.yyyy"));
    QCOMPARE(kiv::EditMask::fromPlatform(QStringLiteral("99/99;1;_")).qtMask,
             QStringLiteral("00.00;_"));
    kiv::LocaleService::setShortDateFormat(QStringLiteral("yyyy-MM-dd"));
    QCOMPARE(kiv::EditMask::fromPlatform(QStringLiteral("99/99;1;_")).qtMask,
             QStringLiteral("00-00;_"));
}

void TestEditMask::dateMask_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("qtMask");
    QTest::newRow("day first") << QStringLiteral("dd/MM/yyyy")
                               << QStringLiteral("!99/99/0000;1;_")
                               << QStringLiteral("00/00/9999;_");
    QTest::newRow("month first") << QStringLiteral("MM/dd/yyyy")
                                 << QStringLiteral("!99/99/0000;1;_")
                                 << QStringLiteral("00/00/9999;_");
    QTest::newRow("year first") << QStringLiteral("yyyy-MM-dd")
                                << QStringLiteral("!0000-99-99;1;_")
                                << QStringLiteral("9999-00-00;_");
    QTest::newRow("dots") << QStringLiteral("dd.MM.yyyy") << QStringLiteral("!99.99.0000;1;_")
                          << QStringLiteral("00.00.9999;_");
}

void TestEditMask::dateMask()
{
    QFETCH(QString, format);
    QFETCH(QString, platform);
    QFETCH(QString, qtMask);
    kiv::LocaleService::setShortDateFormat(format);
    QCOMPARE(kiv::DateMask(), platform);
    const kiv::EditMask mask = kiv::EditMask::fromPlatform(kiv::DateMask());
    QCOMPARE(mask.qtMask, qtMask);
    QVERIFY(mask.saveLiterals);
}

void TestEditMask::storedText_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("qtText");
    QTest::addColumn<QString>("stored");
    const QString branch = QStringLiteral("9999;0; ");
    QTest::newRow("branch typed in full") << branch << QStringLiteral("0001")
                                          << QStringLiteral("0001");
    QTest::newRow("branch typed short") << branch << QStringLiteral("1") << QStringLiteral("1");
    QTest::newRow("branch only blanks") << branch << QString() << QString();

    const QString date = QStringLiteral("!99/99/0000;1;_");
    QTest::newRow("date") << date << QStringLiteral("01/02/2024")
                          << QStringLiteral("01/02/2024");
    QTest::newRow("date with one-digit day") << date << QStringLiteral("1/2/2024")
                                             << QStringLiteral("1/2/2024");
    QTest::newRow("date left empty") << date << QStringLiteral("//") << QString();

    const QString bareDate = QStringLiteral("!99/99/0000;0;_");
    QTest::newRow("date without literals") << bareDate << QStringLiteral("01/02/2024")
                                           << QStringLiteral("01022024");
    QTest::newRow("date without literals left empty") << bareDate << QStringLiteral("//")
                                                      << QString();

    const QString product = QStringLiteral("99.99.999;1;_ ");
    QTest::newRow("product") << product << QStringLiteral("12.34.567")
                             << QStringLiteral("12.34.567");
    QTest::newRow("product left empty") << product << QStringLiteral("..") << QString();

    const QString letterN = QStringLiteral("\\N-999;0;_");
    QTest::newRow("literal that is a Qt mask character") << letterN << QStringLiteral("N-123")
                                                         << QStringLiteral("123");
    QTest::newRow("literal that is a Qt mask character alone") << letterN
                                                               << QStringLiteral("N-")
                                                               << QString();

    // Any-character places can hold the literal itself.
    const QString pairs = QStringLiteral("cc-cc;0;_");
    QTest::newRow("typed dash before the literal") << pairs << QStringLiteral("a--b")
                                                   << QStringLiteral("a-b");
    QTest::newRow("typed dash with the second place empty") << pairs << QStringLiteral("-b-")
                                                            << QStringLiteral("-b");
    QTest::newRow("text the mask cannot give is kept") << QStringLiteral("9999;0; ")
                                                       << QStringLiteral("12a")
                                                       << QStringLiteral("12a");
}

void TestEditMask::storedText()
{
    QFETCH(QString, platform);
    QFETCH(QString, qtText);
    QFETCH(QString, stored);
    QCOMPARE(kiv::EditMask::fromPlatform(platform).storedText(qtText), stored);
}

void TestEditMask::displayText_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("display");
    QTest::newRow("branch") << QStringLiteral("9999;0; ") << QStringLiteral("0001")
                            << QStringLiteral("0001");
    QTest::newRow("date without literals") << QStringLiteral("!99/99/0000;0;_")
                                           << QStringLiteral("01022024")
                                           << QStringLiteral("01/02/2024");
    QTest::newRow("date with literals") << QStringLiteral("!99/99/0000;1;_")
                                        << QStringLiteral("01/02/2024")
                                        << QStringLiteral("01/02/2024");
    QTest::newRow("product without literals") << QStringLiteral("99.99.999;0;_")
                                              << QStringLiteral("1234567")
                                              << QStringLiteral("12.34.567");
    QTest::newRow("leading literal") << QStringLiteral("\\N-999;0;_") << QStringLiteral("123")
                                     << QStringLiteral("N-123");
    QTest::newRow("empty") << QStringLiteral("!99/99/0000;0;_") << QString() << QString();
}

void TestEditMask::displayText()
{
    QFETCH(QString, platform);
    QFETCH(QString, stored);
    QFETCH(QString, display);
    const kiv::EditMask mask = kiv::EditMask::fromPlatform(platform);
    QCOMPARE(mask.displayText(stored), display);
    QCOMPARE(mask.storedText(display), stored);
}

QTEST_GUILESS_MAIN(TestEditMask)
#include "tst_editmask.moc"
