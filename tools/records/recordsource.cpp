#include "recordsource.h"

#include "records/recordschema.h"
#include "records/recordstore.h"
#include "records/serversettings.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

bool readAll(QSqlDatabase &db, RecordSchema::Dialect dialect, QList<RecordRow> *rows,
    QStringList *columns, QString *error)
{
    if (!db.open()) {
        *error = db.lastError().text();
        return false;
    }
    if (!RecordSchema::prepare(db, dialect, error))
        return false;
    for (const QString &name : RecordSchema::columns(db)) {
        if (name != QLatin1String("received"))
            *columns << name;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(dialect == RecordSchema::Dialect::Local
                ? QStringLiteral("SELECT * FROM calibration_record ORDER BY rowid")
                : QStringLiteral("SELECT * FROM calibration_record ORDER BY received, uuid"))) {
        *error = query.lastError().text();
        return false;
    }
    while (query.next())
        *rows << RecordSchema::rowOf(query.record());
    return true;
}

} // namespace

bool RecordSource::read(Store store, QString *error)
{
    const QString connection = QStringLiteral("records-command");
    bool ok = false;
    {
        QSqlDatabase db;
        if (store == Store::Local) {
            const QString path = QDir::current().filePath(RecordStore::fileName());
            if (!QFileInfo::exists(path)) {
                *error = QStringLiteral("%1: нет файла").arg(QDir::toNativeSeparators(path));
                return false;
            }
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
            ok = readAll(db, RecordSchema::Dialect::Local, &m_rows, &m_columns, error);
            if (!ok)
                error->prepend(QDir::toNativeSeparators(path) + QStringLiteral(": "));
        } else {
            const ServerSettings server = ServerSettings::stored();
            if (!server.configured()) {
                *error = QStringLiteral("в settings.ini не указан сервер (Database/host)");
                return false;
            }
            db = server.connection(connection);
            ok = readAll(db, RecordSchema::Dialect::Server, &m_rows, &m_columns, error);
            if (!ok)
                error->prepend(server.describe() + QStringLiteral(": "));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}
