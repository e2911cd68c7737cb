#include "sensors/runlog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<missing>");
    return file.readAll();
}

DutInfo reading(quint8 aux, qint8 temp, quint16 level, quint16 freq, quint32 period)
{
    DutInfo info;
    info.valid = 1;
    info.aux = aux;
    info.temp = temp;
    info.level = level;
    info.freq = freq;
    info.period = period;
    return info;
}

} // namespace

class TestRunLog : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void sensorLinesFollowTheBenchProtocol();
    void runWritesTraceAndSensorFilesFlushed();
    void reopeningInTheSameSecondEmptiesTheFiles();
    void directoryThatCannotBeMadeIsReportedOnce();

private:
    std::unique_ptr<QTemporaryDir> sandbox;
    const QDateTime moment {QDate(2026, 12, 5), QTime(23, 48, 17)};
};

void TestRunLog::init()
{
    // A fresh working directory for every case: runs of one case never meet another's.
    sandbox = std::make_unique<QTemporaryDir>();
    QVERIFY(sandbox->isValid());
    QVERIFY(QDir::setCurrent(sandbox->path()));
}

void TestRunLog::sensorLinesFollowTheBenchProtocol()
{
    const QByteArray time = moment.toString(Qt::TextDate).toUtf8() + ' ';
    const DutInfo r = reading(7, -12, 3200, 6699, 4294967295u);

    QCOMPARE(RunLog::sensorLine(moment, 0, r), time + "7 -12 3200 4294967295 \r\n");
    QCOMPARE(RunLog::sensorLine(moment, 1, r), time + "-12 3200 6699 \r\n");
    QCOMPARE(RunLog::sensorLine(moment, 2, r), time + "-12 3200 6699 \r\n");
    QCOMPARE(RunLog::sensorLine(moment, 3, reading(0, 25, 3200, 0, 0)), time + "25 3200 \r\n");
    // A protocol 1 answer on a bench set to protocol 0 keeps protocol 0's columns.
    QCOMPARE(
        RunLog::sensorLine(moment, 0, reading(0, 25, 3200, 6699, 0)), time + "0 25 3200 0 \r\n");
    // Protocol changed to 4 while an answer was due: the line still ends.
    QCOMPARE(RunLog::sensorLine(moment, 4, r), time + "-12 3200 \r\n");

    DutInfo failed = r;
    failed.valid = 0;
    QCOMPARE(RunLog::sensorLine(moment, 0, failed), time + "error \r\n");
    QCOMPARE(RunLog::sensorLine(moment, 3, DutInfo()), time + "error \r\n");
}

void TestRunLog::runWritesTraceAndSensorFilesFlushed()
{
    RunLog log;
    QSignalSpy status(&log, &RunLog::sigStatus);

    // Nothing is written before the first run, and nothing fails either.
    log.writeTrace("lost");
    log.writeSensor(0, 0, reading(0, 1, 2, 3, 4));

    log.open(moment);
    QCOMPARE(status.count(), 0);
    const QString dir = sandbox->filePath("2026_12_05_23_48_17");
    QCOMPARE(log.directory(), dir);
    for (const char *name : {"all.log", "0.txt", "1.txt", "2.txt", "3.txt", "4.txt", "5.txt"})
        QCOMPARE(contents(dir + '/' + name), QByteArray());

    // A protocol 2 exchange goes into the trace raw, as it went over the line.
    log.writeTrace("\r\n>>DO\r\n<<");
    log.writeTrace("F=1A2B t=FE N=0C80.0");
    log.writeTrace(QByteArray());
    QCOMPARE(contents(dir + "/all.log"), QByteArray("\r\n>>DO\r\n<<F=1A2B t=FE N=0C80.0"));

    DutInfo failed;
    log.writeSensor(2, 3, failed);
    log.writeSensor(2, 3, reading(0, 25, 3200, 0, 0));
    log.writeSensor(6, 3, failed); // no such sensor
    const QByteArray sensor2 = contents(dir + "/2.txt");
    const QRegularExpression twoLines(
        QStringLiteral("^\\w{3} \\w{3} +\\d+ \\d\\d:\\d\\d:\\d\\d \\d{4} error \r\n"
                       "\\w{3} \\w{3} +\\d+ \\d\\d:\\d\\d:\\d\\d \\d{4} 25 3200 \r\n$"));
    QVERIFY2(twoLines.match(QString::fromUtf8(sensor2)).hasMatch(), sensor2.constData());
    for (const char *name : {"0.txt", "1.txt", "3.txt", "4.txt", "5.txt"})
        QCOMPARE(contents(dir + '/' + name), QByteArray());

    // After closing, writes are dropped and the files keep what they had.
    log.close();
    log.writeTrace("after");
    log.writeSensor(2, 3, failed);
    QCOMPARE(contents(dir + "/all.log"), QByteArray("\r\n>>DO\r\n<<F=1A2B t=FE N=0C80.0"));
    QCOMPARE(contents(dir + "/2.txt"), sensor2);
    QCOMPARE(status.count(), 0);
}

void TestRunLog::reopeningInTheSameSecondEmptiesTheFiles()
{
    RunLog log;
    log.open(moment);
    log.writeTrace("\r\n>>310006a8\r\n<<");
    log.open(moment); // open again without a close in between
    log.writeTrace("ab");
    QCOMPARE(contents(log.directory() + "/all.log"), QByteArray("ab"));

    // A later opening starts its own directory.
    log.open(moment.addSecs(1));
    QCOMPARE(log.directory(), sandbox->filePath("2026_12_05_23_48_18"));
    QCOMPARE(contents(sandbox->filePath("2026_12_05_23_48_17/all.log")), QByteArray("ab"));
}

void TestRunLog::directoryThatCannotBeMadeIsReportedOnce()
{
    // A plain file in the way of the run directory.
    QFile blocker(sandbox->filePath("2026_12_05_23_48_17"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    RunLog log;
    QSignalSpy status(&log, &RunLog::sigStatus);
    log.open(moment);
    QCOMPARE(status.count(), 1);
    QVERIFY(status.at(0).at(0).toString().contains(QStringLiteral("2026_12_05_23_48_17")));

    // The run goes on without files and without further complaints.
    log.writeTrace("\r\n>>310006a8\r\n<<");
    log.writeSensor(0, 1, DutInfo());
    QCOMPARE(status.count(), 1);
    QCOMPARE(contents(blocker.fileName()), QByteArray());

    // A file that cannot be opened in an otherwise good directory: also one message.
    QVERIFY(QDir(sandbox->path()).mkpath("2026_12_05_23_48_18/3.txt"));
    log.open(moment.addSecs(1));
    QCOMPARE(status.count(), 2);
    QVERIFY(status.at(1).at(0).toString().contains(QStringLiteral("3.txt")));
    log.writeSensor(4, 1, DutInfo());
    QVERIFY(contents(sandbox->filePath("2026_12_05_23_48_18/4.txt")).endsWith("error \r\n"));
}

QTEST_APPLESS_MAIN(TestRunLog)
#include "tst_runlog.moc"
