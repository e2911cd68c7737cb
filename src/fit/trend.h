#pragma once

#include <QMap>
#include <QObject>
#include <QPointF>
#include <QVector>

#include <array>

// Least-squares polynomial of the sensor's relative value against temperature (°C), sampled at
// every whole degree of the sensor's working range. The coefficients c0..c5 are the K0..K5
// written into the sensor, so they are always those of powers of the temperature in °C.
class Trend : public QObject
{
    Q_OBJECT

public:
    explicit Trend(QObject *parent = nullptr);

    static constexpr int kMaxDegree = 6;
    static constexpr int kCopiedCoefficients = 6; // c0..c5; c6 stays inside
    static constexpr double kFirstSample = -90.0;
    static constexpr double kLastSample = 100.0;
    static constexpr int kSamples = 191;

public slots:
    // Fits a polynomial of `degree` (1..6) through `points` (temperature -> value) and returns
    // the curve multi * P(T) - minus at T = -90, -89, ..., +100. The returned map belongs to
    // this object and is overwritten by the next call. k[0..5] receive c0..c5 (c6 of a
    // degree-6 fit is used for the curve only); coefficients above the fitted degree are 0.
    //
    // Points with a non-finite temperature or value are ignored. When the distinct
    // temperatures cannot determine the requested degree, the highest degree they can
    // determine is fitted instead (one point: the constant through it; none: zero).
    // A degree outside 1..6 is treated as 1.
    QMap<double, double> *Calc(
        QMap<double, double> *points, uchar degree, double *k, double multi, double minus);

private:
    using Coefficients = std::array<double, kMaxDegree + 1>;

    bool fit(int degree);
    bool sample(double multi, double minus);

    Coefficients coefficients {};
    QVector<QPointF> pointList;
    QMap<double, double> result;
};
