#include "records/recordschema.h"

#include "records/recordrow.h"

#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

#include <functional>

namespace {

// Any lock number will do as long as every bench takes the same one.
constexpr qint64 schemaLock = 0x7461726b;

bool run(QSqlQuery &query, const QString &sql, QString *error)
{
    if (query.exec(sql))
        return true;
    if (error)
        *error = query.lastError().text();
    return false;
}

} // namespace

int RecordSchema::storedVersion(QSqlDatabase &db, Dialect dialect, QString *error)
{
    QSqlQuery query(db);
    // SQLite lists no tables of a file that is no database, without a word; a query says why.
    if (dialect == Dialect::Local
        && !run(query, QStringLiteral("SELECT count(*) FROM sqlite_master"), error))
        return -1;
    if (!db.tables().contains(QStringLiteral("schema_version")))
        return 0;
    if (!run(query, QStringLiteral("SELECT max(version) FROM schema_version"), error))
        return -1;
    return query.next() ? query.value(0).toInt() : 0;
}

namespace {

// Version 0 to 1: the record table, its index on the serial number and, in the bench's own file,
// the outbox's marks and the triggers that keep records from being changed.
bool toVersion1(QSqlQuery &query, RecordSchema::Dialect dialect, QString *error)
{
    const bool server = dialect == RecordSchema::Dialect::Server;
    QString create = QStringLiteral(
        "CREATE TABLE IF NOT EXISTS calibration_record ("
        "uuid TEXT PRIMARY KEY, \"time\" TEXT NOT NULL, station TEXT NOT NULL DEFAULT '', "
        "serial TEXT NOT NULL DEFAULT '', run TEXT NOT NULL DEFAULT '', sensor INTEGER NOT NULL, "
        "result TEXT NOT NULL, amends TEXT NOT NULL DEFAULT ''");
    // On the server, when each record arrived: the order of one bench's records there.
    if (server)
        create += QStringLiteral(", received TIMESTAMPTZ NOT NULL DEFAULT clock_timestamp()");
    create += QLatin1Char(')');
    QStringList steps {create,
        // A prefix search (LIKE 'abc%') uses it: SQLite with case_sensitive_like, PostgreSQL
        // through the pattern operator class whatever the database's collation.
        server ? QStringLiteral("CREATE INDEX IF NOT EXISTS calibration_record_serial "
                                "ON calibration_record (serial text_pattern_ops)")
               : QStringLiteral("CREATE INDEX IF NOT EXISTS calibration_record_serial "
                                "ON calibration_record (serial)"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS calibration_record_time "
                       "ON calibration_record (\"time\")")};
    if (!server) {
        steps << QStringLiteral("CREATE TABLE IF NOT EXISTS record_sent ("
                                "uuid TEXT PRIMARY KEY, sent_at TEXT NOT NULL)")
              << QStringLiteral("CREATE TRIGGER IF NOT EXISTS calibration_record_kept "
                                "BEFORE UPDATE ON calibration_record BEGIN "
                                "SELECT RAISE(ABORT, 'calibration records are never changed'); END")
              << QStringLiteral(
                     "CREATE TRIGGER IF NOT EXISTS calibration_record_not_deleted "
                     "BEFORE DELETE ON calibration_record BEGIN "
                     "SELECT RAISE(ABORT, 'calibration records are never deleted'); END");
    }
    for (const QString &sql : qAsConst(steps)) {
        if (!run(query, sql, error))
            return false;
    }
    return true;
}

} // namespace

bool RecordSchema::prepare(QSqlDatabase &db, Dialect dialect, QString *error, bool *created)
{
    if (created)
        *created = false;
    // One step per version, from the version before it.
    const std::function<bool(QSqlQuery &, Dialect, QString *)> steps[] = {toVersion1};
    static_assert(sizeof(steps) / sizeof(steps[0]) == version, "a step for every version");

    if (!db.transaction()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    QSqlQuery query(db);
    auto fail = [&db] {
        db.rollback();
        return false;
    };
    // Benches opening the server's tables at the same moment take turns.
    if (dialect == Dialect::Server
        && !run(query, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(schemaLock), error))
        return fail();
    const int found = storedVersion(db, dialect, error);
    if (found < 0)
        return fail();
    if (found > version) {
        if (error)
            *error = QStringLiteral("схема базы версии %1 новее той, что знает программа (%2); "
                                    "база не изменена")
                         .arg(found)
                         .arg(version);
        return fail();
    }
    if (found == version)
        return db.commit() || fail();
    if (!run(query,
            QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL, "
                           "applied TEXT NOT NULL)"),
            error))
        return fail();
    for (int from = found; from < version; ++from) {
        if (!steps[from](query, dialect, error))
            return fail();
        QSqlQuery mark(db);
        mark.prepare(QStringLiteral("INSERT INTO schema_version (version, applied) VALUES (?, ?)"));
        mark.addBindValue(from + 1);
        mark.addBindValue(QStringLiteral("tarikon"));
        if (!mark.exec()) {
            if (error)
                *error = mark.lastError().text();
            return fail();
        }
    }
    if (!db.commit()) {
        if (error)
            *error = db.lastError().text();
        return fail();
    }
    if (created)
        *created = found == 0;
    return true;
}

QStringList RecordSchema::columns(const QSqlDatabase &db)
{
    const QSqlRecord record = db.record(table());
    QStringList names;
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

bool RecordSchema::isColumnName(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    return pattern.match(name).hasMatch();
}

QString RecordSchema::quoted(const QString &name)
{
    return QLatin1Char('"') + name + QLatin1Char('"');
}

bool RecordSchema::insert(
    QSqlDatabase &db, Dialect dialect, const RecordRow &row, QString *error, QStringList *known)
{
    const QStringList journal = row.journalNames();
    QStringList names = RecordRow::fixedNames();
    QStringList own;
    QStringList &have = known ? *known : own;
    bool fresh = false;
    for (const QString &name : journal) {
        if (!isColumnName(name)) {
            if (error)
                *error = QStringLiteral("недопустимое имя столбца журнала");
            return false;
        }
        // What the caller knew may be old: another bench may have added the column since.
        if (!have.contains(name) && !fresh) {
            have = columns(db);
            fresh = true;
        }
        if (!have.contains(name)) {
            QSqlQuery add(db);
            const QString sql
                = QStringLiteral("ALTER TABLE calibration_record ADD COLUMN %1%2 TEXT")
                      .arg(
                          dialect == Dialect::Server ? QStringLiteral("IF NOT EXISTS ") : QString(),
                          quoted(name));
            if (!run(add, sql, error))
                return false;
            have << name;
        }
        names << name;
    }
    QStringList quotedNames;
    for (const QString &name : qAsConst(names))
        quotedNames << quoted(name);
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO calibration_record (%1) VALUES (%2) "
                                 "ON CONFLICT (uuid) DO NOTHING")
                      .arg(quotedNames.join(QLatin1Char(',')),
                          QString(QStringLiteral("?,")).repeated(names.size()).chopped(1)));
    for (const QString &name : qAsConst(names)) {
        if (name == QLatin1String("sensor"))
            query.addBindValue(row.sensor);
        else // empty text, never NULL: the columns of the record itself are NOT NULL
            query.addBindValue(row.value(name).isNull() ? QStringLiteral("") : row.value(name));
    }
    if (!query.exec()) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    return true;
}

RecordRow RecordSchema::rowOf(const QSqlRecord &record)
{
    RecordRow row;
    for (int i = 0; i < record.count(); ++i) {
        const QString name = record.fieldName(i);
        if (name != QLatin1String("received"))
            row.set(name, record.isNull(i) ? QString() : record.value(i).toString());
    }
    return row;
}
