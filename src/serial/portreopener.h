#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QFileSystemWatcher;
class QTimer;

// What the system tells of a serial port: enough to find the same USB adapter under another
// name when it comes back, and to notice that a typed path now leads to another device.
struct PortIdentity
{
    QString portName; // "ttyUSB0"
    QString systemLocation; // "/dev/ttyUSB0"
    QString serialNumber;
    quint16 vendorId = 0;
    quint16 productId = 0;
    bool hasIds = false;
    // Of a name as it was opened: whether it was typed as a path, the device node it leads to
    // after every link, and that node's device number (0 when there was none).
    bool typed = false;
    QString node;
    quint64 device = 0;
};

// Waits for a serial line that went away while the operator had it open. It asks for an
// opening at once, then every second, and after half a minute less and less often, down to
// every 5 s; and soon after the folder of the port's device node changes (an adapter plugged
// in, a link made again), so a line that returns is taken within a moment. It also counts the
// polls the outage cost and chooses the name to open.
class PortReopener : public QObject
{
    Q_OBJECT

public:
    using PortList = std::function<QList<PortIdentity>()>;

    explicit PortReopener(QObject *parent = nullptr);

    // The ports the system lists; tests give their own.
    void setPortList(PortList list) { ports = std::move(list); }

    // Remembers the port just opened under `name`, with the identity the system lists for it.
    void remember(const QString &name);
    const PortIdentity &remembered() const { return identity; }
    // The identity of `name` now: the node it leads to, and what the system lists for that node.
    PortIdentity identify(const QString &name) const;
    // Begins an outage: attempt() comes at once. stop() ends the waiting, whatever its end.
    void start();
    void stop();
    bool isWaiting() const { return waiting; }
    // An attempt failed: the next one is scheduled.
    void attemptFailed();
    // A polling tick found no line.
    void countMissedPoll();

    // The name to open now.
    QString candidate() const;
    qint64 outageMs() const { return waiting ? outage.elapsed() : 0; }
    int missedPolls() const { return missed; }

    // A typed path (starting with '/': a /dev/serial/by-id link, a pseudo-terminal) is opened
    // as it stands. A listed port whose identity had a serial number is found by that number
    // (and VID:PID, when known) under whatever name it now has; one with VID:PID alone by its
    // old name if that still carries them, or else the one port that does. If nothing matches,
    // the old name is tried again.
    static QString choose(
        const QString &name, const PortIdentity &was, const QList<PortIdentity> &now);
    static QList<PortIdentity> systemPorts();
    // Empty when `now` is the same line as `was`; otherwise how it differs, for the operator. An
    // adapter with a serial number is the same by that number, whatever node it has now; a typed
    // path is the same while it leads to the same node with the same device number. A listed
    // port without a serial number is taken for the same (choose() found it).
    static QString difference(const PortIdentity &was, const PortIdentity &now);
    // Milliseconds to the attempt after `failures` failed attempts.
    static int delayAfter(int failures);

signals:
    void attempt();

private:
    void watchFolderOf(const QString &name);

    PortList ports;
    QString openedName;
    PortIdentity identity;
    QTimer *timer = nullptr;
    QFileSystemWatcher *watcher = nullptr;
    QElapsedTimer outage;
    int failures = 0;
    int missed = 0;
    bool waiting = false;
};
