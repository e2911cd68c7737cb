#pragma once

#include <QMap>
#include <QPair>
#include <QString>
#include <QVector>

// How much of a panel's temperature range its mid values cover: the whole degrees lo..hi (both
// ends included) that have a mid value, and the runs of those that have none. A plain value,
// computed in one walk over at most 191 degrees, so it can follow every reading.
class Coverage
{
public:
    using Run = QPair<int, int>; // first and last missing degree, both included

    Coverage() = default;
    // Counts the degrees of lo..hi found in midl. A reversed range is read with its ends
    // swapped; degrees outside the signed 8-bit temperature never have a mid value.
    static Coverage of(const QMap<qint8, quint32> &midl, int lo, int hi);

    int covered() const { return nCovered; }
    int total() const { return nTotal; }
    bool complete() const { return nCovered == nTotal; }
    const QVector<Run> &missing() const { return runs; }
    // Missing runs as "a..b" (or "a" for a single degree), comma-separated, ASCII minus:
    // "-37..19, 22..79"; empty when nothing is missing.
    QString missingText() const;
    // Any runs in that form.
    static QString runsText(const QVector<Run> &runs);

private:
    int nCovered = 0;
    int nTotal = 0;
    QVector<Run> runs;
};
