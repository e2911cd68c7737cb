#include "sensors/runlog.h"
#include "support/tempworkdir.h"

#include <QDateTime>
#include <QDir>
#include <QSignalSpy>
#include <QtTest>

namespace {

const QDateTime moment(QDate(2026, 12, 5), QTime(23, 48, 17));

} // namespace

class TestRunLog : public QObject
{
    Q_OBJECT

private slots:
    void sensorLinesFollowTheBenchProtocol();
    void filesThatCannotBeMadeAreReportedOnce();
};

// The columns follow the protocol in force when the answer was taken, not the answer's shape.
void TestRunLog::sensorLinesFollowTheBenchProtocol()
{
    // Qt's text date ("Sat Dec 5 23:48:17 2026" under the C locale the tests run in).
    const QByteArray time = moment.toString(Qt::TextDate).toUtf8() + ' ';
    const DutInfo r {0, 1, 0, 3200, 6699, 4294967295u, -12, 7};
    QCOMPARE(RunLog::sensorLine(moment, 0, r), time + "7 -12 3200 4294967295 \r\n");
    QCOMPARE(RunLog::sensorLine(moment, 1, r), time + "-12 3200 6699 \r\n");
    QCOMPARE(RunLog::sensorLine(moment, 2, r), time + "-12 3200 6699 \r\n");
    QCOMPARE(RunLog::sensorLine(moment, 3, r), time + "-12 3200 \r\n");
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
    log.open(moment);
    QCOMPARE(status.count(), 1);
    QVERIFY(status.at(0).at(0).toString().contains("2026_12_05_23_48_17"));
    // The run goes on without files and without further complaints.
    log.writeTrace("\r\n>>310006a8\r\n<<");
    log.writeSensor(0, 1, DutInfo());
    QCOMPARE(status.count(), 1);

    // One file in the way: that file is named, the others are written.
    QVERIFY(QDir(sandbox.path()).mkpath("2026_12_05_23_48_18/3.txt"));
    log.open(moment.addSecs(1));
    QCOMPARE(status.count(), 2);
    QVERIFY(status.at(1).at(0).toString().contains("3.txt"));
    log.writeSensor(4, 1, DutInfo());
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

QTEST_APPLESS_MAIN(TestRunLog)
#include "tst_runlog.moc"
