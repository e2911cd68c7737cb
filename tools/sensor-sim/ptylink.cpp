#include "sensor-sim/ptylink.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int kResumeAfterErrorMs = 100;

void addFlags(int fd, int statusFlags)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | statusFlags);
    ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
}

} // namespace

PtyLink::PtyLink(QObject *parent)
    : QObject(parent)
    , m_resumeTimer(new QTimer(this))
{
    m_resumeTimer->setSingleShot(true);
    m_resumeTimer->setInterval(kResumeAfterErrorMs);
    connect(m_resumeTimer, &QTimer::timeout, this, [this] {
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
    });
}

PtyLink::~PtyLink()
{
    // Unregister the notifiers (children, deleted later) before their descriptor goes.
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    if (m_master >= 0)
        ::close(m_master);
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
}

bool PtyLink::open()
{
    if (m_master >= 0)
        return true;
    int master = -1;
    int slave = -1;
    if (::openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
        m_error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(strerror(errno));
        return false;
    }
    char name[256] = {};
    if (::ttyname_r(slave, name, sizeof name) != 0) {
        m_error = QStringLiteral("cannot name the pseudo-terminal: %1").arg(strerror(errno));
        ::close(master);
        ::close(slave);
        return false;
    }
    termios tio {};
    if (::tcgetattr(slave, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(slave, TCSANOW, &tio);
    }
    addFlags(master, O_NONBLOCK);
    addFlags(slave, 0);

    m_master = master;
    m_slaveKeeper = slave;
    m_devicePath = QString::fromLocal8Bit(name);

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &PtyLink::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &PtyLink::writePending);
    return true;
}

void PtyLink::readMaster()
{
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // EIO (no slave open) or end of file: would repeat at once, so wait a little.
        pauseReading();
        break;
    }
    if (!bytes.isEmpty())
        emit received(bytes);
}

void PtyLink::pauseReading()
{
    m_readNotifier->setEnabled(false);
    m_resumeTimer->start();
}

void PtyLink::write(const QByteArray &bytes)
{
    if (m_master < 0 || bytes.isEmpty())
        return;
    const int room = maxPendingBytes - int(m_pending.size());
    m_pending.append(bytes.left(qMax(0, room)));
    writePending();
}

void PtyLink::writePending()
{
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_master, m_pending.constData(), size_t(m_pending.size()));
        if (n > 0) {
            m_pending.remove(0, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // The line is gone (EIO): what nobody can read is dropped.
        m_pending.clear();
    }
    m_writeNotifier->setEnabled(!m_pending.isEmpty());
}
