#pragma once

#include "records/recordrow.h"
#include "sensors/calibrationrecord.h"

#include <QByteArray>
#include <QPair>
#include <QString>
#include <QVector>

#include <functional>

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

    // The records of the journal at path, oldest first, as written: each with its write (found,
    // sent, read back, result), coverage and largest residual; coverage per degree and the
    // residuals per degree are not kept in the journal. Columns are found by the header's names;
    // a line that is not a record (hand edits, a torn last line) is skipped and counted.
    static QList<CalibrationRecord> read(const QString &path, int *skipped = nullptr);
    // Those of the records made during the run in runDirectory: from the time its name gives
    // ("yyyy_MM_dd_HH_mm_ss", a "_N" after it allowed) up to the start of the next run beside it.
    static QList<CalibrationRecord> ofRun(
        const QList<CalibrationRecord> &records, const QString &runDirectory);
};
