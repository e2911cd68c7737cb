#pragma once

#include <QString>

class QDate;

// Numbers the calibration certificates of a working directory: "ST1-20261208-0007", the
// station, the date, and a running number that never goes back, kept in a small counter file
// beside the journal. The number runs on over days and stations, so a number is unique in the
// directory whatever the clock or the station name did. Two benches in one directory take
// turns through a lock file beside the counter.
class CertificateNumber
{
public:
    static constexpr const char *counterFile = "certificate.counter";

    // Takes the next number in `directory`. Fails (empty, with the reason in *error) when the
    // counter cannot be locked within lockTimeoutMs, cannot be written, or holds something
    // that is not a number: a counter that cannot be trusted is never started afresh, since
    // that would hand out numbers already on certificates.
    static QString next(const QString &directory, const QString &station, const QDate &date,
        QString *error = nullptr, int lockTimeoutMs = 5000);

    // The station as a number carries it: letters, digits, '_' and '.', anything else as '_';
    // empty when nothing is left.
    static QString stationPart(const QString &station);
};
