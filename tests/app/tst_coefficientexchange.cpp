#include "app/mainwindow.h"
#include "protocol/crc.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "serial/comport.h"
#include "support/benchfixture.h"
#include "support/frames.h"
#include "support/messageboxcatcher.h"

#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <array>
#include <cstring>
#include <map>
#include <optional>

namespace {

using Cells = std::array<float, 6>;

// The far end of the line: sensors with six coefficient cells each, answering the coefficient
// frames addressed to them. A malformed frame goes unanswered, as with a real sensor.
struct ScriptedSensors
{
    std::map<quint8, Cells> cells;

    QByteArray answer(const QByteArray &frame)
    {
        if (frame.size() < 6 || frame.at(0) != 0x37 || crc8(frame) != 0 || quint8(frame.at(4)) > 5)
            return {};
        const quint8 address = quint8(frame.at(1));
        const quint8 index = quint8(frame.at(4));
        if (frame.size() == 10 && frame.at(2) == 0x51) {
            std::memcpy(&cells[address][index], frame.constData() + 5, 4);
            return frames::writeAck(address);
        }
        if (frame.size() == 6 && frame.at(2) == 0x4c)
            return frames::readKAnswer(address, cells[address][index]);
        return {};
    }
};

} // namespace

// The coefficient exchange as the operator runs it: the window's coefficient cycle over a
// real serial line, one step per tick, with scripted sensors at the other end.
class TestCoefficientExchange : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(bench.emplace().isValid());
        boxes.emplace();
        sensors = ScriptedSensors();
    }
    void cleanup()
    {
        boxes.reset();
        bench.reset();
    }

    void buttonsFollowPortAndStart()
    {
        auto enabled = [this] {
            int count = 0;
            for (quint8 nomDut = 0; nomDut < Duts::dutCount; ++nomDut)
                count += button(nomDut, "pbSaveK")->isEnabled()
                    + button(nomDut, "pbReadK")->isEnabled();
            return count;
        };
        QCOMPARE(enabled(), 0);
        bench->pressStart(); // polling without a port
        QCOMPARE(enabled(), 0);
        QVERIFY(bench->openPort());
        QCOMPARE(enabled(), 0);
        bench->pressStart();
        QCOMPARE(enabled(), 12);
        bench->pressStart();
        QCOMPARE(enabled(), 0);
        bench->pressStart();
        QCOMPARE(enabled(), 12);
        bench->pressOpen();
        QVERIFY(!bench->window().comPort()->isOpen());
        QCOMPARE(enabled(), 0);
    }

    void writeThenReadBack()
    {
        bench->setAddress(0, 1);
        QVERIFY(bench->openPort());
        QPushButton *write = button(0, "pbSaveK");
        QPushButton *read = button(0, "pbReadK");
        setFields(0, {"1", "0.001", "abc", "-2.5", "3.25e-05", "1234567.8"});
        QTest::mouseClick(write, Qt::LeftButton);

        // Ticks 1..6 send wire indexes 5 down to 0, each carrying leReadK(5 - index); ticks
        // 2..7 take the acknowledgements. No box is shown inside a tick.
        for (int step = 0; step < 6; ++step) {
            bench->tick();
            const QByteArray frame = bench->sent(10);
            QCOMPARE(frame.left(5), QByteArray::fromHex("37015105") + char(5 - step));
            if (step == 0)
                QCOMPARE(frame, QByteArray::fromHex("37015105050000803f2b"));
            QCOMPARE(write->text(), QStringLiteral("Зап. K%1...").arg(5 - step));
            QVERIFY(answer(frame));
        }
        bench->tick();
        QCOMPARE(write->text(), QStringLiteral("Запись К"));
        QVERIFY(boxes->texts().isEmpty());
        QTRY_COMPARE(boxes->texts(), QStringList {"OK"});
        QVERIFY(boxes->allModal());
        QVERIFY(bench->sent(1, 100).isEmpty());
        QCOMPARE(sensors.cells[1], (Cells {1234567.8f, 3.25e-05f, -2.5f, 0.0f, 0.001f, 1.0f}));

        // Reading back: indexes 0 up to 5; the answer to index k fills leReadK(5 - k), with
        // six significant digits.
        setFields(0, {"?", "?", "?", "?", "?", "?"});
        QTest::mouseClick(read, Qt::LeftButton);
        const QStringList expected {"1.23457e+06", "3.25e-05", "-2.5", "0", "0.001", "1"};
        for (int step = 0; step < 6; ++step) {
            bench->tick();
            if (step > 0)
                QCOMPARE(field(0, 6 - step)->text(), expected.at(step - 1));
            const QByteArray frame = bench->sent(6);
            QCOMPARE(frame, frames::withCrc8(QByteArray::fromHex("37014c01") + char(step)));
            QCOMPARE(read->text(), QStringLiteral("Счит. K%1...").arg(5 - step));
            QCOMPARE(field(0, 5 - step)->text(), QStringLiteral("?"));
            QVERIFY(answer(frame));
        }
        bench->tick();
        QCOMPARE(read->text(), QStringLiteral("Чтен. К"));
        QCOMPARE(boxes->texts().size(), 1);
        QTRY_COMPARE(boxes->texts(), (QStringList {"OK", "OK"}));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(field(0, i)->text(), expected.at(5 - i));
    }

    void silentSensorEndsInError()
    {
        MainWindow &window = bench->window();
        bench->setAddress(3, 7);
        QVERIFY(bench->openPort());
        QPushButton *write = button(3, "pbSaveK");
        QTest::mouseClick(write, Qt::LeftButton);

        // The first frame and its one repeat, then the exchange gives up without sending again.
        for (int attempt = 0; attempt < 2; ++attempt) {
            bench->tick();
            QCOMPARE(bench->sent(10).toHex(), "37075105050000000068");
            QCOMPARE(write->text(), QStringLiteral("Зап. K5..."));
        }
        bench->tick();
        QCOMPARE(write->text(), QStringLiteral("Запись К"));
        QVERIFY(boxes->texts().isEmpty());
        // The timer goes on while the box is open: with a short period, the box is closed only
        // after a few more ticks.
        window.timer()->setInterval(5);
        boxes->holdNextBox(window.timer(), 3);
        QTRY_COMPARE(boxes->texts(), QStringList {"ERROR"});
        QVERIFY(boxes->ticksUnderHeldBox() >= 3);
        window.timer()->setInterval(99000);
        QVERIFY(bench->sent(1, 100).isEmpty());

        // A read that nobody answers ends the same way, with its own button reset.
        QPushButton *read = button(3, "pbReadK");
        QTest::mouseClick(read, Qt::LeftButton);
        bench->tick();
        QCOMPARE(read->text(), QStringLiteral("Счит. K5..."));
        bench->tick();
        bench->tick();
        QCOMPARE(read->text(), QStringLiteral("Чтен. К"));
        QTRY_COMPARE(boxes->texts(), (QStringList {"ERROR", "ERROR"}));

        // Exchanges that end close together get their boxes one after the other.
        emit window.sensorBank()->sigExchangeOk(0);
        emit window.sensorBank()->sigExchangeError(4);
        QTRY_COMPARE(boxes->texts(), QStringList({"ERROR", "ERROR", "OK", "ERROR"}));
        QCOMPARE(boxes->mostOpenAtOnce(), 1);
    }

    void pendingWritesServedLowestPanelFirst()
    {
        bench->setAddress(0, 1);
        bench->setAddress(2, 3);
        QVERIFY(bench->openPort());
        setFields(0, {"0", "1", "2", "3", "4", "5"});
        setFields(2, {"10", "11", "12", "13", "14", "15"});
        QTest::mouseClick(button(2, "pbSaveK"), Qt::LeftButton);
        QTest::mouseClick(button(0, "pbSaveK"), Qt::LeftButton);

        QByteArray addresses;
        for (int step = 0; step < 12; ++step) {
            bench->tick();
            const QByteArray frame = bench->sent(10);
            addresses += frame.mid(1, 1);
            if (step == 6)
                QTRY_COMPARE(boxes->texts(), QStringList {"OK"});
            QVERIFY(answer(frame));
        }
        QCOMPARE(addresses.toHex(), "010101010101030303030303");
        bench->tick();
        QTRY_COMPARE(boxes->texts(), (QStringList {"OK", "OK"}));
        QCOMPARE(sensors.cells[1], (Cells {5, 4, 3, 2, 1, 0}));
        QCOMPARE(sensors.cells[3], (Cells {15, 14, 13, 12, 11, 10}));
    }

    // What a panel has to tell the operator (here a coefficient file that could not be saved;
    // a refused write goes the same way) reaches the window's status bar.
    void panelProblemsReachTheStatusBar()
    {
        bench->dut(5)->saveFileK(bench->dir().filePath("no/such/dir/k5.k"));
        QVERIFY(bench->window().statusBar()->currentMessage().contains(QStringLiteral("k5.k")));
    }

private:
    QPushButton *button(quint8 nomDut, const char *name) const
    {
        return bench->panel<QPushButton>(nomDut, name);
    }
    QLineEdit *field(quint8 nomDut, int i) const
    {
        return bench->panel<QLineEdit>(nomDut, qPrintable(QStringLiteral("leReadK%1").arg(i)));
    }
    void setFields(quint8 nomDut, const QStringList &texts)
    {
        for (int i = 0; i < 6; ++i)
            field(nomDut, i)->setText(texts.at(i));
    }
    // The sensor answers the frame; the bytes are in the window's buffer before the next tick.
    bool answer(const QByteArray &frame)
    {
        const QByteArray bytes = sensors.answer(frame);
        return !bytes.isEmpty() && bench->deliver(bytes);
    }

    std::optional<BenchFixture> bench;
    std::optional<MessageBoxCatcher> boxes;
    ScriptedSensors sensors;
};

QTEST_MAIN(TestCoefficientExchange)
#include "tst_coefficientexchange.moc"
