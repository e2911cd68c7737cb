// Start-up of the bench window against an empty QMainWindow shown the same way (maximized):
// the time from construction to the first frame on screen, the median of several rounds taken
// in turn in this run, and their ratio. Once with the settings a previous run left behind and
// once for a first start without any. Then the same from the launch of a process to its first
// frame, which adds what every Qt program pays before its window exists (loading libraries,
// the platform plug-in, fonts). Then what the window's parts cost on their own.
#include "app/mainwindow.h"
#include "panels/protocol.h"
#include "plot/plot.h"
#include "sensors/duts.h"
#include "serial/comport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace {

constexpr int kRounds = 9;

// Set once any widget of the window received its first paint event; the pass that paints it
// paints the whole tree and flushes it before control returns to the loop below.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QWidget *window)
        : window(window)
    {
        qApp->installEventFilter(this);
    }
    ~FirstPaint() override { qApp->removeEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()
            && static_cast<QWidget *>(watched)->window() == window)
            painted = true;
        return false;
    }

private:
    QWidget *window;
};

template<class Window> double firstFrameMs()
{
    QElapsedTimer clock;
    clock.start();
    Window window;
    FirstPaint paint(&window);
    window.showMaximized();
    while (!paint.painted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return clock.nsecsElapsed() / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double medianMs(const std::function<void()> &work)
{
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer clock;
        clock.start();
        work();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    return median(times);
}

qint64 wallClockNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// In a child process: shows one window, prints the wall clock of its first frame and quits.
template<class Window> int childFirstFrame()
{
    Window window;
    FirstPaint paint(&window);
    window.showMaximized();
    while (!paint.painted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QTextStream(stdout) << wallClockNs() << '\n';
    return 0;
}

// From launching this program as a child to the child's first frame, in ms.
double launchToFirstFrameMs(const char *kind)
{
    QProcess child;
    const qint64 launched = wallClockNs();
    child.start(QCoreApplication::applicationFilePath(),
        {QStringLiteral("--child"), QString::fromLatin1(kind)});
    if (!child.waitForFinished(30000))
        return -1;
    return (child.readAllStandardOutput().trimmed().toLongLong() - launched) / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--child") == 0)
        return qstrcmp(argv[2], "window") == 0 ? childFirstFrame<MainWindow>()
                                               : childFirstFrame<QMainWindow>();
    QTextStream out(stdout);
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 1;

    // The settings a first start leaves behind.
    delete new MainWindow;
    QFile::copy(QStringLiteral("settings.ini"), QStringLiteral("kept.ini"));
    const auto withSettings = [](bool kept) {
        QFile::remove(QStringLiteral("settings.ini"));
        if (kept)
            QFile::copy(QStringLiteral("kept.ini"), QStringLiteral("settings.ini"));
    };

    firstFrameMs<QMainWindow>(); // warm-up of the style, fonts and platform plug-in
    for (const bool kept : {true, false}) {
        std::vector<double> empty;
        std::vector<double> bench;
        for (int round = 0; round < kRounds; ++round) {
            withSettings(kept);
            empty.push_back(firstFrameMs<QMainWindow>());
            withSettings(kept);
            bench.push_back(firstFrameMs<MainWindow>());
        }
        const double e = median(empty);
        const double b = median(bench);
        out << (kept ? "settings kept:" : "first start:  ") << " empty QMainWindow "
            << QString::number(e, 'f', 1) << " ms, MainWindow " << QString::number(b, 'f', 1)
            << " ms, ratio " << QString::number(b / e, 'f', 2) << '\n';
        out.flush();
    }

    {
        withSettings(true);
        std::vector<double> empty;
        std::vector<double> bench;
        for (int round = 0; round < kRounds; ++round) {
            empty.push_back(launchToFirstFrameMs("empty"));
            bench.push_back(launchToFirstFrameMs("window"));
        }
        const double e = median(empty);
        const double b = median(bench);
        out << "from launch:   empty QMainWindow " << QString::number(e, 'f', 1)
            << " ms, MainWindow " << QString::number(b, 'f', 1) << " ms, ratio "
            << QString::number(b / e, 'f', 2) << '\n';
        out.flush();
    }

    // The parts on their own, each built under a parent widget as in the window.
    withSettings(true);
    QWidget parent;
    const double ports = medianMs([] { QSerialPortInfo::availablePorts(); });
    const double comPort = medianMs([&] { delete new ComPort(&parent); });
    const double protocol = medianMs([&] { delete new Protocol(&parent); });
    const double duts = medianMs([&] { delete new Duts(&parent); });
    Duts bank(&parent);
    const double plot = medianMs([&] { delete new Plot(&parent); });
    const double announce = medianMs([&] { bank.updateAll(); });
    const double window = medianMs([] { delete new MainWindow; });
    out << "parts (ms): port listing " << QString::number(ports, 'f', 1) << ", serial panel "
        << QString::number(comPort, 'f', 1) << ", protocol panel "
        << QString::number(protocol, 'f', 1) << ", sensor bank " << QString::number(duts, 'f', 1)
        << ", plot " << QString::number(plot, 'f', 1) << ", settings re-announced "
        << QString::number(announce, 'f', 1) << "; the whole window built, not shown "
        << QString::number(window, 'f', 1) << '\n';
    return 0;
}
