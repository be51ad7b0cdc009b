#include "basewindows.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "demodata.h"
#include "errors.h"
#include "iolimit.h"
#include "localeservice.h"
#include "session.h"
#include "table.h"
#include "tfrmretirada.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <time.h>

// Times what the operator waits for in the withdrawal window with years of
// plans in PREVRETI.cds: the window opening on a date (creation, then the
// date load as the focus leaves the date), a move to another service in the
// service list, storing one row (post and the whole-file save), and the
// Verify command rebuilding the service and date lists. Prints the median
// of the runs beside each target; exits with status 1 when one is missed.

namespace {

using kiv::TfrmRetirada;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double cpuNowMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Wall-clock time, the operator's wait, and the process's CPU time, which
// other programs on a busy machine do not inflate.
struct Timing
{
    double wallMs = 0;
    double cpuMs = 0;
};

Timing elapsed(const std::function<void()> &step)
{
    QElapsedTimer timer;
    const double cpu = cpuNowMs();
    timer.start();
    step();
    return {double(timer.nsecsElapsed()) / 1e6, cpuNowMs() - cpu};
}

struct Samples
{
    std::vector<double> wall, cpu;
    void add(const Timing &t)
    {
        wall.push_back(t.wallMs);
        cpu.push_back(t.cpuMs);
    }
};

struct Figure
{
    const char *name;
    const Samples &samples;
    double targetMs;  // 0: no target
};

// The window opened and shown as the main window's command does, with the
// date loaded: the focus leaves the date for the service list.
TfrmRetirada *openOnDate(const kiv::LoginSession &session)
{
    auto *w = new TfrmRetirada(session);
    w->Create();
    w->show();
    w->activateWindow();
    if (!QTest::qWaitForWindowActive(w))
        throw kiv::EDatabaseError(QStringLiteral("A janela não ficou ativa."));
    w->dbgServico->setFocus();
    if (w->cdsPrevReti->RecordCount() == 0)
        throw kiv::EDatabaseError(QStringLiteral("Nenhuma retirada carregada na data."));
    return w;
}

int run(int rows, int runs)
{
    QTemporaryDir dir;
    const QDate today = QDate::currentDate();
    kiv::DemoData::writeDemoDirectory(dir.path(), today);
    const QString path = QDir(dir.path()).filePath(QStringLiteral("PREVRETI.cds"));
    std::printf("Gerando %d linhas...\n", rows);
    kiv::DemoData::writeLargePrevReti(path, rows, today);
    std::printf("PREVRETI.cds: %.1f MB\n", double(QFileInfo(path).size()) / 1e6);

    kiv::LoginSession session;
    session.branch = QStringLiteral("0001");
    session.branchName = QStringLiteral("COZINHA PILOTO");
    session.operatorCode = QStringLiteral("000000000001");
    session.operatorName = QStringLiteral("ANA LIMA");
    session.date = today;
    session.dataDir = dir.path() + QLatin1Char('/');

    Samples open, move, store, verify;
    for (int r = 0; r < runs; ++r) {
        TfrmRetirada *w = nullptr;
        open.add(elapsed([&] { w = openOnDate(session); }));

        // The next service of the list, as a click or arrow key moves it.
        kiv::Table *services = w->cdsAuxPrevReti;
        for (int i = 0; i < 4; ++i) {
            if (services->RecNo() == services->RecordCount())
                services->First();
            move.add(elapsed([&] { services->Next(); }));
        }

        // The consumed quantity and type of the first row, stored.
        kiv::Table *rowsShown = w->cdsPrevReti;
        rowsShown->First();
        store.add(elapsed([&] {
            rowsShown->Edit();
            rowsShown->FieldByName(QStringLiteral("QTCONSRETI"))
                ->SetAsString(QString::number(r + 1) + kiv::LocaleService::decimalSeparator()
                              + QStringLiteral("50000"));
            rowsShown->FieldByName(QStringLiteral("CDTIPORETI"))
                ->SetAsString(QStringLiteral("01"));
            rowsShown->Post();
        }));
        if (rowsShown->State() != kiv::DataSetState::Browse)
            throw kiv::EDatabaseError(QStringLiteral("A linha não foi gravada."));

        // Verify with the focus in the service list.
        w->dbgServico->setFocus();
        verify.add(elapsed([&] { w->sbtVerificar.menu->trigger(); }));
        w->close();
        QApplication::processEvents();
    }

    const Figure figures[] = {
        {"abrir a janela numa data", open, 1500},
        {"passar a outro serviço", move, 50},
        {"gravar uma linha (Post + arquivo)", store, 800},
        {"Verificar (listas de serviços e datas)", verify, 0},
    };
    // What the disk allows the store: the same bytes written plainly.
    QFile saved(path);
    if (!saved.open(QIODevice::ReadOnly))
        throw kiv::EDatabaseError(QStringLiteral("Não foi possível ler %1").arg(path));
    const QList<QByteArray> bytes{saved.readAll()};
    std::vector<double> plain;
    for (int r = 0; r < runs; ++r)
        plain.push_back(kivbench::plainWriteAndSyncMs(dir.path(), bytes));

    bool missed = false;
    std::printf("%d linhas, medianas de %d execuções (relógio / CPU do processo):\n", rows,
                runs);
    for (const Figure &f : figures) {
        const double wall = median(f.samples.wall);
        const double cpu = median(f.samples.cpu);
        const bool over = f.targetMs > 0 && wall > f.targetMs;
        missed = missed || over;
        std::printf("  %-42s %8.1f ms / %8.1f ms", f.name, wall, cpu);
        if (f.targetMs > 0)
            std::printf("  (meta < %.0f ms)%s", f.targetMs, over ? "  NÃO ATINGIDA" : "");
        std::printf("\n");
    }
    std::printf("  escrita simples + fsync dos %.1f MB: %.1f ms (a gravação de uma linha: %.1fx)\n",
                double(bytes.first().size()) / 1e6, median(plain),
                median(store.wall) / median(plain));
    return missed ? 1 : 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    kiv::LocaleService::setDecimalSeparator(u',');
    kiv::LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
    const QStringList args = app.arguments().mid(1);
    const int rows = args.isEmpty() ? 1000000 : args.at(0).toInt();
    const int runs = args.size() > 1 ? args.at(1).toInt() : 3;
    try {
        return run(rows, std::max(1, runs));
    } catch (const kiv::KivError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
}
