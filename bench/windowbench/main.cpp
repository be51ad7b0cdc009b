#include "basewindows.h"
#include "datetimepicker.h"
#include "dbgrid.h"
#include "demodata.h"
#include "iolimit.h"
#include "errors.h"
#include "localeservice.h"
#include "numerictext.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "tfrmefetivos.h"
#include "tfrminventario.h"
#include "tfrmlanentr.h"
#include "tfrmlansaida.h"
#include "tfrmprincipal.h"
#include "tfrmretirada.h"
#include "tfrmsolcompra.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>


#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_START_INSTRUMENTATION
#define CALLGRIND_STOP_INSTRUMENTATION
#endif

// Opens the task windows that exist on a copy of a data directory written by
// `kivdemo --years N DIR`, real and offscreen, logged in on branch 0001, and
// times what an operator does in them with the operator's keys: opening the
// window, a new row, leaving the code cell (the product lookup and the
// duplicate check), posting a row, moving to another document, date, record
// or service, and one store with its whole-file saves. A store is set beside
// one plain write plus fsync of the same bytes, the most any save of those
// files could cost. Each figure is printed beside its target: a window opens
// in under 1 s (the entry window in under 300 ms, the withdrawal window on a
// date in under 1.5 s), a keystroke-level action or a move takes under 20 ms,
// and a store at most twice the plain write + fsync of its bytes.

using namespace kiv;

namespace {

// KIV_BENCH_RUNS sets another count (1 under a profiler).
const int kRuns = qEnvironmentVariableIsSet("KIV_BENCH_RUNS")
                      ? std::max(1, qEnvironmentVariableIntValue("KIV_BENCH_RUNS"))
                      : 5;

// The targets: a keystroke-level action or a move, a window opening, and a
// store against the plain write + fsync of its bytes.
constexpr double kActionTargetMs = 20;
constexpr double kOpenTargetMs = 1000;
constexpr double kStoreTargetRatio = 2;

struct Figure
{
    QString window;
    QString action;
    std::vector<double> ms;
    double limitMs = -1; // plain write + fsync of the stored bytes, when a store
    qint64 bytes = 0;
    double targetMs = kActionTargetMs; // a store's target is its ratio instead
};

std::vector<Figure> g_figures;
QStringList g_problems;

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Runs what the event loop has queued (a grid's queued commit, repaints),
// as the operator's next key would find it done.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Under `valgrind --tool=callgrind --instr-atstart=no`, the profile holds the
// timed actions only (set KIV_PROFILE_ACTIONS=1; opening is profiled apart
// with KIV_PROFILE_ACTIONS=open).
double timed(const std::function<void()> &action, bool opening = false)
{
    static const QByteArray profile = qgetenv("KIV_PROFILE_ACTIONS");
    const bool profiled = !profile.isEmpty() && (profile == "open") == opening;
    if (profiled)
        CALLGRIND_START_INSTRUMENTATION;
    QElapsedTimer timer;
    timer.start();
    action();
    settle();
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    if (profiled)
        CALLGRIND_STOP_INSTRUMENTATION;
    return ms;
}

Figure &figure(const QString &window, const QString &action, double targetMs = kActionTargetMs)
{
    for (Figure &f : g_figures)
        if (f.window == window && f.action == action)
            return f;
    g_figures.push_back({window, action, {}, -1, 0, targetMs});
    return g_figures.back();
}

QWidget *focusWidget()
{
    QWidget *w = QApplication::focusWidget();
    if (!w)
        throw EDatabaseError(QStringLiteral("nenhum controle tem o foco"));
    return w;
}

void press(Qt::Key key)
{
    QTest::keyClick(focusWidget(), key);
}

void type(const QString &text)
{
    for (QChar c : text)
        QTest::keyClick(focusWidget(), c.toLatin1());
}

template<typename T>
T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        throw EDatabaseError(QStringLiteral("%1 não encontrado").arg(QLatin1String(name)));
    return found;
}

QList<QByteArray> fileBytes(const QString &dir, const QStringList &names)
{
    QList<QByteArray> contents;
    for (const QString &name : names) {
        QFile file(QDir(dir).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            throw EDatabaseError(QStringLiteral("%1 não foi gravado").arg(name));
        contents.append(file.readAll());
    }
    return contents;
}

void recordStore(Figure &f, double ms, const QString &dir, const QStringList &names)
{
    const QList<QByteArray> contents = fileBytes(dir, names);
    f.ms.push_back(ms);
    f.bytes = 0;
    for (const QByteArray &c : contents)
        f.bytes += c.size();
    const double limit = kivbench::plainWriteAndSyncMs(dir, contents);
    f.limitMs = f.limitMs < 0 ? limit : std::min(f.limitMs, limit);
}

// The question the next command asks is answered "Sim" as soon as it shows.
void answerYes()
{
    QTimer::singleShot(0, [] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *yes = modal ? modal->findChild<QAbstractButton *>(QStringLiteral("btnSim")) : nullptr;
        if (yes)
            yes->click();
        else
            g_problems.append(QStringLiteral("a pergunta esperada não apareceu"));
    });
}

// A message box would stop the run: it is closed and reported.
void watchDialogs()
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            const auto *box = qobject_cast<QMessageBox *>(modal);
            g_problems.append(QStringLiteral("mensagem inesperada: ")
                              + (box ? box->text() : modal->windowTitle()));
            modal->close();
        }
    });
    timer->start(20);
}

std::unique_ptr<TfrmPrincipal> startMainWindow()
{
    auto principal = std::make_unique<TfrmPrincipal>();
    principal->Create();
    if (!principal->Started())
        throw EDatabaseError(QStringLiteral("a janela principal não abriu"));
    const DemoData::DemoLogin login = DemoData::demoLogins().first();
    Table *row = principal->cdsPrincipal;
    row->Append();
    row->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(login.branch);
    row->FieldByName(QStringLiteral("NMFILIAL"))->SetAsString(QStringLiteral("BENCH"));
    row->FieldByName(QStringLiteral("CDOPERADOR"))->SetAsString(login.operatorCode);
    row->FieldByName(QStringLiteral("NMOPERADOR"))->SetAsString(QStringLiteral("BENCH"));
    row->FieldByName(QStringLiteral("PRODMASK"))->SetAsString(QStringLiteral("99.99.999;1;_"));
    row->Post();
    return principal;
}

template<typename W>
W *openWindow(TfrmPrincipal &principal, double *ms)
{
    W *window = nullptr;
    *ms = timed(
        [&] {
            window = new W(principal.CurrentSession());
            window->Create();
            window->show();
            QApplication::setActiveWindow(window);
        },
        true);
    if (!QTest::qWaitForWindowActive(window, 2000))
        g_problems.append(QStringLiteral("a janela não ficou ativa"));
    settle();
    return window;
}

QString typedCode(const QString &tree)
{
    QString digits;
    for (QChar c : tree)
        if (c.isDigit())
            digits += c;
    return digits;
}

struct Catalogue
{
    QStringList codes; // CDARVPROD, in code order
};

Catalogue catalogue(const QString &dir)
{
    Table table;
    const TableDecl decl = RefTables::produto(RefTables::ProductReader::Entries);
    table.Declare(decl);
    table.LoadFromFile(QDir(dir).filePath(decl.fileName));
    Catalogue c;
    for (table.First(); !table.Eof(); table.Next())
        c.codes.append(table.FieldByName(QStringLiteral("CDARVPROD"))->AsString());
    return c;
}

// ------------------------------------------------- entries and exits

// What tells the two stock document windows apart for the bench: their
// names, their three files, and the operation whose documents it works on.
struct StockDocumentBench
{
    QString name;
    const char *headers; // cdsLancEntr
    const char *pages;   // pgcLancEntr
    QString numberField; // NRLANCNFE
    TableDecl headerDecl;
    QStringList files; // header, items, due dates
    QString operation; // an operation without due dates
    double openTargetMs;
};

// Documents of the branch of an operation without due dates, the latest
// first: an item added to one leaves it confirmable, when the total with the
// item (3 x 2) still fits its field.
QStringList stockDocuments(const QString &dir, const QString &branch,
                           const StockDocumentBench &kind)
{
    Table table;
    table.Declare(kind.headerDecl);
    table.LoadFromFile(QDir(dir).filePath(kind.files[0]));
    const Field *total = table.FieldByName(QStringLiteral("VRNOTAFISC"));
    QStringList numbers;
    for (table.Last(); !table.Bof(); table.Prior()) {
        double sum = 0;
        if (table.FieldByName(QStringLiteral("CDFILIAL"))->AsString() == branch
            && table.FieldByName(QStringLiteral("IDUTILVENC"))->AsString() == QLatin1String("N")
            && table.FieldByName(QStringLiteral("CDTIPOOPER"))->AsString() == kind.operation
            && TryStrToFloat(total->AsString(), sum)
            && FormatFloat(QStringLiteral("##0.00000"), sum + 6).size() <= total->Size())
            numbers.append(table.FieldByName(kind.numberField)->AsString());
        if (numbers.size() > kRuns + 1)
            break;
    }
    if (numbers.size() <= kRuns)
        throw EDatabaseError(
            QStringLiteral("poucos lançamentos em %1 na pasta").arg(kind.files[0]));
    return numbers;
}

template<typename W>
void benchStockDocument(TfrmPrincipal &principal, const QString &dir, const Catalogue &products,
                        const StockDocumentBench &kind)
{
    const QString &name = kind.name;
    const QStringList documents = stockDocuments(dir, principal.CurrentSession().branch, kind);
    for (int run = 0; run < kRuns; ++run) {
        double openMs = 0;
        W *w = openWindow<W>(principal, &openMs);
        figure(name, QStringLiteral("abrir a janela"), kind.openTargetMs).ms.push_back(openMs);
        Table *headers = child<Table>(w, kind.headers);
        Table *items = child<Table>(w, "cdsProduto");
        auto *pages = child<TPageControl>(w, kind.pages);
        auto *itemPage = child<TTabSheet>(w, "tshProduto");
        auto *grid = child<TDBGrid>(w, "dbgProduto");

        if (!headers->Locate(kind.numberField, documents[run + 1]))
            throw EDatabaseError(QStringLiteral("lançamento não encontrado"));
        pages->SelectPage(pages->indexOf(itemPage));
        settle();
        // The move the operator makes with the navigator, on the items page.
        figure(name, QStringLiteral("ir a outro documento")).ms.push_back(timed([&] {
            headers->Locate(kind.numberField, documents[run]);
        }));
        QSet<QString> held;
        for (items->First(); !items->Eof(); items->Next())
            held.insert(items->FieldByName(QStringLiteral("CDARVPROD"))->AsString());
        QString code;
        for (const QString &c : products.codes)
            if (!held.contains(c)) {
                code = c;
                break;
            }

        grid->setFocus();
        if (!QTest::qWaitFor([&] { return grid->hasFocus(); }, 2000))
            throw EDatabaseError(QStringLiteral("a grade não recebeu o foco"));
        grid->SetSelectedField(QStringLiteral("CDARVPROD"));
        items->Last();
        settle();
        figure(name, QStringLiteral("nova linha")).ms.push_back(timed([&] {
            press(Qt::Key_Down);
        }));
        if (items->State() != DataSetState::Insert)
            throw EDatabaseError(QStringLiteral("a nova linha de item não se abriu"));
        type(typedCode(code));
        figure(name, QStringLiteral("sair da célula (código)")).ms.push_back(timed([&] {
            press(Qt::Key_Tab);
        }));
        type(QStringLiteral("3"));
        press(Qt::Key_Tab);
        type(QStringLiteral("2"));
        figure(name, QStringLiteral("gravar a linha")).ms.push_back(timed([&] {
            press(Qt::Key_Down);
        }));
        if (items->State() == DataSetState::Insert)
            items->Cancel();
        settle();
        const double storeMs = timed([&] { w->sbtConfirmar.menu->trigger(); });
        recordStore(figure(name, QStringLiteral("confirmar (3 arquivos)")), storeMs, dir,
                    kind.files);
        if (headers->State() != DataSetState::Browse)
            g_problems.append(QStringLiteral("o lançamento não foi confirmado"));
        // The document goes with its items and due dates.
        pages->SelectPage(pages->indexOf(child<TTabSheet>(w, "tshFormulario")));
        settle();
        const int documentsBefore = headers->RecordCount();
        answerYes();
        const double deleteMs = timed([&] { w->sbtExcluir.menu->trigger(); });
        recordStore(figure(name, QStringLiteral("excluir o documento (3 arquivos)")), deleteMs, dir,
                    kind.files);
        if (headers->RecordCount() != documentsBefore - 1)
            g_problems.append(QStringLiteral("o lançamento não foi excluído"));
        w->close();
        delete w;
        settle();
    }
}

// Donations (02) received.
void benchEntries(TfrmPrincipal &principal, const QString &dir, const Catalogue &products)
{
    benchStockDocument<TfrmLanEntr>(
        principal, dir, products,
        {QStringLiteral("Entradas (TfrmLanEntr)"),
         "cdsLancEntr",
         "pgcLancEntr",
         QStringLiteral("NRLANCNFE"),
         RecordedTables::lancEntr(),
         {QStringLiteral("LANCENTR.cds"), QStringLiteral("ITEMENTR.cds"),
          QStringLiteral("VENCENTR.cds")},
         QStringLiteral("02"),
         300});
}

// Deliveries to a school (11).
void benchExits(TfrmPrincipal &principal, const QString &dir, const Catalogue &products)
{
    benchStockDocument<TfrmLanSaida>(
        principal, dir, products,
        {QStringLiteral("Saídas (TfrmLanSaida)"),
         "cdsLancSaid",
         "pgcLancSaid",
         QStringLiteral("NRLANCNFS"),
         RecordedTables::lancSaid(),
         {QStringLiteral("LANCSAID.cds"), QStringLiteral("ITEMSAID.cds"),
          QStringLiteral("VENCSAID.cds")},
         QStringLiteral("11"),
         kOpenTargetMs});
}

// ---------------------------------------------------------------- inventory

void benchInventory(TfrmPrincipal &principal, const QString &dir, const Catalogue &products)
{
    const QString name = QStringLiteral("Inventário (TfrmInventario)");
    for (int run = 0; run < kRuns; ++run) {
        double openMs = 0;
        TfrmInventario *w = openWindow<TfrmInventario>(principal, &openMs);
        figure(name, QStringLiteral("abrir a janela"), kOpenTargetMs).ms.push_back(openMs);
        auto *date = child<TDateTimePicker>(w, "dpkInventario");
        auto *grid = child<TDBGrid>(w, "dbgPadrao");
        Table *counts = child<Table>(w, "cdsInventario");
        const QDate today = date->Date();
        // Another date with counts, then back to the day of the count.
        figure(name, QStringLiteral("ir a outra data")).ms.push_back(timed([&] {
            date->setDate(today.addDays(-30));
        }));
        figure(name, QStringLiteral("ir a outra data")).ms.push_back(timed([&] {
            date->setDate(today);
        }));
        QSet<QString> held;
        for (counts->First(); !counts->Eof(); counts->Next())
            held.insert(counts->FieldByName(QStringLiteral("CDARVPROD"))->AsString());
        QString code;
        for (const QString &c : products.codes)
            if (!held.contains(c)) {
                code = c;
                break;
            }
        if (code.isEmpty())
            throw EDatabaseError(QStringLiteral("nenhum produto por contar"));
        grid->setFocus();
        if (!QTest::qWaitFor([&] { return grid->hasFocus(); }, 2000))
            throw EDatabaseError(QStringLiteral("a grade não recebeu o foco"));
        figure(name, QStringLiteral("nova linha")).ms.push_back(timed([&] {
            w->sbtIncluir.menu->trigger();
        }));
        type(typedCode(code));
        figure(name, QStringLiteral("sair da célula (código)")).ms.push_back(timed([&] {
            press(Qt::Key_Tab);
        }));
        type(QStringLiteral("2"));
        const double storeMs = timed([&] { press(Qt::Key_Return); });
        recordStore(figure(name, QStringLiteral("gravar a linha (1 arquivo)")), storeMs, dir,
                    {QStringLiteral("INVENTARIO.cds")});
        if (counts->State() == DataSetState::Insert)
            press(Qt::Key_Escape);
        settle();
        // The count just stored goes again.
        if (!counts->Locate(QStringLiteral("CDARVPROD"), code))
            throw EDatabaseError(QStringLiteral("a contagem gravada não aparece"));
        answerYes();
        const double deleteMs = timed([&] { w->sbtExcluir.menu->trigger(); });
        recordStore(figure(name, QStringLiteral("excluir a linha (1 arquivo)")), deleteMs, dir,
                    {QStringLiteral("INVENTARIO.cds")});
        if (counts->Locate(QStringLiteral("CDARVPROD"), code))
            g_problems.append(QStringLiteral("a contagem não foi excluída"));
        w->close();
        delete w;
        settle();
    }
}

// --------------------------------------------------------------- headcount

void focusOn(QWidget *widget)
{
    widget->setFocus();
    if (!QTest::qWaitFor([&] { return widget->hasFocus(); }, 2000))
        throw EDatabaseError(QStringLiteral("%1 não recebeu o foco").arg(widget->objectName()));
}

// The demonstration days of the branch's headcounts (today back to three
// days ago) stay in a directory of years of history; today's have no
// breakdown by client to be checked against.
void benchHeadcount(TfrmPrincipal &principal, const QString &dir)
{
    const QString name = QStringLiteral("Efetivos (TfrmEfetivos)");
    const QDate today = QDate::currentDate();
    for (int run = 0; run < kRuns; ++run) {
        double openMs = 0;
        TfrmEfetivos *w = openWindow<TfrmEfetivos>(principal, &openMs);
        figure(name, QStringLiteral("abrir a janela"), kOpenTargetMs).ms.push_back(openMs);
        auto *menu = child<QWidget>(w, "edtCdTpCard");
        auto *date = child<TDateTimePicker>(w, "dpkData");
        auto *grid = child<TDBGrid>(w, "dbgPadrao");
        Table *rows = child<Table>(w, "cdsAuxEfetivos");
        // The menu type, then the day; leaving the header loads its rows.
        focusOn(menu);
        type(QStringLiteral("1"));
        press(Qt::Key_Tab);
        date->setDate(today.addDays(-2));
        focusOn(grid);
        if (!rows->Active() || rows->IsEmpty())
            throw EDatabaseError(QStringLiteral("nenhum efetivo carregado na data"));
        // Back to the date, another day, and into the grid again.
        figure(name, QStringLiteral("ir a outra data")).ms.push_back(timed([&] {
            date->setFocus();
            date->setDate(today);
            grid->setFocus();
        }));
        if (!grid->hasFocus() || !rows->Active() || rows->RecordCount() < 2)
            throw EDatabaseError(QStringLiteral("os efetivos de hoje não foram carregados"));
        rows->First();
        settle();
        figure(name, QStringLiteral("ir a outra linha")).ms.push_back(timed([&] {
            press(Qt::Key_Down);
        }));
        if (rows->RecNo() != 2)
            g_problems.append(QStringLiteral("a linha de efetivos não mudou"));
        // The clients of the first service, typed over and stored.
        rows->First();
        grid->SetSelectedField(QStringLiteral("QTCLIENTE"));
        settle();
        type(QString::number(100 + run));
        press(Qt::Key_Tab);
        if (rows->State() != DataSetState::Edit)
            throw EDatabaseError(QStringLiteral("a linha de efetivos não entrou em edição"));
        const double storeMs = timed([&] { w->sbtConfirmar.menu->trigger(); });
        recordStore(figure(name, QStringLiteral("gravar a linha (1 arquivo)")), storeMs, dir,
                    {QStringLiteral("EFETIVOS.cds")});
        if (rows->State() != DataSetState::Browse)
            g_problems.append(QStringLiteral("o efetivo não foi gravado"));
        w->close();
        delete w;
        settle();
    }
}

// --------------------------------------------------------------- purchase

// The branch's programmed dates are the demonstration's; the first holds a
// justified row whose adjusted quantity may go down.
void benchPurchase(TfrmPrincipal &principal, const QString &dir)
{
    const QString name = QStringLiteral("Solicitação de compras (TfrmSolCompra)");
    for (int run = 0; run < kRuns; ++run) {
        double openMs = 0;
        TfrmSolCompra *w = openWindow<TfrmSolCompra>(principal, &openMs);
        figure(name, QStringLiteral("abrir a janela"), kOpenTargetMs).ms.push_back(openMs);
        auto *dates = child<TDBGrid>(w, "dbgDataSoli");
        auto *grid = child<TDBGrid>(w, "dbgPadrao");
        Table *dateList = child<Table>(w, "cdsDataSoli");
        Table *rows = child<Table>(w, "cdsSoliComp");
        if (dateList->RecordCount() < 2)
            throw EDatabaseError(QStringLiteral("poucas datas de solicitação na pasta"));
        // The next date in the list and back, with the arrow keys.
        focusOn(dates);
        dateList->First();
        settle();
        figure(name, QStringLiteral("ir a outra data")).ms.push_back(timed([&] {
            press(Qt::Key_Down);
        }));
        if (dateList->RecNo() != 2)
            g_problems.append(QStringLiteral("a data de solicitação não mudou"));
        figure(name, QStringLiteral("ir a outra data")).ms.push_back(timed([&] {
            press(Qt::Key_Up);
        }));
        QString code;
        for (rows->First(); !rows->Eof(); rows->Next())
            if (!rows->FieldByName(QStringLiteral("DSJUSTSOLI"))->AsString().trimmed().isEmpty()) {
                code = rows->FieldByName(QStringLiteral("CDARVPROD"))->AsString();
                break;
            }
        if (code.isEmpty())
            throw EDatabaseError(QStringLiteral("nenhuma linha justificada na primeira data"));
        focusOn(grid);
        if (!rows->Locate(QStringLiteral("CDARVPROD"), code))
            throw EDatabaseError(QStringLiteral("a linha justificada sumiu"));
        grid->SetSelectedField(QStringLiteral("QTAJUSTPRO"));
        settle();
        type(QString::number(10 + run));
        if (rows->State() != DataSetState::Edit)
            throw EDatabaseError(QStringLiteral("a linha de solicitação não entrou em edição"));
        const double storeMs = timed([&] { w->sbtConfirmar.menu->trigger(); });
        recordStore(figure(name, QStringLiteral("gravar a linha (1 arquivo)")), storeMs, dir,
                    {QStringLiteral("SOLICOMP.cds")});
        if (rows->State() != DataSetState::Browse)
            g_problems.append(QStringLiteral("a linha de solicitação não foi gravada"));
        w->close();
        delete w;
        settle();
    }
}

// --------------------------------------------------------------- withdrawal

// Today's plans of the branch are the demonstration's, in a PREVRETI.cds
// that holds the years of history of every branch.
void benchWithdrawal(TfrmPrincipal &principal, const QString &dir)
{
    const QString name = QStringLiteral("Retirada (TfrmRetirada)");
    for (int run = 0; run < kRuns; ++run) {
        double createMs = 0;
        TfrmRetirada *w = openWindow<TfrmRetirada>(principal, &createMs);
        auto *date = child<TDateTimePicker>(w, "dpkData");
        auto *services = child<TDBGrid>(w, "dbgServico");
        auto *grid = child<TDBGrid>(w, "dbgPadrao");
        Table *serviceList = child<Table>(w, "cdsAuxPrevReti");
        Table *rows = child<Table>(w, "cdsPrevReti");
        if (!QTest::qWaitFor([&] { return date->hasFocus(); }, 2000))
            throw EDatabaseError(QStringLiteral("a data não recebeu o foco"));
        // The window opens on a date: the date's rows load as the focus
        // leaves it for the service list.
        const double loadMs = timed(
            [&] {
                press(Qt::Key_Tab);
                if (!services->hasFocus()
                    && !QTest::qWaitFor([&] { return services->hasFocus(); }, 5000))
                    g_problems.append(QStringLiteral("a lista de serviços não recebeu o foco"));
            },
            true);
        figure(name, QStringLiteral("abrir a janela numa data"), 1500)
            .ms.push_back(createMs + loadMs);
        if (!services->hasFocus() || serviceList->RecordCount() < 2)
            throw EDatabaseError(QStringLiteral("os serviços da data não foram carregados"));
        serviceList->First();
        settle();
        figure(name, QStringLiteral("ir a outro serviço")).ms.push_back(timed([&] {
            press(Qt::Key_Down);
        }));
        if (serviceList->RecNo() != 2)
            g_problems.append(QStringLiteral("o serviço não mudou"));
        // The consumed quantity and the kind of the service's first row.
        focusOn(grid);
        rows->First();
        grid->SetSelectedField(QStringLiteral("QTCONSRETI"));
        settle();
        type(QString::number(run + 1));
        press(Qt::Key_Tab);
        type(QStringLiteral("01"));
        if (rows->State() != DataSetState::Edit)
            throw EDatabaseError(QStringLiteral("a linha de retirada não entrou em edição"));
        const double storeMs = timed([&] { w->sbtConfirmar.menu->trigger(); });
        recordStore(figure(name, QStringLiteral("gravar a linha (1 arquivo)")), storeMs, dir,
                    {QStringLiteral("PREVRETI.cds")});
        if (rows->State() != DataSetState::Browse)
            g_problems.append(QStringLiteral("a linha de retirada não foi gravada"));
        w->close();
        delete w;
        settle();
    }
}

void copyDirectory(const QString &from, const QString &to)
{
    QDirIterator it(from, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        if (!QFile::copy(path, QDir(to).filePath(it.fileName())))
            throw EDatabaseError(QStringLiteral("não foi possível copiar %1").arg(path));
    }
}

void print(const QString &text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

QString ms(double value)
{
    return value < 10 ? QString::number(value, 'f', 2) : QString::number(value, 'f', 1);
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 1) {
        print(QStringLiteral("Uso: kivwindowbench PASTA   (uma pasta de kivdemo --years N)\n"));
        return 2;
    }
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));

    // The windows store into the copy, so that every run measures the same
    // directory.
    QTemporaryDir work(
        QDir(QFileInfo(args[0]).absolutePath()).filePath(QStringLiteral(".bench-XXXXXX")));
    QTemporaryDir registry;
    try {
        copyDirectory(args[0], work.path());
        QFile ini(registry.filePath(QStringLiteral("Ostrel.ini")));
        if (!ini.open(QIODevice::WriteOnly | QIODevice::Text))
            throw EDatabaseError(QStringLiteral("registro de teste"));
        ini.write(QStringLiteral("KivpcDir=%1\n").arg(work.path()).toUtf8());
        ini.close();
        qputenv("KIV_REGISTRY_INI", ini.fileName().toLocal8Bit());

        watchDialogs();
        const Catalogue products = catalogue(work.path());
        auto principal = startMainWindow();
        benchEntries(*principal, work.path(), products);
        benchExits(*principal, work.path(), products);
        benchInventory(*principal, work.path(), products);
        benchHeadcount(*principal, work.path());
        benchPurchase(*principal, work.path());
        benchWithdrawal(*principal, work.path());
    } catch (const KivError &error) {
        print(QStringLiteral("Erro: %1\n").arg(error.message()));
        return 1;
    }

    qint64 itemRows = 0;
    {
        Table items;
        items.Declare(RecordedTables::itemEntr());
        items.LoadFromFile(QDir(args[0]).filePath(QStringLiteral("ITEMENTR.cds")));
        itemRows = items.RecordCount();
    }
    print(QStringLiteral("%1: %2 linhas de itens de entrada; mediana de %3 vezes, em ms\n\n")
              .arg(QDir::toNativeSeparators(args[0]))
              .arg(itemRows)
              .arg(kRuns));
    print(QStringLiteral("| janela | ação | ms | limite (write + fsync) | meta |\n"
                         "|---|---|---|---|---|\n"));
    QStringList missed;
    for (const Figure &f : g_figures) {
        const double m = median(f.ms);
        QString limit = QStringLiteral("-");
        QString target = QStringLiteral("< %1 ms").arg(f.targetMs);
        bool over = m >= f.targetMs;
        if (f.limitMs >= 0) {
            limit = QStringLiteral("%1 ms de %2 MB (%3x)")
                        .arg(ms(f.limitMs))
                        .arg(double(f.bytes) / 1e6, 0, 'f', 1)
                        .arg(m / f.limitMs, 0, 'f', 1);
            target = QStringLiteral("<= %1x").arg(kStoreTargetRatio);
            over = m > kStoreTargetRatio * f.limitMs;
        }
        if (over) {
            target += QStringLiteral(" NÃO ATINGIDA");
            missed.append(QStringLiteral("%1, %2").arg(f.window, f.action));
        }
        print(QStringLiteral("| %1 | %2 | %3 | %4 | %5 |\n")
                  .arg(f.window, f.action, ms(m), limit, target));
    }
    for (const QString &m : std::as_const(missed))
        print(QStringLiteral("Meta não atingida: %1\n").arg(m));
    for (const QString &p : std::as_const(g_problems))
        print(QStringLiteral("Problema: %1\n").arg(p));
    return g_problems.isEmpty() ? 0 : 1;
}
