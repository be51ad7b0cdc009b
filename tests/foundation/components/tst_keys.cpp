#include "keys.h"
#include "localeservice.h"

#include <QKeyEvent>
#include <QTest>

using namespace kiv;

// The one key filter of numeric fields and grid columns, and the keypad's
// decimal key.
class TestKeys : public QObject
{
    Q_OBJECT

private slots:
    void cleanupTestCase() { LocaleService::resetToSystem(); }
    void numericKeyPress_data();
    void numericKeyPress();
    void keypadDecimalTypesTheSeparator_data();
    void keypadDecimalTypesTheSeparator();
};

void TestKeys::numericKeyPress_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<bool>("decimals");
    QTest::addColumn<QChar>("key");
    QTest::addColumn<QChar>("result");
    const QChar dropped;
    for (const QChar sep : {QChar(u','), QChar(u'.')}) {
        const QString where = sep == u',' ? QStringLiteral("comma") : QStringLiteral("point");
        const auto row = [&](const char *name, bool decimals, QChar key, QChar result) {
            const QString title = where + QStringLiteral(": ") + QLatin1String(name);
            QTest::newRow(qPrintable(title)) << sep << decimals << key << result;
        };
        row("digit", true, u'7', u'7');
        row("Backspace", true, QChar(VK_BACK), QChar(VK_BACK));
        row("Enter", false, QChar(VK_RETURN), QChar(VK_RETURN));
        row("the separator", true, sep, sep);
        row("point types the separator", true, u'.', sep);
        row("letter", true, u'a', dropped);
        row("minus", true, u'-', dropped);
        row("plus", true, u'+', dropped);
        row("exponent", true, u'e', dropped);
        row("space", true, u' ', dropped);
        row("whole numbers: separator", false, sep, dropped);
        row("whole numbers: point", false, u'.', dropped);
    }
    // Where the separator is a point, a comma is a thousands mark: never typed.
    QTest::newRow("point: comma") << QChar(u'.') << true << QChar(u',') << dropped;
}

void TestKeys::numericKeyPress()
{
    QFETCH(QChar, separator);
    QFETCH(bool, decimals);
    QFETCH(QChar, key);
    QFETCH(QChar, result);
    LocaleService::setDecimalSeparator(separator);
    NumericKeyPress(key, decimals);
    QCOMPARE(key, result);
}

void TestKeys::keypadDecimalTypesTheSeparator_data()
{
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("comma, keypad prints a point") << QChar(u',') << int(Qt::Key_Period) << ".";
    QTest::newRow("comma, keypad prints a comma") << QChar(u',') << int(Qt::Key_Comma) << ",";
    QTest::newRow("point, keypad prints a comma") << QChar(u'.') << int(Qt::Key_Comma) << ",";
    QTest::newRow("point, keypad prints a point") << QChar(u'.') << int(Qt::Key_Period) << ".";
}

void TestKeys::keypadDecimalTypesTheSeparator()
{
    QFETCH(QChar, separator);
    QFETCH(int, key);
    QFETCH(QString, text);
    LocaleService::setDecimalSeparator(separator);
    const QKeyEvent keypad(QEvent::KeyPress, key, Qt::KeypadModifier, text);
    QCOMPARE(platformChar(&keypad), separator);
    QCOMPARE(typesItself(&keypad, separator), text == QString(separator));
    // The main keyboard's key types what it prints.
    const QKeyEvent main(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCOMPARE(platformChar(&main), text.at(0));
    QVERIFY(typesItself(&main, text.at(0)));
}

QTEST_GUILESS_MAIN(TestKeys)
#include "tst_keys.moc"
