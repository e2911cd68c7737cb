#include "app/mainwindow.h"
#include "panels/protocol.h"
#include "protocol/crc.h"
#include "sensors/duts.h"
#include "serial/comport.h"
#include "support/pseudoterminal.h"

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

namespace {

QByteArray withCrc8(QByteArray frame)
{
    frame.append(char(crc8(frame)));
    return frame;
}

QByteArray withCrc16(QByteArray frame)
{
    const quint16 crc = crc16(frame);
    frame.append(char(crc & 0xFF)).append(char(crc >> 8));
    return frame;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(char(v));
    return out;
}

// Measurement answers as the sensors send them.
QByteArray answer0(quint8 address, quint8 aux, quint16 level, qint8 temp, quint32 period)
{
    return withCrc8(
        bytes({0x39, address, 0x0A, 0x08, aux, level & 0xFF, level >> 8, temp, int(period & 0xFF),
            int((period >> 8) & 0xFF), int((period >> 16) & 0xFF), int(period >> 24)}));
}

QByteArray answer1(quint8 address, qint8 temp, quint16 level, quint16 freq)
{
    return withCrc8(
        bytes({0x3E, address, 0x06, temp, level & 0xFF, level >> 8, freq & 0xFF, freq >> 8}));
}

QByteArray answer3(quint8 address, qint8 temp, quint16 level)
{
    return withCrc16(
        bytes({address, 0x03, 0x08, 0x00, temp, level >> 8, level & 0xFF, 0, 0, 0, 0}));
}

QString panelText(MainWindow &window, quint8 nomDut, const char *name)
{
    return window.sensorBank()->dut(nomDut)->findChild<QLineEdit *>(QLatin1String(name))->text();
}

// The lines of a sensor's run log with the leading time (five words of Qt's text date)
// taken off; the time itself must parse.
QStringList sensorLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {QStringLiteral("<missing>")};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    if (lines.last().isEmpty())
        lines.removeLast();
    for (QString &line : lines) {
        const QStringList words = line.split(QLatin1Char(' '));
        const QString time = words.mid(0, 5).join(QLatin1Char(' '));
        if (!QDateTime::fromString(time, Qt::TextDate).isValid())
            return {QStringLiteral("<bad time> ") + line};
        line = words.mid(5).join(QLatin1Char(' '));
    }
    return lines;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestPollingCycle : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void sensorsAnswerInEveryProtocol();
    void exchangeBoxesWaitForTheTick();

private:
    // Opens the pseudo-terminal through the serial panel's own widgets.
    void openPort(MainWindow &window);
    void setAddress(MainWindow &window, quint8 nomDut, int address);
    void setProtocol(MainWindow &window, int index);
    void pressStart(MainWindow &window);
    // Waits until everything the sensor side wrote has reached the window.
    void deliver(MainWindow &window, const QByteArray &answer);
    // Collects what the window sent until `count` bytes are there (the port writes from the
    // event loop).
    QByteArray sent(int count);

    std::unique_ptr<QTemporaryDir> sandbox;
    std::unique_ptr<PseudoTerminal> line;
};

void TestPollingCycle::init()
{
    sandbox = std::make_unique<QTemporaryDir>();
    QVERIFY(sandbox->isValid());
    QVERIFY(QDir::setCurrent(sandbox->path()));
    line = std::make_unique<PseudoTerminal>();
    QVERIFY(line->isValid());
}

void TestPollingCycle::cleanup()
{
    line.reset();
    QDir::setCurrent(QDir::tempPath());
    sandbox.reset();
}

void TestPollingCycle::openPort(MainWindow &window)
{
    window.comPort()
        ->findChild<QComboBox *>(QStringLiteral("cbPort"))
        ->setEditText(line->slavePath());
    QTest::mouseClick(
        window.comPort()->findChild<QPushButton *>(QStringLiteral("pbOpen")), Qt::LeftButton);
    QVERIFY(window.comPort()->isOpen());
}

void TestPollingCycle::setAddress(MainWindow &window, quint8 nomDut, int address)
{
    window.sensorBank()
        ->dut(nomDut)
        ->findChild<QComboBox *>(QStringLiteral("cbPort"))
        ->setCurrentIndex(address + 1);
}

void TestPollingCycle::setProtocol(MainWindow &window, int index)
{
    window.protocolPanel()
        ->findChild<QComboBox *>(QStringLiteral("cbProtocol"))
        ->setCurrentIndex(index);
    QCOMPARE(window.protocolPanel()->currentProtocol(), index);
}

void TestPollingCycle::pressStart(MainWindow &window)
{
    QTest::mouseClick(window.protocolPanel()->findChild<QPushButton *>(QStringLiteral("pbStart")),
        Qt::LeftButton);
}

void TestPollingCycle::deliver(MainWindow &window, const QByteArray &answer)
{
    if (answer.isEmpty())
        return;
    QVERIFY(line->write(answer));
    QTRY_COMPARE(window.receivedBytes(), answer);
}

QByteArray TestPollingCycle::sent(int count)
{
    QByteArray bytes;
    // A short count shows up in the comparison that follows.
    static_cast<void>(QTest::qWaitFor([&] {
        bytes += line->read();
        return bytes.size() >= count;
    }));
    return bytes;
}

void TestPollingCycle::sensorsAnswerInEveryProtocol()
{
    MainWindow window;
    // Ticks are driven by hand: the timer never fires within the test.
    window.protocolPanel()->findChild<QSpinBox *>(QStringLiteral("sbPeriod"))->setValue(99);
    QCOMPARE(window.timer()->interval(), 99000);
    setAddress(window, 1, 1);
    setAddress(window, 3, 3);
    setProtocol(window, 1);

    // Nothing happens before the port is open and polling runs.
    window.slotTimer();
    window.slotTimerK();
    QVERIFY(QDir::current().entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());

    openPort(window);
    const QStringList runs = QDir::current().entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(runs.size(), 1);
    const QDir run(runs.first());
    pressStart(window);

    // Each step: the bench protocol for the tick, the frame the tick must send, and what the
    // sensor answers before the next tick.
    struct Step
    {
        int protocol;
        QByteArray frame;
        QByteArray answer;
    };
    const QByteArray corrupt = answer1(1, 25, 3200, 6699).replace(8, 1, "\x00");
    const QByteArray text3 = "F=1A2B t=FE N=0C80.0";
    const QByteArray text1 = "F=0BB8 t=14 N=07D0.0\r";
    const QList<Step> steps = {
        {1, withCrc8(bytes({0x31, 1, 0x06})), answer1(1, 25, 3200, 6699)},
        {1, withCrc8(bytes({0x31, 3, 0x06})), QByteArray()},
        {1, withCrc8(bytes({0x31, 1, 0x06})), corrupt},
        {2, "DO", text3},
        {2, "DO", text1},
        {3, withCrc16(bytes({3, 0x03, 0, 0, 0, 4})), answer3(3, 25, 3200)},
        {0, withCrc8(bytes({0x37, 1, 0x0A, 0})), answer0(1, 7, 1234, -12, 4294967295u)},
        {0, withCrc8(bytes({0x37, 3, 0x0A, 0})), QByteArray()},
    };

    QByteArray trace;
    QByteArray pending;
    for (const Step &step : steps) {
        setProtocol(window, step.protocol);
        const bool raw = step.protocol == 2;
        trace += raw ? pending : pending.toHex();
        trace += "\r\n>>" + (raw ? step.frame : step.frame.toHex()) + "\r\n<<";

        window.slotTimer();
        QCOMPARE(sent(step.frame.size()).toHex(), step.frame.toHex());
        QVERIFY(window.receivedBytes().isEmpty());
        deliver(window, step.answer);
        pending = step.answer;
    }

    // Sensor 1: good protocol 1 reading, corrupt answer, text reading, protocol 0 reading.
    QCOMPARE(panelText(window, 1, "leLevel"), QStringLiteral("1234"));
    QCOMPARE(panelText(window, 1, "leTemperat"), QStringLiteral("-12"));
    QCOMPARE(panelText(window, 1, "lePeriod"), QStringLiteral("4294967295"));
    QCOMPARE(panelText(window, 1, "leErr"), QStringLiteral("1"));
    // Sensor 3: silence, text reading, MODBUS reading; its last frame is still unanswered.
    QCOMPARE(panelText(window, 3, "leLevel"), QStringLiteral("3200"));
    QCOMPARE(panelText(window, 3, "leTemperat"), QStringLiteral("25"));
    QCOMPARE(panelText(window, 3, "leErr"), QStringLiteral("1"));
    for (quint8 n : {0, 2, 4, 5})
        QCOMPARE(panelText(window, n, "leErr"), QStringLiteral("0"));

    QCOMPARE(fileBytes(run.filePath("all.log")), trace);
    // Each line has the columns of the protocol in force when the answer was taken.
    QCOMPARE(sensorLines(run.filePath("1.txt")),
        QStringList({"25 3200 6699 ", "error ", "20 2000 ", "7 -12 1234 4294967295 "}));
    QCOMPARE(sensorLines(run.filePath("3.txt")),
        QStringList({"error ", "-2 3200 6699 ", "0 25 3200 0 "}));
    for (const char *name : {"0.txt", "2.txt", "4.txt", "5.txt"})
        QCOMPARE(fileBytes(run.filePath(name)), QByteArray());

    // Polling stopped while sensor 3's answer is on its way: the polling tick leaves it alone,
    // the coefficient tick takes it (as hex) and nobody counts it.
    const QByteArray late = answer0(3, 0, 555, 30, 1);
    deliver(window, late);
    pressStart(window);
    window.slotTimer();
    QCOMPARE(window.receivedBytes(), late);
    window.slotTimerK();
    QVERIFY(window.receivedBytes().isEmpty());
    QCOMPARE(fileBytes(run.filePath("all.log")), trace + late.toHex());
    QCOMPARE(panelText(window, 3, "leLevel"), QStringLiteral("3200"));
    QCOMPARE(sensorLines(run.filePath("3.txt")).size(), 3);
    QTest::qWait(50);
    QVERIFY(line->read().isEmpty()); // nothing pending: nothing sent

    // Closing the port closes the run; bytes that still arrive wait in the buffer.
    QTest::mouseClick(
        window.comPort()->findChild<QPushButton *>(QStringLiteral("pbOpen")), Qt::LeftButton);
    QVERIFY(!window.comPort()->isOpen());
    window.slotTimerK();
    QCOMPARE(fileBytes(run.filePath("all.log")), trace + late.toHex());
}

void TestPollingCycle::exchangeBoxesWaitForTheTick()
{
    MainWindow window;
    window.protocolPanel()->findChild<QSpinBox *>(QStringLiteral("sbPeriod"))->setValue(99);
    setAddress(window, 2, 4);
    auto *saveK = window.sensorBank()->dut(2)->findChild<QPushButton *>(QStringLiteral("pbSaveK"));
    QVERIFY(!saveK->isEnabled());

    // No run directory can be made this time (plain files stand in the way): the status bar
    // says so and the exchange below still runs.
    const QDateTime now = QDateTime::currentDateTime();
    for (int second = 0; second < 3; ++second) {
        QFile blocker(now.addSecs(second).toString("yyyy_MM_dd_HH_mm_ss"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
    }
    openPort(window);
    const QString message = window.statusBar()->currentMessage();
    QVERIFY2(message.contains(now.toString("yyyy_MM_dd_HH_mm_ss"))
            || message.contains(now.addSecs(1).toString("yyyy_MM_dd_HH_mm_ss"))
            || message.contains(now.addSecs(2).toString("yyyy_MM_dd_HH_mm_ss")),
        qPrintable(message));
    QVERIFY(saveK->isEnabled());
    pressStart(window);
    QVERIFY(!saveK->isEnabled());
    pressStart(window);
    QVERIFY(saveK->isEnabled());

    // Watches for boxes: records each one's text, whether a tick was still running when it
    // showed, and whether another box was open at the same time; then closes it.
    bool inTick = false;
    bool shownInTick = false;
    int mostOpen = 0;
    QStringList shown;
    QTimer watcher;
    watcher.setInterval(5);
    connect(&watcher, &QTimer::timeout, this, [&] {
        int open = 0;
        QMessageBox *top = nullptr;
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible()) {
                ++open;
                top = box;
            }
        }
        mostOpen = qMax(mostOpen, open);
        if (!top)
            return;
        shownInTick = shownInTick || inTick;
        shown << top->text();
        top->done(QMessageBox::Ok);
    });
    watcher.start();

    // The sensor at address 4 stays silent: the write step goes out twice, then the tick that
    // would send it a third time fails the exchange.
    QTest::mouseClick(saveK, Qt::LeftButton);
    for (int tick = 0; tick < 3; ++tick) {
        inTick = true;
        window.slotTimer();
        window.slotTimerK();
        inTick = false;
        QVERIFY(shown.isEmpty());
    }
    QCOMPARE(sent(20).size(), 20); // two write frames of 10 bytes
    QTRY_COMPARE(shown, QStringList({"ERROR"}));
    QVERIFY(!shownInTick);

    // Exchanges that end close together get their boxes one after the other.
    emit window.sensorBank()->sigExchangeOk(0);
    emit window.sensorBank()->sigExchangeError(4);
    QTRY_COMPARE(shown, QStringList({"ERROR", "OK", "ERROR"}));
    QCOMPARE(mostOpen, 1);

    // A full write: six acknowledgements, then "OK" after the tick that took the last one.
    QTest::mouseClick(saveK, Qt::LeftButton);
    const QByteArray ack = withCrc8(bytes({0x39, 4, 0x51, 0, 0}));
    window.slotTimerK();
    for (int step = 0; step < 6; ++step) {
        QCOMPARE(sent(10).left(5).toHex(),
            QByteArray("3704510505").replace(9, 1, QByteArray::number(5 - step)));
        deliver(window, ack);
        inTick = true;
        window.slotTimerK();
        inTick = false;
    }
    QTRY_COMPARE(shown.size(), 4);
    QCOMPARE(shown.last(), QStringLiteral("OK"));
    QVERIFY(!shownInTick);
    QCOMPARE(mostOpen, 1);
}

QTEST_MAIN(TestPollingCycle)
#include "tst_pollingcycle.moc"
