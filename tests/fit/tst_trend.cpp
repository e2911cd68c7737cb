#include "fit/trend.h"

#include <QtTest>

#include <algorithm>
#include <cmath>

namespace {

using Points = QMap<double, double>;

// q(T) = a0 + a1 T + ... + a6 T^6 for the first degree + 1 coefficients.
double poly(const QVector<double> &a, double t)
{
    double p = 0.0;
    for (int i = a.size() - 1; i >= 0; --i)
        p = p * t + a[i];
    return p;
}

// A thermal-chamber-like temperature dependence, each term contributing a few per cent.
const QVector<double> kSensorCurve {1.0, 1.2e-3, -8e-6, 3e-8, 2e-10, -1.5e-12, 4e-15};

// NIST StRD linear regression sets Wampler1..Wampler5 (Wampler, 1970): y at x = 0, 1, ..., 20,
// fitted by a degree-5 polynomial. Wampler1 and 2 lie exactly on 1 + x + ... + x^5 and
// 1 + 0.1 x + ... + 1e-5 x^5; 3 to 5 add to Wampler1 a noise that is orthogonal to every power
// up to x^5 and 1, 100 and 10^4 times as large, so their certified coefficients are all 1.
// clang-format off
const QVector<double> kWampler1 {1, 6, 63, 364, 1365, 3906, 9331, 19608, 37449, 66430, 111111,
    177156, 271453, 402234, 579195, 813616, 1118481, 1508598, 2000719, 2613660, 3368421};
const QVector<double> kWampler2 {1.00000, 1.11111, 1.24992, 1.42753, 1.65984, 1.96875, 2.38336,
    2.94117, 3.68928, 4.68559, 6.00000, 7.71561, 9.92992, 12.75603, 16.32384, 20.78125, 26.29536,
    33.05367, 41.26528, 51.16209, 63.00000};
const QVector<double> kWampler3 {760, -2042, 2111, -1684, 3888, 1858, 11379, 17560, 39287, 64382,
    113159, 175108, 273291, 400186, 581243, 811568, 1121004, 1506550, 2002767, 2611612, 3369180};
const QVector<double> kWampler4 {75901, -204794, 204863, -204436, 253665, -200894, 214131,
    -185192, 221249, -138370, 315911, -27644, 455253, 197434, 783995, 608816, 1370781, 1303798,
    2205519, 2408860, 3444321};
const QVector<double> kWampler5 {7590001, -20479994, 20480063, -20479636, 25231365, -20476094,
    20489331, -20460392, 18417449, -20413570, 20591111, -20302844, 18651453, -20077766, 21059195,
    -19666384, 26348481, -18971402, 22480719, -17866340, 10958421};
// clang-format on

} // namespace

class TestTrend : public QObject
{
    Q_OBJECT

private slots:
    // The curve is the fit scaled and shifted over -90..+100 °C; degree 6 copies out only
    // c0..c5, and a later lower fit clears the rest.
    void wellPosedFits()
    {
        Trend trend;
        double k[7] = {9, 9, 9, 9, 9, 9, 42}; // k[6] must never be written
        Points line {{0, 1}, {10, 2}};
        Points *curve = trend.Calc(&line, 1, k, 3, 5);
        QVERIFY(std::abs(k[0] - 1) < 1e-12 && std::abs(k[1] - 0.1) < 1e-12 && k[2] == 0.0);
        QVERIFY(std::abs(curve->value(-90) - (3 * (1 - 9) - 5)) < 1e-9);

        Points sweep;
        for (double t = -60; t <= 90; t += 10)
            sweep.insert(t, poly(kSensorCurve, t));
        curve = trend.Calc(&sweep, 6, k, 1, 0);
        QCOMPARE(k[6], 42.0);
        QVERIFY(std::abs(curve->value(100) - poly(kSensorCurve, 100)) < 1e-9);
        trend.Calc(&line, 2, k, 1, 0);
        QVERIFY(k[3] == 0.0 && k[4] == 0.0 && k[5] == 0.0);
    }

    void degenerateInputs()
    {
        Trend trend;
        double k[6];

        Points single {{20, 1.0}};
        Points *curve = trend.Calc(&single, 1, k, 100, 100);
        QVERIFY(k[0] == 1.0 && k[1] == 0.0);

        // Two temperatures at degree 5: the line through them, not a wild quintic.
        Points two {{0, 1.0}, {20, 1.2}};
        trend.Calc(&two, 5, k, 1, 0);
        QVERIFY(std::abs(k[1] - 0.01) < 1e-14 && k[2] == 0.0 && k[5] == 0.0);

        // Nothing usable: all coefficients 0, curve at -minus. Non-finite points are dropped.
        Points empty;
        Points junk {{qInf(), 2.0}, {0, qQNaN()}, {5, -qInf()}};
        for (Points *input : {&empty, &junk, static_cast<Points *>(nullptr)}) {
            for (uchar degree : {1, 3, 6}) {
                curve = trend.Calc(input, degree, k, 100, 100);
                QVERIFY(std::all_of(k, k + 6, [](double c) { return c == 0.0; }));
                QVERIFY(std::all_of(
                    curve->cbegin(), curve->cend(), [](double v) { return v == -100; }));
            }
        }
        junk.insert(20, 1.5);
        trend.Calc(&junk, 2, k, 1, 0);
        QCOMPARE(k[0], 1.5);

        // Unsupported degrees fit a line. That no input, huge values and factors included, gives
        // inf or NaN in the curve or the coefficients, the trend fuzz target checks.
        Points line {{0, 1}, {10, 2}, {20, 4}};
        trend.Calc(&line, 0, k, 1, 0);
        QVERIFY(k[1] > 0 && k[2] == 0.0);
    }

    // Every certified digit of Wampler1 and 3 to 5 (15), whose data are whole numbers and so
    // exact in binary. Wampler2's decimal values are not: the exact least-squares solution of
    // their nearest doubles differs from the certified one from the 14th digit (K3: 13.2
    // digits), so 13 are checked there. The residual standard deviation, from the sampled
    // curve, to 14 of its 15 digits.
    void wampler_data()
    {
        QTest::addColumn<QVector<double>>("y");
        QTest::addColumn<QVector<double>>("certified");
        QTest::addColumn<double>("residualSd");
        QTest::addColumn<int>("digits");

        const QVector<double> ones(6, 1.0);
        QTest::newRow("Wampler1") << kWampler1 << ones << 0.0 << 15;
        QTest::newRow("Wampler2") << kWampler2 << QVector<double> {1, 0.1, 0.01, 1e-3, 1e-4, 1e-5}
                                  << 0.0 << 13;
        QTest::newRow("Wampler3") << kWampler3 << ones << 2360.14502379268 << 15;
        QTest::newRow("Wampler4") << kWampler4 << ones << 236014.502379268 << 15;
        QTest::newRow("Wampler5") << kWampler5 << ones << 23601450.2379268 << 15;
    }

    void wampler()
    {
        QFETCH(QVector<double>, y);
        QFETCH(QVector<double>, certified);
        QFETCH(double, residualSd);
        QFETCH(int, digits);

        Points points;
        for (int x = 0; x < y.size(); ++x)
            points.insert(x, y[x]);
        Trend trend;
        double k[6];
        const Points *curve = trend.Calc(&points, 5, k, 1, 0);
        const double tolerance = std::pow(10.0, -digits);
        for (int i = 0; i < 6; ++i)
            QVERIFY2(std::abs(k[i] - certified[i]) <= tolerance * std::abs(certified[i]),
                qPrintable(QString("K%1 = %2").arg(i).arg(k[i], 0, 'g', 17)));
        double squares = 0;
        for (int x = 0; x < y.size(); ++x)
            squares += std::pow(y[x] - curve->value(x), 2);
        const double sd = std::sqrt(squares / (y.size() - 6));
        // An exact set leaves only rounding: far below one unit in the last place of its y.
        const double sdTolerance = residualSd > 0 ? 1e-14 * residualSd : 1e-15 * y.last();
        QVERIFY2(
            std::abs(sd - residualSd) <= sdTolerance, qPrintable(QString::number(sd, 'g', 17)));
    }

    void recovery_data()
    {
        QTest::addColumn<int>("degree");
        QTest::addColumn<QVector<double>>("temps");

        QVector<double> chamber, full;
        for (int t = -40; t <= 80; ++t)
            chamber << t;
        for (int t = -90; t <= 100; ++t)
            full << t;
        const QVector<double> sparse {-30, -5, 20, 45, 70, 85, 95};
        for (int degree = 1; degree <= 6; ++degree) {
            QTest::addRow("chamber-%d", degree) << degree << chamber;
            QTest::addRow("sparse-%d", degree) << degree << sparse;
        }
        QTest::addRow("full-6") << 6 << full;
    }

    // A chamber sweep sampled from a known polynomial and normalised to 1 at 20 °C, as the
    // sensor panel does. Exact data must give back the polynomial; noisy data must give the
    // least-squares fit, checked by the residual being orthogonal to every power of T.
    void recovery()
    {
        QFETCH(int, degree);
        QFETCH(QVector<double>, temps);
        const QVector<double> a = kSensorCurve.mid(0, degree + 1);
        const double at20 = poly(a, 20);
        const double range = 100; // |T| bound of every set

        Trend trend;
        double k[6];
        Points exact, noisy;
        for (double t : temps) {
            exact.insert(t, poly(a, t) / at20);
            noisy.insert(t, poly(a, t) / at20 + 1e-3 * std::sin(1.7 * t));
        }

        // Each term's error over the range stays below 1e-9 of the value (≈ 1): far under the
        // 6e-8 a single-precision K in the sensor can hold, and well above the ~1e-12 that a
        // backward-stable solve reaches on these sets.
        trend.Calc(&exact, uchar(degree), k, 1, 0);
        for (int i = 0; i < std::min(degree + 1, 6); ++i)
            QVERIFY2(std::abs(k[i] - a[i] / at20) * std::pow(range, i) < 1e-9,
                qPrintable(QString("c%1 = %2").arg(i).arg(k[i], 0, 'g', 17)));

        Points *curve = trend.Calc(&noisy, uchar(degree), k, 1, 0);
        QVector<double> residual;
        for (double t : temps)
            residual << noisy.value(t) - curve->value(t);
        for (int j = 0; j <= degree; ++j) {
            double dot = 0, pp = 0;
            for (int i = 0; i < temps.size(); ++i) {
                const double p = std::pow(temps[i] / range, j);
                dot += residual[i] * p;
                pp += p * p;
            }
            // Measured against the size of the noise, since seven points at degree 6 leave none.
            const double noise = 1e-3 * std::sqrt(double(temps.size()));
            QVERIFY2(std::abs(dot) < 1e-9 * noise * std::sqrt(pp), qPrintable(QString::number(j)));
        }
    }
};

QTEST_APPLESS_MAIN(TestTrend)
#include "tst_trend.moc"
