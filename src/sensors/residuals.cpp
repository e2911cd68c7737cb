#include "sensors/residuals.h"

#include "fit/polynomial.h"
#include "sensors/sensordata.h"

#include <algorithm>
#include <cmath>

Residuals Residuals::of(const QMap<qint8, quint32> &midl, int lo, int hi, const Coefficients &k)
{
    Residuals result;
    const auto reference = midl.constFind(static_cast<qint8>(SensorData::referenceTemp));
    if (reference == midl.constEnd() || reference.value() == 0)
        return result;
    if (lo > hi)
        std::swap(lo, hi);
    const double m20 = reference.value();
    double squares = 0;
    for (auto it = midl.constBegin(); it != midl.constEnd(); ++it) {
        const int t = it.key();
        if (t < lo || t > hi)
            continue;
        const double fitted = Polynomial::at(k, t);
        const double percent = std::abs(fitted - it.value() / m20) * 100.0;
        result.perDegree.insert(t, percent);
        result.maxPercent = std::max(result.maxPercent, percent);
        squares += percent * percent;
    }
    if (!result.perDegree.isEmpty())
        result.rmsPercent = std::sqrt(squares / result.perDegree.size());
    return result;
}
