#pragma once

#include <QString>

#include <memory>

class QLockFile;

// Keeps a run directory to one bench: a hidden lock file in it (".bench.lock"), held while the
// bench writes the run.
// Two benches in one working directory that open their ports in the same second would otherwise
// write into one directory; the second one takes a fresh name instead.
class RunDirectoryLock
{
public:
    static constexpr const char *fileName = ".bench.lock";

    RunDirectoryLock();
    ~RunDirectoryLock();
    RunDirectoryLock(const RunDirectoryLock &) = delete;
    RunDirectoryLock &operator=(const RunDirectoryLock &) = delete;

    // Takes `directory` (which must exist) for this bench, letting go of the one held before;
    // true also when it is the one already held, and when no lock file can be made in it (a
    // full disk: the run is written all the same). False when another bench holds it.
    bool claim(const QString &directory);
    void release();
    QString held() const { return directory; }

    // "name", then "name_2", "name_3", ...
    static QString candidate(const QString &name, int attempt);

private:
    std::unique_ptr<QLockFile> lock;
    QString directory;
};
