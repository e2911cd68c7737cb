#include "sensors/coverage.h"

#include <QStringList>

#include <algorithm>
#include <limits>

Coverage Coverage::of(const QMap<qint8, quint32> &midl, int lo, int hi)
{
    if (lo > hi)
        std::swap(lo, hi);
    Coverage result;
    result.nTotal = hi - lo + 1;
    constexpr int first = std::numeric_limits<qint8>::min();
    constexpr int last = std::numeric_limits<qint8>::max();
    int runStart = lo;
    bool inRun = false;
    for (int t = lo; t <= hi; ++t) {
        const bool has = t >= first && t <= last && midl.contains(static_cast<qint8>(t));
        if (has) {
            ++result.nCovered;
            if (inRun)
                result.runs.append({runStart, t - 1});
            inRun = false;
        } else if (!inRun) {
            runStart = t;
            inRun = true;
        }
    }
    if (inRun)
        result.runs.append({runStart, hi});
    return result;
}

QString Coverage::missingText() const
{
    return runsText(runs);
}

QString Coverage::runsText(const QVector<Run> &runs)
{
    QStringList parts;
    parts.reserve(runs.size());
    for (const Run &run : runs) {
        parts.append(run.first == run.second
                ? QString::number(run.first)
                : QStringLiteral("%1..%2").arg(run.first).arg(run.second));
    }
    return parts.join(QStringLiteral(", "));
}
