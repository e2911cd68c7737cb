#include "protocol/crc.h"
#include "sensor-sim/sensoranswers.h"
#include "sensor-sim/simulatorengine.h"
#include "sensor-sim/simulatoroptions.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

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

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// What the bench would take as a good reading from the sensor at `address`.
bool readable(const QByteArray &a, quint8 address)
{
    static const QRegularExpression text("^F=[0-9A-F]{4} t=[0-9A-F]{2} N=[0-9A-F]{4}.0");
    if (text.match(QString::fromLatin1(a)).hasMatch())
        return true;
    if (a.size() == 13 && quint8(a[0]) == address && a[1] == 0x03
        && crc16(a.left(11)) == quint16(quint8(a[11]) | quint8(a[12]) << 8))
        return true;
    return a.size() >= 6 && crc8(a.left(a.size() - 1)) == quint8(a.back())
        && quint8(a[1]) == address && (a[0] == 0x39 || a[0] == 0x3E);
}

} // namespace

class TestSensorSim : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QDir::setCurrent(m_dir.path());
    }

    // The encoders against answers worked out by hand from the wire layouts.
    void answerLayouts()
    {
        QCOMPARE(SensorAnswers::levelFrequency(5, 25, 3200, 6699), hex("3e0506 19 800c 2b1a d2"));
        QCOMPARE(SensorAnswers::modbusRegisters(1, {25, 3200, 0, 0}),
            hex("010308 0019 0c80 0000 0000 1c04"));
        QCOMPARE(SensorAnswers::coefficientValue(1, 0x3F800000), hex("39014c04 0000803f 6f"));
        QCOMPARE(SensorAnswers::text(-2, 3200, 6699), QByteArray("F=1A2B t=FE N=0C80.0"));
        // Negative temperatures travel as two's complement, and MODBUS keeps the high half 0.
        QCOMPARE(SensorAnswers::modbusRegisters(1, {quint16(quint8(-20))}).mid(3, 2), hex("00ec"));
        QCOMPARE(SensorAnswers::levelPeriod(1, -40, 1, 0x01020304).mid(4, 8),
            hex("00 0100 d8 04030201"));
    }

    void everyRequestAnswered_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("level/period, 1") << hex("37010a0082") << hex("39010a080030751440420f00c9");
        QTest::newRow("level/period, 200")
            << hex("37c80a005f") << hex("39c80a080024771490051000e5");
        QTest::newRow("level/frequency, 1") << hex("3101066c") << hex("3e0106143075204ea3");
        QTest::newRow("level/frequency, 200") << hex("31c8066a") << hex("3ec8061424770852cf");
        QTest::newRow("text: first sensor")
            << QByteArray("DO") << QByteArray("F=4E20 t=14 N=7530.0");
        QTest::newRow("modbus, 1") << hex("0103000000044409") << hex("010308001475304e2000009c55");
        QTest::newRow("modbus, 200")
            << hex("c803000000045590") << hex("c803080014772452080000f8b3");
        QTest::newRow("modbus, registers 1..2")
            << hex("01030001000295cb") << hex("01030475304e20d448");
        QTest::newRow("modbus, past the map") << hex("010300030002340b") << hex("018302c0f1");
        QTest::newRow("modbus, no registers") << hex("01030000000045ca") << hex("0183030131");
        QTest::newRow("fresh coefficient") << hex("37014c01052b") << hex("39014c0400000000bf");
        // Silence, as on a real bus.
        QTest::newRow("no such sensor") << hex("37020a0066") << QByteArray();
        QTest::newRow("no such sensor, modbus") << hex("020300000004443a") << QByteArray();
        QTest::newRow("modbus broadcast") << hex("00030000000445d8") << QByteArray();
        QTest::newRow("bad crc-8") << hex("37010a0083") << QByteArray();
        QTest::newRow("bad crc-16") << hex("0103000000044408") << QByteArray();
        QTest::newRow("unknown coefficient") << hex("37014c0106c9") << QByteArray();
        QTest::newRow("lower-case do") << QByteArray("do") << QByteArray();
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

        // Byte by byte: each request is answered once its last byte is in, not before.
        const QByteArray requests[] = {hex("37010a0082"), hex("3101066c"), QByteArray("DO"),
            hex("0103000000044409"), hex("37015105050000803f2b"), hex("37014c01052b")};
        for (const QByteArray &request : requests) {
            const int before = sent.count();
            for (int i = 0; i < request.size(); ++i) {
                QCOMPARE(sent.count(), before);
                engine.feed(request.mid(i, 1));
            }
            QCOMPARE(sent.count(), before + 1);
        }
        QCOMPARE(engine.stats().requests(), quint64(6));
        QCOMPARE(engine.stats().discardedBytes(), quint64(0));

        // Noise, a request with a bad checksum and two good requests in one read.
        sent.clear();
        engine.feed(hex("ff00") + hex("3101066d") + hex("37c80a005f") + hex("31c8066a"));
        QCOMPARE(sent.count(), 2);
        QCOMPARE(sent.at(0).at(0).toByteArray(), hex("39c80a080024771490051000e5"));
        QCOMPARE(sent.at(1).at(0).toByteArray(), hex("3ec8061424770852cf"));

        // A prefix that could still become a request is kept until the line goes quiet, then
        // dropped, so it cannot swallow the next request.
        sent.clear();
        engine.feed(hex("37c8510502")); // half a coefficient write
        engine.lineIdle();
        engine.feed(hex("3101066c"));
        QCOMPARE(sent.count(), 1);

        // A long burst of noise: nothing answered, nothing kept beyond one request's length.
        sent.clear();
        QByteArray noise;
        for (int i = 0; i < 5000; ++i)
            noise.append(char((i * 37 + 11) & 0xFF));
        noise.replace("DO", "D_"); // the one request without a checksum
        engine.feed(noise);
        QVERIFY(sent.count() <= 1); // a stray valid frame in the noise is possible, not likely
        engine.lineIdle();
        engine.feed(hex("37010a0082"));
        QCOMPARE(sent.last().at(0).toByteArray(), hex("39010a080030751440420f00c9"));
    }

    void coefficientsStoredPerSensor()
    {
        SimulatorEngine engine(quietConfig());
        QSignalSpy sent(&engine, &SimulatorEngine::transmit);
        engine.feed(hex("37015105050000803f2b")); // 1.0 at index 5 of sensor 1
        engine.feed(hex("37c8510502000048c161")); // -12.5 at index 2 of sensor 200
        QCOMPARE(sent.at(0).at(0).toByteArray(), hex("3901510105d3"));
        QCOMPARE(sent.at(1).at(0).toByteArray(), hex("39c8510102fa"));

        engine.feed(hex("37014c01052b") + hex("37c84c010202"));
        QCOMPARE(sent.at(2).at(0).toByteArray(), hex("39014c040000803f6f"));
        QCOMPARE(sent.at(3).at(0).toByteArray(), hex("39c84c04000048c15a"));
        // The other sensor's index 5 is untouched.
        QCOMPARE(engine.sensor(200)->coefficient(5), std::optional<quint32>(0));

        // Any bit pattern comes back as written, a NaN included.
        QByteArray write = hex("3701510503") + hex("0100c07f");
        write.append(char(crc8(write)));
        engine.feed(write);
        QByteArray read = hex("37014c0103");
        read.append(char(crc8(read)));
        engine.feed(read);
        QCOMPARE(sent.last().at(0).toByteArray().mid(4, 4), hex("0100c07f"));
    }

    // The sweep visits -40..80..-40, and the values follow the dependence --describe
    // publishes, which is what a fit of the collected data must recover.
    void sweepFollowsPublishedDependence()
    {
        SimulatorConfig c;
        c.addresses = {1, 2, 3, 4, 5, 6};
        c.noisePpm = 0.0;
        c.stepPerPoll = 1.0;
        SimulatorEngine engine(c);
        const QJsonArray described = engine.describe().value("sensors").toArray();
        QCOMPARE(described.size(), 6);
        QSignalSpy sent(&engine, &SimulatorEngine::transmit);

        auto normalised = [&](int sensor, const char *quantity, double t) {
            const QJsonArray k = described.at(sensor)
                                     .toObject()
                                     .value(quantity)
                                     .toObject()
                                     .value("normalised")
                                     .toArray();
            double v = 0.0;
            for (int i = k.size() - 1; i >= 0; --i)
                v = v * t + k.at(i).toDouble();
            return v;
        };
        auto base = [&](int sensor, const char *quantity) {
            return described.at(sensor)
                .toObject()
                .value(quantity)
                .toObject()
                .value("base")
                .toDouble();
        };

        QVector<int> visited;
        for (int poll = 0; poll < 241; ++poll) {
            const int sensor = poll % 6;
            QByteArray request = hex("37000a00");
            request[1] = char(sensor + 1);
            request.append(char(crc8(request)));
            engine.feed(request);
            const QByteArray a = sent.last().at(0).toByteArray();
            const int t = qint8(a[7]);
            visited.append(t);
            const double level = quint8(a[5]) | quint8(a[6]) << 8;
            const double period = quint8(a[8]) | quint8(a[9]) << 8 | quint8(a[10]) << 16
                | quint32(quint8(a[11])) << 24;
            QVERIFY2(
                std::abs(level - base(sensor, "level") * normalised(sensor, "level", t)) <= 0.5,
                qPrintable(QStringLiteral("level, sensor %1 at %2").arg(sensor).arg(t)));
            QVERIFY(
                std::abs(period - base(sensor, "period") * normalised(sensor, "period", t)) <= 0.5);

            QByteArray text("DO");
            engine.feed(text);
            const QByteArray ta = sent.last().at(0).toByteArray();
            const double freq = ta.mid(2, 4).toInt(nullptr, 16);
            const int tt = qint8(ta.mid(9, 2).toInt(nullptr, 16));
            QVERIFY(std::abs(freq - base(0, "frequency") * normalised(0, "frequency", tt)) <= 0.5);
        }
        // Two measurement requests per loop, one degree each: 80 °C after 120 degrees, back
        // at -40 after 240, and again after 480.
        QCOMPARE(visited.first(), -40);
        QCOMPARE(visited.at(60), 80);
        QCOMPARE(visited.at(120), -40);
        QCOMPARE(visited.last(), -40);
        QCOMPARE(*std::max_element(visited.begin(), visited.end()), 80);
        QCOMPARE(*std::min_element(visited.begin(), visited.end()), -40);

        // Sensors must differ, or a reading credited to the wrong one would go unseen.
        QVERIFY(normalised(0, "level", 80) != normalised(1, "level", 80));
    }

    void faultsRepeatableWithSeed()
    {
        SimulatorConfig c = quietConfig();
        c.faults = {0.1, 0.1, 0.1, 0.1, 0.1, 0.1};
        c.lateMs = 5;
        c.splitGapMs = 1;
        c.seed = 42;

        FaultyRun first;
        runWithFaults(c, &first);
        if (QTest::currentTestFailed())
            return;
        const QJsonObject faults = first.stats.value("faults").toObject();
        for (const QString &kind : faults.keys()) {
            // About 60 of each in 600 answers (a third are text: no wrong address there).
            QVERIFY2(faults.value(kind).toInt() >= 20 && faults.value(kind).toInt() <= 100,
                qPrintable(kind));
        }
        // What the simulator counts as spoiled is exactly what a decoder fails to read.
        QCOMPARE(first.stats.value("answered").toInt(), 600);
        QCOMPARE(first.readableAtOnce + faults.value("split").toInt(),
            600 - first.stats.value("spoiled").toInt());

        FaultyRun again;
        runWithFaults(c, &again);
        QCOMPARE(again.stats, first.stats);
        QCOMPARE(again.wire, first.wire);
        QCOMPARE(again.later, first.later);
        c.seed = 43;
        FaultyRun other;
        runWithFaults(c, &other);
        QVERIFY(other.wire != first.wire);
    }

    void commandLine()
    {
        SimulatorOptions options;
        QCOMPARE(options.parse({"sim"}), SimulatorOptions::Result::Run);
        QCOMPARE(options.config().addresses, QVector<quint8>({1, 2, 3, 4, 5, 6}));
        QCOMPARE(options.config().temperatureStart, -40.0);

        QCOMPARE(options.parse({"sim", "--addresses", "7, 0,254", "--temp-min", "-10"}),
            SimulatorOptions::Result::Run);
        QCOMPARE(options.config().addresses, QVector<quint8>({7, 0, 254}));
        QCOMPARE(options.config().temperatureStart, -10.0);

        const QStringList bad[] = {
            {"sim", "--sensors", "7"},
            {"sim", "--addresses", "1,255"},
            {"sim", "--addresses", "1,1"},
            {"sim", "--addresses", "1,2", "--sensors", "3"},
            {"sim", "--addresses", ""},
            {"sim", "--drop", "0.6", "--corrupt", "0.6"},
            {"sim", "--late", "nan"},
            {"sim", "--temp-max", "200"},
            {"sim", "--temp-start", "100"},
            {"sim", "--seed", "-1"},
            {"sim", "stray"},
        };
        for (const QStringList &args : bad)
            QVERIFY2(
                options.parse(args) == SimulatorOptions::Result::Error, qPrintable(args.join(' ')));
    }

    // The real program on a real pseudo-terminal, as the bench and the demo use it.
    void realProcess()
    {
        const QString link = m_dir.filePath("dut");
        const QString statsPath = m_dir.filePath("stats.json");
        QProcess sim;
        sim.start(TARIKON_SENSOR_SIM,
            {"--link", link, "--stats", statsPath, "--temp-min", "20", "--temp-max", "20",
                "--noise-ppm", "0"});
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY(sim.canReadLine());
        const QString device = QString::fromLocal8Bit(sim.readLine()).trimmed();
        QVERIFY(device.startsWith("/dev/"));
        QCOMPARE(QFile::symLinkTarget(link), device);

        // Open, ask, close, and again: the simulator's own hold on the slave keeps the line
        // alive between the bench's openings.
        for (int round = 0; round < 2; ++round) {
            const int fd = ::open(QFile::encodeName(link).constData(), O_RDWR | O_NOCTTY);
            QVERIFY(fd >= 0);
            termios tio {};
            QCOMPARE(::tcgetattr(fd, &tio), 0);
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
            const QByteArray request = hex("3101066c");
            QCOMPARE(
                ::write(fd, request.constData(), size_t(request.size())), ssize_t(request.size()));
            QByteArray answer;
            while (answer.size() < 9) {
                pollfd p {fd, POLLIN, 0};
                if (::poll(&p, 1, 3000) <= 0)
                    break;
                char buf[64];
                const ssize_t n = ::read(fd, buf, sizeof buf);
                if (n <= 0)
                    break;
                answer.append(buf, int(n));
            }
            ::close(fd);
            QCOMPARE(answer, hex("3e0106143075204ea3"));
        }

        ::kill(pid_t(sim.processId()), SIGTERM);
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo(link).isSymLink());
        QFile stats(statsPath);
        QVERIFY(stats.open(QIODevice::ReadOnly));
        const QJsonObject counts = QJsonDocument::fromJson(stats.readAll()).object();
        QCOMPARE(counts.value("requests").toObject().value("levelFrequency").toInt(), 2);
        QCOMPARE(counts.value("answered").toInt(), 2);
    }

private:
    struct FaultyRun
    {
        QList<QByteArray> wire; // what each request got at once (empty: nothing)
        QList<QByteArray> later; // late answers and second halves, sorted: timing orders them
        QJsonObject stats;
        int readableAtOnce = 0;
    };

    // 600 requests to the sensor at 200, every third one "DO" for the sensor at 1; checks the
    // trace each fault leaves on the line.
    void runWithFaults(const SimulatorConfig &config, FaultyRun *out)
    {
        SimulatorEngine engine(config);
        QSignalSpy sent(&engine, &SimulatorEngine::transmit);
        const QByteArray clean = hex("3ec8061424770852cf");
        for (int i = 0; i < 600; ++i) {
            const bool text = i % 3 == 2;
            const quint8 address = text ? 1 : 200;
            const QJsonObject before = engine.stats().toJson().value("faults").toObject();
            const int emitted = sent.count();
            engine.feed(text ? QByteArray("DO") : hex("31c8066a"));
            const QJsonObject after = engine.stats().toJson().value("faults").toObject();
            const QByteArray now
                = sent.count() > emitted ? sent.last().at(0).toByteArray() : QByteArray();
            out->readableAtOnce += readable(now, address) ? 1 : 0;
            out->wire.append(now);

            if (before == after) {
                QVERIFY(text ? now.startsWith("F=4E20 t=14 N=7530.0") : now == clean);
            } else if (after["drop"] != before["drop"] || after["late"] != before["late"]) {
                QCOMPARE(sent.count(), emitted);
            } else if (after["split"] != before["split"]) {
                QVERIFY(!now.isEmpty() && !readable(now, address));
            } else if (after["garbage"] != before["garbage"]) {
                QVERIFY(now.size() >= 1 && now.size() <= 12 && !readable(now, address));
            } else if (after["wrongAddress"] != before["wrongAddress"]) {
                QVERIFY(!text && !readable(now, address));
                QVERIFY(readable(now, quint8(now[1]))); // well formed, only not ours
            } else {
                QVERIFY(after["corrupt"] != before["corrupt"]);
                QVERIFY(!readable(now, address));
            }
        }
        // Late answers and the second halves of split ones come afterwards.
        const int expected = 600 - int(engine.stats().faults(FaultInjector::Kind::Drop))
            + int(engine.stats().faults(FaultInjector::Kind::Split));
        const int atOnce = sent.count();
        QTRY_COMPARE(sent.count(), expected);
        for (int i = atOnce; i < sent.count(); ++i)
            out->later.append(sent.at(i).at(0).toByteArray());
        std::sort(out->later.begin(), out->later.end());
        out->stats = engine.stats().toJson();
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestSensorSim)
#include "tst_sensorsim.moc"
