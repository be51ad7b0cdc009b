#include "errors.h"
#include "localeservice.h"
#include "numerictext.h"

#include <QTest>


using namespace kiv;

namespace {

// Seventeen significant digits tell two doubles apart, so a conversion that
// is one unit off in the last place fails with both values readable.
QString exact(double value)
{
    return QString::number(value, 'g', 17);
}

} // namespace

class TstNumericText : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void strToFloat_data();
    void strToFloat();
    void strToFloatRejects_data();
    void strToFloatRejects();
    void conversionErrorNamesTheText();
    void tryStrToFloatKeepsValueOnFailure();

    void floatToStr_data();
    void floatToStr();

    void formatFloat_data();
    void formatFloat();

    void converteValor_data();
    void converteValor();

    void formataValor_data();
    void formataValor();
};

void TstNumericText::init()
{
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TstNumericText::cleanup()
{
    LocaleService::resetToSystem();
}

void TstNumericText::strToFloat_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    const QChar comma = u',';
    const QChar point = u'.';
    QTest::newRow("comma: integer") << comma << "12" << 12.0;
    QTest::newRow("comma: decimal") << comma << "1,5" << 1.5;
    QTest::newRow("comma: negative") << comma << "-1,5" << -1.5;
    QTest::newRow("comma: plus sign") << comma << "+1,5" << 1.5;
    QTest::newRow("comma: blanks around") << comma << "  1,5  " << 1.5;
    QTest::newRow("comma: trailing separator") << comma << "5," << 5.0;
    QTest::newRow("comma: leading separator") << comma << ",5" << 0.5;
    QTest::newRow("comma: leading zeros") << comma << "0012" << 12.0;
    QTest::newRow("comma: exponent") << comma << "1,5e3" << 1500.0;
    QTest::newRow("comma: upper-case negative exponent") << comma << "1E-2" << 0.01;
    QTest::newRow("comma: signed exponent") << comma << "2e+2" << 200.0;
    QTest::newRow("comma: exactly one tenth") << comma << "0,1" << 0.1;
    QTest::newRow("comma: exactly 2.675") << comma << "2,675" << 2.675;
    QTest::newRow("comma: underflow reads as zero") << comma << "1e-400" << 0.0;
    QTest::newRow("point: decimal") << point << "1.5" << 1.5;
    QTest::newRow("point: negative") << point << "-1234.5" << -1234.5;
    QTest::newRow("point: trailing separator") << point << "5." << 5.0;
    QTest::newRow("point: leading separator") << point << ".5" << 0.5;
    QTest::newRow("point: exponent") << point << "1.5E3" << 1500.0;
}

void TstNumericText::strToFloat()
{
    QFETCH(QChar, separator);
    QFETCH(QString, text);
    QFETCH(double, expected);
    LocaleService::setDecimalSeparator(separator);

    QCOMPARE(exact(StrToFloat(text)), exact(expected));
    double value = -99.0;
    QVERIFY(TryStrToFloat(text, value));
    QCOMPARE(exact(value), exact(expected));
}

void TstNumericText::strToFloatRejects_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("text");

    const QChar comma = u',';
    const QChar point = u'.';
    QTest::newRow("empty") << comma << "";
    QTest::newRow("blanks only") << comma << "   ";
    QTest::newRow("lone separator") << comma << ",";
    QTest::newRow("sign only") << comma << "-";
    QTest::newRow("sign and separator") << comma << "-,";
    QTest::newRow("two separators") << comma << "1,2,3";
    QTest::newRow("comma: the other separator") << comma << "1.5";
    QTest::newRow("point: the other separator") << point << "1,5";
    QTest::newRow("point: lone separator") << point << ".";
    QTest::newRow("both separators") << comma << "1,5.";
    QTest::newRow("letters") << comma << "abc";
    QTest::newRow("trailing letter") << comma << "12a";
    QTest::newRow("blank inside") << comma << "1 5";
    QTest::newRow("two signs") << comma << "--1";
    QTest::newRow("mixed signs") << comma << "+-1";
    QTest::newRow("exponent without digits") << comma << "1e";
    QTest::newRow("exponent with sign only") << comma << "1e+";
    QTest::newRow("exponent without mantissa") << comma << "e5";
    QTest::newRow("separator in exponent") << comma << "1e2,5";
    QTest::newRow("hexadecimal") << comma << "0x10";
    QTest::newRow("infinity word") << comma << "inf";
    QTest::newRow("nan word") << comma << "nan";
    QTest::newRow("overflow") << comma << "1e400";
    QTest::newRow("non-ASCII digits") << comma << QString::fromUtf8("١٢");
    QTest::newRow("tab around") << comma << "\t1";
}

void TstNumericText::strToFloatRejects()
{
    QFETCH(QChar, separator);
    QFETCH(QString, text);
    LocaleService::setDecimalSeparator(separator);

    QVERIFY_THROWS_EXCEPTION(EConvertError, StrToFloat(text));
    double value = 0.0;
    QVERIFY(!TryStrToFloat(text, value));
}

void TstNumericText::conversionErrorNamesTheText()
{
    try {
        StrToFloat(QStringLiteral("1,2,3"));
        QFAIL("no conversion error");
    } catch (const EConvertError &error) {
        QCOMPARE(error.message(), QStringLiteral("'1,2,3' não é um valor numérico válido."));
    }
    // The operator reads the text as it reached the conversion: the point
    // was taken as a grouping mark and the comma left beside the new one.
    try {
        ConverteValor(QStringLiteral("1,234.5"));
        QFAIL("no conversion error");
    } catch (const EConvertError &error) {
        QCOMPARE(error.message(), QStringLiteral("'1,234,5' não é um valor numérico válido."));
    }
}

void TstNumericText::tryStrToFloatKeepsValueOnFailure()
{
    double value = 7.25;
    QVERIFY(!TryStrToFloat(QStringLiteral("7,2,5"), value));
    QCOMPARE(value, 7.25);
}

void TstNumericText::floatToStr_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    const QChar comma = u',';
    const QChar point = u'.';
    QTest::newRow("zero") << comma << 0.0 << "0";
    QTest::newRow("negative zero") << comma << -0.0 << "0";
    QTest::newRow("integer") << comma << 12.0 << "12";
    QTest::newRow("decimal") << comma << 12.5 << "12,5";
    QTest::newRow("sum of tenths") << comma << 0.1 + 0.2 << "0,3";
    QTest::newRow("negative") << comma << -1.5 << "-1,5";
    QTest::newRow("fifteen digits rounded") << comma << 2.0 / 3.0 << "0,666666666666667";
    QTest::newRow("fifteen integer digits") << comma << 1e14 << "100000000000000";
    QTest::newRow("sixteen integer digits") << comma << 1e15 << "1E15";
    QTest::newRow("rounds up to sixteen digits") << comma << 999999999999999.9 << "1E15";
    QTest::newRow("large with mantissa") << comma << 123456789012345678.0
                                         << "1,23456789012346E17";
    QTest::newRow("large") << comma << 1e20 << "1E20";
    QTest::newRow("very large") << comma << 1e100 << "1E100";
    QTest::newRow("smallest fixed") << comma << 1e-5 << "0,00001";
    QTest::newRow("fixed with leading zeros") << comma << 0.000123 << "0,000123";
    QTest::newRow("tiny") << comma << 1.5e-6 << "1,5E-6";
    QTest::newRow("tiny just below fixed") << comma << 0.0000099 << "9,9E-6";
    QTest::newRow("tiny negative") << comma << -2.5e-7 << "-2,5E-7";
    QTest::newRow("point: decimal") << point << 1234.5 << "1234.5";
    QTest::newRow("point: sum of tenths") << point << 0.1 + 0.2 << "0.3";
    QTest::newRow("point: tiny") << point << 1.5e-6 << "1.5E-6";
    QTest::newRow("point: large") << point << 2.5e20 << "2.5E20";
}

void TstNumericText::floatToStr()
{
    QFETCH(QChar, separator);
    QFETCH(double, value);
    QFETCH(QString, expected);
    LocaleService::setDecimalSeparator(separator);

    QCOMPARE(FloatToStr(value), expected);
}

void TstNumericText::formatFloat_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("expected");

    const QChar comma = u',';
    const QChar point = u'.';
    QTest::newRow("quantity") << comma << "##0.000" << 2.0 << "2,000";
    QTest::newRow("value") << comma << "##0.00000" << 250.0 << "250,00000";
    QTest::newRow("inventory quantity") << comma << "###0.000" << 12.5 << "12,500";
    QTest::newRow("zero keeps one integer digit") << comma << "##0.00" << 0.0 << "0,00";
    QTest::newRow("half up on decimal text") << comma << "##0.00" << 2.675 << "2,68";
    QTest::newRow("half up at third decimal") << comma << "##0.000" << 1.0005 << "1,001";
    QTest::newRow("half up negative") << comma << "##0.00" << -1.005 << "-1,01";
    QTest::newRow("below half") << comma << "##0.00" << 1.004999 << "1,00";
    QTest::newRow("half with no decimals") << comma << "##0" << 0.5 << "1";
    QTest::newRow("not to even") << comma << "##0" << 2.5 << "3";
    QTest::newRow("negative half away from zero") << comma << "##0" << -0.5 << "-1";
    QTest::newRow("carry into integer part") << comma << "##0.000" << 9.9995 << "10,000";
    QTest::newRow("carry adds a digit") << comma << "##0.000" << 999.9996 << "1000,000";
    QTest::newRow("negative rounding to zero") << comma << "##0.000" << -0.0001 << "0,000";
    QTest::newRow("negative zero") << comma << "##0.000" << -0.0 << "0,000";
    QTest::newRow("no grouping") << comma << "##0.000" << 1234567.5 << "1234567,500";
    QTest::newRow("large") << comma << "##0.00" << 1e20 << "100000000000000000000,00";
    QTest::newRow("tiny") << comma << "##0.000" << 1e-20 << "0,000";
    QTest::newRow("required integer digits") << comma << "000.0" << 5.0 << "005,0";
    QTest::newRow("optional decimals dropped") << comma << "0.0#" << 1.0 << "1,0";
    QTest::newRow("optional decimals kept") << comma << "0.0#" << 1.25 << "1,25";
    QTest::newRow("only optional decimals") << comma << "0.##" << 3.0 << "3";
    QTest::newRow("no integer digit required") << comma << "#.00" << 0.5 << ",50";
    QTest::newRow("point: quantity") << point << "##0.000" << 2.0 << "2.000";
    QTest::newRow("point: half up") << point << "##0.00" << 2.675 << "2.68";
    QTest::newRow("point: negative rounding to zero") << point << "##0.000" << -0.0004
                                                      << "0.000";
}

void TstNumericText::formatFloat()
{
    QFETCH(QChar, separator);
    QFETCH(QString, pattern);
    QFETCH(double, value);
    QFETCH(QString, expected);
    LocaleService::setDecimalSeparator(separator);

    QCOMPARE(FormatFloat(pattern, value), expected);
}

void TstNumericText::converteValor_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("mainFails");
    QTest::addColumn<double>("main");
    QTest::addColumn<bool>("semZeroFails");
    QTest::addColumn<double>("semZero");

    // Columns: decimal separator, typed text, then the main reading (fails?,
    // value) and the headcount/withdrawal reading (fails?, value).
    const QChar comma = u',';
    const QChar point = u'.';
    for (const QChar separator : {comma, point}) {
        const QString prefix = separator == comma ? QStringLiteral("comma: ")
                                                  : QStringLiteral("point: ");
        auto row = [&](const char *name) {
            return &QTest::newRow(qPrintable(prefix + QLatin1String(name)));
        };
        *row("empty") << separator << "" << false << 0.0 << false << 0.0;
        *row("blanks") << separator << "   " << false << 0.0 << false << 0.0;
        *row("integer") << separator << "12" << false << 12.0 << false << 12.0;
        *row("decimal comma") << separator << "1,5" << false << 1.5 << false << 1.5;
        *row("decimal point") << separator << "1.5" << false << 1.5 << false << 1.5;
        *row("point groups, comma decimal") << separator << "1.234,5" << false << 1234.5
                                            << false << 1234.5;
        *row("two grouping points") << separator << "1.234.567" << false << 1234.567
                                    << false << 1234.567;
        *row("three separators") << separator << "1.2.3,4" << false << 123.4 << false
                                 << 123.4;
        *row("leading comma") << separator << ",5" << false << 0.5 << false << 5.0;
        *row("leading point") << separator << ".5" << false << 0.5 << false << 5.0;
        // After the point is taken the comma starts the rest: the main
        // reading puts a zero in front of it, which joins the integer part.
        *row("comma right after point") << separator << "1.,5" << false << 10.5 << false
                                        << 1.5;
        *row("trailing comma") << separator << "5," << false << 5.0 << false << 5.0;
        *row("trailing point") << separator << "5." << false << 5.0 << false << 5.0;
        *row("negative") << separator << "-1,5" << false << -1.5 << false << -1.5;
        *row("blanks around") << separator << " 1,5 " << false << 1.5 << false << 1.5;
        *row("exponent") << separator << "1,5e3" << false << 1500.0 << false << 1500.0;
        *row("comma groups, point decimal") << separator << "1,234.5" << true << 0.0 << true
                                            << 0.0;
        // The main reading turns a lone separator into "0," and so reads 0.
        *row("lone comma") << separator << "," << false << 0.0 << true << 0.0;
        *row("lone point") << separator << "." << false << 0.0 << true << 0.0;
        *row("letters") << separator << "1a" << true << 0.0 << true << 0.0;
        *row("blank inside") << separator << "1, 5" << true << 0.0 << true << 0.0;
    }
}

void TstNumericText::converteValor()
{
    QFETCH(QChar, separator);
    QFETCH(QString, text);
    QFETCH(bool, mainFails);
    QFETCH(double, main);
    QFETCH(bool, semZeroFails);
    QFETCH(double, semZero);
    LocaleService::setDecimalSeparator(separator);

    if (mainFails)
        QVERIFY_THROWS_EXCEPTION(EConvertError, ConverteValor(text));
    else
        QCOMPARE(exact(ConverteValor(text)), exact(main));
    if (semZeroFails)
        QVERIFY_THROWS_EXCEPTION(EConvertError, ConverteValorSemZero(text));
    else
        QCOMPARE(exact(ConverteValorSemZero(text)), exact(semZero));
}

void TstNumericText::formataValor_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("fails");
    QTest::addColumn<QString>("expected");

    const QChar comma = u',';
    const QChar point = u'.';
    const QString qty = QStringLiteral("##0.000");
    QTest::newRow("short text formatted") << comma << qty << "2" << 10 << false << "2,000";
    QTest::newRow("short decimal rounded") << comma << qty << "1,2345" << 10 << false
                                           << "1,235";
    QTest::newRow("value format") << comma << "##0.00000" << "250" << 10 << false
                                  << "250,00000";
    QTest::newRow("width-1 ending in separator formatted")
        << comma << qty << "12345678," << 10 << false << "12345678,000";
    QTest::newRow("width-1 without separator kept") << comma << qty << "1234,5678" << 10
                                                    << false << "1234,5678";
    QTest::newRow("width-1 unreadable kept") << comma << qty << "1.2.3.4.5" << 10 << false
                                             << "1.2.3.4.5";
    QTest::newRow("full ending in separator loses it") << comma << qty << "123456789," << 10
                                                       << false << "123456789";
    QTest::newRow("full ending in separator not read") << comma << qty << "abcdefghi," << 10
                                                       << false << "abcdefghi";
    QTest::newRow("full without separator formatted") << comma << qty << "1234,56789" << 10
                                                      << false << "1234,568";
    QTest::newRow("longer kept") << comma << qty << "12345678901" << 10 << false
                                 << "12345678901";
    QTest::newRow("longer ending in separator kept") << comma << qty << "1234567890," << 10
                                                     << false << "1234567890,";
    // Short texts go straight to the number conversion, not through the
    // reading that accepts both marks.
    QTest::newRow("short with the other separator") << comma << qty << "1.5" << 10 << true
                                                    << "";
    QTest::newRow("short letters") << comma << qty << "abc" << 10 << true << "";
    QTest::newRow("full and unreadable") << comma << qty << "12,34,5678" << 10 << true << "";
    QTest::newRow("point: short text formatted") << point << qty << "2" << 10 << false
                                                 << "2.000";
    QTest::newRow("point: full ending in separator") << point << qty << "123456789." << 10
                                                     << false << "123456789";
    QTest::newRow("point: full ending in comma is read") << point << qty << "123456789,"
                                                         << 10 << true << "";
    QTest::newRow("point: full formatted") << point << qty << "1234.56789" << 10 << false
                                           << "1234.568";
    QTest::newRow("point: width-1 without separator kept") << point << qty << "1234.5678"
                                                           << 10 << false << "1234.5678";
}

void TstNumericText::formataValor()
{
    QFETCH(QChar, separator);
    QFETCH(QString, format);
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(bool, fails);
    QFETCH(QString, expected);
    LocaleService::setDecimalSeparator(separator);

    if (fails)
        QVERIFY_THROWS_EXCEPTION(EConvertError, FormataValor(format, text, width));
    else
        QCOMPARE(FormataValor(format, text, width), expected);
}

QTEST_GUILESS_MAIN(TstNumericText)
#include "tst_numerictext.moc"
