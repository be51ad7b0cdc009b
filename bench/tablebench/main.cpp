#include "demodata.h"
#include "iolimit.h"
#include "errors.h"
#include "localeservice.h"
#include "recordedtables.h"
#include "table.h"
#include "textroutines.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// The plain write and read are the POSIX calls; the benchmark runs on the
// Linux build machines.
#include <fcntl.h>
#include <unistd.h>

using kiv::Table;

// Times what the withdrawal window does with its PREVRETI.cds (load, save,
// a filter change, a Locate, one stored row and the save after it) and sets
// each figure beside what the machine needs to move the same bytes: one
// plain write plus fsync for a save, one plain read for a load. A load is
// timed twice: with the file's pages dropped from the cache (against a plain
// read from the disk) and with the file in the cache (against a plain read
// from the cache, which is a memory copy).

namespace {

// The day the generated withdrawals are planned around: fixed, so that
// runs on different days measure the same file.
const QDate today(2026, 3, 10);

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw kiv::EDatabaseError(QStringLiteral("Não foi possível ler %1").arg(path));
    return file.readAll();
}

// The physical limit of a load: one plain read of the whole file.
void plainRead(const QString &path, std::vector<char> &buffer)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY);
    if (fd < 0)
        throw kiv::EDatabaseError(QStringLiteral("Não foi possível abrir %1").arg(path));
    size_t done = 0;
    for (;;) {
        if (done == buffer.size())
            buffer.resize(buffer.size() * 2 + 4096);
        const ssize_t n = ::read(fd, buffer.data() + done, buffer.size() - done);
        if (n <= 0)
            break;
        done += size_t(n);
    }
    ::close(fd);
}

// Drops the file's pages from the page cache, so that the next read comes
// from the disk, as when a window opens a file nobody touched for a while.
void evict(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Median of runs of a timed step; prepare runs before each one, untimed.
double timeMedian(int runs, const std::function<void()> &step,
                  const std::function<void()> &prepare = {})
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        step();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

struct Figure
{
    QString name;
    double ms = 0;
    std::optional<double> limitMs;
};

struct SizeResult
{
    int rows = 0;
    qint64 bytes = 0;
    double generateMs = 0;
    std::vector<Figure> figures;

    const Figure &figure(const QString &name) const
    {
        return *std::find_if(figures.begin(), figures.end(),
                             [&](const Figure &f) { return f.name == name; });
    }
};

const QString coldLoadName = QStringLiteral("carga (do disco)");
const QString warmLoadName = QStringLiteral("carga (em cache)");
const QString saveName = QStringLiteral("gravação");
const QString filterName = QStringLiteral("troca de filtro");
const QString locateName = QStringLiteral("Locate");
const QString postName = QStringLiteral("Post + gravação");

// The withdrawal window's product selection: branch, day and service.
QString selection(const QString &branch, const QString &service)
{
    return QStringLiteral("CDFILIAL = ") + kiv::QuotedStr(branch)
           + QStringLiteral(" AND DTPREVRETI = ")
           + kiv::QuotedStr(kiv::LocaleService::dateToText(today))
           + QStringLiteral(" AND CDSERVFILI = ") + kiv::QuotedStr(service);
}

QString text(const Table &table, const char *field)
{
    return table.FieldByName(QString::fromLatin1(field))->AsString();
}

SizeResult measure(const QString &dir, int rows, int runs)
{
    SizeResult result;
    result.rows = rows;
    const QString path = QDir(dir).filePath(QStringLiteral("PREVRETI.cds"));
    const QString copyPath = QDir(dir).filePath(QStringLiteral("PREVRETI_COPIA.cds"));
    const QString plainPath = QDir(dir).filePath(QStringLiteral("simples.cds"));
    const kiv::TableDecl decl = kiv::RecordedTables::prevReti();

    QElapsedTimer timer;
    timer.start();
    kiv::DemoData::writeLargePrevReti(path, rows, today);
    result.generateMs = double(timer.nsecsElapsed()) / 1e6;
    const QByteArray fileBytes = readAll(path);
    result.bytes = fileBytes.size();

    // Load: a window declares the table (with its browsing order) and reads
    // the file, once with the file only on disk and once in the page cache.
    std::vector<char> readBuffer(size_t(fileBytes.size()) + 1);
    const double coldReadMs = timeMedian(
        runs, [&] { plainRead(path, readBuffer); }, [&] { evict(path); });
    const double warmReadMs = timeMedian(runs, [&] { plainRead(path, readBuffer); });
    std::unique_ptr<Table> table;
    const auto newTable = [&] {
        table = std::make_unique<Table>(QStringLiteral("cdsPrevReti"));
        table->Declare(decl);
    };
    const double coldLoadMs = timeMedian(
        runs, [&] { table->LoadFromFile(path); },
        [&] {
            newTable();
            evict(path);
        });
    result.figures.push_back({coldLoadName, coldLoadMs, coldReadMs});
    const double warmLoadMs = timeMedian(
        runs, [&] { table->LoadFromFile(path); },
        [&] {
            newTable();
            plainRead(path, readBuffer);
        });
    result.figures.push_back({warmLoadName, warmLoadMs, warmReadMs});

    // Save of the whole table as loaded.
    const double plainWriteMs = timeMedian(runs, [&] { kivbench::plainWriteAndSync(plainPath, fileBytes); });
    const double saveMs = timeMedian(runs, [&] { table->SaveToFile(copyPath); });
    result.figures.push_back({saveName, saveMs, plainWriteMs});

    // The services planned today for the first branch, in the service
    // list's order.
    table->First();
    const QString branch = text(*table, "CDFILIAL").isEmpty() ? QStringLiteral("0001")
                                                              : text(*table, "CDFILIAL");
    table->SetFilter(QStringLiteral("CDFILIAL = ") + kiv::QuotedStr(branch)
                     + QStringLiteral(" AND DTPREVRETI = ")
                     + kiv::QuotedStr(kiv::LocaleService::dateToText(today)));
    table->SetFiltered(true);
    QStringList services;
    for (table->First(); !table->Eof(); table->Next())
        if (!services.contains(text(*table, "CDSERVFILI")))
            services.append(text(*table, "CDSERVFILI"));
    if (services.size() < 2)
        throw kiv::EDatabaseError(QStringLiteral("Menos de dois serviços no dia %1.")
                                      .arg(kiv::LocaleService::dateToText(today)));

    // Filter change on the filtered, ordered table: the next service of the
    // same branch and day, as the operator moves in the service list.
    table->SetFilter(selection(branch, services.first()));
    qsizetype service = 0;
    const double filterMs = timeMedian(runs, [&] {
        service = (service + 1) % services.size();
        table->SetFilter(selection(branch, services.at(service)));
        // The rows a grid shows: the table works them out when looked at.
        (void)table->RecordCount();
    });
    if (table->RecordCount() == 0)
        throw kiv::EDatabaseError(QStringLiteral("O filtro não selecionou nenhuma linha."));
    result.figures.push_back({filterName, filterMs, std::nullopt});

    // Locate on two fields of the last row in browsing order, over the
    // whole table: the first match lies near the end.
    table->SetFiltered(false);
    table->Last();
    const QVariantList key = {text(*table, "CDSERVFILI"), text(*table, "CDARVPROD")};
    bool found = false;
    const double locateMs = timeMedian(runs, [&] {
        table->First();
        found = table->Locate(QStringLiteral("CDSERVFILI; CDARVPROD"), key);
    });
    if (!found || table->RecNo() < table->RecordCount() * 9 / 10)
        throw kiv::EDatabaseError(QStringLiteral("O Locate não achou a linha do fim da tabela."));
    result.figures.push_back({locateName, locateMs, std::nullopt});

    // One row typed into the filtered product grid, then the whole file
    // written, as the withdrawal window does after every stored row.
    table->SetFilter(selection(branch, services.first()));
    table->SetFiltered(true);
    int added = 0;
    const auto set = [&](const char *field, const QString &value) {
        table->FieldByName(QString::fromLatin1(field))->SetAsString(value);
    };
    const double postMs = timeMedian(runs, [&] {
        ++added;
        const QString code = QStringLiteral("%1").arg(90000 + added, 10, 10, QLatin1Char('0'));
        table->Append();
        set("CDFILIAL", branch);
        set("CDSERVFILI", services.first());
        table->FieldByName(QStringLiteral("DTPREVRETI"))->SetAsDate(today);
        set("CDPRODUTO", code);
        set("CDARVPROD", QStringLiteral("99.99.999"));
        set("CDPSQPROD", QStringLiteral("99.99.999"));
        set("NMPRODUTO", QStringLiteral("GOIABADA CASCÃO EM BARRA"));
        set("SGUNIDADE", QStringLiteral("KG"));
        set("QTCONSRETI", QStringLiteral("2,500"));
        set("CDTIPORETI", QStringLiteral("02"));
        set("NMTIPORETI", QStringLiteral("PRODUTO NÃO PREVISTO"));
        set("CDOPERADOR", QStringLiteral("000000000007"));
        set("FILSERPRDT", branch + services.first() + code
                              + kiv::LocaleService::dateToText(today));
        table->Post();
        table->SaveToFile(path);
    });
    const QByteArray savedBytes = readAll(path);
    const double plainPostWriteMs = timeMedian(runs, [&] {
        kivbench::plainWriteAndSync(plainPath, savedBytes);
    });
    result.figures.push_back({postName, postMs, plainPostWriteMs});

    table.reset();
    QFile::remove(path);
    QFile::remove(copyPath);
    QFile::remove(plainPath);
    return result;
}

void print(const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QString column(const QString &text, int width)
{
    return text.leftJustified(width);
}

QString number(double value, int width)
{
    return QString::number(value, 'f', value < 10 ? 2 : 1).rightJustified(width);
}

struct Target
{
    QString text;
    bool met;
};

std::vector<Target> targets(const SizeResult &r)
{
    const Figure &load = r.figure(coldLoadName);
    const Figure &save = r.figure(saveName);
    const Figure &filter = r.figure(filterName);
    const Figure &post = r.figure(postName);
    const double saveRatio = save.ms / *save.limitMs;
    const double loadRatio = load.ms / *load.limitMs;
    return {
        {QStringLiteral("gravação até 3x escrita simples + fsync: %1x")
             .arg(saveRatio, 0, 'f', 2), saveRatio <= 3},
        {QStringLiteral("carga até 5x leitura simples do disco: %1x")
             .arg(loadRatio, 0, 'f', 2),
         loadRatio <= 5},
        {QStringLiteral("troca de filtro abaixo de 20 ms: %1 ms").arg(filter.ms, 0, 'f', 2),
         filter.ms < 20},
        {QStringLiteral("Post + gravação de uma linha abaixo de 150 ms: %1 ms")
             .arg(post.ms, 0, 'f', 1), post.ms < 150},
    };
}

int usage()
{
    std::fputs("Uso: kivbench [-r EXECUÇÕES] [LINHAS...]\n"
               "  Mede carga, gravação, troca de filtro, Locate e Post + gravação em\n"
               "  tabelas de retirada (PREVRETI.cds) geradas com LINHAS linhas\n"
               "  (padrão: 10000 100000 1000000), mediana de EXECUÇÕES (padrão: 5).\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Fixed conventions, so that figures from different machines compare.
    kiv::LocaleService::setDecimalSeparator(u',');
    kiv::LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));

    int runs = 5;
    std::vector<int> sizes;
    const QStringList arguments = app.arguments().mid(1);
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        bool ok = false;
        if (arguments[i] == QLatin1String("-r") && i + 1 < arguments.size()) {
            runs = arguments[++i].toInt(&ok);
            if (!ok || runs < 1)
                return usage();
            continue;
        }
        const int rows = arguments[i].toInt(&ok);
        if (!ok || rows < 1)
            return usage();
        sizes.push_back(rows);
    }
    if (sizes.empty())
        sizes = {10000, 100000, 1000000};

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fputs("Não foi possível criar a pasta temporária.\n", stderr);
        return 1;
    }
    print(QStringLiteral("kivbench: PREVRETI.cds (14 campos), mediana de %1 execuções, "
                         "pasta %2\n\n")
              .arg(runs)
              .arg(QDir::toNativeSeparators(dir.path())));
    print(column(QStringLiteral("linhas"), 9) + column(QStringLiteral("medida"), 17)
          + QStringLiteral("         ms  limite ms    razão\n"));

    bool allMet = true;
    bool checked = false;
    for (int rows : sizes) {
        SizeResult result;
        try {
            result = measure(dir.path(), rows, runs);
        } catch (const kiv::KivError &error) {
            print(QStringLiteral("%1 linhas: %2\n").arg(rows).arg(error.message()));
            return 1;
        }
        for (const Figure &figure : result.figures) {
            QString line = column(QString::number(rows), 9) + column(figure.name, 17)
                           + number(figure.ms, 11);
            if (figure.limitMs)
                line += number(*figure.limitMs, 11)
                        + (QString::number(figure.ms / *figure.limitMs, 'f', 2) + u'x')
                              .rightJustified(9);
            print(line + u'\n');
        }
        print(QStringLiteral("         (arquivo de %1 MB, gerado em %2 ms)\n")
                  .arg(double(result.bytes) / (1024 * 1024), 0, 'f', 1)
                  .arg(result.generateMs, 0, 'f', 0));
        if (rows == 100000) {
            checked = true;
            print(QStringLiteral("\nMetas com 100000 linhas:\n"));
            for (const Target &target : targets(result)) {
                print(QStringLiteral("  %1 - %2\n")
                          .arg(target.text,
                               target.met ? QStringLiteral("atendida")
                                          : QStringLiteral("NÃO atendida")));
                allMet = allMet && target.met;
            }
            print(QStringLiteral("\n"));
        }
    }
    if (!checked)
        print(QStringLiteral("\n(metas verificadas só com 100000 linhas)\n"));
    return allMet ? 0 : 1;
}
