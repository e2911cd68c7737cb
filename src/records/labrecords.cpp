#include "records/labrecords.h"

#include "records/recordoutbox.h"
#include "records/recordstore.h"
#include "records/serversettings.h"
#include "settings/settingskeys.h"

#include <QDir>
#include <QSettings>
#include <QUuid>

#include <optional>

LabRecords::LabRecords(const QString &directory, QObject *parent)
    : QObject(parent)
    , m_store(new RecordStore(QDir(directory).filePath(RecordStore::fileName()), this))
{
    setObjectName(QStringLiteral("labRecords"));
    connect(m_store, &RecordStore::sigStatus, this,
        [this](const QString &message) { emit sigStatus(message, QStringLiteral("records")); });
    const ServerSettings server = ServerSettings::stored();
    if (!server.configured())
        return;
    m_outbox = new RecordOutbox(m_store->path(), server, this);
    connect(m_store, &RecordStore::sigStored, m_outbox, &RecordOutbox::trigger);
    connect(m_outbox, &RecordOutbox::sigStatus, this, [this](const QString &message) {
        emit sigStatus(message, QStringLiteral("records-server"));
    });
}

void LabRecords::add(RecordRow row)
{
    if (row.uuid.isEmpty())
        row.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    if (row.station.isEmpty()) {
        std::optional<QSettings> own;
        row.station = settingskeys::reader(own).value(settingskeys::reportStation()).toString();
    }
    m_store->add(row);
}
