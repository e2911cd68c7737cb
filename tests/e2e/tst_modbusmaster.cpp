// The sensor simulator's MODBUS RTU side polled by mbpoll, a MODBUS master written by others:
// its answers must pass mbpoll's framing and CRC checks and carry the register map the bench
// reads (0 temperature, 1 level, 2 frequency, 3 zero), its exceptions must be well formed, and
// an address no sensor has must stay silent.

#include "e2e/simulatedbench.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace e2e;

namespace {

// Two sensors in a chamber held below zero, so register 0 carries a negative temperature.
constexpr int kChamberTemp = -25;
const QStringList kSimArguments = {"--addresses", "7,42", "--temp-start",
    QString::number(kChamberTemp), "--seconds-per-degree", "0"};

} // namespace

class TestModbusMaster : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_mbpoll = QStandardPaths::findExecutable("mbpoll");
        if (m_mbpoll.isEmpty())
            QSKIP(
                "mbpoll is not installed (Debian package mbpoll; tools/bootstrap.sh installs it)");
        m_model = SimModel(SensorSimulator::describe(TARIKON_SENSOR_SIM, kSimArguments));
        QCOMPARE(m_model.sensors.size(), 2);
        QVERIFY2(
            m_sim.start(kSimArguments, m_dir.filePath("sim.json")), qPrintable(m_sim.errorText()));
    }

    void cleanupTestCase() { QVERIFY(m_sim.stop()); }

    // Every sensor answers with its own readings; a read of part of the block gets that part.
    void registerMap()
    {
        for (int s = 0; s < 2; ++s) {
            const int address = m_model.sensors.at(s)["address"].toInt();
            const QMap<int, quint16> all = poll(address, 0, 4);
            QCOMPARE(all.keys(), (QList<int> {0, 1, 2, 3}));
            QCOMPARE(all[0], quint16(quint8(kChamberTemp))); // a signed byte in the low half
            QVERIFY(m_model.fits(s, "level", kChamberTemp, all[1]));
            QVERIFY(m_model.fits(s, "frequency", kChamberTemp, all[2]));
            QCOMPARE(all[3], quint16(0));

            const QMap<int, quint16> part = poll(address, 1, 2);
            QCOMPARE(part.keys(), (QList<int> {1, 2}));
            QVERIFY(m_model.fits(s, "level", kChamberTemp, part[1])
                && m_model.fits(s, "frequency", kChamberTemp, part[2]));
        }
    }

    // A register outside the map gets a proper exception; an unknown address gets silence.
    // Every byte mbpoll sent was taken as part of a request.
    void refusals()
    {
        const QJsonObject before = m_sim.counts();
        QVERIFY(poll(7, 4, 1, "0.3", "Illegal data address").isEmpty()); // sensor 7 has 0..3
        QVERIFY(poll(9, 0, 4, "0.3", "timed out").isEmpty()); // no sensor 9
        const QJsonObject after = m_sim.counts();
        QCOMPARE(
            after["requests"]["modbusRead"].toInt() - before["requests"]["modbusRead"].toInt(), 2);
        QCOMPARE(after["ignored"].toInt() - before["ignored"].toInt(), 1);
        QCOMPARE(after.value("discardedBytes").toInt(-1), 0);
    }

private:
    // One poll of holding registers first..first+count-1 (zero-based) at 19200 8N1: the
    // registers mbpoll printed. It must succeed, or fail with `error` on its standard error.
    QMap<int, quint16> poll(int address, int first, int count, const QString &timeoutSeconds = "2",
        const QString &error = {}) const
    {
        QProcess process;
        process.start(m_mbpoll,
            QStringLiteral("-m rtu -b 19200 -d 8 -s 1 -P none -t 4:hex -0 -1").split(' ')
                + QStringList {"-a", QString::number(address), "-r", QString::number(first), "-c",
                    QString::number(count), "-o", timeoutSeconds, m_sim.devicePath()});
        QMap<int, quint16> registers;
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
            QTest::qFail("mbpoll did not finish", __FILE__, __LINE__);
            return registers;
        }
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        const bool failed = process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0;
        if (failed != !error.isEmpty() || !errors.contains(error))
            QTest::qFail(qPrintable("mbpoll: " + errors), __FILE__, __LINE__);
        // Register lines look like "[1]: \t0x707D".
        static const QRegularExpression line(
            "^\\[(\\d+)\\]:\\s+0x([0-9A-Fa-f]{4})\\s*$", QRegularExpression::MultilineOption);
        auto matches = line.globalMatch(QString::fromLocal8Bit(process.readAllStandardOutput()));
        while (matches.hasNext()) {
            const QRegularExpressionMatch m = matches.next();
            registers.insert(m.captured(1).toInt(), quint16(m.captured(2).toUInt(nullptr, 16)));
        }
        return registers;
    }

    TempWorkDir m_dir;
    SensorSimulator m_sim {TARIKON_SENSOR_SIM};
    SimModel m_model;
    QString m_mbpoll;
};

QTEST_GUILESS_MAIN(TestModbusMaster)
#include "tst_modbusmaster.moc"
