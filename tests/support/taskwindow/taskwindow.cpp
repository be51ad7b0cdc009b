#include "taskwindow.h"

#include "basewindows.h"
#include "demodata.h"
#include "dialoganswerer.h"
#include "localeservice.h"
#include "table.h"
#include "tabledecl.h"
#include "tablefile.h"
#include "tfrmprincipal.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace kiv;

namespace kivtest {

DataDirectory::DataDirectory()
    : m_previousRegistry(qgetenv("KIV_REGISTRY_INI"))
    , m_hadRegistry(qEnvironmentVariableIsSet("KIV_REGISTRY_INI"))
{
    QFile registry(m_registry.filePath(QStringLiteral("Ostrel.ini")));
    if (registry.open(QIODevice::WriteOnly | QIODevice::Text))
        registry.write(QStringLiteral("KivpcDir=%1\n").arg(m_dir.path()).toUtf8());
    qputenv("KIV_REGISTRY_INI", registry.fileName().toLocal8Bit());
}

DataDirectory::~DataDirectory()
{
    // The stand-in goes with the directory: a later test that makes none
    // must not find this one.
    if (m_hadRegistry)
        qputenv("KIV_REGISTRY_INI", m_previousRegistry);
    else
        qunsetenv("KIV_REGISTRY_INI");
}

void DataDirectory::write(const TableDecl &decl, const QList<QVariantMap> &rows) const
{
    DemoData::writeTable(filePath(decl.fileName), decl, rows);
}

QByteArray DataDirectory::bytes(const QString &name) const
{
    QFile file(TableFile::resolve(filePath(name)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QMap<QString, QByteArray> DataDirectory::contents() const
{
    QMap<QString, QByteArray> files;
    const QDir dir(m_dir.path());
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        QFile file(m_dir.filePath(name));
        if (name != QLatin1String(".kiv.lock") && file.open(QIODevice::ReadOnly))
            files.insert(name, file.readAll());
    }
    return files;
}

std::unique_ptr<Table> DataDirectory::load(const TableDecl &decl) const
{
    auto table = std::make_unique<Table>(QStringLiteral("stored"));
    table->Declare(decl);
    table->LoadFromFile(filePath(decl.fileName));
    return table;
}

std::unique_ptr<TfrmPrincipal> startMainWindow(const Session &session)
{
    auto principal = std::make_unique<TfrmPrincipal>();
    principal->Create();
    if (!principal->Started())
        return nullptr;
    Table *row = principal->cdsPrincipal;
    row->Append();
    row->FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(session.branch);
    row->FieldByName(QStringLiteral("NMFILIAL"))->SetAsString(session.branchName);
    row->FieldByName(QStringLiteral("CDOPERADOR"))->SetAsString(session.operatorCode);
    row->FieldByName(QStringLiteral("NMOPERADOR"))->SetAsString(session.operatorName);
    row->FieldByName(QStringLiteral("PRODMASK"))->SetAsString(session.productMask);
    row->Post();
    return principal;
}

bool showActive(QWidget *window)
{
    window->show();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window);
}

void useWorkstationLocale()
{
    LocaleService::setDecimalSeparator(u',');
    LocaleService::setShortDateFormat(QStringLiteral("dd/MM/yyyy"));
}

void checkDialogs(std::unique_ptr<DialogAnswerer> &answerer)
{
    const QString transcript = answerer->transcript();
    const int unused = answerer->pending();
    answerer.reset();
    QVERIFY2(!transcript.contains(QStringLiteral("<unexpected>")), qPrintable(transcript));
    QCOMPARE(unused, 0);
}

QWidget *focused()
{
    if (!QTest::qWaitFor([] { return QApplication::focusWidget() != nullptr; }, 2000))
        return nullptr;
    return QApplication::focusWidget();
}

void press(Qt::Key key, Qt::KeyboardModifiers modifiers)
{
    if (QWidget *target = focused())
        QTest::keyClick(target, key, modifiers);
    else
        QFAIL("no widget has the focus");
}

void type(const QString &text)
{
    for (QChar c : text) {
        if (QWidget *target = focused())
            QTest::keyClick(target, c.toLatin1());
        else
            QFAIL("no widget has the focus");
    }
}

bool focusOn(QWidget *widget)
{
    return QTest::qWaitFor([&] { return widget->hasFocus(); }, 2000);
}

bool backInWindow(QWidget *window)
{
    return QTest::qWaitFor([&] {
        return QApplication::activeWindow() == window && QApplication::focusWidget();
    });
}

struct FileSizeLimit::State
{
#ifdef Q_OS_UNIX
    struct rlimit limit = {};
    void (*handler)(int) = nullptr;
#endif
};

FileSizeLimit::FileSizeLimit(qint64 bytes) : m_state(std::make_unique<State>())
{
#ifdef Q_OS_UNIX
    getrlimit(RLIMIT_FSIZE, &m_state->limit);
    // Past the limit a write fails instead of the process being killed.
    m_state->handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit cut = m_state->limit;
    cut.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &cut);
#else
    Q_UNUSED(bytes);
#endif
}

FileSizeLimit::~FileSizeLimit()
{
#ifdef Q_OS_UNIX
    setrlimit(RLIMIT_FSIZE, &m_state->limit);
    std::signal(SIGXFSZ, m_state->handler);
#endif
}

bool command(const TCommand &c)
{
    if (!c.Enabled())
        return false;
    c.menu->trigger();
    return true;
}

} // namespace kivtest
