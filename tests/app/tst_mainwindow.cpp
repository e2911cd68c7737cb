#include "app/mainwindow.h"
#include "app/runprogress.h"
#include "app/setfiles.h"
#include "app/statusboard.h"
#include "app/statusnotes.h"
#include "panels/lineeditmax.h"
#include "panels/protocol.h"
#include "panels/rangeedit.h"
#include "plot/plot.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "serial/comport.h"
#include "support/benchfixture.h"
#include "support/child.h"
#include "support/filesizelimit.h"
#include "support/frames.h"
#include "support/messageboxcatcher.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>
#include <qwt_plot_marker.h>

#include <algorithm>
#include <optional>

using namespace frames;

// The window as the operator runs it, over a real serial line, tick by tick, with the test at
// the other end. Coefficient writes and reads that sensors answer run against the simulator in
// the simulated-line test; here the ones that no sensor answers.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(bench.emplace().isValid());
        boxes.emplace();
    }
    void cleanup()
    {
        boxes.reset();
        bench.reset();
    }

    void startUp_data()
    {
        QTest::addColumn<QVariant>("protocol");
        QTest::addColumn<QVariant>("period");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("seconds");
        QTest::newRow("first start") << QVariant() << QVariant() << 0 << 1;
        QTest::newRow("known") << QVariant(QStringLiteral("MODBUS RTU")) << QVariant(7) << 3 << 7;
        QTest::newRow("too long") << QVariant(QStringLiteral("Тервал ASCII")) << QVariant(250) << 2
                                  << 99;
        QTest::newRow("unknown protocol, beyond int")
            << QVariant(QStringLiteral("Veltaro-MD (объём)")) << QVariant(4000000000u) << 0 << 99;
        QTest::newRow("not a number") << QVariant() << QVariant(QStringLiteral("fast")) << 0 << 1;
        QTest::newRow("negative") << QVariant() << QVariant(-5) << 0 << 1;
    }

    // Stored protocol and period come back within their ranges, are stored again as shown
    // and set the timer.
    void startUp()
    {
        QFETCH(QVariant, protocol);
        QFETCH(QVariant, period);
        QFETCH(int, index);
        QFETCH(int, seconds);
        TempWorkDir fresh; // no settings but these
        QVERIFY(fresh.isValid());
        if (protocol.isValid())
            TempWorkDir::setSetting(QStringLiteral("Protocol/Protocol"), protocol);
        if (period.isValid())
            TempWorkDir::setSetting(QStringLiteral("Protocol/Period"), period);
        MainWindow window;
        Protocol *panel = window.protocolPanel();
        QCOMPARE(panel->currentProtocol(), index);
        QCOMPARE(panel->period(), seconds);
        QCOMPARE(TempWorkDir::setting(QStringLiteral("Protocol/Protocol")).toString(),
            child<QComboBox>(*panel, "cbProtocol")->currentText());
        QCOMPARE(TempWorkDir::setting(QStringLiteral("Protocol/Period")).toInt(), seconds);
        QVERIFY(window.timer()->isActive());
        QCOMPARE(window.timer()->interval(), seconds * 1000);

        child<QSpinBox>(*panel, "sbPeriod")->setValue(3);
        QCOMPARE(window.timer()->interval(), 3000);
        QCOMPARE(TempWorkDir::setting(QStringLiteral("Protocol/Period")).toInt(), 3);
    }

    // Every control of the port panel, the protocol panel and the sensor panels explains
    // itself; a range edit does so as a whole.
    void everyControlHasAToolTip()
    {
        MainWindow window;
        QList<QWidget *> panels {window.findChild<ComPort *>(), window.protocolPanel()};
        for (Dut *dut : window.findChildren<Dut *>())
            panels << dut;
        QCOMPARE(panels.size(), 8);
        for (QWidget *panel : panels) {
            for (QWidget *control : panel->findChildren<QWidget *>()) {
                const bool inner = qobject_cast<QAbstractSpinBox *>(control->parentWidget())
                    || qobject_cast<QComboBox *>(control->parentWidget())
                    || qobject_cast<RangeEdit *>(control->parentWidget());
                const bool isControl = qobject_cast<QAbstractButton *>(control)
                    || qobject_cast<QLineEdit *>(control) || qobject_cast<QComboBox *>(control)
                    || qobject_cast<QAbstractSpinBox *>(control)
                    || qobject_cast<RangeEdit *>(control);
                if (isControl && !inner)
                    QVERIFY2(!control->toolTip().isEmpty(), qPrintable(control->objectName()));
            }
        }
    }

    // Start-up announces every stored value again; what the file already holds is not written
    // again, so a second start leaves the file as it was, to the byte and the time stamp.
    void secondStartRewritesNothing()
    {
        TempWorkDir fresh;
        QVERIFY(fresh.isValid());
        delete new MainWindow;
        const QByteArray first = TempWorkDir::contents("settings.ini");
        QVERIFY(first.contains("DutAdres5=0") && first.contains("Period=1"));
        const QDateTime old = QDateTime::currentDateTime().addDays(-1);
        QFile file("settings.ini");
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(old, QFileDevice::FileModificationTime));
        file.close();
        delete new MainWindow;
        QCOMPARE(TempWorkDir::contents("settings.ini"), first);
        QCOMPARE(
            QFileInfo("settings.ini").lastModified().toSecsSinceEpoch(), old.toSecsSinceEpoch());
    }

    // Nothing happens before the port is open and polling runs; a port that would not open is
    // named in the status bar; the run's directory comes with its first line.
    void nothingPolledBeforePortAndStart()
    {
        MainWindow &window = bench->window();
        bench->setAddress(1, 1);
        bench->tick();
        bench->pressStart();
        QVERIFY(window.statusBar()->currentMessage().contains("порт не открыт"));
        bench->pressStart();
        QCOMPARE(window.statusBar()->currentMessage(), QString());
        child<QComboBox>(window, "cbPort")->setEditText("/dev/tarikon-no-such-port");
        bench->pressOpen();
        QVERIFY(window.statusBar()->currentMessage().contains("/dev/tarikon-no-such-port"));
        QVERIFY(bench->runDirectories().isEmpty());
        QVERIFY(bench->openPort());
        QCOMPARE(window.statusBar()->currentMessage(), QString()); // the port is no longer closed
        QVERIFY(bench->runDirectories().isEmpty());
        bench->pressStart();
        window.slotTimer();
        QCOMPARE(bench->runDirectories().size(), 1);
    }

    // What arrived is traced in the form of the protocol in force when it is read: as it went
    // over the line under the text protocol, as hex under the others.
    void traceFollowsTheProtocolInForce()
    {
        MainWindow &window = bench->window();
        bench->setAddress(1, 1);
        bench->setAddress(3, 3);
        bench->setProtocol(1);
        QVERIFY(bench->openPort());
        bench->pressStart();
        window.slotTimer();
        const QDir run(bench->runDirectories().value(0));
        QCOMPARE(bench->sent(4).toHex(), "3101066c");
        QVERIFY(bench->deliver(tervalAnswer(1, 25, 3200, 6699)));
        bench->setProtocol(2);
        window.slotTimer();
        QCOMPARE(bench->sent(2), QByteArray("DO"));
        QVERIFY(bench->deliver(textAnswer(0x1A2B, -2, 0x0C80)));
        bench->setProtocol(0);
        window.slotTimer();
        QCOMPARE(bench->sent(5).toHex(), "37010a0082");
        const QByteArray trace = "\r\n>>3101066c\r\n<<" + tervalAnswer(1, 25, 3200, 6699)
            + "\r\n>>DO\r\n<<" + textAnswer(0x1A2B, -2, 0x0C80).toHex() + "\r\n>>37010a0082\r\n<<";
        QCOMPARE(TempWorkDir::contents(run.filePath("all.log")), trace);
        // The text answer was taken under protocol 0 and is logged with its columns.
        QCOMPARE(BenchFixture::sensorLines(run.filePath("3.txt")),
            (QList<QStringList> {{"0", "-2", "3200", "0"}}));
    }

    // Polling stopped while an answer is on its way, its second piece coming after the stop:
    // the exchange is closed once the answer is whole, as a tick would have closed it, and the
    // coefficient tick finds nothing left.
    void answerCompletedAfterTheStop()
    {
        MainWindow &window = bench->window();
        bench->setAddress(1, 1);
        bench->setProtocol(0);
        QVERIFY(bench->openPort());
        bench->pressStart();
        window.slotTimer();
        QCOMPARE(bench->sent(5).toHex(), "37010a0082");
        const QDir run(bench->runDirectories().value(0));
        const QByteArray trace = TempWorkDir::contents(run.filePath("all.log"));
        const QByteArray late = veltaroAnswer(1, 30, 555, 1);
        QVERIFY(bench->line().write(late.left(5)));
        QTRY_COMPARE(window.receivedBytes(), late.left(5));
        bench->pressStart();
        window.slotTimer();
        QVERIFY(bench->line().write(late.mid(5)));
        QTRY_VERIFY(window.receivedBytes().isEmpty());
        QCOMPARE(bench->panelText(1, "leLevel") + bench->panelText(1, "leErr"), "5550");
        QCOMPARE(BenchFixture::sensorLines(run.filePath("1.txt")).size(), 1);
        window.slotTimerK();
        QCOMPARE(TempWorkDir::contents(run.filePath("all.log")), trace + late.toHex());
        QVERIFY(bench->sent(1, 50).isEmpty()); // nothing pending: nothing sent

        // Closing the port closes the run; bytes that still arrive wait in the buffer.
        bench->pressOpen();
        QVERIFY(!window.comPort()->isOpen());
        bench->tick();
        QCOMPARE(TempWorkDir::contents(run.filePath("all.log")), trace + late.toHex());
    }

    // Plain files stand where the run directory would go: the port opens all the same and the
    // status bar says what could not be made.
    void runDirectoryThatCannotBeMade()
    {
        const QDateTime now = QDateTime::currentDateTime();
        QStringList names;
        for (int second = 0; second < 3; ++second) {
            names << now.addSecs(second).toString("yyyy_MM_dd_HH_mm_ss");
            QVERIFY(TempWorkDir::put(names.last(), QByteArray()));
        }
        QVERIFY(bench->openPort());
        bench->setAddress(0, 1);
        bench->pressStart();
        bench->window().slotTimer();
        QCOMPARE(bench->runDirectories(), QStringList());
        const QString message = bench->window().statusBar()->currentMessage();
        QVERIFY2(std::any_of(names.cbegin(), names.cend(),
                     [&](const QString &name) { return message.contains(name); }),
            qPrintable(message));
    }

    // A disk that takes nothing: the status bar keeps saying so, closing asks first, and the
    // readings reach the file in order as soon as the disk takes them again.
    void fullDiskSaidAndAskedAtClose()
    {
        MainWindow &window = bench->window();
        bench->setAddress(0, 1);
        bench->setProtocol(1);
        QVERIFY(bench->openPort());
        bench->pressStart();
        auto run = [&] { return QDir(bench->runDirectories().value(0)); };
        auto poll = [&](int level) {
            window.slotTimer();
            return bench->sent(4).size() == 4 && bench->deliver(tervalAnswer(1, 25, level, 6699));
        };
        {
            const FileSizeLimit full(0);
            for (int level = 3200; level < 3203; ++level)
                QVERIFY(poll(level));
            QVERIFY2(window.statusBar()->currentMessage().contains("журнал прогона"),
                qPrintable(window.statusBar()->currentMessage()));
            QCOMPARE(TempWorkDir::contents(run().filePath("0.txt")), QByteArray());
            boxes->answerWith(QMessageBox::No);
            QVERIFY(!window.close());
            QCOMPARE(boxes->texts().size(), 1);
            QVERIFY(window.statusBar()->currentMessage().contains("журнал прогона"));
        }
        QVERIFY(poll(3203));
        window.slotTimer();
        QStringList levels;
        for (const QStringList &line : BenchFixture::sensorLines(run().filePath("0.txt")))
            levels << line.value(1);
        QCOMPARE(levels, (QStringList {"3200", "3201", "3202", "3203"}));
        QCOMPARE(window.statusBar()->currentMessage(), QString());
        // The readings are in the run log now, but in no measurement set yet.
        QVERIFY(!window.close());
        QCOMPARE(boxes->texts().size(), 2);
        QVERIFY2(boxes->texts().last().contains("ДУТ 0 не сохранены"),
            qPrintable(boxes->texts().last()));
        QVERIFY(window.setFiles()->save(bench->dir().filePath("all.6fls")));
        QVERIFY(window.close());
        QCOMPARE(boxes->texts().size(), 2);
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
        bench->pressOpen();
        QVERIFY(!bench->window().comPort()->isOpen());
        QCOMPARE(enabled(), 0);
    }

    // Warming by 0.5 °C/min with nothing collected: the time left runs to the top of the
    // widest range among the polled panels, the degrees below wait for the way back, and the
    // chamber's line on the plot follows.
    void chamberProgress()
    {
        MainWindow &window = bench->window();
        bench->setAddress(0, 1);
        bench->setAddress(2, 2);
        bench->panel<LineEditMax>(2, "leMax")->setText(QStringLiteral("90"));
        auto *label = window.statusBar()->findChild<QLabel *>(QStringLiteral("lChamber"));
        for (int i = 0; i <= 60; ++i)
            window.runProgress()->take(reading(qint8(20 + i / 12), 1000), i * 10000);
        QVERIFY2(label->text().contains(QStringLiteral("°C/мин, до 90 °C ≈ 2 ч"))
                && label->text().endsWith(QStringLiteral(", затем -40..24 на обратном ходе")),
            qPrintable(label->text()));
        for (const QwtPlotItem *item : window.plot()->itemList(QwtPlotItem::Rtti_PlotMarker))
            if (item->title().text() == "Камера")
                QVERIFY(qAbs(static_cast<const QwtPlotMarker *>(item)->xValue() - 25) < 1);

        // A panel that is not polled has no say.
        bench->setAddress(2, -1);
        window.runProgress()->take(reading(25, 1000), 610000);
        QVERIFY2(label->text().contains(QStringLiteral("до 80 °C ≈")), qPrintable(label->text()));
    }

    void silentSensorEndsInError()
    {
        MainWindow &window = bench->window();
        bench->setAddress(3, 7);
        QVERIFY(bench->openPort());
        QPushButton *read = button(3, "pbReadK");
        bench->dut(3)->slStartSaveK();

        // A write first reads what the sensor holds: the first frame and its one repeat, then
        // the exchange gives up without sending again and writes nothing.
        for (int attempt = 0; attempt < 2; ++attempt) {
            bench->tick();
            QCOMPARE(bench->sent(10).toHex(), "37074c01001d");
            QCOMPARE(read->text(), QStringLiteral("Счит. K5..."));
        }
        bench->tick();
        QCOMPARE(read->text(), QStringLiteral("Чтен. К"));
        QCOMPARE(button(3, "pbSaveK")->text(), QStringLiteral("Запись К"));
        QVERIFY(boxes->texts().isEmpty());
        // The timer goes on while the box is open: with a short period, the box is closed only
        // after a few more ticks.
        window.timer()->setInterval(5);
        boxes->holdNextBox(window.timer(), 3);
        QTRY_COMPARE(boxes->texts(), QStringList {"ERROR"});
        QVERIFY(boxes->ticksUnderHeldBox() >= 3);
        window.timer()->setInterval(99000);
        QVERIFY(bench->sent(1, 100).isEmpty());

        // Exchanges that end close together get their boxes one after the other.
        emit window.sensorBank()->sigExchangeOk(0);
        emit window.sensorBank()->sigExchangeError(4);
        QTRY_COMPARE(boxes->texts(), QStringList({"ERROR", "OK", "ERROR"}));
        QCOMPARE(boxes->mostOpenAtOnce(), 1);
    }

    // What a panel has to tell the operator reaches the status bar and goes when its condition
    // is over; the newest condition still standing is shown.
    void statusFollowsConditions()
    {
        QStatusBar *bar = bench->window().statusBar();
        bench->dut(5)->saveFileK(bench->dir().filePath("no/such/dir/k5.k"));
        QVERIFY(bar->currentMessage().contains(QStringLiteral("k5.k")));
        bench->panel<QLineEdit>(5, "leReadK5")->setText(QStringLiteral("-inf"));
        bench->dut(5)->slStartSaveK();
        QVERIFY(bar->currentMessage().contains(QStringLiteral("-inf")));
        bench->panel<QLineEdit>(5, "leReadK5")->setText(QStringLiteral("1"));
        bench->dut(5)->slStartSaveK();
        QVERIFY(bar->currentMessage().contains(QStringLiteral("k5.k")));
        const QString failure = bar->currentMessage();
        QVERIFY(bench->dut(5)->saveFileK(bench->dir().filePath("k5.k")));
        QVERIFY(bar->currentMessage() != failure);
        QVERIFY(bar->currentMessage().contains(QStringLiteral("k5.k")));
    }

    // "Start" with every panel "off" polls nothing, and says so until a panel has an address.
    void startWithoutAnAddressIsSaid()
    {
        QStatusBar *bar = bench->window().statusBar();
        QVERIFY(bench->openPort());
        const QString before = bar->currentMessage();
        bench->pressStart();
        QVERIFY(bar->currentMessage() != before);
        bench->setAddress(1, 1);
        QCOMPARE(bar->currentMessage(), before);
    }

    // A setting the file could not take is said, stays in sight over newer messages, and is
    // written once the file takes it again.
    void settingWrittenOnceTheFileTakesIt()
    {
        MainWindow &window = bench->window();
        auto *period = child<QSpinBox>(*window.protocolPanel(), "sbPeriod");
        auto *retry = child<QTimer>(window, "settingsRetry");
        {
            const FileSizeLimit full(0);
            period->setValue(42);
            QVERIFY(retry->isActive());
            window.statusBoard()->post(QStringLiteral("other"), QStringLiteral("newer"));
            QVERIFY(window.statusBar()->currentMessage().contains("settings.ini"));
            child<StatusNotes>(window, "statusNotes")->writePendingSettings();
            QVERIFY(retry->isActive());
        }
        QVERIFY(!TempWorkDir::contents("settings.ini").contains("Period=42"));
        child<StatusNotes>(window, "statusNotes")->writePendingSettings();
        QVERIFY(TempWorkDir::contents("settings.ini").contains("Period=42"));
        QVERIFY(!retry->isActive());
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("newer"));
    }

private:
    QPushButton *button(quint8 nomDut, const char *name) const
    {
        return bench->panel<QPushButton>(nomDut, name);
    }
    std::optional<BenchFixture> bench;
    std::optional<MessageBoxCatcher> boxes;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"