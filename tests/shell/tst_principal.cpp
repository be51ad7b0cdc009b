#include "basewindows.h"
#include "datadirlock.h"
#include "dialoganswerer.h"
#include "errors.h"
#include "localeservice.h"
#include "maskedit.h"
#include "shellfixture.h"
#include "statusbar.h"
#include "table.h"
#include "tfrmlogin.h"
#include "tfrmprincipal.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QSysInfo>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <memory>

using namespace kiv;

namespace {

// A task window as the commands open them: its screen code, a count of
// the loads its creation runs and of the closes it was asked for.
class CountedWindow : public TfrmPadraoSimples
{
public:
    CountedWindow(const QString &code, int *loads, int *closes)
        : m_loads(loads), m_closes(closes)
    {
        setObjectName(QStringLiteral("frm") + code);
        lblCodTela->setText(code);
    }

protected:
    void FormCreate() override { ++*m_loads; }
    void FormActivate() override { SetStatusPanel(3, lblCodTela->text()); }
    void FormClose(bool &allowClose) override
    {
        ++*m_closes;
        TfrmPadraoSimples::FormClose(allowClose);
    }

private:
    int *m_loads;
    int *m_closes;
};

struct TaskCounts
{
    int created = 0;
    int loads = 0;
    int closes = 0;
};

void openWith(TfrmPrincipal &principal, TaskWindow window, TaskCounts &counts)
{
    principal.SetWindowFactory(window, [&counts, window](const LoginSession &) {
        ++counts.created;
        return new CountedWindow(ScreenCode(window), &counts.loads,
                                 &counts.closes);
    });
}

QList<TfrmLogin *> loginWindows()
{
    QList<TfrmLogin *> logins;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *login = qobject_cast<TfrmLogin *>(widget))
            logins.append(login);
    return logins;
}

// The files of a directory with their sizes and times: what a refused or
// failed start must leave as it was.
QStringList snapshot(const QString &path)
{
    QStringList entries;
    const QFileInfoList infos =
        QDir(path).entryInfoList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &info : infos)
        entries << QStringLiteral("%1 %2 %3")
                       .arg(info.fileName())
                       .arg(info.size())
                       .arg(info.lastModified().toMSecsSinceEpoch());
    return entries;
}

// A pid no process holds: a child that has already ended.
qint64 deadPid()
{
    QProcess process;
    process.start(QStringLiteral("true"), QStringList());
    process.waitForFinished();
    return process.processId() ? process.processId() : 999999;
}

} // namespace

class TestPrincipal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void startupFailureNamesTheCause_data();
    void startupFailureNamesTheCause();
    void captionCarriesTheProgramVersion_data();
    void captionCarriesTheProgramVersion();
    void dataDirectoryEndsInOneSeparator_data();
    void dataDirectoryEndsInOneSeparator();
    void loadsTheBranchesAndCreatesAnEmptySession();
    void menuAndToolbarInTheirOrder();
    void firstActivationShowsTheLoginOnce();
    void exitQuestion_data();
    void exitQuestion();
    void exitFromTheMainWindowEndsTheRun();
    void exitFromTheLoginAsksOnce_data();
    void exitFromTheLoginAsksOnce();
    void taskWindowOpenedTwiceIsOneWindow_data();
    void taskWindowOpenedTwiceIsOneWindow();
    void severalTaskWindowsAndTheScreenCode();
    void commandWithoutWindowOpensNothing();
    void windowThatFailsToBuild();
    void secondCopyOnTheSameDirectoryIsRefused();
    void unwritableLockIsNotAnotherCopy();
    void lockOfAnotherRun_data();
    void lockOfAnotherRun();
    void interruptedSaveFinishedAtStart();

private:
    // A started main window on a good directory, logged in.
    std::unique_ptr<TfrmPrincipal> startLoggedIn(ShellDataDir &data);
};

void TestPrincipal::initTestCase()
{
    QApplication::setApplicationName(QStringLiteral("Kiv - School Meals"));
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void TestPrincipal::cleanup()
{
    // A test that failed half-way may leave a window behind; the next one
    // starts clean.
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->isVisible())
            widget->hide();
}

std::unique_ptr<TfrmPrincipal> TestPrincipal::startLoggedIn(ShellDataDir &data)
{
    data.writeOperators();
    data.registerDirectory();
    auto principal = std::make_unique<TfrmPrincipal>();
    principal->Create();
    if (!principal->Started())
        return nullptr;
    principal->show();
    principal->activateWindow();
    if (!QTest::qWaitFor([&] { return principal->LoginWindow() != nullptr; }))
        return nullptr;
    TfrmLogin *login = principal->LoginWindow();
    // Codes as leaving the fields leaves them.
    login->medCdFilial->SetText(QStringLiteral("0001"));
    login->medCdOperador->SetText(QStringLiteral("000000000001"));
    login->edtSenha->setText(QStringLiteral("senha1"));
    login->btnConfirma->click();
    if (!QTest::qWaitFor([&] { return principal->LoginWindow() == nullptr; }))
        return nullptr;
    return principal;
}

void TestPrincipal::startupFailureNamesTheCause_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("namesDirectory");

    QTest::newRow("no registry file") << "no file" << false;
    QTest::newRow("registry without KivpcDir") << "no value" << false;
    QTest::newRow("empty KivpcDir") << "empty value" << false;
    QTest::newRow("directory without DADOS_KIPC.CDS") << "no table" << true;
    QTest::newRow("directory that does not exist") << "missing directory" << true;
    QTest::newRow("DADOS_KIPC.CDS unreadable") << "garbage table" << true;
}

void TestPrincipal::startupFailureNamesTheCause()
{
    QFETCH(QString, setup);
    QFETCH(bool, namesDirectory);

    ShellDataDir data;
    QString directory = data.path();
    if (setup == "no file") {
        qputenv("KIV_REGISTRY_INI", data.registryFile().toLocal8Bit());
    } else if (setup == "no value") {
        data.registerValue(QString());
    } else if (setup == "empty value") {
        data.registerValue(QStringLiteral(""));
    } else if (setup == "missing directory") {
        directory = data.filePath(QStringLiteral("nao-existe"));
        data.registerValue(directory);
    } else {
        if (setup == "garbage table") {
            QFile file(data.filePath(QStringLiteral("DADOS_KIPC.CDS")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("isto não é uma tabela\n");
        }
        data.registerDirectory();
    }
    const QStringList before = snapshot(data.path());

    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    TfrmPrincipal principal;
    principal.Create();

    QVERIFY(!principal.Started());
    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    const QString expected =
        namesDirectory
            ? QStringLiteral("Não foi possível localizar os arquivos importados no diretório "
                             "%1/. Verifique se a exportação foi realizada corretamente.")
                  .arg(directory)
            : QStringLiteral("Não foi registrado no regedit o valor de sequência 'KivpcDir' "
                             "para armazenar o diretório de arquivos importados.");
    QCOMPARE(answerer.at(0).text, expected);
    QCOMPARE(principal.DirDados, namesDirectory ? directory + u'/' : QStringLiteral("/"));
    // Nothing written, no lock left behind.
    QCOMPARE(snapshot(data.path()), before);
}

void TestPrincipal::captionCarriesTheProgramVersion_data()
{
    QTest::addColumn<QString>("module");
    QTest::addColumn<QString>("caption");

    QTest::newRow("the program itself") << QString() << "Kiv - School Meals (1.0.0.0)";
    QTest::newRow("a file without version") << "registry" << "Kiv - School Meals";
    QTest::newRow("a path naming no file") << "/nao/existe/kiv" << "Kiv - School Meals";
}

void TestPrincipal::captionCarriesTheProgramVersion()
{
    QFETCH(QString, module);
    QFETCH(QString, caption);

    ShellDataDir data;
    data.writeOperators();
    data.registerDirectory();
    TfrmPrincipal principal;
    if (module == "registry")
        principal.ModulePath = data.registryFile();
    else if (!module.isEmpty())
        principal.ModulePath = module;
    principal.Create();
    QVERIFY(principal.Started());
    QCOMPARE(principal.windowTitle(), caption);
}

void TestPrincipal::dataDirectoryEndsInOneSeparator_data()
{
    QTest::addColumn<bool>("trailingSeparator");
    QTest::newRow("value without separator") << false;
    QTest::newRow("value with separator") << true;
}

void TestPrincipal::dataDirectoryEndsInOneSeparator()
{
    QFETCH(bool, trailingSeparator);
    ShellDataDir data;
    data.writeOperators();
    data.registerValue(trailingSeparator ? data.path() + u'/' : data.path());
    TfrmPrincipal principal;
    principal.Create();
    QVERIFY(principal.Started());
    QCOMPARE(principal.DirDados, data.path() + u'/');
}

void TestPrincipal::loadsTheBranchesAndCreatesAnEmptySession()
{
    ShellDataDir data;
    data.writeOperators();
    data.registerDirectory();
    TfrmPrincipal principal;
    principal.Create();
    QVERIFY(principal.Started());
    QCOMPARE(TfrmPrincipal::instance(), &principal);
    QCOMPARE(principal.cdsDados->RecordCount(), defaultOperators().size());
    QVERIFY(!principal.cdsDados->Filtered());
    QCOMPARE(principal.cdsPrincipal->RecordCount(), 0);
    QStringList fields;
    for (int i = 0; i < principal.cdsPrincipal->FieldCount(); ++i)
        fields << principal.cdsPrincipal->Fields(i)->FieldName();
    QCOMPARE(fields,
             (QStringList{"CDFILIAL", "NMFILIAL", "CDOPERADOR", "NMOPERADOR", "PRODMASK"}));
    QCOMPARE(principal.msgPadrao.Msg("ON_EXIT"), QStringLiteral("Deseja sair do sistema ?"));
    QCOMPARE(principal.msgPadrao.Msg("PROC"), QStringLiteral("Proc.:"));
    QCOMPARE(principal.msgPadrao.Msg("FILIAL"), QStringLiteral("Filial"));
    QCOMPARE(NomeUnit(&principal), QStringLiteral("KIS00000"));
    QCOMPARE(principal.stbStatus->PanelCount(), 4);
}

void TestPrincipal::menuAndToolbarInTheirOrder()
{
    TfrmPrincipal principal;

    QStringList menus;
    QStringList entries;
    for (QAction *top : principal.menuBar()->actions()) {
        menus << top->text();
        for (QAction *entry : top->menu()->actions())
            entries << entry->objectName() + u' ' + entry->text();
    }
    QCOMPARE(menus, (QStringList{"&Ajuste", "&Lançamentos", "&Consumo", "M&edição", "&Retirada"}));
    QCOMPARE(entries, (QStringList{"mnuInventario &Inventário",
                                   "mnuLanEntrada La&nçamento de Entrada",
                                   "mnuLanSaida Lança&mento de Saída",
                                   "mnuSolCompras &Solicitação de Compras",
                                   "mnuEfetivos E&fetivos",
                                   "mnuRetServico Re&tirada por Serviço"}));

    QStringList buttons;
    for (QAction *action : principal.tbrFerramentas->actions()) {
        QWidget *widget = principal.tbrFerramentas->widgetForAction(action);
        auto *button = qobject_cast<QToolButton *>(widget);
        if (!button)
            continue;
        buttons << button->objectName() + u' ' + button->toolTip();
        QVERIFY2(button->autoRaise(), qPrintable(button->objectName()));
    }
    QCOMPARE(buttons, (QStringList{"sbtInventario Inventário",
                                   "sbtLancEntr Lançamento de Entrada",
                                   "sbtLancSaid Lançamento de Saída",
                                   "sbtSolComp Solicitação de Compras",
                                   "sbtEfetivos Efetivos",
                                   "SpeedButton1 Retirada por Serviço"}));
}

void TestPrincipal::firstActivationShowsTheLoginOnce()
{
    ShellDataDir data;
    data.writeOperators();
    data.registerDirectory();
    TfrmPrincipal principal;
    principal.Create();
    QVERIFY(principal.Started());
    QVERIFY(!principal.LoginCreated());

    principal.show();
    principal.activateWindow();
    QTRY_VERIFY(principal.LoginWindow() && principal.LoginWindow()->isVisible());
    QPointer<TfrmLogin> login = principal.LoginWindow();
    QVERIFY(principal.LoginCreated());
    QVERIFY(!principal.isEnabled());
    QVERIFY(!login->parentWidget() || login->isWindow());
    QTRY_COMPARE(principal.stbStatus->PanelText(3), QStringLiteral("KIS00010"));

    // Back and forth between the windows: still the one login.
    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_VERIFY(other.isActiveWindow());
    principal.activateWindow();
    QTRY_VERIFY(principal.isActiveWindow());
    QCOMPARE(loginWindows().size(), 1);
    QCOMPARE(principal.LoginWindow(), login.data());

    DialogAnswerer answerer;
    login->medCdFilial->SetText(QStringLiteral("0002"));
    login->medCdOperador->SetText(QStringLiteral("000000000003"));
    login->edtSenha->setText(QStringLiteral("davi3"));
    login->btnConfirma->click();
    QVERIFY2(answerer.count() == 0, qPrintable(answerer.transcript()));
    QTRY_VERIFY(login.isNull());
    QVERIFY(principal.isEnabled());

    // Later activations of the run show no login.
    other.activateWindow();
    QTRY_VERIFY(other.isActiveWindow());
    principal.activateWindow();
    QTRY_VERIFY(principal.isActiveWindow());
    QTest::qWait(20);
    QVERIFY(loginWindows().isEmpty());
    QVERIFY(principal.LoginCreated());
    QCOMPARE(principal.stbStatus->PanelText(3), QStringLiteral("KIS00000"));
}

void TestPrincipal::exitQuestion_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("leaves");
    QTest::newRow("No keeps everything") << "Não" << false;
    QTest::newRow("Yes ends the run") << "Sim" << true;
}

void TestPrincipal::exitQuestion()
{
    QFETCH(QString, answer);
    QFETCH(bool, leaves);

    ShellDataDir data;
    auto principal = startLoggedIn(data);
    QVERIFY(principal);
    TaskCounts inventory, entries;
    openWith(*principal, TaskWindow::Inventario, inventory);
    openWith(*principal, TaskWindow::LanEntrada, entries);
    principal->findChild<QAction *>("mnuInventario")->trigger();
    principal->findChild<QAction *>("mnuLanEntrada")->trigger();
    QCOMPARE(principal->mdiArea->subWindowList().size(), 2);
    QMdiSubWindow *front = principal->mdiArea->activeSubWindow();
    principal->cdsDados->SetFilter(QStringLiteral("CDFILIAL = '0002'"));
    principal->cdsDados->SetFiltered(true);

    DialogAnswerer answerer;
    answerer.press(answer);
    const bool closed = principal->close();

    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).text, QStringLiteral("Deseja sair do sistema ?"));
    QCOMPARE(closed, leaves);
    QCOMPARE(principal->isVisible(), !leaves);
    QCOMPARE(principal->cdsDados->Filtered(), !leaves);
    if (!leaves) {
        // Every task window stays as it was; none was even asked to close.
        QCOMPARE(principal->mdiArea->subWindowList().size(), 2);
        QVERIFY(principal->TaskWindowInstance(TaskWindow::Inventario)->isVisible());
        QVERIFY(principal->TaskWindowInstance(TaskWindow::LanEntrada)->isVisible());
        QCOMPARE(principal->mdiArea->activeSubWindow(), front);
        QCOMPARE(inventory.closes + entries.closes, 0);
    }
}

void TestPrincipal::exitFromTheMainWindowEndsTheRun()
{
    // The question is asked once and the event loop ends: nothing asks it
    // again while the program closes its windows.
    ShellDataDir data;
    auto principal = startLoggedIn(data);
    QVERIFY(principal);
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("Sim"));
    QTimer::singleShot(0, principal.get(), [&] { principal->close(); });
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(99); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QVERIFY(!principal->isVisible());
}

void TestPrincipal::exitFromTheLoginAsksOnce_data()
{
    QTest::addColumn<bool>("closeBox");
    QTest::newRow("Sair") << false;
    QTest::newRow("close box") << true;
}

void TestPrincipal::exitFromTheLoginAsksOnce()
{
    QFETCH(bool, closeBox);
    ShellDataDir data;
    data.writeOperators();
    data.registerDirectory();
    TfrmPrincipal principal;
    principal.Create();
    principal.show();
    principal.activateWindow();
    QTRY_VERIFY(principal.LoginWindow() && principal.LoginWindow()->isVisible());
    QPointer<TfrmLogin> login = principal.LoginWindow();

    // Yes to the login's question ends the run: the main window, closed on
    // the way out, does not ask again.
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("Sim"));
    QTimer::singleShot(0, login, [&] {
        if (closeBox)
            login->close();
        else
            login->btnSair->click();
    });
    QTimer::singleShot(10000, qApp, [] { QCoreApplication::exit(99); });
    QCOMPARE(QApplication::exec(), 0);
    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).text, QStringLiteral("Deseja sair do sistema ?"));
    QVERIFY(!principal.isVisible());
}

void TestPrincipal::taskWindowOpenedTwiceIsOneWindow_data()
{
    QTest::addColumn<int>("window");
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("code");

    QTest::newRow("inventory") << int(TaskWindow::Inventario) << "mnuInventario"
                               << "sbtInventario" << "KIS00100";
    QTest::newRow("stock entries") << int(TaskWindow::LanEntrada) << "mnuLanEntrada"
                                   << "sbtLancEntr" << "KIS00200";
    QTest::newRow("stock exits") << int(TaskWindow::LanSaida) << "mnuLanSaida" << "sbtLancSaid"
                                 << "KIS00300";
    QTest::newRow("purchase requests") << int(TaskWindow::SolCompras) << "mnuSolCompras"
                                       << "sbtSolComp" << "KIS00400";
    QTest::newRow("headcounts") << int(TaskWindow::Efetivos) << "mnuEfetivos" << "sbtEfetivos"
                                << "KIS00500";
    QTest::newRow("withdrawals") << int(TaskWindow::RetServico) << "mnuRetServico"
                                 << "SpeedButton1" << "KIS00600";
}

void TestPrincipal::taskWindowOpenedTwiceIsOneWindow()
{
    QFETCH(int, window);
    QFETCH(QString, menu);
    QFETCH(QString, button);
    QFETCH(QString, code);
    const auto task = TaskWindow(window);

    ShellDataDir data;
    auto principal = startLoggedIn(data);
    QVERIFY(principal);
    TaskCounts counts;
    openWith(*principal, task, counts);
    QAction *entry = principal->findChild<QAction *>(menu);
    auto *speed = principal->findChild<QToolButton *>(button);
    QVERIFY(entry && speed);

    entry->trigger();
    QPointer<TfrmPadrForm00000> first = principal->TaskWindowInstance(task);
    QVERIFY(first);
    QCOMPARE(principal->stbStatus->PanelText(3), code);
    QCOMPARE(first->window(), principal.get());

    // Minimised, then the toolbar button: the same window, brought back.
    QMdiSubWindow *sub = principal->mdiArea->subWindowList().value(0);
    QVERIFY(sub);
    sub->showMinimized();
    principal->stbStatus->SetPanelText(3, QStringLiteral("KIS00000"));
    speed->click();
    QCOMPARE(principal->TaskWindowInstance(task), first.data());
    QCOMPARE(counts.created, 1);
    QCOMPARE(counts.loads, 1);
    QCOMPARE(principal->mdiArea->subWindowList().size(), 1);
    QVERIFY(!sub->isMinimized());
    QCOMPARE(principal->mdiArea->activeSubWindow(), sub);
    QCOMPARE(principal->stbStatus->PanelText(3), code);

    // Closed: the next command builds, and loads, a new window.
    first->findChild<QAction *>("mnuFechar")->trigger();
    QTRY_VERIFY(first.isNull());
    QTRY_VERIFY(principal->mdiArea->subWindowList().isEmpty());
    QVERIFY(!principal->TaskWindowInstance(task));
    entry->trigger();
    QVERIFY(principal->TaskWindowInstance(task));
    QCOMPARE(counts.created, 2);
    QCOMPARE(counts.loads, 2);
    QCOMPARE(principal->mdiArea->subWindowList().size(), 1);
}

void TestPrincipal::severalTaskWindowsAndTheScreenCode()
{
    ShellDataDir data;
    auto principal = startLoggedIn(data);
    QVERIFY(principal);
    TaskCounts exits, withdrawals;
    openWith(*principal, TaskWindow::LanSaida, exits);
    openWith(*principal, TaskWindow::RetServico, withdrawals);
    principal->findChild<QAction *>("mnuLanSaida")->trigger();
    principal->findChild<QAction *>("mnuRetServico")->trigger();
    QCOMPARE(principal->mdiArea->subWindowList().size(), 2);
    QCOMPARE(principal->stbStatus->PanelText(3), QStringLiteral("KIS00600"));

    // The window brought to the front writes its own code.
    QMdiSubWindow *exitsFrame =
        qobject_cast<QMdiSubWindow *>(principal->TaskWindowInstance(TaskWindow::LanSaida)
                                          ->parentWidget());
    QVERIFY(exitsFrame);
    principal->mdiArea->setActiveSubWindow(exitsFrame);
    QTRY_COMPARE(principal->stbStatus->PanelText(3), QStringLiteral("KIS00300"));

    // Closing its frame closes the window itself (its close handler runs).
    exitsFrame->close();
    QTRY_VERIFY(!principal->TaskWindowInstance(TaskWindow::LanSaida));
    QCOMPARE(exits.closes, 1);
    QCOMPARE(principal->mdiArea->subWindowList().size(), 1);
    QVERIFY(principal->TaskWindowInstance(TaskWindow::RetServico));
}

void TestPrincipal::commandWithoutWindowOpensNothing()
{
    ShellDataDir data;
    auto principal = startLoggedIn(data);
    QVERIFY(principal);
    DialogAnswerer answerer;
    principal->findChild<QAction *>("mnuEfetivos")->trigger();
    principal->findChild<QToolButton *>("sbtEfetivos")->click();
    QTest::qWait(20);
    QVERIFY(principal->mdiArea->subWindowList().isEmpty());
    QCOMPARE(answerer.count(), 0);
}

void TestPrincipal::windowThatFailsToBuild()
{
    ShellDataDir data;
    auto principal = startLoggedIn(data);
    QVERIFY(principal);
    principal->SetWindowFactory(TaskWindow::SolCompras,
                                [](const LoginSession &) -> TfrmPadrForm00000 * {
        throw EDatabaseError(QStringLiteral("Arquivo SOLICOMP.cds não encontrado."));
    });
    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    principal->findChild<QAction *>("mnuSolCompras")->trigger();
    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).text, QStringLiteral("Arquivo SOLICOMP.cds não encontrado."));
    // The error is shown and the hourglass gone: the menu is usable again.
    QVERIFY(!QApplication::overrideCursor());
    QVERIFY(principal->mdiArea->subWindowList().isEmpty());
    QVERIFY(!principal->TaskWindowInstance(TaskWindow::SolCompras));
}

void TestPrincipal::secondCopyOnTheSameDirectoryIsRefused()
{
    ShellDataDir data;
    data.writeOperators();
    data.registerDirectory();
    auto first = std::make_unique<TfrmPrincipal>();
    first->Create();
    QVERIFY(first->Started());
    const QStringList before = snapshot(data.path());

    {
        DialogAnswerer answerer;
        answerer.press(QStringLiteral("OK"));
        TfrmPrincipal second;
        second.Create();
        QVERIFY(!second.Started());
        QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
        const QString text = answerer.at(0).text;
        QVERIFY2(text.contains(data.path()), qPrintable(text));
        QVERIFY2(text.contains(QSysInfo::machineHostName()), qPrintable(text));
        QVERIFY2(text.contains(QString::number(QCoreApplication::applicationPid())),
                 qPrintable(text));
        QVERIFY2(text.startsWith(QStringLiteral("O sistema já está aberto")), qPrintable(text));
    }
    QCOMPARE(snapshot(data.path()), before);
    // The running window keeps its place and its status bar.
    QCOMPARE(TfrmPrincipal::instance(), first.get());
    SetStatusPanel(3, QStringLiteral("KIS00300"));
    QCOMPARE(first->stbStatus->PanelText(3), QStringLiteral("KIS00300"));

    // The first run ends: the directory is free again.
    first.reset();
    DialogAnswerer answerer;
    TfrmPrincipal third;
    third.Create();
    QVERIFY2(third.Started(), qPrintable(answerer.transcript()));
}

// A directory where the lock cannot be written (no write permission; here a
// directory in the lock file's place, which stops root too) is not reported
// as a copy already running.
void TestPrincipal::unwritableLockIsNotAnotherCopy()
{
    ShellDataDir data;
    data.writeOperators();
    data.registerDirectory();
    QVERIFY(QDir(data.path()).mkdir(DataDirLock::lockFileName()));

    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    TfrmPrincipal principal;
    principal.Create();
    QVERIFY(!principal.Started());
    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    const QString text = answerer.at(0).text;
    QVERIFY2(text.startsWith(QStringLiteral("Não foi possível gravar no diretório de dados")),
             qPrintable(text));
    QVERIFY2(text.contains(data.path()), qPrintable(text));
}

void TestPrincipal::lockOfAnotherRun_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("takenOver");
    QTest::newRow("crashed run on this machine") << QSysInfo::machineHostName() << true;
    QTest::newRow("run on another machine") << "COZINHA-02" << false;
}

void TestPrincipal::lockOfAnotherRun()
{
    QFETCH(QString, host);
    QFETCH(bool, takenOver);

    ShellDataDir data;
    data.writeOperators();
    data.registerDirectory();
    const qint64 pid = deadPid();
    const QString lockPath = data.filePath(DataDirLock::lockFileName());
    {
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QStringLiteral("%1\nkiv\n%2\n").arg(pid).arg(host).toUtf8());
    }

    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    TfrmPrincipal principal;
    principal.Create();
    QCOMPARE(principal.Started(), takenOver);
    QFile lock(lockPath);
    QVERIFY(lock.open(QIODevice::ReadOnly));
    const QByteArray holder = lock.readLine().trimmed();
    if (takenOver) {
        QCOMPARE(answerer.count(), 0);
        QCOMPARE(holder, QByteArray::number(QCoreApplication::applicationPid()));
    } else {
        QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
        QVERIFY2(answerer.at(0).text.contains(host), qPrintable(answerer.at(0).text));
        QVERIFY2(answerer.at(0).text.contains(QString::number(pid)),
                 qPrintable(answerer.at(0).text));
        QCOMPARE(holder, QByteArray::number(pid));
    }
}

// A save of two files cut between its renames: the start finishes it
// before any table is read, says which file it completed, and leaves no
// temporary behind.
void TestPrincipal::interruptedSaveFinishedAtStart()
{
    ShellDataDir data;
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile file(data.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    // The old item file and the new one still under its temporary name;
    // the header file was already replaced when the crash came.
    write(QStringLiteral("ITEMENTR.cds"), "old items");
    write(QStringLiteral(".ITEMENTR.cds.77-2.tmp"), "new items");
    write(QStringLiteral(".ITEMENTR.cds.77-5.old"), "old items");
    write(QStringLiteral("LANCENTR.cds"), "new headers");
    write(QStringLiteral(".LANCENTR.cds.77-4.old"), "old headers");
    write(QStringLiteral(".kiv-save.77-7.set"),
          "KIV SAVE SET 1\n"
          "LANCENTR.cds\t.LANCENTR.cds.77-1.tmp\t.LANCENTR.cds.77-4.old\n"
          "ITEMENTR.cds\t.ITEMENTR.cds.77-2.tmp\t.ITEMENTR.cds.77-5.old\n"
          "END\n");
    data.writeOperators();
    data.registerDirectory();

    DialogAnswerer answerer;
    answerer.press(QStringLiteral("OK"));
    TfrmPrincipal principal;
    principal.Create();
    QVERIFY(principal.Started());
    QVERIFY2(answerer.count() == 1, qPrintable(answerer.transcript()));
    QCOMPARE(answerer.at(0).text,
             QStringLiteral("A gravação interrompida de ITEMENTR.cds foi concluída."));
    const auto bytes = [&](const QString &name) {
        QFile file(data.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QCOMPARE(bytes(QStringLiteral("ITEMENTR.cds")), QByteArray("new items"));
    QCOMPARE(bytes(QStringLiteral("LANCENTR.cds")), QByteArray("new headers"));
    const QStringList hidden = QDir(data.path()).entryList(
        {QStringLiteral(".*.tmp"), QStringLiteral(".*.old"), QStringLiteral(".*.set")},
        QDir::Files | QDir::Hidden);
    QVERIFY2(hidden.isEmpty(), qPrintable(hidden.join(u' ')));
}

QTEST_MAIN(TestPrincipal)
#include "tst_principal.moc"
