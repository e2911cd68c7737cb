#include "sensor-sim/simulatedsensor.h"

#include <QJsonArray>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

template<typename T> T clampedRound(double v)
{
    const double top = double(std::numeric_limits<T>::max());
    if (!(v > 0.0))
        return 0;
    if (v >= top)
        return std::numeric_limits<T>::max();
    return T(std::llround(v));
}

QJsonObject describeQuantity(const SimulatedSensor::Quantity &q)
{
    QJsonArray drift;
    for (const double d : q.drift)
        drift.append(d);
    QJsonArray normalised;
    for (const double c : q.normalisedInT())
        normalised.append(c);
    return QJsonObject {{"base", q.base}, {"drift", drift}, {"normalised", normalised}};
}

} // namespace

double SimulatedSensor::Quantity::at(double temperature) const
{
    const double d = temperature - referenceTemperature;
    return base * (drift[0] + d * (drift[1] + d * (drift[2] + d * drift[3])));
}

std::array<double, 6> SimulatedSensor::Quantity::normalisedInT() const
{
    // Expand Σ drift[k]·(T − 20)^k by the binomial theorem.
    std::array<double, 6> out {};
    for (int k = 0; k < int(drift.size()); ++k) {
        double binomial = 1.0;
        for (int j = 0; j <= k; ++j) {
            out[size_t(j)] += drift[size_t(k)] * binomial
                * std::pow(-double(referenceTemperature), double(k - j));
            binomial = binomial * double(k - j) / double(j + 1);
        }
    }
    return out;
}

SimulatedSensor::SimulatedSensor(int index, quint8 address, double noisePpm, quint64 seed)
    : m_index(index)
    , m_address(address)
    , m_noisePpm(std::max(0.0, noisePpm))
    , m_noise(seed ^ (quint64(index) + 1) * 0x9E3779B97F4A7C15ull)
{
    // Every sensor drifts in its own way, so a fit credited to the wrong sensor shows.
    const double i = index;
    const double alternate = (index % 2) ? -1.0 : 1.0;
    m_level.base = 30000.0 + 500.0 * i;
    m_level.drift = {1.0, (1.0 + 0.25 * i) * 1e-3, alternate * (2.0 + 0.5 * i) * 1e-6,
        -alternate * (1.0 + 0.2 * i) * 1e-8};
    m_frequency.base = 20000.0 + 1000.0 * i;
    m_frequency.drift
        = {1.0, -(0.6 + 0.15 * i) * 1e-3, (1.5 + 0.25 * i) * 1e-6, -(0.5 + 0.1 * i) * 1e-8};
    m_period.base = 1000000.0 + 50000.0 * i;
    m_period.drift = {
        1.0, (0.6 + 0.15 * i) * 1e-3, -alternate * (1.0 + 0.25 * i) * 1e-6, (0.5 + 0.1 * i) * 1e-8};
}

SimulatedSensor::Reading SimulatedSensor::read(double chamberTemperature)
{
    Reading r;
    // Halves go up on both sides of zero: rounding them away from zero would leave a sensor
    // read at every x.5 degrees of a sweep without a reading at 0 °C.
    const double rounded
        = std::isfinite(chamberTemperature) ? std::floor(chamberTemperature + 0.5) : 0.0;
    const int t = int(std::clamp(rounded, -128.0, 127.0));
    r.temperature = qint8(t);
    const std::optional<float> p = correction(t);
    r.level = clampedRound<quint16>(compensated(noisy(m_level.at(t)), p));
    r.frequency = clampedRound<quint16>(compensated(noisy(m_frequency.at(t)), p));
    r.period = clampedRound<quint32>(compensated(noisy(m_period.at(t)), p));
    return r;
}

std::optional<float> SimulatedSensor::correction(int temperature) const
{
    if (!m_compensating)
        return std::nullopt;
    // The bench's K number k travels as wire index 5 - k.
    std::array<float, coefficientCount> k {};
    bool neutral = true;
    for (int n = 0; n < coefficientCount; ++n) {
        std::memcpy(&k[size_t(n)], &m_coefficients[size_t(coefficientCount - 1 - n)], 4);
        neutral = neutral && k[size_t(n)] == 0.0f;
    }
    if (neutral)
        return std::nullopt;
    const float t = float(temperature);
    float p = k[5];
    for (int n = coefficientCount - 2; n >= 0; --n)
        p = p * t + k[size_t(n)];
    return p;
}

double SimulatedSensor::compensated(double raw, const std::optional<float> &p) const
{
    if (!p)
        return raw;
    // A zero or broken polynomial drives the field to an end, as a sensor's firmware would;
    // clampedRound takes infinities to the top and NaN to 0.
    if (*p == 0.0f)
        return raw > 0.0 ? std::numeric_limits<double>::infinity() : 0.0;
    return double(float(raw) / *p);
}

double SimulatedSensor::noisy(double exact)
{
    // Always draw, so the noise sequence does not depend on the noise level.
    const double unit = double(m_noise() >> 11) * 0x1.0p-53; // [0, 1)
    return exact + (2.0 * unit - 1.0) * exact * m_noisePpm * 1e-6;
}

bool SimulatedSensor::storeCoefficient(quint8 wireIndex, quint32 valueBits)
{
    if (wireIndex >= coefficientCount)
        return false;
    m_coefficients[wireIndex] = valueBits;
    return true;
}

std::optional<quint32> SimulatedSensor::coefficient(quint8 wireIndex) const
{
    if (wireIndex >= coefficientCount)
        return std::nullopt;
    return m_coefficients[wireIndex];
}

QJsonObject SimulatedSensor::describe() const
{
    return QJsonObject {{"index", m_index}, {"address", m_address},
        {"compensating", m_compensating}, {"level", describeQuantity(m_level)},
        {"frequency", describeQuantity(m_frequency)}, {"period", describeQuantity(m_period)}};
}
