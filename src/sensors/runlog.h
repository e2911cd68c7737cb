#pragma once

#include "protocol/dutinfo.h"

#include <QList>
#include <QObject>
#include <QPair>

#include <memory>

class LogWriter;
class RunDirectoryLock;
class QDateTime;

// The files of one run of the bench: "all.log" with every frame sent and every block of
// bytes received, and "0.txt".."5.txt" with one line per poll of each sensor. A run lives
// in a directory named after the moment the port was opened. Every line goes to the system
// whole as it comes, so the files are complete whenever the operator looks at them; lines a
// full or failing disk does not take wait in memory, in order, and are written when it takes
// them again, also after the run was closed. sigBacklog() says meanwhile what waits.
class RunLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int sensorCount = 6;

    explicit RunLog(QObject *parent = nullptr);
    ~RunLog() override;

    // Starts a run in "yyyy_MM_dd_HH_mm_ss" (from moment) under the current directory,
    // continuing that directory if it exists and no other bench holds it, else in the first
    // free "yyyy_MM_dd_HH_mm_ss_N" (N = 2, 3, ...). A run already open is
    // closed first. If the directory or a file cannot be made, sigStatus() says so once;
    // whatever could be opened is written, the rest is dropped.
    // The directory and its files are made with the first line written.
    void open(const QDateTime &moment);
    void close();

    bool isOpen() const;
    // Lines of this run and of closed ones that still wait for the disk.
    int waitingLines() const;
    // Absolute path of the current (or last) run directory; empty before the first run.
    QString directory() const { return runDirectory; }

    // Appends raw bytes to "all.log".
    void writeTrace(const QByteArray &bytes);
    // Appends a line of its own to "all.log": "!! ", the local time, then text, so that an
    // event of the bench (a line lost or back) stands out among the frames.
    void writeEvent(const QDateTime &at, const QString &text);
    // Appends a calibration point set or dragged on the plot to "points.txt".
    void writePoint(quint8 nomDut, eTypeData kind, qint8 temp, quint32 value);
    // Appends the line of one poll of sensor nomDut, stamped with the current local time.
    void writeSensor(quint8 nomDut, quint8 protocol, const DutInfo &info);

    // The bytes of one sensor line: the time in Qt's text format, then the fields the
    // protocol reports (or "error" for a failed poll), each followed by a space, then CR LF.
    static QByteArray sensorLine(const QDateTime &at, quint8 protocol, const DutInfo &info);

    // The writer of the current run; a test may fail its writes.
    LogWriter *writer() const { return current; }

signals:
    void sigStatus(const QString &message);
    // Lines waiting for the disk: which file, why, how many; empty once all are written.
    void sigBacklog(const QString &message);

private:
    static constexpr int traceSlot = sensorCount;
    static constexpr int pointSlot = sensorCount + 1;

    LogWriter *makeWriter();
    // Makes the run's directory and opens its files, once per run.
    void start();
    void reportBacklog();

    QString runDirectory;
    QString pendingName;
    bool runOpen = false;
    bool runStarted = false;
    LogWriter *current = nullptr;
    // Writers of closed runs with lines still waiting, with their directories.
    QList<QPair<QString, LogWriter *>> closing;
    bool backlogShown = false;
    // Held on the directory of the current (or last) run.
    std::unique_ptr<RunDirectoryLock> lock;
};
