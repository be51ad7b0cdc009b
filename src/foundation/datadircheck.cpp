#include "datadircheck.h"

#include "errors.h"
#include "recordedtables.h"
#include "referencetables.h"
#include "table.h"
#include "tablefile.h"

#include <QBuffer>
#include <QDir>

namespace kiv {

namespace {

QByteArray kindName(FieldKind kind)
{
    switch (kind) {
    case FieldKind::Text: return QByteArrayLiteral("texto");
    case FieldKind::Float: return QByteArrayLiteral("número");
    case FieldKind::Integer: return QByteArrayLiteral("inteiro");
    case FieldKind::Date: return QByteArrayLiteral("data");
    case FieldKind::DateTime: return QByteArrayLiteral("data e hora");
    }
    return QByteArray();
}

void appendText(QByteArray &out, std::string_view text)
{
    size_t run = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\r' && c != '\n' && c != '\t')
            continue;
        out.append(text.data() + run, qsizetype(i - run));
        out += c == '\r' ? "\\r" : (c == '\n' ? "\\n" : "\\t");
        run = i + 1;
    }
    out.append(text.data() + run, qsizetype(text.size() - run));
}

// Stored dates are "YYYYMMDD"; date-times add "THH:MM:SSmmm" unless the
// time is midnight.
void appendDate(QByteArray &out, std::string_view stored)
{
    if (stored.size() < 8) {
        out.append(stored.data(), qsizetype(stored.size()));
        return;
    }
    out.append(stored.data(), 4);
    out += '-';
    out.append(stored.data() + 4, 2);
    out += '-';
    out.append(stored.data() + 6, 2);
}

void appendDateTime(QByteArray &out, std::string_view stored)
{
    appendDate(out, stored);
    if (stored.size() < 8)
        return;
    std::string_view time = stored.size() > 9 ? stored.substr(9) : std::string_view();
    out += ' ';
    if (time.size() < 5) {
        out += "00:00:00";
        return;
    }
    out.append(time.data(), 5);
    out += ':';
    out.append(time.size() >= 8 ? time.data() + 6 : "00", 2);
    const std::string_view msec = time.size() >= 11 ? time.substr(8, 3) : std::string_view();
    if (!msec.empty() && msec != "000") {
        out += '.';
        out.append(msec.data(), 3);
    }
}

void flush(QIODevice &out, QByteArray &buffer)
{
    if (buffer.isEmpty())
        return;
    if (out.write(buffer) != buffer.size())
        throw EDatabaseError(QStringLiteral("Não foi possível escrever a listagem: %1.")
                                 .arg(out.errorString()));
    buffer.clear();
}

} // namespace

QList<TableDecl> DataDirectoryFiles()
{
    return RefTables::all() + RecordedTables::all();
}

QList<DataDirProblem> CheckDataDirectory(const QString &dir)
{
    QList<DataDirProblem> problems;
    const QDir directory(dir);
    for (const TableDecl &decl : DataDirectoryFiles()) {
        Table table(decl.fileName);
        table.Declare(decl);
        try {
            table.LoadFromFile(directory.filePath(decl.fileName));
        } catch (const EDatabaseError &error) {
            problems.append({decl.fileName, error.message()});
        }
    }
    return problems;
}

void DumpTableFile(const QString &path, QIODevice &out)
{
    const TableData data = TableFile::read(path);
    QByteArray buffer;
    buffer.reserve(1 << 20);
    buffer += "Campos: " + QByteArray::number(data.columnCount()) + '\n';
    for (const ColumnInfo &column : data.columns) {
        // A field of one of the engine's other types shows the file's type.
        buffer += column.nameUtf8 + ';'
                  + (column.otherType.isEmpty() ? kindName(column.kind) : column.otherType) + ';';
        if (column.kind == FieldKind::Text && column.otherType.isEmpty())
            buffer += QByteArray::number(column.size);
        buffer += '\n';
    }
    buffer += "Linhas: " + QByteArray::number(qsizetype(data.stored.size())) + '\n';
    const size_t columns = data.columns.size();
    for (uint32_t id : data.stored) {
        const Cell *row = data.row(id);
        for (size_t c = 0; c < columns; ++c) {
            if (c > 0)
                buffer += ';';
            const std::string_view value = data.heap.bytes(row[c]);
            switch (data.columns[c].kind) {
            case FieldKind::Text: appendText(buffer, value); break;
            case FieldKind::Date: appendDate(buffer, value); break;
            case FieldKind::DateTime: appendDateTime(buffer, value); break;
            // Stored numbers are already the shortest text with ".".
            case FieldKind::Float:
            case FieldKind::Integer: buffer.append(value.data(), qsizetype(value.size())); break;
            }
        }
        buffer += '\n';
        if (buffer.size() >= (1 << 20))
            flush(out, buffer);
    }
    flush(out, buffer);
}

QString DumpTableFile(const QString &path)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    DumpTableFile(path, buffer);
    return QString::fromUtf8(buffer.data());
}

} // namespace kiv
