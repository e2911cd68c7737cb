#include "sensors/chambertrend.h"

#include <QtTest>

#include <cmath>
#include <functional>

namespace {

// The chamber as the sensors report it: whole degrees every 10 s from minute `from` for
// `minutes`, following profile(minute).
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
        // Warming by 0.5 °C/min: at 25 °C after 10 min, 110 min to go up to 80 °C; the
        // degrees below wait for the way back.
        ChamberTrend rising;
        play(rising, 0, 10, [](double m) { return 20 + 0.5 * m; });
        QVERIFY(qAbs(rising.ratePerMinute() - 0.5) < 0.03 && qAbs(rising.temperature() - 25) < 0.5);
        const ChamberTrend::Estimate up = rising.estimate({{-40, 19}, {26, 80}});
        QVERIFY(up.valid && up.target == 80 && qAbs(up.minutes - 110) < 8);
        QVERIFY(!rising.estimate({{-40, 19}}).valid);

        // Cooling by 1 °C/min from 25 °C: 55 min down to -40 °C.
        ChamberTrend falling;
        play(falling, 0, 10, [](double m) { return 25 - m; });
        const ChamberTrend::Estimate down = falling.estimate({{-40, -10}, {30, 80}});
        QVERIFY(down.valid && down.target == -40 && qAbs(down.minutes - 55) < 3);

        // Standing at 23 °C with a sensor a degree off now and then: no estimate.
        ChamberTrend still;
        play(still, 0, 10, [](double m) { return std::fmod(m, 1.0) < 0.2 ? 24 : 23; });
        QVERIFY(still.isStill() && !still.estimate({{-40, 19}, {26, 80}}).valid);

        // Up for 20 min, then down: once the last minutes are all on the way down only the
        // missing degrees below count.
        ChamberTrend turning;
        play(turning, 0, 20, [](double m) { return 20 + 0.5 * m; });
        play(turning, 20, 8, [](double m) { return 30 - (m - 20); });
        QVERIFY(qAbs(turning.ratePerMinute() + 1) < 0.05);
        QVERIFY(!turning.estimate({{40, 80}}).valid);
        QCOMPARE(turning.estimate({{-40, 0}, {40, 80}}).target, -40);

        // Readings closer together than half a minute give no rate; a clock that went back
        // starts afresh.
        ChamberTrend early;
        play(early, 0, 0.4, [](double m) { return 21 + m; });
        QVERIFY(early.hasTemperature() && !early.hasRate());
        early.add(1000, 30);
        QVERIFY(early.temperature() == 30.0);
    }
};

QTEST_GUILESS_MAIN(TestChamberTrend)
#include "tst_chambertrend.moc"
