#pragma once

#include "tabledata.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kiv {

// A fixed buffer that content is written into and that is drained (to a
// file, or to memory) whenever it fills: a save of a large table goes to
// disk in pieces instead of being built whole in memory first.
class ContentSink
{
public:
    using Drain = std::function<void(const char *data, size_t size)>;
    explicit ContentSink(Drain drain, size_t capacity = size_t(1) << 20);
    ContentSink(const ContentSink &) = delete;
    ContentSink &operator=(const ContentSink &) = delete;

    void append(const char *data, size_t size);
    void append(std::string_view bytes) { append(bytes.data(), bytes.size()); }
    // Room for size bytes at the returned pointer; done(end) takes what was
    // written up to end.
    char *room(size_t size);
    void done(char *end) { m_used = size_t(end - m_buffer.data()); }
    // Drains what is left.
    void finish();

private:
    void drain();
    Drain m_drain;
    std::vector<char> m_buffer;
    size_t m_used = 0;
};

// The on-disk form of a table: an XML data packet, read and written by hand
// for speed. Reading accepts what the platform's engine and the central
// system write; writing produces one form only.
namespace TableFile {

// The existing file in path's directory whose name matches path's file name
// without regard to letter case (the exact name first); path itself when
// there is none.
QString resolve(const QString &path);

// Reads and parses a file. Throws EDatabaseError naming the file.
TableData read(const QString &path);
// Parses a data packet held in memory; fileName names it in errors.
TableData parse(QByteArray bytes, const QString &fileName);

QByteArray serialize(const TableData &data);
// The lines of rows that a save wrote anew: row ids with the end of each
// row's line in bytes, where the lines follow one another.
struct FreshLines
{
    std::string bytes;
    std::vector<std::pair<uint32_t, size_t>> rows;
};
// Writes serialize(data) into out; the lines written anew go to fresh.
void serialize(const TableData &data, ContentSink &out, FreshLines *fresh);
// After a save: keeps the lines written anew, so the next save copies them.
void rememberLines(TableData &data, const FreshLines &fresh);

// Writes one file atomically (see AtomicSave).
void write(const QString &path, const TableData &data);

// Kind and size of a column as an error text shows them ("texto(20)"); a
// field of another type by the file's own type name ("boolean").
QString describeKind(FieldKind kind, int size);
QString describeColumn(const ColumnInfo &column);

// What the reader accepts before it calls a file hostile: elements nested
// inside a FIELD or PARAMS (the datapacket itself nests two or three), and
// fields declared in one file.
constexpr int maxNesting = 8;
constexpr int maxFields = 4096;

// What the start-up recovery did in a data directory.
struct Recovery
{
    QStringList completed;  // files of an interrupted set, replaced now
    QStringList restored;   // files of a set that was being undone, put back
    int removedTemporaries = 0;
    // One line for the operator; empty when there is nothing to tell.
    QString message() const;
};

// Finishes the sets of files whose save was interrupted (a crash or power
// cut between two renames): a set whose record is whole is rolled forward,
// since all its temporaries were on disk before the first rename; a set that
// was being undone is put back. Then removes every temporary a killed save
// left. Only for the program that holds the directory's lock, before it
// loads any table. Throws EDatabaseError naming a file it could not replace.
Recovery recover(const QString &directory);

} // namespace TableFile

// Replaces several files so that either every one is replaced or none:
// every new content goes to a temporary file in the target's directory and
// is flushed to disk. For more than one file, each old file then gets a
// second name and a record of the set (which temporary replaces which file)
// is made durable before the first rename and removed after the last; a
// rename that fails puts back the files already replaced, and a crash
// between two renames is finished by TableFile::recover. A file marked
// read-only is not replaced. Targets are resolved without regard to letter
// case, so an existing file keeps its spelling.
class AtomicSave
{
public:
    using Producer = std::function<void(ContentSink &)>;
    void add(const QString &path, QByteArray content);
    // The content is written by producer when the save is committed.
    void add(const QString &path, Producer producer);
    // Throws EDatabaseError naming the file that failed.
    void commit();

private:
    QList<QPair<QString, Producer>> m_files;
};

} // namespace kiv
