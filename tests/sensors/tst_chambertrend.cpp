#include "sensors/chambertrend.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// The chamber as one sensor reports it: whole degrees every 10 s from minute `from` for
// `minutes`, following profile(minute).
void play(ChamberTrend &trend, double from, double minutes, std::function<double(double)> profile)
{
    for (double m = from; m <= from + minutes + 1e-9; m += 1.0 / 6.0)
        trend.add(qRound64(m * 60000), 0, std::round(profile(m)));
}

} // namespace

class TestChamberTrend : public QObject
{
    Q_OBJECT

private slots:
    void rateAndTimeLeft()
    {
        // Warming by 0.5 °C/min: at 25 °C after 10 min, 110 min to go up to 80 °C; the
        // degrees below wait for the way back. (Cooling: the recorded turnaround below.)
        ChamberTrend rising;
        play(rising, 0, 10, [](double m) { return 20 + 0.5 * m; });
        QVERIFY(qAbs(rising.ratePerMinute() - 0.5) < 0.03 && qAbs(rising.temperature() - 25) < 0.5);
        const ChamberTrend::Estimate up = rising.estimate({{-40, 19}, {26, 80}});
        QVERIFY(up.valid && up.target == 80 && qAbs(up.minutes - 110) < 8);
        QCOMPARE(up.behind, (QVector<Coverage::Run> {{-40, 19}}));
        QVERIFY(!rising.estimate({{-40, 19}}).valid);

        // Standing at 23 °C with a sensor a degree off now and then: no estimate.
        ChamberTrend still;
        play(still, 0, 10, [](double m) { return std::fmod(m, 1.0) < 0.2 ? 24 : 23; });
        QVERIFY(still.isStill() && !still.estimate({{-40, 19}, {26, 80}}).valid);

        // Readings closer together than half a minute give no rate; a clock that went back
        // starts afresh.
        ChamberTrend early;
        play(early, 0, 0.4, [](double m) { return 21 + m; });
        QVERIFY(early.hasTemperature() && !early.hasRate());
        early.add(1000, 0, 30);
        QVERIFY(early.temperature() == 30.0);
    }

    // Three sensors a little apart, one read every 2 s, through a sweep up by 1 °C/min that
    // turns at +30 °C and falls by 5 °C/min. The temperature is always among what the sensors
    // last read, and within a minute of the turn the rate is the fall's.
    void recordedTurnaround()
    {
        const double offsets[] = {0.0, 0.4, -0.6};
        auto chamber = [](double m) { return m <= 10 ? 20 + m : 30 - 5 * (m - 10); };
        ChamberTrend trend;
        double last[3] = {};
        for (int i = 0; i * 2 <= 14 * 60; ++i) {
            const double minute = i / 30.0;
            const int sensor = i % 3;
            last[sensor] = std::round(chamber(minute) + offsets[sensor]);
            trend.add(i * 2000, sensor, last[sensor]);
            if (i >= 3) {
                const auto [low, high] = std::minmax({last[0], last[1], last[2]});
                QVERIFY2(trend.temperature() >= low && trend.temperature() <= high,
                    qPrintable(QString::number(minute)));
            }
            if (i == 300) { // the top
                QVERIFY(qAbs(trend.ratePerMinute() - 1) < 0.1);
                QVERIFY(qAbs(trend.temperature() - 30) <= 1);
            }
            if (i >= 330) { // a minute after the turn
                QVERIFY2(
                    qAbs(trend.ratePerMinute() + 5) < 0.5, qPrintable(QString::number(minute)));
                QVERIFY(qAbs(trend.temperature() - chamber(minute)) <= 1);
            }
        }
        // At 10 °C, falling: 10 min on to -40 °C, then 40..80 °C on the way back.
        const ChamberTrend::Estimate left = trend.estimate({{-40, -20}, {40, 80}});
        QVERIFY(left.valid && left.target == -40 && qAbs(left.minutes - 10) < 1);
        QCOMPARE(left.behind, (QVector<Coverage::Run> {{40, 80}}));
    }
};

QTEST_GUILESS_MAIN(TestChamberTrend)
#include "tst_chambertrend.moc"
