#include "records/recordoutbox.h"

#include "records/recordsender.h"

#include <QThread>
#include <QTimer>

#include <algorithm>

RecordOutbox::RecordOutbox(const QString &localPath, const ServerSettings &server, QObject *parent)
    : QObject(parent)
    , m_server(server)
    , m_thread(new QThread(this))
    , m_backoff(new QTimer(this))
{
    m_backoff->setSingleShot(true);
    connect(m_backoff, &QTimer::timeout, this, &RecordOutbox::startSend);

    // The sender belongs to its thread and goes with it.
    auto *sender = new RecordSender(localPath, server);
    sender->moveToThread(m_thread);
    connect(m_thread, &QThread::finished, sender, &QObject::deleteLater);
    connect(this, &RecordOutbox::sigSend, sender, &RecordSender::send);
    connect(this, &RecordOutbox::sigCount, sender, &RecordSender::count);
    connect(sender, &RecordSender::sigSent, this, &RecordOutbox::sent);
    connect(sender, &RecordSender::sigCounted, this, &RecordOutbox::counted);
    m_thread->setObjectName(QStringLiteral("record-outbox"));
    m_thread->start();
    // Whatever a previous run left unsent goes first.
    startSend();
}

RecordOutbox::~RecordOutbox()
{
    m_thread->quit();
    m_thread->wait();
}

void RecordOutbox::trigger()
{
    if (m_sending)
        m_again = true;
    else if (m_backoff->isActive())
        emit sigCount();
    else
        startSend();
}

void RecordOutbox::retryNow()
{
    m_backoff->stop();
    if (m_sending)
        m_again = true;
    else
        startSend();
}

void RecordOutbox::startSend()
{
    m_sending = true;
    m_again = false;
    emit sigSend();
}

void RecordOutbox::sent(int waiting, const QString &error, bool created)
{
    m_sending = false;
    m_waiting = waiting;
    if (error.isEmpty()) {
        m_delayMs = 0;
        emit sigStatus(created ? QStringLiteral("Таблицы записей калибровки созданы на сервере %1")
                                     .arg(m_server.describe())
                               : QString());
        if (m_again)
            startSend();
    } else {
        m_delayMs = std::min(std::max(firstRetryMs, m_delayMs * 2), lastRetryMs);
        m_backoff->start(m_delayMs);
        m_reason = error.section(QLatin1Char('\n'), 0, 0).trimmed();
        say();
    }
    emit sigSent(waiting);
}

void RecordOutbox::counted(int waiting)
{
    m_waiting = waiting;
    if (m_backoff->isActive())
        say();
}

void RecordOutbox::say()
{
    QString message = QStringLiteral("в базу лаборатории не отправлено: %1")
                          .arg(m_waiting < 0 ? QStringLiteral("?") : QString::number(m_waiting));
    if (!m_reason.isEmpty())
        message += QStringLiteral(" (%1)").arg(m_reason);
    emit sigStatus(message);
}
