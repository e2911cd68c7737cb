#pragma once

#include <QJsonObject>
#include <QtGlobal>
#include <array>
#include <optional>
#include <random>

// One fuel-level sensor in the thermal chamber. Each measured quantity follows a known
// temperature dependence around the reference temperature of 20 °C,
//     value(T) = base · (1 + d1·(T−20) + d2·(T−20)² + d3·(T−20)³),
// evaluated at the whole degree the sensor reports, so value(20) = base exactly and the
// normalised curve value(T)/value(20) is a plain cubic whose coefficients are published by
// describe(). A uniform noise of ±noisePpm of the value is added on top; being symmetric it
// leaves the middle of the values seen at one temperature on the curve.
//
// A sensor that holds coefficients K0..K5 other than all zeros compensates, as the bench's fit
// expects: it reports value(T) / P(T), P(T) = K0 + K1·T + … + K5·T⁵ worked out in single
// precision, so once the bench has written its fit of value(T)/value(20) the output stays at
// value(20) over the whole range. A sensor made raw keeps its coefficients but ignores them.
class SimulatedSensor
{
public:
    static constexpr int referenceTemperature = 20;
    static constexpr int coefficientCount = 6;

    struct Quantity
    {
        double base = 0.0;
        std::array<double, 4> drift {1.0, 0.0, 0.0, 0.0}; // powers of (T − 20), drift[0] = 1

        double at(double temperature) const;
        // value(T)/value(20) as coefficients of T⁰..T⁵ (the two highest are zero).
        std::array<double, 6> normalisedInT() const;
    };

    struct Reading
    {
        qint8 temperature = 0;
        quint16 level = 0;
        quint16 frequency = 0;
        quint32 period = 0;
    };

    // index (0-based position on the line) selects the sensor's own dependence; seed makes
    // its noise repeatable.
    SimulatedSensor(int index, quint8 address, double noisePpm, quint64 seed);

    int index() const { return m_index; }
    quint8 address() const { return m_address; }
    const Quantity &level() const { return m_level; }
    const Quantity &frequency() const { return m_frequency; }
    const Quantity &period() const { return m_period; }

    // One measurement at the given chamber temperature; draws fresh noise.
    Reading read(double chamberTemperature);

    // A raw sensor stores and reads back its coefficients but never applies them.
    void setCompensating(bool on) { m_compensating = on; }
    bool compensating() const { return m_compensating; }
    // P(T) of the coefficients held, in single precision; nothing while they are all zero
    // (a fresh sensor) or the sensor is raw.
    std::optional<float> correction(int temperature) const;

    // Calibration coefficients by wire index 0..5, kept as the raw IEEE-754 bits that were
    // written so that any value, NaN included, reads back exactly. A fresh sensor holds zeros.
    bool storeCoefficient(quint8 wireIndex, quint32 valueBits);
    std::optional<quint32> coefficient(quint8 wireIndex) const;

    QJsonObject describe() const;

private:
    double noisy(double exact);
    double compensated(double raw, const std::optional<float> &p) const;

    int m_index = 0;
    quint8 m_address = 0;
    double m_noisePpm = 0.0;
    Quantity m_level;
    Quantity m_frequency;
    Quantity m_period;
    std::array<quint32, coefficientCount> m_coefficients {};
    bool m_compensating = true;
    std::mt19937_64 m_noise;
};
