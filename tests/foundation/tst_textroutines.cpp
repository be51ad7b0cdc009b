#include "textroutines.h"

#include <QTest>

class TestTextRoutines : public QObject
{
    Q_OBJECT

private slots:
    void emptyString_data();
    void emptyString();
    void allTrim();
    void ajusta_data();
    void ajusta();
    void quotedStr_data();
    void quotedStr();
};

void TestTextRoutines::emptyString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("empty");
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("blanks") << QStringLiteral("    ") << true;
    QTest::newRow("tab and line end") << QStringLiteral(" \t\r\n") << true;
    QTest::newRow("zero") << QStringLiteral("0") << false;
    QTest::newRow("letter among blanks") << QStringLiteral("  a  ") << false;
}

void TestTextRoutines::emptyString()
{
    QFETCH(QString, text);
    QFETCH(bool, empty);
    QCOMPARE(kiv::EmptyString(text), empty);
}

void TestTextRoutines::allTrim()
{
    QCOMPARE(kiv::AllTrim(QStringLiteral("  Cozinha Central \t")),
             QStringLiteral("Cozinha Central"));
    QCOMPARE(kiv::AllTrim(QStringLiteral("   ")), QString());
}

void TestTextRoutines::ajusta_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");
    QTest::newRow("operation type 1") << QStringLiteral("1") << 2 << QStringLiteral("01");
    QTest::newRow("branch 1") << QStringLiteral("1") << 4 << QStringLiteral("0001");
    QTest::newRow("branch already full") << QStringLiteral("0001") << 4
                                         << QStringLiteral("0001");
    QTest::newRow("operator code") << QStringLiteral("abc") << 12
                                   << QStringLiteral("000000000abc");
    QTest::newRow("blanks around the code") << QStringLiteral(" 12 ") << 4
                                            << QStringLiteral("0012");
    QTest::newRow("empty") << QString() << 2 << QStringLiteral("00");
    QTest::newRow("wider than the field is kept") << QStringLiteral("12345") << 4
                                                  << QStringLiteral("12345");
}

void TestTextRoutines::ajusta()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(kiv::Ajusta(text, width), expected);
}

void TestTextRoutines::quotedStr_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QStringLiteral("0001") << QStringLiteral("'0001'");
    QTest::newRow("empty") << QString() << QStringLiteral("''");
    QTest::newRow("inner quote") << QStringLiteral("d'Ávila") << QStringLiteral("'d''Ávila'");
    QTest::newRow("quote alone") << QStringLiteral("'") << QStringLiteral("''''");
    QTest::newRow("injection attempt") << QStringLiteral("' OR ''='")
                                       << QStringLiteral("''' OR ''''='''");
}

void TestTextRoutines::quotedStr()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(kiv::QuotedStr(text), expected);
}

QTEST_GUILESS_MAIN(TestTextRoutines)
#include "tst_textroutines.moc"
