// tarikon-sensor-sim: fuel-level sensors on a pseudo-terminal, for demos and end-to-end tests
// of the bench without hardware. See README.md beside this file.

#include "sensor-sim/ptylink.h"
#include "sensor-sim/signalwatcher.h"
#include "sensor-sim/simulatorengine.h"
#include "sensor-sim/simulatoroptions.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

void printError(const QString &text)
{
    std::fprintf(stderr, "tarikon-sensor-sim: %s\n", qPrintable(text));
}

// Points linkPath at the device. A symbolic link left there by an earlier run is replaced
// (atomically, through a rename); anything else at that path is left alone and refused.
bool makeLink(const QString &device, const QString &linkPath)
{
    const QFileInfo existing(linkPath);
    if (existing.exists() || existing.isSymLink()) {
        if (!existing.isSymLink()) {
            printError(QStringLiteral("%1 exists and is not a symbolic link").arg(linkPath));
            return false;
        }
    }
    const QString temporary = linkPath + QStringLiteral(".%1.tmp").arg(::getpid());
    QFile::remove(temporary);
    if (::symlink(QFile::encodeName(device).constData(), QFile::encodeName(temporary).constData())
            != 0
        || ::rename(
               QFile::encodeName(temporary).constData(), QFile::encodeName(linkPath).constData())
            != 0) {
        printError(QStringLiteral("cannot make the link %1").arg(linkPath));
        QFile::remove(temporary);
        return false;
    }
    return true;
}

// Removes the link only while it still points at this run's device.
void removeLink(const QString &device, const QString &linkPath)
{
    if (QFileInfo(linkPath).isSymLink() && QFile::symLinkTarget(linkPath) == device)
        QFile::remove(linkPath);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarikon-sensor-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    SimulatorOptions options;
    switch (options.parse(QCoreApplication::arguments())) {
    case SimulatorOptions::Result::Help:
        std::fputs(qPrintable(options.helpText()), stdout);
        return 0;
    case SimulatorOptions::Result::Version:
        std::printf("tarikon-sensor-sim %s\n", qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    case SimulatorOptions::Result::Error:
        printError(options.errorText() + QStringLiteral(" (--help lists the options)"));
        return 2;
    case SimulatorOptions::Result::Run:
        break;
    }
    const SimulatorConfig &config = options.config();

    SimulatorEngine engine(config);
    if (config.describe) {
        std::fputs(
            QJsonDocument(engine.describe()).toJson(QJsonDocument::Indented).constData(), stdout);
        return 0;
    }

    // A reader of our output that goes away must not kill the simulator.
    ::signal(SIGPIPE, SIG_IGN);
    SignalWatcher signalWatcher;
    if (!signalWatcher.watch({SIGINT, SIGTERM, SIGHUP})) {
        printError(QStringLiteral("cannot catch signals"));
        return 1;
    }
    QObject::connect(
        &signalWatcher, &SignalWatcher::caught, &app, [](int) { QCoreApplication::quit(); });

    PtyLink link;
    if (!link.open()) {
        printError(link.errorString());
        return 1;
    }
    const QString device = link.devicePath();
    if (!config.linkPath.isEmpty() && !makeLink(device, config.linkPath))
        return 1;

    QObject::connect(&link, &PtyLink::received, &engine, &SimulatorEngine::feed);
    QObject::connect(&engine, &SimulatorEngine::transmit, &link, &PtyLink::write);
    // Said once: the counts are saved after every request, and a file that cannot be written
    // would otherwise flood the log. Lives as long as the event loop that saves.
    bool statsFailureReported = false;
    if (!config.statsPath.isEmpty()) {
        const auto saveStats = [&engine, &config, &statsFailureReported] {
            if (!engine.stats().save(config.statsPath) && !statsFailureReported) {
                printError(QStringLiteral("cannot write %1").arg(config.statsPath));
                statsFailureReported = true;
            }
        };
        saveStats();
        QObject::connect(&engine, &SimulatorEngine::statsChanged, &engine, saveStats);
    }

    std::printf("%s\n", qPrintable(device));
    std::fflush(stdout);

    QCoreApplication::exec();

    if (!config.linkPath.isEmpty())
        removeLink(device, config.linkPath);
    if (!config.statsPath.isEmpty())
        engine.stats().save(config.statsPath);
    printError(engine.stats().summary());
    return 0;
}
