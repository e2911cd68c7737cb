#include "sensors/logwriter.h"

#include "settings/systemerror.h"

#include <QFile>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxFiles = 16;
constexpr int kRetryMs = 1000;

qint64 systemWrite(int fd, const char *data, qint64 size)
{
    return qint64(::write(fd, data, size_t(size)));
}

} // namespace

LogWriter::LogWriter(QObject *parent)
    : QObject(parent)
    , writeFunction(&systemWrite)
    , retryTimer(new QTimer(this))
{
    retryTimer->setInterval(kRetryMs);
    connect(retryTimer, &QTimer::timeout, this, &LogWriter::retry);
}

LogWriter::~LogWriter()
{
    closeAll();
}

bool LogWriter::open(int slot, const QString &path, QString *error)
{
    if (slot < 0 || slot >= kMaxFiles)
        return false;
    if (files.size() <= slot)
        files.resize(slot + 1);
    File &file = files[slot];
    if (file.fd >= 0)
        ::close(file.fd);
    file = File();
    file.path = path;
    file.fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC,
        S_IRUSR | S_IWUSR | S_IRGRP | S_IROTH);
    if (file.fd < 0 && error)
        *error = reasonOf(errno);
    return file.fd >= 0;
}

bool LogWriter::isOpen(int slot) const
{
    return slot >= 0 && slot < files.size() && files.at(slot).fd >= 0;
}

void LogWriter::closeAll()
{
    const bool hadBacklog = waitingRecords > 0;
    for (File &file : files) {
        if (file.fd >= 0)
            ::close(file.fd);
    }
    files.clear();
    waitingBytes = 0;
    waitingRecords = 0;
    droppedRecords = 0;
    retryTimer->stop();
    if (hadBacklog)
        emit backlogChanged();
}

void LogWriter::append(int slot, const QByteArray &record)
{
    if (record.isEmpty() || !isOpen(slot))
        return;
    File &file = files[slot];
    // What waits goes first; behind records that still wait, a record waits too: the file
    // keeps its order.
    const int before = waitingRecords;
    if (!file.queue.empty())
        drain(file);
    if (file.queue.empty() && writeWhole(file, record)) {
        if (waitingRecords != before)
            emit backlogChanged();
        if (waitingRecords == 0)
            retryTimer->stop();
        return;
    }
    if (waitingBytes + record.size() > limitBytes) {
        ++droppedRecords;
    } else {
        file.queue.push_back(record);
        waitingBytes += record.size();
        ++waitingRecords;
    }
    if (!retryTimer->isActive())
        retryTimer->start();
    emit backlogChanged();
}

void LogWriter::retry()
{
    if (waitingRecords == 0) {
        retryTimer->stop();
        return;
    }
    const int before = waitingRecords;
    for (File &file : files)
        drain(file);
    if (waitingRecords == 0)
        retryTimer->stop();
    if (waitingRecords != before)
        emit backlogChanged();
}

bool LogWriter::drain(File &file)
{
    while (!file.queue.empty()) {
        if (!writeWhole(file, file.queue.front()))
            return false;
        waitingBytes -= file.queue.front().size();
        --waitingRecords;
        file.queue.pop_front();
    }
    return true;
}

bool LogWriter::writeWhole(File &file, const QByteArray &record)
{
    const off_t start = ::lseek(file.fd, 0, SEEK_END);
    qint64 done = 0;
    while (done < record.size()) {
        const qint64 n = writeFunction(file.fd, record.constData() + done, record.size() - done);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        file.errorNumber = n < 0 ? errno : ENOSPC;
        // Whatever part of the record went in comes off again: the file ends in a whole
        // record, and the record is written whole later.
        if (done > 0 && start >= 0) {
            const int cut = ::ftruncate(file.fd, start);
            Q_UNUSED(cut)
        }
        return false;
    }
    file.errorNumber = 0;
    return true;
}

int LogWriter::waiting() const
{
    return waitingRecords;
}

QString LogWriter::failingFile() const
{
    for (const File &file : files) {
        if (file.errorNumber != 0)
            return file.path;
    }
    return QString();
}

QString LogWriter::failure() const
{
    for (const File &file : files) {
        if (file.errorNumber != 0)
            return reasonOf(file.errorNumber);
    }
    return QString();
}

QString LogWriter::reasonOf(int errorNumber)
{
    return SystemError::text(errorNumber);
}
