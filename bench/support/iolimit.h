#pragma once

// What the disk allows a save: one plain write of the bytes into a new file
// and one fsync, as a save makes one. The benchmarks set every store beside
// it. POSIX calls: the benchmarks run on the Linux build machines.

#include "errors.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>

#include <fcntl.h>
#include <unistd.h>

namespace kivbench {

inline void plainWriteAndSync(const QString &path, const QByteArray &bytes)
{
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        throw kiv::EDatabaseError(QStringLiteral("Não foi possível criar %1").arg(path));
    if (::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size()) {
        ::close(fd);
        throw kiv::EDatabaseError(QStringLiteral("Não foi possível gravar %1").arg(path));
    }
    ::fsync(fd);
    ::close(fd);
}

// The milliseconds of one plain write + fsync of each content, into new
// files of dir that are removed afterwards.
inline double plainWriteAndSyncMs(const QString &dir, const QList<QByteArray> &contents)
{
    QElapsedTimer timer;
    timer.start();
    QStringList written;
    for (const QByteArray &bytes : contents) {
        written << QDir(dir).filePath(QStringLiteral(".plain%1").arg(written.size()));
        plainWriteAndSync(written.last(), bytes);
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    for (const QString &path : std::as_const(written))
        QFile::remove(path);
    return ms;
}

} // namespace kivbench
