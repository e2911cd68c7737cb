#include "sensors/logwriter.h"
#include "sensors/rundirectorylock.h"
#include "sensors/runlog.h"
#include "sensors/runlogreader.h"
#include "support/filesizelimit.h"
#include "support/frames.h"
#include "support/tempworkdir.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QSignalSpy>
#include <QtTest>

using frames::reading;

namespace {

const QDateTime moment(QDate(2026, 12, 5), QTime(23, 48, 17));

QString fields(const DutInfo &i)
{
    return QStringLiteral("%1 %2 %3 %4 %5")
        .arg(i.aux)
        .arg(i.temp)
        .arg(i.level)
        .arg(i.freq)
        .arg(i.period);
}

// Readings from..to-1 of sensor 1, each with its trace.
void put(RunLog &log, int from, int to)
{
    for (int i = from; i < to; ++i) {
        log.writeTrace("\r\n>>310206a8\r\n<<");
        log.writeSensor(1, 1, reading(20, quint16(1000 + i)));
    }
}

} // namespace

class TestRunLog : public QObject
{
    Q_OBJECT

private slots:
    void sensorLinesFollowTheBenchProtocol();
    void filesThatCannotBeMadeAreReportedOnce();
    void linesBackToReadings_data();
    void linesBackToReadings();
    void filesAndRuns();
    void fullDiskLinesWaitInOrder();
    void linesPastTheBoundAreDroppedAndSaid();
    void closedRunKeepsWaitingLines();
    void twoBenchesNeverShareADirectory();
    void leftLocks_data();
    void leftLocks();
};

using Line = RunLogReader::Line;
Q_DECLARE_METATYPE(RunLogReader::Line)

// The columns follow the protocol in force when the answer was taken, not the answer's shape.
// Those of the other protocols are read back below, and checked for every protocol in the logs
// of the simulated-line test.
void TestRunLog::sensorLinesFollowTheBenchProtocol()
{
    // Qt's text date ("Sat Dec 5 23:48:17 2026" under the C locale the tests run in).
    const QByteArray time = moment.toString(Qt::TextDate).toUtf8() + ' ';
    const DutInfo r {0, 1, 0, 3200, 6699, 4294967295u, -12, 7};
    QCOMPARE(RunLog::sensorLine(moment, 0, r), time + "7 -12 3200 4294967295 \r\n");
    // Protocol changed to 4 while an answer was due: the line still ends.
    QCOMPARE(RunLog::sensorLine(moment, 4, r), time + "-12 3200 \r\n");
    QCOMPARE(RunLog::sensorLine(moment, 0, DutInfo()), time + "error \r\n");
}

void TestRunLog::filesThatCannotBeMadeAreReportedOnce()
{
    TempWorkDir sandbox;
    QVERIFY(sandbox.isValid());
    // A plain file stands where the run directory should go.
    QVERIFY(TempWorkDir::put(sandbox.filePath("2026_12_05_23_48_17"), QByteArray()));

    RunLog log;
    QSignalSpy status(&log, &RunLog::sigStatus);
    // Said with the first line, when the directory is made.
    log.open(moment);
    QCOMPARE(status.count(), 0);
    log.writeTrace("\r\n>>310006a8\r\n<<");
    QCOMPARE(status.count(), 1);
    QVERIFY(status.at(0).at(0).toString().contains("2026_12_05_23_48_17"));
    // The run goes on without files and without further complaints.
    log.writeSensor(0, 1, DutInfo());
    QCOMPARE(status.count(), 1);

    // One file in the way: that file is named, the others are written.
    QVERIFY(QDir(sandbox.path()).mkpath("2026_12_05_23_48_18/3.txt"));
    log.open(moment.addSecs(1));
    log.writeTrace("");
    QCOMPARE(status.count(), 1);
    log.writeSensor(4, 1, DutInfo());
    QCOMPARE(status.count(), 2);
    QVERIFY(status.at(1).at(0).toString().contains("3.txt"));
    log.writeSensor(6, 1, DutInfo()); // no such sensor
    QVERIFY(TempWorkDir::contents(sandbox.filePath("2026_12_05_23_48_18/4.txt"))
                .endsWith(" error \r\n"));

    // Reopening within the same second continues the files instead of emptying the run
    // that just ended; writes after closing are dropped.
    log.writeTrace("old");
    log.open(moment.addSecs(1));
    log.writeTrace("new");
    log.close();
    log.writeTrace("late");
    QCOMPARE(TempWorkDir::contents(sandbox.filePath("2026_12_05_23_48_18/all.log")),
        QByteArray("oldnew"));
    QCOMPARE(status.count(), 3);
}

void TestRunLog::linesBackToReadings_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<RunLogReader::Line>("kind");
    QTest::addColumn<QString>("fields"); // aux temp level freq period

    // What the run-log writer makes, for each protocol, read back.
    const auto written = [](quint8 protocol, const DutInfo &info) {
        return RunLog::sensorLine(moment, protocol, info);
    };
    const DutInfo all = reading(-12, 65535, 6699, 4294967295u, 7);
    QTest::newRow("Veltaro-MD level")
        << written(0, all) << Line::Reading << "7 -12 65535 0 4294967295";
    QTest::newRow("Тервал bin") << written(1, all) << Line::Reading << "0 -12 65535 6699 0";
    QTest::newRow("MODBUS RTU") << written(3, all) << Line::Reading << "0 -12 65535 0 0";
    QTest::newRow("failed poll") << written(1, DutInfo()) << Line::Error << "";
    QTest::newRow("edges of the range")
        << written(3, reading(100, 0)) << Line::Reading << "0 100 0 0 0";
    QTest::newRow("below the range") << written(3, reading(-91, 5)) << Line::OutOfRange << "";
    QTest::newRow("above the range") << written(3, reading(101, 5)) << Line::OutOfRange << "";

    // The date's words follow the locale; only the clock and year that end it count.
    QTest::newRow("another locale's date, LF only")
        << QByteArray("Сб дек. 5 23:48:17 2026 25 3200 \n") << Line::Reading << "0 25 3200 0 0";
    QTest::newRow("blank") << QByteArray("\r\n") << Line::Blank << "";
    QTest::newRow("no year") << QByteArray("Sat Dec 5 23:48:17 25 3200 \r\n") << Line::Damaged
                             << "";
    QTest::newRow("five fields") << QByteArray("Sat Dec 5 23:48:17 2026 1 2 3 4 5 \r\n")
                                 << Line::Damaged << "";
    QTest::newRow("level past 16 bits")
        << QByteArray("Sat Dec 5 23:48:17 2026 25 65536 \r\n") << Line::Damaged << "";
    QTest::newRow("not a number") << QByteArray("Sat Dec 5 23:48:17 2026 25 32x0 \r\n")
                                  << Line::Damaged << "";
    QTest::newRow("NUL inside a number")
        << QByteArrayLiteral("Sat Dec 5 23:48:17 2026 0 2\0 29998 999957 \r\n") << Line::Damaged
        << "";
    QTest::newRow("cut after the clock") << QByteArray("Sat Dec 5 23:48:1") << Line::Damaged << "";
}

void TestRunLog::linesBackToReadings()
{
    QFETCH(QByteArray, line);
    QFETCH(RunLogReader::Line, kind);
    QFETCH(QString, fields);
    DutInfo info;
    QCOMPARE(RunLogReader::parseLine(line, &info), kind);
    if (kind == Line::Reading) {
        QCOMPARE(info.valid, quint8(1));
        QCOMPARE(::fields(info), fields);
    }
}

// A whole file: Windows line ends, no final line end, an overlong line, counted as they come;
// a run directory without some of the six files.
void TestRunLog::filesAndRuns()
{
    const QByteArray good = "Sat Dec 5 23:48:17 2026 25 3200 \r\n";
    QByteArray file = good + "Sat Dec 5 23:48:18 2026 error \r\n\r\n" + QByteArray(100000, 'x')
        + "\r\n" + good + "garbage\r\nSat Dec 5 23:48:19 2026 -95 1 \r\n"
        + "Sat Dec 5 23:48:20 2026 26 3300 ";
    QBuffer buffer(&file);
    buffer.open(QIODevice::ReadOnly);
    QList<DutInfo> readings;
    const RunLogReader::Counts counts
        = RunLogReader::read(buffer, [&readings](const DutInfo &i) { readings << i; });
    QCOMPARE(counts.readings, 3);
    QCOMPARE(counts.errors, 1);
    QCOMPARE(counts.blank, 1);
    QCOMPARE(counts.damaged, 2);
    QCOMPARE(counts.outOfRange, 1);
    QCOMPARE(readings.size(), 3);
    QCOMPARE(readings.last().level, quint16(3300));

    TempWorkDir dir;
    QVERIFY(QDir(dir.path()).mkdir("run"));
    QVERIFY(TempWorkDir::put(dir.filePath("run/1.txt"), good + good));
    QVERIFY(TempWorkDir::put(dir.filePath("run/4.txt"), QByteArray()));
    QList<quint8> sensors;
    const RunLogReader::Run run = RunLogReader::readRun(
        dir.filePath("run"), [&sensors](quint8 s, const DutInfo &) { sensors << s; });
    QCOMPARE(sensors, (QList<quint8> {1, 1}));
    for (quint8 s = 0; s < run.size(); ++s)
        QCOMPARE(run[s].present, s == 1 || s == 4);
}

// A disk that takes no more: whole lines only on it, the rest waits in order and is said to
// wait, and everything is there once the disk takes it again.
void TestRunLog::fullDiskLinesWaitInOrder()
{
    TempWorkDir sandbox;
    QVERIFY(sandbox.isValid());
    RunLog log;
    QSignalSpy backlog(&log, &RunLog::sigBacklog);
    log.open(moment);
    const QString file = QDir(log.directory()).filePath("1.txt");
    auto levels = [&file] {
        QStringList got;
        // Time (five words), temperature, level, frequency.
        for (const QString &line : QString::fromUtf8(TempWorkDir::contents(file)).split("\r\n"))
            if (!line.isEmpty())
                got << line.section(' ', 6, 6);
        return got;
    };
    put(log, 0, 5);
    const int lineSize = int(QFileInfo(file).size() / 5);
    {
        // Room for one line and a half: the second is cut off the file again.
        const FileSizeLimit limit(rlim_t(QFileInfo(file).size() + lineSize * 3 / 2));
        put(log, 5, 30);
        QVERIFY(TempWorkDir::contents(file).endsWith("\r\n"));
        QCOMPARE(levels().size(), 6);
        QVERIFY(!backlog.isEmpty());
        const QString said = backlog.last().at(0).toString();
        QVERIFY2(said.contains("журнал прогона") && said.contains("1.txt")
                && said.contains(QString::number(log.waitingLines())),
            qPrintable(said));
        log.writer()->retry();
        QCOMPARE(levels().size(), 6);
    }
    const int told = int(backlog.size());
    log.writer()->retry();
    QCOMPARE(log.waitingLines(), 0);
    QStringList expected;
    for (int i = 0; i < 30; ++i)
        expected << QString::number(1000 + i);
    QCOMPARE(levels(), expected);
    QCOMPARE(TempWorkDir::contents(QDir(log.directory()).filePath("all.log")),
        QByteArray("\r\n>>310206a8\r\n<<").repeated(30));
    QCOMPARE(backlog.size(), told + 1);
    QCOMPARE(backlog.last().at(0).toString(), QString());
}

// Past the bound new lines are dropped, counted and said.
void TestRunLog::linesPastTheBoundAreDroppedAndSaid()
{
    TempWorkDir sandbox;
    QVERIFY(sandbox.isValid());
    RunLog log;
    QSignalSpy backlog(&log, &RunLog::sigBacklog);
    log.open(moment);
    log.writer()->setLimit(0);
    log.writer()->setWriteFunction([](int, const char *, qint64) {
        errno = ENOSPC;
        return qint64(-1);
    });
    put(log, 30, 32);
    QCOMPARE(log.waitingLines(), 0);
    QVERIFY(backlog.last().at(0).toString().contains("отброшено строк: 4"));
    QVERIFY(backlog.last().at(0).toString().contains("диск заполнен"));
}

// Two benches opening their ports in the same second; each continues its own directory when it
// opens again within that second.
void TestRunLog::twoBenchesNeverShareADirectory()
{
    TempWorkDir sandbox;
    QVERIFY(sandbox.isValid());
    RunLog first;
    RunLog second;
    first.open(moment);
    second.open(moment);
    first.writeTrace("one");
    second.writeTrace("two");
    QCOMPARE(QFileInfo(first.directory()).fileName(), QStringLiteral("2026_12_05_23_48_17"));
    QCOMPARE(QFileInfo(second.directory()).fileName(), QStringLiteral("2026_12_05_23_48_17_2"));
    first.open(moment);
    second.open(moment);
    first.writeTrace("ONE");
    second.writeTrace("TWO");
    QCOMPARE(TempWorkDir::contents(QDir(first.directory()).filePath("all.log")), "oneONE");
    QCOMPARE(TempWorkDir::contents(QDir(second.directory()).filePath("all.log")), "twoTWO");
}

// Closing the port on a full disk: the closed run's lines are written once the disk takes them,
// in order, while the next run goes on.
void TestRunLog::closedRunKeepsWaitingLines()
{
    TempWorkDir sandbox;
    QVERIFY(sandbox.isValid());
    RunLog log;
    log.open(moment);
    log.writeSensor(1, 1, reading(20, 1000));
    const QString file = QDir(log.directory()).filePath("1.txt");
    {
        const FileSizeLimit full(1);
        for (int i = 1; i < 4; ++i)
            log.writeSensor(1, 1, reading(20, quint16(1000 + i)));
        log.close();
        log.open(moment.addSecs(60));
        log.writeSensor(1, 1, reading(20, 2000));
        QCOMPARE(log.waitingLines(), 4);
    }
    QSignalSpy backlog(&log, &RunLog::sigBacklog);
    while (log.waitingLines() > 0)
        QVERIFY(backlog.wait());
    QStringList levels;
    for (const QString &line : QString::fromUtf8(TempWorkDir::contents(file)).split("\r\n"))
        levels << line.section(' ', 6, 6);
    QCOMPARE(levels, (QStringList {"1000", "1001", "1002", "1003", ""}));
}

void TestRunLog::leftLocks_data()
{
    QTest::addColumn<QByteArray>("lock");
    QTest::addColumn<int>("ageSeconds");
    QTest::addColumn<bool>("taken");
    // A bench of this computer that is gone, however recently.
    QTest::newRow("gone here") << "2147483646\ntarikon\n" + QSysInfo::machineHostName().toUtf8()
            + "\n" << 0 << true;
    // A bench of another computer writing to a shared folder cannot be seen to be gone: its
    // lock stays, however old.
    QTest::newRow("other computer, an hour")
        << QByteArray("4242\ntarikon\nbench-pc-2\n") << 3600 << false;
}

void TestRunLog::leftLocks()
{
    QFETCH(QByteArray, lock);
    QFETCH(int, ageSeconds);
    QFETCH(bool, taken);
    TempWorkDir sandbox;
    QVERIFY(sandbox.isValid());
    QFile file(sandbox.filePath(RunDirectoryLock::fileName));
    QVERIFY(TempWorkDir::put(file.fileName(), lock) && file.open(QIODevice::ReadOnly));
    QVERIFY(file.setFileTime(
        QDateTime::currentDateTime().addSecs(-ageSeconds), QFileDevice::FileModificationTime));
    RunDirectoryLock claim;
    QCOMPARE(claim.claim(sandbox.path()), taken);
}

QTEST_GUILESS_MAIN(TestRunLog)
#include "tst_runlog.moc"
