#include "sensors/chambertrend.h"

#include <cmath>

namespace {

// The readings of a window; a period of 1 s keeps 300 of them.
constexpr size_t kMostSamples = 4096;
constexpr double kMsPerMinute = 60000.0;
// A degree the chamber is at counts as ahead of it.
constexpr double kAtDegree = 0.5;

} // namespace

ChamberTrend::ChamberTrend(qint64 windowMs)
    : windowMs(windowMs)
{ }

void ChamberTrend::clear()
{
    samples.clear();
    temp = 0;
    rate = 0;
    rateKnown = false;
}

void ChamberTrend::add(qint64 ms, double reading)
{
    if (!std::isfinite(reading))
        return;
    if (!samples.empty() && ms < samples.back().ms)
        clear();
    samples.push_back({ms, reading});
    while (samples.size() > kMostSamples || ms - samples.front().ms > windowMs)
        samples.pop_front();
    refit();
}

void ChamberTrend::refit()
{
    // Least squares over the window, time in minutes back from the newest reading, so that the
    // line's value at 0 is the chamber's temperature now.
    const qint64 last = samples.back().ms;
    const double n = double(samples.size());
    double sx = 0;
    double sy = 0;
    for (const Sample &s : samples) {
        sx += double(s.ms - last) / kMsPerMinute;
        sy += s.temp;
    }
    const double mx = sx / n;
    const double my = sy / n;
    double sxx = 0;
    double sxy = 0;
    for (const Sample &s : samples) {
        const double dx = double(s.ms - last) / kMsPerMinute - mx;
        sxx += dx * dx;
        sxy += dx * (s.temp - my);
    }
    rateKnown = samples.size() >= 3 && last - samples.front().ms >= leastSpanMs && sxx > 0;
    rate = rateKnown ? sxy / sxx : 0;
    temp = rateKnown ? my - rate * mx : samples.back().temp;
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
    const bool rising = rate > 0;
    for (const Coverage::Run &run : missing) {
        // The far end of a run ahead; a run wholly behind the chamber waits for the way back.
        const int far = rising ? run.second : run.first;
        const bool ahead = rising ? far >= temp - kAtDegree : far <= temp + kAtDegree;
        if (!ahead)
            continue;
        if (!result.valid || (rising ? far > result.target : far < result.target))
            result.target = far;
        result.valid = true;
    }
    if (result.valid)
        result.minutes = std::fmax(0.0, (result.target - temp) / rate);
    return result;
}
