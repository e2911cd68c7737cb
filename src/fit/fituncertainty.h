#pragma once

#include <QMap>
#include <QtGlobal>

#include <Eigen/Core>

#include <set>

// How uncertain a least-squares polynomial is where it is used. The fit is that of Trend (the
// same points, the same lowering of a degree the points cannot determine); its parameter
// covariance is s²(XᵀX)⁻¹, s² the residual variance Σr²/(n − p), so the standard uncertainty
// of the fitted value at temperature t is s·‖R⁻ᵀPᵀx(t)‖ for the column-pivoted X·P = Q·R and
// x(t) = (1, t, t², …). Everything is in the units of the fitted values: for a sensor, its mid
// values divided by the one at +20 °C.
class FitUncertainty
{
public:
    // The coverage factor of the expanded uncertainty (about 95 % for a normal distribution).
    static constexpr double coverageFactor = 2.0;

    // Fits `degree` (1..6, anything else 1) through the finite points. Not valid without a
    // point more than the coefficients fitted: the residuals then say nothing about s².
    static FitUncertainty of(const QMap<double, double> &points, int degree);

    bool isValid() const { return dof > 0; }
    int degreesOfFreedom() const { return dof; }
    int fittedDegree() const { return degree; }
    double residualVariance() const { return s2; }
    // The standard uncertainty of the fitted value at t (0 when not valid).
    double standard(double t) const;

    // The standard deviation of the mean of the values read at one degree, in their own units;
    // 0 with fewer than two values.
    static double meanScatter(const std::set<quint32> &values);
    // The expanded uncertainty (k = 2) in % of the +20 °C value, of a fitted value with
    // standard uncertainty uFit and a mean with standard uncertainty uMean, both already
    // divided by the +20 °C value.
    static double expandedPercent(double uFit, double uMean);

private:
    int degree = 0;
    int dof = 0;
    int xExp = 0; // temperatures enter as t / 2^xExp, |t / 2^xExp| <= 1
    double s2 = 0;
    Eigen::MatrixXd r; // upper triangle of the QR of the scaled design matrix
    Eigen::VectorXi permutation; // column j of X·P is column permutation[j] of X
};
