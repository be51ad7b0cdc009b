#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPointer>
#include <QTest>
#include <QString>
#include <QTemporaryDir>
#include <QVariantMap>
#include <Qt>

#include <memory>

#include "dialoganswerer.h"
#include "tfrmprincipal.h"

class QWidget;

namespace kiv {
struct TableDecl;
class Table;
class TfrmPrincipal;
struct TCommand;
} // namespace kiv

// What the tests of the task windows share: a data directory the program
// finds through its registry stand-in, a main window with a logged-in
// session, and the operator's keyboard.
namespace kivtest {

// A temporary data directory, named by a registry stand-in of its own
// (KIV_REGISTRY_INI points at it while the object lives).
class DataDirectory
{
public:
    DataDirectory();
    ~DataDirectory();
    DataDirectory(const DataDirectory &) = delete;
    DataDirectory &operator=(const DataDirectory &) = delete;

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Writes the table's file (named by the declaration) with these rows.
    void write(const kiv::TableDecl &decl, const QList<QVariantMap> &rows) const;
    // The file's bytes, whatever the case of its name; empty when missing.
    QByteArray bytes(const QString &name) const;
    // Every file with its bytes, to see what a window wrote: hidden ones
    // too (a save's leftovers), but not the running program's lock.
    QMap<QString, QByteArray> contents() const;
    // The file as a later run loads it, declared as the windows declare it.
    std::unique_ptr<kiv::Table> load(const kiv::TableDecl &decl) const;

private:
    QByteArray m_previousRegistry;
    bool m_hadRegistry;
    QTemporaryDir m_dir;
    QTemporaryDir m_registry;
};

// The session the login leaves in the main window's cdsPrincipal.
struct Session
{
    QString branch;
    QString branchName;
    QString operatorCode = QStringLiteral("000000000001");
    QString operatorName = QStringLiteral("ANA LIMA");
    QString productMask;
};

// The main window started on the registry's data directory, with the
// session logged in; nullptr when it did not start.
std::unique_ptr<kiv::TfrmPrincipal> startMainWindow(const Session &session);

// Shows the window and makes it the active one, as the operator finds a
// window he opened; false when it did not become active.
bool showActive(QWidget *window);

// The workstation the tests are written for: decimal comma, dates as
// dd/MM/yyyy. A test that wants another sets it after this.
void useWorkstationLocale();
// At the end of a test, once its windows are gone: no message box came that
// the test did not expect, and no answer it queued was left unused. Ends the
// answerer.
void checkDialogs(std::unique_ptr<DialogAnswerer> &answerer);

// The widget with the focus, waiting a moment for it (after a message box
// the window gets the focus back); nullptr when none has it.
QWidget *focused();
// Keys go where the operator's keys go: to the widget with the focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void type(const QString &text);
bool focusOn(QWidget *widget);
// After a message box the window comes to the front again, with the focus
// where the operator left it.
bool backInWindow(QWidget *window);
// A command as the operator gives it from the menu or the toolbar; false
// when it is disabled.
bool command(const kiv::TCommand &c);

// A disk that fills up: no file of the process may grow past `bytes` while
// the object lives (a save then fails half-way, as on a full disk). Does
// nothing where the system has no file-size limit.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// A helper that checks as it goes returns from itself alone when a check
// fails; run through this, it stops the calling test there too.
#define KIVTEST_STEP(call)                                                                         \
    do {                                                                                           \
        call;                                                                                      \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
    } while (false)

// What every window test class holds, inherited beside QObject:
//   class TestX : public QObject, private kivtest::WindowTest<TfrmX, XDataDir>
// init() calls startTest(), cleanup() calls endTest().
template<class Window, class Directory = DataDirectory>
class WindowTest
{
protected:
    void startTest()
    {
        useWorkstationLocale();
        m_answerer = std::make_unique<DialogAnswerer>();
    }
    // The window, then the main window, then the directory go, and the
    // message boxes of the test are checked.
    void endTest()
    {
        delete m_window;
        m_principal.reset();
        m_dir.reset();
        checkDialogs(m_answerer);
    }

    // Every message box of a test goes through it; one nobody expected is
    // closed at once and fails the test instead of waiting for a click.
    std::unique_ptr<DialogAnswerer> m_answerer;
    std::unique_ptr<Directory> m_dir;
    std::unique_ptr<kiv::TfrmPrincipal> m_principal;
    QPointer<Window> m_window;
};

} // namespace kivtest
