#pragma once

#include "tabledecl.h"

#include <QList>
#include <QString>

class QIODevice;

namespace kiv {

// A table file of the data directory that the windows could not open.
struct DataDirProblem
{
    QString fileName;  // as the windows spell it
    QString message;   // the table store's error, as the operator would read it
};

// Every file the windows read or write in the data directory: the
// reference files, the operator file, the recorded tables and the count list.
QList<TableDecl> DataDirectoryFiles();

// Loads every file of DataDirectoryFiles() from dir into a table declared
// as the windows declare it, and lists each one that is missing, unreadable,
// lacks a declared field or declares it with another kind or size. Names
// are matched without regard to letter case, as the windows load them.
QList<DataDirProblem> CheckDataDirectory(const QString &dir);

// A table file as text for people: a "Campos: N" line, one line per field
// ("NAME;kind;size", size for texts only), a "Linhas: N" line, then one
// line per row in stored order, values separated by ";". Dates are written
// YYYY-MM-DD, date-times YYYY-MM-DD HH:MM:SS (plus .zzz when the
// milliseconds are not zero), numbers with "." whatever the workstation
// uses; text as stored, except that line breaks and tabs are written \r, \n
// and \t so that every row stays on one line. UTF-8. Throws EDatabaseError
// when the file cannot be read.
void DumpTableFile(const QString &path, QIODevice &out);
QString DumpTableFile(const QString &path);

} // namespace kiv
