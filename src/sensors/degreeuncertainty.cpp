#include "sensors/degreeuncertainty.h"

#include "fit/fituncertainty.h"
#include "sensors/sensordata.h"

#include <algorithm>

QMap<int, double> DegreeUncertainty::of(
    const SensorData &data, eTypeData kind, int degree, int lo, int hi)
{
    QMap<int, double> result;
    const SensorData::MidlMap midl = data.midlOf(kind);
    const auto at20 = midl.constFind(static_cast<qint8>(SensorData::referenceTemp));
    if (at20 == midl.constEnd() || at20.value() == 0)
        return result;
    const double m20 = at20.value();
    QMap<double, double> normalised;
    for (auto it = midl.constBegin(); it != midl.constEnd(); ++it)
        normalised.insert(it.key(), it.value() / m20);
    const FitUncertainty fit = FitUncertainty::of(normalised, degree);
    if (!fit.isValid())
        return result;

    if (lo > hi)
        std::swap(lo, hi);
    const SensorData::ValueSets &sets = *data.values(kind);
    for (auto it = midl.constBegin(); it != midl.constEnd(); ++it) {
        const int t = it.key();
        if (t < lo || t > hi)
            continue;
        const double scatter = FitUncertainty::meanScatter(sets[SensorData::slotOf(it.key())]);
        result.insert(t, FitUncertainty::expandedPercent(fit.standard(t), scatter / m20));
    }
    return result;
}
