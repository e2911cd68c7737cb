#include "records/recordsender.h"

#include "records/recordrow.h"
#include "records/recordschema.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <QVariant>
#include <QVector>

namespace {

const QString unsentCondition = QStringLiteral(
    "NOT EXISTS (SELECT 1 FROM record_sent s WHERE s.uuid = calibration_record.uuid)");

} // namespace

RecordSender::RecordSender(const QString &localPath, const ServerSettings &server)
    : m_localPath(localPath)
    , m_server(server)
    , m_localName(QStringLiteral("outbox-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    , m_serverName(QStringLiteral("server-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{ }

RecordSender::~RecordSender()
{
    for (const QString &name : {m_localName, m_serverName}) {
        if (QSqlDatabase::contains(name)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
}

int RecordSender::unsent(QSqlDatabase &local)
{
    QSqlQuery query(local);
    if (!query.exec(
            QStringLiteral("SELECT count(*) FROM calibration_record WHERE ") + unsentCondition)
        || !query.next())
        return -1;
    return query.value(0).toInt();
}

bool RecordSender::openLocal(QString *error)
{
    QSqlDatabase db = QSqlDatabase::contains(m_localName)
        ? QSqlDatabase::database(m_localName, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_localName);
    if (db.isOpen())
        return true;
    // The store makes the file with its first record; until then nothing waits.
    if (!QFileInfo::exists(m_localPath)) {
        *error = QString();
        return false;
    }
    db.setDatabaseName(m_localPath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    // The store alone makes and migrates the file; until it has, nothing waits to be sent.
    const int version = RecordSchema::storedVersion(db, RecordSchema::Dialect::Local, error);
    if (version != RecordSchema::version) {
        if (version == 0)
            error->clear();
        else if (version > 0)
            *error = QStringLiteral("%1: схема версии %2").arg(m_localPath).arg(version);
        db.close();
        return false;
    }
    return true;
}

bool RecordSender::openServer(QString *error, bool *created)
{
    if (m_serverOpen)
        return true;
    QSqlDatabase db = QSqlDatabase::contains(m_serverName)
        ? QSqlDatabase::database(m_serverName, false)
        : m_server.connection(m_serverName);
    if (!db.isValid()) {
        *error = QStringLiteral("нет драйвера PostgreSQL (пакет libqt5sql5-psql)");
        return false;
    }
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    if (!RecordSchema::prepare(db, RecordSchema::Dialect::Server, error, created)) {
        db.close();
        return false;
    }
    m_serverOpen = true;
    return true;
}

void RecordSender::closeServer()
{
    m_serverColumns.clear();
    if (QSqlDatabase::contains(m_serverName))
        QSqlDatabase::database(m_serverName, false).close();
    m_serverOpen = false;
}

bool RecordSender::sendBatch(int *count, QString *error)
{
    QSqlDatabase local = QSqlDatabase::database(m_localName, false);
    QSqlQuery select(local);
    select.prepare(QStringLiteral("SELECT * FROM calibration_record WHERE ") + unsentCondition
        + QStringLiteral(" ORDER BY rowid LIMIT ?"));
    select.addBindValue(batchSize);
    if (!select.exec()) {
        *error = select.lastError().text();
        return false;
    }
    QVector<RecordRow> rows;
    while (select.next())
        rows.append(RecordSchema::rowOf(select.record()));
    select.finish();
    *count = rows.size();
    if (rows.isEmpty())
        return true;

    QSqlDatabase server = QSqlDatabase::database(m_serverName, false);
    if (!server.transaction()) {
        *error = server.lastError().text();
        return false;
    }
    for (const RecordRow &row : qAsConst(rows)) {
        if (!RecordSchema::insert(
                server, RecordSchema::Dialect::Server, row, error, &m_serverColumns)) {
            server.rollback();
            return false;
        }
    }
    if (!server.commit()) {
        *error = server.lastError().text();
        server.rollback();
        return false;
    }

    // Committed on the server: only now are they marked. Should the bench end before the mark,
    // the next send offers them again and the server leaves them out.
    if (!local.transaction()) {
        *error = local.lastError().text();
        return false;
    }
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    QSqlQuery mark(local);
    mark.prepare(QStringLiteral(
        "INSERT INTO record_sent (uuid, sent_at) VALUES (?, ?) ON CONFLICT (uuid) DO NOTHING"));
    for (const RecordRow &row : qAsConst(rows)) {
        mark.addBindValue(row.uuid);
        mark.addBindValue(now);
        if (!mark.exec()) {
            *error = mark.lastError().text();
            local.rollback();
            return false;
        }
    }
    if (!local.commit()) {
        *error = local.lastError().text();
        local.rollback();
        return false;
    }
    return true;
}

void RecordSender::send()
{
    QString error;
    bool created = false;
    if (!openLocal(&error)) {
        emit sigSent(error.isEmpty() ? 0 : -1, error, false);
        return;
    }
    QSqlDatabase local = QSqlDatabase::database(m_localName, false);
    if (unsent(local) == 0) {
        emit sigSent(0, QString(), false);
        return;
    }
    if (!openServer(&error, &created)) {
        closeServer();
        emit sigSent(unsent(local), error, false);
        return;
    }
    int count = 0;
    do {
        if (!sendBatch(&count, &error)) {
            // The connection may be gone with the server; the next send opens a new one.
            closeServer();
            break;
        }
    } while (count == batchSize);
    emit sigSent(unsent(local), error, created);
}

void RecordSender::count()
{
    QString error;
    if (!openLocal(&error)) {
        emit sigCounted(error.isEmpty() ? 0 : -1);
        return;
    }
    QSqlDatabase local = QSqlDatabase::database(m_localName, false);
    emit sigCounted(unsent(local));
}
