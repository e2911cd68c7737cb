// The hands-free calibration against the simulator on a pseudo-terminal, ticks driven by hand:
// a short sweep over 18..23 °C and a range of 19..22 °C on every panel, so that a whole course
// (as-found reads, the neutral question, one write per covered panel, the as-left check and the
// report) takes a few hundred ticks.

#include "app/autocalibrator.h"
#include "e2e/simulatedbench.h"
#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "panels/protocol.h"
#include "sensors/calibrationbook.h"
#include "sensors/calibrationjournal.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "settings/settingskeys.h"
#include "support/documents.h"
#include "support/frames.h"
#include "support/messageboxcatcher.h"
#include "support/tempworkdir.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace e2e;

namespace {

const QStringList kSweep {"--temp-min", "18", "--temp-max", "23", "--temp-start", "18",
    "--temp-step-per-poll", "0.16666666666666667", "--noise-ppm", "0"};

// One polling (or coefficient) tick and, when it sent a frame, the wait for its whole answer.
void tick(SimulatedBench &bench, bool polling = true)
{
    MainWindow &window = bench.window();
    (window.*(polling ? &MainWindow::slotTimer : &MainWindow::slotTimerK))();
    if (window.comPort()->findChild<QSerialPort *>()->bytesToWrite() == 0)
        return;
    QVERIFY(waitUntil([&window] {
        const QByteArray &got = window.receivedBytes();
        return got.size() >= 4 && frames::withCrc8(got.left(got.size() - 1)) == got;
    }));
}

void prepare(SimulatedBench &bench, const QVector<int> &polled)
{
    TempWorkDir::setSetting(settingskeys::reportTolerance(), 0.05);
    for (quint8 n = 0; n < 6; ++n) {
        if (!polled.contains(n))
            bench.fixture.setAddress(n, -1);
        bench.fixture.panel<LineEditMin>(n, "leMin")->setText(QStringLiteral("19"));
        bench.fixture.panel<LineEditMax>(n, "leMax")->setText(QStringLiteral("22"));
    }
    child<QCheckBox>(*bench.window().protocolPanel(), "cbAutoCalibration")->setChecked(true);
}

// Ticks until polling stops, at most `most` ticks.
void runOut(SimulatedBench &bench, int most)
{
    for (int i = 0; i < most && bench.window().protocolPanel()->isStarted(); ++i) {
        tick(bench);
        if (QTest::currentTestFailed())
            return;
    }
}

QString verdictOf(SimulatedBench &bench, quint8 n)
{
    return bench.fixture.panel<QLabel>(n, "lVerdict")->text();
}

QList<CalibrationRecord> journal(const QString &stage, int sensor)
{
    QList<CalibrationRecord> found;
    for (const CalibrationRecord &r : CalibrationJournal::read(CalibrationBook::journalPath())) {
        if (r.stage == stage && r.sensor == sensor)
            found << r;
    }
    return found;
}

} // namespace

class TestAutoCalibrationRun : public QObject
{
    Q_OBJECT

private slots:
    void wholeCourseToTheReport();
    void unverifiedWriteTriedTwice();
    void handsOffTheCourse();
    void runTakenUpIsNotWrittenAgain();
};

void TestAutoCalibrationRun::wholeCourseToTheReport()
{
    SimulatedBench bench(0, kSweep + QStringList {"--no-compensation", "3"});
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    MessageBoxCatcher boxes;
    // Sensor 0 already holds a compensation of its own, written by hand before the run.
    for (int i = 0; i < 6; ++i)
        bench.fixture.panel<QLineEdit>(0, qPrintable(QStringLiteral("leReadK%1").arg(i)))
            ->setText(i == 0 ? "1.01" : "0");
    bench.fixture.dut(0)->slStartSaveK();
    for (int i = 0; i < 19; ++i)
        tick(bench, false);
    QVERIFY(waitUntil([&boxes] { return boxes.texts().contains("OK"); }));
    boxes.answerWith(QMessageBox::Yes);
    prepare(bench, {0, 1, 2, 3, 4, 5});
    bench.fixture.pressStart();
    runOut(bench, 900);

    QVERIFY(!bench.window().protocolPanel()->isStarted());
    const QStringList texts = boxes.texts();
    QVERIFY(std::any_of(texts.begin(), texts.end(),
        [](const QString &t) { return t.startsWith("ДУТ 0 уже хранят"); }));
    const QString run = bench.window().sensorBank()->runDirectory();
    for (int n = 0; n < 6; ++n) {
        QVERIFY(QFile::exists(AutoCalibrator::asFoundPath(run, n)));
        QCOMPARE(journal("found", n).size(), 1);
        QVERIFY(!journal("found", n).first().run.isEmpty()); // named as a write is
        // One fit written per sensor, with its whole range covered, and verified; sensor 0 got
        // the neutral set first.
        const QList<CalibrationRecord> writes = journal("written", n);
        QCOMPARE(writes.size(), n == 0 ? 2 : 1);
        QCOMPARE(writes.last().covered, 4);
        QCOMPARE(writes.last().total, 4);
        QVERIFY(writes.last().write.ok);
        // The panel still shows what its sensor holds.
        QCOMPARE(bench.fixture.panelText(n, "leReadK1").toFloat(), writes.last().write.sent[1]);
        const QList<CalibrationRecord> left = journal("as_left", n);
        QCOMPARE(left.size(), 1);
        QVERIFY(left.first().asLeftPercent.has_value());
        QCOMPARE(verdictOf(bench, quint8(n)), n == 2 ? QString("НЕ ГОДЕН") : QString("ГОДЕН"));
    }
    // Frames on the line: the hand write, sensor 0's neutral set and six fits, six frames each;
    // each write's read-back, the hand write's read of what the sensor held, and the six
    // as-found reads of the course, after which no write needs another.
    const QJsonObject requests = bench.simulator.counts().value("requests").toObject();
    QCOMPARE(requests.value("writeCoefficient").toInt(), 6 * 8);
    QCOMPARE(requests.value("readCoefficient").toInt(), 6 * 15);
    // No box for any automatic exchange: the hand write's "OK" and the question alone.
    QCOMPARE(boxes.texts().size(), 2);
    const QStringList pages
        = documents::pdfText(TempWorkDir::contents(run + "/report.pdf")).split('\f');
    for (int n = 0; n < 6; ++n) {
        const QString title = QStringLiteral("ДУТ %1: автокалибровка").arg(n);
        const auto page = std::find_if(
            pages.begin(), pages.end(), [&title](const QString &p) { return p.contains(title); });
        QVERIFY2(page != pages.end(), qPrintable(pages.join("\n---\n")));
        QVERIFY(page->contains(QStringLiteral("Результат: ") + (n == 2 ? "НЕ ГОДЕН" : "ГОДЕН\n")));
    }
    // Its verified write does not make the sensor that failed its check a pass on page 1.
    const QString line = pages.value(0).section(QStringLiteral("ДУТ 2,"), 1).section('\n', 0, 0);
    QVERIFY2(
        line.contains(QStringLiteral("OK, НЕ ГОДЕН, после записи: НЕ ГОДЕН")), qPrintable(line));
    QVERIFY(bench.simulator.stop());
}

void TestAutoCalibrationRun::unverifiedWriteTriedTwice()
{
    SimulatedBench bench(0, kSweep + QStringList {"--flip-k", "2"});
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    MessageBoxCatcher boxes;
    prepare(bench, {1});
    bench.fixture.pressStart();
    runOut(bench, 400);
    QVERIFY(!bench.window().protocolPanel()->isStarted());
    QCOMPARE(verdictOf(bench, 1), QStringLiteral("НЕ ГОДЕН: запись не проверена"));
    const QList<CalibrationRecord> writes = journal("written", 1);
    QCOMPARE(writes.size(), 2);
    QVERIFY(!writes.at(0).write.ok && !writes.at(1).write.ok);
    QVERIFY(boxes.texts().isEmpty());
    QVERIFY(bench.simulator.stop());
}

void TestAutoCalibrationRun::handsOffTheCourse()
{
    SimulatedBench bench(0, kSweep);
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    MessageBoxCatcher boxes;
    boxes.answerWith(QMessageBox::Yes);
    prepare(bench, {0, 1});
    bench.fixture.pressStart();
    AutoCalibration *course = bench.window().autoCalibrator()->course();

    // "Очистить" on a panel takes its sensor out of the course; the other one stays in.
    tick(bench);
    bench.fixture.panel<QPushButton>(1, "pbClear")->click();
    QCOMPARE(course->phase(1), AutoCalibration::Phase::Manual);
    QVERIFY(bench.fixture.dut(0)->exchangeRunning());

    // The switch off in the middle of the as-found read: the exchange ends at once, without a
    // box, and the next tick polls.
    tick(bench);
    child<QCheckBox>(*bench.window().protocolPanel(), "cbAutoCalibration")->setChecked(false);
    QVERIFY(!bench.fixture.dut(0)->exchangeRunning());
    QCOMPARE(course->phase(0), AutoCalibration::Phase::Off);
    const int polled = bench.simulator.counts().value("requests")["levelPeriod"].toInt();
    tick(bench);
    tick(bench);
    QVERIFY(bench.simulator.counts().value("requests")["levelPeriod"].toInt() > polled);
    QVERIFY(!boxes.texts().contains("OK") && !boxes.texts().contains("ERROR"));
    QVERIFY(bench.simulator.stop());
}

void TestAutoCalibrationRun::runTakenUpIsNotWrittenAgain()
{
    // After a crash the run is taken up with "Загрузить прогон…" while the port opens a new
    // directory: a sensor whose as-found set lies in the old run goes straight to its check.
    SimulatedBench bench(0, kSweep);
    QVERIFY2(bench.ready(), qPrintable(bench.failure));
    QTemporaryDir old;
    QVERIFY(QFile(AutoCalibrator::asFoundPath(old.path(), 1)).open(QIODevice::WriteOnly));
    bench.window().sensorBank()->setRunTakenUp(old.path());
    prepare(bench, {0, 1});
    bench.fixture.pressStart();
    AutoCalibration *course = bench.window().autoCalibrator()->course();
    QCOMPARE(course->phase(1), AutoCalibration::Phase::Checking);
    QCOMPARE(course->phase(0), AutoCalibration::Phase::ReadPending);
    QVERIFY(bench.simulator.stop());
}

QTEST_MAIN(TestAutoCalibrationRun)
#include "tst_autocalibrationrun.moc"
