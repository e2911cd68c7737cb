#include "sensors/rundirectorylock.h"

#include <QDir>
#include <QLockFile>

RunDirectoryLock::RunDirectoryLock() = default;

RunDirectoryLock::~RunDirectoryLock() = default;

bool RunDirectoryLock::claim(const QString &wanted)
{
    if (lock && lock->isLocked() && directory == wanted)
        return true;
    auto next = std::make_unique<QLockFile>(QDir(wanted).filePath(QLatin1String(fileName)));
    // A lock left by a bench that is gone (its process no longer runs) is taken over; a live
    // one is never, however old.
    next->setStaleLockTime(0);
    if (!next->tryLock(0) && next->error() == QLockFile::LockFailedError)
        return false;
    // A directory that takes no lock file (a full disk) is still written, unguarded.
    lock = next->isLocked() ? std::move(next) : nullptr;
    directory = wanted;
    return true;
}

void RunDirectoryLock::release()
{
    lock.reset();
    directory.clear();
}

QString RunDirectoryLock::candidate(const QString &name, int attempt)
{
    return attempt <= 1 ? name : QStringLiteral("%1_%2").arg(name).arg(attempt);
}
