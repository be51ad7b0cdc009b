#include "datadircheck.h"
#include "errors.h"
#include "tablefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>

#include <cstdio>

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
                   "  kivtable dump ARQUIVO   mostra os campos e as linhas de um arquivo "
                   "de tabela (.cds)\n"
                   "  kivtable check PASTA    conclui uma gravação interrompida e verifica "
                   "os arquivos de tabela de uma pasta de dados\n"));
    return 2;
}

int dump(const QString &path, QFile &out, QFile &err)
{
    try {
        kiv::DumpTableFile(path, out);
        out.flush();
        return 0;
    } catch (const kiv::KivError &error) {
        out.flush();
        print(err, error.message() + u'\n');
        return 1;
    }
}

int check(const QString &dir, QFile &out, QFile &err)
{
    if (!QFileInfo(dir).isDir()) {
        print(err, QStringLiteral("Pasta \"%1\" não encontrada.\n")
                       .arg(QDir::toNativeSeparators(dir)));
        return 1;
    }
    // A set of files whose save a crash cut short is finished first, as the
    // program does at its start, but only while no copy of the program has
    // the directory: a running one may be in the middle of a save.
    QLockFile lock(QDir(dir).filePath(QStringLiteral(".kiv.lock")));
    lock.setStaleLockTime(0);
    if (lock.tryLock(0)) {
        try {
            const QString recovered = kiv::TableFile::recover(dir).message();
            if (!recovered.isEmpty())
                print(out, recovered + u'\n');
        } catch (const kiv::KivError &error) {
            print(err, error.message() + u'\n');
            return 1;
        }
        lock.unlock();
    } else if (lock.error() == QLockFile::LockFailedError) {
        print(err, QStringLiteral("O sistema está aberto sobre a pasta: gravações interrompidas "
                                  "não foram verificadas.\n"));
    }
    const qsizetype files = kiv::DataDirectoryFiles().size();
    const QList<kiv::DataDirProblem> problems = kiv::CheckDataDirectory(dir);
    for (const kiv::DataDirProblem &problem : problems)
        print(out, problem.fileName + QStringLiteral(": ") + problem.message + u'\n');
    if (!problems.isEmpty()) {
        print(err, QStringLiteral("%1 de %2 arquivos com problemas.\n")
                       .arg(problems.size())
                       .arg(files));
        return 1;
    }
    print(out, QStringLiteral("Tudo certo: %1 arquivos verificados.\n").arg(files));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QFile out;
    QFile err;
    out.open(stdout, QIODevice::WriteOnly);
    err.open(stderr, QIODevice::WriteOnly);

    const QStringList arguments = app.arguments();
    if (arguments.size() != 3)
        return usage(err);
    const QString &command = arguments.at(1);
    if (command == QLatin1String("dump"))
        return dump(arguments.at(2), out, err);
    if (command == QLatin1String("check"))
        return check(arguments.at(2), out, err);
    return usage(err);
}
