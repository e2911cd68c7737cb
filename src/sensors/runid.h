#pragma once

#include <QString>
#include <QStringList>

class QDateTime;

// Names one polling run: a UUID made when polling starts, recorded in "run.txt" of the run
// directory as a line "<local time, ISO 8601> <uuid>" per start, so that the journal's records
// and a sensor's label lead back to the run logs beside it. "all.log" is left as it is.
class RunId
{
public:
    static constexpr const char *fileName = "run.txt";

    // A new identifier, recorded in `directory` (made if missing). The identifier is good even
    // when it cannot be recorded; *error then says why.
    static QString begin(const QString &directory, const QDateTime &at, QString *error = nullptr);
    // The last identifier recorded in `directory`, or empty.
    static QString last(const QString &directory);
    // Every identifier recorded in `directory` (one per start of polling), oldest first.
    static QStringList all(const QString &directory);
};
