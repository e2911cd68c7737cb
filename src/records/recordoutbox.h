#pragma once

#include "records/serversettings.h"

#include <QObject>
#include <QString>

class QThread;
class QTimer;
class RecordSender;

// The bench's own record file as the outbox of the laboratory's server: every record stored is
// sent, from a thread of its own. While the server is away the sends are tried again after 5 s,
// then twice as long each time up to a minute, and the status says how many records wait; they
// arrive in order when it is back.
class RecordOutbox : public QObject
{
    Q_OBJECT

public:
    static constexpr int firstRetryMs = 5000;
    static constexpr int lastRetryMs = 60000;

    RecordOutbox(const QString &localPath, const ServerSettings &server, QObject *parent = nullptr);
    // Lets a send under way end (a server that does not answer gives up within seconds).
    ~RecordOutbox() override;

    // Records the server has not confirmed, as last counted; -1 before the first count.
    int waiting() const { return m_waiting; }
    bool busy() const { return m_sending; }
    const ServerSettings &server() const { return m_server; }

public slots:
    // A record reached the file: sent at once, or counted while the server is waited for.
    void trigger();
    // Sends now, whatever the back-off.
    void retryNow();

signals:
    void sigStatus(const QString &message);
    // A send ended; waiting is what is left.
    void sigSent(int waiting);

    // To the sender's thread.
    void sigSend();
    void sigCount();

private:
    void sent(int waiting, const QString &error, bool created);
    void counted(int waiting);
    void say();
    void startSend();

    const ServerSettings m_server;
    QThread *m_thread = nullptr;
    QTimer *m_backoff = nullptr;
    int m_delayMs = 0;
    int m_waiting = -1;
    bool m_sending = false;
    bool m_again = false;
    QString m_reason; // the first line of why the last send failed
};
