// The bench against the sensor simulator on a pseudo-terminal: six sensors in every polling
// protocol, on a clean line, with each kind of line fault and in a long run with all of them
// but late answers; the coefficient write and read; and the closed loop, in which the simulated
// chamber sweeps -40..+80 °C while the bench polls six sensors and the polynomial each panel
// fits must be the temperature dependence the simulator was built with.

#include "e2e/simulatedbench.h"
#include "panels/serialedit.h"
#include "sensors/dut.h"
#include "support/messageboxcatcher.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

using namespace e2e;

namespace {

// Whether a reading {temperature, level, frequency, period} can come from simulated sensor s.
// Each protocol carries its own quantities; the others must be zero.
bool plausible(const SimModel &model, int s, int protocol, const QStringList &f)
{
    if (f.size() != 4 || !model.fits(s, "level", f[0].toInt(), f[1].toDouble()))
        return false;
    if (protocol == 0)
        return f[2].toDouble() == 0 && model.fits(s, "period", f[0].toInt(), f[3].toDouble());
    if (protocol == 3)
        return f[2].toDouble() == 0 && f[3].toDouble() == 0;
    return f[3].toDouble() == 0 && model.fits(s, "frequency", f[0].toInt(), f[2].toDouble());
}

// A run-log line of the protocol as {temperature, level, frequency, period}.
QStringList readingOf(int protocol, const QStringList &f)
{
    if (protocol == 0)
        return f.size() == 4 && f[0] == "0" ? QStringList {f[1], f[2], "0", f[3]} : f;
    return f + (protocol == 3 ? QStringList {"0", "0"} : QStringList {"0"});
}

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

// The simulator's arguments for one kind of fault, none, or the long run with all of them but
// late answers. The chamber moves 3 degrees per request, so readings come at many temperatures.
QStringList simulatorArguments(const QString &fault)
{
    if (fault == "long")
        return QStringLiteral("--temp-step-per-poll 0.05 --seed 11 --drop 0.04 --corrupt 0.04 "
                              "--split 0.04 --garbage 0.04 --wrong-address 0.04 --split-gap-ms 2")
            .split(' ');
    QStringList arguments {"--temp-start", "-10", "--temp-step-per-poll", "3", "--seed", "7"};
    if (!fault.isEmpty())
        arguments += QStringLiteral("--%1 0.3 --late-ms 0 --split-gap-ms 20")
                         .arg(fault == "wrongAddress" ? "wrong-address" : fault)
                         .split(' ');
    return arguments;
}

// Coefficients of the magnitudes a temperature fit gives, different per sensor; what comes back
// is what the sensor's single-precision cells hold.
double coefficient(int n, int k)
{
    return std::pow(-1.5e-3, k) * (1.0 + 0.125 * n);
}

QLineEdit *field(SimulatedBench &bench, int n, int k)
{
    return bench.fixture.panel<QLineEdit>(
        quint8(n), qPrintable(QStringLiteral("leReadK%1").arg(k)));
}

QPushButton *button(SimulatedBench &bench, int n, const char *name)
{
    return bench.fixture.panel<QPushButton>(quint8(n), name);
}

} // namespace

class TestSimulatedLine : public QObject
{
    Q_OBJECT

private slots:
    void sixSensorsInEveryProtocol_data();
    void sixSensorsInEveryProtocol();
    void coefficientsWrittenAndReadBack();
    void fittedCurvesMatchTheSensors_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::newRow("level and period") << 0;
        QTest::newRow("level and frequency") << 1;
    }
    void fittedCurvesMatchTheSensors();

private:
    void logsHoldEveryPoll(
        SimulatedBench &bench, int protocol, const QVector<QVector<bool>> &mustFail);
    void pressAndServe(SimulatedBench &bench, MessageBoxCatcher &boxes, bool write);
};

void TestSimulatedLine::sixSensorsInEveryProtocol_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("fault");
    for (int protocol = 0; protocol < 4; ++protocol) {
        for (const QString fault :
            {"", "drop", "corrupt", "late", "split", "garbage", "wrongAddress"}) {
            // The text answer carries no address, and a late one reads as the answer to the
            // next "DO", which is what it is on a real line too. A late answer sits in the
            // window alike whatever its layout: one CRC-8 protocol and MODBUS cover it.
            if ((protocol == 2 && (fault == "late" || fault == "wrongAddress"))
                || (protocol == 1 && fault == "late"))
                continue;
            QTest::addRow("protocol %d %s", protocol, fault.isEmpty() ? "clean" : qPrintable(fault))
                << protocol << fault;
        }
    }
    // Thousands of polls through a slow sweep: nothing may pile up or slip into the data.
    QTest::newRow("protocol 0 long run") << 0 << "long";
}

// Each poll's answer lands on its own panel and in its sensor's log; every spoiled answer costs
// exactly one error on the panel it was meant for, and no good reading is lost or misplaced.
void TestSimulatedLine::sixSensorsInEveryProtocol()
{
    QFETCH(int, protocol);
    QFETCH(QString, fault);
    const QStringList mixed {"drop", "corrupt", "split", "garbage", "wrongAddress"};
    const bool longRun = fault == "long";
    SimulatedBench bench(protocol, simulatorArguments(fault));
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    bench.fixture.pressStart();

    // Only the first simulated sensor answers the text request, which carries no address.
    auto sensorOf = [&](int nomDut) { return protocol == 2 ? 0 : 5 - nomDut; };
    // Per panel, whether each of its polls must fail: exactly those whose own answer was
    // spoiled. A split answer is whole within the window; a late one lands in the next window
    // behind that window's own answer, which the bench still reads from its first byte.
    QVector<QVector<bool>> mustFail(6);
    const int polls = 6 * (longRun ? 500 : 7);
    int objects = 0;
    for (int tick = 0; tick <= polls; ++tick) {
        // Counted once the port has written: the serial port makes its write notifier then.
        if (tick == 6)
            objects = int(bench.window().findChildren<QObject *>().size());
        const QString got = bench.tick();
        QVERIFY2(bench.ready(), qPrintable(bench.failure));
        // The previous poll's answer has just been read: if good, its panel shows it.
        const int n = (tick + 5) % 6;
        if (tick > 0 && !mustFail[n].last()) {
            QStringList shown;
            for (const char *name : {"leTemperat", "leLevel", "leFreq", "lePeriod"})
                shown << bench.fixture.panelText(quint8(n), name);
            QVERIFY2(plausible(bench.model, sensorOf(n), protocol, shown),
                qPrintable(QStringLiteral("panel %1: %2").arg(n).arg(shown.join(' '))));
        }
        if (tick < polls) // the last frame's answer is read by no tick
            mustFail[tick % 6].append(got != "none" && got != "split");
    }
    bench.fixture.pressStart(); // stop
    // Nothing is created per poll that outlives it.
    QCOMPARE(int(bench.window().findChildren<QObject *>().size()), objects);

    const QJsonObject counts = bench.simulator.counts();
    // Enough faults of the chosen kinds to tell anything, and none of any other.
    const QJsonObject faults = counts["faults"].toObject();
    for (auto it = faults.begin(); it != faults.end(); ++it) {
        const bool chosen = longRun ? mixed.contains(it.key()) : it.key() == fault;
        QVERIFY2(chosen ? it.value().toInt() >= 5 : it.value().toInt() == 0, qPrintable(it.key()));
    }

    logsHoldEveryPoll(bench, protocol, mustFail);
    if (QTest::currentTestFailed())
        return;
    // The simulator saw nothing but whole, well-formed requests.
    QCOMPARE(counts["requests"]["total"].toInt(), polls + 1);
    QCOMPARE(counts["ignored"].toInt(), 0);
    QCOMPARE(counts["discardedBytes"].toInt(), 0);
    QVERIFY(bench.simulator.stop());
}

// Six sensors get their own coefficients written (each write read back and verified), then read
// back into cleared fields, one step per tick, the lowest-numbered panel first; each exchange's box
// comes after its tick.
void TestSimulatedLine::coefficientsWrittenAndReadBack()
{
    SimulatedBench bench(0, {});
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    MessageBoxCatcher boxes;
    boxes.answerWith(QMessageBox::Yes);

    for (quint8 n = 0; n < 6; ++n) {
        bench.fixture.dut(n)->serialEdit()->setText(QStringLiteral("S-%1").arg(n));
        bench.fixture.dut(n)->serialEdit()->take();
    }
    for (const bool write : {true, false}) {
        pressAndServe(bench, boxes, write);
        if (QTest::currentTestFailed())
            return;
    }
    for (int n = 0; n < 6; ++n) {
        for (int k = 0; k < 6; ++k)
            QCOMPARE(field(bench, n, k)->text(),
                QString::number(double(float(coefficient(n, k))), 'g', 6));
    }
    const QJsonObject counts = bench.simulator.counts();
    QCOMPARE(counts["requests"]["writeCoefficient"].toInt(), 36);
    // Each write's reads before and after it, and the reads pressed.
    QCOMPARE(counts["requests"]["readCoefficient"].toInt(), 108);
    QCOMPARE(counts["ignored"].toInt(), 0);
}

// Every poll left its line in its panel's log and its count of errors on the panel: "error"
// where the answer was lost, elsewhere a reading of this panel's own sensor.
void TestSimulatedLine::logsHoldEveryPoll(
    SimulatedBench &bench, int protocol, const QVector<QVector<bool>> &mustFail)
{
    const QDir run(bench.fixture.runDirectories().value(0));
    for (int n = 0; n < 6; ++n) {
        QCOMPARE(bench.errors(n), int(mustFail[n].count(true)));
        const QList<QStringList> lines
            = BenchFixture::sensorLines(run.filePath(QStringLiteral("%1.txt").arg(n)));
        QCOMPARE(lines.size(), mustFail[n].size());
        for (int i = 0; i < lines.size(); ++i) {
            if (mustFail[n][i])
                QCOMPARE(lines[i], QStringList {"error"});
            else
                QVERIFY2(plausible(bench.model, (protocol == 2 ? 0 : 5 - n), protocol,
                             readingOf(protocol, lines[i])),
                    qPrintable(QStringLiteral("%1.txt: %2").arg(n).arg(lines[i].join(' '))));
        }
    }
}

// Each panel's write (or read) pressed from the highest panel down, with its fields set first,
// then served tick by tick, the lowest panel first.
void TestSimulatedLine::pressAndServe(SimulatedBench &bench, MessageBoxCatcher &boxes, bool write)
{
    const char *name = write ? "pbSaveK" : "pbReadK";
    // Started from the highest panel down; they are served lowest first all the same.
    for (int n = 5; n >= 0; --n) {
        for (int k = 0; k < 6; ++k)
            field(bench, n, k)->setText(write ? QString::number(coefficient(n, k), 'g', 17) : "0");
        QTest::mouseClick(button(bench, n, name), Qt::LeftButton);
    }
    // Nothing is collected: each write is asked for first (and answered Yes), a read not.
    QCOMPARE(boxes.texts().size(), write ? 6 : 12);
    // Every write reads what the sensor holds first and is followed by its read-back, before
    // the next sensor's turn.
    const int perSensor = write ? 18 : 6;
    int ticks = 0;
    for (; ticks < 150; ++ticks) {
        const int step = ticks % perSensor;
        const bool writing = write && step >= 6 && step < 12;
        bench.answerLength = writing ? 6 : 9;
        if (bench.tick(false).isEmpty())
            break;
        if (writing)
            QCOMPARE(button(bench, ticks / perSensor, "pbSaveK")->text(),
                QStringLiteral("Зап. K%1...").arg(11 - step));
        else
            QCOMPARE(button(bench, ticks / perSensor, "pbReadK")->text(),
                QStringLiteral("Счит. K%1...").arg(5 - step % 6));
    }
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    QCOMPARE(ticks, 6 * perSensor);
    // The last exchange has ended, but its box waits until the tick is over.
    QCOMPARE(button(bench, 5, name)->text(),
        write ? QStringLiteral("Запись К") : QStringLiteral("Чтен. К"));
    QCOMPARE(boxes.texts().size(), write ? 11 : 17);
    QTRY_COMPARE(boxes.texts().size(), write ? 12 : 18);
    QCOMPARE(boxes.texts().count("OK"), write ? 6 : 12);
    QVERIFY(boxes.allModal());
}

void TestSimulatedLine::fittedCurvesMatchTheSensors()
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

QTEST_MAIN(TestSimulatedLine)
#include "tst_simulatedline.moc"
