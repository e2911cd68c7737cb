#include "serial/portreopener.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSerialPortInfo>
#include <QTimer>

namespace {

constexpr int kFirstDelayMs = 1000;
constexpr int kLongestDelayMs = 5000;
constexpr int kFailuresAtFirstDelay = 30;
// A device node or link appears a moment before it can be opened.
constexpr int kAfterFolderChangeMs = 100;

QString nodePath(const QString &name)
{
    return name.startsWith(QLatin1Char('/')) ? name : QStringLiteral("/dev/") + name;
}

bool sameIds(const PortIdentity &a, const PortIdentity &b)
{
    return a.hasIds && b.hasIds && a.vendorId == b.vendorId && a.productId == b.productId;
}

} // namespace

PortReopener::PortReopener(QObject *parent)
    : QObject(parent)
    , ports(&PortReopener::systemPorts)
    , timer(new QTimer(this))
    , watcher(new QFileSystemWatcher(this))
{
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this] {
        if (waiting)
            emit attempt();
    });
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (waiting && (!timer->isActive() || timer->remainingTime() > kAfterFolderChangeMs))
            timer->start(kAfterFolderChangeMs);
    });
}

QList<PortIdentity> PortReopener::systemPorts()
{
    QList<PortIdentity> list;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        PortIdentity port;
        port.portName = info.portName();
        port.systemLocation = info.systemLocation();
        port.serialNumber = info.serialNumber();
        port.hasIds = info.hasVendorIdentifier() && info.hasProductIdentifier();
        port.vendorId = info.vendorIdentifier();
        port.productId = info.productIdentifier();
        list.append(port);
    }
    return list;
}

void PortReopener::remember(const QString &name)
{
    openedName = name;
    identity = PortIdentity();
    if (name.startsWith(QLatin1Char('/')))
        return;
    const QList<PortIdentity> now = ports();
    for (const PortIdentity &port : now) {
        if (port.portName == name)
            identity = port;
    }
}

void PortReopener::start()
{
    waiting = true;
    failures = 0;
    missed = 0;
    outage.start();
    watchFolderOf(candidate());
    timer->start(0);
}

void PortReopener::stop()
{
    waiting = false;
    timer->stop();
    const QStringList folders = watcher->directories();
    if (!folders.isEmpty())
        watcher->removePaths(folders);
}

void PortReopener::attemptFailed()
{
    if (!waiting)
        return;
    ++failures;
    timer->start(delayAfter(failures));
}

void PortReopener::countMissedPoll()
{
    if (waiting)
        ++missed;
}

int PortReopener::delayAfter(int failures)
{
    if (failures <= kFailuresAtFirstDelay)
        return kFirstDelayMs;
    return qMin(kLongestDelayMs, kFirstDelayMs * (1 + failures - kFailuresAtFirstDelay));
}

QString PortReopener::candidate() const
{
    // The list is only asked for when the identity can be looked for in it.
    const bool known = !identity.serialNumber.isEmpty() || identity.hasIds;
    return choose(openedName, identity, known ? ports() : QList<PortIdentity>());
}

QString PortReopener::choose(
    const QString &name, const PortIdentity &was, const QList<PortIdentity> &now)
{
    if (name.startsWith(QLatin1Char('/')) || (was.serialNumber.isEmpty() && !was.hasIds))
        return name;
    if (!was.serialNumber.isEmpty()) {
        for (const PortIdentity &port : now) {
            if (port.serialNumber == was.serialNumber && (!was.hasIds || sameIds(port, was)))
                return port.portName;
        }
        return name;
    }
    QStringList carriers;
    for (const PortIdentity &port : now) {
        if (sameIds(port, was) && port.serialNumber.isEmpty())
            carriers << port.portName;
    }
    if (carriers.contains(name) || carriers.size() != 1)
        return name;
    return carriers.constFirst();
}

void PortReopener::watchFolderOf(const QString &name)
{
    // A /dev/serial/by-id folder goes with the last adapter in it: then its parent is watched.
    QDir folder = QFileInfo(nodePath(name)).absoluteDir();
    while (!folder.exists() && !folder.isRoot())
        folder.setPath(QFileInfo(folder.absolutePath()).absolutePath());
    watcher->addPath(folder.absolutePath());
}
