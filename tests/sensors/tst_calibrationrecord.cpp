// A sensor's calibration record made from its data and setup, and its line in the journal
// "calibration.csv", without any widget.

#include "sensors/calibrationbook.h"
#include "sensors/calibrationjournal.h"
#include "sensors/calibrationrecord.h"
#include "sensors/journalfiles.h"
#include "sensors/runid.h"
#include "sensors/sensordata.h"
#include "settings/sensorsetup.h"
#include "support/documents.h"
#include "support/tempworkdir.h"

#include <QDir>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <cmath>

namespace {

// Least squares by hand: 1000 + 4.8 (T - 20) counts, K1 = 0.0048, K0 = 0.904; the points stray
// from it by at most 0.8 counts, at 19 and 21 °C: 0.08 % of the 20 °C value.
const SensorData::MidlMap kPoints {{18, 990}, {19, 996}, {20, 1000}, {21, 1004}, {22, 1010}};
const CoefficientWrite::Values kFit {0.904f, 0.0048f};

SensorSetup levelSetup(int lo, int hi)
{
    SensorSetup setup;
    setup.sensor = 1;
    setup.addressIndex = 2;
    setup.kindIndex = 2; // "Уровень"
    setup.rangeMin = lo;
    setup.rangeMax = hi;
    return setup;
}

} // namespace

class TestCalibrationRecord : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.emplace().isValid()); }
    void cleanup() { dir.reset(); }

    // Coverage with its missing runs and the residual per covered degree, from the data of the
    // setup's kind; the data's own mid-value map is left as it was.
    void recordOfDataAndSetup()
    {
        SensorData data;
        data.setPoints(kPoints, Level);
        data.setPoints({{20, 5}}, Freq);
        const CalibrationRecord fit = CalibrationRecord::of(data, levelSetup(15, 22), kFit);
        QVERIFY(!fit.written && fit.write.sent == kFit);
        QCOMPARE(QList<int>({fit.sensor, fit.address, fit.degree, fit.covered, fit.total}),
            QList<int>({1, 1, 1, 5, 8}));
        QCOMPARE(fit.kind, QStringLiteral("Уровень"));
        QCOMPARE(fit.coverage.missingText(), QStringLiteral("15..17"));
        QCOMPARE(fit.residuals.byDegree().keys(), QList<int>({18, 19, 20, 21, 22}));
        QVERIFY(fit.maxResidual && std::abs(*fit.maxResidual - 0.08) < 1e-4);
        QVERIFY(data.lastMidl()->isEmpty());

        // A write's record checks what was sent, whatever the fit.
        CoefficientWrite write;
        write.sent = {1.0f};
        write.ok = true;
        const CalibrationRecord sent
            = CalibrationRecord::of(data, levelSetup(15, 22), kFit, &write);
        QVERIFY(sent.written && sent.write.ok);
        QVERIFY(std::abs(*sent.maxResidual - 1.0) < 1e-9); // 990 at 18 °C: 1 % off 1.0
    }

    // A record's line has the header's columns; a journal a person edited keeps every byte, and
    // the record starts a line of its own after a last line left without a line break.
    void journalAppends()
    {
        SensorData data;
        data.setPoints(kPoints, Level);
        CoefficientWrite write;
        write.sent = kFit;
        write.read = kFit;
        write.readBack.fill(true);
        write.read[3] = 3.3e-08f;
        write.failure = QStringLiteral("K3 записан 0, в датчике \"3.3e-08\"");
        const CalibrationRecord record = CalibrationRecord::of(data, levelSetup(18, 22), kFit,
            &write, QDateTime(QDate(2026, 12, 8), QTime(7, 10), Qt::OffsetFromUTC, 7200));

        const QString fresh = dir->filePath("fresh.csv");
        QVERIFY(CalibrationJournal::append(fresh, record, nullptr));
        const QList<QStringList> lines
            = documents::csvRecords(QString::fromUtf8(TempWorkDir::contents(fresh)));
        QCOMPARE(lines.size(), 2);
        const QStringList header = lines.first();
        QCOMPARE(header.size(), 38);
        QCOMPARE(header.mid(0, 9),
            QStringList({"time", "sensor", "address", "protocol", "kind", "degree", "range_min",
                "range_max", "covered"}));
        QCOMPARE(header.mid(27),
            QStringList({"max_residual", "result", "serial", "run", "certificate", "operator",
                "station", "reference", "max_u", "stage", "as_left"}));
        const QStringList line = lines.last();
        QCOMPARE(line.mid(0, 9),
            QStringList(
                {"2026-12-08T07:10:00+02:00", "1", "1", "0", "Уровень", "1", "18", "22", "5/5"}));
        QCOMPARE(line.mid(9, 6).join(""), QString()); // found: no read before the write
        QCOMPARE(line.value(header.indexOf("k1")), QStringLiteral("0.0048"));
        QCOMPARE(line.value(header.indexOf("read3")), QStringLiteral("3.3e-08"));
        QVERIFY(std::abs(line.value(27).toDouble() - 0.08) < 1e-4);
        QCOMPARE(line.value(28), QStringLiteral("ERROR: ") + write.failure);

        const QString edited = dir->filePath("edited.csv");
        QVERIFY(TempWorkDir::put(edited, "time,sensor\r\nedited by hand"));
        QVERIFY(CalibrationJournal::append(edited, record, nullptr));
        QCOMPARE(TempWorkDir::contents(edited),
            "time,sensor\r\nedited by hand\r\n" + CalibrationJournal::line(record));
    }

    // The journal read back: every record as written, lines that are none skipped and counted;
    // a run's records are those from its start up to the next run's.
    void journalReadByRun()
    {
        SensorData data;
        data.setPoints(kPoints, Level);
        const QString path = dir->filePath("calibration.csv");
        QVERIFY(TempWorkDir::put(path, "edited by hand\r\n"));
        CoefficientWrite write;
        write.sent = kFit;
        write.read = kFit;
        write.readBack.fill(true);
        write.ok = true;
        const QDateTime first(QDate(2026, 12, 8), QTime(7, 10, 30));
        CalibrationRecord record
            = CalibrationRecord::of(data, levelSetup(18, 22), kFit, &write, first);
        record.serial = QStringLiteral("DT-7, \"б\"");
        record.run = QStringLiteral("1b4e28ba-2fa1-11d2-883f-0016d3cca427");
        record.certificate = QStringLiteral("ST1-20261208-0007");
        record.operatorName = QStringLiteral("Иванов И. И.");
        record.station = QStringLiteral("ST1");
        record.reference = QStringLiteral("ТЛ-4 № 12");
        QVERIFY(record.maxU && *record.maxU > 0);
        QVERIFY(CalibrationJournal::append(path, record, nullptr));
        write.ok = false;
        write.failure = QStringLiteral("K3, \"что-то\"");
        record = CalibrationRecord::of(data, levelSetup(18, 22), kFit, &write, first.addSecs(3600));
        record.stage = QStringLiteral("as_left");
        record.asLeftPercent = 0.0125;
        QVERIFY(CalibrationJournal::append(path, record, nullptr));
        QFile torn(path);
        QVERIFY(torn.open(QIODevice::Append) && torn.write("2026-12-08T09:00:00+01:00,1,\"0") > 0);
        torn.close();

        int skipped = 0;
        const QList<CalibrationRecord> all = CalibrationJournal::read(path, &skipped);
        QCOMPARE(skipped, 2);
        QCOMPARE(all.size(), 2);
        QCOMPARE(CalibrationJournal::line(all.last()), CalibrationJournal::line(record));
        QCOMPARE(all.first().serial, QStringLiteral("DT-7, \"б\""));
        QCOMPARE(all.first().operatorName, QStringLiteral("Иванов И. И."));
        QVERIFY(all.first().written && all.first().passes(0.5));
        CalibrationRecord left = all.first(); // measured again after the write
        left.asLeftPercent = 0.6;
        QVERIFY(!left.passes(0.5));
        // Judged from the journal with U: the largest residual and the largest U together.
        QVERIFY(!all.first().passes(*all.first().maxResidual + *all.first().maxU * 0.99));

        QVERIFY(QDir().mkpath(dir->filePath("2026_12_08_07_00_00")));
        QVERIFY(QDir().mkpath(dir->filePath("2026_12_08_08_00_00_2")));
        auto times = [&](const char *run) {
            QList<QDateTime> at;
            for (const CalibrationRecord &r : CalibrationJournal::ofRun(all, dir->filePath(run)))
                at << r.time;
            return at;
        };
        QCOMPARE(times("2026_12_08_07_00_00"), QList<QDateTime> {all.first().time});
        QCOMPARE(times("2026_12_08_08_00_00_2"), QList<QDateTime> {all.last().time});
        QVERIFY(times("not a run").isEmpty());
        // A run that recorded its identifier takes the records naming it, whatever their time.
        QList<CalibrationRecord> named = all;
        named.last().run = RunId::begin(dir->filePath("2026_12_08_07_00_00"), first);
        const auto ofFirst = CalibrationJournal::ofRun(named, dir->filePath("2026_12_08_07_00_00"));
        QVERIFY(ofFirst.size() == 1 && ofFirst.first().time == all.last().time);
    }

    // A journal headed otherwise (an older bench's) keeps every byte: the book's records go to
    // calibration-2.csv, the status bar says so, and reading takes both.
    void oldJournalLeftAlone()
    {
        const QByteArray old = "time,sensor,address,protocol,kind,degree,range_min,range_max,"
                               "covered,k0,k1,k2,k3,k4,k5,max_residual,result\r\n"
                               "2026-12-08T07:00:00+01:00,2,12,0,Уровень,1,18,22,5/5,"
                               "1,0,0,0,0,0,0.1,OK\r\n";
        QVERIFY(TempWorkDir::put(dir->filePath("calibration.csv"), old));
        SensorData data;
        data.setPoints(kPoints, Level);
        CoefficientWrite write;
        write.sent = kFit;
        write.ok = true;
        CalibrationBook book;
        QSignalSpy status(&book, &CalibrationBook::sigStatus);
        for (int i = 0; i < 2; ++i)
            book.take(CalibrationRecord::of(data, levelSetup(18, 22), kFit, &write));
        QCOMPARE(TempWorkDir::contents(dir->filePath("calibration.csv")), old);
        QVERIFY(TempWorkDir::contents(dir->filePath("calibration-2.csv"))
                    .startsWith(CalibrationJournal::header()));
        QVERIFY(status.last().at(0).toString().contains("calibration-2.csv"));
        const QList<CalibrationRecord> all = JournalFiles::read(CalibrationBook::journalPath());
        QCOMPARE(all.size(), 3);
        // The old record was judged without U, and is read as it was judged.
        QVERIFY(!all.first().guarded && all.first().passes(0.5));
    }

private:
    std::optional<TempWorkDir> dir;
};

QTEST_GUILESS_MAIN(TestCalibrationRecord)
#include "tst_calibrationrecord.moc"
