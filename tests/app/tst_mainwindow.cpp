#include "app/mainwindow.h"
#include "app/runprogress.h"
#include "app/setfiles.h"
#include "app/statusboard.h"
#include "app/statusnotes.h"
#include "panels/lineeditmax.h"
#include "panels/protocol.h"
#include "panels/rangeedit.h"
#include "plot/plot.h"
#include "plot/plotcurve.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "serial/comport.h"
#include "support/benchfixture.h"
#include "support/child.h"
#include "support/filesizelimit.h"
#include "support/frames.h"
#include "support/messageboxcatcher.h"
#include "support/settle.h"

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

namespace {

// Counts the paints a widget receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget)
        : QObject(widget)
    {
        widget->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Number of points on all of a sensor's curves, value curves first.
QList<size_t> pointCounts(const Plot &plot, quint8 s)
{
    size_t values = 0;
    for (int v = 0; v < Plot::valueCurveCount; ++v)
        values += plot.valueCurve(s, v)->dataSize();
    return {values, plot.midlCurve(s)->dataSize(), plot.trendCurve(s)->dataSize(),
        plot.deltaCurve(s)->dataSize()};
}

} // namespace

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

    // The window's side of the polling cycle over a real line; every protocol with six sensors
    // and every line fault is run against the simulator in the simulated-line test. Here: a
    // port that would not open, the trace of a protocol switched between ticks, and an answer
    // that arrives in two pieces after polling stopped.
    void pollingCycle()
    {
        MainWindow &window = bench->window();
        bench->setAddress(1, 1);
        bench->setAddress(3, 3);
        bench->setProtocol(1);

        // Nothing happens before the port is open and polling runs; a port that would not open is
        // named in the status bar.
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
        // The run's directory comes with its first line.
        QVERIFY(bench->runDirectories().isEmpty());
        bench->pressStart();

        // What arrived is traced in the form of the protocol in force when it is read: as it
        // went over the line under the text protocol, as hex under the others.
        window.slotTimer();
        const QStringList runs = bench->runDirectories();
        QCOMPARE(runs.size(), 1);
        const QDir run(runs.first());
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

        // Polling stopped while sensor 1's answer is on its way, its second piece coming after
        // the stop: the exchange is closed once the answer is whole, as a tick would have closed
        // it, and the coefficient tick finds nothing left.
        const QByteArray late = veltaroAnswer(1, 30, 555, 1);
        QVERIFY(bench->line().write(late.left(5)));
        QTRY_COMPARE(window.receivedBytes(), late.left(5));
        bench->pressStart();
        window.slotTimer();
        QVERIFY(bench->line().write(late.mid(5)));
        QTRY_VERIFY(window.receivedBytes().isEmpty());
        QCOMPARE(bench->panelText(1, "leLevel") + bench->panelText(1, "leErr"), "5550");
        QCOMPARE(BenchFixture::sensorLines(run.filePath("1.txt")).size(), 2);
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
        auto *period = child<QSpinBox>(*window.protocolPanel(), "sbPeriod");
        {
            const FileSizeLimit full(0);
            // A setting that cannot be stored is said.
            period->setValue(98);
            QVERIFY(window.statusBar()->currentMessage().contains("settings.ini"));
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
        period->setValue(97);
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
    // widest range among the polled panels, and the chamber's line on the plot follows.
    void chamberProgress()
    {
        MainWindow &window = bench->window();
        bench->setAddress(0, 1);
        bench->setAddress(2, 2);
        bench->panel<LineEditMax>(2, "leMax")->setText(QStringLiteral("90"));
        auto *label = window.statusBar()->findChild<QLabel *>(QStringLiteral("lChamber"));
        for (int i = 0; i <= 60; ++i)
            window.runProgress()->take(reading(qint8(20 + i / 12), 1000), i * 10000);
        QVERIFY2(label->text().contains(QStringLiteral("°C/мин, осталось ≈ 2 ч"))
                && label->text().endsWith(QStringLiteral("(до 90 °C)")),
            qPrintable(label->text()));
        for (const QwtPlotItem *item : window.plot()->itemList(QwtPlotItem::Rtti_PlotMarker))
            if (item->title().text() == "Камера")
                QVERIFY(qAbs(static_cast<const QwtPlotMarker *>(item)->xValue() - 25) < 1);

        // A panel that is not polled has no say.
        bench->setAddress(2, -1);
        window.runProgress()->take(reading(25, 1000), 610000);
        QVERIFY2(label->text().endsWith(QStringLiteral("(до 80 °C)")), qPrintable(label->text()));
    }

    void silentSensorEndsInError()
    {
        MainWindow &window = bench->window();
        bench->setAddress(3, 7);
        QVERIFY(bench->openPort());
        QPushButton *write = button(3, "pbSaveK");
        bench->dut(3)->slStartSaveK();

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

    // The window hands the plot a sensor's data sets whenever that sensor's data changes, and
    // the plot draws each change once. Sensor 4 alone on the line at 20 and 21 °C: each valid
    // reading redraws its curves, with one paint of the canvas; a corrupt answer redraws nothing;
    // the other sensors' curves stay. Then sensor 2's data kind changes: every sensor's readings
    // go, sensor 2 is redrawn.
    void readingsAndKindChanges()
    {
        MainWindow &window = bench->window();
        Plot &plot = *window.plot();
        bench->setAddress(4, 4);
        QVERIFY(bench->openPort());
        bench->pressStart();
        window.resize(1400, 900);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const Dut::MidlMap marker {{0, 1u}};
        plot.setMidlCurve(&marker, 2);
        settle();
        PaintCounter paints(plot.canvas());

        struct Step
        {
            QByteArray answer;
            int paints;
            QList<size_t> counts; // values, mid values, trend, deviation of sensor 4
        };
        const QByteArray good20 = frames::veltaroAnswer(4, 20, 1000, 50000);
        const QByteArray corrupt = QByteArray(good20).replace(5, 1, "\x77");
        const QList<Step> steps = {
            {QByteArray(), 0, {0, 0, 0, 0}}, // the first poll goes out
            {good20, 1, {1, 1, 191, 1}},
            {frames::veltaroAnswer(4, 20, 1000, 50010), 1, {2, 1, 191, 1}},
            {corrupt, 0, {2, 1, 191, 1}},
            {frames::veltaroAnswer(4, 21, 1000, 50100), 1, {3, 2, 191, 2}},
        };
        for (const Step &step : steps) {
            QVERIFY(bench->deliver(step.answer));
            paints.count = 0;
            bench->tick();
            QVERIFY(!bench->sent(5).isEmpty());
            settle();
            QCOMPARE(paints.count, step.paints);
            QCOMPARE(pointCounts(plot, 4), step.counts);
        }
        QCOMPARE(plot.valueCurve(4, 110)->sample(1), QPointF(20, 50010));
        QCOMPARE(pointCounts(plot, 2), (QList<size_t> {0, 1, 0, 0}));

        bench->panel<QComboBox>(2, "cbTypePolinom")->setCurrentIndex(2); // "Уровень"
        QCOMPARE(plot.currentTypeData(), Level);
        QCOMPARE(pointCounts(plot, 4), (QList<size_t> {0, 2, 191, 2}));
        QCOMPARE(pointCounts(plot, 2), (QList<size_t> {0, 0, 0, 0}));
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
