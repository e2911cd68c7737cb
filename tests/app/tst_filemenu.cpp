#include "app/filemenu.h"
#include "app/mainwindow.h"
#include "support/benchfixture.h"
#include "support/frames.h"

#include <QStatusBar>
#include <QtTest>

#include <optional>

// The window's "Файл" menu: a run polled over the line comes back from its logs into a fresh
// window, and the plot is saved as a picture.
class TestFileMenu : public QObject
{
    Q_OBJECT

private slots:
    void runComesBackFromItsLogs();
    void plotPictures();
};

void TestFileMenu::runComesBackFromItsLogs()
{
    BenchFixture bench;
    QVERIFY(bench.isValid());
    bench.setAddress(0, 0);
    bench.setAddress(2, 2);
    QVERIFY(bench.openPort());
    const QString run = bench.runDirectories().value(0);
    bench.pressStart();

    // Sensors 0 and 2 in turn, a few degrees around +20 °C, one of them silent once.
    const struct
    {
        qint8 temp;
        quint16 level;
    } polls[] = {{18, 3000}, {19, 3005}, {20, 3010}, {20, 3020}, {21, 3030}, {22, 0}, {23, 3050},
        {20, 3011}};
    MainWindow &window = bench.window();
    window.slotTimer();
    for (const auto &poll : polls) {
        const quint8 address = quint8(bench.sent(5).at(1));
        QVERIFY(bench.deliver(poll.level
                ? frames::veltaroAnswer(address, poll.temp, poll.level, 70000u + poll.level)
                : QByteArray()));
        window.slotTimer();
    }
    bench.pressStart();
    bench.pressOpen();
    const QString polled = bench.dir().filePath("polled.6fls");
    QVERIFY(window.saveSet(polled));

    // The bench closed and started again: the run read back gives the same measurement set,
    // and reading it twice adds nothing.
    MainWindow fresh;
    auto *menu = fresh.findChild<FileMenu *>("fileMenu");
    QVERIFY(menu);
    QVERIFY(menu->loadRun(run));
    QVERIFY(menu->loadRun(run));
    const QString status = fresh.statusBar()->currentMessage();
    QVERIFY2(status.contains("ДУТ 0: 4, ДУТ 1: 0, ДУТ 2: 3"), qPrintable(status));
    QVERIFY2(status.contains("пропущено строк: 1"), qPrintable(status));
    const QString loaded = bench.dir().filePath("loaded.6fls");
    QVERIFY(fresh.saveSet(loaded));
    QCOMPARE(TempWorkDir::contents(loaded).toHex(), TempWorkDir::contents(polled).toHex());

    QVERIFY(!menu->loadRun(bench.dir().filePath("nothing")));
    QVERIFY(fresh.statusBar()->currentMessage().contains("нет журналов"));
}

void TestFileMenu::plotPictures()
{
    TempWorkDir dir;
    MainWindow window;
    window.resize(1200, 800);
    auto *menu = window.findChild<FileMenu *>("fileMenu");
    const QList<QPair<QString, QByteArray>> formats
        = {{"plot.png", "\x89PNG\r\n"}, {"plot.SVG", "<svg"}, {"plot.pdf", "%PDF"}};
    for (const auto &format : formats) {
        const QString path = dir.filePath(format.first);
        QVERIFY(menu->savePlot(path));
        const QByteArray bytes = TempWorkDir::contents(path);
        QVERIFY2(bytes.startsWith(format.second) || bytes.left(400).contains(format.second),
            qPrintable(format.first));
    }
    QVERIFY(!menu->savePlot(dir.filePath("plot.bmp")));
    QVERIFY(!QFile::exists(dir.filePath("plot.bmp")));
    QVERIFY(window.statusBar()->currentMessage().contains(".png, .svg или .pdf"));
}

QTEST_MAIN(TestFileMenu)
#include "tst_filemenu.moc"
