#include "demodata.h"
#include "errors.h"
#include "history.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <exception>

namespace {

void print(QFile &stream, const QString &text)
{
    stream.write(text.toUtf8());
    stream.flush();
}

int usage(QFile &err)
{
    print(err, QStringLiteral(
                   "Uso:\n"
                   "  kivdemo PASTA                    grava em PASTA os dados de "
                   "demonstração (cria a pasta)\n"
                   "  kivdemo --bloqueio-ajuste S|N PASTA\n"
                   "                                   o mesmo, com o bloqueio de ajuste "
                   "acima da quantidade prevista\n"
                   "                                   (ParaSupri.cds) ligado (S, o padrão) "
                   "ou desligado (N)\n"
                   "  kivdemo --prevreti N ARQUIVO     grava um arquivo de retiradas "
                   "previstas com N linhas\n"
                   "  kivdemo --years N PASTA          grava em PASTA os dados de "
                   "demonstração com N anos de histórico\n"));
    return 2;
}

int writeDirectory(const QString &dir, bool blockAboveThePlan, QFile &out)
{
    kiv::DemoData::writeDemoDirectory(dir, QDate::currentDate());
    if (!blockAboveThePlan)
        kiv::DemoData::writePurchaseParameters(dir, false);
    const QString shown = QDir::toNativeSeparators(QFileInfo(dir).absoluteFilePath());
    print(out, QStringLiteral("Dados de demonstração gravados em %1\n"
                              "Para usá-los, o valor KivpcDir deve apontar para essa pasta "
                              "(fora do Windows: a linha \"KivpcDir=%1\" no arquivo "
                              "indicado por KIV_REGISTRY_INI).\n\n"
                              "Acessos de demonstração (filial, operador, senha):\n")
                   .arg(shown));
    for (const kiv::DemoData::DemoLogin &login : kiv::DemoData::demoLogins())
        print(out, QStringLiteral("  %1  %2  %3\n")
                       .arg(login.branch, login.operatorCode, login.password));
    return 0;
}

int writePrevReti(const QString &count, const QString &path, QFile &out, QFile &err)
{
    bool ok = false;
    const int rows = count.toInt(&ok);
    if (!ok || rows < 0) {
        print(err, QStringLiteral("Número de linhas inválido: \"%1\".\n").arg(count));
        return 2;
    }
    kiv::DemoData::writeLargePrevReti(path, rows, QDate::currentDate());
    print(out, QStringLiteral("%1 linhas gravadas em %2\n")
                   .arg(rows)
                   .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())));
    return 0;
}

int writeHistory(const QString &count, const QString &dir, QFile &out, QFile &err)
{
    bool ok = false;
    const int years = count.toInt(&ok);
    if (!ok || years < 1 || years > 40) {
        print(err, QStringLiteral("Número de anos inválido: \"%1\".\n").arg(count));
        return 2;
    }
    const kiv::DemoData::HistorySummary s =
        kiv::DemoData::writeHistoryDirectory(dir, years, QDate::currentDate());
    print(out, QStringLiteral("%1 anos de histórico gravados em %2: %3 lançamentos de entrada "
                              "(%4 itens), %5 de saída (%6 itens), %7 linhas de inventário, "
                              "%8 efetivos (%9 por cliente), %10 linhas de solicitação, "
                              "%11 retiradas previstas\n")
                   .arg(years)
                   .arg(QDir::toNativeSeparators(QFileInfo(dir).absoluteFilePath()))
                   .arg(s.entryDocuments)
                   .arg(s.entryItems)
                   .arg(s.exitDocuments)
                   .arg(s.exitItems)
                   .arg(s.counts)
                   .arg(s.headcounts)
                   .arg(s.headcountClients)
                   .arg(s.purchaseRows)
                   .arg(s.plannedWithdrawals));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QFile out;
    QFile err;
    if (!out.open(stdout, QIODevice::WriteOnly) || !err.open(stderr, QIODevice::WriteOnly))
        return 1;
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));

    try {
        if (args.size() == 1 && !args[0].startsWith(u'-'))
            return writeDirectory(args[0], true, out);
        if (args.size() == 3 && args[0] == QLatin1String("--bloqueio-ajuste")
            && (args[1] == QLatin1String("S") || args[1] == QLatin1String("N")))
            return writeDirectory(args[2], args[1] == QLatin1String("S"), out);
        if (args.size() == 3 && args[0] == QLatin1String("--prevreti"))
            return writePrevReti(args[1], args[2], out, err);
        if (args.size() == 3 && args[0] == QLatin1String("--years"))
            return writeHistory(args[1], args[2], out, err);
        return usage(err);
    } catch (const kiv::KivError &error) {
        print(err, QStringLiteral("Erro: %1\n").arg(error.message()));
    } catch (const std::exception &error) {
        print(err, QStringLiteral("Erro inesperado: %1\n")
                       .arg(QString::fromLocal8Bit(error.what())));
    }
    return 1;
}
