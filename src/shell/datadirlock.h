#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace kiv {

// One program per data directory: two copies that each rewrite whole files
// would silently undo each other's work. The main window holds this lock on
// the data directory for its whole run; the lock of a run that crashed is
// taken over.
class DataDirLock
{
public:
    DataDirLock();
    ~DataDirLock();

    // True when the lock is now held. Otherwise heldByOther() tells whether
    // another copy has it (holder() says which) or the lock file could not
    // be written at all (a directory without write permission).
    bool tryLock(const QString &directory);
    bool heldByOther() const { return m_heldByOther; }
    // "máquina X, processo N (programa)" of the copy holding the lock.
    QString holder() const { return m_holder; }
    void unlock();

    static QString lockFileName() { return QStringLiteral(".kiv.lock"); }

private:
    std::unique_ptr<QLockFile> m_lock;
    QString m_holder;
    bool m_heldByOther = false;
};

} // namespace kiv
