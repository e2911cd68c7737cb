// The uncertainty of a sensor's fit at every degree of its range against the fit itself, in the
// same run: a degree-5 fit through 121 mid values (-40..+80 °C), then its covariance and the
// standard uncertainty at each of the 121 degrees. The median of several rounds of each, and
// their ratio.
#include "fit/fituncertainty.h"
#include "fit/trend.h"

#include <QElapsedTimer>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr int kRounds = 9;
constexpr int kCalls = 2000;

template<class F> double medianMicroseconds(F call)
{
    std::vector<double> rounds;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kCalls; ++i)
            call();
        rounds.push_back(timer.nsecsElapsed() / 1000.0 / kCalls);
    }
    std::nth_element(rounds.begin(), rounds.begin() + kRounds / 2, rounds.end());
    return rounds[kRounds / 2];
}

} // namespace

int main()
{
    QMap<double, double> points;
    for (int t = -40; t <= 80; ++t)
        points.insert(t, 1 + 1e-3 * t + 1e-6 * t * t + 1e-4 * std::sin(t));
    Trend trend;
    double k[6] = {};
    volatile double sink = 0;
    const double fit = medianMicroseconds([&] {
        trend.Calc(&points, 5, k, 1, 0);
        sink = sink + k[0];
    });
    const double uncertainty = medianMicroseconds([&] {
        const FitUncertainty u = FitUncertainty::of(points, 5);
        for (int t = -40; t <= 80; ++t)
            sink = sink + u.standard(t);
    });
    QTextStream(stdout) << QStringLiteral("fit %1 us, uncertainty at 121 degrees %2 us, ratio %3\n")
                               .arg(fit, 0, 'f', 1)
                               .arg(uncertainty, 0, 'f', 1)
                               .arg(uncertainty / fit, 0, 'f', 2);
    return 0;
}
