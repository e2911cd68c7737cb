#include "sensor-sim/signalwatcher.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t g_writeEnd = -1;

extern "C" void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (g_writeEnd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(g_writeEnd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

SignalWatcher::SignalWatcher(QObject *parent)
    : QObject(parent)
{ }

SignalWatcher::~SignalWatcher()
{
    for (const int s : qAsConst(m_watched))
        ::signal(s, SIG_DFL);
    g_writeEnd = -1;
    if (m_notifier)
        m_notifier->setEnabled(false);
    if (m_readEnd >= 0)
        ::close(m_readEnd);
    if (m_writeEnd >= 0)
        ::close(m_writeEnd);
}

bool SignalWatcher::watch(const QVector<int> &signalNumbers)
{
    if (m_readEnd < 0) {
        int fds[2];
        if (::pipe(fds) != 0)
            return false;
        for (const int fd : fds) {
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
            ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
        }
        m_readEnd = fds[0];
        m_writeEnd = fds[1];
        g_writeEnd = m_writeEnd;
        m_notifier = new QSocketNotifier(m_readEnd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &SignalWatcher::readPipe);
    }
    for (const int s : signalNumbers) {
        struct sigaction action = {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (::sigaction(s, &action, nullptr) != 0)
            return false;
        m_watched.append(s);
    }
    return true;
}

void SignalWatcher::readPipe()
{
    unsigned char bytes[64];
    ssize_t n = 0;
    while ((n = ::read(m_readEnd, bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            emit caught(bytes[i]);
    }
}
