#pragma once

#include "tabledata.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace kiv {

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
// After a save of serialize(data): keeps the rows' new lines for the next one.
void rememberLines(TableData &data, const QByteArray &saved);

// Writes one file atomically (see AtomicSave).
void write(const QString &path, const TableData &data);

// Kind and size of a column as an error text shows them ("texto(20)").
QString describeKind(FieldKind kind, int size);

} // namespace TableFile

// Replaces several files so that each one is either wholly old or wholly
// new: every new content goes to a temporary file in the target's directory
// and is flushed to disk; only when all are written are they renamed over
// their targets, and the directories are synced after the renames. A failure
// before the renames leaves every old file as it was. Targets are resolved
// without regard to letter case, so an existing file keeps its spelling.
class AtomicSave
{
public:
    void add(const QString &path, QByteArray content);
    // Throws EDatabaseError naming the file that failed.
    void commit();

private:
    QList<QPair<QString, QByteArray>> m_files;
};

} // namespace kiv
