#include "tfrmprincipal.h"

#include "errors.h"
#include "guard.h"
#include "icons.h"
#include "localeservice.h"
#include "messagebox.h"
#include "recordedtables.h"
#include "settings.h"
#include "statusbar.h"
#include "table.h"
#include "tablefile.h"
#include "textroutines.h"
#include "tfrmlogin.h"
#include "version.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace kiv {

namespace {

TfrmPrincipal *g_instance = nullptr;

const QString title = QStringLiteral("Kiv - School Meals");

struct Command
{
    TaskWindow window;
    const char *menu;       // the menu entry's object name
    const char *caption;    // its caption
    const char *topMenu;    // the menu it belongs to
    const char *topName;    // that menu's object name
    const char *button;     // the toolbar button's object name
    const char *hint;
    const char *icon;       // the button's icon, by its freedesktop name
    void (TfrmPrincipal::*handler)();
};

const Command commands[] = {
    {TaskWindow::Inventario, "mnuInventario", "&Inventário", "&Ajuste", "mnuAjuste",
     "sbtInventario", "Inventário", "x-office-spreadsheet",
     &TfrmPrincipal::mnuInventarioClick},
    {TaskWindow::LanEntrada, "mnuLanEntrada", "La&nçamento de Entrada", "&Lançamentos",
     "mnuLancamentos", "sbtLancEntr", "Lançamento de Entrada", "go-down",
     &TfrmPrincipal::mnuLanEntradaClick},
    {TaskWindow::LanSaida, "mnuLanSaida", "Lança&mento de Saída", "&Lançamentos",
     "mnuLancamentos", "sbtLancSaid", "Lançamento de Saída", "go-up",
     &TfrmPrincipal::mnuLanSaidaClick},
    {TaskWindow::SolCompras, "mnuSolCompras", "&Solicitação de Compras", "&Consumo",
     "mnuConsumo", "sbtSolComp", "Solicitação de Compras", "x-office-document",
     &TfrmPrincipal::mnuSolComprasClick},
    {TaskWindow::Efetivos, "mnuEfetivos", "E&fetivos", "M&edição", "mnuMedicao", "sbtEfetivos",
     "Efetivos", "system-users", &TfrmPrincipal::mnuEfetivosClick},
    {TaskWindow::RetServico, "mnuRetServico", "Re&tirada por Serviço", "&Retirada",
     "mnuRetirada", "SpeedButton1", "Retirada por Serviço", "package-x-generic",
     &TfrmPrincipal::mnuRetServicoClick},
};

// The hourglass while a window is built, gone however the building ends.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

TfrmPrincipal::TfrmPrincipal(QWidget *parent) : TfrmPadrForm00000(parent)
{
    // The first main window of the run is the running one; a copy refused
    // on the same directory must not take its session or status bar away.
    const bool running = g_instance == nullptr;
    if (running)
        g_instance = this;
    ModulePath = QCoreApplication::applicationFilePath();
    setObjectName(QStringLiteral("TfrmPrincipal"));
    lblCodTela->setText(QStringLiteral("KIS00000"));
    msgPadrao = TMessages{
        QStringLiteral("ON_EXIT|Deseja sair do sistema ?"),
        QStringLiteral("PROC|Proc.:"),
        QStringLiteral("FILIAL|Filial"),
        QStringLiteral("cds_erro|Não foi possível localizar os arquivos importados no diretório "
                       "%s. Verifique se a exportação foi realizada corretamente."),
        QStringLiteral("regedit_erro|Não foi registrado no regedit o valor de sequência "
                       "'KivpcDir' para armazenar o diretório de arquivos importados."),
    };

    stbStatus = new TStatusBar(this);
    stbStatus->setObjectName(QStringLiteral("stbStatus"));
    setStatusBar(stbStatus);
    if (running)
        SetMainStatusBar(stbStatus);

    mdiArea = new QMdiArea(ClientArea());
    mdiArea->setObjectName(QStringLiteral("mdiArea"));
    ClientLayout()->setContentsMargins(0, 0, 0, 0);
    ClientLayout()->addWidget(mdiArea);
    // A window larger than the area is scrolled to, never cut off.
    mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdiArea->setActivationOrder(QMdiArea::ActivationHistoryOrder);
    connect(mdiArea, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow *sub) {
        // Null while a dialog or another program is in front: the window
        // stays the one in front of the main window.
        if (!sub)
            return;
        // The access keys of the windows' menus (Alt+O, Alt+M) are the same
        // in every task window: only the one in front takes them.
        for (QMdiSubWindow *other : mdiArea->subWindowList())
            if (auto *window = qobject_cast<QMainWindow *>(other->widget()))
                window->menuBar()->setEnabled(other == sub);
        if (auto *window = qobject_cast<TfrmPadrForm00000 *>(sub->widget())) {
            window->Activate();
            // Brought to the front from another window, Qt puts the focus on
            // its first control, or leaves it where it was (the menu, the
            // window behind): it goes back where the operator left it, unless
            // a click chose the control. Back from a dialog the focus is
            // where the window's own code put it (a lookup moves it on).
            const bool switched = sub != m_frontSub;
            m_frontSub = sub;
            window->FocusControl(switched && QApplication::mouseButtons() == Qt::NoButton);
        }
    });

    createMenusAndToolbar();
    createWindowKeys();
    resize(1024, 700);
}

TfrmPrincipal::~TfrmPrincipal()
{
    delete m_login;
    if (g_instance == this)
        g_instance = nullptr;
}

TfrmPrincipal *TfrmPrincipal::instance()
{
    return g_instance;
}

LoginSession TfrmPrincipal::CurrentSession() const
{
    LoginSession session;
    session.dataDir = DirDados;
    if (!cdsPrincipal || !cdsPrincipal->Active() || cdsPrincipal->IsEmpty())
        return session;
    const auto field = [this](const char *name) {
        return cdsPrincipal->FieldByName(QString::fromLatin1(name))->AsString();
    };
    session.branch = field("CDFILIAL");
    session.branchName = field("NMFILIAL");
    session.operatorCode = field("CDOPERADOR");
    session.operatorName = field("NMOPERADOR");
    session.productMask = field("PRODMASK");
    session.date = m_loginDate.isValid() ? m_loginDate : QDate::currentDate();
    return session;
}

void TfrmPrincipal::createMenusAndToolbar()
{
    QMenuBar *bar = menuBar();
    bar->setObjectName(QStringLiteral("mmnPrincipal"));
    tbrFerramentas->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tbrFerramentas->setIconSize(QSize(32, 32));
    QHash<QString, QMenu *> menus;
    for (const Command &command : commands) {
        const QString topCaption = QString::fromUtf8(command.topMenu);
        QMenu *menu = menus.value(topCaption);
        if (!menu) {
            menu = bar->addMenu(topCaption);
            menu->setObjectName(QString::fromLatin1(command.topName));
            menus.insert(topCaption, menu);
        }
        QAction *entry = menu->addAction(QString::fromUtf8(command.caption));
        entry->setObjectName(QString::fromLatin1(command.menu));
        auto *button = new QToolButton(tbrFerramentas);
        button->setObjectName(QString::fromLatin1(command.button));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolTip(QString::fromUtf8(command.hint));
        button->setIcon(CommandIcon(QString::fromLatin1(command.icon)));
        entry->setIcon(button->icon());
        tbrFerramentas->addWidget(button);
        const auto handler = command.handler;
        auto run = [this, handler] { guarded(this, [this, handler] { (this->*handler)(); }); };
        connect(entry, &QAction::triggered, this, run);
        connect(button, &QToolButton::clicked, this, run);
    }
    QWidget *spacer = new QWidget(tbrFerramentas);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    tbrFerramentas->addWidget(spacer);
    tbrFerramentas->addWidget(lblCodTela);
}

void TfrmPrincipal::FormCreate()
{
    try {
        const QString version = GetFileVersion(ModulePath);
        setWindowTitle(EmptyString(version) ? title
                                            : QStringLiteral("%1 (%2)").arg(title, version));
        setWindowIcon(ApplicationIcon());
        DirDados = kiv::DirDados();
        const bool noDirectory = DirDados == QDir::separator();
        if (!noDirectory && QDir(DirDados).exists() && !m_lock.tryLock(DirDados)) {
            // Refused like any failed start: the message, then the end, with
            // no table loaded.
            const QString directory = QDir::toNativeSeparators(DirDados);
            MensErro(m_lock.heldByOther()
                         ? QStringLiteral("O sistema já está aberto sobre o diretório de dados %1 "
                                          "(%2). Feche-o antes de abri-lo de novo.")
                               .arg(directory, m_lock.holder())
                         : QStringLiteral("Não foi possível gravar no diretório de dados %1. "
                                          "Verifique as permissões do diretório.")
                               .arg(directory),
                     false);
            throw EAbort();
        }
        // A save of several files cut short by a crash is finished, and what
        // killed saves left is removed, before any table is read.
        if (!noDirectory && QDir(DirDados).exists()) {
            const QString recovered = TableFile::recover(DirDados).message();
            if (!recovered.isEmpty())
                MensErro(recovered, false);
        }
        cdsDados = new Table(QStringLiteral("cdsDados"), this);
        cdsDados->Declare(RecordedTables::dadosKipc());
        cdsDados->CreateDataSet();
        cdsPrincipal = new Table(QStringLiteral("cdsPrincipal"), this);
        cdsPrincipal->SetFieldDefs({FieldDef::text(QStringLiteral("CDFILIAL"), 4),
                                    FieldDef::text(QStringLiteral("NMFILIAL"), 30),
                                    FieldDef::text(QStringLiteral("CDOPERADOR"), 12),
                                    FieldDef::text(QStringLiteral("NMOPERADOR"), 40),
                                    FieldDef::text(QStringLiteral("PRODMASK"), 20)});
        cdsPrincipal->CreateDataSet();
        cdsDados->LoadFromFile(DirDados + QStringLiteral("DADOS_KIPC.CDS"));
        m_started = true;
    } catch (const EAbort &) {
    } catch (const KivError &) {
        const QString text = DirDados != QDir::separator()
                                 ? msgPadrao.Msg(QStringLiteral("cds_erro"))
                                       .replace(QStringLiteral("%s"),
                                                QDir::toNativeSeparators(DirDados))
                                 : msgPadrao.Msg(QStringLiteral("regedit_erro"));
        MensErro(text, false);
    }
    if (!m_started) {
        m_lock.unlock();
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }
}

void TfrmPrincipal::FormActivate()
{
    // Back from a dialog (a lookup over a task window) the window in front
    // is still the task window: its code stays.
    TfrmPadrForm00000 *front = FrontWindow();
    SetStatusPanel(3, NomeUnit(front ? front : this));
    if (front)
        front->FocusControl();
    if (!m_activated && m_started) {
        m_activated = true;
        showLogin();
    }
}

void TfrmPrincipal::showLogin()
{
    const WaitCursor wait;
    if (!m_loginCreated) {
        m_login = new TfrmLogin(cdsDados, [this] { return askToEnd(); }, this);
        connect(m_login, &TfrmLogin::LoginAccepted, this, &TfrmPrincipal::loginAccepted);
        m_loginCreated = true;
    }
    m_login->show();
    setEnabled(false);
    m_login->showNormal();
    m_login->raise();
    m_login->activateWindow();
}

void TfrmPrincipal::loginAccepted(const LoginSession &session)
{
    setEnabled(true);
    m_loginDate = session.date;
    cdsPrincipal->Append();
    cdsPrincipal->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(session.branch);
    cdsPrincipal->FieldByName(QStringLiteral("NMFILIAL"))->SetAsString(session.branchName);
    cdsPrincipal->FieldByName(QStringLiteral("CDOPERADOR"))->SetAsString(session.operatorCode);
    cdsPrincipal->FieldByName(QStringLiteral("NMOPERADOR"))->SetAsString(session.operatorName);
    cdsPrincipal->FieldByName(QStringLiteral("PRODMASK"))->SetAsString(session.productMask);
    cdsPrincipal->Post();
    SetStatusPanel(0, msgPadrao.Msg(QStringLiteral("PROC")) + QLatin1Char(' ')
                          + LocaleService::dateToText(session.date));
    SetStatusPanel(1, msgPadrao.Msg(QStringLiteral("FILIAL")) + QLatin1Char(' ')
                          + session.branch);
    SetStatusPanel(2, session.operatorName);
    SetStatusPanel(3, NomeUnit(this));
    activateWindow();
}

bool TfrmPrincipal::askToEnd()
{
    if (ShowMsg(msgPadrao, QStringLiteral("ON_EXIT"), MsgType::Confirmation, mbYes | mbNo)
        != mrYes)
        return false;
    if (!closeTaskWindows())
        return false;
    Terminate();
    return true;
}

bool TfrmPrincipal::closeTaskWindows()
{
    // Front to back, each through its own close rules, brought to the front
    // first so that the operator sees which window asks; a window that
    // stays open keeps the program running.
    const QList<QMdiSubWindow *> stack = mdiArea->subWindowList(QMdiArea::StackingOrder);
    for (auto it = stack.crbegin(); it != stack.crend(); ++it) {
        QPointer<QMdiSubWindow> sub = *it;
        if (!sub || !sub->widget())
            continue;
        mdiArea->setActiveSubWindow(sub);
        if (!sub->close())
            return false;
    }
    return true;
}

TfrmPadrForm00000 *TfrmPrincipal::FrontWindow() const
{
    QMdiSubWindow *sub = mdiArea ? mdiArea->currentSubWindow() : nullptr;
    return sub && sub->isVisible() ? qobject_cast<TfrmPadrForm00000 *>(sub->widget()) : nullptr;
}

void TfrmPrincipal::createWindowKeys()
{
    // The desktop's keys for child windows: Ctrl+F4 closes the one in
    // front through its close rules, Ctrl+F6 and Ctrl+Tab go to the next
    // one (with Shift, the previous).
    const auto add = [this](const char *name, const QList<QKeySequence> &keys, auto slot) {
        auto *action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcuts(keys);
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
        connect(action, &QAction::triggered, this, [this, slot] { guarded(this, slot); });
        return action;
    };
    add("actFecharJanela", {QKeySequence(Qt::CTRL | Qt::Key_F4)},
        [this] { mdiArea->closeActiveSubWindow(); });
    add("actProximaJanela",
        {QKeySequence(Qt::CTRL | Qt::Key_F6), QKeySequence(Qt::CTRL | Qt::Key_Tab)},
        [this] { mdiArea->activateNextSubWindow(); });
    add("actJanelaAnterior",
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F6),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab),
         QKeySequence(Qt::CTRL | Qt::Key_Backtab),
         QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab)},
        [this] { mdiArea->activatePreviousSubWindow(); });
}

void TfrmPrincipal::FormClose(bool &allowClose)
{
    if (!m_started || m_terminating) {
        allowClose = true;
        return;
    }
    allowClose = askToEnd();
}

void TfrmPrincipal::Terminate()
{
    m_terminating = true;
    if (cdsDados)
        cdsDados->SetFiltered(false);
    // Quitting closes every window still open, this one included when the
    // login asked: m_terminating lets it go without asking again.
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void TfrmPrincipal::SetWindowFactory(TaskWindow window, TaskWindowFactory factory)
{
    m_factories.insert(int(window), std::move(factory));
}

TfrmPadrForm00000 *TfrmPrincipal::TaskWindowInstance(TaskWindow window) const
{
    return m_windows.value(int(window));
}

void TfrmPrincipal::showTaskWindow(TaskWindow window)
{
    TaskWindowFactory factory = m_factories.value(int(window));
    if (!factory)
        factory = RegisteredTaskWindow(window);
    if (!factory)
        return;
    const WaitCursor wait;
    QPointer<TfrmPadrForm00000> &open = m_windows[int(window)];
    if (!open) {
        TfrmPadrForm00000 *form = factory(CurrentSession());
        const int opened = int(mdiArea->subWindowList().size());
        QMdiSubWindow *sub = mdiArea->addSubWindow(form);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowIcon(windowIcon());
        placeTaskWindow(sub, opened);
        // The window discards itself on close; its frame goes with it. The
        // last one gone leaves the main window's code in front.
        connect(form, &QObject::destroyed, sub, &QMdiSubWindow::close);
        connect(form, &QObject::destroyed, this, [this] {
            const QList<QMdiSubWindow *> subs = mdiArea->subWindowList();
            if (std::none_of(subs.cbegin(), subs.cend(),
                             [](QMdiSubWindow *other) { return other->widget() != nullptr; }))
                SetStatusPanel(3, NomeUnit(this));
        });
        open = form;
        form->Create();
    }
    if (QMdiSubWindow *sub = qobject_cast<QMdiSubWindow *>(open->parentWidget())) {
        sub->show();
        sub->showNormal();
        mdiArea->setActiveSubWindow(sub);
        open->FocusControl();
    }
    SetStatusPanel(3, ScreenCode(window));
}

void TfrmPrincipal::placeTaskWindow(QMdiSubWindow *sub, int opened)
{
    // Room for a grid of a dozen rows and the whole command bar, within the
    // visible area, cascaded below and to the right of the windows already
    // open; back at the corner when the step would push it out of sight.
    const QSize room = mdiArea->viewport()->size();
    int commandBar = 0;
    if (auto *form = qobject_cast<TfrmPadrForm00000 *>(sub->widget()))
        commandBar = form->tbrFerramentas->sizeHint().width() + 32;
    const QSize wanted(std::max({sub->sizeHint().width(), 900, commandBar}),
                       std::max(sub->sizeHint().height(), 560));
    const int step = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub) + 4;
    QPoint at(opened * step, opened * step);
    // Below and to the right of the others it may give up a little room;
    // too little left there, it goes back to the corner.
    QSize size(std::min(wanted.width(), room.width() - at.x()),
               std::min(wanted.height(), room.height() - at.y()));
    if (size.width() < std::min(wanted.width(), room.width()) * 3 / 4
        || size.height() < std::min(wanted.height(), room.height()) * 3 / 4) {
        at = QPoint(0, 0);
        size = QSize(std::min(wanted.width(), room.width()),
                     std::min(wanted.height(), room.height()));
    }
    sub->setGeometry(QRect(at, size));
    // Ctrl+F4 is the main window's key for the window in front; the frame's
    // own menu entry with the same key would make the key do nothing.
    for (QAction *action : sub->systemMenu()->actions()) {
        QList<QKeySequence> keys = action->shortcuts();
        if (keys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_F4)) > 0)
            action->setShortcuts(keys);
    }
    // A window restored after a maximize gets its size back, never the
    // title bar alone.
    connect(sub, &QMdiSubWindow::windowStateChanged, this,
            [this, sub, size](Qt::WindowStates oldState, Qt::WindowStates newState) {
                const bool restored = (oldState & (Qt::WindowMaximized | Qt::WindowMinimized))
                                      && !(newState & (Qt::WindowMaximized | Qt::WindowMinimized));
                if (restored && (sub->width() < size.width() / 2 || sub->height() < size.height() / 2))
                    sub->resize(size);
            });
}

void TfrmPrincipal::mnuInventarioClick() { showTaskWindow(TaskWindow::Inventario); }
void TfrmPrincipal::mnuLanEntradaClick() { showTaskWindow(TaskWindow::LanEntrada); }
void TfrmPrincipal::mnuLanSaidaClick() { showTaskWindow(TaskWindow::LanSaida); }
void TfrmPrincipal::mnuSolComprasClick() { showTaskWindow(TaskWindow::SolCompras); }
void TfrmPrincipal::mnuEfetivosClick() { showTaskWindow(TaskWindow::Efetivos); }
void TfrmPrincipal::mnuRetServicoClick() { showTaskWindow(TaskWindow::RetServico); }

} // namespace kiv
