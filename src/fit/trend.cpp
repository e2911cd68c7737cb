#include "fit/trend.h"

#include "fit/polynomial.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

namespace {

// Power-of-two exponent e such that |value| <= 2^e. Scaling by a power of two is exact, so
// the scaled fit can be converted back to °C coefficients without any rounding.
int scaleExponent(double maxAbs)
{
    if (maxAbs == 0.0)
        return 0;
    int exponent = 0;
    std::frexp(maxAbs, &exponent);
    return exponent;
}

} // namespace

Trend::Trend(QObject *parent)
    : QObject(parent)
{ }

QMap<double, double> *Trend::Calc(
    QMap<double, double> *points, uchar degree, double *k, double multi, double minus)
{
    pointList.clear();
    if (points) {
        pointList.reserve(points->size());
        for (auto it = points->cbegin(); it != points->cend(); ++it) {
            if (std::isfinite(it.key()) && std::isfinite(it.value()))
                pointList.append(QPointF(it.key(), it.value()));
        }
    }

    // The map keys are distinct temperatures, so n points determine at most degree n - 1.
    int fitted = (degree >= 1 && degree <= kMaxDegree) ? degree : 1;
    fitted = std::min(fitted, int(pointList.size()) - 1);

    // Extreme inputs can overflow in the °C coefficients or in the samples even though the fit
    // itself is sound; a lower degree is then the best finite answer.
    for (; fitted >= 0; --fitted) {
        if (fit(fitted) && sample(multi, minus))
            break;
    }
    if (fitted < 0) {
        coefficients.fill(0.0);
        sample(multi, minus);
    }

    if (k)
        std::copy_n(coefficients.cbegin(), kCopiedCoefficients, k);
    return &result;
}

bool Trend::fit(int degree)
{
    coefficients.fill(0.0);

    // Least squares on the Vandermonde matrix in t = x / 2^xExp (|t| <= 1) with the values
    // scaled by 2^yExp: column-pivoted QR needs no power sums, so symmetric temperature sets
    // and degree 6 over -90..+100 °C are solved to working precision.
    const int n = pointList.size();
    double maxX = 0.0;
    double maxY = 0.0;
    for (const QPointF &point : pointList) {
        maxX = std::max(maxX, std::abs(point.x()));
        maxY = std::max(maxY, std::abs(point.y()));
    }
    const int xExp = scaleExponent(maxX);
    const int yExp = scaleExponent(maxY);

    Eigen::MatrixXd vandermonde(n, degree + 1);
    Eigen::VectorXd values(n);
    for (int row = 0; row < n; ++row) {
        const double t = std::ldexp(pointList[row].x(), -xExp);
        double power = 1.0;
        for (int col = 0; col <= degree; ++col) {
            vandermonde(row, col) = power;
            power *= t;
        }
        values(row) = std::ldexp(pointList[row].y(), -yExp);
    }

    const Eigen::VectorXd scaled = vandermonde.colPivHouseholderQr().solve(values);
    for (int i = 0; i <= degree; ++i) {
        coefficients[i] = std::ldexp(scaled(i), yExp - i * xExp);
        if (!std::isfinite(coefficients[i]))
            return false;
    }
    return true;
}

bool Trend::sample(double multi, double minus)
{
    // The keys stay from call to call; only the values are rewritten.
    if (result.size() != kSamples || result.firstKey() != kFirstSample) {
        result.clear();
        for (double t = kFirstSample; t <= kLastSample; t += 1.0)
            result.insert(t, 0.0);
    }

    bool finite = true;
    for (auto it = result.begin(); it != result.end(); ++it) {
        const double p = Polynomial::at(coefficients.data(), int(coefficients.size()), it.key());
        it.value() = multi * p - minus;
        finite = finite && std::isfinite(it.value());
    }
    return finite;
}
