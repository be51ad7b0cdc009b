#include "cripto.h"

#include <QSet>
#include <QTest>

namespace {

constexpr int kPasswordField = 20;

// What an operator can type: printable ASCII and Latin-1.
QList<QChar> typeableCharacters()
{
    QList<QChar> characters;
    for (char16_t c = 0x20; c <= 0xFF; ++c)
        if (c < 0x7F || c >= 0xA0)
            characters.append(QChar(c));
    return characters;
}

// The stored form ends up between single quotes in the login's filter and
// in a trimmed text field.
bool fitsStoredField(QChar c)
{
    return c.isPrint() && !c.isSpace() && c != u'\'' && c != u'*';
}

} // namespace

class TestCripto : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void everyTypedCharacterHasItsOwnStoredCharacter();
    void sameCharacterScramblesDifferentlyByPosition();
    void anyStoredTextReadsBack();
};

void TestCripto::roundTrip_data()
{
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("typeable");
    QTest::newRow("empty") << QString() << true;
    QTest::newRow("digits") << QStringLiteral("123456") << true;
    QTest::newRow("quote") << QStringLiteral("'") << true;
    QTest::newRow("filter injection") << QStringLiteral("' OR ''='") << true;
    QTest::newRow("accented letters") << QStringLiteral("ção Ação ÉÍÕü") << true;
    QTest::newRow("blanks only") << QStringLiteral("   ") << true;
    QTest::newRow("blanks around") << QStringLiteral(" senha ") << true;
    QTest::newRow("twenty characters") << QStringLiteral("abcdefghijABCDEFGHIJ") << true;
    QTest::newRow("twenty quotes") << QString(kPasswordField, u'\'') << true;
    QTest::newRow("symbols") << QStringLiteral("!@#$%*()_+-=[]{};:\\|") << true;
    QTest::newRow("Latin-1 signs") << QStringLiteral("ºª§¹²³£¢¬°\u00A0\u00AD") << true;
    QTest::newRow("outside Latin-1") << QStringLiteral("€ŐĀ") << false;
    QTest::newRow("surrogate pair") << QStringLiteral("a\U0001F600b") << false;
}

void TestCripto::roundTrip()
{
    QFETCH(QString, password);
    QFETCH(bool, typeable);
    const QString stored = kiv::CriptoPlus(password);
    QCOMPARE(kiv::UncriptoPlus(stored), password);
    QCOMPARE(stored.size(), password.size());
    if (!typeable)
        return;
    for (QChar c : stored)
        QVERIFY2(fitsStoredField(c), qPrintable(QStringLiteral("U+%1 in %2")
                                                    .arg(c.unicode(), 4, 16, QChar(u'0'))
                                                    .arg(stored)));
    if (!password.isEmpty())
        QVERIFY(stored != password);
}

void TestCripto::everyTypedCharacterHasItsOwnStoredCharacter()
{
    const QList<QChar> typeable = typeableCharacters();
    for (int position = 0; position < kPasswordField; ++position) {
        QSet<QChar> seen;
        for (QChar c : typeable) {
            const QString password = QString(position, u'x') + c;
            const QChar stored = kiv::CriptoPlus(password).at(position);
            QVERIFY(fitsStoredField(stored));
            seen.insert(stored);
        }
        QCOMPARE(seen.size(), typeable.size());
    }
}

void TestCripto::sameCharacterScramblesDifferentlyByPosition()
{
    const QString stored = kiv::CriptoPlus(QString(kPasswordField, u'a'));
    for (int i = 1; i < stored.size(); ++i)
        QVERIFY(stored.at(i) != stored.at(i - 1));
}

void TestCripto::anyStoredTextReadsBack()
{
    // A stored form from a damaged file still reads back and recomputes,
    // whatever code units it holds.
    for (int position : {0, 1, kPasswordField - 1}) {
        const QString prefix(position, u'x');
        for (int code = 0; code <= 0xFFFF; ++code) {
            const QString text = prefix + QChar(char16_t(code));
            if (kiv::CriptoPlus(kiv::UncriptoPlus(text)) != text
                || kiv::UncriptoPlus(kiv::CriptoPlus(text)) != text)
                QFAIL(qPrintable(QStringLiteral("U+%1 at %2").arg(code, 4, 16).arg(position)));
        }
    }
}

QTEST_GUILESS_MAIN(TestCripto)
#include "tst_cripto.moc"
