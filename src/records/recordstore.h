#pragma once

#include "records/recordrow.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QTimer;

// The bench's own record of every calibration: the SQLite file "calibration.sqlite" in the
// working directory, one transaction per record. Nothing is ever updated or deleted in it. When
// the file cannot be written (full disk, locked, read-only, corrupt, of a newer schema) the
// records wait in memory, in order, and are tried again every few seconds and with every new
// record; the status is said until they are in. A corrupt or newer file is never touched.
class RecordStore : public QObject
{
    Q_OBJECT

public:
    static QString fileName() { return QStringLiteral("calibration.sqlite"); }
    static constexpr int retryMs = 5000;

    explicit RecordStore(const QString &path, QObject *parent = nullptr);
    ~RecordStore() override;

    QString path() const { return m_path; }
    // Records not yet in the file.
    int waiting() const { return m_queue.size(); }

public slots:
    // Keeps the record; the file gets it now if it can.
    void add(const RecordRow &row);
    // Writes what waits in memory, oldest first.
    void retry();

signals:
    // Why records wait in memory; an empty message once they are all in the file.
    void sigStatus(const QString &message);
    // A record reached the file: the outbox has something to send.
    void sigStored();

private:
    bool open(QString *error);
    void close();
    // Writes the waiting records in order, one transaction each; whether any went in.
    bool writeQueue(QString *error);

    const QString m_path;
    const QString m_connection;
    bool m_open = false;
    QList<RecordRow> m_queue;
    QStringList m_columns; // of the table, as last read
    QString m_said;
    QTimer *m_retry = nullptr;
};
