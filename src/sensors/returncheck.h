#pragma once

#include "protocol/dutinfo.h"
#include "sensors/chambertrend.h"

#include <QString>

#include <array>

// Whether what answers after the line came back is still the line that went. Each sensor's
// first valid reading after an outage is compared with its last one taken before: the
// temperature may have moved as far as the chamber moves in the time between (its rate measured
// from the readings taken) plus a margin, and the level, frequency and period may lie within the
// spread the sensor has shown so far, widened by as much again. A reading outside is held back,
// and so is every later one of that sensor, until the operator accepts the line; a line said to
// be another device holds every sensor back from its first reading. Times are milliseconds on a
// clock that only goes forward.
class ReturnCheck
{
public:
    static constexpr int sensorCount = 6;
    // Whole-degree readings and the chamber's unevenness (°C).
    static constexpr double marginDegrees = 3;
    // Assumed while the chamber's rate is not measured yet (°C/min): a fast chamber.
    static constexpr double unknownRate = 10;
    // The least widening of a value's spread, as a share of the value.
    static constexpr double leastSpread = 0.02;

    struct Verdict
    {
        bool take = true;
        // Why a reading is held back, in the operator's words.
        QString why;
    };

    // A new run: nothing to compare with, nothing held.
    void reset();
    // A reading of sensor nomDut was taken (credited) at ms.
    void taken(quint8 nomDut, const DutInfo &info, qint64 ms);
    // The line came back; otherDevice when it is known not to be the same device.
    void lineBack(bool otherDevice);
    // Whether an answer of sensor nomDut at ms may be taken. An invalid answer is held back only
    // while the sensor is.
    Verdict check(quint8 nomDut, const DutInfo &info, qint64 ms);
    // The operator takes the line as it is: every sensor's readings are taken again.
    void accept();
    bool isHolding() const;
    bool isHeld(quint8 nomDut) const;

private:
    struct Sensor
    {
        bool known = false;
        qint64 ms = 0;
        int temp = 0;
        // Smallest and largest level, frequency, period taken; a field never seen non-zero is
        // not compared.
        std::array<quint32, 3> low {};
        std::array<quint32, 3> high {};
        bool checking = false;
        bool held = false;
    };

    QString implausible(const Sensor &sensor, const DutInfo &info, qint64 ms) const;

    std::array<Sensor, sensorCount> sensors {};
    ChamberTrend chamber;
    bool otherDevice = false;
};
