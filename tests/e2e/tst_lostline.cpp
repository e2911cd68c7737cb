// The sensor simulator's line lost while the bench polls it: the bench waits for the line,
// takes the same line back at once, holds back what another device says on the same path, and
// a coefficient exchange the loss cuts ends as failed. Also the answers that come after the
// operator's Stop, and readings after a return that the sensor cannot have given.

#include "app/statusboard.h"
#include "e2e/simulatedbench.h"
#include "panels/protocol.h"
#include "serial/portreopener.h"
#include "support/frames.h"
#include "support/messageboxcatcher.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <memory>

using namespace e2e;

namespace {

// The bench polling six simulated sensors (addresses 1..6) over a link in its working
// directory, one tick at a time.
class LinkedBench
{
public:
    LinkedBench()
    {
        if (!fixture.isValid() || !simulator.start(arguments(), counts()))
            return;
        fixture.setProtocol(0);
        for (int n = 0; n < 6; ++n)
            fixture.setAddress(quint8(n), n + 1);
        child<QComboBox>(port(), "cbPort")->setEditText(link);
        fixture.pressOpen();
        fixture.pressStart();
        ready = port().isOpen();
    }

    MainWindow &window() { return fixture.window(); }
    ComPort &port() { return *window().comPort(); }
    QStringList arguments(const QStringList &more = {}) const
    {
        return QStringList {"--link", link} + more;
    }
    QString counts(const char *name = "counts.json") const { return fixture.dir().filePath(name); }
    int requests(const SensorSimulator &sim) const
    {
        return sim.counts().value("requests")["total"].toInt();
    }

    // Ticks, each frame taken by `sim` and its answer whole in the window for the next tick.
    bool poll(const SensorSimulator &sim, int ticks = 1)
    {
        for (int i = 0; i < ticks; ++i) {
            const int before = requests(sim);
            window().slotTimer();
            if (!waitUntil([&] { return requests(sim) > before; })
                || !waitUntil([&] { return window().receivedBytes().size() >= 13; }))
                return false;
        }
        return true;
    }

    QDir run() const
    {
        const QStringList runs = fixture.runDirectories().filter(QRegularExpression("^\\d{4}_"));
        return QDir(fixture.dir().filePath(runs.value(0)));
    }
    int sensorLines() const
    {
        int lines = 0;
        for (int n = 0; n < 6; ++n)
            lines += BenchFixture::sensorLines(run().filePath(QString("%1.txt").arg(n))).size();
        return lines;
    }
    QStringList notes() const
    {
        const QString trace = QString::fromUtf8(TempWorkDir::contents(run().filePath("all.log")));
        return trace.split("\r\n").filter(QRegularExpression("^!! "));
    }

    BenchFixture fixture;
    const QString link = fixture.dir().filePath("ttyLINK");
    SensorSimulator simulator {TARIKON_SENSOR_SIM};
    bool ready = false;
};

} // namespace

class TestLostLine : public QObject
{
    Q_OBJECT

private slots:
    void outageCostsNoSensorAnything();
    void sameLineTakenBackAtOnce();
    void otherDeviceOnThePathNotCredited();
    void exchangeCutByLossFails();
    void closeDuringOutageEndsWaiting();
    void implausibleReadingHeld();
};

void TestLostLine::outageCostsNoSensorAnything()
{
    LinkedBench bench;
    QVERIFY(bench.ready);
    QVERIFY(bench.poll(bench.simulator, 7));
    QVERIFY(bench.simulator.stop());
    QVERIFY(waitUntil([&] { return bench.port().isLineLost(); }));
    for (int i = 0; i < 3; ++i)
        bench.window().slotTimer();
    QCOMPARE(child<QPushButton>(bench.port(), "pbOpen")->text(), QStringLiteral("CLOSE"));
    QCOMPARE(child<QPushButton>(*bench.window().protocolPanel(), "pbStart")->text(),
        QStringLiteral("Stop"));
    QVERIFY(bench.window().statusBoard()->current().contains(bench.link));
    QCOMPARE(bench.port().reopener()->missedPolls(), 3);
    // The panels say so themselves; the count's tool tip tells the last good reading.
    auto *count = bench.fixture.panel<QLineEdit>(5, "leErr");
    QCOMPARE(bench.fixture.panelText(5, "leLevel"), QStringLiteral("нет линии"));
    QVERIFY2(count->toolTip().contains("Линия потеряна")
            && count->toolTip().contains("Последнее верное показание"),
        qPrintable(count->toolTip()));
    QCOMPARE(bench.fixture.panelText(0, "leErr"), QStringLiteral("0"));
    QCOMPARE(bench.notes().size(), 1);
    QVERIFY(bench.notes().at(0).contains(bench.link));
}

void TestLostLine::sameLineTakenBackAtOnce()
{
    LinkedBench bench;
    QVERIFY(bench.ready);
    QVERIFY(bench.poll(bench.simulator, 7));
    // The system says the port failed; the same device is there again at once.
    QSignalSpy back(&bench.port(), &ComPort::lineBack);
    emit bench.port().findChild<QSerialPort *>()->errorOccurred(QSerialPort::ResourceError);
    QVERIFY(waitUntil([&] { return back.count() == 1; }));
    QVERIFY(bench.poll(bench.simulator, 7));
    bench.window().slotTimer();
    for (int n = 0; n < 6; ++n)
        QCOMPARE(bench.fixture.panelText(quint8(n), "leErr"), QStringLiteral("0"));
    // One run: the sensor files just go on, the trace notes the loss and the return.
    QCOMPARE(bench.fixture.runDirectories().filter(QRegularExpression("^\\d{4}_")).size(), 1);
    QCOMPARE(bench.sensorLines(), 14);
    const QStringList notes = bench.notes();
    QCOMPARE(notes.size(), 2);
    QVERIFY2(notes.at(1).contains("связь восстановлена") && !notes.at(1).contains("другое"),
        qPrintable(notes.at(1)));
}

void TestLostLine::otherDeviceOnThePathNotCredited()
{
    LinkedBench bench;
    QVERIFY(bench.ready);
    QVERIFY(bench.poll(bench.simulator, 7));
    // Another simulator, far warmer, takes the link; the bench's own goes.
    SensorSimulator other(TARIKON_SENSOR_SIM);
    QVERIFY2(other.start(bench.arguments({"--temp-start", "60"}), bench.counts("other.json")),
        qPrintable(other.errorText()));
    // The other device is there already: the line may be back within one turn of the loop.
    QSignalSpy back(&bench.port(), &ComPort::lineBack);
    QVERIFY(bench.simulator.stop());
    QVERIFY(waitUntil([&] { return back.count() == 1; }));
    // The answer that was in the window when the line went is the bench's own sensor's.
    const int before = bench.sensorLines();
    QVERIFY(bench.poll(other, 7));
    bench.window().slotTimer();

    QCOMPARE(bench.sensorLines(), before);
    QVERIFY2(bench.window().statusBoard()->current().contains("другое устройство"),
        qPrintable(bench.window().statusBoard()->current()));
    QVERIFY(bench.notes().filter("другое устройство").size() >= 2);
    QCOMPARE(bench.fixture.panelText(0, "leTemperat"), QStringLiteral("не принято"));
    for (int n = 0; n < 6; ++n)
        QCOMPARE(bench.fixture.panelText(quint8(n), "leErr"), QStringLiteral("0"));

    // The operator takes the line: its readings count from then on.
    auto *accept = child<QPushButton>(bench.port(), "pbAccept");
    QVERIFY(!accept->isHidden());
    QTest::mouseClick(accept, Qt::LeftButton);
    QVERIFY(accept->isHidden());
    QVERIFY(!bench.window().statusBoard()->current().contains("другое устройство"));
    // The answer waiting in the window, and the next.
    QVERIFY(bench.poll(other));
    bench.window().slotTimer();
    QCOMPARE(bench.sensorLines(), before + 2);
}

void TestLostLine::exchangeCutByLossFails()
{
    LinkedBench bench;
    QVERIFY(bench.ready);
    bench.fixture.pressStart();
    MessageBoxCatcher boxes;
    QTest::mouseClick(bench.fixture.panel<QPushButton>(0, "pbReadK"), Qt::LeftButton);
    bench.window().slotTimerK();
    QVERIFY(bench.simulator.stop());
    QVERIFY(waitUntil([&] { return bench.port().isLineLost(); }));
    QTRY_COMPARE(boxes.texts(), QStringList {"ERROR"});
}

void TestLostLine::closeDuringOutageEndsWaiting()
{
    LinkedBench bench;
    QVERIFY(bench.ready);
    QVERIFY(bench.simulator.stop());
    QVERIFY(waitUntil([&] { return bench.port().isLineLost(); }));
    bench.fixture.pressOpen();
    QVERIFY(!bench.port().isHeld());
    QVERIFY2(bench.simulator.start(bench.arguments(), bench.counts()),
        qPrintable(bench.simulator.errorText()));
    QVERIFY(!waitUntil([&] { return bench.port().isOpen(); }, 1500));
    QCOMPARE(bench.requests(bench.simulator), 0);
    QCOMPARE(child<QPushButton>(bench.port(), "pbOpen")->text(), QStringLiteral("OPEN"));
}

// The same node back, but a sensor's first answer lies far from where it was: not taken, and the
// panel and the status bar say so.
void TestLostLine::implausibleReadingHeld()
{
    BenchFixture bench;
    QVERIFY(bench.isValid());
    bench.setProtocol(0);
    bench.setAddress(0, 1);
    QVERIFY(bench.openPort());
    bench.pressStart();
    bench.tick();
    QVERIFY(bench.deliver(frames::veltaroAnswer(1, 25, 30000, 1000000)));
    bench.tick();
    QSignalSpy back(bench.window().comPort(), &ComPort::lineBack);
    emit bench.window().comPort()->findChild<QSerialPort *>()->errorOccurred(
        QSerialPort::ResourceError);
    QVERIFY(waitUntil([&] { return back.count() == 1; }));
    bench.tick();
    QVERIFY(bench.deliver(frames::veltaroAnswer(1, -30, 30000, 1000000)));
    bench.tick();

    const QStringList runs = bench.runDirectories();
    const QString sensorFile = QDir(runs.value(0)).filePath("0.txt");
    QCOMPARE(BenchFixture::sensorLines(sensorFile).size(), 1);
    QCOMPARE(bench.panelText(0, "leTemperat"), QStringLiteral("не принято"));
    QVERIFY(bench.window().statusBoard()->current().contains("ДУТ 0"));
}

QTEST_MAIN(TestLostLine)
#include "tst_lostline.moc"
