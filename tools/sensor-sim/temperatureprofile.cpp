#include "sensor-sim/temperatureprofile.h"

#include <algorithm>
#include <cmath>

TemperatureProfile::TemperatureProfile(double low, double high, double start)
    : m_low(std::min(low, high))
    , m_high(std::max(low, high))
    , m_start(std::clamp(start, m_low, m_high))
{ }

double TemperatureProfile::at(double degreesTravelled) const
{
    const double span = m_high - m_low;
    if (!(span > 0.0) || !std::isfinite(degreesTravelled))
        return m_start;
    // Phase 0..span is the way up, span..2·span the way down.
    double phase = std::fmod(m_start - m_low + std::max(0.0, degreesTravelled), 2.0 * span);
    if (phase <= span)
        return m_low + phase;
    return m_high - (phase - span);
}
