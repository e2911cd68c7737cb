#include "serial/portreopener.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSerialPortInfo>
#include <QTimer>

#include <sys/stat.h>
#include <sys/sysmacros.h>

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
    identity = identify(name);
}

PortIdentity PortReopener::identify(const QString &name) const
{
    PortIdentity found;
    const bool typed = name.startsWith(QLatin1Char('/'));
    const QString path = nodePath(name);
    const QString node = QFileInfo(path).canonicalFilePath();
    // A typed path is found in the list by the node it leads to (a /dev/serial/by-id link to
    // ttyUSB0 is that adapter), a listed name by itself.
    const QList<PortIdentity> now = ports();
    for (const PortIdentity &port : now) {
        const bool match = typed
            ? !node.isEmpty() && QFileInfo(port.systemLocation).canonicalFilePath() == node
            : port.portName == name;
        if (match)
            found = port;
    }
    found.typed = typed;
    found.node = node;
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode))
        found.device = quint64(info.st_rdev);
    return found;
}

QString PortReopener::difference(const PortIdentity &was, const PortIdentity &now)
{
    if (!was.serialNumber.isEmpty()) {
        if (now.serialNumber == was.serialNumber)
            return QString();
        return tr("серийный номер %1 вместо %2")
            .arg(now.serialNumber.isEmpty() ? tr("не известен") : now.serialNumber,
                was.serialNumber);
    }
    if (!was.typed || was.node.isEmpty())
        return QString();
    if (now.node != was.node)
        return tr("%1 вместо %2").arg(now.node.isEmpty() ? tr("нет узла") : now.node, was.node);
    if (now.device != was.device) {
        auto number = [](quint64 device) {
            return QStringLiteral("%1:%2").arg(major(device)).arg(minor(device));
        };
        return tr("%1: номер устройства %2 вместо %3")
            .arg(now.node, number(now.device), number(was.device));
    }
    return QString();
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
