#include "basewindows.h"

#include "dbgrid.h"
#include "dbnavigator.h"
#include "guard.h"
#include "icons.h"
#include "keys.h"
#include "lookupdialogs.h"
#include "messagebox.h"
#include "pagecontrol.h"
#include "statusbar.h"
#include "table.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QHash>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace kiv {

namespace {

QPointer<TStatusBar> &mainStatusBar()
{
    static QPointer<TStatusBar> bar;
    return bar;
}

} // namespace

void SetMainStatusBar(TStatusBar *statusBar)
{
    mainStatusBar() = statusBar;
}

TStatusBar *MainStatusBar()
{
    return mainStatusBar();
}

void SetStatusPanel(int panel, const QString &text)
{
    if (TStatusBar *bar = MainStatusBar())
        bar->SetPanelText(panel, text);
}

void ShowStatusMessage(const QString &text)
{
    if (TStatusBar *bar = MainStatusBar())
        bar->ShowMessage(text);
}

bool TCommand::Enabled() const
{
    return menu && menu->isEnabled();
}

void TCommand::SetEnabled(bool enabled)
{
    if (menu)
        menu->setEnabled(enabled);
}

// ------------------------------------------------------------------- root

TfrmPadrForm00000::TfrmPadrForm00000(QWidget *parent) : QMainWindow(parent)
{
    tbrFerramentas = new QToolBar(this);
    tbrFerramentas->setObjectName(QStringLiteral("tbrFerramentas"));
    tbrFerramentas->setMovable(false);
    tbrFerramentas->setFloatable(false);
    // Icons beside their captions, as the desktop's own programs show them.
    tbrFerramentas->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    tbrFerramentas->setIconSize(QSize(22, 22));
    addToolBar(Qt::TopToolBarArea, tbrFerramentas);

    lblCodTela = new QLabel(this);
    lblCodTela->setObjectName(QStringLiteral("lblCodTela"));
    lblCodTela->setContentsMargins(8, 0, 8, 0);

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("pnlCliente"));
    m_clientLayout = new QVBoxLayout(m_client);
    m_clientLayout->setContentsMargins(6, 6, 6, 6);
    setCentralWidget(m_client);

    // Where the operator left the focus, to give it back when the window
    // comes to the front again (Qt forgets it when a child window loses
    // the front).
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) {
        if (now && isAncestorOf(now))
            m_lastFocus = now;
    });
}

void TfrmPadrForm00000::Create()
{
    guarded(this, [this] { FormCreate(); });
    // A task window's branch strip shows the session's branch, which no
    // task window changes: disabled alike in every window, label included,
    // and out of the tab order.
    if (qobject_cast<TfrmPadraoSimples *>(this)) {
        for (const char *name : {"lblFilial", "medCdFilial", "BtnPesquisa1", "edtNmFilial"})
            if (auto *control = findChild<QWidget *>(QLatin1String(name)))
                control->setEnabled(false);
    }
}

void TfrmPadrForm00000::Activate()
{
    if (!NomeUnit(this).isEmpty())
        SetStatusPanel(3, NomeUnit(this));
    guarded(this, [this] { FormActivate(); });
}

namespace {

// Whether Tab may stop at the widget, as Qt's own chain decides, within
// the window.
bool isTabStop(const QWidget *window, QWidget *widget)
{
    return widget != window && window->isAncestorOf(widget)
           && (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && widget->isEnabled()
           && widget->isVisibleTo(window) && widget->isVisible() && !widget->focusProxy();
}

QWidget *firstTabStop(QWidget *window)
{
    QWidget *widget = window;
    do {
        widget = widget->nextInFocusChain();
        if (isTabStop(window, widget))
            return widget;
    } while (widget && widget != window);
    return nullptr;
}

} // namespace

void TfrmPadrForm00000::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    QWindow *handle = window()->windowHandle();
    if (!handle || handle == m_watchedWindow)
        return;
    if (m_watchedWindow)
        disconnect(m_watchedWindow, nullptr, this, nullptr);
    m_watchedWindow = handle;
    connect(handle, &QWindow::focusObjectChanged, this, [this](QObject *object) {
        auto *widget = qobject_cast<QWidget *>(object);
        if (widget && isAncestorOf(widget) && !window()->isActiveWindow())
            m_focusWhileAway = widget;
    });
}

bool TfrmPadrForm00000::FocusControl(bool restore)
{
    if (QPointer<QWidget> chosen = std::exchange(m_focusWhileAway, nullptr);
        chosen && isTabStop(this, chosen)) {
        if (!chosen->hasFocus())
            chosen->setFocus(Qt::OtherFocusReason);
        return chosen->hasFocus();
    }
    QWidget *now = QApplication::focusWidget();
    const bool inside = now && isAncestorOf(now);
    if (inside && (!restore || !m_lastFocus || now == m_lastFocus || !isTabStop(this, m_lastFocus)))
        return true;
    QWidget *target = m_lastFocus;
    if (!target || !isTabStop(this, target))
        target = ActiveControl && isTabStop(this, ActiveControl) ? ActiveControl.data() : nullptr;
    if (!target)
        target = firstTabStop(this);
    if (!target)
        return false;
    target->setFocus(Qt::ActiveWindowFocusReason);
    return target->hasFocus();
}

bool TfrmPadrForm00000::focusNextPrevChild(bool next)
{
    if (isWindow())
        return QMainWindow::focusNextPrevChild(next);
    // A child window shares the main window's tab chain, which would lead
    // on into the window behind: go round this one's controls instead.
    QWidget *start = QApplication::focusWidget();
    if (!start || !isAncestorOf(start))
        return FocusControl();
    QWidget *widget = start;
    while (true) {
        widget = next ? widget->nextInFocusChain() : widget->previousInFocusChain();
        if (!widget || widget == start)
            return true;
        if (isTabStop(this, widget)) {
            widget->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
}

void TfrmPadrForm00000::closeEvent(QCloseEvent *event)
{
    bool allow = true;
    if (!guarded(this, [&] { FormClose(allow); }))
        allow = false;
    if (allow)
        event->accept();
    else
        event->ignore();
}

void TfrmPadrForm00000::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isWindow() && isActiveWindow())
        Activate();
}

QString NomeUnit(const TfrmPadrForm00000 *window)
{
    return window && window->lblCodTela ? window->lblCodTela->text() : QString();
}

// ------------------------------------------------------------ task window

TfrmPadraoSimples::TfrmPadraoSimples(QWidget *parent) : TfrmPadrForm00000(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    dtsPadrao = new TDataSource(this);
    dtsPadrao->setObjectName(QStringLiteral("dtsPadrao"));
    dtsPadrao->OnStateChange = [this] { dtsPadraoStateChange(); };
    connect(dtsPadrao, &TDataSource::dataChanged, this, [this](int fieldIndex) {
        if (fieldIndex < 0)
            recordsShownChanged();
    });

    msgMensagensPadroes = TMessages{
        QStringLiteral("Canc|Deseja cancelar as alterações?"),
        QStringLiteral("Excl|Deseja excluir o registro?"),
    };

    mnuOperacao = menuBar()->addMenu(QStringLiteral("&Operação"));
    mnuOperacao->setObjectName(QStringLiteral("mnuOperacao"));
    mnuManutencao = menuBar()->addMenu(QStringLiteral("&Manutenção"));
    mnuManutencao->setObjectName(QStringLiteral("mnuManutencao"));

    sbtIncluir = addCommand(mnuOperacao, QStringLiteral("Incluir"), QStringLiteral("&Incluir"),
                            &TfrmPadraoSimples::sbtIncluirClick);
    sbtAlterar = addCommand(mnuOperacao, QStringLiteral("Alterar"), QStringLiteral("&Alterar"),
                            &TfrmPadraoSimples::sbtAlterarClick);
    sbtExcluir = addCommand(mnuOperacao, QStringLiteral("Excluir"), QStringLiteral("&Excluir"),
                            &TfrmPadraoSimples::sbtExcluirClick);
    sbtProcurar = addCommand(mnuOperacao, QStringLiteral("Procurar"), QStringLiteral("&Procurar"),
                             &TfrmPadraoSimples::sbtProcurarClick);
    sbtVerificar = addCommand(mnuOperacao, QStringLiteral("Verificar"),
                              QStringLiteral("&Verificar"), &TfrmPadraoSimples::sbtVerificarClick);
    mnuOperacao->addSeparator();
    tbrFerramentas->addSeparator();
    sbtCancelar = addCommand(mnuOperacao, QStringLiteral("Cancelar"), QStringLiteral("&Cancelar"),
                             &TfrmPadraoSimples::sbtCancelarClick);
    sbtConfirmar = addCommand(mnuOperacao, QStringLiteral("Confirmar"),
                              QStringLiteral("C&onfirmar"), &TfrmPadraoSimples::sbtConfirmarClick);
    tbrFerramentas->addSeparator();

    mnuOrdenar = mnuManutencao->addAction(QStringLiteral("&Ordenar"));
    mnuOrdenar->setObjectName(QStringLiteral("mnuOrdenar"));
    mnuOrdenar->setEnabled(false);
    sbtImprimir = addCommand(mnuManutencao, QStringLiteral("Listagem"),
                             QStringLiteral("&Listagem"), &TfrmPadraoSimples::sbtImprimirClick);
    sbtImprimir.button->setObjectName(QStringLiteral("sbtImprimir"));
    sbtImprimir.button->setText(QStringLiteral("Imprimir"));
    mnuConfigImpressora = mnuManutencao->addAction(QStringLiteral("&Configurar impressora"));
    mnuConfigImpressora->setObjectName(QStringLiteral("mnuConfigImpressora"));
    mnuConfigImpressora->setEnabled(false);
    sbtAjuda = addCommand(mnuManutencao, QStringLiteral("Ajuda"), QStringLiteral("Aj&uda"),
                          &TfrmPadraoSimples::sbtAjudaClick);
    mnuOperacao->addSeparator();
    sbtFechar = addCommand(mnuOperacao, QStringLiteral("Fechar"), QStringLiteral("&Fechar"),
                           &TfrmPadraoSimples::sbtFecharClick);

    QWidget *spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    tbrFerramentas->addWidget(spacer);
    tbrFerramentas->addWidget(lblCodTela);
    AtualizaComandos();
}

namespace {

// The freedesktop name of each command's icon.
QString commandIconName(const QString &command)
{
    static const QHash<QString, QString> names{
        {QStringLiteral("Incluir"), QStringLiteral("document-new")},
        {QStringLiteral("Alterar"), QStringLiteral("accessories-text-editor")},
        {QStringLiteral("Excluir"), QStringLiteral("edit-delete")},
        {QStringLiteral("Procurar"), QStringLiteral("edit-find")},
        {QStringLiteral("Verificar"), QStringLiteral("system-search")},
        {QStringLiteral("Cancelar"), QStringLiteral("edit-undo")},
        {QStringLiteral("Confirmar"), QStringLiteral("document-save")},
        {QStringLiteral("Listagem"), QStringLiteral("document-print")},
        {QStringLiteral("Ajuda"), QStringLiteral("help-browser")},
        {QStringLiteral("Fechar"), QStringLiteral("system-log-out")},
    };
    return names.value(command);
}

} // namespace

TCommand TfrmPadraoSimples::addCommand(QMenu *menu, const QString &name, const QString &caption,
                                       void (TfrmPadraoSimples::*handler)())
{
    TCommand command;
    command.menu = menu->addAction(caption);
    command.menu->setObjectName(QStringLiteral("mnu") + name);
    command.button = new QToolButton(this);
    command.button->setObjectName(QStringLiteral("sbt") + name);
    command.button->setDefaultAction(command.menu);
    command.button->setText(QString(caption).remove(u'&'));
    command.button->setToolTip(QString(caption).remove(u'&'));
    command.button->setAutoRaise(true);
    command.button->setFocusPolicy(Qt::NoFocus);
    command.button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    command.menu->setIcon(CommandIcon(commandIconName(name)));
    tbrFerramentas->addWidget(command.button);
    connect(command.menu, &QAction::triggered, this,
            [this, handler] { guarded(this, [this, handler] { (this->*handler)(); }); });
    return command;
}

void TfrmPadraoSimples::sbtIncluirClick()
{
    if (Table *table = dtsPadrao->DataSet())
        table->Insert();
}

void TfrmPadraoSimples::sbtAlterarClick()
{
    if (Table *table = dtsPadrao->DataSet())
        table->Edit();
}

void TfrmPadraoSimples::sbtExcluirClick()
{
    Table *table = dtsPadrao->DataSet();
    if (!table || table->IsEmpty())
        return;
    // The window's own catalogue may carry the question; the base one
    // otherwise.
    const QString key = QStringLiteral("Excl");
    if (ShowMsg(msgPadrao.contains(key) ? msgPadrao : msgMensagensPadroes, key,
                MsgType::Confirmation, mbYes | mbNo) == mrYes)
        table->Delete();
}

void TfrmPadraoSimples::sbtProcurarClick()
{
    if (Table *table = dtsPadrao->DataSet())
        Procura(table);
}

void TfrmPadraoSimples::sbtCancelarClick()
{
    if (Table *table = dtsPadrao->DataSet())
        table->Cancel();
}

void TfrmPadraoSimples::sbtConfirmarClick()
{
    dtsPadrao->UpdateRecord();
    if (Table *table = dtsPadrao->DataSet())
        table->Post();
}

void TfrmPadraoSimples::sbtFecharClick()
{
    close();
}

void TfrmPadraoSimples::dtsPadraoStateChange()
{
    AtualizaComandos();
}

void TfrmPadraoSimples::recordsShownChanged()
{
    Table *table = dtsPadrao->DataSet();
    const bool hasRecords = table && table->Active() && table->RecordCount() > 0;
    if (hasRecords == m_hadRecords)
        return;
    // Set here too: a window's own handler may not call AtualizaComandos.
    m_hadRecords = hasRecords;
    // No table: detached (the state handler has run) or being destroyed,
    // perhaps with the window, whose handlers must not run then.
    if (table)
        guarded(this, [this] { dtsPadraoStateChange(); });
}

void TfrmPadraoSimples::AtualizaComandos()
{
    Table *table = dtsPadrao->DataSet();
    m_hadRecords = table && table->Active() && table->RecordCount() > 0;
    const DataSetState state = dtsPadrao->State();
    const bool editing = state == DataSetState::Edit || state == DataSetState::Insert;
    const bool browsing = state == DataSetState::Browse;
    const bool hasRecords = browsing && table && table->RecordCount() > 0;
    sbtIncluir.SetEnabled(browsing);
    sbtAlterar.SetEnabled(hasRecords);
    sbtExcluir.SetEnabled(hasRecords);
    sbtProcurar.SetEnabled(hasRecords);
    sbtVerificar.SetEnabled(browsing);
    sbtCancelar.SetEnabled(editing);
    sbtConfirmar.SetEnabled(editing);
}

void TfrmPadraoSimples::FormClose(bool &allowClose)
{
    Q_UNUSED(allowClose);
}

// ------------------------------------------------------ page windows

namespace {

TTabSheet *addSheet(TPageControl *pages, const QString &name, const QString &caption)
{
    auto *sheet = new TTabSheet(pages);
    sheet->setObjectName(name);
    pages->addPage(sheet, caption);
    return sheet;
}

// The grid dbgPadrao filling a page, over the window's data source.
TDBGrid *addGrid(TTabSheet *sheet, TDataSource *source)
{
    auto *layout = new QVBoxLayout(sheet);
    auto *grid = new TDBGrid(sheet);
    grid->setObjectName(QStringLiteral("dbgPadrao"));
    grid->SetDataSource(source);
    layout->addWidget(grid);
    return grid;
}

// The page control filling the client area and the navigator dbnPadrao
// under it.
TDBNavigator *placePagesAndNavigator(QWidget *client, QVBoxLayout *layout, TPageControl *pages,
                                     TDataSource *source)
{
    auto *navigator = new TDBNavigator(client);
    navigator->setObjectName(QStringLiteral("dbnPadrao"));
    navigator->SetDataSource(source);
    layout->addWidget(pages, 1);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(navigator);
    bottom->addStretch(1);
    layout->addLayout(bottom);
    return navigator;
}

} // namespace

TfrmPadrao::TfrmPadrao(QWidget *parent) : TfrmPadraoSimples(parent)
{
    pgcPadrao = new TPageControl(ClientArea());
    pgcPadrao->setObjectName(QStringLiteral("pgcPadrao"));
    tshFolhaDados = addSheet(pgcPadrao, QStringLiteral("tshFolhaDados"),
                             QStringLiteral("Folha de Dados"));
    tshFormulario = addSheet(pgcPadrao, QStringLiteral("tshFormulario"),
                             QStringLiteral("Formulário"));
    dbgPadrao = addGrid(tshFolhaDados, dtsPadrao);
    dbnPadrao = placePagesAndNavigator(ClientArea(), ClientLayout(), pgcPadrao, dtsPadrao);
    pgcPadrao->OnChange = [this] { pgcPadraoChange(); };

    QAction *first = mnuOperacao->actions().value(0);
    auto pageEntry = [&](const QString &name, const QString &caption, TTabSheet *page) {
        auto *entry = new QAction(caption, mnuOperacao);
        entry->setObjectName(name);
        mnuOperacao->insertAction(first, entry);
        connect(entry, &QAction::triggered, this, [this, page] {
            if (page->isEnabled())
                pgcPadrao->SelectPage(page->PageIndex());
        });
        return entry;
    };
    mnuFolhaDados = pageEntry(QStringLiteral("mnuFolhaDados"), QStringLiteral("&Folha de Dados"),
                              tshFolhaDados);
    mnuFormulario = pageEntry(QStringLiteral("mnuFormulario"), QStringLiteral("F&ormulário"),
                              tshFormulario);
    mnuOperacao->insertSeparator(first);
}

void TfrmPadrao::pgcPadraoChange()
{
    if (pgcPadrao->ActivePage() == tshFolhaDados)
        dbgPadrao->setFocus();
}

TfrmPadraoGrid::TfrmPadraoGrid(QWidget *parent) : TfrmPadraoSimples(parent)
{
    pgcPadrao = new TPageControl(ClientArea());
    pgcPadrao->setObjectName(QStringLiteral("pgcPadrao"));
    tshPadrao = addSheet(pgcPadrao, QStringLiteral("tshPadrao"), QString());
    pgcPadrao->tabBar()->hide();
    dbgPadrao = addGrid(tshPadrao, dtsPadrao);
    tshPadrao->layout()->setContentsMargins(0, 0, 0, 0);
    dbgPadrao->OnKeyDown = [this](int &key, Qt::KeyboardModifiers shift) {
        dbgPadraoKeyDown(key, shift);
    };
    dbgPadrao->OnKeyPress = [this](QChar &key) { dbgPadraoKeyPress(key); };
    dbgPadrao->SetDeleteQuestion(msgMensagensPadroes.Msg(QStringLiteral("Excl")));
    dbnPadrao = placePagesAndNavigator(ClientArea(), ClientLayout(), pgcPadrao, dtsPadrao);
}

void TfrmPadraoGrid::sbtIncluirClick()
{
    TfrmPadraoSimples::sbtIncluirClick();
    // The new row is typed at once: the cursor goes to its first cell the
    // operator can type in.
    dbgPadrao->setFocus(Qt::OtherFocusReason);
    const int column = dbgPadrao->FirstEditableIndex();
    if (column >= 0 && column != dbgPadrao->SelectedIndex())
        dbgPadrao->SetSelectedIndex(column);
}

void TfrmPadraoGrid::dbgPadraoKeyDown(int &key, Qt::KeyboardModifiers shift)
{
    // Ctrl+Delete deletes through the delete command, so that a window's
    // own delete rules (and its catalogue's question) apply.
    if (key == VK_DELETE && (shift & Qt::ControlModifier)) {
        key = 0;
        if (sbtExcluir.Enabled())
            sbtExcluirClick();
    }
}

} // namespace kiv
