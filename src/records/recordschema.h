#pragma once

#include <QString>
#include <QStringList>

class QSqlDatabase;
class QSqlRecord;
struct RecordRow;

// The tables of the calibration records, the same in the bench's own SQLite file and on the
// laboratory's PostgreSQL server: `calibration_record` (the record's own columns, then one text
// column per journal column, added the first time a record brings it) and `schema_version`, one
// row per version the tables were brought to. Opening brings older tables forward; tables of a
// newer version than this program knows are refused and left exactly as they are.
class RecordSchema
{
public:
    static constexpr int version = 1;
    enum class Dialect { Local, Server };

    static QString table() { return QStringLiteral("calibration_record"); }

    // Creates or migrates the tables; false with the reason when they cannot be used. created
    // tells whether this call made them.
    static bool prepare(QSqlDatabase &db, Dialect dialect, QString *error, bool *created = nullptr);
    // The version the tables are at without changing anything: 0 when there are none, -1 with
    // the reason when it cannot be read.
    static int storedVersion(QSqlDatabase &db, Dialect dialect, QString *error);
    // The table's columns, in order.
    static QStringList columns(const QSqlDatabase &db);
    // Writes the row in the open transaction, first adding the journal columns the table lacks.
    // A row whose UUID the table holds already is left out: a record sent twice lands once.
    // known, if given, caches the table's columns from one call to the next.
    static bool insert(QSqlDatabase &db, Dialect dialect, const RecordRow &row, QString *error,
        QStringList *known = nullptr);
    // The record a query's row holds; NULL reads as empty, server-only columns are left out.
    static RecordRow rowOf(const QSqlRecord &record);
    // A column name the bench may put into SQL text: lower-case Latin letters, digits, '_'.
    static bool isColumnName(const QString &name);
    // A name quoted for SQL; only for names isColumnName() accepted.
    static QString quoted(const QString &name);
};
