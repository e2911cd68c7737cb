// The sensor simulator's MODBUS RTU side polled by mbpoll, a MODBUS master written by others:
// its answers must pass mbpoll's framing and CRC checks and carry the register map the bench
// reads (0 temperature, 1 level, 2 frequency, 3 zero), its exceptions must be well formed, and
// an address no sensor has must stay silent.

#include "e2e/simulatedbench.h"
#include "support/sensorsimulator.h"
#include "support/tempworkdir.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

using namespace e2e;

namespace {

// Two sensors in a chamber held below zero, so register 0 carries a negative temperature.
constexpr int kChamberTemp = -25;
const QStringList kSimArguments
    = {QStringLiteral("--addresses"), QStringLiteral("7,42"), QStringLiteral("--temp-start"),
        QString::number(kChamberTemp), QStringLiteral("--seconds-per-degree"), QStringLiteral("0")};
constexpr int kUnknownAddress = 9;

struct MbpollResult
{
    int exitCode = -1;
    QMap<int, quint16> registers; // register number -> value, as mbpoll printed them
    QString errors; // mbpoll's standard error
};

} // namespace

class TestModbusMaster : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_mbpoll = QStandardPaths::findExecutable(QStringLiteral("mbpoll"));
        if (m_mbpoll.isEmpty())
            QSKIP(
                "mbpoll is not installed (Debian package mbpoll; tools/bootstrap.sh installs it)");
        QVERIFY(m_dir.isValid());
        m_model = SimModel::of(
            SensorSimulator::describe(QStringLiteral(TARIKON_SENSOR_SIM), kSimArguments));
        QCOMPARE(m_model.sensors.size(), 2);
        QVERIFY2(m_sim.start(kSimArguments, m_dir.filePath(QStringLiteral("sim.json"))),
            qPrintable(m_sim.errorText()));
    }

    void cleanupTestCase() { QVERIFY(m_sim.stop()); }

    // Every sensor answers with its own readings; a read of part of the block gets that part.
    void registerMap()
    {
        for (const SimSensor &sensor : qAsConst(m_model.sensors)) {
            const MbpollResult all = poll(sensor.address, 0, 4);
            QVERIFY2(all.exitCode == 0, qPrintable(all.errors));
            QCOMPARE(all.registers.keys(), (QList<int> {0, 1, 2, 3}));
            const quint16 temperature = all.registers.value(0);
            QCOMPARE(temperature >> 8, 0); // the signed byte sits in the low half only
            QCOMPARE(int(qint8(temperature & 0xFF)), kChamberTemp);
            QVERIFY2(m_model.fits(sensor.level, kChamberTemp, all.registers.value(1)),
                qPrintable(QString::number(all.registers.value(1))));
            QVERIFY2(m_model.fits(sensor.frequency, kChamberTemp, all.registers.value(2)),
                qPrintable(QString::number(all.registers.value(2))));
            QCOMPARE(all.registers.value(3), quint16(0));

            const MbpollResult part = poll(sensor.address, 1, 2);
            QVERIFY2(part.exitCode == 0, qPrintable(part.errors));
            QCOMPARE(part.registers.keys(), (QList<int> {1, 2}));
            QVERIFY(m_model.fits(sensor.level, kChamberTemp, part.registers.value(1)));
            QVERIFY(m_model.fits(sensor.frequency, kChamberTemp, part.registers.value(2)));
        }
    }

    // A register outside the map gets a proper exception; an unknown address gets silence.
    // Every byte mbpoll sent was taken as part of a request.
    void refusals()
    {
        const QJsonObject before = m_sim.counts();

        const MbpollResult outside = poll(m_model.sensors.first().address, 4, 1);
        QVERIFY(outside.exitCode != 0);
        QVERIFY(outside.registers.isEmpty());
        QVERIFY2(outside.errors.contains(QLatin1String("Illegal data address")),
            qPrintable(outside.errors));

        const MbpollResult unknown = poll(kUnknownAddress, 0, 4, QStringLiteral("0.3"));
        QVERIFY(unknown.exitCode != 0);
        QVERIFY(unknown.registers.isEmpty());
        QVERIFY2(unknown.errors.contains(QLatin1String("timed out")), qPrintable(unknown.errors));

        const QJsonObject after = m_sim.counts();
        QCOMPARE(
            count(after, "requests", "modbusRead") - count(before, "requests", "modbusRead"), 2);
        QCOMPARE(after.value(QStringLiteral("ignored")).toInt()
                - before.value(QStringLiteral("ignored")).toInt(),
            1);
        QCOMPARE(after.value(QStringLiteral("discardedBytes")).toInt(-1), 0);
    }

private:
    // One poll of holding registers first..first+count-1 (zero-based) at 19200 8N1. A
    // pseudo-terminal has no modem lines, and mbpoll needs none unless asked for RS-485 mode.
    MbpollResult poll(int address, int first, int count,
        const QString &timeoutSeconds = QStringLiteral("2")) const
    {
        QProcess process;
        process.start(m_mbpoll,
            {QStringLiteral("-m"), QStringLiteral("rtu"), QStringLiteral("-b"),
                QStringLiteral("19200"), QStringLiteral("-d"), QStringLiteral("8"),
                QStringLiteral("-s"), QStringLiteral("1"), QStringLiteral("-P"),
                QStringLiteral("none"), QStringLiteral("-a"), QString::number(address),
                QStringLiteral("-t"), QStringLiteral("4:hex"), QStringLiteral("-0"),
                QStringLiteral("-r"), QString::number(first), QStringLiteral("-c"),
                QString::number(count), QStringLiteral("-o"), timeoutSeconds, QStringLiteral("-1"),
                m_sim.devicePath()});
        MbpollResult result;
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
            result.errors = QStringLiteral("mbpoll did not finish");
            return result;
        }
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.errors = QString::fromLocal8Bit(process.readAllStandardError());
        // Register lines look like "[1]: \t0x707D".
        static const QRegularExpression line(
            QStringLiteral("^\\[(\\d+)\\]:\\s+0x([0-9A-Fa-f]{4})\\s*$"),
            QRegularExpression::MultilineOption);
        auto matches = line.globalMatch(QString::fromLocal8Bit(process.readAllStandardOutput()));
        while (matches.hasNext()) {
            const QRegularExpressionMatch m = matches.next();
            result.registers.insert(
                m.captured(1).toInt(), quint16(m.captured(2).toUInt(nullptr, 16)));
        }
        return result;
    }

    static int count(const QJsonObject &counts, const char *group, const char *key)
    {
        return counts.value(QLatin1String(group)).toObject().value(QLatin1String(key)).toInt();
    }

    TempWorkDir m_dir;
    SensorSimulator m_sim {QStringLiteral(TARIKON_SENSOR_SIM)};
    SimModel m_model;
    QString m_mbpoll;
};

QTEST_GUILESS_MAIN(TestModbusMaster)

#include "tst_modbusmaster.moc"
