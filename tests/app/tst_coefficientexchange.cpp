#include "app/mainwindow.h"
#include "panels/protocol.h"
#include "protocol/crc.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "serial/comport.h"
#include "support/pseudoterminal.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <array>
#include <cstring>
#include <map>
#include <memory>

namespace {

QByteArray withCrc8(QByteArray frame)
{
    frame.append(static_cast<char>(crc8(frame)));
    return frame;
}

QByteArray floatBytes(float value)
{
    QByteArray bytes(4, '\0');
    std::memcpy(bytes.data(), &value, 4); // the bench runs little-endian, as the wire is
    return bytes;
}

// The far end of the line: sensors that keep six coefficient cells each and answer the
// coefficient frames addressed to them. It checks every request it gets, so a malformed
// frame from the bench goes unanswered, as with a real sensor.
class ScriptedSensors
{
public:
    QByteArray answer(const QByteArray &frame)
    {
        if (frame.size() < 6 || quint8(frame.at(0)) != 0x37
            || crc8(frame.left(frame.size() - 1)) != quint8(frame.back()))
            return {};
        const quint8 address = quint8(frame.at(1));
        const quint8 index = quint8(frame.at(4));
        if (index > 5)
            return {};
        std::array<float, 6> &cells = sensors[address];
        if (frame.size() == 10 && frame.at(2) == 0x51) {
            std::memcpy(&cells[index], frame.constData() + 5, 4);
            return withCrc8(
                QByteArray::fromHex("39") + char(address) + QByteArray::fromHex("510000"));
        }
        if (frame.size() == 6 && frame.at(2) == 0x4c)
            return withCrc8(QByteArray::fromHex("39") + char(address) + QByteArray::fromHex("4c04")
                + floatBytes(cells[index]));
        return {};
    }

    std::map<quint8, std::array<float, 6>> sensors;
};

} // namespace

// The coefficient exchange as the operator runs it: the window's coefficient cycle over a
// real serial line, one step per tick, with a scripted sensor at the other end.
class TestCoefficientExchange : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void buttonsFollowPortAndStart();
    void writeThenReadBack();
    void silentSensorEndsInError();
    void pendingWritesServedLowestPanelFirst();
    void problemsReachTheStatusBar();

private:
    void openPort();
    void setAddress(quint8 nomDut, int address);
    QPushButton *button(quint8 nomDut, const char *name);
    QLineEdit *field(quint8 nomDut, int i);
    // One tick of the window's timer, called directly: both cycles, in their order.
    void tick();
    // Bytes the bench sent on the last tick, waiting for `size` of them at most timeoutMs.
    QByteArray frameOnLine(int size, int timeoutMs = 2000);
    // The sensor answers the frame; the bytes are in the window's buffer before the next tick.
    void answer(const QByteArray &frame);
    // Closes every message box the window opens and keeps its text.
    void watchBoxes();

    std::unique_ptr<QTemporaryDir> dir;
    QString previousDir;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<PseudoTerminal> line;
    ScriptedSensors sensors;
    QStringList boxes;
    bool boxesModal = true;
    std::unique_ptr<QTimer> boxCloser;
    // While set, a box stays open until the window's timer has ticked three more times.
    QSignalSpy *tickSpy = nullptr;
    int ticksAtBox = -1;
};

void TestCoefficientExchange::init()
{
    previousDir = QDir::currentPath();
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
    QVERIFY(QDir::setCurrent(dir->path()));
    // A long period: the test makes every tick itself.
    QSettings(QStringLiteral("settings.ini"), QSettings::IniFormat).setValue("Protocol/Period", 99);
    window = std::make_unique<MainWindow>();
    line = std::make_unique<PseudoTerminal>();
    QVERIFY(line->isValid());
    sensors = ScriptedSensors();
    boxes.clear();
    boxesModal = true;
    tickSpy = nullptr;
    ticksAtBox = -1;
    watchBoxes();
}

void TestCoefficientExchange::cleanup()
{
    boxCloser.reset();
    window.reset();
    line.reset();
    QDir::setCurrent(previousDir);
    dir.reset();
}

void TestCoefficientExchange::watchBoxes()
{
    boxCloser = std::make_unique<QTimer>();
    boxCloser->setInterval(10);
    QObject::connect(boxCloser.get(), &QTimer::timeout, boxCloser.get(), [this] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (box && box->isVisible()) {
                if (tickSpy) {
                    if (ticksAtBox < 0)
                        ticksAtBox = tickSpy->count();
                    if (tickSpy->count() < ticksAtBox + 3)
                        continue;
                }
                boxes << box->text();
                boxesModal = boxesModal && box->isModal();
                box->done(QMessageBox::Ok);
            }
        }
    });
    boxCloser->start();
}

void TestCoefficientExchange::openPort()
{
    auto *ports = window->comPort()->findChild<QComboBox *>(QStringLiteral("cbPort"));
    ports->setEditText(line->slavePath());
    QTest::mouseClick(
        window->comPort()->findChild<QPushButton *>(QStringLiteral("pbOpen")), Qt::LeftButton);
    QVERIFY(window->comPort()->isOpen());
}

void TestCoefficientExchange::setAddress(quint8 nomDut, int address)
{
    window->sensorBank()
        ->dut(nomDut)
        ->findChild<QComboBox *>(QStringLiteral("cbPort"))
        ->setCurrentIndex(address + 1);
}

QPushButton *TestCoefficientExchange::button(quint8 nomDut, const char *name)
{
    return window->sensorBank()->dut(nomDut)->findChild<QPushButton *>(QString::fromLatin1(name));
}

QLineEdit *TestCoefficientExchange::field(quint8 nomDut, int i)
{
    return window->sensorBank()->dut(nomDut)->findChild<QLineEdit *>(
        QStringLiteral("leReadK%1").arg(i));
}

void TestCoefficientExchange::tick()
{
    window->slotTimer();
    window->slotTimerK();
}

QByteArray TestCoefficientExchange::frameOnLine(int size, int timeoutMs)
{
    // The port writes from the event loop, so keep it running while waiting.
    QByteArray bytes;
    QElapsedTimer waited;
    waited.start();
    while (bytes.size() < size && waited.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        bytes += line->read(5);
    }
    return bytes;
}

void TestCoefficientExchange::answer(const QByteArray &frame)
{
    const QByteArray bytes = sensors.answer(frame);
    QVERIFY(!bytes.isEmpty());
    QVERIFY(line->write(bytes));
    QTRY_COMPARE(window->receivedBytes(), bytes);
}

void TestCoefficientExchange::buttonsFollowPortAndStart()
{
    auto *start = window->protocolPanel()->findChild<QPushButton *>(QStringLiteral("pbStart"));
    auto enabled = [this] {
        int count = 0;
        for (quint8 nomDut = 0; nomDut < Duts::dutCount; ++nomDut)
            count
                += button(nomDut, "pbSaveK")->isEnabled() + button(nomDut, "pbReadK")->isEnabled();
        return count;
    };
    QCOMPARE(enabled(), 0);
    QTest::mouseClick(start, Qt::LeftButton); // polling without a port
    QCOMPARE(enabled(), 0);
    openPort();
    QCOMPARE(enabled(), 0);
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(enabled(), 12);
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(enabled(), 0);
    QTest::mouseClick(start, Qt::LeftButton);
    QCOMPARE(enabled(), 12);
    QTest::mouseClick(
        window->comPort()->findChild<QPushButton *>(QStringLiteral("pbOpen")), Qt::LeftButton);
    QVERIFY(!window->comPort()->isOpen());
    QCOMPARE(enabled(), 0);
}

void TestCoefficientExchange::writeThenReadBack()
{
    setAddress(0, 1);
    openPort();
    QPushButton *write = button(0, "pbSaveK");
    QPushButton *read = button(0, "pbReadK");
    QVERIFY(write->isEnabled());

    const QStringList values {"1", "0.001", "abc", "-2.5", "3.25e-05", "1234567.8"};
    for (int i = 0; i < 6; ++i)
        field(0, i)->setText(values.at(i));
    QTest::mouseClick(write, Qt::LeftButton);

    // Ticks 1..6 send wire indexes 5 down to 0, each carrying leReadK(5 - index); ticks 2..7
    // take the acknowledgements.
    for (int step = 0; step < 6; ++step) {
        tick();
        const QByteArray frame = frameOnLine(10);
        QCOMPARE(frame.size(), 10);
        QCOMPARE(frame.left(5), QByteArray::fromHex("37015105") + char(5 - step));
        if (step == 0)
            QCOMPARE(frame, QByteArray::fromHex("37015105050000803f2b"));
        QCOMPARE(write->text(), QStringLiteral("Зап. K%1...").arg(5 - step));
        QVERIFY(boxes.isEmpty());
        answer(frame);
    }
    tick();
    QCOMPARE(write->text(), QStringLiteral("Запись К"));
    // The box comes after the tick, never inside it; nothing more goes out.
    QVERIFY(boxes.isEmpty());
    QTRY_COMPARE(boxes, QStringList {"OK"});
    QVERIFY(frameOnLine(1, 100).isEmpty());
    QVERIFY(boxesModal);
    QCOMPARE(sensors.sensors[1],
        (std::array<float, 6> {1234567.8f, 3.25e-05f, -2.5f, 0.0f, 0.001f, 1.0f}));

    // Reading back: indexes 0 up to 5; the answer to index k fills leReadK(5 - k), with six
    // significant digits.
    for (int i = 0; i < 6; ++i)
        field(0, i)->setText(QStringLiteral("?"));
    QTest::mouseClick(read, Qt::LeftButton);
    const QStringList expected {"1.23457e+06", "3.25e-05", "-2.5", "0", "0.001", "1"};
    for (int step = 0; step < 6; ++step) {
        tick();
        if (step > 0)
            QCOMPARE(field(0, 6 - step)->text(), expected.at(step - 1));
        const QByteArray frame = frameOnLine(6);
        QCOMPARE(frame, withCrc8(QByteArray::fromHex("37014c01") + char(step)));
        QCOMPARE(read->text(), QStringLiteral("Счит. K%1...").arg(5 - step));
        QCOMPARE(field(0, 5 - step)->text(), QStringLiteral("?"));
        answer(frame);
    }
    tick();
    QCOMPARE(read->text(), QStringLiteral("Чтен. К"));
    QTRY_COMPARE(boxes, (QStringList {"OK", "OK"}));
    for (int i = 0; i < 6; ++i)
        QCOMPARE(field(0, i)->text(), expected.at(5 - i));
}

void TestCoefficientExchange::silentSensorEndsInError()
{
    setAddress(3, 7);
    openPort();
    QPushButton *write = button(3, "pbSaveK");
    QTest::mouseClick(write, Qt::LeftButton);

    // The first frame and its one repeat, then the exchange gives up without sending again.
    QByteArray first;
    for (int attempt = 0; attempt < 2; ++attempt) {
        tick();
        const QByteArray frame = frameOnLine(10);
        QCOMPARE(frame.left(9), QByteArray::fromHex("370751050500000000"));
        if (attempt == 0)
            first = frame;
        QCOMPARE(frame, first);
        QCOMPARE(write->text(), QStringLiteral("Зап. K5..."));
    }
    QSignalSpy ticks(window->timer(), &QTimer::timeout);
    tick();
    QCOMPARE(write->text(), QStringLiteral("Запись К"));
    QVERIFY(boxes.isEmpty());
    // The timer goes on while the box is open: with a short period, let a few ticks pass
    // before the box is closed.
    window->timer()->setInterval(5);
    tickSpy = &ticks;
    QTRY_COMPARE(boxes, QStringList {"ERROR"});
    tickSpy = nullptr;
    QVERIFY(frameOnLine(1, 100).isEmpty());
    window->timer()->setInterval(99000);

    // A read that nobody answers ends the same way, with its own button reset.
    window->timer()->setInterval(99000);
    QPushButton *read = button(3, "pbReadK");
    QTest::mouseClick(read, Qt::LeftButton);
    tick();
    QCOMPARE(frameOnLine(6), withCrc8(QByteArray::fromHex("37074c0100")));
    QCOMPARE(read->text(), QStringLiteral("Счит. K5..."));
    tick();
    tick();
    QCOMPARE(read->text(), QStringLiteral("Чтен. К"));
    QTRY_COMPARE(boxes, (QStringList {"ERROR", "ERROR"}));
}

void TestCoefficientExchange::pendingWritesServedLowestPanelFirst()
{
    setAddress(0, 1);
    setAddress(2, 3);
    openPort();
    for (int i = 0; i < 6; ++i) {
        field(0, i)->setText(QString::number(i));
        field(2, i)->setText(QString::number(10 + i));
    }
    QTest::mouseClick(button(2, "pbSaveK"), Qt::LeftButton);
    QTest::mouseClick(button(0, "pbSaveK"), Qt::LeftButton);

    QByteArray addresses;
    for (int step = 0; step < 12; ++step) {
        tick();
        const QByteArray frame = frameOnLine(10);
        QCOMPARE(frame.size(), 10);
        addresses += frame.at(1);
        if (step == 6)
            QTRY_COMPARE(boxes, QStringList {"OK"});
        answer(frame);
    }
    QCOMPARE(addresses, QByteArray::fromHex("010101010101030303030303"));
    tick();
    QTRY_COMPARE(boxes, (QStringList {"OK", "OK"}));
    QCOMPARE(sensors.sensors[1], (std::array<float, 6> {5, 4, 3, 2, 1, 0}));
    QCOMPARE(sensors.sensors[3], (std::array<float, 6> {15, 14, 13, 12, 11, 10}));
}

void TestCoefficientExchange::problemsReachTheStatusBar()
{
    setAddress(5, 2);
    openPort();
    field(5, 4)->setText(QStringLiteral("inf"));
    QTest::mouseClick(button(5, "pbSaveK"), Qt::LeftButton);
    QVERIFY(window->statusBar()->currentMessage().contains(QStringLiteral("K4")));
    tick();
    QVERIFY(frameOnLine(1, 100).isEmpty());

    window->sensorBank()->dut(5)->saveFileK(dir->filePath("no/such/dir/k5.k"));
    QVERIFY(window->statusBar()->currentMessage().contains(QStringLiteral("k5.k")));
}

QTEST_MAIN(TestCoefficientExchange)
#include "tst_coefficientexchange.moc"
