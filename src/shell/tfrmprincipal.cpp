#include "tfrmprincipal.h"

#include "errors.h"
#include "guard.h"
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
    const char *button;     // the toolbar button's object name
    const char *hint;
    QStyle::StandardPixmap icon;
    void (TfrmPrincipal::*handler)();
};

const Command commands[] = {
    {TaskWindow::Inventario, "mnuInventario", "&Inventário", "&Ajuste", "sbtInventario",
     "Inventário", QStyle::SP_FileDialogDetailedView, &TfrmPrincipal::mnuInventarioClick},
    {TaskWindow::LanEntrada, "mnuLanEntrada", "La&nçamento de Entrada", "&Lançamentos",
     "sbtLancEntr", "Lançamento de Entrada", QStyle::SP_ArrowDown,
     &TfrmPrincipal::mnuLanEntradaClick},
    {TaskWindow::LanSaida, "mnuLanSaida", "Lança&mento de Saída", "&Lançamentos", "sbtLancSaid",
     "Lançamento de Saída", QStyle::SP_ArrowUp, &TfrmPrincipal::mnuLanSaidaClick},
    {TaskWindow::SolCompras, "mnuSolCompras", "&Solicitação de Compras", "&Consumo",
     "sbtSolComp", "Solicitação de Compras", QStyle::SP_FileDialogContentsView,
     &TfrmPrincipal::mnuSolComprasClick},
    {TaskWindow::Efetivos, "mnuEfetivos", "E&fetivos", "M&edição", "sbtEfetivos", "Efetivos",
     QStyle::SP_FileDialogListView, &TfrmPrincipal::mnuEfetivosClick},
    {TaskWindow::RetServico, "mnuRetServico", "Re&tirada por Serviço", "&Retirada",
     "SpeedButton1", "Retirada por Serviço", QStyle::SP_DialogApplyButton,
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
    connect(mdiArea, &QMdiArea::subWindowActivated, this, [](QMdiSubWindow *sub) {
        if (sub)
            if (auto *window = qobject_cast<TfrmPadrForm00000 *>(sub->widget()))
                window->Activate();
    });

    createMenusAndToolbar();
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
            menus.insert(topCaption, menu);
        }
        QAction *entry = menu->addAction(QString::fromUtf8(command.caption));
        entry->setObjectName(QString::fromLatin1(command.menu));
        auto *button = new QToolButton(tbrFerramentas);
        button->setObjectName(QString::fromLatin1(command.button));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setToolTip(QString::fromUtf8(command.hint));
        button->setIcon(style()->standardIcon(command.icon));
        tbrFerramentas->addWidget(button);
        const auto handler = command.handler;
        auto run = [this, handler] { guarded(this, [this, handler] { (this->*handler)(); }); };
        connect(entry, &QAction::triggered, this, run);
        connect(button, &QToolButton::clicked, this, run);
    }
    menus.value(QStringLiteral("&Ajuste"))->setObjectName(QStringLiteral("mnuAjuste"));
    menus.value(QStringLiteral("&Lançamentos"))->setObjectName(QStringLiteral("mnuLancamentos"));
    menus.value(QStringLiteral("&Consumo"))->setObjectName(QStringLiteral("mnuConsumo"));
    menus.value(QStringLiteral("M&edição"))->setObjectName(QStringLiteral("mnuMedicao"));
    menus.value(QStringLiteral("&Retirada"))->setObjectName(QStringLiteral("mnuRetirada"));
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
        setWindowIcon(QApplication::windowIcon());
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
    SetStatusPanel(3, lblCodTela->text());
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
    Terminate();
    return true;
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
        QMdiSubWindow *sub = mdiArea->addSubWindow(form);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->setWindowIcon(form->windowIcon());
        // Room for a grid of a dozen rows, within the main window.
        const QSize room = mdiArea->viewport()->size();
        sub->resize(std::min(std::max(sub->sizeHint().width(), 900), room.width()),
                    std::min(std::max(sub->sizeHint().height(), 560), room.height()));
        // The window discards itself on close; its frame goes with it.
        connect(form, &QObject::destroyed, sub, &QMdiSubWindow::close);
        open = form;
        form->Create();
    }
    if (QMdiSubWindow *sub = qobject_cast<QMdiSubWindow *>(open->parentWidget())) {
        sub->show();
        sub->showNormal();
        mdiArea->setActiveSubWindow(sub);
    }
    SetStatusPanel(3, ScreenCode(window));
}

void TfrmPrincipal::mnuInventarioClick() { showTaskWindow(TaskWindow::Inventario); }
void TfrmPrincipal::mnuLanEntradaClick() { showTaskWindow(TaskWindow::LanEntrada); }
void TfrmPrincipal::mnuLanSaidaClick() { showTaskWindow(TaskWindow::LanSaida); }
void TfrmPrincipal::mnuSolComprasClick() { showTaskWindow(TaskWindow::SolCompras); }
void TfrmPrincipal::mnuEfetivosClick() { showTaskWindow(TaskWindow::Efetivos); }
void TfrmPrincipal::mnuRetServicoClick() { showTaskWindow(TaskWindow::RetServico); }

} // namespace kiv
