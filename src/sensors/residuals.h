#pragma once

#include <QMap>

#include <array>

// How well six coefficients correct a sensor: at every degree of lo..hi that has a mid value,
// |K0 + K1·T + … + K5·T^5 − mid(T) / mid(20)|, in % of the +20 °C mid value, with the largest
// of them and their root mean square. Not valid without a non-zero mid value at 20 °C or
// without any covered degree.
class Residuals
{
public:
    using Coefficients = std::array<double, 6>;

    static Residuals of(const QMap<qint8, quint32> &midl, int lo, int hi, const Coefficients &k);

    bool isValid() const { return !perDegree.isEmpty(); }
    const QMap<int, double> &byDegree() const { return perDegree; }
    double largest() const { return maxPercent; }
    double rms() const { return rmsPercent; }

private:
    QMap<int, double> perDegree;
    double maxPercent = 0;
    double rmsPercent = 0;
};
