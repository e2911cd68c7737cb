#pragma once

#include "sensors/calibrationrecord.h"

#include <QByteArray>
#include <QString>

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

    // Appends the record to the journal at path. On failure returns false and, if error is
    // given, the reason; the file then holds at most a part of this one record.
    static bool append(const QString &path, const CalibrationRecord &record, QString *error);
};
