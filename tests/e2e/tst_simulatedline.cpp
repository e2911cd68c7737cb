// The bench against the sensor simulator on a pseudo-terminal: six sensors in every polling
// protocol, the coefficient write and read, and every kind of line fault.

#include "e2e/simulatedbench.h"
#include "protocol/crc.h"

using namespace e2e;

namespace {

// Simulated sensors at scattered addresses; panel n polls the sensor at position 5 - n, so
// a reading routed to the wrong panel shows in the values.
const QVector<int> kSimAddresses = {12, 1, 200, 3, 100, 41};

QStringList addressArgument()
{
    QStringList list;
    for (int a : kSimAddresses)
        list << QString::number(a);
    return {QStringLiteral("--addresses"), list.join(QLatin1Char(','))};
}

QVector<int> panelAddresses()
{
    QVector<int> out;
    for (int n = 0; n < 6; ++n)
        out << kSimAddresses[5 - n];
    return out;
}

// The request a panel polling `address` must put on the line, built from the wire layouts.
QByteArray pollFrame(int protocol, int address)
{
    QByteArray frame;
    switch (protocol) {
    case 0:
        frame = QByteArray::fromHex("37") + char(address) + QByteArray::fromHex("0a00");
        return frame + char(crc8(frame));
    case 1:
        frame = QByteArray::fromHex("31") + char(address) + QByteArray::fromHex("06");
        return frame + char(crc8(frame));
    case 2:
        return QByteArrayLiteral("DO");
    default: {
        frame = char(address) + QByteArray::fromHex("0300000004");
        const quint16 crc = crc16(frame);
        return frame + char(crc & 0xFF) + char(crc >> 8);
    }
    }
}

// Whether a reading (as the panel shows it or the run log holds it) can come from sensor s.
// Each protocol carries its own quantities; the rest must be zero.
bool plausible(const SimModel &model, const SimSensor &s, int protocol, int temp, double level,
    double freq, double period)
{
    if (!model.fits(s.level, temp, level))
        return false;
    switch (protocol) {
    case 0:
        return freq == 0 && model.fits(s.period, temp, period);
    case 1:
    case 2:
        return period == 0 && model.fits(s.frequency, temp, freq);
    default:
        return freq == 0 && period == 0;
    }
}

bool plausibleLine(const SimModel &model, const SimSensor &s, int protocol, const QStringList &f)
{
    switch (protocol) {
    case 0:
        return f.size() == 4 && f[0] == QLatin1String("0")
            && plausible(model, s, 0, f[1].toInt(), f[2].toDouble(), 0, f[3].toDouble());
    case 1:
    case 2:
        return f.size() == 3
            && plausible(model, s, protocol, f[0].toInt(), f[1].toDouble(), f[2].toDouble(), 0);
    default:
        return f.size() == 2 && plausible(model, s, 3, f[0].toInt(), f[1].toDouble(), 0, 0);
    }
}

// The simulated sensor whose readings panel n must show: the text request carries no
// address and only the first sensor answers it, so every panel shows that one.
const SimSensor &sensorOfPanel(const SimModel &model, int protocol, int nomDut)
{
    return model.sensors[protocol == 2 ? 0 : 5 - nomDut];
}

bool spoils(const QString &fault)
{
    return fault != QLatin1String("none") && fault != QLatin1String("split");
}

} // namespace

class TestSimulatedLine : public QObject
{
    Q_OBJECT

private slots:
    void pollingInEveryProtocol_data();
    void pollingInEveryProtocol();
    void coefficientsWrittenAndReadBack();
    void faultsCountedOnce_data();
    void faultsCountedOnce();
};

void TestSimulatedLine::pollingInEveryProtocol_data()
{
    QTest::addColumn<int>("protocol");
    for (int protocol = 0; protocol < 4; ++protocol)
        QTest::newRow(qPrintable(kProtocolNames[protocol])) << protocol;
}

void TestSimulatedLine::pollingInEveryProtocol()
{
    QFETCH(int, protocol);
    // The chamber moves 3 degrees per request, so readings come at many temperatures.
    SimulatedBench bench(
        addressArgument() + QStringList {"--temp-start", "-10", "--temp-step-per-poll", "3"},
        protocol, panelAddresses());
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    bench.pressStart();

    const bool raw = protocol == 2;
    const QVector<int> addresses = panelAddresses();
    QByteArray trace;
    const int polls = 3 * 6;
    for (int tick = 0; tick <= polls; ++tick) {
        const Exchange exchange = bench.pollTick();
        QVERIFY2(bench.ready(), qPrintable(bench.failure));
        QCOMPARE(exchange.fault, QStringLiteral("none"));
        trace += raw ? bench.examined : bench.examined.toHex();
        const QByteArray frame = pollFrame(protocol, addresses[tick % 6]);
        trace += "\r\n>>" + (raw ? frame : frame.toHex()) + "\r\n<<";
        if (tick == 0)
            continue;

        // The answer to the previous frame is on its panel now.
        const int n = (tick - 1) % 6;
        const SimSensor &sensor = sensorOfPanel(bench.model, protocol, n);
        QCOMPARE(bench.errors(n), 0);
        QVERIFY2(
            plausible(bench.model, sensor, protocol, bench.panelText(n, "leTemperat").toInt(),
                bench.panelText(n, "leLevel").toDouble(), bench.panelText(n, "leFreq").toDouble(),
                bench.panelText(n, "lePeriod").toDouble()),
            qPrintable(QStringLiteral("panel %1: %2 %3 %4 %5")
                           .arg(n)
                           .arg(bench.panelText(n, "leTemperat"), bench.panelText(n, "leLevel"),
                               bench.panelText(n, "leFreq"), bench.panelText(n, "lePeriod"))));
    }

    // The exchange trace holds every frame and every answer as they went over the line.
    const QDir run = bench.runDirectory();
    QCOMPARE(fileBytes(run.filePath("all.log")), trace);
    // Each sensor's log has one line per poll, each a reading of that sensor.
    for (int n = 0; n < 6; ++n) {
        const QList<QStringList> lines = sensorLines(run.filePath(QStringLiteral("%1.txt").arg(n)));
        QCOMPARE(lines.size(), 3);
        for (const QStringList &fields : lines)
            QVERIFY2(plausibleLine(
                         bench.model, sensorOfPanel(bench.model, protocol, n), protocol, fields),
                qPrintable(QStringLiteral("%1.txt: %2").arg(n).arg(fields.join(' '))));
    }

    // The simulator saw nothing but whole, well-formed requests.
    const QJsonObject counts = bench.simulator.counts();
    QCOMPARE(counts.value("requests").toObject().value("total").toInt(), polls + 1);
    QCOMPARE(counts.value("ignored").toInt(), 0);
    QCOMPARE(counts.value("discardedBytes").toInt(), 0);
    QVERIFY(bench.simulator.stop());
}

void TestSimulatedLine::coefficientsWrittenAndReadBack()
{
    SimulatedBench bench(addressArgument(), 0, panelAddresses());
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    BoxCloser boxes;

    // Six different sets of coefficients, of the magnitudes a temperature fit gives; what comes
    // back is what the sensor's single-precision cells hold.
    auto coefficient = [](int n, int k) {
        const double magnitude[6] = {1.0, 1.5e-3, 2.25e-6, 3.5e-9, 4.75e-12, 6e-15};
        return magnitude[k] * (k % 2 ? -1.0 : 1.0) * (1.0 + 0.125 * n);
    };
    auto readK = [&](int n, int k) {
        return bench.panel(n)->findChild<QLineEdit *>(QStringLiteral("leReadK%1").arg(k));
    };
    for (int n = 0; n < 6; ++n) {
        for (int k = 0; k < 6; ++k)
            readK(n, k)->setText(QString::number(coefficient(n, k), 'g', 17));
        SimulatedBench::click(bench.panel(n), "pbSaveK");
    }
    int ticks = 0;
    while (!bench.coefficientTick().request.isEmpty() && ticks < 100)
        ++ticks;
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    QCOMPARE(ticks, 36);
    QTRY_COMPARE(boxes.texts.size(), 6);
    QCOMPARE(boxes.texts.count(QStringLiteral("OK")), 6);

    for (int n = 0; n < 6; ++n) {
        for (int k = 0; k < 6; ++k)
            readK(n, k)->setText(QStringLiteral("0"));
        SimulatedBench::click(bench.panel(n), "pbReadK");
    }
    ticks = 0;
    while (!bench.coefficientTick().request.isEmpty() && ticks < 100)
        ++ticks;
    QCOMPARE(ticks, 36);
    QTRY_COMPARE(boxes.texts.size(), 12);
    QCOMPARE(boxes.texts.count(QStringLiteral("OK")), 12);
    for (int n = 0; n < 6; ++n) {
        for (int k = 0; k < 6; ++k) {
            const float stored = float(coefficient(n, k));
            QCOMPARE(readK(n, k)->text(), QString::number(double(stored), 'g', 6));
        }
    }

    const QJsonObject requests = bench.simulator.counts().value("requests").toObject();
    QCOMPARE(requests.value("writeCoefficient").toInt(), 36);
    QCOMPARE(requests.value("readCoefficient").toInt(), 36);
    QCOMPARE(bench.simulator.counts().value("ignored").toInt(), 0);
}

void TestSimulatedLine::faultsCountedOnce_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("fault");
    const QStringList faults = {"drop", "corrupt", "late", "split", "garbage", "wrong-address"};
    for (int protocol = 0; protocol < 4; ++protocol) {
        for (const QString &fault : faults) {
            // The text answer carries no address, and a late one would read as the answer to
            // the next "DO", which is what it is on a real line too.
            if (protocol == 2 && (fault == "late" || fault == "wrong-address"))
                continue;
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(protocol).arg(fault)))
                << protocol << fault;
        }
    }
}

void TestSimulatedLine::faultsCountedOnce()
{
    QFETCH(int, protocol);
    QFETCH(QString, fault);
    SimulatedBench bench(addressArgument()
            + QStringList {"--temp-start", "0", "--temp-step-per-poll", "1", "--seed", "7",
                "--" + fault, "0.3", "--late-ms", "500", "--split-gap-ms", "20"},
        protocol, panelAddresses());
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    bench.pressStart();

    // Per panel, whether each of its polls must fail: exactly those whose own answer was
    // spoiled. A late answer lands in the next window behind that window's own answer, which
    // the bench still reads from the first byte.
    QVector<QVector<bool>> mustFail(6);
    int spoiled = 0;
    const int polls = 6 * 7;
    for (int tick = 0; tick <= polls; ++tick) {
        const Exchange exchange = bench.pollTick();
        QVERIFY2(bench.ready(), qPrintable(bench.failure));
        if (tick == polls)
            break; // this frame's answer is examined by no tick
        mustFail[tick % 6].append(spoils(exchange.fault));
        spoiled += spoils(exchange.fault) ? 1 : 0;
    }
    bench.pressStart(); // stop polling

    const QString faultName = fault == "wrong-address" ? QStringLiteral("wrongAddress") : fault;
    const QJsonObject counts = bench.simulator.counts();
    QVERIFY2(counts.value("faults").toObject().value(faultName).toInt() >= 5,
        "too few faults injected to tell anything");

    int errors = 0;
    int expected = 0;
    for (int n = 0; n < 6; ++n) {
        const int due = int(std::count(mustFail[n].begin(), mustFail[n].end(), true));
        QCOMPARE(bench.errors(n), due);
        errors += bench.errors(n);
        expected += due;

        // Every poll left its line: "error" exactly where the answer was lost, elsewhere a
        // reading of this panel's own sensor.
        const QList<QStringList> lines
            = sensorLines(bench.runDirectory().filePath(QStringLiteral("%1.txt").arg(n)));
        QCOMPARE(lines.size(), mustFail[n].size());
        for (int i = 0; i < lines.size(); ++i) {
            if (mustFail[n][i]) {
                QCOMPARE(lines[i], QStringList {"error"});
            } else {
                QVERIFY2(plausibleLine(bench.model, sensorOfPanel(bench.model, protocol, n),
                             protocol, lines[i]),
                    qPrintable(QStringLiteral("%1.txt line %2: %3")
                                   .arg(n)
                                   .arg(i)
                                   .arg(lines[i].join(' '))));
            }
        }
    }
    // The bench counts exactly the answers the simulator spoiled.
    QCOMPARE(errors, spoiled);
    QCOMPARE(expected, spoiled);
    QVERIFY(bench.simulator.stop());
}

QTEST_MAIN(TestSimulatedLine)
#include "tst_simulatedline.moc"
