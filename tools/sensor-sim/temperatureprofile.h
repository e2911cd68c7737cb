#pragma once

// The chamber temperature as a triangle sweep between a low and a high end: from the start
// temperature upwards to the high end, down to the low end, up again, and so on. Position on
// the sweep is given as the number of degrees travelled since the start, so the same profile
// serves a wall-clock chamber (seconds / seconds per degree) and a stepped one (polls × step).
class TemperatureProfile
{
public:
    TemperatureProfile() = default;
    // start is clamped into [low, high]; low and high are swapped if given the wrong way round.
    TemperatureProfile(double low, double high, double start);

    double low() const { return m_low; }
    double high() const { return m_high; }
    double start() const { return m_start; }

    double at(double degreesTravelled) const;

private:
    double m_low = -40.0;
    double m_high = 80.0;
    double m_start = -40.0;
};
