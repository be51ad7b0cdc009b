#include "datadirlock.h"

#include <QDir>
#include <QLockFile>

namespace kiv {

DataDirLock::DataDirLock() = default;

DataDirLock::~DataDirLock() = default;

bool DataDirLock::tryLock(const QString &directory)
{
    unlock();
    m_heldByOther = false;
    m_holder.clear();
    m_lock = std::make_unique<QLockFile>(QDir(directory).filePath(lockFileName()));
    // A run holds the lock for hours: only a lock whose process is gone is
    // stale, never one that is merely old.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    // Another copy holds the lock when the lock file names its holder;
    // anything else is a directory the program cannot write to.
    qint64 pid = 0;
    QString host;
    QString application;
    m_heldByOther = m_lock->error() == QLockFile::LockFailedError
                    && m_lock->getLockInfo(&pid, &host, &application);
    if (m_heldByOther)
        m_holder = QStringLiteral("máquina %1, processo %2%3")
                       .arg(host)
                       .arg(pid)
                       .arg(application.isEmpty() ? QString()
                                                  : QStringLiteral(" (%1)").arg(application));
    m_lock.reset();
    return false;
}

void DataDirLock::unlock()
{
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
}

} // namespace kiv
