#include "sensor-sim/simulatorengine.h"
#include "sensor-sim/simulatoroptions.h"
#include "support/frames.h"
#include "support/sensorsimulator.h"
#include "support/tempworkdir.h"

#include <QtEndian>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

using frames::hex;
using frames::withCrc8;

namespace {

// Two sensors at addresses 1 and 200, no noise, chamber held at 20 °C, where every quantity
// equals its base: level 30000, frequency 20000, period 1000000 for the first sensor,
// 30500, 21000, 1050000 for the second.
SimulatorConfig quietConfig()
{
    SimulatorConfig c;
    c.addresses = {1, 200};
    c.noisePpm = 0.0;
    c.temperatureLow = c.temperatureHigh = c.temperatureStart = 20.0;
    return c;
}

} // namespace

class TestSensorSim : public QObject
{
    Q_OBJECT

private slots:
    // Answers worked out by hand from the wire layouts, for what the bench never sends or
    // never checks. Readings, coefficient writes and MODBUS maps and refusals are checked over
    // the line: by the bench's end-to-end tests and by mbpoll.
    void everyRequestAnswered_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("modbus, no registers") << hex("01030000000045ca") << hex("0183030131");
        QTest::newRow("fresh coefficient") << hex("37014c01052b") << hex("39014c0400000000bf");
        // Silence, as on a real bus. That a frame with a bad checksum, or any text but "DO",
        // is never taken for a request, the request-framer fuzz target checks.
        QTest::newRow("no such sensor") << hex("37020a0066") << QByteArray();
        QTest::newRow("modbus broadcast") << hex("00030000000445d8") << QByteArray();
        QTest::newRow("unknown coefficient") << hex("37014c0106c9") << QByteArray();
    }

    void everyRequestAnswered()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, answer);
        SimulatorEngine engine(quietConfig());
        QSignalSpy sent(&engine, &SimulatorEngine::transmit);
        engine.feed(request);
        engine.lineIdle();
        QCOMPARE(sent.count(), answer.isEmpty() ? 0 : 1);
        if (!answer.isEmpty())
            QCOMPARE(sent.at(0).at(0).toByteArray(), answer);
    }

    void framingAcrossReads()
    {
        SimulatorEngine engine(quietConfig());
        QSignalSpy sent(&engine, &SimulatorEngine::transmit);

        // Byte by byte: each request is answered once its last byte is in (that no request is
        // taken before, the request-framer fuzz target checks over its split corpus).
        for (const QByteArray &request : {hex("37010a0082"), hex("3101066c"), QByteArray("DO"),
                 hex("0103000000044409"), hex("37015105050000803f2b"), hex("37014c01052b")}) {
            const int before = sent.count();
            for (int i = 0; i < request.size(); ++i)
                engine.feed(request.mid(i, 1));
            QCOMPARE(sent.count(), before + 1);
        }
        QCOMPARE(engine.stats().discardedBytes(), quint64(0));

        // Noise, a request with a bad checksum and two good requests in one read.
        sent.clear();
        engine.feed(hex("ff00 3101066d 37c80a005f 31c8066a"));
        QCOMPARE(sent.count(), 2);
        QCOMPARE(sent.at(0).at(0).toByteArray(), hex("39c80a080024771490051000e5"));
        QCOMPARE(sent.at(1).at(0).toByteArray(), hex("3ec8061424770852cf"));

        // A prefix that could still become a request is dropped once the line goes quiet, so
        // it cannot swallow the next request (that nothing is kept past a quiet line, whatever
        // came before, the request-framer fuzz target checks).
        sent.clear();
        engine.feed(hex("37c8510502")); // half a coefficient write
        engine.lineIdle();
        engine.feed(hex("3101066c"));
        QCOMPARE(sent.count(), 1);
    }

    // One degree per measurement request: the sweep turns at +80 and at -40 and goes on.
    void sweepTurnsAtItsLimits()
    {
        SimulatorConfig c = quietConfig();
        c.temperatureLow = c.temperatureStart = -40.0;
        c.temperatureHigh = 80.0;
        c.stepPerPoll = 1.0;
        SimulatorEngine engine(c);
        QSignalSpy sent(&engine, &SimulatorEngine::transmit);
        QVector<int> seen;
        for (int poll = 0; poll <= 480; ++poll) {
            engine.feed(hex(poll % 2 ? "37010a0082" : "3101066c"));
            const QByteArray answer = sent.takeFirst().at(0).toByteArray();
            seen << qint8(answer[poll % 2 ? 7 : 3]);
        }
        QCOMPARE(seen.mid(118, 5), (QVector<int> {78, 79, 80, 79, 78}));
        QCOMPARE(seen.mid(238, 5), (QVector<int> {-38, -39, -40, -39, -38}));

        // Halves round up on both sides of zero, so a sweep at x.5 degrees reads 0 °C too.
        c.temperatureStart = -1.5;
        SimulatorEngine halves(c);
        QSignalSpy halvesSent(&halves, &SimulatorEngine::transmit);
        QVector<int> half;
        for (int poll = 0; poll < 3; ++poll) {
            halves.feed(hex("3101066c"));
            half << qint8(halvesSent.takeFirst().at(0).toByteArray()[3]);
        }
        QCOMPARE(half, (QVector<int> {-1, 0, 1}));

        // By the clock, the sweep starts with the first poll, not when the simulator started:
        // an operator who takes a while to press "Start" still sees every sensor at +20 °C.
        c.temperatureStart = 20.0;
        c.stepPerPoll = 0.0;
        c.secondsPerDegree = 0.02;
        SimulatorEngine clocked(c);
        QSignalSpy clockedSent(&clocked, &SimulatorEngine::transmit);
        QTest::qWait(100);
        clocked.feed(hex("3101066c"));
        QCOMPARE(qint8(clockedSent.takeFirst().at(0).toByteArray()[3]), qint8(20));
    }

    // Worked by hand: at -10 °C sensor 0 reads a period of 10⁶·0.980965; with K0 = 1 and
    // K1 = -0.001 written, P(-10) = 1.01 in single precision, 1.00999999, gives 971252.484,
    // which a float holds as 971252.5: 971253. The sensor at 200, made raw, stays as it was.
    void compensationAfterWrite()
    {
        SimulatorConfig c = quietConfig();
        c.temperatureLow = c.temperatureHigh = c.temperatureStart = -10.0;
        c.rawSensors = {1};
        SimulatorEngine engine(c);
        QSignalSpy sent(&engine, &SimulatorEngine::transmit);
        const auto period = [&](const char *request) {
            engine.feed(hex(request));
            const QByteArray a = sent.takeLast().at(0).toByteArray();
            return qFromLittleEndian<quint32>(a.constData() + 8);
        };
        QCOMPARE(period("37010a0082"), 980965u);
        const quint32 raw = period("37c80a005f");
        // K0 = 1.0f and K1 = -0.001f into both sensors.
        for (const char *write : {"37015105 05 0000803f", "37015105 04 6f1283ba",
                 "37c85105 05 0000803f", "37c85105 04 6f1283ba"})
            engine.feed(withCrc8(hex(write)));
        QCOMPARE(period("37010a0082"), 971253u);
        QCOMPARE(period("37c80a005f"), raw);
    }

    void faultsFollowTheSeed()
    {
        auto run = [](quint64 seed, const FaultInjector::Rates &rates) {
            SimulatorConfig c = quietConfig();
            c.faults = rates;
            c.seed = seed;
            SimulatorEngine engine(c);
            QSignalSpy sent(&engine, &SimulatorEngine::transmit);
            for (int i = 0; i < 300; ++i)
                engine.feed(i % 3 ? hex("31c8066a") : QByteArray("DO"));
            return QList<QList<QVariant>>(sent);
        };
        // The same seed puts the same faults on the same requests; another seed, others.
        const FaultInjector::Rates all {0.1, 0.1, 0.1, 0.1, 0.1, 0.1};
        QCOMPARE(run(42, all), run(42, all));
        QVERIFY(run(42, all) != run(43, all));

        // A split answer comes in two parts; a wrong-address answer is well formed, so the
        // bench's address check, not its checksum, is what must reject it. Request 0 is
        // "DO", which never gets a wrong address; request 1 is for the sensor at 200.
        const QByteArray first = run(1, {0, 0, 0, 1, 0, 0}).value(1).value(0).toByteArray();
        QVERIFY(
            !first.isEmpty() && hex("3ec8061424770852cf").startsWith(first) && first.size() < 9);
        const QByteArray wrong = run(1, {0, 0, 0, 0, 0, 1}).value(1).value(0).toByteArray();
        QCOMPARE(wrong.size(), 9);
        QVERIFY(quint8(wrong[1]) != 0xc8);
        QCOMPARE(withCrc8(wrong.left(8)), wrong);
    }

    void commandLine()
    {
        SimulatorOptions options;
        QCOMPARE(options.parse({"sim", "--addresses", "7, 0,254", "--temp-min", "-10"}),
            SimulatorOptions::Result::Run);
        QCOMPARE(options.config().addresses, QVector<quint8>({7, 0, 254}));
        QCOMPARE(options.config().temperatureStart, -10.0);
        QCOMPARE(options.parse({"sim", "--no-compensation", "3,0"}), SimulatorOptions::Result::Run);
        QCOMPARE(options.config().rawSensors, QVector<int>({3, 0}));

        // Command lines that must be refused (the trailing blank gives an empty address list).
        for (const char *args :
            {"--sensors 7", "--addresses 1,255", "--addresses 1,1", "--addresses 1,2 --sensors 3",
                "--addresses ", "--drop 0.6 --corrupt 0.6", "--late nan", "--temp-max 200",
                "--sensors 3 --no-compensation 3", "--temp-start 100", "--seed -1", "stray"}) {
            const QStringList line = QStringLiteral("sim %1").arg(args).split(' ');
            QVERIFY2(options.parse(line) == SimulatorOptions::Result::Error, args);
        }
    }

    // The real program on a real pseudo-terminal, as the bench and the demo use it.
    void realProcess()
    {
        TempWorkDir dir;
        const QString link = dir.filePath("dut");
        SensorSimulator sim(TARIKON_SENSOR_SIM);
        QVERIFY2(
            sim.start({"--link", link, "--temp-min", "20", "--temp-max", "20", "--noise-ppm", "0"},
                dir.filePath("stats.json")),
            qPrintable(sim.errorText()));
        QCOMPARE(QFile::symLinkTarget(link), sim.devicePath());

        // Asked once through the link; that the line stays alive between openings, mbpoll's
        // six runs in the MODBUS master test show.
        const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY);
        QVERIFY(fd >= 0);
        QCOMPARE(::write(fd, "\x31\x01\x06\x6c", 4), ssize_t(4));
        QByteArray answer;
        char buf[64];
        for (pollfd p {fd, POLLIN, 0}; answer.size() < 9 && ::poll(&p, 1, 3000) > 0;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n <= 0)
                break;
            answer.append(buf, int(n));
        }
        ::close(fd);
        QCOMPARE(answer, hex("3e0106143075204ea3"));
        // SIGTERM: a clean exit that takes the link away.
        QVERIFY(sim.stop());
        QVERIFY(!QFileInfo(link).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestSensorSim)
#include "tst_sensorsim.moc"
