// A 64-hour run taken up again from its logs: 229,200 sensor lines over six files (one poll a
// second, six sensors in turn), a chamber sweeping -40..+80 °C. Prints the time of loading it
// into a fresh window ("Загрузить прогон…" without the dialog, with the refit and plot refresh
// that follow) against the time of merely reading the same files line by line, both measured in
// this run.
#include "app/filemenu.h"
#include "app/mainwindow.h"
#include "sensors/runlog.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

namespace {

constexpr int kLines = 229200;

qint64 readPlain(const QString &run)
{
    QElapsedTimer timer;
    timer.start();
    qint64 lines = 0;
    for (int s = 0; s < 6; ++s) {
        QFile file(QDir(run).filePath(QStringLiteral("%1.txt").arg(s)));
        file.open(QIODevice::ReadOnly);
        while (!file.atEnd())
            lines += file.readLine(512).size() > 0;
    }
    return lines > 0 ? timer.nsecsElapsed() : 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    const QString run = dir.filePath(QStringLiteral("2026_12_05_00_00_00"));
    QDir().mkpath(run);

    QDateTime at(QDate(2026, 12, 5), QTime(0, 0));
    QFile files[6];
    for (int s = 0; s < 6; ++s) {
        files[s].setFileName(QDir(run).filePath(QStringLiteral("%1.txt").arg(s)));
        files[s].open(QIODevice::WriteOnly);
    }
    for (int i = 0; i < kLines; ++i) {
        DutInfo info;
        info.valid = (i % 97) != 0;
        const int phase = (i / 6 / 1900) % 240; // one degree per 1900 s of polling
        info.temp = qint8(phase < 120 ? -40 + phase : 200 - phase);
        info.level = quint16(3000 + info.temp * 3 + (i * 7919) % 40);
        info.period = 70000u + info.level;
        files[i % 6].write(RunLog::sensorLine(at.addSecs(i), 0, info));
    }
    for (QFile &file : files)
        file.close();

    QTextStream out(stdout);
    const qint64 plain = readPlain(run);
    MainWindow window;
    window.resize(1900, 1000);
    window.show();
    QApplication::processEvents();
    auto *menu = window.findChild<FileMenu *>(QStringLiteral("fileMenu"));
    QElapsedTimer timer;
    timer.start();
    menu->loadRun(run);
    QApplication::processEvents(); // the one render the load asks for
    const qint64 load = timer.nsecsElapsed();
    out << "lines " << kLines << ": plain read " << plain / 1000000.0 << " ms, load into the bench "
        << load / 1000000.0 << " ms, ratio " << double(load) / double(plain) << "\n";
    return 0;
}
