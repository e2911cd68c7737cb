#include "sensors/measurementset.h"
#include "support/frames.h"

#include <QtTest>

using Map = MeasurementSet::Map;
using Maps = QList<Map>;
using frames::hex;

namespace {

// n empty maps
Maps empty(int n)
{
    Maps maps;
    while (maps.size() < n)
        maps.append(Map());
    return maps;
}

// Three maps of a sensor, with entries, as the writer puts them: 4 + 3 * (4 + 2 * 5) bytes.
const Map kLevel {{-10, 900}, {20, 1000}};
const Map kFreq {{0, 5000}, {30, 5100}};
const Map kPeriod {{25, 70000}, {26, 70001}};

} // namespace

class TestMeasurementSet : public QObject
{
    Q_OBJECT

private slots:
    void layout_data();
    void layout();
};

// What the writer makes, to the byte, and what the reader takes from whole, damaged and foreign
// files: how many maps, and whether the file held all it claimed.
void TestMeasurementSet::layout_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("maxMaps");
    QTest::addColumn<Maps>("maps");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<bool>("written"); // the bytes are exactly what the writer makes of the maps

    const QByteArray sensor0 = MeasurementSet::encode({kLevel, kFreq, kPeriod}).mid(4);
    const int all = std::numeric_limits<int>::max();

    QTest::newRow("six sensors without points: 76 bytes")
        << hex("00000012") + QByteArray(72, '\0') << all << empty(18) << true << true;
    QTest::newRow("one sensor, Level {-10: 900, 20: 1000}")
        << hex("00000003 00000002 14000003e8 f600000384 00000000 00000000") << all
        << Maps {kLevel, {}, {}} << true << true;
    QTest::newRow("100 °C before -90 °C") << hex("00000001 00000002 64ffffffff a600000001") << all
                                          << Maps {{{-90, 1}, {100, 4294967295u}}} << true << true;

    QTest::newRow("empty file") << QByteArray() << all << Maps() << false << false;
    QTest::newRow("cut inside the count") << hex("000000") << all << Maps() << false << false;
    QTest::newRow("count only") << hex("00000012") << all << empty(1) << false << false;
    // The cut fourth map is read as empty and ends the list.
    QTest::newRow("cut inside the fourth map of six sensors")
        << hex("00000012") + sensor0 + hex("00000002 14000003e8 f6") << all
        << Maps {kLevel, kFreq, kPeriod, {}} << false << false;
    QTest::newRow("ends after the third of 18 maps")
        << hex("00000012") + sensor0 << all << Maps {kLevel, kFreq, kPeriod} << false << false;
    QTest::newRow("entries in any order, the last of a key counts")
        << hex("00000001 00000003 f600000384 1400000001 14000003e8") << all << Maps {kLevel} << true
        << false;
    QTest::newRow("4294967295 maps claimed")
        << hex("ffffffff 00000000 00000000") << all << empty(2) << false << false;
    QTest::newRow("4294967295 entries claimed")
        << hex("00000003 ffffffff 1400000001") << all << empty(1) << false << false;
    QTest::newRow("no more maps than asked for") << hex("00000012") + sensor0 + hex("0000") << 3
                                                 << Maps {kLevel, kFreq, kPeriod} << true << false;
}

void TestMeasurementSet::layout()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, maxMaps);
    QFETCH(Maps, maps);
    QFETCH(bool, complete);
    QFETCH(bool, written);
    if (written)
        QCOMPARE(MeasurementSet::encode(maps).toHex(), bytes.toHex());
    const MeasurementSet::Contents decoded = MeasurementSet::decode(bytes, maxMaps);
    QCOMPARE(decoded.maps, maps);
    QCOMPARE(decoded.complete, complete);
}

QTEST_APPLESS_MAIN(TestMeasurementSet)
#include "tst_measurementset.moc"
