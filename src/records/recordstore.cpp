#include "records/recordstore.h"

#include "records/recordschema.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QTimer>
#include <QUuid>

RecordStore::RecordStore(const QString &path, QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_connection(QStringLiteral("records-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
    , m_retry(new QTimer(this))
{
    m_retry->setInterval(retryMs);
    connect(m_retry, &QTimer::timeout, this, &RecordStore::retry);
}

RecordStore::~RecordStore()
{
    close();
}

void RecordStore::close()
{
    // A column added in a transaction that was rolled back is not there.
    m_columns.clear();
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
    m_open = false;
}

bool RecordStore::open(QString *error)
{
    if (m_open)
        return true;
    QSqlDatabase db = QSqlDatabase::contains(m_connection)
        ? QSqlDatabase::database(m_connection, false)
        : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    if (!db.isValid()) {
        *error = QStringLiteral("нет драйвера SQLite (пакет libqt5sql5-sqlite)");
        return false;
    }
    db.setDatabaseName(m_path);
    // A file locked by another program must not hold up the tick for long: the record waits.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=250"));
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    if (!RecordSchema::prepare(db, RecordSchema::Dialect::Local, error)) {
        db.close();
        return false;
    }
    m_open = true;
    return true;
}

void RecordStore::add(const RecordRow &row)
{
    m_queue.append(row);
    retry();
}

bool RecordStore::writeQueue(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    bool stored = false;
    while (!m_queue.isEmpty()) {
        if (!db.transaction()) {
            *error = db.lastError().text();
            break;
        }
        if (!RecordSchema::insert(
                db, RecordSchema::Dialect::Local, m_queue.constFirst(), error, &m_columns)) {
            db.rollback();
            break;
        }
        if (!db.commit()) {
            *error = db.lastError().text();
            db.rollback();
            break;
        }
        m_queue.removeFirst();
        stored = true;
    }
    return stored;
}

void RecordStore::retry()
{
    QString error;
    bool stored = false;
    if (open(&error)) {
        stored = writeQueue(&error);
        // The next try opens the file afresh: it may have been replaced or repaired meanwhile.
        if (!m_queue.isEmpty())
            close();
    }
    if (m_queue.isEmpty()) {
        m_retry->stop();
    } else if (!m_retry->isActive()) {
        m_retry->start();
    }
    const QString message = m_queue.isEmpty()
        ? QString()
        : QStringLiteral("База калибровок %1 не записана (%2); записей ждут в памяти: %3")
              .arg(QDir::toNativeSeparators(m_path), error)
              .arg(m_queue.size());
    if (message != m_said) {
        m_said = message;
        emit sigStatus(message);
    }
    if (stored)
        emit sigStored();
}
