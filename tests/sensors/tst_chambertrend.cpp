#include "sensors/chambertrend.h"

#include <QtTest>

#include <cmath>
#include <functional>

namespace {

using Runs = QVector<Coverage::Run>;

// The chamber as the sensors report it: whole degrees every 10 s for `minutes`, following
// `profile` (°C at minute m) from start on.
void play(ChamberTrend &trend, double from, double minutes, std::function<double(double)> profile)
{
    for (double m = from; m <= from + minutes + 1e-9; m += 1.0 / 6.0)
        trend.add(qRound64(m * 60000), std::round(profile(m)));
}

} // namespace

class TestChamberTrend : public QObject
{
    Q_OBJECT

private slots:
    void rateAndTimeLeft()
    {
        const Runs both {{-40, 19}, {26, 80}};

        // Warming by 0.5 °C/min from 20 °C: at 25 °C after 10 min, 55 °C to go up to 80 °C.
        ChamberTrend rising;
        play(rising, 0, 10, [](double m) { return 20 + 0.5 * m; });
        QVERIFY(qAbs(rising.ratePerMinute() - 0.5) < 0.03);
        QVERIFY(qAbs(rising.temperature() - 25) < 0.5);
        ChamberTrend::Estimate e = rising.estimate(both);
        QVERIFY(e.valid);
        QCOMPARE(e.target, 80);
        QVERIFY2(qAbs(e.minutes - 110) < 8, qPrintable(QString::number(e.minutes)));
        // Nothing missing ahead: the degrees below wait for the way back.
        QVERIFY(!rising.estimate({{-40, 19}}).valid);

        // Cooling by 1 °C/min: down to -40 °C, 55 min from 15 °C.
        ChamberTrend falling;
        play(falling, 0, 10, [](double m) { return 25 - m; });
        QVERIFY(qAbs(falling.ratePerMinute() + 1) < 0.03);
        e = falling.estimate({{-40, -10}, {30, 80}});
        QVERIFY(e.valid);
        QCOMPARE(e.target, -40);
        QVERIFY(qAbs(e.minutes - 55) < 3);

        // Standing at 23 °C, with one sensor a degree off now and then: no estimate.
        ChamberTrend still;
        play(still, 0, 10, [](double m) { return std::fmod(m, 1.0) < 0.2 ? 24 : 23; });
        QVERIFY(still.hasRate());
        QVERIFY2(still.isStill(), qPrintable(QString::number(still.ratePerMinute())));
        QVERIFY(!still.estimate(both).valid);

        // Up for 20 min, then down: once the last minutes are all on the way down, the rate is
        // negative and only the missing degrees below count.
        ChamberTrend turning;
        play(turning, 0, 20, [](double m) { return 20 + 0.5 * m; });
        play(turning, 20, 8, [](double m) { return 30 - (m - 20); });
        QVERIFY(qAbs(turning.ratePerMinute() + 1) < 0.05);
        QVERIFY(!turning.estimate({{40, 80}}).valid);
        QCOMPARE(turning.estimate({{-40, 0}, {40, 80}}).target, -40);
    }

    void tooFewReadings()
    {
        // One reading, or readings closer together than half a minute, give no rate yet.
        ChamberTrend trend;
        QVERIFY(!trend.hasTemperature());
        trend.add(0, 21);
        QVERIFY(trend.hasTemperature() && !trend.hasRate());
        QCOMPARE(trend.temperature(), 21.0);
        trend.add(10000, 22);
        trend.add(20000, 23);
        QVERIFY(!trend.hasRate());
        QVERIFY(!trend.estimate({{30, 80}}).valid);
        trend.add(40000, 24);
        QVERIFY(trend.hasRate());

        // A clock that went back starts afresh; readings older than the window go.
        trend.add(5000, 30);
        QVERIFY(!trend.hasRate());
        QCOMPARE(trend.temperature(), 30.0);
        trend.add(5000 + ChamberTrend::defaultWindowMs + 1, 40);
        QCOMPARE(trend.temperature(), 40.0);
    }
};

QTEST_GUILESS_MAIN(TestChamberTrend)
#include "tst_chambertrend.moc"
