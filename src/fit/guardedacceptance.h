#pragma once

#include <QMap>
#include <QString>

// The decision rule of a calibration that states pass or fail: a sensor passes only when the
// whole uncertainty interval of every residual lies inside the tolerance, |residual| + U ≤
// tolerance at every covered degree, and its coefficients were written and read back equal.
// A residual near the limit thus fails rather than passes by luck (guarded acceptance, the
// acceptance zone shrunk by U). Residuals and U are in % of the +20 °C value.
class GuardedAcceptance
{
public:
    struct Decision
    {
        bool pass = false;
        // Why it failed, in words for the certificate; empty when it passed.
        QString reason;
        // The covered degree that came closest to the limit (or crossed it), and its margin
        // |residual| + U; worstDegree is meaningless without any degree.
        int worstDegree = 0;
        double worstMargin = 0;
    };

    // A degree without U, or with a U that is not a finite number, cannot be shown to lie
    // within the tolerance and fails.
    static Decision decide(const QMap<int, double> &residualPercent,
        const QMap<int, double> &expandedPercent, double tolerancePercent, bool writeVerified);

    // The rule in words, as the certificate states it.
    static QString ruleText(double tolerancePercent);
};
