// A calibration one can prove, on the window over a pseudo-terminal whose other end the test
// plays as the sensor: writes read back before "OK", a sensor that keeps K3 a bit off, Start
// during a write, the stale-column mark, and the journal and report the window keeps.

#include "app/filemenu.h"
#include "app/mainwindow.h"
#include "panels/rangeedit.h"
#include "panels/serialedit.h"
#include "sensors/calibrationjournal.h"
#include "sensors/dut.h"
#include "sensors/runid.h"
#include "sensors/runlog.h"
#include "support/answerdialog.h"
#include "support/benchfixture.h"
#include "support/documents.h"
#include "support/frames.h"
#include "support/messageboxcatcher.h"
#include "support/settle.h"

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QtEndian>
#include <QtTest>

#include <cstring>
#include <optional>

using namespace frames;

class TestCalibration : public QObject
{
    Q_OBJECT

private slots:
    // Sensor 1 at address 1 with points that cover its range 18..22 whole, so that nothing asks
    // before a write, and the fit copied into the write column.
    void init()
    {
        QVERIFY(bench.emplace().isValid());
        boxes.emplace();
        TempWorkDir::setSetting("Report/operator", "Петров П. П.");
        TempWorkDir::setSetting("Report/station", "ST1");
        TempWorkDir::setSetting("Report/reference", "ТЛ-4 № 17");
        bench->setAddress(1, 1);
        bench->panel<RangeEdit>(1, "leMin")->setText("18");
        bench->panel<RangeEdit>(1, "leMax")->setText("22");
        setPoints(points);
        QCOMPARE(bench->panelText(1, "leK1"), QStringLiteral("0.0048"));
        QTest::mouseClick(bench->panel<QPushButton>(1, "pbCalc2Save"), Qt::LeftButton);
        bench->dut(1)->serialEdit()->setText("T-1");
        bench->dut(1)->serialEdit()->take();
        // The sensor holds 2.5 in every cell before the bench writes it.
        std::fill(std::begin(cells), std::end(cells), 0x40200000u);
    }
    void cleanup() { boxes.reset(), bench.reset(); }

    // The write column is marked while it differs from the fit, and only then.
    void staleColumnMark()
    {
        auto stale = [&] { return bench->panel<QLineEdit>(1, "leReadK0")->property("stale"); };
        QVERIFY(!stale().toBool() && !bench->dut(1)->writeColumnStale());
        SensorData::MidlMap moved = points;
        moved[22] = 1011;
        setPoints(moved);
        QVERIFY(stale().toBool() && bench->dut(1)->writeColumnStale());
        setPoints(points);
        QVERIFY(!stale().toBool());
    }

    void writeVerifiedAndJournalled_data()
    {
        QTest::addColumn<QString>("k3");
        QTest::addColumn<int>("flip");
        QTest::addColumn<QString>("result");
        QTest::newRow("faithful sensor") << QString() << -1 << "OK";
        // The sensor keeps K3 (wire index 2) with its last bit flipped.
        QTest::newRow("K3 kept a bit off")
            << "3.3e-08" << 2 << "ERROR: K3 записан 3.3e-08, в датчике 3.3000003e-08";
    }

    // "OK" only after the six reads match; the status bar names a coefficient that differs,
    // and each write that reached the line is journalled with what was sent and read.
    void writeVerifiedAndJournalled()
    {
        QFETCH(QString, k3);
        QFETCH(int, flip);
        QFETCH(QString, result);
        if (!k3.isEmpty())
            bench->panel<QLineEdit>(1, "leReadK3")->setText(k3);
        const QString k0 = bench->panelText(1, "leReadK0");
        QVERIFY(bench->openPort());
        QTest::mouseClick(bench->panel<QPushButton>(1, "pbSaveK"), Qt::LeftButton);
        // Six reads of what the sensor holds, six writes, five of the six reads back.
        QCOMPARE(playSensor(17, flip), 17);
        settle();
        QVERIFY(boxes->texts().isEmpty());
        QCOMPARE(playSensor(20, flip), 1);
        QTRY_COMPARE(boxes->texts(), QStringList {result.left(5) == "ERROR" ? "ERROR" : "OK"});
        if (flip >= 0)
            QCOMPARE(bench->window().statusBar()->currentMessage(), "ДУТ 1: " + result.mid(7));

        const QList<QStringList> journal = documents::csvRecords(
            QString::fromUtf8(TempWorkDir::contents(bench->dir().filePath("calibration.csv"))));
        QCOMPARE(journal.size(), 2);
        const QStringList header = journal.first();
        const QStringList record = journal.last();
        QCOMPARE(record.value(header.indexOf("covered")), QStringLiteral("5/5"));
        QCOMPARE(record.value(header.indexOf("found0")), QStringLiteral("2.5"));
        QCOMPARE(record.value(header.indexOf("k0")), k0);
        QCOMPARE(record.value(header.indexOf("read0")), k0);
        QCOMPARE(record.value(header.indexOf("result")), result);
        // Which sensor, run, certificate, who and where.
        const QString run = RunId::last(bench->runDirectories().value(0));
        QVERIFY(!run.isEmpty());
        const QStringList names {
            "serial", "run", "certificate", "operator", "station", "reference"};
        QStringList values;
        for (const QString &name : names)
            values << record.value(header.indexOf(name));
        QCOMPARE(values,
            QStringList({"T-1", run, certificateOfToday(1), "Петров П. П.", "ST1", "ТЛ-4 № 17"}));
        QVERIFY(record.value(header.indexOf("max_u")).toDouble() > 0);
    }

    // Start during a write ends it with "ERROR"; the polls after it are no failures of the
    // sensor. A journal that cannot be written is said in the status bar.
    void startDuringWrite()
    {
        const QString journal = bench->dir().filePath("calibration.csv");
        QVERIFY(QDir().mkdir(journal));
        QVERIFY(bench->openPort());
        QTest::mouseClick(bench->panel<QPushButton>(1, "pbSaveK"), Qt::LeftButton);
        QCOMPARE(playSensor(8), 8); // the values found and two steps of the write
        bench->pressStart();
        QTRY_COMPARE(boxes->texts(), QStringList {"ERROR"});
        const QString message = bench->window().statusBar()->currentMessage();
        QVERIFY2(message.contains("calibration.csv"), qPrintable(message));
        for (int poll = 0; poll < 3; ++poll) {
            bench->tick();
            QCOMPARE(bench->sent(5), withCrc8(hex("37010a00")));
            bench->deliver(veltaroAnswer(1, 20, 1000, 50000));
        }
        bench->tick();
        QCOMPARE(bench->panelText(1, "leErr"), QStringLiteral("0"));
    }

    // The report through the menu and its dialog: a page for the sensor written, with the write.
    void reportThroughTheMenu()
    {
        QVERIFY(bench->openPort());
        QTest::mouseClick(bench->panel<QPushButton>(1, "pbSaveK"), Qt::LeftButton);
        QCOMPARE(playSensor(20), 18);
        QTRY_COMPARE(boxes->texts(), QStringList {"OK"});
        const QString report = bench->dir().filePath("report.pdf");
        answerDialog<QFileDialog>([report](QFileDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(report);
            static_cast<QDialog *>(dialog)->accept();
        });
        bench->window().findChild<QAction *>("actionCalibrationReport")->trigger();
        const QString message = bench->window().statusBar()->currentMessage();
        QVERIFY2(message.contains("report.pdf"), qPrintable(message));
        const QString text = documents::pdfText(TempWorkDir::contents(report));
        QCOMPARE(text.count('\f'), 2); // the first page and sensor 1's
        const QStringList pages = text.split('\f');
        // The run's certificate number, the one its journal records carry; the page numbers
        // and the end mark; the serial number heading the sensor's page, U beside the residual.
        for (const QString &wanted : {certificateOfToday(1), QStringLiteral("стр. 1 из 2"),
                 QStringLiteral("Петров П. П."), QStringLiteral("ДУТ 1, зав. № T-1")})
            QVERIFY2(pages[0].contains(wanted), qPrintable(wanted));
        QVERIFY(!pages[0].contains(QStringLiteral("Конец")));
        for (const QString &wanted : {QStringLiteral("Зав. № T-1"), QStringLiteral("стр. 2 из 2"),
                 QStringLiteral("Конец сертификата"), QStringLiteral("Последняя запись")})
            QVERIFY2(pages[1].contains(wanted), qPrintable(wanted));
        static const QRegularExpression residualPlusU(
            "\\n\\s*20\\s+[0-9.]+\\s+[0-9.]+\\s+[0-9.]+ ± ");
        QVERIFY2(pages[1].contains(residualPlusU), qPrintable(pages[1]));

        // The label of the sensor written, its Data Matrix code read back.
        const QString labels = bench->dir().filePath("labels.pdf");
        answerDialog<QFileDialog>([labels](QFileDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(labels);
            static_cast<QDialog *>(dialog)->accept();
        });
        bench->window().findChild<QAction *>("actionLabels")->trigger();
        QVERIFY(bench->window().statusBar()->currentMessage().contains("labels.pdf"));
        QVERIFY(QProcess::execute("pdftoppm", {"-r", "300", "-png", labels, labels}) == 0);
        QProcess dmtx;
        dmtx.start("dmtxread", {"-N1", "-m", "10000", labels + "-1.png"});
        QVERIFY(dmtx.waitForFinished(60000));
        QCOMPARE(dmtx.readAllStandardOutput(),
            "T-1;" + RunId::last(bench->runDirectories().value(0)).toLatin1());
    }

    // A run taken up again after a restart reports the writes the journal holds for that run.
    void reportOfARunTakenUpAgain()
    {
        const QDateTime start = QDateTime::currentDateTime().addSecs(-600);
        const QString run = bench->dir().filePath(start.toString("yyyy_MM_dd_HH_mm_ss"));
        DutInfo reading;
        reading.valid = 1;
        reading.level = 1000;
        reading.temp = 20;
        QVERIFY(QDir().mkpath(run));
        QVERIFY(TempWorkDir::put(run + "/2.txt", RunLog::sensorLine(start, 0, reading)));
        CalibrationRecord record;
        record.time = start.addSecs(60);
        record.sensor = 2;
        record.covered = record.total = 121;
        record.maxResidual = 0.01;
        record.maxU = 0.02;
        record.write.sent = {1.5f};
        record.write.ok = true;
        QVERIFY(
            CalibrationJournal::append(bench->dir().filePath("calibration.csv"), record, nullptr));

        auto *menu = bench->window().findChild<FileMenu *>("fileMenu");
        const QString report = bench->dir().filePath("report.pdf");
        QVERIFY(menu->loadRun(run) && menu->saveReport(report));
        const QString text = documents::pdfText(TempWorkDir::contents(report));
        QVERIFY2(text.contains(QDir::toNativeSeparators(run)), qPrintable(text));
        QVERIFY2(text.contains(QRegularExpression("ДУТ 2, зав. № не указан\\s+OK, ГОДЕН")),
            qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("Последняя запись")));
    }

private:
    static QString certificateOfToday(int number)
    {
        return QStringLiteral("ST1-%1-%2")
            .arg(QDate::currentDate().toString("yyyyMMdd"))
            .arg(number, 4, 10, QLatin1Char('0'));
    }

    void setPoints(const SensorData::MidlMap &map)
    {
        bench->dut(1)->setPoints(map, bench->dut(1)->currentKind());
        bench->window().slUpdatePlot(1);
    }

    // One coefficient step per tick, the sensor at address 1 answering from its cells; the
    // cell of wire index flip keeps its lowest bit flipped. Returns the frames it answered.
    int playSensor(int ticks, int flip = -1)
    {
        int answered = 0;
        for (int t = 0; t < ticks; ++t) {
            bench->tick();
            QByteArray frame = bench->sent(6, 300);
            if (frame.isEmpty())
                break;
            if (quint8(frame.at(2)) == 0x51) {
                if (frame.size() < 10)
                    frame += bench->sent(10 - frame.size());
                const int wire = quint8(frame.at(4));
                cells[wire] = qFromLittleEndian<quint32>(frame.constData() + 5) ^ (wire == flip);
                bench->deliver(writeAck(1));
            } else {
                float value;
                std::memcpy(&value, &cells[quint8(frame.at(4)) % 6], sizeof value);
                bench->deliver(readKAnswer(1, value));
            }
            ++answered;
        }
        return answered;
    }

    const SensorData::MidlMap points {{18, 990}, {19, 996}, {20, 1000}, {21, 1004}, {22, 1010}};
    std::optional<BenchFixture> bench;
    std::optional<MessageBoxCatcher> boxes;
    quint32 cells[6] = {};
};

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
