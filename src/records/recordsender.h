#pragma once

#include "records/serversettings.h"

#include <QObject>
#include <QString>
#include <QStringList>

class QSqlDatabase;

// Sends the records of the bench's own file that the server has not confirmed, oldest first, in
// batches of one server transaction each. A batch is marked sent in the file only after the
// server committed it; a batch sent again after a crash in between lands once, because the
// server leaves out a UUID it holds. Lives in a thread of its own, so that a server that does
// not answer never holds up the window or the tick.
class RecordSender : public QObject
{
    Q_OBJECT

public:
    static constexpr int batchSize = 200;

    RecordSender(const QString &localPath, const ServerSettings &server);
    ~RecordSender() override;

    // The records the server has not confirmed yet, or -1 when the file cannot be read.
    static int unsent(QSqlDatabase &local);

public slots:
    void send();
    void count();

signals:
    // After a send: what still waits, and why when the send failed; created when the server's
    // tables were made by this bench.
    void sigSent(int waiting, const QString &error, bool created);
    void sigCounted(int waiting);

private:
    bool openLocal(QString *error);
    bool openServer(QString *error, bool *created);
    void closeServer();
    bool sendBatch(int *count, QString *error);

    const QString m_localPath;
    const ServerSettings m_server;
    const QString m_localName;
    const QString m_serverName;
    bool m_serverOpen = false;
    QStringList m_serverColumns; // of the server's table, as last read
};
