#include "sensors/chambertrend.h"

#include <algorithm>
#include <cmath>

namespace {

// The readings of a window; a period of 1 s keeps 300 of them.
constexpr size_t kMostSamples = 4096;
constexpr double kMsPerMinute = 60000.0;
// A degree the chamber is at counts as ahead of it.
constexpr double kAtDegree = 0.5;
// Degrees a temperature reading can name (signed 8 bits).
constexpr int kLowest = -128;
constexpr int kHighest = 127;

} // namespace

ChamberTrend::ChamberTrend(qint64 windowMs)
    : windowMs(windowMs)
{ }

void ChamberTrend::clear()
{
    seen.fill(false);
    samples.clear();
    temp = 0;
    rate = 0;
    rateKnown = false;
}

void ChamberTrend::add(qint64 ms, int sensor, double reading)
{
    if (!std::isfinite(reading) || sensor < 0 || sensor >= sensorCount)
        return;
    if (!samples.empty() && ms < samples.back().ms)
        clear();
    latest[size_t(sensor)] = {ms, reading};
    seen[size_t(sensor)] = true;
    samples.push_back({ms, median(ms)});
    while (samples.size() > kMostSamples || ms - samples.front().ms > windowMs)
        samples.pop_front();
    refit();
}

double ChamberTrend::median(qint64 now) const
{
    // A sensor no longer polled (or silent) drops out once its reading is older than the window.
    // Sorted as they are taken: six at most.
    std::array<double, sensorCount> temps {};
    size_t count = 0;
    for (size_t i = 0; i < latest.size(); ++i) {
        if (!seen[i] || now - latest[i].ms > windowMs)
            continue;
        size_t at = count++;
        for (; at > 0 && temps[at - 1] > latest[i].temp; --at)
            temps[at] = temps[at - 1];
        temps[at] = latest[i].temp;
    }
    return count % 2 ? temps[count / 2] : (temps[count / 2 - 1] + temps[count / 2]) / 2;
}

qint64 ChamberTrend::fitStart() const
{
    // The latest moments at the highest and the lowest temperature of the window.
    Sample high = samples.front();
    Sample low = samples.front();
    for (const Sample &s : samples) {
        if (s.temp >= high.temp)
            high = s;
        if (s.temp <= low.temp)
            low = s;
    }
    const double now = samples.back().temp;
    qint64 start = samples.front().ms;
    if (now <= high.temp - turnDegrees)
        start = std::max(start, high.ms);
    if (now >= low.temp + turnDegrees)
        start = std::max(start, low.ms);
    return start;
}

void ChamberTrend::refit()
{
    temp = samples.back().temp;
    // Least squares through the chamber temperature since fitStart(), time in minutes back
    // from the newest reading.
    const qint64 start = fitStart();
    const qint64 last = samples.back().ms;
    double n = 0;
    double sx = 0;
    double sy = 0;
    for (const Sample &s : samples) {
        if (s.ms < start)
            continue;
        n += 1;
        sx += double(s.ms - last) / kMsPerMinute;
        sy += s.temp;
    }
    const double mx = sx / n;
    const double my = sy / n;
    double sxx = 0;
    double sxy = 0;
    for (const Sample &s : samples) {
        if (s.ms < start)
            continue;
        const double dx = double(s.ms - last) / kMsPerMinute - mx;
        sxx += dx * dx;
        sxy += dx * (s.temp - my);
    }
    rateKnown = n >= 3 && last - start >= leastSpanMs && sxx > 0;
    rate = rateKnown ? sxy / sxx : 0;
}

bool ChamberTrend::isStill() const
{
    return rateKnown && std::fabs(rate) < stillRate;
}

ChamberTrend::Estimate ChamberTrend::estimate(const QVector<Coverage::Run> &missing) const
{
    Estimate result;
    if (!rateKnown || isStill())
        return result;

    // The panels share the chamber: their missing degrees are one set.
    std::array<bool, kHighest - kLowest + 1> absent {};
    for (const Coverage::Run &run : missing) {
        for (int d = std::max(run.first, kLowest); d <= std::min(run.second, kHighest); ++d)
            absent[size_t(d - kLowest)] = true;
    }
    const bool rising = rate > 0;
    for (int d = kLowest; d <= kHighest; ++d) {
        if (!absent[size_t(d - kLowest)])
            continue;
        const bool ahead = rising ? d >= temp - kAtDegree : d <= temp + kAtDegree;
        if (ahead) {
            if (!result.valid || (rising ? d > result.target : d < result.target))
                result.target = d;
            result.valid = true;
        } else if (!result.behind.isEmpty() && result.behind.last().second == d - 1) {
            result.behind.last().second = d;
        } else {
            result.behind.append({d, d});
        }
    }
    if (result.valid)
        result.minutes = std::fmax(0.0, (result.target - temp) / rate);
    return result;
}
