// The sensor simulator killed and started again on the same link while the bench polls it:
// the bench waits for the line, takes it back by itself and goes on in the same run; a
// coefficient exchange the loss cuts ends as failed; "CLOSE" during an outage ends the waiting.

#include "app/statusboard.h"
#include "e2e/simulatedbench.h"
#include "panels/protocol.h"
#include "support/messageboxcatcher.h"

#include <QLineEdit>
#include <QPushButton>

using namespace e2e;

class TestLostLine : public QObject
{
    Q_OBJECT

private slots:
    void pollingGoesOnOverAnOutage();
};

void TestLostLine::pollingGoesOnOverAnOutage()
{
    BenchFixture fixture;
    QVERIFY(fixture.isValid());
    MainWindow &window = fixture.window();
    ComPort &port = *window.comPort();
    const QString link = fixture.dir().filePath("ttyLINK");
    const QString countsPath = fixture.dir().filePath("counts.json");
    SensorSimulator simulator(TARIKON_SENSOR_SIM);
    const QStringList arguments {"--link", link};
    QVERIFY2(simulator.start(arguments, countsPath), qPrintable(simulator.errorText()));
    auto requests = [&] { return simulator.counts().value("requests")["total"].toInt(); };

    fixture.setProtocol(0);
    for (int n = 0; n < 6; ++n)
        fixture.setAddress(quint8(n), n + 1);
    child<QComboBox>(port, "cbPort")->setEditText(link);
    fixture.pressOpen();
    QVERIFY(port.isOpen());
    fixture.pressStart();
    // One tick and its answer, whole in the window for the next tick.
    auto poll = [&] {
        const int before = requests();
        window.slotTimer();
        return waitUntil([&] { return requests() > before; })
            && waitUntil([&] { return window.receivedBytes().size() >= 13; });
    };
    for (int i = 0; i < 7; ++i)
        QVERIFY(poll());

    auto *open = child<QPushButton>(port, "pbOpen");
    auto *start = child<QPushButton>(*window.protocolPanel(), "pbStart");
    auto outage = [&](int ticks) {
        if (!simulator.stop() || !waitUntil([&] { return port.isLineLost(); }))
            return false;
        for (int i = 0; i < ticks; ++i)
            window.slotTimer();
        return open->text() == "CLOSE" && window.statusBoard()->current().contains(link);
    };
    QVERIFY(outage(3));
    QCOMPARE(start->text(), QStringLiteral("Stop"));
    // The panels say so themselves; the count's tool tip tells the last good reading.
    auto *count = fixture.panel<QLineEdit>(5, "leErr");
    QCOMPARE(fixture.panelText(5, "leLevel"), QStringLiteral("нет линии"));
    QVERIFY2(count->toolTip().contains("Линия потеряна")
            && count->toolTip().contains("Последнее верное показание"),
        qPrintable(count->toolTip()));

    QElapsedTimer back;
    QVERIFY2(simulator.start(arguments, countsPath), qPrintable(simulator.errorText()));
    back.start();
    QVERIFY(waitUntil([&] { return port.isOpen(); }, 3000));
    qInfo("line taken back %lld ms after the link returned", back.elapsed());
    for (int i = 0; i < 7; ++i)
        QVERIFY(poll());
    window.slotTimer();
    for (int n = 0; n < 6; ++n)
        QCOMPARE(fixture.panelText(quint8(n), "leErr"), QStringLiteral("0"));
    QVERIFY2(count->toolTip().contains("Ошибок за последний час: 0 из 2 (0.0 %)"),
        qPrintable(count->toolTip()));

    // One run: the sensor files just go on, the trace notes the loss and the return.
    const QStringList runs = fixture.runDirectories().filter(QRegularExpression("^\\d{4}_"));
    QVERIFY2(runs.size() == 1, qPrintable(runs.join(" ")));
    const QDir run(fixture.dir().filePath(runs.first()));
    const QString trace = QString::fromUtf8(TempWorkDir::contents(run.filePath("all.log")));
    const QStringList notes = trace.split("\r\n").filter(QRegularExpression("^!! "));
    QCOMPARE(notes.size(), 2);
    QVERIFY(notes.at(0).contains(link));
    QVERIFY2(notes.at(1).contains("пропущено опросов: 3"), qPrintable(notes.at(1)));
    int lines = 0;
    for (int n = 0; n < 6; ++n) {
        for (const QStringList &line :
            BenchFixture::sensorLines(run.filePath(QString("%1.txt").arg(n)))) {
            QCOMPARE(line.size(), 4);
            ++lines;
        }
    }
    QCOMPARE(lines, 14);

    // A coefficient read cut by the loss ends as failed, not later as done.
    fixture.pressStart();
    MessageBoxCatcher boxes;
    QTest::mouseClick(fixture.panel<QPushButton>(0, "pbReadK"), Qt::LeftButton);
    window.slotTimerK();
    QVERIFY(outage(0));
    QTRY_COMPARE(boxes.texts(), QStringList {"ERROR"});

    // "CLOSE" during an outage: nothing is opened or sent when the line comes back.
    fixture.pressOpen();
    QVERIFY(!port.isHeld());
    QVERIFY2(simulator.start(arguments, countsPath), qPrintable(simulator.errorText()));
    QVERIFY(!waitUntil([&] { return port.isOpen(); }, 1500));
    QCOMPARE(requests(), 0);
    QCOMPARE(open->text(), QStringLiteral("OPEN"));
    QCOMPARE(boxes.texts().size(), 1);
}

QTEST_MAIN(TestLostLine)
#include "tst_lostline.moc"
