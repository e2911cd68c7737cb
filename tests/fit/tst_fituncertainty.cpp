#include "fit/fituncertainty.h"
#include "fit/guardedacceptance.h"
#include "fit/trend.h"

#include <QtTest>

#include <cmath>
#include <random>

class TestFitUncertainty : public QObject
{
    Q_OBJECT

private slots:
    // A straight line through (0,0) (1,1) (2,1) (3,3), worked by hand: ŷ = -0.1 + 0.9x, residual
    // sum of squares 0.70, s² = 0.35, Sxx = 5, and u(x0)² = s²(1/n + (x0 - 1.5)²/Sxx).
    void lineByHand()
    {
        const auto fit = FitUncertainty::of({{0, 0}, {1, 1}, {2, 1}, {3, 3}}, 1);
        QVERIFY(fit.isValid());
        QCOMPARE(fit.degreesOfFreedom(), 2);
        QVERIFY(std::abs(fit.residualVariance() - 0.35) < 1e-12);
        QVERIFY(std::abs(fit.standard(0) - std::sqrt(0.35 * 0.7)) < 1e-12);
        QVERIFY(std::abs(fit.standard(1.5) - std::sqrt(0.35 * 0.25)) < 1e-12);

        // Two points fix a line exactly and leave nothing to estimate s² from.
        QVERIFY(!FitUncertainty::of({{0, 0}, {1, 1}}, 1).isValid());
        // Readings 10, 12, 14: standard deviation 2, of the mean 2/√3; U = 2·√(a² + b²)·100 %.
        QVERIFY(std::abs(FitUncertainty::meanScatter({10, 12, 14}) - 2 / std::sqrt(3.0)) < 1e-12);
        QVERIFY(std::abs(FitUncertainty::expandedPercent(3e-4, 4e-4) - 0.1) < 1e-12);
    }

    // A cubic sensor curve with normal noise, fitted by Trend many times: the spread of the
    // fitted values must match the uncertainty the covariance predicts (mean of u² against
    // the observed variance, within 10 %, about three standard errors of 2000 runs).
    void cubicMonteCarlo()
    {
        const double sigma = 1e-3;
        auto truth
            = [](double t) { return 1 + 1.2e-3 * (t - 20) - 8e-6 * t * t + 3e-8 * t * t * t; };
        const QVector<double> at {-40, 0, 20, 75};
        std::mt19937 random(20261208);
        std::normal_distribution<double> noise(0, sigma);
        Trend trend;
        const int runs = 2000;
        QVector<double> sum(at.size()), squares(at.size()), predicted(at.size());
        for (int run = 0; run < runs; ++run) {
            QMap<double, double> points;
            for (int t = -40; t <= 80; t += 10)
                points.insert(t, truth(t) + noise(random));
            double k[6] = {};
            trend.Calc(&points, 3, k, 1, 0);
            const auto fit = FitUncertainty::of(points, 3);
            for (int i = 0; i < at.size(); ++i) {
                const double t = at[i];
                const double y = k[0] + t * (k[1] + t * (k[2] + t * k[3]));
                sum[i] += y;
                squares[i] += y * y;
                predicted[i] += fit.standard(t) * fit.standard(t);
            }
        }
        for (int i = 0; i < at.size(); ++i) {
            const double mean = sum[i] / runs;
            const double observed = squares[i] / runs - mean * mean;
            const double ratio = (predicted[i] / runs) / observed;
            QVERIFY2(std::abs(ratio - 1) < 0.1, qPrintable(QString::number(ratio)));
        }
    }

    void guardedAcceptance_data()
    {
        QTest::addColumn<double>("residual20");
        QTest::addColumn<double>("u20");
        QTest::addColumn<bool>("verified");
        QTest::addColumn<bool>("pass");
        QTest::addColumn<int>("worst");
        QTest::newRow("inside") << 0.1 << 0.2 << true << true << 0;
        QTest::newRow("residual inside, with U outside") << 0.3 << 0.25 << true << false << 20;
        QTest::newRow("write not verified") << 0.1 << 0.1 << false << false << 0;
        QTest::newRow("U unknown") << 0.1 << qQNaN() << true << false << 20;
    }
    // Tolerance 0.5 %; 0 °C has residual 0.3 and U 0.1 in every row.
    void guardedAcceptance()
    {
        QFETCH(double, residual20);
        QFETCH(double, u20);
        QFETCH(bool, verified);
        QFETCH(bool, pass);
        QFETCH(int, worst);
        const auto decision = GuardedAcceptance::decide(
            {{0, 0.3}, {20, residual20}}, {{0, 0.1}, {20, u20}}, 0.5, verified);
        QCOMPARE(decision.pass, pass);
        QCOMPARE(decision.reason.isEmpty(), pass);
        QCOMPARE(decision.worstDegree, worst);
        QVERIFY(!GuardedAcceptance::decide({}, {}, 0.5, true).pass);
    }
};

QTEST_GUILESS_MAIN(TestFitUncertainty)
#include "tst_fituncertainty.moc"
