#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVector>

#include <deque>
#include <functional>

class QTimer;

// Appends whole records (a sensor's line, a frame of the trace) to a few files and never
// leaves one torn. A record the disk does not take in full is cut off the file again and
// waits in memory, in order, together with everything that follows it for the same file; what
// waits is written as soon as the disk takes it, tried again every second by itself. What
// waits is bounded (a day of polling fits many times); past the bound new records are dropped
// and counted. Writes go straight to the system, so nothing sits in a buffer of this process
// that a crash would lose.
class LogWriter : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 defaultLimitBytes = 64 * 1024 * 1024;
    // How a record reaches its file: ::write() unless a test fails it on purpose. Returns the
    // bytes written, or -1 with errno set.
    using WriteFunction = std::function<qint64(int fd, const char *data, qint64 size)>;

    explicit LogWriter(QObject *parent = nullptr);
    ~LogWriter() override;
    LogWriter(const LogWriter &) = delete;
    LogWriter &operator=(const LogWriter &) = delete;

    // Opens (creating it) `path` for appending as file number `slot`, 0..15. False, with the
    // reason in *error, when it cannot be opened.
    bool open(int slot, const QString &path, QString *error = nullptr);
    bool isOpen(int slot) const;
    // Records for a file that is not open are dropped without a word: the run said so at open.
    void append(int slot, const QByteArray &record);
    // Writes what waits, as far as the disk takes it.
    void retry();
    // Closes every file; whatever still waits is lost.
    void closeAll();

    // Records waiting, and records dropped past the bound since the files were opened.
    int waiting() const;
    qint64 dropped() const { return droppedRecords; }
    // The first file whose last write failed (all with records waiting are such), and why.
    QString failingFile() const;
    QString failure() const;

    void setLimit(qint64 bytes) { limitBytes = bytes; }
    void setWriteFunction(WriteFunction function) { writeFunction = std::move(function); }

    // The reason of a failed write in the operator's words.
    static QString reasonOf(int errorNumber);

signals:
    // Records began to wait, more or fewer wait, or none wait any more.
    void backlogChanged();

private:
    struct File
    {
        QString path;
        int fd = -1;
        std::deque<QByteArray> queue;
        int errorNumber = 0;
    };

    // Writes the first record of the file whole, or leaves the file as it was.
    bool writeWhole(File &file, const QByteArray &record);
    // Writes what waits for the file; false when something still waits.
    bool drain(File &file);

    QVector<File> files;
    WriteFunction writeFunction;
    QTimer *retryTimer = nullptr;
    qint64 limitBytes = defaultLimitBytes;
    qint64 waitingBytes = 0;
    int waitingRecords = 0;
    qint64 droppedRecords = 0;
};
