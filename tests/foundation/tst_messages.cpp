#include "messages.h"

#include <QTest>

namespace {

// The login window's catalogue: "filial_inf" and "Filial" are different keys
// that only a sloppy case-insensitive match would confuse.
const QStringList kLoginLines = {
    QStringLiteral("filial_inf|Filial deve ser informada."),
    QStringLiteral("filial_n_cad|Filial não cadastrada para a central de Alimentação Escolar."),
    QStringLiteral("oper_inf|Operador deve ser informado."),
    QStringLiteral("senha_inv|Senha inválida."),
    QStringLiteral("Filial|Filial"),
    QStringLiteral("Operador|Operador"),
};

} // namespace

class TestMessages : public QObject
{
    Q_OBJECT

private slots:
    void msg_data();
    void msg();
    void everyFormOfConstructionReadsTheSame();
    void firstLineOfARepeatedKeyWins();
    void linesWithoutBarAreNotEntries();
};

void TestMessages::msg_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("known");
    QTest::addColumn<QString>("text");
    QTest::newRow("exact key") << QStringLiteral("senha_inv") << true
                               << QStringLiteral("Senha inválida.");
    QTest::newRow("upper case key") << QStringLiteral("FILIAL_INF") << true
                                    << QStringLiteral("Filial deve ser informada.");
    QTest::newRow("mixed case key") << QStringLiteral("Filial_N_Cad") << true
                                    << kLoginLines.at(1).section(u'|', 1);
    QTest::newRow("short key beside a longer one") << QStringLiteral("FILIAL") << true
                                                   << QStringLiteral("Filial");
    QTest::newRow("unknown key") << QStringLiteral("oper_n_cad") << false << QString();
    QTest::newRow("empty key") << QString() << false << QString();
    QTest::newRow("prefix of a key") << QStringLiteral("senha") << false << QString();
}

void TestMessages::msg()
{
    QFETCH(QString, key);
    QFETCH(bool, known);
    QFETCH(QString, text);
    const kiv::TMessages messages(kLoginLines);
    QCOMPARE(messages.contains(key), known);
    QCOMPARE(messages.Msg(key), text);
    QCOMPARE(messages.Msg(key).isEmpty(), !known);
}

void TestMessages::everyFormOfConstructionReadsTheSame()
{
    const kiv::TMessages fromList(kLoginLines);
    const kiv::TMessages fromBraces{QStringLiteral("ON_EXIT|Deseja sair do sistema ?"),
                                    QStringLiteral("PROC|Proc.:")};
    const kiv::TMessages fromText = kiv::TMessages::fromText(
        QStringLiteral("ON_EXIT|Deseja sair do sistema ?\r\nPROC|Proc.:\n"));

    QCOMPARE(fromList.Msg(QStringLiteral("oper_inf")),
             QStringLiteral("Operador deve ser informado."));
    for (const kiv::TMessages *messages : {&fromBraces, &fromText}) {
        QCOMPARE(messages->Msg(QStringLiteral("on_exit")),
                 QStringLiteral("Deseja sair do sistema ?"));
        QCOMPARE(messages->Msg(QStringLiteral("proc")), QStringLiteral("Proc.:"));
    }
}

void TestMessages::firstLineOfARepeatedKeyWins()
{
    const kiv::TMessages messages{QStringLiteral("Canc|Deseja cancelar ?"),
                                  QStringLiteral("CANC|outro texto")};
    QCOMPARE(messages.Msg(QStringLiteral("canc")), QStringLiteral("Deseja cancelar ?"));
}

void TestMessages::linesWithoutBarAreNotEntries()
{
    const kiv::TMessages messages{
        QString(), QStringLiteral("sem barra"), QStringLiteral("vazio|"),
        QStringLiteral("cds_erro|Arquivos em %s | verifique a exportação."),
        QStringLiteral("  AÇÃO  |Ação")};
    QVERIFY(!messages.contains(QStringLiteral("sem barra")));
    QVERIFY(messages.contains(QStringLiteral("VAZIO")));
    QCOMPARE(messages.Msg(QStringLiteral("vazio")), QString());
    QCOMPARE(messages.Msg(QStringLiteral("CDS_ERRO")),
             QStringLiteral("Arquivos em %s | verifique a exportação."));
    QCOMPARE(messages.Msg(QStringLiteral("ação")), QStringLiteral("Ação"));
}

QTEST_GUILESS_MAIN(TestMessages)
#include "tst_messages.moc"
