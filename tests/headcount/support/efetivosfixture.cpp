#include "efetivosfixture.h"

#include "datetimepicker.h"
#include "dbgrid.h"
#include "maskedit.h"
#include "pagecontrol.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "tfrmefetivos.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QTest>

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#endif

using namespace kiv;

namespace headcount {

const QString kBranch = QStringLiteral("0001");
const QString kOtherBranch = QStringLiteral("0002");
const QString kMenu = QStringLiteral("0000000001");
const QString kCrecheMenu = QStringLiteral("0000000002");
const QDate kDay(2026, 12, 9);
const QDate kOtherDay(2026, 12, 7);

QDateTime at(const QDate &day, const QTime &time)
{
    return QDateTime(day, time, Qt::UTC);
}

QList<Headcount> defaultHeadcounts()
{
    Headcount vilaNova{kOtherBranch, at(kDay), "00001", kMenu, "12,5", "1", "1"};
    vilaNova.central = QStringLiteral("0800");
    return {
        vilaNova,
        {kBranch, at(kDay), "00003", kMenu, "7", "1", "0"},
        {kBranch, at(kDay), "00001", kMenu, "45", "3", "2"},
        {kBranch, at(kDay), "00002", kMenu, "10.5", "4", "0"},
        {kBranch, at(kOtherDay), "00001", kMenu, "40", "3", "2"},
        {kBranch, at(kDay), "00004", kCrecheMenu, "20", "2", "0"},
    };
}

DataDir::DataDir()
{
    write(RecordedTables::dadosKipc(), {{{"CDFILIAL", kBranch},
                                         {"NMFILIAL", "COZINHA PILOTO"},
                                         {"DIREXP", "C:\\Kiv\\Exporta\\0001\\"},
                                         {"CDSENHAOPE", "x"},
                                         {"CDFILIOPER", kBranch + "000000000001"},
                                         {"CDOPERADOR", "000000000001"},
                                         {"NMOPERADOR", "ANA LIMA"},
                                         {"PRODMASK", ""}}});
    write(RefTables::tipoCard(),
          {{{"CDFILIAL", kBranch}, {"CDTIPOCARD", kMenu}, {"NMTIPOCARD", "ENSINO FUNDAMENTAL"}},
           {{"CDFILIAL", kBranch}, {"CDTIPOCARD", kCrecheMenu}, {"NMTIPOCARD", "CRECHE"}},
           {{"CDFILIAL", kOtherBranch},
            {"CDTIPOCARD", "0000000003"},
            {"NMTIPOCARD", "EJA NOTURNO"}}});
    write(RefTables::servico(),
          {{{"CDFILIAL", kBranch}, {"CDSERVFILI", "00001"}, {"NMSERVICO", "DESJEJUM"},
            {"CDTIPOCARD", kMenu}},
           {{"CDFILIAL", kBranch}, {"CDSERVFILI", "00002"}, {"NMSERVICO", "ALMOÇO"},
            {"CDTIPOCARD", kMenu}},
           {{"CDFILIAL", kBranch}, {"CDSERVFILI", "00004"}, {"NMSERVICO", "ALMOÇO CRECHE"},
            {"CDTIPOCARD", kCrecheMenu}},
           {{"CDFILIAL", kOtherBranch}, {"CDSERVFILI", "00001"}, {"NMSERVICO", "DESJEJUM VN"},
            {"CDTIPOCARD", kMenu}}});
    // Listed out of name order: the breakdown follows the names.
    auto client = [](const QString &branch, const QString &service, const QString &code,
                     const QString &name) {
        return QVariantMap{{"CDFILIAL", branch},        {"CDTIPOCARD", kMenu},
                           {"CDSERVFILI", service},     {"CDCLIENTE", code},
                           {"NMCLIENTE", name},         {"FILTPCSERV", branch + kMenu + service}};
    };
    write(RefTables::servClie(),
          {client(kBranch, "00001", "2002", "ESCOLA MUNICIPAL BELA VISTA"),
           client(kBranch, "00001", "2001", "ESCOLA MUNICIPAL ALVORADA"),
           client(kOtherBranch, "00001", "2004", "ESCOLA VILA NOVA")});
    writeHeadcounts(defaultHeadcounts());
    writeBreakdown({});
}

void DataDir::writeHeadcounts(const QList<Headcount> &rows) const
{
    QList<QVariantMap> records;
    for (const Headcount &h : rows)
        records.append({{"CDFILIAL", h.branch},
                        {"DTEFETIVO", h.date},
                        {"CDSERVFILI", h.service},
                        {"CDTIPOCARD", h.menu},
                        {"QTCLIENTE", h.clients},
                        {"QTFUNC", h.staff},
                        {"QTDOACAO", h.donations},
                        {"CDFILCENT", h.central},
                        {"NRCARDPME", "49"},
                        {"NRCDIAPME", "3"},
                        {"FILSETPCDT", h.branch + h.service + h.menu}});
    write(RecordedTables::efetivos(), records);
}

void DataDir::writeBreakdown(const QList<ClientRow> &rows) const
{
    QList<QVariantMap> records;
    for (const ClientRow &c : rows)
        records.append({{"NMCLIENTE", c.name},
                        {"QTCLIENTE", c.clients},
                        {"QTFUNC", c.staff},
                        {"QTDOACAO", c.donations},
                        {"CDCLIENTE", c.client},
                        {"CDFILCENT", c.central},
                        {"CDFILIAL", c.branch},
                        {"CDTIPOCARD", c.menu},
                        {"CDSERVFILI", c.service},
                        {"DTPROGENTR", c.date},
                        {"FILTPCSEDT", c.branch + c.menu + c.service}});
    write(RecordedTables::efetClie(), records);
}

QStringList DataDir::headcountsOnDisk() const
{
    TableDecl decl = RecordedTables::efetivos();
    decl.indexFieldNames.clear();
    const auto table = load(decl);
    QStringList rows;
    for (table->First(); !table->Eof(); table->Next()) {
        auto f = [&](const char *name) { return table->FieldByName(name)->AsString(); };
        rows << QStringList{f("CDFILIAL"),
                            table->FieldByName("DTEFETIVO")->AsDateTime().toString(Qt::ISODate),
                            f("CDSERVFILI"), f("CDTIPOCARD"), f("QTCLIENTE"), f("QTFUNC"),
                            f("QTDOACAO")}
                    .join(u' ');
    }
    return rows;
}

QStringList DataDir::breakdownOnDisk(const QDate &day) const
{
    TableDecl decl = RecordedTables::efetClie();
    decl.indexFieldNames.clear();
    const auto table = load(decl);
    QStringList rows;
    for (table->First(); !table->Eof(); table->Next()) {
        auto f = [&](const char *name) { return table->FieldByName(name)->AsString(); };
        if (f("CDFILIAL") != kBranch || f("CDTIPOCARD") != kMenu
            || table->FieldByName("DTPROGENTR")->AsDate() != day)
            continue;
        rows << QStringList{f("CDSERVFILI"), f("CDCLIENTE"), f("QTCLIENTE"), f("QTFUNC"),
                            f("QTDOACAO"), f("CDFILCENT")}
                    .join(u' ');
    }
    return rows;
}

namespace {

QStringList gridRows(TDBGrid *grid)
{
    QStringList rows;
    const QAbstractItemModel *model = grid->model();
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << model->index(r, c).data().toString();
        rows << cells.join(u'|');
    }
    return rows;
}

} // namespace

QStringList headcountRows(TfrmEfetivos *w)
{
    return gridRows(w->dbgPadrao);
}

QStringList breakdownRows(TfrmEfetivos *w)
{
    return gridRows(w->dbgClientes);
}

QString headcountRow(const QString &service, const QString &name, const QString &clients,
                     const QString &staff, const QString &donations, const QString &total)
{
    return QStringList{service, name, clients, staff, donations, total}.join(u'|');
}

bool chooseHeader(TfrmEfetivos *w, const QString &menu, const QDate &day)
{
    w->edtCdTpCard->setFocus();
    if (!kivtest::focusOn(w->edtCdTpCard))
        return false;
    w->edtCdTpCard->selectAll();
    QTest::keyClick(w->edtCdTpCard, Qt::Key_Backspace);
    QTest::keyClicks(w->edtCdTpCard, menu);
    w->dpkData->SetDate(day);
    w->dbgPadrao->setFocus();
    return kivtest::focusOn(w->dbgPadrao);
}

bool goToCell(TDBGrid *grid, int row, const QString &field)
{
    grid->setFocus();
    if (!kivtest::focusOn(grid))
        return false;
    Table *table = grid->DataSet();
    if (!table || row >= table->RecordCount())
        return false;
    if (table->RecNo() != row + 1)
        table->SetRecNo(row + 1);
    grid->SetSelectedField(field);
    return table->RecNo() == row + 1 && grid->SelectedField()
           && grid->SelectedField()->FieldName() == field;
}

void typeInto(TDBGrid *grid, int row, const QString &field, const QString &text)
{
    QVERIFY(goToCell(grid, row, field));
    QTest::keyClicks(QApplication::focusWidget(), text.left(1));
    for (QChar c : text.mid(1))
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
}

bool choosePage(TfrmEfetivos *w, bool breakdown)
{
    QAction *entry = breakdown ? w->mnuFormulario : w->mnuFolhaDados;
    if (!entry->isEnabled())
        return false;
    entry->trigger();
    return w->pgcPadrao->ActivePage() == (breakdown ? w->tshFormulario : w->tshFolhaDados);
}

FileReplacements::FileReplacements(const QString &directory, const QString &fileName)
    : m_fileName(fileName)
{
#ifdef Q_OS_LINUX
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd >= 0 && inotify_add_watch(m_fd, QFile::encodeName(directory).constData(),
                                       IN_MOVED_TO) < 0) {
        ::close(m_fd);
        m_fd = -1;
    }
#else
    Q_UNUSED(directory);
#endif
}

FileReplacements::~FileReplacements()
{
#ifdef Q_OS_LINUX
    if (m_fd >= 0)
        ::close(m_fd);
#endif
}

int FileReplacements::count()
{
#ifdef Q_OS_LINUX
    if (m_fd < 0)
        return -1;
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (ssize_t off = 0; off < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + off);
            if (event->len > 0
                && QString::fromLocal8Bit(event->name).compare(m_fileName, Qt::CaseInsensitive)
                       == 0)
                ++m_count;
            off += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    return m_count;
#else
    return -1;
#endif
}

} // namespace headcount
