#pragma once

#include "sensors/coverage.h"

#include <QVector>

#include <deque>

// Where the climate chamber is and where it is going, from the temperatures the sensors report
// and the times they were read: the temperature now and its rate, both from a straight line
// through the readings of the last minutes (the sensors' whole degrees and their small offsets
// against each other smooth out), and how long the sweep needs to reach the missing degrees
// ahead of it at that rate.
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
    };

    static constexpr qint64 defaultWindowMs = 5 * 60 * 1000;
    // Slower than this (°C/min) the chamber stands. Whole-degree readings that flicker between
    // two neighbours tilt a five-minute line by up to some 0.06 °C/min; a sweep slower than
    // 6 °C an hour would need more than a day for the full range anyway.
    static constexpr double stillRate = 0.1;
    // A rate needs readings at least this far apart.
    static constexpr qint64 leastSpanMs = 30 * 1000;

    explicit ChamberTrend(qint64 windowMs = defaultWindowMs);

    // A reading of temp (°C) taken at ms on a clock that only goes forward. A clock that went
    // back starts the trend afresh.
    void add(qint64 ms, double temp);
    void clear();

    bool hasTemperature() const { return !samples.empty(); }
    double temperature() const { return temp; }
    bool hasRate() const { return rateKnown; }
    // °C per minute, positive while the chamber warms.
    double ratePerMinute() const { return rate; }
    bool isStill() const;
    // Time to the farthest degree of `missing` that lies ahead in the direction the chamber moves;
    // not valid while it stands, has no rate yet, or has nothing missing ahead of it.
    Estimate estimate(const QVector<Coverage::Run> &missing) const;

private:
    struct Sample
    {
        qint64 ms;
        double temp;
    };
    void refit();

    std::deque<Sample> samples;
    qint64 windowMs;
    double temp = 0;
    double rate = 0;
    bool rateKnown = false;
};
