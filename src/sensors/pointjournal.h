#pragma once

#include "protocol/dutinfo.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QDateTime;

// "points.txt" of a run directory: every calibration point the operator set or dragged on the
// plot, one line per change, "yyyy-MM-dd HH:mm:ss sensor kind temperature value" (kind 0 level,
// 1 frequency, 2 period) and CR LF. Read back in order after the run's readings, the last line
// of a point wins, so the run comes back with the points as they were left.
class PointJournal
{
public:
    static constexpr const char *fileName = "points.txt";

    struct Point
    {
        quint8 nomDut = 0;
        eTypeData kind = Level;
        qint8 temp = 0;
        quint32 value = 0;
    };

    static QByteArray line(const QDateTime &at, const Point &point);
    // The points of the file in order; lines that are not such a point are counted in
    // *damaged. A missing file has none.
    static QList<Point> read(const QString &path, int *damaged = nullptr);
};
