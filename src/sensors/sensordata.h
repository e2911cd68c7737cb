#pragma once

#include "protocol/dutinfo.h"

#include <QMap>
#include <QObject>

#include <array>
#include <optional>
#include <set>

class Trend;

// What one sensor has collected and what follows from it, without any widget: the readings
// per temperature for each of the three kinds, the calibration points per kind, the mid values
// (a point wins over the readings at its temperature), the deviation statistics of a
// temperature window, the deviation curve and the K0..K5 fit normalised to the 20 °C value.
// The sensor panel owns one and shows what it computes; the plot and the measurement-set
// files read it through the panel.
class SensorData : public QObject
{
    Q_OBJECT

public:
    // Distinct readings seen at one temperature slot, kept sorted so that the smallest and the
    // largest are at hand without walking the set.
    using ValueSet = std::set<quint32>;
    // Slot of temperature t (signed °C) is (t + 90) mod 256: slots 0..190 are -90..+100 °C.
    using ValueSets = std::array<ValueSet, 256>;
    using MidlMap = QMap<qint8, quint32>;
    using CurveMap = QMap<double, double>;
    using Coefficients = std::array<double, 6>;

    // Largest deviations above and below the reference within one window, in percent. Not
    // valid when the reference makes percentages meaningless (a frequency or period of 0).
    struct Deviation
    {
        bool valid = true;
        double up = 0;
        double down = 0;
    };
    // The cold window runs from the lower bound up to 20 °C, the warm one from the upper bound
    // down to it; a bound on the wrong side of 20 °C leaves its window at 0.
    struct WindowStatistics
    {
        Deviation cold;
        Deviation warm;
    };

    static constexpr int referenceTemp = 20;
    static constexpr int lastSlot = 190; // +100 °C

    explicit SensorData(QObject *parent = nullptr);

    static quint8 slotOf(qint8 temp) { return static_cast<quint8>(temp + 90); }
    static bool isKind(int kind) { return kind == Level || kind == Freq || kind == Period; }

    // Files a reading under its temperature, for all three kinds.
    void insert(const DutInfo &info);
    // The value sets of a kind; an unknown kind reads as Level.
    const ValueSets *values(eTypeData kind) const;
    // Forgets readings and points of every kind.
    void clear();
    // Whether no reading and no point of any kind is held.
    bool isEmpty() const;

    // Calibration points; a kind other than the three is ignored.
    void setPoint(qint8 temp, quint32 value, eTypeData kind);
    void setPoints(const MidlMap &points, eTypeData kind);
    // Sets the point at the temperature of mid-value entry number nomPoint of the kind; an
    // entry the map does not have changes nothing. Gives the temperature of the point set.
    std::optional<qint8> editPoint(eTypeData kind, quint8 nomPoint, quint32 value);

    // Rebuilds the mid-value map of a kind over -90..+99 °C (empty for an unknown kind). The
    // map belongs to this object and stays valid until the next rebuild.
    MidlMap *midl(eTypeData kind);
    // The same map as a copy, leaving the one handed out by midl() as it is.
    MidlMap midlOf(eTypeData kind) const;
    // The map as last rebuilt (or emptied by forgetMidl()).
    MidlMap *lastMidl() { return &midlMap; }
    void forgetMidl() { midlMap.clear(); }

    // Window statistics over a mid-value map; lo and hi are the window bounds in °C.
    static WindowStatistics windowStatistics(const MidlMap &map, eTypeData kind, int lo, int hi);

    // Deviation of every mid value of the kind from the one nearest to 20 °C (the warmer of two
    // equally near): level in percent of the 4096-count scale, frequency and period relative.
    CurveMap *delta(eTypeData kind);
    // The same deviation of a given mid-value map, as a copy.
    static CurveMap deviationOf(const MidlMap &midl, eTypeData kind);

    // Normalises the mid values of the kind to the value at 20 °C and fits a polynomial of
    // `degree` through them. The curve is in the sensor's units (rawUnits) or as a deviation
    // in percent. Returns whether *k received six finite coefficients; without a value at
    // 20 °C (or with a 0 there) nothing is fitted and the curve is empty.
    bool fitTrend(eTypeData kind, int degree, bool rawUnits, Coefficients *k);
    // The curve of the last fit.
    CurveMap *trendCurve() { return &trendMap; }

private:
    std::array<ValueSets, 3> valueSets;
    std::array<MidlMap, 3> calibPoints;
    MidlMap midlMap;
    CurveMap deltaMap;
    CurveMap normMap;
    CurveMap trendMap;
    Trend *trend = nullptr;
};
