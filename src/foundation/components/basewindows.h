#pragma once

#include "datasource.h"
#include "messages.h"
#include "session.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QToolBar;
class QToolButton;
class QVBoxLayout;
class QWindow;

namespace kiv {

class TDBGrid;
class TDBNavigator;
class TPageControl;
class TStatusBar;
class TTabSheet;

// The status bar every window writes to: the main window's, registered by
// it at creation.
void SetMainStatusBar(TStatusBar *statusBar);
TStatusBar *MainStatusBar();
// Writes a panel of the main window's status bar, when there is one.
void SetStatusPanel(int panel, const QString &text);
// Says in the main window's status bar what a command did ("Lançamento 17
// gravado.", "13 itens importados."), with no box to dismiss.
void ShowStatusMessage(const QString &text);

// A command of a window's command bar: a menu entry (mnuX) shown by a tool
// button (sbtX). The button shows the entry, so both are enabled together.
struct TCommand
{
    QAction *menu = nullptr;
    QToolButton *button = nullptr;

    bool Enabled() const;
    void SetEnabled(bool enabled);
};

// The root of every window: the screen-code label, the toolbar, the message
// catalogue and the window events. FormCreate runs once, from Create(), under
// the guard: an error ends it where it happened and the window still opens
// with what was done.
class TfrmPadrForm00000 : public QMainWindow
{
    Q_OBJECT

public:
    explicit TfrmPadrForm00000(QWidget *parent = nullptr);

    void Create();
    // Writes the window's screen code to the status bar and runs
    // FormActivate under the guard. Top-level windows call it on their own
    // activation; the main window calls it for the child window in front.
    void Activate();

    // The control that takes the keyboard focus when the window is opened
    // or brought to the front and had no control with the focus yet; by
    // default the first control of its tab order.
    QPointer<QWidget> ActiveControl;
    // Puts the keyboard focus inside the window: on the control the window's
    // code chose while a dialog was in front, else where the operator left
    // it, else on ActiveControl, else on the first control. A control of the
    // window that has the focus already keeps it, unless restore asks for
    // the one the operator left. True when a control of the window has the
    // focus afterwards.
    bool FocusControl(bool restore = false);

    QLabel *lblCodTela = nullptr;
    QToolBar *tbrFerramentas = nullptr;
    TMessages msgPadrao;

    // The session the window works for, handed over before Create().
    const LoginSession &Session() const { return m_session; }
    void SetSession(const LoginSession &session) { m_session = session; }

protected:
    virtual void FormCreate() {}
    virtual void FormActivate() {}
    // Asked when the window is about to close; clear allowClose to keep it.
    virtual void FormClose(bool &allowClose) { Q_UNUSED(allowClose); }

    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    // Tab and Shift+Tab go round the controls of this window only, also
    // when it is a child window of the main window.
    bool focusNextPrevChild(bool next) override;
    // The area under the toolbar that a window fills.
    QWidget *ClientArea() const { return m_client; }
    QVBoxLayout *ClientLayout() const { return m_clientLayout; }

private:
    QWidget *m_client = nullptr;
    QVBoxLayout *m_clientLayout = nullptr;
    LoginSession m_session;
    QPointer<QWidget> m_lastFocus;
    // The control the window's code gave the focus while another window was
    // in front (a lookup moving the focus on before its box is gone): Qt
    // forgets it when the window comes back.
    QPointer<QWidget> m_focusWhileAway;
    QPointer<QWindow> m_watchedWindow;
};

// The screen code of a window (its lblCodTela caption).
QString NomeUnit(const TfrmPadrForm00000 *window);

// A task window with a command bar acting on the table attached to
// dtsPadrao: insert, edit, delete, find, verify, cancel, confirm, print,
// help and close, with their menu entries in mnuOperacao and mnuManutencao.
// Closing discards the window.
class TfrmPadraoSimples : public TfrmPadrForm00000
{
    Q_OBJECT

public:
    explicit TfrmPadraoSimples(QWidget *parent = nullptr);

    TDataSource *dtsPadrao = nullptr;
    // The base catalogue: "Canc" (the cancel question) and "Excl" (the
    // delete question).
    TMessages msgMensagensPadroes;

    QMenu *mnuOperacao = nullptr;
    QMenu *mnuManutencao = nullptr;
    TCommand sbtIncluir, sbtAlterar, sbtExcluir, sbtProcurar, sbtVerificar;
    TCommand sbtCancelar, sbtConfirmar, sbtImprimir, sbtAjuda, sbtFechar;
    QAction *mnuOrdenar = nullptr;
    QAction *mnuConfigImpressora = nullptr;

protected:
    // The commands; windows replace the ones their rules change.
    virtual void sbtIncluirClick();
    virtual void sbtAlterarClick();
    virtual void sbtExcluirClick();
    virtual void sbtProcurarClick();
    virtual void sbtVerificarClick() {}
    virtual void sbtCancelarClick();
    virtual void sbtConfirmarClick();
    virtual void sbtImprimirClick() {}
    virtual void sbtAjudaClick() {}
    virtual void sbtFecharClick();
    // The table attached to dtsPadrao changed state (or dtsPadrao was attached
    // to another table): the base enables the commands that fit the state.
    virtual void dtsPadraoStateChange();

    void FormClose(bool &allowClose) override;
    // Enables insert, edit, delete, find and verify while the table browses
    // (edit, delete and find only when it has records) and cancel and
    // confirm while it edits or inserts.
    void AtualizaComandos();

private:
    TCommand addCommand(QMenu *menu, const QString &name, const QString &caption,
                        void (TfrmPadraoSimples::*handler)());
    // Deleting the last record, or a filter hiding them all, leaves the
    // table's state as it was: the commands are reconsidered all the same.
    void recordsShownChanged();

    bool m_hadRecords = false;
};

// A task window with a page control: a data sheet (tshFolhaDados, the grid
// dbgPadrao) and a form page (tshFormulario), and a navigator.
class TfrmPadrao : public TfrmPadraoSimples
{
    Q_OBJECT

public:
    explicit TfrmPadrao(QWidget *parent = nullptr);

    TPageControl *pgcPadrao = nullptr;
    TTabSheet *tshFolhaDados = nullptr;
    TTabSheet *tshFormulario = nullptr;
    TDBGrid *dbgPadrao = nullptr;
    TDBNavigator *dbnPadrao = nullptr;
    // The menu entries of the two pages, at the head of mnuOperacao: each
    // chooses its page as a click on its tab does.
    QAction *mnuFolhaDados = nullptr;
    QAction *mnuFormulario = nullptr;

protected:
    // After the active page changed: the grid takes the focus on the data
    // sheet.
    virtual void pgcPadraoChange();
};

// A task window made of one grid page (tshPadrao with dbgPadrao), a
// navigator and a close button.
class TfrmPadraoGrid : public TfrmPadraoSimples
{
    Q_OBJECT

public:
    explicit TfrmPadraoGrid(QWidget *parent = nullptr);

    TPageControl *pgcPadrao = nullptr;
    TTabSheet *tshPadrao = nullptr;
    TDBGrid *dbgPadrao = nullptr;
    TDBNavigator *dbnPadrao = nullptr;

protected:
    // Inserts and puts the cursor in the new row's first editable cell.
    void sbtIncluirClick() override;
    virtual void dbgPadraoKeyDown(int &key, Qt::KeyboardModifiers shift);
    virtual void dbgPadraoKeyPress(QChar &key) { Q_UNUSED(key); }
};

} // namespace kiv
