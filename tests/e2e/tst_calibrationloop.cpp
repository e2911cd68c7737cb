// Closed loop: the simulated chamber sweeps -40..+80 °C while the bench polls six sensors; the
// polynomial each panel fits must be the temperature dependence the simulator was built with.

#include "e2e/simulatedbench.h"

#include <QSpinBox>

using namespace e2e;

namespace {

const QVector<int> kSimAddresses = {12, 1, 200, 3, 100, 41};

// How far the fitted curve may stray from the true value(T)/value(20) over -40..+80 °C.
// Each reading carries uniform noise of at most 100 ppm and half a count of rounding (under
// 26 ppm of the smallest value in the sweep, some 19300 counts of frequency at +80 °C), so a mid
// value is off by at most 126 ppm. Normalising divides by the mid value at 20 °C, off by as
// much, so a normalised point is off by at most 2 x 126 ppm x 1.1 (the largest ratio in the
// range), about 280 ppm. The least-squares cubic through some 120 such points averages their
// errors down (under 100 ppm is usual); the six significant digits of a coefficient field and
// single precision cost less than 1 ppm. The curves of neighbouring sensors differ by 1 % or
// more somewhere in the range, so the check cannot pass with another sensor's curve.
constexpr double kTolerance = 300e-6;

double fittedAt(const std::array<double, 6> &k, double t)
{
    double sum = 0;
    for (int i = 5; i >= 0; --i)
        sum = sum * t + k[size_t(i)];
    return sum;
}

double largestGap(const std::array<double, 6> &k, const Quantity &truth)
{
    double gap = 0;
    for (int t = -40; t <= 80; ++t)
        gap = std::max(gap, std::abs(fittedAt(k, t) - truth.normalisedAt(t)));
    return gap;
}

} // namespace

class TestCalibrationLoop : public QObject
{
    Q_OBJECT

private slots:
    void fittedCurvesMatchTheSensors_data();
    void fittedCurvesMatchTheSensors();
};

void TestCalibrationLoop::fittedCurvesMatchTheSensors_data()
{
    QTest::addColumn<int>("protocol");
    // Protocol 0 carries level and period, protocol 1 level and frequency.
    QTest::newRow("level and period") << 0;
    QTest::newRow("level and frequency") << 1;
}

void TestCalibrationLoop::fittedCurvesMatchTheSensors()
{
    QFETCH(int, protocol);
    QStringList addresses;
    QVector<int> panelAddress;
    for (int n = 0; n < 6; ++n) {
        addresses << QString::number(kSimAddresses[n]);
        panelAddress << kSimAddresses[5 - n];
    }
    // 1/12 degree per request: every sensor is read twice at each whole degree on the way up.
    const double step = 1.0 / 12.0;
    SimulatedBench bench({"--addresses", addresses.join(','), "--temp-min", "-40", "--temp-max",
                             "80", "--temp-step-per-poll", QString::number(step, 'g', 17)},
        protocol, panelAddress, [](QSettings &settings) {
            for (int n = 0; n < 6; ++n)
                settings.setValue(QStringLiteral("Polynom/PolynomNom%1").arg(n), 3);
        });
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    bench.pressStart();

    const int polls = int(std::lround(120.0 / step)) + 6;
    for (int tick = 0; tick <= polls; ++tick) {
        bench.pollTick();
        QVERIFY2(bench.ready(), qPrintable(bench.failure));
    }
    bench.pressStart();

    // The kinds in the order of the panel's list: "Период", "Частота", "Уровень".
    const QVector<int> items = protocol == 0 ? QVector<int> {2, 0} : QVector<int> {2, 1};
    for (int n = 0; n < 6; ++n) {
        QCOMPARE(bench.errors(n), 0);
        const SimSensor &sensor = bench.model.sensors[5 - n];
        const SimSensor &neighbour = bench.model.sensors[n == 0 ? 4 : 5 - n + 1];
        auto *kinds = bench.panel(n)->findChild<QComboBox *>(QStringLiteral("cbTypePolinom"));
        QCOMPARE(bench.panel(n)->findChild<QSpinBox *>(QStringLiteral("sbNomPolinom"))->value(), 3);
        for (int item : items) {
            kinds->setCurrentIndex(item);
            const Quantity &truth = item == 2 ? sensor.level
                : item == 1                   ? sensor.frequency
                                              : sensor.period;
            const Quantity &other = item == 2 ? neighbour.level
                : item == 1                   ? neighbour.frequency
                                              : neighbour.period;

            // No explicit refit: the window refits on every valid reading and on the change
            // of kind, and the panel shows the result.
            std::array<double, 6> k {};
            for (int i = 0; i < 6; ++i) {
                bool ok = false;
                k[size_t(i)]
                    = bench.panelText(n, qPrintable(QStringLiteral("leK%1").arg(i))).toDouble(&ok);
                QVERIFY(ok);
            }
            const QString where = QStringLiteral("panel %1, %2").arg(n).arg(kinds->currentText());
            QVERIFY2(largestGap(k, truth) < kTolerance,
                qPrintable(where + QStringLiteral(": off by %1").arg(largestGap(k, truth))));
            QVERIFY2(largestGap(k, other) > 10 * kTolerance, qPrintable(where));
        }
    }
    QVERIFY(bench.simulator.stop());
}

QTEST_MAIN(TestCalibrationLoop)
#include "tst_calibrationloop.moc"
