#include "datadirlock.h"

#include <QDir>
#include <QLockFile>

namespace kiv {

DataDirLock::DataDirLock() = default;

DataDirLock::~DataDirLock() = default;

bool DataDirLock::tryLock(const QString &directory)
{
    unlock();
    m_lock = std::make_unique<QLockFile>(QDir(directory).filePath(lockFileName()));
    // A run holds the lock for hours: only a lock whose process is gone is
    // stale, never one that is merely old.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    qint64 pid = 0;
    QString host;
    QString application;
    if (m_lock->getLockInfo(&pid, &host, &application))
        m_holder = QStringLiteral("máquina %1, processo %2%3")
                       .arg(host)
                       .arg(pid)
                       .arg(application.isEmpty() ? QString()
                                                  : QStringLiteral(" (%1)").arg(application));
    else
        m_holder = QStringLiteral("outro programa");
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
