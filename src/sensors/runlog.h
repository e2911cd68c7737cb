#pragma once

#include "protocol/dutinfo.h"

#include <QFile>
#include <QObject>

#include <array>

class QDateTime;

// The files of one run of the bench: "all.log" with every frame sent and every block of
// bytes received, and "0.txt".."5.txt" with one line per poll of each sensor. A run lives
// in a directory named after the moment the port was opened; every write is flushed, so
// the files are complete whenever the operator looks at them.
class RunLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int sensorCount = 6;

    explicit RunLog(QObject *parent = nullptr);

    // Starts a run in "yyyy_MM_dd_HH_mm_ss" (from moment) under the current directory,
    // reusing that directory if it exists and emptying its files. A run already open is
    // closed first. If the directory or a file cannot be made, sigStatus() says so once;
    // whatever could be opened is written, the rest is dropped.
    void open(const QDateTime &moment);
    void close();

    bool isOpen() const { return allLog.isOpen(); }
    // Absolute path of the current (or last) run directory; empty before the first run.
    QString directory() const { return runDirectory; }

    // Appends raw bytes to "all.log".
    void writeTrace(const QByteArray &bytes);
    // Appends the line of one poll of sensor nomDut, stamped with the current local time.
    void writeSensor(quint8 nomDut, quint8 protocol, const DutInfo &info);

    // The bytes of one sensor line: the time in Qt's text format, then the fields the
    // protocol reports (or "error" for a failed poll), each followed by a space, then CR LF.
    static QByteArray sensorLine(const QDateTime &at, quint8 protocol, const DutInfo &info);

signals:
    void sigStatus(const QString &message);

private:
    static void append(QFile &file, const QByteArray &bytes);

    QString runDirectory;
    QFile allLog;
    std::array<QFile, sensorCount> dutLog;
};
