#include "sensors/journalfiles.h"

#include "sensors/calibrationjournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Far more continuations than a bench ever makes; a directory full of foreign files ends here.
constexpr int kLastContinuation = 99;

QString continuation(const QString &basePath, int n)
{
    if (n < 2)
        return basePath;
    const QFileInfo info(basePath);
    return info.dir().filePath(
        QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(n).arg(info.suffix()));
}

// Whether records in the current columns may be appended to the file at path.
bool takesRecords(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return true; // the append says why it cannot write
    if (file.size() == 0)
        return true;
    const QByteArray header = CalibrationJournal::header();
    const QByteArray first = file.readLine(header.size() + 1);
    return first.trimmed() == header.trimmed();
}

} // namespace

QString JournalFiles::current(const QString &basePath)
{
    for (int n = 1; n <= kLastContinuation; ++n) {
        const QString path = continuation(basePath, n);
        if (takesRecords(path))
            return path;
    }
    return continuation(basePath, kLastContinuation);
}

QStringList JournalFiles::existing(const QString &basePath)
{
    QStringList paths;
    for (int n = 1; n <= kLastContinuation; ++n) {
        const QString path = continuation(basePath, n);
        if (QFileInfo::exists(path))
            paths << path;
        else if (n > 1)
            break;
    }
    return paths;
}

QList<CalibrationRecord> JournalFiles::read(const QString &basePath)
{
    QList<CalibrationRecord> records;
    for (const QString &path : existing(basePath))
        records << CalibrationJournal::read(path);
    return records;
}
