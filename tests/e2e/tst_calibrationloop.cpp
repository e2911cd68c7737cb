// Closed loop: the simulated chamber sweeps -40..+80 °C while the bench polls six sensors; the
// polynomial each panel fits must be the temperature dependence the simulator was built with.

#include "e2e/simulatedbench.h"

#include <QSpinBox>

using namespace e2e;

namespace {

// How far the fitted curve may stray from the true value(T)/value(20) over -40..+80 °C. A
// reading is off by at most 100 ppm of noise plus half a count (26 ppm of the smallest value,
// some 19300 counts); normalising by the value at 20 °C, off as much, and a ratio of up to 1.1
// make about 280 ppm for a single point, which the least-squares cubic through some 120 points
// averages well down. Neighbouring sensors differ by 1 % or more somewhere in the range, so the
// check cannot pass with another sensor's curve.
constexpr double kTolerance = 300e-6;

double largestGap(const QJsonArray &fitted, const SimModel &model, int sensor, const char *name)
{
    double gap = 0;
    for (int t = -40; t <= 80; ++t)
        gap = std::max(gap, std::abs(polynomial(fitted, t) - model.normalised(sensor, name, t)));
    return gap;
}

} // namespace

class TestCalibrationLoop : public QObject
{
    Q_OBJECT

private slots:
    void fittedCurvesMatchTheSensors_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::newRow("level and period") << 0;
        QTest::newRow("level and frequency") << 1;
    }
    void fittedCurvesMatchTheSensors();
};

void TestCalibrationLoop::fittedCurvesMatchTheSensors()
{
    QFETCH(int, protocol);
    // 1/6 degree per request: every sensor is read at each whole degree on the way up.
    const double step = 1.0 / 6.0;
    SimulatedBench bench(protocol, {"--temp-step-per-poll", QString::number(step, 'g', 17)});
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    for (int n = 0; n < 6; ++n)
        bench.fixture.panel<QSpinBox>(quint8(n), "sbNomPolinom")->setValue(3);
    bench.fixture.pressStart();
    const int polls = int(std::lround(120.0 / step)) + 6;
    for (int tick = 0; tick <= polls; ++tick) {
        bench.tick();
        QVERIFY2(bench.ready(), qPrintable(bench.failure));
    }
    bench.fixture.pressStart();

    // The panel's kinds, in the order of its list: "Период", "Частота", "Уровень".
    const char *names[] = {"period", "frequency", "level"};
    for (int n = 0; n < 6; ++n) {
        QCOMPARE(bench.errors(n), 0);
        const int sensor = 5 - n;
        const int neighbour = n == 0 ? 4 : sensor + 1;
        auto *kinds = bench.fixture.panel<QComboBox>(quint8(n), "cbTypePolinom");
        for (const int item : {2, protocol == 0 ? 0 : 1}) {
            // No refit here: the window refits on every valid reading and change of kind.
            kinds->setCurrentIndex(item);
            QJsonArray fitted;
            for (int i = 0; i < 6; ++i) {
                bool ok = false;
                fitted.append(
                    bench.fixture.panelText(quint8(n), qPrintable(QStringLiteral("leK%1").arg(i)))
                        .toDouble(&ok));
                QVERIFY(ok);
            }
            const double gap = largestGap(fitted, bench.model, sensor, names[item]);
            QVERIFY2(gap < kTolerance,
                qPrintable(
                    QStringLiteral("panel %1, %2: off by %3").arg(n).arg(names[item]).arg(gap)));
            QVERIFY(largestGap(fitted, bench.model, neighbour, names[item]) > 10 * kTolerance);
        }
    }
    QVERIFY(bench.simulator.stop());
}

QTEST_MAIN(TestCalibrationLoop)
#include "tst_calibrationloop.moc"
