#include "table.h"

#include "errors.h"
#include "localeservice.h"
#include "numerictext.h"
#include "tablefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaMethod>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <unordered_map>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace kiv {

namespace {

const QDate platformEpoch(1899, 12, 30);

QString fromBytes(std::string_view bytes)
{
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

double parseDouble(std::string_view bytes)
{
    double value = 0;
    std::from_chars(bytes.data(), bytes.data() + bytes.size(), value);
    return value;
}

qint64 parseInteger(std::string_view bytes)
{
    long long value = 0;
    std::from_chars(bytes.data(), bytes.data() + bytes.size(), value);
    return value;
}

std::string floatText(double value)
{
    if (value == 0)
        value = 0;
    char buffer[32];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string integerText(qint64 value)
{
    char buffer[24];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string dateText(const QDate &date)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%04d%02d%02d", date.year(), date.month(), date.day());
    return buffer;
}

std::string dateTimeText(const QDateTime &dateTime)
{
    std::string text = dateText(dateTime.date());
    const QTime time = dateTime.time();
    if (time != QTime(0, 0)) {
        char buffer[40];
        std::snprintf(buffer, sizeof buffer, "T%02d:%02d:%02d%03d", time.hour(), time.minute(),
                      time.second(), time.msec());
        text += buffer;
    }
    return text;
}

QDate dateOf(std::string_view bytes)
{
    if (bytes.size() < 8)
        return QDate();
    auto number = [&](size_t at, size_t n) {
        int v = 0;
        for (size_t i = at; i < at + n; ++i)
            v = v * 10 + (bytes[i] - '0');
        return v;
    };
    return QDate(number(0, 4), number(4, 2), number(6, 2));
}

QDateTime dateTimeOf(std::string_view bytes)
{
    const QDate date = dateOf(bytes);
    if (!date.isValid())
        return QDateTime();
    QTime time(0, 0);
    if (bytes.size() >= 17) {
        auto number = [&](size_t at, size_t n) {
            int v = 0;
            for (size_t i = at; i < at + n; ++i)
                v = v * 10 + (bytes[i] - '0');
            return v;
        };
        time = QTime(number(9, 2), number(12, 2), number(15, 2),
                     bytes.size() >= 20 ? number(17, 3) : 0);
    }
    return QDateTime(date, time, Qt::UTC);
}

QDateTime dateTimeFromDays(double days)
{
    const qint64 msecs = qRound64(days * 86400000.0);
    return QDateTime(platformEpoch, QTime(0, 0), Qt::UTC).addMSecs(msecs);
}

double daysOf(const QDateTime &dateTime)
{
    return double(QDateTime(platformEpoch, QTime(0, 0), Qt::UTC).msecsTo(dateTime)) / 86400000.0;
}

// Text cut to size UTF-16 units, never in the middle of a surrogate pair.
QString cutText(const QString &text, int size)
{
    if (size <= 0 || text.size() <= size)
        return text;
    qsizetype n = size;
    if (text.at(n - 1).isHighSurrogate())
        --n;
    return text.left(n);
}

QString tableName(const Table &table)
{
    return table.objectName().isEmpty() ? QStringLiteral("(sem nome)") : table.objectName();
}

int compareBytes(std::string_view a, std::string_view b)
{
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

} // namespace

// ----------------------------------------------------------------- filters

struct Table::FilterTerm
{
    int column = -1;
    std::string value;
    bool never = false;  // a value the field can never hold
};

struct Table::CompiledFilter
{
    std::vector<FilterTerm> terms;
};

namespace {

class FilterParser
{
public:
    explicit FilterParser(const QString &text) : m_text(text) {}

    [[noreturn]] void fail(const QString &why) const
    {
        throw EDatabaseError(QStringLiteral("Expressão de filtro inválida: %1 (em \"%2\").")
                                 .arg(why, m_text));
    }
    void skipSpace()
    {
        while (m_pos < m_text.size() && m_text.at(m_pos).isSpace())
            ++m_pos;
    }
    bool atEnd()
    {
        skipSpace();
        return m_pos >= m_text.size();
    }
    QString identifier()
    {
        skipSpace();
        const qsizetype start = m_pos;
        while (m_pos < m_text.size()
               && (m_text.at(m_pos).isLetterOrNumber() || m_text.at(m_pos) == u'_'))
            ++m_pos;
        if (m_pos == start || m_text.at(start).isDigit())
            fail(QStringLiteral("nome de campo esperado"));
        return m_text.mid(start, m_pos - start);
    }
    void equals()
    {
        skipSpace();
        if (m_pos >= m_text.size() || m_text.at(m_pos) != u'=')
            fail(QStringLiteral("'=' esperado"));
        ++m_pos;
    }
    // A quoted text, or an unquoted number. quoted tells which.
    QString value(bool &quoted)
    {
        skipSpace();
        if (m_pos >= m_text.size())
            fail(QStringLiteral("valor esperado"));
        if (m_text.at(m_pos) == u'\'') {
            quoted = true;
            QString out;
            ++m_pos;
            for (;;) {
                if (m_pos >= m_text.size())
                    fail(QStringLiteral("aspas não fechadas"));
                const QChar c = m_text.at(m_pos++);
                if (c == u'\'') {
                    if (m_pos < m_text.size() && m_text.at(m_pos) == u'\'') {
                        out += u'\'';
                        ++m_pos;
                        continue;
                    }
                    return out;
                }
                out += c;
            }
        }
        quoted = false;
        const qsizetype start = m_pos;
        if (m_text.at(m_pos) == u'-' || m_text.at(m_pos) == u'+')
            ++m_pos;
        const qsizetype digits = m_pos;
        while (m_pos < m_text.size() && (m_text.at(m_pos).isDigit() || m_text.at(m_pos) == u'.'))
            ++m_pos;
        if (m_pos == digits)
            fail(QStringLiteral("valor esperado"));
        return m_text.mid(start, m_pos - start);
    }
    void conjunction()
    {
        skipSpace();
        if (m_text.mid(m_pos, 3).compare(QLatin1String("AND"), Qt::CaseInsensitive) != 0)
            fail(QStringLiteral("AND esperado"));
        m_pos += 3;
        if (m_pos < m_text.size() && !m_text.at(m_pos).isSpace() && m_text.at(m_pos) != u'(')
            fail(QStringLiteral("espaço esperado após AND"));
    }

private:
    const QString &m_text;
    qsizetype m_pos = 0;
};

} // namespace

Table::CompiledFilter Table::compileFilter(const QString &text) const
{
    CompiledFilter filter;
    FilterParser parser(text);
    if (parser.atEnd())
        return filter;
    for (;;) {
        const QString name = parser.identifier();
        Field *field = FindField(name);
        if (!field || field->m_column < 0)
            throw EDatabaseError(QStringLiteral("Campo '%1' não encontrado.").arg(name));
        parser.equals();
        bool quoted = false;
        const QString literal = parser.value(quoted);
        FilterTerm term;
        term.column = field->m_column;
        switch (field->DataType()) {
        case FieldKind::Text:
            // An unquoted number compared with a text matches the same text.
            term.value = literal.toStdString();
            break;
        case FieldKind::Date:
        case FieldKind::DateTime: {
            if (!quoted)
                parser.fail(QStringLiteral("data entre aspas esperada para o campo %1").arg(name));
            if (literal.trimmed().isEmpty())
                break;
            const QDateTime when = LocaleService::textToDateTime(literal);
            if (!when.isValid())
                parser.fail(QStringLiteral("'%1' não é uma data válida").arg(literal));
            if (field->DataType() == FieldKind::Date)
                term.never = when.time() != QTime(0, 0);
            term.value = field->DataType() == FieldKind::Date ? dateText(when.date())
                                                              : dateTimeText(when);
            break;
        }
        case FieldKind::Float:
        case FieldKind::Integer: {
            if (quoted && literal.trimmed().isEmpty())
                break;
            double number = 0;
            QString plain = literal;
            plain.replace(LocaleService::decimalSeparator(), u'.');
            bool ok = false;
            number = plain.trimmed().toDouble(&ok);
            if (!ok)
                parser.fail(QStringLiteral("'%1' não é um número").arg(literal));
            if (field->DataType() == FieldKind::Integer) {
                term.never = number != std::floor(number);
                term.value = integerText(qint64(number));
            } else {
                term.value = floatText(number);
            }
            break;
        }
        }
        filter.terms.push_back(std::move(term));
        if (parser.atEnd())
            return filter;
        parser.conjunction();
    }
}

bool Table::passesFilter(const Cell *row) const
{
    if (!m_filtered || !m_filter)
        return true;
    for (const FilterTerm &term : m_filter->terms) {
        if (term.never)
            return false;
        const std::string_view bytes = m_data.heap.bytes(row[term.column]);
        if (bytes != std::string_view(term.value))
            return false;
    }
    return true;
}

// ------------------------------------------------------------------- table

Table::Table(const QString &name, QObject *parent) : QObject(parent)
{
    setObjectName(name);
}

Table::~Table() = default;

void Table::SetFieldDefs(const QList<FieldDef> &defs)
{
    m_defs.clear();
    m_fields.clear();
    m_fieldsByName.clear();
    m_calcFields.clear();
    m_calcValues.clear();
    for (const FieldDef &def : defs)
        AddFieldDef(def);
}

void Table::AddFieldDef(const FieldDef &def)
{
    m_defs.append(def);
    auto field = std::unique_ptr<Field>(new Field(this, def, int(m_fields.size()), -2));
    if (def.calculated) {
        field->m_column = -1;
        m_calcFields.push_back(field.get());
        m_calcValues.resize(m_calcFields.size());
    }
    m_fieldsByName.insert(def.name.toUpper(), field.get());
    m_fields.push_back(std::move(field));
}

void Table::Declare(const TableDecl &decl)
{
    SetFieldDefs(decl.fields);
    m_indexFieldNames = decl.indexFieldNames;
}

Field *Table::FindField(const QString &name) const
{
    return m_fieldsByName.value(name.trimmed().toUpper(), nullptr);
}

Field *Table::FieldByName(const QString &name) const
{
    Field *field = FindField(name);
    if (!field)
        throw EDatabaseError(QStringLiteral("Campo '%1' não encontrado.").arg(name));
    return field;
}

void Table::requireActive() const
{
    if (m_state == DataSetState::Inactive)
        throw EDatabaseError(QStringLiteral("Não é possível executar esta operação com a tabela %1 fechada.")
                                 .arg(tableName(*this)));
}

// ------------------------------------------------------------ content

void Table::CreateDataSet()
{
    TableData data;
    for (const FieldDef &def : std::as_const(m_defs))
        if (!def.calculated)
            data.columns.push_back(columnFromDef(def));
    if (data.columns.empty() && m_calcFields.empty())
        throw EDatabaseError(QStringLiteral("A tabela %1 não tem campos definidos.").arg(tableName(*this)));
    adoptData(std::move(data), QString());
}

namespace {

// The name a file's origin is kept under: the case-resolved name, absolute.
QString originName(const QString &resolved)
{
    return QDir::cleanPath(QFileInfo(resolved).absoluteFilePath());
}

} // namespace

bool Table::fileStamp(const QString &path, FileStamp *stamp)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    auto ns = [](const struct timespec &t) { return qint64(t.tv_sec) * 1000000000 + t.tv_nsec; };
    stamp->size = qint64(st.st_size);
#ifdef Q_OS_DARWIN
    stamp->modified = ns(st.st_mtimespec);
    stamp->changed = ns(st.st_ctimespec);
    stamp->born = ns(st.st_birthtimespec);
#else
    stamp->modified = ns(st.st_mtim);
    stamp->changed = ns(st.st_ctim);
#endif
    stamp->device = quint64(st.st_dev);
    stamp->inode = quint64(st.st_ino);
    return true;
#else
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    auto ms = [&](QFileDevice::FileTime which) {
        const QDateTime t = info.fileTime(which);
        return t.isValid() ? t.toMSecsSinceEpoch() : 0;
    };
    stamp->size = info.size();
    stamp->modified = ms(QFileDevice::FileModificationTime);
    stamp->changed = ms(QFileDevice::FileMetadataChangeTime);
    stamp->born = ms(QFileDevice::FileBirthTime);
    return true;
#endif
}

// A window reads its files again on every move so that what another program
// wrote is seen; when nothing wrote the file since this table read or saved
// it, and the table has not changed since, the file would give back what the
// table holds. The file system's word is taken for that: the same file
// (device and inode), the same size, and the same modification and status
// change times to the nanosecond, which any write, rename over or change of
// mode moves. Anything else, or a stamp that cannot be taken, reads the file.
// (Where the file system keeps coarse times, a rewrite in place to the same
// size within one tick of its clock after the stamp was taken is the one
// change this cannot see; saves here always write a new file.)
void Table::LoadFromFile(const QString &path)
{
    const QString resolved = TableFile::resolve(path);
    FileStamp before;
    const bool stamped = fileStamp(resolved, &before);
    if (stamped && holdsFile(resolved, before)) {
        readoptData(resolved, before);
        return;
    }
    m_originPath.clear();
    TableData data = TableFile::read(resolved);
    // A file written while it was being read is not trusted later.
    FileStamp after;
    const bool steady = stamped && fileStamp(resolved, &after) && after == before;
    adoptData(std::move(data), resolved, steady ? &before : nullptr);
}

bool Table::holdsFile(const QString &resolved, const FileStamp &now) const
{
    return !m_originPath.isEmpty() && m_originGeneration == m_generation && m_originStamp == now
           && m_originPath == originName(resolved);
}

bool Table::HoldsFile(const QString &path) const
{
    const QString resolved = TableFile::resolve(path);
    FileStamp now;
    return Active() && fileStamp(resolved, &now) && holdsFile(resolved, now);
}

TableData Table::Data() const
{
    TableData copy;
    copy.columns = m_data.columns;
    copy.heap = m_data.heap;
    copy.cells = m_data.cells;
    copy.lines = m_data.lines;
    copy.stored = m_data.stored;
    copy.rowsAllocated = m_data.rowsAllocated;
    copy.storedAscending = m_data.storedAscending;
    copy.indexes = m_indexes;
    return copy;
}

void Table::SetData(TableData data)
{
    adoptData(std::move(data), QString());
}

void Table::readoptData(const QString &fileName, const FileStamp &origin)
{
    // The content moves out and back in, keeping its rows, its bytes and
    // the indexes built on it; the table is as it was if a check fails.
    TableData data = std::move(m_data);
    data.indexes = std::move(m_indexes);
    m_data = TableData();
    m_data.columns = data.columns;
    m_indexes.clear();
    try {
        adoptData(std::move(data), fileName, &origin, true);
    } catch (...) {
        m_indexes = std::move(data.indexes);
        data.indexes.clear();
        m_data = std::move(data);
        throw;
    }
}

// Takes a new content: checks it against the declared fields, maps every
// field to its column and rebuilds order and view. Nothing changes when a
// check fails.
void Table::adoptData(TableData &&data, const QString &fileName, const FileStamp *origin,
                      bool sameRows)
{
    const QString source = fileName.isEmpty() ? tableName(*this) : QDir::toNativeSeparators(fileName);
    std::vector<int> columnOf(m_fields.size(), -2);
    for (size_t i = 0; i < size_t(m_defs.size()); ++i) {
        const Field &field = *m_fields[i];
        if (field.Calculated()) {
            columnOf[i] = -1;
            continue;
        }
        const int column = data.columnIndex(field.FieldName());
        if (column < 0)
            throw EDatabaseError(QStringLiteral("Erro ao abrir \"%1\": o campo %2 não existe.")
                                     .arg(source, field.FieldName()));
        {
            const ColumnInfo &info = data.columns[size_t(column)];
            const FieldDef &def = m_defs[qsizetype(i)];
            if (info.kind != def.kind || (def.kind == FieldKind::Text && info.size != def.size))
                throw EDatabaseError(
                    QStringLiteral("Erro ao abrir \"%1\": o campo %2 é %3 e deveria ser %4.")
                        .arg(source, def.name, TableFile::describeColumn(info),
                             TableFile::describeKind(def.kind, def.size)));
        }
        columnOf[i] = column;
    }

    // Work out key columns and filter against the new layout before
    // anything is replaced, so that a bad order or filter leaves all as it was.
    std::swap(m_data.columns, data.columns);
    std::vector<int> newKeys;
    std::unique_ptr<CompiledFilter> newFilter;
    std::vector<int> oldColumns(m_fields.size());
    for (size_t i = 0; i < m_fields.size(); ++i) {
        oldColumns[i] = m_fields[i]->m_column;
        m_fields[i]->m_column = columnOf[i];
    }
    // Fields the file has and the table does not declare.
    std::vector<std::unique_ptr<Field>> extras;
    for (size_t c = 0; c < m_data.columns.size(); ++c) {
        if (std::find(columnOf.begin(), columnOf.end(), int(c)) != columnOf.end())
            continue;
        const ColumnInfo &info = m_data.columns[c];
        FieldDef def;
        def.name = info.name;
        def.kind = info.kind;
        def.size = info.size;
        def.visible = m_defs.isEmpty();
        extras.push_back(std::unique_ptr<Field>(new Field(this, def, 0, int(c))));
    }
    auto restore = [&] {
        std::swap(m_data.columns, data.columns);
        for (size_t i = 0; i < m_fields.size(); ++i)
            m_fields[i]->m_column = oldColumns[i];
    };
    try {
        QHash<QString, Field *> byName;
        for (const auto &field : m_fields)
            if (field->Index() < m_defs.size())
                byName.insert(field->FieldName().toUpper(), field.get());
        for (const auto &extra : extras)
            byName.insert(extra->FieldName().toUpper(), extra.get());
        std::swap(byName, m_fieldsByName);
        try {
            if (m_filtered)
                newFilter = std::make_unique<CompiledFilter>(compileFilter(m_filterText));
            for (const QString &name : m_indexFieldNames.split(u';', Qt::SkipEmptyParts)) {
                if (name.trimmed().isEmpty())
                    continue;
                Field *key = FieldByName(name);
                if (key->m_column < 0)
                    throw EDatabaseError(QStringLiteral("Campo '%1' não pode ordenar a tabela.").arg(name));
                newKeys.push_back(key->m_column);
            }
        } catch (...) {
            std::swap(byName, m_fieldsByName);
            throw;
        }
    } catch (...) {
        restore();
        throw;
    }

    // Commit.
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        m_buffer.clear();
    // Undeclared fields keep their objects across loads of the same layout
    // (callers may hold pointers); stale ones are kept but detached.
    for (size_t i = size_t(m_defs.size()); i < m_fields.size(); ++i)
        m_fields[i]->m_column = -2;
    for (auto &extra : extras) {
        Field *reuse = nullptr;
        for (size_t i = size_t(m_defs.size()); i < m_fields.size(); ++i)
            if (m_fields[i]->FieldName() == extra->FieldName()
                && m_fields[i]->DataType() == extra->DataType()) {
                reuse = m_fields[i].get();
                break;
            }
        if (reuse) {
            reuse->m_def = extra->m_def;
            reuse->m_column = extra->m_column;
            m_fieldsByName.insert(reuse->FieldName().toUpper(), reuse);
        } else {
            extra->m_index = int(m_fields.size());
            m_fieldsByName.insert(extra->FieldName().toUpper(), extra.get());
            m_fields.push_back(std::move(extra));
        }
    }
    // Rows taken again in the same order keep their browsing order and
    // what is known of their places.
    const bool keepOrder = sameRows && newKeys == m_keyColumns;
    data.columns = m_data.columns;
    m_data = std::move(data);
    m_indexes = std::move(m_data.indexes);
    m_indexes.resize(m_data.columns.size());
    m_data.indexes.clear();
    m_keyColumns = std::move(newKeys);
    m_filter = std::move(newFilter);
    m_changeCount = 0;
    m_modified = false;
    ++m_generation;
    // Noted before any event runs, since an event may change the content.
    if (origin) {
        m_originPath = originName(fileName);
        m_originStamp = *origin;
        m_originGeneration = m_generation;
    } else {
        m_originPath.clear();
    }
    const bool stateChange = m_state != DataSetState::Browse;
    m_state = DataSetState::Browse;
    if (!quiet())
        emit fieldsChanged();
    if (stateChange && !quiet())
        emit stateChanged();
    resetAfterContentChange(keepOrder);
}

void Table::EmptyDataSet()
{
    requireActive();
    if (m_state != DataSetState::Browse) {
        m_buffer.clear();
        setState(DataSetState::Browse);
    }
    m_data.cells.clear();
    m_data.stored.clear();
    m_data.lines.clear();
    m_data.rowsAllocated = 0;
    m_data.storedAscending = true;
    m_data.heap.clear();
    m_indexes.assign(m_data.columns.size(), nullptr);
    ++m_generation;
    if (m_logChanges)
        ++m_changeCount;
    resetAfterContentChange();
}

void Table::Close()
{
    if (m_state == DataSetState::Inactive)
        return;
    m_buffer.clear();
    m_view.clear();
    m_viewStale = false;
    m_cur = -1;
    m_eof = m_bof = true;
    m_state = DataSetState::Inactive;
    notifyReset();
    if (!quiet())
        emit stateChanged();
}

void Table::Open()
{
    if (m_state != DataSetState::Inactive)
        return;
    if (m_data.columns.empty() && m_calcFields.empty())
        throw EDatabaseError(QStringLiteral("A tabela %1 não tem campos definidos.").arg(tableName(*this)));
    if (m_filtered)
        m_filter = std::make_unique<CompiledFilter>(compileFilter(m_filterText));
    m_state = DataSetState::Browse;
    if (!quiet())
        emit stateChanged();
    resetAfterContentChange();
}

void Table::SaveToFile(const QString &path) const
{
    SaveToFiles({{this, path}});
}

QByteArray Table::SavedContent() const
{
    requireActive();
    return TableFile::serialize(m_data);
}

void Table::SaveToFiles(const QList<QPair<const Table *, QString>> &files)
{
    AtomicSave save;
    std::vector<TableFile::FreshLines> fresh(size_t(files.size()));
    for (qsizetype i = 0; i < files.size(); ++i) {
        const Table *table = files[i].first;
        table->requireActive();
        save.add(files[i].second, [table, lines = &fresh[size_t(i)]](ContentSink &out) {
            TableFile::serialize(table->m_data, out, lines);
        });
    }
    try {
        save.commit();
    } catch (...) {
        // A set put back may have renamed files: none is trusted.
        for (const auto &file : files)
            file.first->m_originPath.clear();
        throw;
    }
    // The saved lines are a cache of the content, not part of it.
    for (qsizetype i = 0; i < files.size(); ++i) {
        TableFile::rememberLines(const_cast<TableData &>(files[i].first->m_data), fresh[size_t(i)]);
        files[i].first->noteSavedTo(files[i].second);
    }
}

void Table::noteSavedTo(const QString &path) const
{
    const QString resolved = TableFile::resolve(path);
    FileStamp stamp;
    if (!fileStamp(resolved, &stamp)) {
        m_originPath.clear();
        return;
    }
    m_originPath = originName(resolved);
    m_originStamp = stamp;
    m_originGeneration = m_generation;
}

// ---------------------------------------------------------- order and view

int Table::compareRows(const Cell *a, const Cell *b) const
{
    for (int column : m_keyColumns) {
        const std::string_view x = m_data.heap.bytes(a[column]);
        const std::string_view y = m_data.heap.bytes(b[column]);
        int c;
        const FieldKind kind = m_data.columns[size_t(column)].kind;
        if (kind == FieldKind::Float || kind == FieldKind::Integer) {
            if (x.empty() || y.empty()) {
                c = int(!x.empty()) - int(!y.empty());
            } else {
                const double dx = parseDouble(x);
                const double dy = parseDouble(y);
                c = dx < dy ? -1 : (dx > dy ? 1 : 0);
            }
        } else {
            c = compareBytes(x, y);
        }
        if (c != 0)
            return c;
    }
    return 0;
}

// Sorting compares one byte key per row: the key fields' canonical bytes,
// each text ended by a zero byte (no text holds one, and it sorts below any
// other byte) and each number as a presence byte and eight order-preserving
// bytes; the first eight key bytes are compared as one integer.
void Table::ensureSorted() const
{
    if (m_sortedValid)
        return;
    m_sortedValid = true;
    m_sorted = m_data.stored;
    if (m_keyColumns.empty())
        return;
    size_t keyBytes = 0;
    for (uint32_t id : m_data.stored) {
        const Cell *row = rowAt(id);
        for (int column : m_keyColumns)
            keyBytes += row[column].len + 9;
    }
    std::string keys;
    keys.reserve(keyBytes);
    std::vector<uint32_t> offsets(m_data.stored.size() + 1);
    for (size_t i = 0; i < m_data.stored.size(); ++i) {
        offsets[i] = uint32_t(keys.size());
        const Cell *row = rowAt(m_data.stored[i]);
        for (int column : m_keyColumns) {
            const std::string_view bytes = m_data.heap.bytes(row[column]);
            const FieldKind kind = m_data.columns[size_t(column)].kind;
            if (kind != FieldKind::Float && kind != FieldKind::Integer) {
                keys.append(bytes);
                keys.push_back('\0');
            } else if (bytes.empty()) {
                keys.push_back('\0');
            } else {
                uint64_t bits;
                const double value = parseDouble(bytes);
                std::memcpy(&bits, &value, 8);
                bits = (bits >> 63) ? ~bits : bits | (uint64_t(1) << 63);
                keys.push_back('\1');
                for (int shift = 56; shift >= 0; shift -= 8)
                    keys.push_back(char((bits >> shift) & 0xFF));
            }
        }
    }
    offsets.back() = uint32_t(keys.size());

    // Rows sharing a key (a product planned for many branches and dates)
    // are sorted as one: each distinct key is sorted once, then the rows are
    // placed by their key's rank in stored order, which keeps equal keys in
    // stored order.
    const size_t rows = m_data.stored.size();
    std::unordered_map<std::string_view, uint32_t> groupOf;
    groupOf.reserve(rows);
    std::vector<std::string_view> groupKeys;
    std::vector<uint32_t> rowGroup(rows);
    for (size_t i = 0; i < rows; ++i) {
        const std::string_view key(keys.data() + offsets[i], offsets[i + 1] - offsets[i]);
        const auto [at, added] = groupOf.try_emplace(key, uint32_t(groupKeys.size()));
        if (added)
            groupKeys.push_back(key);
        rowGroup[i] = at->second;
    }
    struct Entry
    {
        uint64_t prefix;
        uint32_t group;
    };
    std::vector<Entry> entries(groupKeys.size());
    for (size_t g = 0; g < groupKeys.size(); ++g) {
        uint64_t prefix = 0;
        for (size_t k = 0; k < 8; ++k)
            prefix = (prefix << 8) | (k < groupKeys[g].size() ? uint8_t(groupKeys[g][k]) : 0);
        entries[g] = {prefix, uint32_t(g)};
    }
    std::sort(entries.begin(), entries.end(), [&](const Entry &a, const Entry &b) {
        if (a.prefix != b.prefix)
            return a.prefix < b.prefix;
        return groupKeys[a.group] < groupKeys[b.group];
    });
    std::vector<uint32_t> start(entries.size() + 1, 0);
    std::vector<uint32_t> rank(entries.size());
    for (size_t r = 0; r < entries.size(); ++r)
        rank[entries[r].group] = uint32_t(r);
    for (size_t i = 0; i < rows; ++i)
        ++start[rank[rowGroup[i]] + 1];
    for (size_t r = 1; r < start.size(); ++r)
        start[r] += start[r - 1];
    for (size_t i = 0; i < rows; ++i)
        m_sorted[start[rank[rowGroup[i]]]++] = m_data.stored[i];
}

void Table::ensureView() const
{
    if (!m_viewStale)
        return;
    buildView();
    m_viewStale = false;
    m_cur = m_view.empty() ? -1 : 0;
    if (m_staleCurrent != noRow) {
        const auto found = std::find(m_view.begin(), m_view.end(), m_staleCurrent);
        if (found != m_view.end())
            m_cur = int(found - m_view.begin());
    }
    m_staleCurrent = noRow;
}

void Table::markViewStale(uint32_t current)
{
    m_viewStale = true;
    m_staleCurrent = current;
    m_staleFirst = noRow;
}

uint32_t Table::staleCurrentRow() const
{
    if (m_staleCurrent != noRow)
        return m_staleCurrent;
    if (filterActive() || m_data.stored.empty()) {
        ensureView();
        return m_cur < 0 ? noRow : m_view[size_t(m_cur)];
    }
    if (m_staleFirst == noRow) {
        // The smallest key, the first in stored order among equals: one
        // pass instead of a sort.
        m_staleFirst = m_data.stored.front();
        if (!m_keyColumns.empty())
            for (uint32_t id : m_data.stored)
                if (compareRows(rowAt(id), rowAt(m_staleFirst)) < 0)
                    m_staleFirst = id;
    }
    return m_staleFirst;
}

int Table::ViewCount() const
{
    // How many rows are shown is known without putting them in order.
    if (m_viewStale && !filterActive())
        return int(m_data.stored.size());
    ensureView();
    return int(m_view.size());
}

int Table::CurrentIndex() const
{
    if (viewStaleAtFirst() && !filterActive())
        return m_data.stored.empty() ? -1 : 0;
    ensureView();
    return m_cur;
}

// The visible rows in browsing order: all of them from the sorted order, or
// the filter's rows from an index, put in browsing order by themselves, so
// that a filter costs the rows it shows.
void Table::buildView() const
{
    if (!filterActive()) {
        ensureSorted();
        m_view = m_sorted;
        return;
    }
    std::vector<std::pair<int, std::string_view>> terms;
    for (const FilterTerm &term : m_filter->terms) {
        if (term.never) {
            m_view.clear();
            return;
        }
        terms.emplace_back(term.column, term.value);
    }
    // A filter that fixes the leading fields of the browsing order keeps one
    // run of it, once the order is known: only that run is looked at (a
    // service's withdrawals among a million rows). Texts and dates sort by
    // their bytes, as they compare.
    if (m_sortedValid && !m_keyColumns.empty()) {
        auto first = m_sorted.begin();
        auto last = m_sorted.end();
        for (int column : m_keyColumns) {
            const FieldKind kind = m_data.columns[size_t(column)].kind;
            if (kind == FieldKind::Float || kind == FieldKind::Integer)
                break;
            const auto term = std::find_if(terms.begin(), terms.end(),
                                           [column](const auto &t) { return t.first == column; });
            if (term == terms.end())
                break;
            const std::string_view value = term->second;
            const auto bytesOf = [this, column](uint32_t id) {
                return m_data.heap.bytes(rowAt(id)[column]);
            };
            first = std::partition_point(first, last,
                                         [&](uint32_t id) { return bytesOf(id) < value; });
            last = std::partition_point(first, last,
                                        [&](uint32_t id) { return bytesOf(id) == value; });
        }
        if (first != m_sorted.begin() || last != m_sorted.end()) {
            m_view.clear();
            for (auto it = first; it != last; ++it)
                if (passesFilter(rowAt(*it)))
                    m_view.push_back(*it);
            return;
        }
    }
    const std::vector<uint32_t> *listed = narrowestCandidates(terms);
    m_view.clear();
    if (!listed)
        return;
    if (!m_keyColumns.empty() && m_sortedValid && listed->size() > m_sorted.size() / 8) {
        for (uint32_t id : m_sorted)
            if (passesFilter(rowAt(id)))
                m_view.push_back(id);
        return;
    }
    for (uint32_t id : *listed)
        if (isLive(id) && passesFilter(rowAt(id)))
            m_view.push_back(id);
    // Stored order first (a row listed twice counts once), then the browsing
    // order, which keeps rows of equal keys in stored order.
    if (m_data.storedAscending) {
        std::sort(m_view.begin(), m_view.end());
    } else {
        std::sort(m_view.begin(), m_view.end(),
                  [&](uint32_t a, uint32_t b) { return storedBefore(a, b); });
    }
    m_view.erase(std::unique(m_view.begin(), m_view.end()), m_view.end());
    if (!m_keyColumns.empty())
        std::stable_sort(m_view.begin(), m_view.end(), [&](uint32_t a, uint32_t b) {
            return compareRows(rowAt(a), rowAt(b)) < 0;
        });
}

bool Table::filterActive() const
{
    return m_filtered && m_filter && !m_filter->terms.empty();
}

bool Table::isLive(uint32_t id) const
{
    if (!m_liveValid) {
        m_live.assign(m_data.rowsAllocated, false);
        for (uint32_t stored : m_data.stored)
            m_live[stored] = true;
        m_liveValid = true;
    }
    return id < m_live.size() && m_live[id];
}

bool Table::storedBefore(uint32_t a, uint32_t b) const
{
    if (m_data.storedAscending)
        return a < b;
    if (!m_storedPosValid) {
        m_storedPos.assign(m_data.rowsAllocated, noRow);
        for (size_t i = 0; i < m_data.stored.size(); ++i)
            m_storedPos[m_data.stored[i]] = uint32_t(i);
        m_storedPosValid = true;
    }
    return m_storedPos[a] < m_storedPos[b];
}

bool Table::browsedBefore(uint32_t a, uint32_t b) const
{
    const int c = compareRows(rowAt(a), rowAt(b));
    return c != 0 ? c < 0 : storedBefore(a, b);
}

const std::vector<uint32_t> &Table::candidates(int column, std::string_view bytes) const
{
    static const std::vector<uint32_t> none;
    std::shared_ptr<ColumnIndex> &index = m_indexes[size_t(column)];
    if (!index) {
        index = std::make_shared<ColumnIndex>();
        index->rows.reserve(64);
        for (uint32_t id : m_data.stored)
            index->add(m_data.heap.bytes(rowAt(id)[column]), id);
    }
    const std::vector<uint32_t> *found = index->find(bytes);
    return found ? *found : none;
}

const std::vector<uint32_t> *
Table::narrowestCandidates(const std::vector<std::pair<int, std::string_view>> &terms) const
{
    const std::vector<uint32_t> *best = nullptr;
    for (const auto &[column, bytes] : terms) {
        if (!m_indexes[size_t(column)])
            continue;
        const std::vector<uint32_t> &listed = candidates(column, bytes);
        if (!best || listed.size() < best->size())
            best = &listed;
    }
    if (!best && !terms.empty())
        best = &candidates(terms.front().first, terms.front().second);
    return best;
}

// A posted row is listed under its values in every index the table has
// (under a changed value only, for an edit).
void Table::indexPosted(uint32_t id, const std::vector<Cell> &before, bool inserting)
{
    const Cell *row = rowAt(id);
    for (size_t c = 0; c < m_indexes.size(); ++c) {
        if (!m_indexes[c])
            continue;
        const std::string_view now = m_data.heap.bytes(row[c]);
        if (inserting || now != m_data.heap.bytes(before[c]))
            m_indexes[c]->add(now, id);
    }
}

// Where a posted row goes among rows in browsing order: after the rows with
// smaller keys and, among rows with equal keys (which are in stored order),
// by its place in the stored order, where a fresh sort would put it.
int Table::sortedPlace(const std::vector<uint32_t> &rows, const Cell *cells, uint32_t id) const
{
    auto below = [&](uint32_t other, const Cell *value) {
        return compareRows(rowAt(other), value) < 0;
    };
    auto above = [&](const Cell *value, uint32_t other) {
        return compareRows(value, rowAt(other)) < 0;
    };
    const auto low = std::lower_bound(rows.begin(), rows.end(), cells, below);
    const auto high = std::upper_bound(low, rows.end(), cells, above);
    const auto at = std::partition_point(low, high,
                                         [&](uint32_t other) { return storedBefore(other, id); });
    return int(at - rows.begin());
}

// Keeps what follows the stored order right after id joined it.
void Table::noteStoredChange(uint32_t id, bool appended)
{
    if (!appended)
        m_data.storedAscending = false;
    if (appended && m_storedPosValid) {
        m_storedPos.resize(m_data.rowsAllocated, noRow);
        m_storedPos[id] = uint32_t(m_data.stored.size() - 1);
    } else {
        m_storedPosValid = false;
    }
    if (m_liveValid) {
        m_live.resize(m_data.rowsAllocated, false);
        m_live[id] = true;
    }
}

void Table::resetAfterContentChange(bool sameRows)
{
    if (!sameRows) {
        m_sortedValid = false;
        m_liveValid = false;
        m_storedPosValid = false;
    }
    markViewStale();
    m_bof = true;
    refreshCalcFields();
    notifyReset();
    notifyCurrent();
    if (AfterScroll)
        AfterScroll(*this);
}

void Table::SetFilter(const QString &expression)
{
    if (expression == m_filterText)
        return;
    if (m_state == DataSetState::Inactive || !m_filtered) {
        m_filterText = expression;
        return;
    }
    CheckBrowseMode();
    auto compiled = std::make_unique<CompiledFilter>(compileFilter(expression));
    m_filterText = expression;
    m_filter = std::move(compiled);
    markViewStale();
    notifyReset();
    First();
}

void Table::SetFiltered(bool filtered)
{
    if (filtered == m_filtered)
        return;
    if (m_state == DataSetState::Inactive) {
        m_filtered = filtered;
        return;
    }
    CheckBrowseMode();
    std::unique_ptr<CompiledFilter> compiled;
    if (filtered)
        compiled = std::make_unique<CompiledFilter>(compileFilter(m_filterText));
    m_filtered = filtered;
    m_filter = std::move(compiled);
    markViewStale();
    notifyReset();
    First();
}

void Table::SetIndexFieldNames(const QString &names)
{
    if (m_state == DataSetState::Inactive) {
        m_indexFieldNames = names;
        return;
    }
    CheckBrowseMode();
    std::vector<int> keys;
    for (const QString &name : names.split(u';', Qt::SkipEmptyParts)) {
        if (name.trimmed().isEmpty())
            continue;
        Field *key = FieldByName(name);
        if (key->m_column < 0)
            throw EDatabaseError(QStringLiteral("Campo '%1' não pode ordenar a tabela.").arg(name));
        keys.push_back(key->m_column);
    }
    ensureView();
    const bool hadCurrent = m_cur >= 0;
    const uint32_t current = hadCurrent ? m_view[size_t(m_cur)] : noRow;
    m_indexFieldNames = names;
    m_keyColumns = std::move(keys);
    m_sortedValid = false;
    markViewStale(current);
    ensureView();
    m_eof = m_view.empty();
    m_bof = m_cur <= 0;
    refreshCalcFields();
    notifyReset();
    notifyCurrent();
}

int Table::RecordCount() const
{
    if (m_viewStale && !filterActive())
        return int(m_data.stored.size());
    ensureView();
    const int count = int(m_view.size());
    return m_state == DataSetState::Insert ? count - 1 : count;
}

bool Table::IsEmpty() const
{
    if (!m_viewStale)
        return m_view.empty();
    if (!filterActive())
        return m_data.stored.empty();
    // Whether any row passes, without putting them in order.
    std::vector<std::pair<int, std::string_view>> terms;
    for (const FilterTerm &term : m_filter->terms) {
        if (term.never)
            return true;
        terms.emplace_back(term.column, term.value);
    }
    const std::vector<uint32_t> *listed = narrowestCandidates(terms);
    if (listed)
        for (uint32_t id : *listed)
            if (isLive(id) && passesFilter(rowAt(id)))
                return false;
    return true;
}

bool Table::Eof() const
{
    return viewStaleAtFirst() ? IsEmpty() : m_eof;
}

bool Table::Bof() const
{
    return viewStaleAtFirst() ? true : m_bof;
}

bool Table::IsPendingRow(int viewRow) const
{
    return m_state == DataSetState::Insert && viewRow == CurrentIndex();
}

// ------------------------------------------------------------- navigation

void Table::moveCursor(int index)
{
    ensureView();
    m_cur = m_view.empty() ? -1 : std::clamp(index, 0, int(m_view.size()) - 1);
    refreshCalcFields();
    notifyCurrent();
}

void Table::scrollTo(int index, bool fireEvents)
{
    if (fireEvents && BeforeScroll)
        BeforeScroll(*this);
    moveCursor(index);
    if (fireEvents && AfterScroll)
        AfterScroll(*this);
}

void Table::First()
{
    requireActive();
    CheckBrowseMode();
    if (m_viewStale) {
        // Still the first row of rows nobody has looked at yet.
        if (BeforeScroll)
            BeforeScroll(*this);
        m_staleCurrent = noRow;
        refreshCalcFields();
        notifyCurrent();
        if (AfterScroll)
            AfterScroll(*this);
        m_bof = true;
        return;
    }
    scrollTo(0);
    m_bof = true;
    m_eof = m_view.empty();
}

void Table::Last()
{
    requireActive();
    CheckBrowseMode();
    ensureView();
    scrollTo(int(m_view.size()) - 1);
    m_eof = true;
    m_bof = m_view.empty();
}

void Table::Next()
{
    MoveBy(1);
}

void Table::Prior()
{
    MoveBy(-1);
}

void Table::MoveBy(int distance)
{
    requireActive();
    CheckBrowseMode();
    ensureView();
    if (BeforeScroll)
        BeforeScroll(*this);
    const int target = m_cur + distance;
    const int last = int(m_view.size()) - 1;
    m_eof = distance > 0 && target > last;
    m_bof = distance < 0 && target < 0;
    if (m_view.empty())
        m_eof = m_bof = true;
    if (target != m_cur)
        moveCursor(target);
    if (AfterScroll)
        AfterScroll(*this);
}

void Table::SetRecNo(int recNo)
{
    requireActive();
    CheckBrowseMode();
    ensureView();
    if (recNo - 1 == m_cur || m_view.empty())
        return;
    scrollTo(recNo - 1);
    m_eof = m_bof = false;
}

bool Table::Locate(const QString &fieldNames, const QVariant &value, LocateOptions options)
{
    return Locate(fieldNames, value.typeId() == QMetaType::QVariantList ? value.toList()
                                                                        : QVariantList{value},
                  options);
}

bool Table::Locate(const QString &fieldNames, const QVariantList &values, LocateOptions options)
{
    requireActive();
    CheckBrowseMode();
    struct Key
    {
        int column;
        bool text;
        std::string bytes;
        QString string;
        bool never;
    };
    std::vector<Key> keys;
    const QStringList names = fieldNames.split(u';', Qt::SkipEmptyParts);
    if (names.size() != values.size())
        throw EDatabaseError(QStringLiteral("Número de valores diferente do número de campos em Locate."));
    for (qsizetype i = 0; i < names.size(); ++i) {
        Field *field = FieldByName(names[i]);
        if (field->m_column < 0)
            throw EDatabaseError(QStringLiteral("Campo '%1' não pode ser pesquisado.").arg(names[i]));
        Key key{field->m_column, field->DataType() == FieldKind::Text, {}, {}, false};
        bool ok = true;
        key.bytes = canonicalOf(*field, values[i], &ok);
        key.never = !ok;
        if (key.text)
            key.string = values[i].toString();
        keys.push_back(std::move(key));
    }
    const bool caseless = options & loCaseInsensitive;
    const bool partial = options & loPartialKey;
    if (!caseless && !partial) {
        // An exact search is answered from an index: of the rows holding
        // the values and shown, the first in browsing order.
        std::vector<std::pair<int, std::string_view>> terms;
        for (const Key &key : keys) {
            if (key.never)
                return false;
            terms.emplace_back(key.column, key.bytes);
        }
        uint32_t best = noRow;
        if (const std::vector<uint32_t> *listed = narrowestCandidates(terms)) {
            for (uint32_t id : *listed) {
                if (id == best || !isLive(id))
                    continue;
                const Cell *row = rowAt(id);
                bool match = passesFilter(row);
                for (size_t k = 0; match && k < keys.size(); ++k)
                    match = m_data.heap.bytes(row[keys[k].column]) == std::string_view(keys[k].bytes);
                if (match && (best == noRow || browsedBefore(id, best)))
                    best = id;
            }
        }
        if (best == noRow)
            return false;
        if (m_viewStale) {
            if (BeforeScroll)
                BeforeScroll(*this);
            m_staleCurrent = best;
            refreshCalcFields();
            notifyCurrent();
            if (AfterScroll)
                AfterScroll(*this);
        } else {
            scrollTo(int(std::find(m_view.begin(), m_view.end(), best) - m_view.begin()));
        }
        m_eof = m_bof = false;
        return true;
    }
    ensureView();
    for (size_t pos = 0; pos < m_view.size(); ++pos) {
        const Cell *row = rowAt(m_view[pos]);
        bool match = true;
        for (const Key &key : keys) {
            if (key.never) {
                match = false;
                break;
            }
            const std::string_view bytes = m_data.heap.bytes(row[key.column]);
            if (!key.text || (!caseless && !partial)) {
                match = bytes == std::string_view(key.bytes);
            } else if (!caseless) {
                match = bytes.substr(0, key.bytes.size()) == std::string_view(key.bytes);
            } else {
                const QString text = fromBytes(bytes);
                match = partial ? text.startsWith(key.string, Qt::CaseInsensitive)
                                : text.compare(key.string, Qt::CaseInsensitive) == 0;
            }
            if (!match)
                break;
        }
        if (match) {
            scrollTo(int(pos));
            m_eof = m_bof = false;
            return true;
        }
    }
    return false;
}

// ----------------------------------------------------------------- editing

void Table::setState(DataSetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    if (!quiet())
        emit stateChanged();
}

void Table::ensureHeapRoom()
{
    if (m_data.heap.full())
        m_data.compact(m_buffer);
}

void Table::CheckBrowseMode()
{
    requireActive();
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    if (m_modified)
        Post();
    else
        Cancel();
}

void Table::Insert()
{
    beginInsert(false);
}

void Table::Append()
{
    beginInsert(true);
}

void Table::beginInsert(bool append)
{
    requireActive();
    CheckBrowseMode();
    if (BeforeInsert)
        BeforeInsert(*this);
    if (BeforeScroll)
        BeforeScroll(*this);
    ensureHeapRoom();
    ensureView();
    const int previous = m_cur;
    int viewPos = int(m_view.size());
    m_insertStoredPos = -1;
    if (!append && m_cur >= 0) {
        viewPos = m_cur;
        const uint32_t current = m_view[size_t(m_cur)];
        const auto at = m_data.storedAscending
                            ? std::lower_bound(m_data.stored.begin(), m_data.stored.end(), current)
                            : std::find(m_data.stored.begin(), m_data.stored.end(), current);
        m_insertStoredPos = int(at - m_data.stored.begin());
    }
    m_pendingId = m_data.allocateRow();
    m_buffer.assign(m_data.columns.size(), Cell());
    m_view.insert(m_view.begin() + viewPos, m_pendingId);
    m_cur = viewPos;
    m_state = DataSetState::Insert;
    try {
        if (OnNewRecord)
            OnNewRecord(*this);
    } catch (...) {
        m_view.erase(m_view.begin() + viewPos);
        m_buffer.clear();
        m_state = DataSetState::Browse;
        m_modified = false;
        m_cur = previous;
        // The calculated values shown are the current record's again, not
        // those of the half-filled new one.
        refreshCalcFields();
        throw;
    }
    m_modified = false;
    m_eof = m_bof = false;
    refreshCalcFields();
    if (!quiet()) {
        emit rowInserted(viewPos);
        emit stateChanged();
    }
    notifyCurrent();
    if (AfterInsert)
        AfterInsert(*this);
    if (AfterScroll)
        AfterScroll(*this);
}

void Table::Edit()
{
    requireActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    ensureView();
    if (m_view.empty()) {
        Insert();
        return;
    }
    if (BeforeEdit)
        BeforeEdit(*this);
    ensureHeapRoom();
    ensureView();
    const Cell *row = rowAt(m_view[size_t(m_cur)]);
    m_buffer.assign(row, row + m_data.columns.size());
    m_modified = false;
    setState(DataSetState::Edit);
    if (AfterEdit)
        AfterEdit(*this);
}

void Table::Post()
{
    requireActive();
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    if (BeforePost)
        BeforePost(*this);
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    ensureView();
    const bool inserting = m_state == DataSetState::Insert;
    const int oldPos = m_cur;
    const uint32_t id = inserting ? m_pendingId : m_view[size_t(m_cur)];
    const Cell *old = rowAt(id);
    const bool keyChanged = !inserting && !m_keyColumns.empty()
                            && compareRows(m_buffer.data(), old) != 0;
    std::vector<Cell> before(old, old + m_data.columns.size());
    std::copy(m_buffer.begin(), m_buffer.end(), m_data.row(id));
    ++m_generation;
    m_buffer.clear();
    m_data.lines[id] = Cell();
    const Cell *row = rowAt(id);

    const bool atStoredPos =
        inserting && m_insertStoredPos >= 0 && m_insertStoredPos < int(m_data.stored.size());
    if (inserting) {
        if (atStoredPos)
            m_data.stored.insert(m_data.stored.begin() + m_insertStoredPos, id);
        else
            m_data.stored.push_back(id);
        noteStoredChange(id, !atStoredPos);
    }
    indexPosted(id, before, inserting);

    m_view.erase(m_view.begin() + oldPos);
    const bool visible = passesFilter(row);
    int newPos = visible ? oldPos : -1;
    if (m_keyColumns.empty()) {
        // Stored order is the browsing order; the view already holds the
        // new row's place among the visible rows.
        if (m_sortedValid) {
            if (atStoredPos)
                m_sorted.insert(m_sorted.begin() + m_insertStoredPos, id);
            else if (inserting)
                m_sorted.push_back(id);
        }
    } else if (inserting || keyChanged) {
        if (m_sortedValid) {
            if (keyChanged)
                m_sorted.erase(std::find(m_sorted.begin(), m_sorted.end(), id));
            m_sorted.insert(m_sorted.begin() + sortedPlace(m_sorted, row, id), id);
        }
        if (visible)
            newPos = sortedPlace(m_view, row, id);
    }
    if (visible)
        m_view.insert(m_view.begin() + newPos, id);
    m_state = DataSetState::Browse;
    m_modified = false;
    if (m_logChanges)
        ++m_changeCount;
    m_cur = newPos >= 0 ? newPos
                        : (m_view.empty() ? -1 : std::min(oldPos, int(m_view.size()) - 1));
    m_eof = m_view.empty();
    m_bof = m_view.empty();
    refreshCalcFields();
    if (!quiet()) {
        if (newPos == oldPos) {
            emit rowChanged(newPos);
        } else {
            emit rowRemoved(oldPos);
            if (newPos >= 0)
                emit rowInserted(newPos);
        }
        emit stateChanged();
    }
    notifyCurrent();
    if (AfterPost)
        AfterPost(*this);
}

void Table::Cancel()
{
    requireActive();
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        return;
    if (BeforeCancel)
        BeforeCancel(*this);
    // A cancelled insertion moves the cursor to another record: the scroll
    // events run around it, as around the insertion.
    const bool inserting = m_state == DataSetState::Insert;
    if (inserting && BeforeScroll)
        BeforeScroll(*this);
    ensureView();
    m_buffer.clear();
    m_state = DataSetState::Browse;
    m_modified = false;
    const int pos = m_cur;
    if (inserting) {
        m_view.erase(m_view.begin() + pos);
        m_cur = m_view.empty() ? -1 : std::min(pos, int(m_view.size()) - 1);
        m_eof = m_bof = m_view.empty();
    }
    refreshCalcFields();
    if (!quiet()) {
        if (inserting)
            emit rowRemoved(pos);
        else
            emit rowChanged(pos);
        emit stateChanged();
    }
    notifyCurrent();
    if (AfterCancel)
        AfterCancel(*this);
    if (inserting && AfterScroll)
        AfterScroll(*this);
}

void Table::Delete()
{
    requireActive();
    if (m_state == DataSetState::Insert) {
        Cancel();
        return;
    }
    if (RecordCount() == 0)
        throw EDatabaseError(QStringLiteral("Não é possível executar esta operação com a tabela %1 vazia.")
                                 .arg(tableName(*this)));
    if (BeforeDelete)
        BeforeDelete(*this);
    if (BeforeScroll)
        BeforeScroll(*this);
    ensureView();
    if (m_state == DataSetState::Edit) {
        m_buffer.clear();
        m_state = DataSetState::Browse;
        m_modified = false;
        if (!quiet())
            emit stateChanged();
    }
    const int pos = m_cur;
    const uint32_t id = m_view[size_t(pos)];
    m_view.erase(m_view.begin() + pos);
    const auto at = m_data.storedAscending
                        ? std::lower_bound(m_data.stored.begin(), m_data.stored.end(), id)
                        : std::find(m_data.stored.begin(), m_data.stored.end(), id);
    m_data.stored.erase(at);
    ++m_generation;
    m_storedPosValid = m_storedPosValid && m_data.storedAscending;
    if (m_liveValid)
        m_live[id] = false;
    if (m_sortedValid)
        m_sorted.erase(std::find(m_sorted.begin(), m_sorted.end(), id));
    if (m_logChanges)
        ++m_changeCount;
    m_cur = m_view.empty() ? -1 : std::min(pos, int(m_view.size()) - 1);
    m_eof = m_bof = m_view.empty();
    refreshCalcFields();
    if (!quiet())
        emit rowRemoved(pos);
    notifyCurrent();
    if (AfterDelete)
        AfterDelete(*this);
    if (AfterScroll)
        AfterScroll(*this);
}

// ------------------------------------------------------------ notifications

void Table::DisableControls()
{
    ++m_disableCount;
}

void Table::EnableControls()
{
    if (m_disableCount == 0 || --m_disableCount > 0)
        return;
    emit stateChanged();
    emit viewReset();
    if (isSignalConnected(QMetaMethod::fromSignal(&Table::currentChanged)))
        emit currentChanged(CurrentIndex());
    m_resetPending = false;
}

void Table::notifyReset()
{
    if (quiet())
        m_resetPending = true;
    else
        emit viewReset();
}

void Table::notifyCurrent()
{
    // Where the cursor is costs the view: worked out only for a listener.
    if (!quiet() && isSignalConnected(QMetaMethod::fromSignal(&Table::currentChanged)))
        emit currentChanged(CurrentIndex());
}

// ------------------------------------------------------------ field values

const Cell *Table::activeCells() const
{
    if (m_peekCells)
        return m_peekCells;
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return m_buffer.data();
    if (m_state == DataSetState::Inactive)
        return nullptr;
    if (m_viewStale) {
        const uint32_t id = staleCurrentRow();
        return id == noRow ? nullptr : rowAt(id);
    }
    if (m_cur < 0)
        return nullptr;
    return rowAt(m_view[size_t(m_cur)]);
}

std::string_view Table::cellBytes(const Field &field) const
{
    if (field.m_column < 0)
        return {};
    const Cell *cells = activeCells();
    return cells ? m_data.heap.bytes(cells[field.m_column]) : std::string_view();
}

// Calculated values of the current record; the record is looked up only
// when there is a handler to compute them.
void Table::refreshCalcFields() const
{
    if (m_calcFields.empty())
        return;
    std::fill(m_calcValues.begin(), m_calcValues.end(), QVariant());
    m_calcStale = bool(OnCalcFields);
}

void Table::ensureCalcFields() const
{
    if (!m_calcStale || m_inCalc || m_peekCells)
        return;
    m_calcStale = false;
    computeCalcFields(activeCells());
}

void Table::computeCalcFields(const Cell *cells) const
{
    if (m_calcFields.empty())
        return;
    std::fill(m_calcValues.begin(), m_calcValues.end(), QVariant());
    if (!cells || !OnCalcFields)
        return;
    const Cell *savedPeek = m_peekCells;
    m_peekCells = cells;
    m_inCalc = true;
    try {
        OnCalcFields(const_cast<Table &>(*this));
    } catch (...) {
        // A value that cannot be worked out is shown empty; the rules that
        // need it raise their own error when the record is posted.
        std::fill(m_calcValues.begin(), m_calcValues.end(), QVariant());
    }
    m_inCalc = false;
    m_peekCells = savedPeek;
}

QVariant Table::ValueAt(int viewRow, int fieldIndex) const
{
    ensureView();
    if (viewRow < 0 || viewRow >= int(m_view.size()))
        return QVariant();
    const Cell *cells = ((m_state == DataSetState::Edit || m_state == DataSetState::Insert)
                         && viewRow == m_cur)
                            ? m_buffer.data()
                            : rowAt(m_view[size_t(viewRow)]);
    Field *field = m_fields[size_t(fieldIndex)].get();
    if (!field->Calculated()) {
        const Cell *saved = m_peekCells;
        m_peekCells = cells;
        const QVariant value = field->Value();
        m_peekCells = saved;
        return value;
    }
    if (viewRow == m_cur && !m_peekCells)
        return field->Value();
    const std::vector<QVariant> saved = m_calcValues;
    computeCalcFields(cells);
    const Cell *savedPeek = m_peekCells;
    m_peekCells = cells;
    const QVariant value = field->Value();
    m_peekCells = savedPeek;
    m_calcValues = saved;
    return value;
}

QString Table::TextAt(int viewRow, int fieldIndex) const
{
    const QVariant value = ValueAt(viewRow, fieldIndex);
    if (!value.isValid())
        return QString();
    switch (m_fields[size_t(fieldIndex)]->DataType()) {
    case FieldKind::Text: return value.toString();
    case FieldKind::Float: return FloatToStr(value.toDouble());
    case FieldKind::Integer: return QString::number(value.toLongLong());
    case FieldKind::Date: return LocaleService::dateToText(value.toDate());
    case FieldKind::DateTime: return LocaleService::dateTimeToText(value.toDateTime());
    }
    return QString();
}

void Table::requireEditing(const Field &field) const
{
    if (field.Calculated()) {
        if (!m_inCalc)
            throw EDatabaseError(QStringLiteral("O campo '%1' não pode ser modificado.").arg(field.FieldName()));
        return;
    }
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        throw EDatabaseError(QStringLiteral("A tabela %1 não está em modo de edição ou inclusão.")
                                 .arg(tableName(*this)));
    if (field.ReadOnly())
        throw EDatabaseError(QStringLiteral("O campo '%1' não pode ser modificado.").arg(field.FieldName()));
    if (field.m_column < 0)
        throw EDatabaseError(QStringLiteral("Campo '%1' não encontrado.").arg(field.FieldName()));
}

void Table::storeValue(Field &field, std::string_view canonical)
{
    if (canonical.size() > ByteHeap::maxValueBytes)
        throw EDatabaseError(QStringLiteral("Valor grande demais para o campo '%1'.")
                                 .arg(field.FieldName()));
    ensureHeapRoom();
    m_buffer[size_t(field.m_column)] = m_data.heap.store(canonical);
    m_modified = true;
    afterFieldChange(field);
}

void Table::afterFieldChange(Field &field)
{
    refreshCalcFields();
    if (!quiet()) {
        emit fieldChanged(field.Index());
        emit rowChanged(m_cur);
    }
    if (field.OnChange)
        field.OnChange(field);
}

// The bytes a value is stored as in field; ok is false when the value can
// never be one of the field's (a date that is not one).
std::string Table::canonicalOf(const Field &field, const QVariant &value, bool *ok) const
{
    *ok = true;
    if (!value.isValid() || value.isNull())
        return {};
    const int type = value.typeId();
    switch (field.DataType()) {
    case FieldKind::Text:
        return value.toString().toStdString();
    case FieldKind::Float:
    case FieldKind::Integer: {
        double number = 0;
        if (type == QMetaType::QString) {
            const QString text = value.toString();
            if (text.trimmed().isEmpty())
                return {};
            if (!TryStrToFloat(text, number)) {
                *ok = false;
                return {};
            }
        } else {
            number = value.toDouble(ok);
            if (!*ok)
                return {};
        }
        // A file has no text for them, and no reader could take them back.
        if (!std::isfinite(number)) {
            *ok = false;
            return {};
        }
        if (field.DataType() == FieldKind::Integer) {
            // An integer field is 32 bits wide, in the file as in the engine.
            *ok = number == std::floor(number) && number >= -2147483648.0
                  && number <= 2147483647.0;
            return *ok ? integerText(qint64(number)) : std::string();
        }
        return floatText(number);
    }
    case FieldKind::Date:
    case FieldKind::DateTime: {
        QDateTime when;
        if (type == QMetaType::QDate)
            when = QDateTime(value.toDate(), QTime(0, 0), Qt::UTC);
        else if (type == QMetaType::QDateTime)
            when = QDateTime(value.toDateTime().date(), value.toDateTime().time(), Qt::UTC);
        else if (type == QMetaType::QString)
            when = LocaleService::textToDateTime(value.toString());
        else
            when = dateTimeFromDays(value.toDouble());
        if (!when.isValid()) {
            *ok = false;
            return {};
        }
        if (field.DataType() == FieldKind::Date) {
            // A date-and-time value given to a date field keeps its day, as
            // the platform's date fields do; a text with a time is refused.
            *ok = type != QMetaType::QString || when.time() == QTime(0, 0);
            return dateText(when.date());
        }
        return dateTimeText(when);
    }
    }
    return {};
}

// ----------------------------------------------------------------- fields

bool Field::IsNull() const
{
    if (Calculated()) {
        m_table->ensureCalcFields();
        const auto at = std::find(m_table->m_calcFields.begin(), m_table->m_calcFields.end(), this);
        return !m_table->m_calcValues[size_t(at - m_table->m_calcFields.begin())].isValid();
    }
    return m_table->cellBytes(*this).empty();
}

QVariant Field::Value() const
{
    if (Calculated()) {
        m_table->ensureCalcFields();
        const auto at = std::find(m_table->m_calcFields.begin(), m_table->m_calcFields.end(), this);
        return m_table->m_calcValues[size_t(at - m_table->m_calcFields.begin())];
    }
    const std::string_view bytes = m_table->cellBytes(*this);
    if (bytes.empty())
        return QVariant();
    switch (DataType()) {
    case FieldKind::Text: return fromBytes(bytes);
    case FieldKind::Float: return parseDouble(bytes);
    case FieldKind::Integer: return qint64(parseInteger(bytes));
    case FieldKind::Date: return dateOf(bytes);
    case FieldKind::DateTime: return dateTimeOf(bytes);
    }
    return QVariant();
}

QString Field::AsString() const
{
    const QVariant value = Value();
    if (!value.isValid())
        return QString();
    switch (DataType()) {
    case FieldKind::Text: return value.toString();
    case FieldKind::Float: return FloatToStr(value.toDouble());
    case FieldKind::Integer: return QString::number(value.toLongLong());
    case FieldKind::Date: return LocaleService::dateToText(value.toDate());
    case FieldKind::DateTime: return LocaleService::dateTimeToText(value.toDateTime());
    }
    return QString();
}

double Field::AsFloat() const
{
    const QVariant value = Value();
    if (!value.isValid())
        return 0;
    switch (DataType()) {
    case FieldKind::Text: return StrToFloat(value.toString());
    case FieldKind::Float:
    case FieldKind::Integer: return value.toDouble();
    case FieldKind::Date:
        return daysOf(QDateTime(value.toDate(), QTime(0, 0), Qt::UTC));
    case FieldKind::DateTime: return daysOf(value.toDateTime());
    }
    return 0;
}

qint64 Field::AsInteger() const
{
    const QVariant value = Value();
    if (!value.isValid())
        return 0;
    switch (DataType()) {
    case FieldKind::Text: {
        bool ok = false;
        const qint64 number = value.toString().trimmed().toLongLong(&ok);
        if (!ok)
            throw EConvertError(QStringLiteral("'%1' não é um valor inteiro válido.").arg(value.toString()));
        return number;
    }
    case FieldKind::Float: return qRound64(value.toDouble());
    case FieldKind::Integer: return value.toLongLong();
    default: return qint64(std::floor(AsFloat()));
    }
}

QDate Field::AsDate() const
{
    return AsDateTime().date();
}

QDateTime Field::AsDateTime() const
{
    const QVariant value = Value();
    if (!value.isValid())
        return QDateTime();
    switch (DataType()) {
    case FieldKind::Text: {
        const QDateTime when = LocaleService::textToDateTime(value.toString());
        if (!when.isValid())
            throw EConvertError(QStringLiteral("'%1' não é uma data válida.").arg(value.toString()));
        return when;
    }
    case FieldKind::Float:
    case FieldKind::Integer: return dateTimeFromDays(value.toDouble());
    case FieldKind::Date: return QDateTime(value.toDate(), QTime(0, 0), Qt::UTC);
    case FieldKind::DateTime: return value.toDateTime();
    }
    return QDateTime();
}

void Field::SetValue(const QVariant &value)
{
    m_table->requireEditing(*this);
    if (Calculated()) {
        const auto at = std::find(m_table->m_calcFields.begin(), m_table->m_calcFields.end(), this);
        QVariant stored = value;
        if (value.isValid() && DataType() == FieldKind::Float)
            stored = value.toDouble();
        m_table->m_calcValues[size_t(at - m_table->m_calcFields.begin())] = stored;
        return;
    }
    if (DataType() == FieldKind::Text) {
        // The text ends at a NUL character, as in the platform's fields: no
        // file can hold one, and the sort keys end each text with one.
        QString text = value.isValid() ? value.toString() : QString();
        const qsizetype nul = text.indexOf(QChar(0));
        if (nul >= 0)
            text.truncate(nul);
        text = cutText(text, Size());
        m_table->storeValue(*this, text.toStdString());
        return;
    }
    bool ok = true;
    const std::string canonical = m_table->canonicalOf(*this, value, &ok);
    if (!ok) {
        const QString shown = value.toString();
        if (DataType() == FieldKind::Date || DataType() == FieldKind::DateTime)
            throw EConvertError(QStringLiteral("'%1' não é uma data válida.").arg(shown));
        throw EConvertError(QStringLiteral("'%1' não é um valor numérico válido.").arg(shown));
    }
    m_table->storeValue(*this, canonical);
}

void Field::SetAsString(const QString &text)
{
    switch (DataType()) {
    case FieldKind::Text:
        SetValue(text);
        return;
    case FieldKind::Float:
        m_table->requireEditing(*this);
        SetValue(text.trimmed().isEmpty() ? QVariant() : QVariant(StrToFloat(text)));
        return;
    case FieldKind::Integer: {
        m_table->requireEditing(*this);
        if (text.trimmed().isEmpty()) {
            SetValue(QVariant());
            return;
        }
        bool ok = false;
        const qint64 number = text.trimmed().toLongLong(&ok);
        if (!ok)
            throw EConvertError(QStringLiteral("'%1' não é um valor inteiro válido.").arg(text));
        SetValue(number);
        return;
    }
    case FieldKind::Date:
    case FieldKind::DateTime: {
        m_table->requireEditing(*this);
        if (text.trimmed().isEmpty()) {
            SetValue(QVariant());
            return;
        }
        const QDateTime when = LocaleService::textToDateTime(text);
        if (!when.isValid() || (DataType() == FieldKind::Date && when.time() != QTime(0, 0)))
            throw EConvertError(QStringLiteral("'%1' não é uma data válida.").arg(text));
        SetValue(when);
        return;
    }
    }
}

void Field::SetAsFloat(double value)
{
    if (DataType() == FieldKind::Text)
        SetValue(FloatToStr(value));
    else if (DataType() == FieldKind::Integer)
        SetValue(qRound64(value));
    else
        SetValue(value);
}

void Field::SetAsInteger(qint64 value)
{
    if (DataType() == FieldKind::Text)
        SetValue(QString::number(value));
    else
        SetValue(value);
}

void Field::SetAsDate(const QDate &value)
{
    if (DataType() == FieldKind::Text)
        SetValue(LocaleService::dateToText(value));
    else
        SetValue(value.isValid() ? QVariant(value) : QVariant());
}

void Field::SetAsDateTime(const QDateTime &value)
{
    if (DataType() == FieldKind::Text)
        SetValue(LocaleService::dateTimeToText(value));
    else
        SetValue(value.isValid() ? QVariant(value) : QVariant());
}

void Field::Clear()
{
    SetValue(QVariant());
}

void Field::SetText(const QString &text)
{
    if (OnSetText)
        OnSetText(*this, text);
    else
        SetAsString(text);
}

FilterScope::FilterScope(Table &table, const QString &expression)
    : m_table(&table), m_filter(table.Filter()), m_filtered(table.Filtered())
{
    m_table->SetFiltered(false);
    m_table->SetFilter(expression);
    m_table->SetFiltered(true);
}

FilterScope::~FilterScope()
{
    try {
        restore();
    } catch (...) {
        // A destructor runs while another error may be on its way: that one
        // is what the operator must see.
    }
}

void FilterScope::restore()
{
    if (m_restored)
        return;
    m_restored = true;
    m_table->SetFiltered(false);
    m_table->SetFilter(m_filter);
    m_table->SetFiltered(m_filtered);
}

} // namespace kiv
