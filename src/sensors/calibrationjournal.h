#pragma once

#include "protocol/coefficientwrite.h"
#include "records/recordrow.h"

#include <QByteArray>
#include <QDateTime>
#include <QPair>
#include <QString>
#include <QVector>

#include <functional>
#include <optional>

// One coefficient write of one sensor with what the panel knew when it ended.
struct CalibrationRecord
{
    QDateTime time;
    int sensor = 0;
    int address = 255; // 255: the panel's address was "off"
    int protocol = 0;
    QString kind;
    int degree = 1;
    int rangeMin = -40;
    int rangeMax = 80;
    int covered = 0;
    int total = 0;
    std::optional<double> maxResidual; // % of the +20 °C mid value, over the covered degrees
    CoefficientWrite write;
};

// The bench's calibration journal "calibration.csv": one CSV line (RFC 4180, UTF-8, CR LF) per
// coefficient write that reached the line, under a header line written when the file is new or
// empty. The file is only ever appended to, so whatever a person did to it stays; each record
// goes in with one write and is synced to disk before append() returns.
class CalibrationJournal
{
public:
    static QString fileName() { return QStringLiteral("calibration.csv"); }

    // The header line and the line of one record, both ending in CR LF.
    static QByteArray header();
    static QByteArray line(const CalibrationRecord &record);
    // The record's columns as (header name, text), in the order of the line, unquoted.
    static QVector<QPair<QString, QString>> columns(const CalibrationRecord &record);
    // The record as the databases keep it: the journal's columns, without a UUID or station yet.
    static RecordRow row(const CalibrationRecord &record);

    // How a record reaches the disk: ::write() and ::fsync() unless a test fails them on purpose.
    // Each returns what the system call does, with errno set on failure.
    struct Io
    {
        std::function<qint64(int fd, const char *data, qint64 size)> write;
        std::function<int(int fd)> sync;
    };

    // Appends the record to the journal at path and syncs it to disk. On failure returns false
    // and, if error is given, the reason; the file then holds at most a part of this one record.
    static bool append(
        const QString &path, const CalibrationRecord &record, QString *error, const Io &io = {});
};
