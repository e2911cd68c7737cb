#pragma once

#include <QString>

class QDate;

// The certificate number of a run: drawn from the working directory's counter the first time
// the run needs it (its first journal record, or its report) and kept in "certificate.txt" of
// the run directory beside "run.txt", so that the report and every record of the run carry
// the same number.
class RunCertificate
{
public:
    static constexpr const char *fileName = "certificate.txt";

    // The run's number, drawn and kept now when it has none. Without a run directory a number
    // is drawn that no other record shares. Empty on failure, with the reason in *error.
    static QString of(const QString &runDirectory, const QString &counterDirectory,
        const QString &station, const QDate &date, QString *error = nullptr);
    // The number kept in the run directory, or empty.
    static QString kept(const QString &runDirectory);
};
