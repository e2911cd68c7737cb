#pragma once

#include "records/recordrow.h"

#include <QObject>
#include <QString>

class RecordOutbox;
class RecordStore;

// Where every calibration record goes besides the CSV journal: the bench's own SQLite file in
// the working directory and, when the settings name one, the laboratory's PostgreSQL server,
// which gets what the file holds. A record gets its UUID and the bench's station here.
class LabRecords : public QObject
{
    Q_OBJECT

public:
    // The file in directory; the server as the settings of the working directory name it.
    explicit LabRecords(const QString &directory, QObject *parent = nullptr);

    RecordStore *store() const { return m_store; }
    // Null when no server is named.
    RecordOutbox *outbox() const { return m_outbox; }

public slots:
    void add(RecordRow row);

signals:
    // For the status bar: "records" (the file) and "records-server".
    void sigStatus(const QString &message, const QString &topic);

private:
    RecordStore *m_store = nullptr;
    RecordOutbox *m_outbox = nullptr;
};
