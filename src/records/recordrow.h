#pragma once

#include <QPair>
#include <QString>
#include <QVector>

// One calibration record as the databases keep it: who made it and for which sensor, then the
// journal's own columns in the order of its CSV line, each as (name, text). The bench makes
// the UUID; a correction is a record of its own whose `amends` names the record it corrects.
// Journal columns named like a column of the record itself (time, sensor, result, serial, ...)
// are kept once, in the record's own column.
struct RecordRow
{
    QString uuid;
    QString time; // the journal's text, local time with its offset from UTC
    QString station;
    QString serial;
    QString run;
    int sensor = 0;
    QString result;
    QString amends;
    QVector<QPair<QString, QString>> columns;

    // The record's own columns, in table order.
    static const QStringList &fixedNames();
    // The text of a column by name, fixed or journal; empty when the row has none.
    QString value(const QString &name) const;
    // Sets a column by name: a fixed one to its member, any other among the journal columns.
    void set(const QString &name, const QString &text);
    // Every column's name after the fixed ones, in order, without the fixed names again.
    QStringList journalNames() const;
};
