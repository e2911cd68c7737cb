#include "sensors/sensordata.h"

#include "fit/trend.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr int kMidlFirst = -90;
constexpr int kMidlLast = 99;
constexpr double kLevelScale = 100.0 / 4096.0; // level counts to percent of full scale

// Percent of a deviation x from the reference: level is a fraction of the 4096-count scale,
// frequency and period are relative to the reference itself.
double percent(qint64 x, quint32 ref, eTypeData kind)
{
    if (kind == Level)
        return double(x) * kLevelScale;
    return double(x) / double(ref) * 100.0;
}

// Largest deviations above and below the reference within the temperatures from..to; the
// reference is the entry nearest to 20 °C, which is the `to` end of the walk.
SensorData::Deviation windowDeviation(
    const SensorData::MidlMap &map, int from, int to, eTypeData kind)
{
    SensorData::Deviation result;
    const int lo = qMin(from, to);
    const int hi = qMax(from, to);
    auto it = map.lowerBound(static_cast<qint8>(lo));
    const auto end = map.upperBound(static_cast<qint8>(hi));
    if (it == end)
        return result;
    quint32 largest = 0;
    quint32 smallest = 0xFFFFFFFFu;
    for (auto walk = it; walk != end; ++walk) {
        largest = qMax(largest, walk.value());
        smallest = qMin(smallest, walk.value());
    }
    // Walking towards 20 °C, the last entry found is the one nearest to it.
    const quint32 ref = from <= to ? (end - 1).value() : it.value();
    result.up = percent(qint64(largest) - qint64(ref), ref, kind);
    result.down = percent(qint64(smallest) - qint64(ref), ref, kind);
    if (!std::isfinite(result.up) || !std::isfinite(result.down))
        result = {false, 0, 0};
    return result;
}

} // namespace

SensorData::SensorData(QObject *parent)
    : QObject(parent)
    , trend(new Trend(this))
{ }

void SensorData::insert(const DutInfo &info)
{
    const quint8 slot = slotOf(info.temp);
    valueSets[Level][slot].insert(info.level);
    valueSets[Freq][slot].insert(info.freq);
    valueSets[Period][slot].insert(info.period);
}

const SensorData::ValueSets *SensorData::values(eTypeData kind) const
{
    return &valueSets[isKind(kind) ? kind : Level];
}

void SensorData::clear()
{
    for (MidlMap &points : calibPoints)
        points.clear();
    for (ValueSets &sets : valueSets) {
        for (ValueSet &set : sets)
            set.clear();
    }
}

bool SensorData::isEmpty() const
{
    for (const MidlMap &points : calibPoints) {
        if (!points.isEmpty())
            return false;
    }
    for (const ValueSets &sets : valueSets) {
        for (const ValueSet &set : sets) {
            if (!set.empty())
                return false;
        }
    }
    return true;
}

void SensorData::setPoint(qint8 temp, quint32 value, eTypeData kind)
{
    if (isKind(kind))
        calibPoints[kind].insert(temp, value);
}

void SensorData::setPoints(const MidlMap &points, eTypeData kind)
{
    if (isKind(kind))
        calibPoints[kind] = points;
}

std::optional<qint8> SensorData::editPoint(eTypeData kind, quint8 nomPoint, quint32 value)
{
    midl(kind);
    if (!isKind(kind) || nomPoint >= midlMap.size())
        return std::nullopt;
    const qint8 temp = std::next(midlMap.constBegin(), nomPoint).key();
    calibPoints[kind].insert(temp, value);
    return temp;
}

SensorData::MidlMap *SensorData::midl(eTypeData kind)
{
    midlMap = midlOf(kind);
    return &midlMap;
}

SensorData::MidlMap SensorData::midlOf(eTypeData kind) const
{
    MidlMap map;
    if (!isKind(kind))
        return map;
    const ValueSets &sets = valueSets[kind];
    const MidlMap &points = calibPoints[kind];
    for (int t = kMidlFirst; t <= kMidlLast; ++t) {
        const qint8 temp = static_cast<qint8>(t);
        const auto point = points.constFind(temp);
        if (point != points.constEnd()) {
            map.insert(temp, point.value());
            continue;
        }
        const ValueSet &set = sets[slotOf(temp)];
        if (set.empty())
            continue;
        // Midpoint of the range seen, summed wide so that it cannot overflow.
        const quint64 sum = quint64(*set.begin()) + quint64(*set.rbegin());
        map.insert(temp, static_cast<quint32>(sum / 2));
    }
    return map;
}

SensorData::WindowStatistics SensorData::windowStatistics(
    const MidlMap &map, eTypeData kind, int lo, int hi)
{
    WindowStatistics result;
    if (lo <= referenceTemp)
        result.cold = windowDeviation(map, lo, referenceTemp, kind);
    if (hi >= referenceTemp)
        result.warm = windowDeviation(map, hi, referenceTemp, kind);
    return result;
}

SensorData::CurveMap *SensorData::delta(eTypeData kind)
{
    deltaMap = deviationOf(*midl(kind), kind);
    return &deltaMap;
}

SensorData::CurveMap SensorData::deviationOf(const MidlMap &midlMap, eTypeData kind)
{
    CurveMap deltaMap;
    if (midlMap.isEmpty())
        return deltaMap;

    // The entry nearest to 20 °C is the reference; of two equally near the warmer one wins.
    int best = 255;
    quint32 ref = 0;
    for (auto it = midlMap.constBegin(); it != midlMap.constEnd(); ++it) {
        const int distance = qAbs(referenceTemp - int(it.key()));
        if (distance <= best) {
            best = distance;
            ref = it.value();
        }
    }

    for (auto it = midlMap.constBegin(); it != midlMap.constEnd(); ++it) {
        const double deviation = kind == Level ? (double(it.value()) - double(ref)) * kLevelScale
                                               : double(it.value()) / double(ref) * 100.0 - 100.0;
        // A reference of 0 leaves nothing to compare with.
        if (std::isfinite(deviation))
            deltaMap.insert(double(it.key()), deviation);
    }
    return deltaMap;
}

bool SensorData::fitTrend(eTypeData kind, int degree, bool rawUnits, Coefficients *k)
{
    midl(kind);
    trendMap.clear();
    normMap.clear();
    const auto at20 = midlMap.constFind(static_cast<qint8>(referenceTemp));
    if (at20 == midlMap.constEnd() || at20.value() == 0)
        return false;

    const double m20 = at20.value();
    for (auto it = midlMap.constBegin(); it != midlMap.constEnd(); ++it)
        normMap.insert(double(it.key()), double(it.value()) / m20);

    double fitted[6] = {};
    const CurveMap *curve = trend->Calc(&normMap, static_cast<uchar>(degree), fitted,
        rawUnits ? m20 : 100.0, rawUnits ? 0.0 : 100.0);
    for (auto it = curve->constBegin(); it != curve->constEnd(); ++it) {
        if (std::isfinite(it.value()))
            trendMap.insert(it.key(), it.value());
    }
    if (!std::all_of(
            std::begin(fitted), std::end(fitted), [](double c) { return std::isfinite(c); }))
        return false;
    if (k)
        std::copy(std::begin(fitted), std::end(fitted), k->begin());
    return true;
}
