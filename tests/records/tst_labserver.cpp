// The laboratory's server, a real PostgreSQL cluster started for the test and read back through
// tarikon-records: a calibration reaches the CSV journal, the bench's file and the server alike;
// records made while the server is away arrive once and in order when it is back; a crash
// between the server's commit and the bench's mark sends nothing twice.

#include "app/mainwindow.h"
#include "records/labrecords.h"
#include "records/recordoutbox.h"
#include "records/recordstore.h"
#include "sensors/calibrationjournal.h"
#include "sensors/certificatenumber.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "support/pgcluster.h"
#include "support/tempworkdir.h"

#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

RecordRow record(const QString &serial)
{
    RecordRow row;
    row.time = QDateTime::currentDateTime().toString(Qt::ISODate);
    row.serial = serial;
    row.result = QStringLiteral("OK");
    return row;
}

// tarikon-records in the working directory: its exit status, its output in out.
int records(const QStringList &arguments, QByteArray *out = nullptr)
{
    QProcess process;
    process.start(TARIKON_RECORDS, arguments);
    if (!process.waitForFinished(30000))
        return -1;
    if (out)
        *out = process.readAllStandardOutput();
    return process.exitCode();
}

// The serial numbers on the server, in the order they arrived (plain ones, no quoting).
QStringList serverSerials()
{
    QByteArray out;
    records({"--server"}, &out);
    QStringList serials;
    for (const QByteArray &line : out.split('\n').mid(1)) {
        if (!line.isEmpty())
            serials << QString::fromUtf8(line.split(',').value(3));
    }
    return serials;
}

// Asks for a send at once and waits until nothing is left to send.
bool sendAll(RecordOutbox *outbox)
{
    QSignalSpy sent(outbox, &RecordOutbox::sigSent);
    outbox->retryNow();
    while (sent.wait(10000)) {
        if (sent.last().at(0).toInt() == 0 && !outbox->busy())
            return true;
    }
    return false;
}

} // namespace

class TestLabServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void calibrationReachesEveryStore();
    void serverAwayThenBackEveryRecordOnceInOrder();
    void lostMarkSendsNothingTwice();

private:
    std::unique_ptr<PgCluster> cluster;
    std::unique_ptr<TempWorkDir> dir;
};

void TestLabServer::initTestCase()
{
    cluster = std::make_unique<PgCluster>();
    QVERIFY2(cluster->isValid(), qPrintable(cluster->error()));
}

void TestLabServer::init()
{
    QVERIFY(cluster->isValid() || cluster->start());
    dir = std::make_unique<TempWorkDir>();
    const QString name = QString::fromLatin1(QTest::currentTestFunction()).toLower();
    QVERIFY2(cluster->createDatabase(name), qPrintable(cluster->error()));
    cluster->configureBench(name);
}

void TestLabServer::calibrationReachesEveryStore()
{
    TempWorkDir::setSetting("Report/station", "ST1; \"Зал\" 2");
    TempWorkDir::setSetting("DUT/Serial3", "SN-3");
    MainWindow window;
    auto *lab = window.findChild<LabRecords *>("labRecords");
    QVERIFY(lab && lab->outbox());
    CalibrationRecord calibration;
    calibration.time = QDateTime::currentDateTime();
    calibration.sensor = 3;
    calibration.kind = QStringLiteral("O'Brien; \"Уровень\"");
    calibration.write.ok = true;
    emit window.sensorBank()->dut(3)->sigCalibrated(3, calibration);
    QVERIFY(sendAll(lab->outbox()));

    // The CSV journal names the sensor and the station; the same values, typed as they were,
    // in both stores.
    calibration.serial = QStringLiteral("SN-3");
    calibration.station = QStringLiteral("ST1; \"Зал\" 2");
    calibration.certificate = CertificateNumber::stationPart(calibration.station)
        + calibration.time.toString(QStringLiteral("-yyyyMMdd-0001"));
    QCOMPARE(TempWorkDir::contents(dir->filePath("calibration.csv")),
        CalibrationJournal::header() + CalibrationJournal::line(calibration));
    QByteArray local;
    QByteArray server;
    QCOMPARE(records({}, &local), 0);
    QCOMPARE(records({"--server"}, &server), 0);
    QCOMPARE(server, local);
    QVERIFY(local.contains(",\"ST1; \"\"Зал\"\" 2\",SN-3,,3,OK,,"));
    QVERIFY(local.contains(",\"O'Brien; \"\"Уровень\"\"\","));
    QCOMPARE(records({"--check"}), 0);
}

void TestLabServer::serverAwayThenBackEveryRecordOnceInOrder()
{
    LabRecords lab(dir->path());
    QSignalSpy said(&lab, &LabRecords::sigStatus);
    lab.add(record("A0"));
    QVERIFY(sendAll(lab.outbox()));

    QVERIFY(cluster->stop());
    for (const char *serial : {"A1", "A2", "A3", "A4", "A5"})
        lab.add(record(serial));
    // The outbox says so after its next try, which a loaded machine may push past 5 s.
    QTRY_VERIFY_WITH_TIMEOUT(!said.isEmpty()
            && said.last().at(0).toString().startsWith("в базу лаборатории не отправлено: 5"),
        60000);
    QCOMPARE(lab.store()->waiting(), 0);

    QVERIFY(cluster->start());
    QVERIFY(sendAll(lab.outbox()));
    QCOMPARE(said.last().at(0).toString(), QString());
    QCOMPARE(serverSerials(), (QStringList {"A0", "A1", "A2", "A3", "A4", "A5"}));
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
    // As if the bench had died after the server's commit of B2 and B3, before its own mark.
    {
        QSqlDatabase file = QSqlDatabase::addDatabase("QSQLITE", "file");
        file.setDatabaseName(dir->filePath(RecordStore::fileName()));
        QVERIFY(file.open());
        QVERIFY(QSqlQuery(file).exec("DELETE FROM record_sent WHERE uuid IN (SELECT uuid FROM "
                                     "calibration_record WHERE serial <> 'B1')"));
    }
    QSqlDatabase::removeDatabase("file");

    LabRecords restarted(dir->path());
    restarted.add(record("B4"));
    QVERIFY(sendAll(restarted.outbox()));
    QCOMPARE(serverSerials(), (QStringList {"B1", "B2", "B3", "B4"}));
    QCOMPARE(records({"--check"}), 0);
}

QTEST_MAIN(TestLabServer)
#include "tst_labserver.moc"
