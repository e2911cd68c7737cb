// A calibration one can prove, on the window over a pseudo-terminal whose other end the test
// plays as the sensor: writes read back before "OK", a sensor that keeps K3 a bit off, Start
// during a write, the stale-column mark, the journal "calibration.csv" and the PDF report.

#include "app/mainwindow.h"
#include "panels/rangeedit.h"
#include "panels/serialedit.h"
#include "sensors/dut.h"
#include "settings/settingskeys.h"
#include "support/answerdialog.h"
#include "support/benchfixture.h"
#include "support/frames.h"
#include "support/messageboxcatcher.h"

#include <QAction>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStatusBar>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <cstring>

using namespace frames;

namespace {

// The records of a CSV file, one per line, fields unquoted (no line breaks inside fields).
QList<QStringList> csvRecords(const QString &text)
{
    static const QRegularExpression outsideQuotes(",(?=(?:[^\"]*\"[^\"]*\")*[^\"]*$)");
    QList<QStringList> records;
    for (const QString &line : text.split("\r\n", Qt::SkipEmptyParts)) {
        QStringList fields = line.split(outsideQuotes);
        for (QString &field : fields) {
            if (field.startsWith('"'))
                field = field.mid(1, field.size() - 2).replace("\"\"", "\"");
        }
        records << fields;
    }
    return records;
}

float asFloat(const QString &text)
{
    return float(text.toDouble());
}

} // namespace

class TestCalibration : public QObject
{
    Q_OBJECT

private slots:
    void writesJournalAndReport();

private:
    // One coefficient step per tick, the sensor at address 1 answering from its cells; the
    // cell of wire index flip keeps its lowest bit flipped. Returns the frames it answered.
    int playSensor(BenchFixture &bench, int ticks, int flip = -1)
    {
        int answered = 0;
        for (int t = 0; t < ticks; ++t) {
            bench.tick();
            QByteArray frame = bench.sent(6, 300);
            if (frame.isEmpty())
                break;
            if (quint8(frame.at(2)) == 0x51) {
                if (frame.size() < 10)
                    frame += bench.sent(10 - frame.size());
                const int wire = quint8(frame.at(4));
                cells[wire] = qFromLittleEndian<quint32>(frame.constData() + 5) ^ (wire == flip);
                bench.deliver(writeAck(1));
            } else {
                float value;
                std::memcpy(&value, &cells[quint8(frame.at(4)) % 6], sizeof value);
                bench.deliver(readKAnswer(1, value));
            }
            ++answered;
        }
        return answered;
    }

    quint32 cells[6] = {};
};

void TestCalibration::writesJournalAndReport()
{

    BenchFixture bench;
    QVERIFY(bench.isValid());
    MessageBoxCatcher boxes;
    MainWindow &window = bench.window();
    Dut *dut = bench.dut(1);
    QStatusBar *bar = window.statusBar();
    // A journal a person edited, its last line left without a line break.
    const QString journal = bench.dir().filePath("calibration.csv");
    QVERIFY(TempWorkDir::put(journal, "time,sensor\r\nedited by hand"));

    bench.setAddress(1, 1);
    // A range its points cover whole, so that nothing asks before a write.
    bench.panel<RangeEdit>(1, "leMin")->setText("18");
    bench.panel<RangeEdit>(1, "leMax")->setText("22");
    const Dut::MidlMap points {{18, 990}, {19, 996}, {20, 1000}, {21, 1004}, {22, 1010}};
    dut->setPoints(points, dut->currentKind());
    window.slUpdatePlot(1);
    // Least squares by hand: 1000 + 4.8 (T - 20) counts, K1 = 0.0048, K0 = 0.904; the points
    // stray from it by at most 0.8 counts, at 19 and 21 °C: 0.08 % of the 20 °C value.
    QCOMPARE(bench.panelText(1, "leK1"), QStringLiteral("0.0048"));
    auto stale = [&] { return bench.panel<QLineEdit>(1, "leReadK0")->property("stale").toBool(); };
    QVERIFY(stale() && dut->writeColumnStale());
    QTest::mouseClick(bench.panel<QPushButton>(1, "pbCalc2Save"), Qt::LeftButton);
    QVERIFY(!stale());
    Dut::MidlMap moved = points;
    moved[22] = 1011;
    dut->setPoints(moved, dut->currentKind());
    window.slUpdatePlot(1);
    QVERIFY(stale());
    dut->setPoints(points, dut->currentKind());
    window.slUpdatePlot(1);
    QVERIFY(!stale());
    const QString k0 = bench.panelText(1, "leReadK0");

    // A faithful sensor: "OK" only after the six reads that match.
    QVERIFY(bench.openPort());
    QPushButton *write = bench.panel<QPushButton>(1, "pbSaveK");
    bench.dut(1)->serialEdit()->setText("T-1");
    bench.dut(1)->serialEdit()->take();
    QTest::mouseClick(write, Qt::LeftButton);
    QCOMPARE(playSensor(bench, 6), 6);
    QCOMPARE(playSensor(bench, 5), 5);
    QTest::qWait(20);
    QVERIFY(boxes.texts().isEmpty());
    QCOMPARE(playSensor(bench, 20), 1);
    QTRY_COMPARE(boxes.texts(), QStringList {"OK"});

    // The sensor keeps K3 (wire index 2) with its last bit flipped.
    bench.panel<QLineEdit>(1, "leReadK3")->setText("3.3e-08");
    QTest::mouseClick(write, Qt::LeftButton);
    QCOMPARE(playSensor(bench, 20, 2), 12);
    QTRY_COMPARE(boxes.texts(), (QStringList {"OK", "ERROR"}));
    QCOMPARE(bar->currentMessage(),
        QStringLiteral("ДУТ 1: K3 записан 3.3e-08, в датчике 3.3000003e-08"));

    // Start during a write ends it; the polls after it are no failures of the sensor. The
    // journal cannot be written now, which the status bar says.
    QVERIFY(QDir().rename(journal, journal + ".kept") && QDir().mkdir(journal));
    QTest::mouseClick(write, Qt::LeftButton);
    QCOMPARE(playSensor(bench, 2), 2);
    bench.pressStart();
    QTRY_COMPARE(boxes.texts(), (QStringList {"OK", "ERROR", "ERROR"}));
    QVERIFY2(bar->currentMessage().contains("calibration.csv"), qPrintable(bar->currentMessage()));
    for (int poll = 0; poll < 3; ++poll) {
        bench.tick();
        QCOMPARE(bench.sent(5), withCrc8(hex("37010a00")));
        bench.deliver(veltaroAnswer(1, 20, 1000, 50000));
    }
    bench.tick();
    QCOMPARE(bench.panelText(1, "leErr"), QStringLiteral("0"));
    bench.pressStart();

    // The journal: the hand-edited lines kept, then a record per write that reached the line.
    const QList<QStringList> records
        = csvRecords(QString::fromUtf8(TempWorkDir::contents(journal + ".kept")));
    QCOMPARE(records.size(), 4);
    QCOMPARE(records.at(1), QStringList {"edited by hand"});
    const QStringList header = csvRecords(QString::fromUtf8(CalibrationJournal::header())).first();
    QCOMPARE(header.size(), 29);
    QCOMPARE(header.mid(0, 9),
        QStringList({"time", "sensor", "address", "protocol", "kind", "degree", "range_min",
            "range_max", "covered"}));
    QCOMPARE(header.mid(27), QStringList({"max_residual", "result"}));
    auto column = [&](const QStringList &record, const QString &name) {
        return record.value(header.indexOf(name));
    };
    const QStringList ok = records.at(2);
    const QStringList bad = records.at(3);
    QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$")
                .match(column(ok, "time"))
                .hasMatch());
    QCOMPARE(QStringList({column(ok, "sensor"), column(ok, "address"), column(ok, "degree"),
                 column(ok, "range_min"), column(ok, "range_max"), column(ok, "covered")}),
        QStringList({"1", "1", "1", "18", "22", "5/5"}));
    QCOMPARE(column(ok, "found0"), QString());
    QCOMPARE(column(ok, "k0"), k0);
    QVERIFY(std::abs(column(ok, "max_residual").toDouble() - 0.08) < 1e-4);
    for (int i = 0; i < 6; ++i) {
        const QString n = QString::number(i);
        QCOMPARE(asFloat(column(ok, "read" + n)), asFloat(column(ok, "k" + n)));
        QCOMPARE(asFloat(column(bad, "found" + n)), asFloat(column(ok, "read" + n)));
    }
    QVERIFY(asFloat(column(bad, "read3")) != asFloat(column(bad, "k3")));
    QCOMPARE(column(ok, "result"), QStringLiteral("OK"));
    QCOMPARE(column(bad, "result"),
        QStringLiteral("ERROR: K3 записан 3.3e-08, в датчике 3.3000003e-08"));

    // The report, through the menu and its dialog, read back as text.
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    QVERIFY2(!pdftotext.isEmpty(), "pdftotext (poppler-utils) is not installed");
    const QString report = bench.dir().filePath("report.pdf");
    answerDialog<QFileDialog>([report](QFileDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(report);
        static_cast<QDialog *>(dialog)->accept();
    });
    window.findChild<QAction *>("actionCalibrationReport")->trigger();
    QVERIFY2(bar->currentMessage().contains("report.pdf"), qPrintable(bar->currentMessage()));
    QProcess reader;
    reader.start(pdftotext, {"-layout", report, "-"});
    QVERIFY(reader.waitForFinished(20000));
    const QString text = QString::fromUtf8(reader.readAllStandardOutput());
    QCOMPARE(text.count('\f'), 2); // the first page and sensor 1's
    for (const QString &wanted : {QStringLiteral("Отчёт о калибровке"), QStringLiteral("ДУТ 1"),
             QStringLiteral("K0"), QStringLiteral("K3"), k0, QStringLiteral("3.3000003e-08"),
             QStringLiteral("НЕ ГОДЕН"), QStringLiteral("5/5")})
        QVERIFY2(text.contains(wanted), qPrintable(wanted));
}

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
