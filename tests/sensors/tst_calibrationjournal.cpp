#include "sensors/calibrationjournal.h"
#include "support/tempworkdir.h"

#include <QtTest>

#include <cerrno>

#include <unistd.h>

namespace {

CalibrationRecord record(int sensor)
{
    CalibrationRecord r;
    r.time = QDateTime(QDate(2026, 12, 8), QTime(7, 10), Qt::OffsetFromUTC, 7200);
    r.sensor = sensor;
    return r;
}

} // namespace

// The journal file as the disk sees it: where its header goes and that every record is on the
// disk, or said not to be, before append() returns.
class TestCalibrationJournal : public QObject
{
    Q_OBJECT

private slots:
    void headerOpensTheJournal_data()
    {
        // A journal edited by hand keeps its lines: tst_calibrationrecord's.
        QTest::addColumn<QByteArray>("before"); // "<missing>": no file yet
        QTest::newRow("new") << QByteArray("<missing>");
        QTest::newRow("empty") << QByteArray();
    }
    void headerOpensTheJournal()
    {
        QFETCH(QByteArray, before);
        TempWorkDir dir;
        const QString path = dir.filePath(CalibrationJournal::fileName());
        if (before != "<missing>")
            QVERIFY(TempWorkDir::put(path, before));
        QVERIFY(CalibrationJournal::append(path, record(0), nullptr));
        QVERIFY(CalibrationJournal::append(path, record(5), nullptr));
        QCOMPARE(TempWorkDir::contents(path),
            CalibrationJournal::header() + CalibrationJournal::line(record(0))
                + CalibrationJournal::line(record(5)));
    }

    // Each record is synced after its own write; a sync the disk fails is a failed append.
    void everyRecordSynced()
    {
        TempWorkDir dir;
        const QString path = dir.filePath(CalibrationJournal::fileName());
        QStringList calls;
        int failSync = 0;
        CalibrationJournal::Io io;
        io.write = [&calls](int fd, const char *data, qint64 size) {
            calls << QStringLiteral("write");
            return qint64(::write(fd, data, size_t(size)));
        };
        io.sync = [&calls, &failSync](int fd) {
            calls << QStringLiteral("sync");
            if (failSync) {
                errno = failSync;
                return -1;
            }
            return ::fsync(fd);
        };
        QString error;
        for (int sensor = 0; sensor < 3; ++sensor)
            QVERIFY(CalibrationJournal::append(path, record(sensor), &error, io));
        QCOMPARE(calls.join(' '), QStringLiteral("write sync write sync write sync"));
        failSync = EIO;
        QVERIFY(!CalibrationJournal::append(path, record(3), &error, io));
        QCOMPARE(error, QStringLiteral("ошибка ввода-вывода диска"));
    }
};

QTEST_GUILESS_MAIN(TestCalibrationJournal)
#include "tst_calibrationjournal.moc"
