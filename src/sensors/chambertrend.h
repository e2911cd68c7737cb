#pragma once

#include "sensors/coverage.h"

#include <QVector>

#include <array>
#include <deque>

// Where the climate chamber is and where it is going, from the temperatures the sensors report
// and the times they were read. The temperature now is the median of each sensor's latest
// reading, so it never lags behind the sensors nor runs ahead of them. The rate is a straight
// line through that temperature over the last minutes; once the chamber has turned (it has
// left its highest or lowest point of those minutes by more than the flicker of whole-degree
// readings), only the minutes since the turn count. How long the sweep needs to reach the
// missing degrees ahead follows at that rate; the degrees behind wait for the way back.
class ChamberTrend
{
public:
    struct Estimate
    {
        // The chamber moves, and some missing degree lies ahead of it.
        bool valid = false;
        // Until the farthest missing degree ahead is reached.
        double minutes = 0;
        int target = 0;
        // Missing degrees behind the moving chamber, ascending: reached only after it turns.
        QVector<Coverage::Run> behind;
    };

    static constexpr int sensorCount = 6;
    static constexpr qint64 defaultWindowMs = 5 * 60 * 1000;
    // Slower than this (°C/min) the chamber stands. Whole-degree readings that flicker between
    // two neighbours tilt a five-minute line by up to some 0.06 °C/min; a sweep slower than
    // 6 °C an hour would need more than a day for the full range anyway.
    static constexpr double stillRate = 0.1;
    // A rate needs readings at least this far apart.
    static constexpr qint64 leastSpanMs = 30 * 1000;
    // How far (°C) the chamber must have left its highest or lowest point to count as turned:
    // more than the one degree whole-degree readings flicker by.
    static constexpr double turnDegrees = 1.5;

    explicit ChamberTrend(qint64 windowMs = defaultWindowMs);

    // A reading of temp (°C) by sensor 0..sensorCount-1, taken at ms on a clock that only goes
    // forward. A clock that went back starts the trend afresh.
    void add(qint64 ms, int sensor, double temp);
    void clear();

    bool hasTemperature() const { return !samples.empty(); }
    double temperature() const { return temp; }
    bool hasRate() const { return rateKnown; }
    // °C per minute, positive while the chamber warms.
    double ratePerMinute() const { return rate; }
    bool isStill() const;
    // Time to the farthest degree of `missing` that lies ahead in the direction the chamber
    // moves, and what of `missing` lies behind; nothing while it stands or has no rate yet.
    Estimate estimate(const QVector<Coverage::Run> &missing) const;

private:
    struct Sample
    {
        qint64 ms = 0;
        double temp = 0;
    };
    double median(qint64 now) const;
    // Start of the minutes the rate is fitted over: the last turn, or the oldest sample.
    qint64 fitStart() const;
    void refit();

    std::array<Sample, sensorCount> latest {};
    std::array<bool, sensorCount> seen {};
    // The chamber temperature after every reading.
    std::deque<Sample> samples;
    qint64 windowMs;
    double temp = 0;
    double rate = 0;
    bool rateKnown = false;
};
