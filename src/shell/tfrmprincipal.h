#pragma once

#include "basewindows.h"
#include "datadirlock.h"
#include "taskwindows.h"
#include "tfrmlogin.h"

#include <QHash>
#include <QMdiSubWindow>
#include <QPointer>

#include <functional>

class QMdiArea;
class QMdiSubWindow;
class QToolButton;

namespace kiv {

class Table;
class TStatusBar;
class TfrmLogin;

// The frame of the system: finds the data directory, loads the branch and
// operator table, holds the session record, opens the task windows as child
// windows and asks before the program ends.
class TfrmPrincipal : public TfrmPadrForm00000
{
    Q_OBJECT

public:
    explicit TfrmPrincipal(QWidget *parent = nullptr);
    ~TfrmPrincipal() override;

    // The running main window. A second one refused on the same directory
    // never takes its place.
    static TfrmPrincipal *instance();
    // The logged-in session as the task windows receive it: cdsPrincipal's
    // record with the data directory and the login date; empty before a login.
    LoginSession CurrentSession() const;

    // False when the start-up failed: its message has been shown and the
    // program ends.
    bool Started() const { return m_started; }

    // The executable whose version the caption shows.
    QString ModulePath;

    QString DirDados;
    Table *cdsDados = nullptr;
    Table *cdsPrincipal = nullptr;
    TStatusBar *stbStatus = nullptr;
    QMdiArea *mdiArea = nullptr;

    // A task window's command creates its window through the factory the
    // window registered (KIV_REGISTER_TASK_WINDOW), or through one set here,
    // which takes its place; a command without either opens nothing.
    void SetWindowFactory(TaskWindow window, TaskWindowFactory factory);
    // The open window of a command, or null.
    TfrmPadrForm00000 *TaskWindowInstance(TaskWindow window) const;

    // The command handlers, one per menu entry and toolbar button pair.
    void mnuInventarioClick();
    void mnuLanEntradaClick();
    void mnuLanSaidaClick();
    void mnuSolComprasClick();
    void mnuEfetivosClick();
    void mnuRetServicoClick();

    // The task window in front (also while a dialog is over it), or null.
    TfrmPadrForm00000 *FrontWindow() const;

    TfrmLogin *LoginWindow() const { return m_login; }
    // The login is shown once per run; its marker is never cleared.
    bool LoginCreated() const { return m_loginCreated; }

    // Ends the run once the operator has said so (here or in the login):
    // the windows closed on the way out do not ask again.
    void Terminate();

protected:
    void FormCreate() override;
    void FormActivate() override;
    void FormClose(bool &allowClose) override;

private:
    void createMenusAndToolbar();
    void createWindowKeys();
    void showTaskWindow(TaskWindow window);
    void placeTaskWindow(QMdiSubWindow *sub, int opened);
    bool closeTaskWindows();
    void showLogin();
    void loginAccepted(const LoginSession &session);
    bool askToEnd();

    DataDirLock m_lock;
    bool m_started = false;
    bool m_terminating = false;
    bool m_activated = false;
    bool m_loginCreated = false;
    QPointer<TfrmLogin> m_login;
    QHash<int, TaskWindowFactory> m_factories;
    QDate m_loginDate;
    QHash<int, QPointer<TfrmPadrForm00000>> m_windows;
    QPointer<QMdiSubWindow> m_frontSub;
};

} // namespace kiv
