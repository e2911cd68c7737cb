#include "fit/fituncertainty.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>

FitUncertainty FitUncertainty::of(const QMap<double, double> &points, int degree)
{
    FitUncertainty result;
    QVector<QPair<double, double>> finite;
    double maxX = 0;
    for (auto it = points.cbegin(); it != points.cend(); ++it) {
        if (std::isfinite(it.key()) && std::isfinite(it.value())) {
            finite.append({it.key(), it.value()});
            maxX = std::max(maxX, std::abs(it.key()));
        }
    }
    const int n = finite.size();
    int fitted = (degree >= 1 && degree <= 6) ? degree : 1;
    fitted = std::min(fitted, n - 1);
    const int p = fitted + 1;
    if (fitted < 0 || n - p <= 0)
        return result;

    // The same scaling as the fit: powers of t / 2^e stay within ±1, so the design matrix is
    // well conditioned up to degree 6 over the whole -90..+100 °C.
    if (maxX > 0)
        std::frexp(maxX, &result.xExp);
    Eigen::MatrixXd x(n, p);
    Eigen::VectorXd y(n);
    for (int row = 0; row < n; ++row) {
        const double t = std::ldexp(finite[row].first, -result.xExp);
        double power = 1;
        for (int col = 0; col < p; ++col) {
            x(row, col) = power;
            power *= t;
        }
        y(row) = finite[row].second;
    }
    const Eigen::ColPivHouseholderQR<Eigen::MatrixXd> qr(x);
    if (qr.rank() < p)
        return result;
    const Eigen::VectorXd residuals = x * qr.solve(y) - y;
    result.degree = fitted;
    result.dof = n - p;
    result.s2 = residuals.squaredNorm() / result.dof;
    result.r = qr.matrixR().topLeftCorner(p, p).triangularView<Eigen::Upper>();
    result.permutation = qr.colsPermutation().indices();
    return result;
}

double FitUncertainty::standard(double t) const
{
    if (!isValid())
        return 0;
    const int p = degree + 1;
    const double scaled = std::ldexp(t, -xExp);
    Eigen::VectorXd powers(p);
    double power = 1;
    for (int i = 0; i < p; ++i) {
        powers(i) = power;
        power *= scaled;
    }
    // xᵀ(XᵀX)⁻¹x = ‖R⁻ᵀPᵀx‖² for X·P = Q·R.
    Eigen::VectorXd v(p);
    for (int j = 0; j < p; ++j)
        v(j) = powers(permutation(j));
    r.transpose().triangularView<Eigen::Lower>().solveInPlace(v);
    return std::sqrt(s2) * v.norm();
}

double FitUncertainty::meanScatter(const std::set<quint32> &values)
{
    const double n = values.size();
    if (n < 2)
        return 0;
    double mean = 0;
    for (quint32 value : values)
        mean += value;
    mean /= n;
    double squares = 0;
    for (quint32 value : values)
        squares += (value - mean) * (value - mean);
    return std::sqrt(squares / (n - 1) / n);
}

double FitUncertainty::expandedPercent(double uFit, double uMean)
{
    return coverageFactor * std::hypot(uFit, uMean) * 100.0;
}
