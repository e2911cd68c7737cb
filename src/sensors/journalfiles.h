#pragma once

#include "sensors/calibrationrecord.h"

#include <QList>
#include <QString>
#include <QStringList>

// The calibration journal and its continuations. A journal whose header line is not the one
// this bench writes (made by an older bench, or edited) is never rewritten: new records go to
// "calibration-2.csv" beside it (or -3, … when that one is foreign too), and reading takes
// the journal with all of its continuations.
class JournalFiles
{
public:
    // The file the next record goes to: basePath itself when it is missing, empty or headed as
    // this bench heads it, else the first continuation that is.
    static QString current(const QString &basePath);
    // basePath and its continuations that exist, in their order.
    static QStringList existing(const QString &basePath);
    // The records of all of them, file after file.
    static QList<CalibrationRecord> read(const QString &basePath);
};
