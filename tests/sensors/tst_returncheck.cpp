// The first readings after a return of the line: what a sensor can have done meanwhile is taken,
// anything else is held back with its sensor until the line is accepted.

#include "sensors/returncheck.h"
#include "support/frames.h"

#include <QtTest>

using frames::reading;

class TestReturnCheck : public QObject
{
    Q_OBJECT

private slots:
    void firstReadingAfterReturn_data();
    void firstReadingAfterReturn();
    void heldSensorWaitsForAcceptance();
};

void TestReturnCheck::firstReadingAfterReturn_data()
{
    QTest::addColumn<bool>("measuredRate");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<int>("temp");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("taken");
    // Before the loss the sensor read 20..30 °C (1 °C/min when measured) and levels 30000..30300.
    QTest::newRow("just where it was") << true << 1 << 31 << 30300 << true;
    QTest::newRow("as far as the chamber goes") << true << 10 << 42 << 30300 << true;
    QTest::newRow("farther than the chamber goes") << true << 10 << 44 << 30300 << false;
    QTest::newRow("another sensor's temperature") << true << 1 << -30 << 30300 << false;
    QTest::newRow("rate not measured: a fast chamber") << false << 2 << 40 << 30300 << true;
    QTest::newRow("level within its spread again") << true << 1 << 30 << 30550 << true;
    QTest::newRow("another sensor's level") << true << 1 << 30 << 45000 << false;
}

void TestReturnCheck::firstReadingAfterReturn()
{
    QFETCH(bool, measuredRate);
    QFETCH(int, minutes);
    QFETCH(int, temp);
    QFETCH(int, level);
    QFETCH(bool, taken);

    ReturnCheck check;
    const int readings = measuredRate ? 11 : 1;
    for (int i = 0; i < readings; ++i)
        check.taken(2, reading(qint8(20 + i * 10 / qMax(1, readings - 1)), quint16(30000 + 30 * i)),
            i * 60000);
    const qint64 last = (readings - 1) * 60000;
    check.lineBack(false);
    const ReturnCheck::Verdict verdict
        = check.check(2, reading(qint8(temp), quint16(level)), last + minutes * 60000);
    QCOMPARE(verdict.take, taken);
    QCOMPARE(verdict.why.isEmpty(), taken);
    QCOMPARE(check.isHolding(), !taken);
}

void TestReturnCheck::heldSensorWaitsForAcceptance()
{
    ReturnCheck check;
    check.taken(0, reading(20, 30000), 0);
    check.taken(1, reading(20, 31000), 0);
    check.lineBack(false);
    QVERIFY(!check.check(0, reading(-30, 30000), 1000).take);
    // Held: even a plausible reading or a failed poll waits; the other sensor goes on.
    QVERIFY(!check.check(0, reading(20, 30000), 2000).take);
    QVERIFY(!check.check(0, DutInfo(), 3000).take);
    QVERIFY(check.check(1, reading(20, 31000), 2000).take);
    check.accept();
    QVERIFY(!check.isHolding());
    QVERIFY(check.check(0, reading(-30, 30000), 4000).take);
}

QTEST_GUILESS_MAIN(TestReturnCheck)
#include "tst_returncheck.moc"
