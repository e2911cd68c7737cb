#include "app/mainwindow.h"
#include "serial/comport.h"
#include "support/benchfixture.h"
#include "support/frames.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QStatusBar>
#include <QtTest>

#include <algorithm>
#include <optional>

using namespace frames;

namespace {

// The lines of a sensor's run log without the leading time (five words of Qt's text date).
QStringList sensorLines(const QString &path)
{
    QStringList lines;
    for (const QString &line :
        QString::fromUtf8(TempWorkDir::contents(path)).split("\r\n", Qt::SkipEmptyParts))
        lines << line.section(' ', 5);
    return lines;
}

} // namespace

class TestPollingCycle : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(bench.emplace().isValid()); }
    void cleanup() { bench.reset(); }

    void sensorsAnswerInEveryProtocol();
    void runDirectoryThatCannotBeMade();

private:
    std::optional<BenchFixture> bench;
};

// Sensors 1 and 3 on the line, answering in every protocol, ticks made by hand: the right
// panel shows the right values, silence and a corrupt answer count one error each, and the
// run files hold exactly the bytes of the exchange.
void TestPollingCycle::sensorsAnswerInEveryProtocol()
{
    MainWindow &window = bench->window();
    bench->setAddress(1, 1);
    bench->setAddress(3, 3);
    bench->setProtocol(1);

    // Nothing happens before the port is open and polling runs; a port that would not open is
    // named in the status bar.
    bench->tick();
    window.findChild<QComboBox *>("cbPort")->setEditText("/dev/tarikon-no-such-port");
    bench->pressOpen();
    QVERIFY(window.statusBar()->currentMessage().contains("/dev/tarikon-no-such-port"));
    QVERIFY(bench->runDirectories().isEmpty());
    QVERIFY(bench->openPort());
    const QStringList runs = bench->runDirectories();
    QCOMPARE(runs.size(), 1);
    const QDir run(runs.first());
    bench->pressStart();

    // Each step: the bench protocol for the tick, the frame the tick must send, and what the
    // sensor answers before the next tick.
    struct Step
    {
        int protocol;
        QByteArray frame;
        QByteArray answer;
    };
    const QByteArray corrupt = tervalAnswer(1, 25, 3200, 6699).replace(8, 1, "\x00");
    const QList<Step> steps = {
        {1, QByteArray::fromHex("3101066c"), tervalAnswer(1, 25, 3200, 6699)},
        {1, QByteArray::fromHex("310306fd"), QByteArray()},
        {1, QByteArray::fromHex("3101066c"), corrupt},
        {2, "DO", textAnswer(0x1A2B, -2, 0x0C80)},
        {2, "DO", "F=0BB8 t=14 N=07D0.0\r"},
        {3, QByteArray::fromHex("03030000000445eb"), modbusAnswer(3, 25, 3200)},
        {0, QByteArray::fromHex("37010a0082"), veltaroAnswer(1, -12, 1234, 4294967295u, 7)},
        {0, QByteArray::fromHex("37030a00cd"), QByteArray()},
    };

    QByteArray trace;
    QByteArray pending;
    for (const Step &step : steps) {
        bench->setProtocol(step.protocol);
        const bool raw = step.protocol == 2;
        trace += raw ? pending : pending.toHex();
        trace += "\r\n>>" + (raw ? step.frame : step.frame.toHex()) + "\r\n<<";

        window.slotTimer();
        QCOMPARE(bench->sent(step.frame.size()).toHex(), step.frame.toHex());
        QVERIFY(window.receivedBytes().isEmpty());
        QVERIFY(bench->deliver(step.answer));
        pending = step.answer;
    }

    // Level, temperature, period and errors of every panel. Sensor 1: good protocol 1 reading,
    // corrupt answer, text reading, protocol 0 reading. Sensor 3: silence, text reading,
    // MODBUS reading; its last frame is still unanswered.
    QStringList panels;
    for (quint8 n = 0; n < 6; ++n) {
        QStringList fields;
        for (const char *field : {"leLevel", "leTemperat", "lePeriod", "leErr"})
            fields << bench->panelText(n, field);
        panels << fields.join(' ');
    }
    const QString silent = QStringLiteral("--- --- --- 0");
    QCOMPARE(panels,
        QStringList({silent, "1234 -12 4294967295 1", silent, "3200 25 0 1", silent, silent}));

    QCOMPARE(TempWorkDir::contents(run.filePath("all.log")), trace);
    // Each line has the columns of the protocol in force when the answer was taken.
    QCOMPARE(sensorLines(run.filePath("1.txt")),
        QStringList({"25 3200 6699 ", "error ", "20 2000 ", "7 -12 1234 4294967295 "}));
    QCOMPARE(sensorLines(run.filePath("3.txt")),
        QStringList({"error ", "-2 3200 6699 ", "0 25 3200 0 "}));
    for (const char *name : {"0.txt", "2.txt", "4.txt", "5.txt"})
        QCOMPARE(TempWorkDir::contents(run.filePath(name)), QByteArray());

    // Polling stopped while sensor 3's answer is on its way, in two pieces that the window
    // keeps in order: the polling tick leaves it alone, the coefficient tick takes it (as hex)
    // and nobody counts it.
    const QByteArray late = veltaroAnswer(3, 30, 555, 1);
    QVERIFY(bench->line().write(late.left(5)));
    QTRY_COMPARE(window.receivedBytes(), late.left(5));
    QVERIFY(bench->line().write(late.mid(5)));
    QTRY_COMPARE(window.receivedBytes(), late);
    bench->pressStart();
    window.slotTimer();
    QCOMPARE(window.receivedBytes(), late);
    window.slotTimerK();
    QVERIFY(window.receivedBytes().isEmpty());
    QCOMPARE(TempWorkDir::contents(run.filePath("all.log")), trace + late.toHex());
    QCOMPARE(bench->panelText(3, "leLevel"), QStringLiteral("3200"));
    QCOMPARE(sensorLines(run.filePath("3.txt")).size(), 3);
    QVERIFY(bench->sent(1, 50).isEmpty()); // nothing pending: nothing sent

    // Closing the port closes the run; bytes that still arrive wait in the buffer.
    bench->pressOpen();
    QVERIFY(!window.comPort()->isOpen());
    bench->tick();
    QCOMPARE(TempWorkDir::contents(run.filePath("all.log")), trace + late.toHex());
}

// Plain files stand where the run directory would go: the port opens all the same and the
// status bar says what could not be made.
void TestPollingCycle::runDirectoryThatCannotBeMade()
{
    const QDateTime now = QDateTime::currentDateTime();
    QStringList names;
    for (int second = 0; second < 3; ++second) {
        names << now.addSecs(second).toString("yyyy_MM_dd_HH_mm_ss");
        QVERIFY(TempWorkDir::put(names.last(), QByteArray()));
    }
    QVERIFY(bench->openPort());
    QCOMPARE(bench->runDirectories(), QStringList());
    const QString message = bench->window().statusBar()->currentMessage();
    QVERIFY2(std::any_of(names.cbegin(), names.cend(),
                 [&](const QString &name) { return message.contains(name); }),
        qPrintable(message));
}

QTEST_MAIN(TestPollingCycle)
#include "tst_pollingcycle.moc"
