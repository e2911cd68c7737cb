// A long run: thousands of polls of six simulated sensors through a temperature sweep with
// every kind of fault but late answers. Nothing may pile up, slow the tick down, or let a
// spoiled answer into the collected data.

#include "e2e/simulatedbench.h"
#include "sensors/dut.h"

#include <array>

using namespace e2e;

class TestLongRun : public QObject
{
    Q_OBJECT

private slots:
    void thousandsOfPollsWithFaults();
};

void TestLongRun::thousandsOfPollsWithFaults()
{
    SimulatedBench bench(0,
        {"--temp-step-per-poll", "0.05", "--seed", "11", "--drop", "0.04", "--corrupt", "0.04",
            "--split", "0.04", "--garbage", "0.04", "--wrong-address", "0.04", "--split-gap-ms",
            "2"});
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    bench.fixture.pressStart();

    constexpr int kPolls = 3000;
    constexpr int kSpan = 500;
    qint64 firstSpan = 0;
    int objects = 0;
    std::array<int, 6> spoiled {};
    std::array<int, 6> good {};
    for (int tick = 0; tick <= kPolls; ++tick) {
        if (tick == kSpan) {
            firstSpan = bench.benchNanoseconds;
            // Counted once the port has written: the serial port makes its write notifier then.
            objects = int(bench.window().findChildren<QObject *>().size());
        }
        if (tick == kPolls - kSpan)
            bench.benchNanoseconds = 0;
        const QString fault = bench.tick();
        QVERIFY2(bench.ready(), qPrintable(bench.failure));
        if (tick < kPolls)
            ++(fault == "none" || fault == "split" ? good : spoiled)[size_t(tick % 6)];
    }
    const qint64 lastSpan = bench.benchNanoseconds;
    bench.fixture.pressStart();

    // Nothing is created per poll that outlives it.
    QCOMPARE(int(bench.window().findChildren<QObject *>().size()), objects);

    for (int n = 0; n < 6; ++n) {
        QCOMPARE(bench.errors(n), spoiled[size_t(n)]);
        // Every value kept per temperature is a reading this panel's sensor can give at that
        // temperature, and there are no more of them than good answers.
        Dut *dut = bench.fixture.dut(quint8(n));
        auto *kinds = bench.fixture.panel<QComboBox>(quint8(n), "cbTypePolinom");
        for (const auto &[item, name] : {std::pair {2, "level"}, std::pair {0, "period"}}) {
            kinds->setCurrentIndex(item);
            const Dut::ValueSets &sets = *dut->getValues();
            int kept = 0;
            for (int slot = 0; slot < int(sets.size()); ++slot) {
                kept += int(sets[size_t(slot)].size());
                const int t = slot - 90;
                for (const quint32 value : sets[size_t(slot)])
                    QVERIFY2(bench.model.fits(5 - n, name, t, value),
                        qPrintable(
                            QStringLiteral("panel %1 keeps %2 at %3 °C").arg(n).arg(value).arg(t)));
            }
            QVERIFY(kept > 0);
            QVERIFY(kept <= good[size_t(n)]);
        }
    }

    // The tick costs the same at the end as at the start; the bound is loose so that a busy
    // machine cannot fail it, while work that grows with the data collected would.
    qInfo("bench time per tick: first %d polls %.1f us, last %.1f us", kSpan,
        double(firstSpan) / kSpan / 1000.0, double(lastSpan) / kSpan / 1000.0);
    QVERIFY(lastSpan < 4 * firstSpan + 50'000'000);
    QCOMPARE(bench.simulator.counts()["discardedBytes"].toInt(), 0);
    QVERIFY(bench.simulator.stop());
}

QTEST_MAIN(TestLongRun)
#include "tst_longrun.moc"
