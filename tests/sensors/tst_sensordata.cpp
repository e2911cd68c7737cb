#include "fit/fituncertainty.h"
#include "sensors/coverage.h"
#include "sensors/degreeuncertainty.h"
#include "sensors/sensordata.h"
#include "support/frames.h"

#include <QtTest>

using MidlMap = SensorData::MidlMap;
using CurveMap = SensorData::CurveMap;

using frames::reading;

namespace {

bool near(double a, double b)
{
    return qAbs(a - b) < 1e-6;
}

} // namespace

class TestSensorData : public QObject
{
    Q_OBJECT

private slots:
    void readingsMidValuesAndPoints();
    void windowStatistics_data();
    void windowStatistics();
    void deviationCurve();
    void fit();
    void coverage();
    void uncertaintyPerDegree();
};

void TestSensorData::readingsMidValuesAndPoints()
{
    SensorData data;
    // Every reading fills all three kinds; a value seen twice at one temperature is kept once.
    data.insert(reading(25, 3200, 6699, 100));
    data.insert(reading(25, 3200, 6700, 104));
    data.insert(reading(25, 3300, 6700, 102));
    data.insert(reading(-5, 100, 0, 70000));
    QCOMPARE((*data.values(Level))[115], (SensorData::ValueSet {3200, 3300}));
    QCOMPARE((*data.values(Freq))[85], (SensorData::ValueSet {0}));
    QCOMPARE((*data.values(Period))[85], (SensorData::ValueSet {70000}));
    // +101 °C wraps into the slots beyond the working range.
    data.insert(reading(101, 1111, 0, 0));
    QCOMPARE((*data.values(Level))[191], (SensorData::ValueSet {1111}));

    // The mid value is the middle of the range seen, summed without overflow; +100 °C and
    // beyond have none.
    for (quint32 period : {4294967295u, 4294967293u})
        data.insert(reading(26, 1, 1, period));
    data.insert(reading(100, 1, 1, 500));
    QCOMPARE(*data.midl(Period), (MidlMap {{-5, 70000}, {25, 102}, {26, 4294967294u}}));
    QVERIFY(data.midl(static_cast<eTypeData>(3))->isEmpty());

    // Cleared (the maps below hold nothing of the readings above), calibration points join the
    // mid values of their kind.
    data.clear();
    data.insert(reading(25, 1, 0, 102));
    data.insert(reading(26, 1, 0, 7));
    data.setPoint(30, 777, Period);
    data.setPoint(100, 888, Period); // beyond the mid-value range
    data.setPoint(-95, 999, Period);
    data.setPoint(26, 5, Freq);
    data.setPoint(26, 5, static_cast<eTypeData>(3));
    QCOMPARE(*data.midl(Period), (MidlMap {{25, 102}, {26, 7}, {30, 777}}));

    // A point replaces the readings at its temperature, for its own kind only.
    data.setPoint(25, 50, Period);
    QCOMPARE(data.midl(Period)->value(25), 50u);
    QCOMPARE(*data.midl(Freq), (MidlMap {{25, 0}, {26, 5}}));

    // Points are edited by their place in the mid-value map of the kind.
    data.setPoints({{10, 500}, {30, 700}}, Level);
    data.editPoint(Level, 0, 555);
    data.editPoint(Level, 3, 707);
    data.editPoint(Level, 4, 1);
    data.editPoint(static_cast<eTypeData>(3), 0, 1);
    QCOMPARE(*data.midl(Level), (MidlMap {{10, 555}, {25, 1}, {26, 1}, {30, 707}}));
    data.setPoints({}, static_cast<eTypeData>(3));
    QCOMPARE(data.midl(Level)->size(), 4);

    data.clear(); // points go too
    QVERIFY(data.midl(Level)->isEmpty());
}

void TestSensorData::windowStatistics_data()
{
    QTest::addColumn<MidlMap>("map");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("lo");
    QTest::addColumn<int>("hi");
    // cold up, cold down, warm up, warm down. The sensor panel's test shows the plain level
    // window, bounds that empty either side and a reference of 0 in the fields; here what its
    // fields cannot show.
    QTest::addColumn<QVector<double>>("expected");

    QTest::newRow("bounds inside") << MidlMap {{19, 2000}, {20, 2048}, {21, 2100}} << int(Level)
                                   << 20 << 20 << QVector<double> {0, 0, 0, 0};
    QTest::newRow("frequency is relative")
        << MidlMap {{10, 990}, {20, 1000}, {30, 1010}} << int(Freq) << -40 << 80
        << QVector<double> {0, -1, 1, 0};
    QTest::newRow("150 %") << MidlMap {{10, 8192}, {20, 2048}} << int(Level) << -40 << 80
                           << QVector<double> {150, 0, 0, 0};
    QTest::newRow("empty") << MidlMap {} << int(Period) << -40 << 80
                           << QVector<double> {0, 0, 0, 0};
}

void TestSensorData::windowStatistics()
{
    QFETCH(MidlMap, map);
    QFETCH(int, kind);
    QFETCH(int, lo);
    QFETCH(int, hi);
    QFETCH(QVector<double>, expected);
    const SensorData::WindowStatistics s
        = SensorData::windowStatistics(map, static_cast<eTypeData>(kind), lo, hi);
    QVector<double> got;
    for (const SensorData::Deviation &d : {s.cold, s.warm})
        got << (d.valid ? d.up : qQNaN()) << (d.valid ? d.down : qQNaN());
    for (int i = 0; i < 4; ++i)
        QVERIFY2(
            near(got[i], expected[i]), qPrintable(QStringLiteral("%1: %2").arg(i).arg(got[i])));
}

void TestSensorData::deviationCurve()
{
    SensorData data;
    // Referred to the entry nearest to 20 °C, the warmer of two equally near.
    data.setPoints({{19, 2000}, {21, 2100}}, Level);
    QCOMPARE(*data.delta(Level), (CurveMap {{19, -100.0 / 4096 * 100}, {21, 0}}));

    // Frequency and period are relative; a reference of 0 gives no points at all.
    data.setPoints({{10, 990}, {21, 1000}, {30, 1010}}, Freq);
    const CurveMap freq = *data.delta(Freq);
    QVERIFY(qFuzzyCompare(freq.value(10), -1.0) && qFuzzyCompare(freq.value(30), 1.0));
    data.setPoints({{10, 0}, {20, 0}, {30, 7}}, Period);
    QVERIFY(data.delta(Period)->isEmpty());
}

void TestSensorData::fit()
{
    SensorData data;
    SensorData::Coefficients k {};
    data.setPoints({{10, 990}, {20, 1000}, {30, 1010}}, Level);

    // The panel's test reads this fit off its coefficient column and its curve in both
    // scalings; here the sensor's units reach out to -90 °C.
    QVERIFY(data.fitTrend(Level, 1, true, &k));
    QVERIFY(near(data.trendCurve()->value(-90.0), 890.0));

    // No value at 20 °C, or a 0 there: nothing to refer to, k untouched, no curve.
    k.fill(7);
    for (const MidlMap &points : {MidlMap {{10, 990}, {30, 1010}}, MidlMap {{20, 0}, {30, 1}}}) {
        data.setPoints(points, Level);
        QVERIFY(!data.fitTrend(Level, 3, false, &k));
        QVERIFY(data.trendCurve()->isEmpty());
    }
    QCOMPARE(k[0], 7.0);
}

QTEST_GUILESS_MAIN(TestSensorData)
#include "tst_sensordata.moc"

void TestSensorData::coverage()
{
    // Gaps at both ends and in the middle, a single-degree gap, a degree outside the range.
    MidlMap map;
    for (int t : {-39, -38, 20, 21, 23, 79, 81})
        map.insert(qint8(t), 100);
    Coverage c = Coverage::of(map, -40, 80);
    QCOMPARE(c.total(), 121);
    QCOMPARE(c.covered(), 6);
    QCOMPARE(c.missingText(), QStringLiteral("-40, -37..19, 22, 24..78, 80"));
    QVERIFY(!c.complete());

    // A reversed range reads as the same degrees; one fully covered misses nothing.
    c = Coverage::of(map, 21, 20);
    QCOMPARE(c.total(), 2);
    QVERIFY(c.complete());
    QVERIFY(c.missingText().isEmpty());

    // Nothing collected: the whole range is one run, even past the 8-bit temperatures.
    c = Coverage::of(MidlMap(), -90, 100);
    QCOMPARE(c.total(), 191);
    QCOMPARE(c.covered(), 0);
    QCOMPARE(c.missingText(), QStringLiteral("-90..100"));
}

// U at a degree combines the fit's uncertainty with the scatter of its readings; a degree fixed
// by a point alone has the fit's, and outside the range there is none.
void TestSensorData::uncertaintyPerDegree()
{
    SensorData data;
    data.setPoints({{0, 990}, {10, 1001}, {30, 1009}}, Level);
    for (quint16 level : {996, 1000, 1004})
        data.insert(reading(20, level, 0, 0));
    const FitUncertainty fit
        = FitUncertainty::of({{0, 0.99}, {10, 1.001}, {20, 1.0}, {30, 1.009}}, 1);
    const auto u = DegreeUncertainty::of(data, Level, 1, 0, 20);
    QCOMPARE(u.keys(), QList<int>({0, 10, 20}));
    QVERIFY(near(u[10], 200 * fit.standard(10)));
    QVERIFY(near(u[20], 200 * std::hypot(fit.standard(20), 4 / std::sqrt(3.0) / 1000)));
    QVERIFY(DegreeUncertainty::of(data, Level, 3, 0, 20).isEmpty());
}
