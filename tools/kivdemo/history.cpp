#include "history.h"

#include "demodata.h"
#include "errors.h"
#include "localeservice.h"
#include "numerictext.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "tabledata.h"
#include "tablefile.h"

#include <QDir>

#include <string>
#include <unordered_map>
#include <vector>

namespace kiv::DemoData {

namespace {

constexpr int kBranches = 20;

QString branchCode(int b)
{
    return QStringLiteral("%1").arg(b + 1, 4, 10, QChar(u'0'));
}

// The stored bytes of a value of a date or date-and-time field, taken from
// the table store itself so that the history cannot drift from its form.
class StoredForm
{
public:
    std::string date(const QDate &day, FieldKind kind)
    {
        const qint64 key = day.toJulianDay() * 2 + (kind == FieldKind::DateTime ? 1 : 0);
        const auto found = m_cache.find(key);
        if (found != m_cache.end())
            return found->second;
        Table table;
        table.SetFieldDefs({FieldDef::of(QStringLiteral("D"), kind)});
        table.CreateDataSet();
        table.DisableControls();
        table.Append();
        table.FieldByName(QStringLiteral("D"))->SetAsDate(day);
        table.Post();
        const TableData data = table.Data();
        std::string bytes(data.heap.bytes(data.row(data.stored.front())[0]));
        m_cache.emplace(key, bytes);
        return bytes;
    }

private:
    std::unordered_map<qint64, std::string> m_cache;
};

// Builds one recorded file: the history rows first, then the rows the
// demonstration directory already holds (the documents of the last days),
// so that the demonstration logins find what they always found. Values that
// repeat are stored once.
class FileBuilder
{
public:
    FileBuilder(const QString &dir, const TableDecl &decl, StoredForm &form)
        : m_path(QDir(dir).filePath(decl.fileName)), m_demo(TableFile::read(m_path)), m_form(form)
    {
        m_data.columns = m_demo.columns;
        m_row.resize(m_data.columns.size());
        for (uint32_t id : m_demo.stored) {
            std::vector<std::string> values;
            for (int c = 0; c < m_demo.columnCount(); ++c)
                values.emplace_back(m_demo.heap.bytes(m_demo.row(id)[c]));
            m_templates.push_back(std::move(values));
        }
    }

    int templateCount() const { return int(m_templates.size()); }

    // Starts a row from the demonstration row `index` (modulo their count),
    // or empty when the file has none.
    void start(int index = 0)
    {
        std::fill(m_row.begin(), m_row.end(), Cell());
        if (m_templates.empty())
            return;
        const auto &values = m_templates[size_t(index) % m_templates.size()];
        for (size_t c = 0; c < values.size(); ++c)
            m_row[c] = intern(values[c]);
    }
    void set(const char *name, const QString &text)
    {
        const QByteArray utf8 = text.toUtf8();
        m_row[column(name)] = intern(std::string_view(utf8.constData(), size_t(utf8.size())));
    }
    void setDate(const char *name, const QDate &day)
    {
        const size_t c = column(name);
        m_row[c] = intern(m_form.date(day, m_data.columns[c].kind));
    }
    void add()
    {
        const uint32_t id = m_data.allocateRow();
        std::copy(m_row.begin(), m_row.end(), m_data.row(id));
        m_data.stored.push_back(id);
    }
    int finish()
    {
        const int history = int(m_data.stored.size());
        for (const auto &values : m_templates) {
            for (size_t c = 0; c < values.size(); ++c)
                m_row[c] = intern(values[c]);
            add();
        }
        TableFile::write(m_path, m_data);
        return history;
    }

private:
    size_t column(const char *name) const
    {
        const int c = m_data.columnIndex(QLatin1String(name));
        if (c < 0)
            throw EDatabaseError(QStringLiteral("O campo %1 não está em %2.")
                                     .arg(QLatin1String(name), m_path));
        return size_t(c);
    }
    Cell intern(std::string_view bytes)
    {
        const auto found = m_interned.find(std::string(bytes));
        if (found != m_interned.end())
            return found->second;
        const Cell cell = m_data.heap.store(bytes);
        m_interned.emplace(std::string(bytes), cell);
        return cell;
    }

    QString m_path;
    TableData m_demo;
    StoredForm &m_form;
    TableData m_data;
    std::vector<Cell> m_row;
    std::vector<std::vector<std::string>> m_templates;
    std::unordered_map<std::string, Cell> m_interned;
};

struct Product
{
    QString internal, tree, name, unit;
    double price;
};

std::vector<Product> catalogue(const QString &dir)
{
    const TableDecl decl = RefTables::produto(RefTables::ProductReader::Entries);
    Table table;
    table.Declare(decl);
    table.LoadFromFile(QDir(dir).filePath(decl.fileName));
    std::vector<Product> products;
    for (table.First(); !table.Eof(); table.Next()) {
        const QString tree = table.FieldByName(QStringLiteral("CDARVPROD"))->AsString();
        products.push_back({table.FieldByName(QStringLiteral("CDPRODUTO"))->AsString(), tree,
                            table.FieldByName(QStringLiteral("NMPRODUTO"))->AsString(),
                            table.FieldByName(QStringLiteral("SGUNIDADE"))->AsString(),
                            // Multiples of 0,25, as the demonstration prices.
                            1.0 + 0.25 * double(qHash(tree) % 80)});
    }
    if (products.size() < 12)
        throw EDatabaseError(QStringLiteral("Catálogo de produtos pequeno demais para o histórico."));
    return products;
}

QString quantity(double value) { return FormatFloat(QStringLiteral("##0.000"), value); }
QString value5(double value) { return FormatFloat(QStringLiteral("##0.00000"), value); }

// Spreads `count` events over the days from first to last, in order.
QDate dayOf(int index, int count, const QDate &first, const QDate &last)
{
    const qint64 span = first.daysTo(last) + 1;
    return first.addDays(qint64(index) * span / std::max(count, 1));
}

} // namespace

HistorySummary writeHistoryDirectory(const QString &dir, int years, const QDate &today)
{
    if (years < 1)
        throw EDatabaseError(QStringLiteral("Número de anos inválido: %1.").arg(years));
    // The demonstration documents sit in the last ten days; the history ends
    // before them.
    writeDemoDirectory(dir, today);
    const QDate last = today.addDays(-11);
    const QDate first = last.addYears(-years).addDays(1);
    const std::vector<Product> products = catalogue(dir);
    const int productCount = int(products.size());
    StoredForm form;
    HistorySummary summary;

    // Entry documents: ten items each; numbered from
    // 1000 so that the demonstration's own numbers stay apart.
    {
        FileBuilder headers(dir, RecordedTables::lancEntr(), form);
        FileBuilder items(dir, RecordedTables::itemEntr(), form);
        FileBuilder dues(dir, RecordedTables::vencEntr(), form);
        const int documents = 4000 * years;
        for (int d = 0; d < documents; ++d) {
            const QString number = QString::number(1000 + d);
            const QString branch = branchCode(d % kBranches);
            const QDate date = dayOf(d, documents, first, last);
            double total = 0;
            for (int i = 0; i < 10; ++i) {
                const Product &p = products[size_t((d * 7 + i) % productCount)];
                // Ten items stay under the 9999,99999 a document total holds.
                const double amount = 5 + (d * 13 + i * 7) % 40;
                total += amount * p.price;
                items.start(d);
                items.set("NRLANCNFE", number);
                items.set("CDPRODUTO", p.internal);
                items.set("CDARVPROD", p.tree);
                items.set("CDPSQPROD", p.tree);
                items.set("NMPRODUTO", p.name);
                items.set("SGUNIDADE", p.unit);
                items.set("QTITEMPROD", quantity(amount));
                items.set("VRUNITITEM", value5(p.price));
                items.set("NRNFEPROD", QString::number(500000 + d));
                items.set("CDFILLANC", branch);
                items.add();
            }
            // Every other document of a branch is paid on one due date.
            const bool due = (d / kBranches) % 2 == 0;
            if (due) {
                dues.start(d);
                dues.set("NRLANCNFE", number);
                dues.setDate("DTVENCENTR", date.addDays(30));
                dues.set("VRVENCENTR", value5(total));
                dues.set("STDTVCENTR", LocaleService::dateToText(date.addDays(30)));
                dues.add();
            }
            headers.start(d);
            headers.set("NRLANCNFE", number);
            headers.set("CDFILIAL", branch);
            headers.setDate("DTEMISSAO", date.addDays(-1));
            headers.setDate("DTENTRADA", date);
            headers.set("VRNOTAFISC", value5(total));
            headers.set("NRNOTAFISC", QString::number(500000 + d));
            headers.set("IDUTILVENC", due ? QStringLiteral("S") : QStringLiteral("N"));
            headers.add();
        }
        summary.entryDocuments = headers.finish();
        summary.entryItems = items.finish();
        dues.finish();
    }

    // Exit documents: eight items each.
    {
        FileBuilder headers(dir, RecordedTables::lancSaid(), form);
        FileBuilder items(dir, RecordedTables::itemSaid(), form);
        FileBuilder dues(dir, RecordedTables::vencSaid(), form);
        const int documents = 3000 * years;
        for (int d = 0; d < documents; ++d) {
            const QString number = QString::number(1000 + d);
            const QDate date = dayOf(d, documents, first, last);
            double total = 0;
            for (int i = 0; i < 8; ++i) {
                const Product &p = products[size_t((d * 5 + i) % productCount)];
                const double amount = 1 + (d * 11 + i * 3) % 60;
                total += amount * p.price;
                items.start(d);
                items.set("NRLANCNFS", number);
                items.set("CDPRODUTO", p.internal);
                items.set("CDARVPROD", p.tree);
                items.set("NMPRODUTO", p.name);
                items.set("SGUNIDADE", p.unit);
                items.set("QTITEMPROD", quantity(amount));
                items.set("VRUNITITEM", value5(p.price));
                items.add();
            }
            // Every fourth document of a branch is paid on one due date.
            const bool due = (d / kBranches) % 4 == 0;
            if (due) {
                dues.start(d);
                dues.set("NRLANCNFS", number);
                dues.setDate("DTVENCSAID", date.addDays(28));
                dues.set("VRVENCSAID", value5(total));
                dues.add();
            }
            headers.start(d);
            headers.set("NRLANCNFS", number);
            headers.set("CDFILIAL", branchCode(d % kBranches));
            headers.setDate("DTSAIDA", date);
            headers.set("VRNOTAFISC", value5(total));
            headers.set("IDUTILVENC", due ? QStringLiteral("S") : QStringLiteral("N"));
            headers.add();
        }
        summary.exitDocuments = headers.finish();
        summary.exitItems = items.finish();
        dues.finish();
    }

    // Counts: forty a year in every branch, of the whole catalogue (cut to
    // 38 products so that a year is about 30,000 rows whatever the catalogue).
    {
        FileBuilder counts(dir, RecordedTables::inventario(), form);
        const int perBranch = 40 * years;
        const int counted = std::min(productCount, 38);
        for (int c = 0; c < perBranch; ++c) {
            const QDate date = dayOf(c, perBranch, first, last);
            const QString dateText = LocaleService::dateToText(date);
            for (int b = 0; b < kBranches; ++b) {
                const QString branch = branchCode(b);
                for (int i = 0; i < counted; ++i) {
                    const Product &p = products[size_t(i)];
                    counts.start();
                    counts.set("CDFILIAL", branch);
                    counts.set("CDOPERADOR", QStringLiteral("000000000001"));
                    counts.setDate("DTLANCESTQ", date);
                    counts.set("CDPRODUTO", p.internal);
                    counts.set("FILOPEDTPD", branch + QStringLiteral("000000000001") + dateText
                                                 + p.internal);
                    counts.set("CDARVPROD", p.tree);
                    counts.set("NMPRODUTO", p.name);
                    counts.set("SGUNIDADE", p.unit);
                    counts.set("QUANTPROD", quantity(1 + (c * 17 + i * 5 + b) % 400));
                    counts.add();
                }
            }
        }
        summary.counts = counts.finish();
    }

    // Headcounts: three services a school day (200 a year) in every branch,
    // each broken down into two clients.
    {
        FileBuilder headcounts(dir, RecordedTables::efetivos(), form);
        FileBuilder clients(dir, RecordedTables::efetClie(), form);
        const int days = 200 * years;
        for (int d = 0; d < days; ++d) {
            const QDate date = dayOf(d, days, first, last);
            const QString dateText = LocaleService::dateToText(date);
            for (int b = 0; b < kBranches; ++b) {
                const QString branch = branchCode(b);
                for (int s = 0; s < 3; ++s) {
                    const QString service = QStringLiteral("%1").arg(s + 1, 5, 10, QChar(u'0'));
                    const int served = 100 + (d * 7 + b * 3 + s) % 150;
                    headcounts.start(s);
                    headcounts.set("CDFILIAL", branch);
                    headcounts.setDate("DTEFETIVO", date);
                    headcounts.set("CDSERVFILI", service);
                    headcounts.set("QTCLIENTE", QString::number(served));
                    headcounts.set("FILSETPCDT", branch + service + QStringLiteral("01") + dateText);
                    headcounts.add();
                    for (int c = 0; c < 2; ++c) {
                        clients.start(c);
                        clients.set("CDFILIAL", branch);
                        clients.set("CDSERVFILI", service);
                        clients.setDate("DTPROGENTR", date);
                        clients.set("QTCLIENTE", QString::number(served / 2 + c));
                        clients.set("FILTPCSEDT", branch + QStringLiteral("01") + service + dateText);
                        clients.add();
                    }
                }
            }
        }
        summary.headcounts = headcounts.finish();
        summary.headcountClients = clients.finish();
    }

    // Purchase requests: twelve a year in every branch, of twenty products.
    {
        FileBuilder requests(dir, RecordedTables::soliComp(), form);
        const int perBranch = 12 * years;
        for (int r = 0; r < perBranch; ++r) {
            const QDate date = dayOf(r, perBranch, first, last);
            const QString dateText = LocaleService::dateToText(date);
            for (int b = 0; b < kBranches; ++b) {
                const QString branch = branchCode(b);
                const QString number = QString::number(10000 + r * kBranches + b);
                for (int i = 0; i < 20; ++i) {
                    const Product &p = products[size_t((r + i) % productCount)];
                    requests.start(i);
                    requests.set("CDFILISOLI", branch);
                    requests.set("NRSOLICMP", number);
                    requests.set("CDPRODUTO", p.internal);
                    requests.set("CDARVPROD", p.tree);
                    requests.set("CDPSQPROD", p.tree);
                    requests.set("NMPRODUTO", p.name);
                    requests.set("SGUNIDADE", p.unit);
                    requests.setDate("DTPROGENTR", date);
                    requests.set("QTSOLICPRO", quantity(10 + (r + i) % 90));
                    requests.set("QTAJUSTPRO", quantity(10 + (r + i) % 90));
                    requests.set("FILSOLPRDT", branch + number + p.internal + dateText);
                    requests.add();
                }
            }
        }
        summary.purchaseRows = requests.finish();
    }

    // Planned withdrawals: every branch, one service, twenty products a
    // school day: 100,000 rows a year, with what was consumed.
    {
        FileBuilder planned(dir, RecordedTables::prevReti(), form);
        const int days = 250 * years;
        const QString service = QStringLiteral("00001");
        for (int d = 0; d < days; ++d) {
            const QDate date = dayOf(d, days, first, last);
            const QString dateText = LocaleService::dateToText(date);
            for (int b = 0; b < kBranches; ++b) {
                const QString branch = branchCode(b);
                for (int i = 0; i < 20; ++i) {
                    const Product &p = products[size_t((d + i) % productCount)];
                    planned.start(i);
                    planned.set("CDFILIAL", branch);
                    planned.set("CDSERVFILI", service);
                    planned.setDate("DTPREVRETI", date);
                    planned.set("CDPRODUTO", p.internal);
                    planned.set("CDARVPROD", p.tree);
                    planned.set("CDPSQPROD", p.tree);
                    planned.set("NMPRODUTO", p.name);
                    planned.set("SGUNIDADE", p.unit);
                    planned.set("QTPREVRETI", value5(1 + (d + i * 3) % 50));
                    planned.set("QTCONSRETI", value5(1 + (d + i * 5) % 50));
                    planned.set("FILSERPRDT", branch + service + p.internal + dateText);
                    planned.add();
                }
            }
        }
        summary.plannedWithdrawals = planned.finish();
    }
    return summary;
}

} // namespace kiv::DemoData
