// The laboratory's server, a real PostgreSQL cluster started for the test: a calibration
// reaches the CSV journal, the bench's file and the server alike; records made while the
// server is away arrive once and in order when it is back; a crash between the server's commit
// and the bench's mark sends nothing twice; and tarikon-records agrees.

#include "app/mainwindow.h"
#include "records/labrecords.h"
#include "records/recordoutbox.h"
#include "records/recordstore.h"
#include "sensors/calibrationjournal.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "support/pgcluster.h"
#include "support/tempworkdir.h"

#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStatusBar>
#include <QtTest>

#include <memory>

namespace {

// The serial numbers (in the order stored) of the records a connection holds.
QStringList serials(const QString &connection, const QString &order)
{
    QSqlQuery query(QSqlDatabase::database(connection));
    query.exec(QStringLiteral("SELECT serial FROM calibration_record ORDER BY ") + order);
    QStringList found;
    while (query.next())
        found << query.value(0).toString();
    return found;
}

RecordRow record(const QString &serial)
{
    RecordRow row;
    row.time = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    row.serial = serial;
    row.result = QStringLiteral("OK");
    row.columns = {{QStringLiteral("kind"), QStringLiteral("Уровень")}};
    return row;
}

} // namespace

class TestLabServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void calibrationReachesEveryStore();
    void serverAwayThenBackEveryRecordOnceInOrder();
    void lostMarkSendsNothingTwice();

private:
    // The command's exit status in the working directory, its output in out.
    int records(const QStringList &arguments, QByteArray *out = nullptr);
    bool sendAll(RecordOutbox *outbox);

    std::unique_ptr<PgCluster> cluster;
    std::unique_ptr<TempWorkDir> dir;
};

void TestLabServer::initTestCase()
{
    cluster = std::make_unique<PgCluster>();
    QVERIFY2(cluster->isValid(), qPrintable(cluster->error()));
    QSqlDatabase server = QSqlDatabase::addDatabase("QPSQL", "check");
    server.setHostName(cluster->socketDirectory());
    server.setPort(cluster->port());
    server.setDatabaseName(PgCluster::database());
    server.setUserName(PgCluster::user());
    QVERIFY2(server.open(), qPrintable(server.lastError().text()));
}

void TestLabServer::cleanupTestCase()
{
    QSqlDatabase::database("check").close();
    QSqlDatabase::removeDatabase("check");
    cluster.reset();
}

void TestLabServer::init()
{
    dir = std::make_unique<TempWorkDir>();
    QVERIFY(dir->isValid());
    cluster->configureBench();
    QSqlQuery(QSqlDatabase::database("check")).exec("DROP TABLE IF EXISTS calibration_record");
    QSqlQuery(QSqlDatabase::database("check")).exec("DROP TABLE IF EXISTS schema_version");
}

void TestLabServer::cleanup()
{
    if (!cluster->isValid() && cluster->start()) {
        QSqlDatabase::database("check").close();
        QSqlDatabase::database("check").open();
    }
    dir.reset();
}

int TestLabServer::records(const QStringList &arguments, QByteArray *out)
{
    QProcess process;
    process.start(TARIKON_RECORDS, arguments);
    if (!process.waitForFinished(30000))
        return -1;
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitCode();
}

bool TestLabServer::sendAll(RecordOutbox *outbox)
{
    QSignalSpy sent(outbox, &RecordOutbox::sigSent);
    outbox->retryNow();
    while (sent.wait(10000)) {
        if (sent.last().at(0).toInt() == 0 && !outbox->busy())
            return true;
    }
    return false;
}

void TestLabServer::calibrationReachesEveryStore()
{
    TempWorkDir::setSetting("Report/station", "ST1; \"Зал\" 2");
    MainWindow window;
    auto *lab = window.findChild<LabRecords *>("labRecords");
    QVERIFY(lab && lab->outbox());
    CalibrationRecord calibration;
    calibration.time = QDateTime::currentDateTime();
    calibration.sensor = 3;
    calibration.kind = QStringLiteral("O'Brien; \"Уровень\"");
    calibration.write.ok = true;
    emit window.sensorBank()->dut(3)->sigCalibrated(3, calibration);
    calibration.sensor = 4;
    emit window.sensorBank()->dut(4)->sigCalibrated(4, calibration);
    QVERIFY(sendAll(lab->outbox()));

    // The CSV journal as it always was, and the same values in the file and on the server.
    QByteArray csv = TempWorkDir::contents(dir->filePath("calibration.csv"));
    QCOMPARE(csv,
        CalibrationJournal::header() + CalibrationJournal::line(calibration).replace(",4,", ",3,")
            + CalibrationJournal::line(calibration));
    QByteArray local;
    QByteArray server;
    QCOMPARE(records({}, &local), 0);
    QCOMPARE(records({"--server"}, &server), 0);
    QCOMPARE(local.count("\r\n"), 3);
    QCOMPARE(server, local);
    QVERIFY(
        local.contains("\"ST1; \"\"Зал\"\" 2\"") && local.contains("\"O'Brien; \"\"Уровень\"\"\""));
    QByteArray report;
    QCOMPARE(records({"--check"}, &report), 0);
    QVERIFY2(report.contains("0 differences"), report.constData());
}

void TestLabServer::serverAwayThenBackEveryRecordOnceInOrder()
{
    LabRecords lab(dir->path());
    QVERIFY(lab.outbox());
    QSignalSpy said(&lab, &LabRecords::sigStatus);
    lab.add(record("A0"));
    QVERIFY(sendAll(lab.outbox()));

    QVERIFY(cluster->stop());
    QSignalSpy sent(lab.outbox(), &RecordOutbox::sigSent);
    for (int i = 1; i <= 5; ++i)
        lab.add(record(QStringLiteral("A%1").arg(i)));
    // The bench keeps going; the status counts what waits, whatever else it says.
    QTRY_VERIFY(!said.isEmpty()
        && said.last().at(0).toString().startsWith("в базу лаборатории не отправлено: 5"));
    QCOMPARE(lab.store()->waiting(), 0);
    QCOMPARE(records({"--check"}), 2);

    QVERIFY(cluster->start());
    QSqlDatabase::database("check").close();
    QVERIFY(QSqlDatabase::database("check").open());
    QVERIFY(sendAll(lab.outbox()));
    QCOMPARE(said.last().at(0).toString(), QString());
    const QStringList expected {"A0", "A1", "A2", "A3", "A4", "A5"};
    QCOMPARE(serials("check", "received"), expected);
    QCOMPARE(records({"--check"}), 0);
}

void TestLabServer::lostMarkSendsNothingTwice()
{
    {
        LabRecords lab(dir->path());
        for (const char *serial : {"B1", "B2", "B3"})
            lab.add(record(serial));
        QVERIFY(sendAll(lab.outbox()));
    }
    // As if the bench had died after the server's commit, before its own mark.
    {
        QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "file");
        file.setDatabaseName(dir->filePath(RecordStore::fileName()));
        QVERIFY(file.open());
        QVERIFY(QSqlQuery(file).exec("DELETE FROM record_sent WHERE uuid IN (SELECT uuid FROM "
                                     "calibration_record WHERE serial <> 'B1')"));
        file.close();
    }
    QSqlDatabase::removeDatabase("file");
    QCOMPARE(records({"--check"}), 0);

    LabRecords restarted(dir->path());
    QVERIFY(sendAll(restarted.outbox()));
    restarted.add(record("B4"));
    QVERIFY(sendAll(restarted.outbox()));
    QCOMPARE(serials("check", "received"), (QStringList {"B1", "B2", "B3", "B4"}));
    QCOMPARE(records({"--check"}), 0);
}

QTEST_MAIN(TestLabServer)
#include "tst_labserver.moc"
