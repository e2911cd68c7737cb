#include "records/recordtablemodel.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVariant>

namespace {

// A LIKE pattern for text that starts with prefix, the pattern's own characters escaped.
QString startsWith(QString prefix)
{
    prefix.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    prefix.replace(QLatin1String("%"), QLatin1String("\\%"));
    prefix.replace(QLatin1String("_"), QLatin1String("\\_"));
    return prefix + QLatin1Char('%');
}

} // namespace

RecordTableModel::RecordTableModel(QObject *parent)
    : QSqlQueryModel(parent)
{ }

void RecordTableModel::setDatabase(const QSqlDatabase &db, RecordSchema::Dialect dialect)
{
    m_db = db;
    m_dialect = dialect;
    m_columns.clear();
    for (const QString &name : RecordSchema::columns(db)) {
        if (name != QLatin1String("received") && RecordSchema::isColumnName(name))
            m_columns << name;
    }
    // Lets SQLite answer a serial number's prefix from the index.
    if (dialect == RecordSchema::Dialect::Local)
        QSqlQuery(db).exec(QStringLiteral("PRAGMA case_sensitive_like = ON"));
}

void RecordTableModel::close()
{
    clear();
    m_db = QSqlDatabase();
    m_columns.clear();
}

void RecordTableModel::setFilter(const RecordFilter &filter)
{
    m_filter = filter;
}

void RecordTableModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= m_columns.size())
        return;
    m_sortColumn = m_columns.at(column);
    m_order = order;
    refresh();
}

bool RecordTableModel::refresh(QString *error)
{
    QStringList quotedColumns;
    for (const QString &name : qAsConst(m_columns))
        quotedColumns << RecordSchema::quoted(name);
    QStringList where;
    QVariantList values;
    if (!m_filter.serial.isEmpty()) {
        where << QStringLiteral("serial LIKE ? ESCAPE '\\'");
        values << startsWith(m_filter.serial);
    }
    if (!m_filter.station.isEmpty()) {
        where << QStringLiteral("station LIKE ? ESCAPE '\\'");
        values << startsWith(m_filter.station);
    }
    // Times are ISO text beginning with the local date, so a date compares as text.
    if (m_filter.from.isValid()) {
        where << QStringLiteral("\"time\" >= ?");
        values << m_filter.from.toString(Qt::ISODate);
    }
    if (m_filter.to.isValid()) {
        where << QStringLiteral("\"time\" < ?");
        values << m_filter.to.addDays(1).toString(Qt::ISODate);
    }
    if (m_filter.result == RecordFilter::Result::Passed)
        where << QStringLiteral("result = 'OK'");
    else if (m_filter.result == RecordFilter::Result::Failed)
        where << QStringLiteral("result <> 'OK'");

    QString sql = QStringLiteral("SELECT %1 FROM calibration_record")
                      .arg(quotedColumns.isEmpty() ? QStringLiteral("*")
                                                   : quotedColumns.join(QLatin1Char(',')));
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    if (m_columns.contains(m_sortColumn)) {
        const QString direction
            = m_order == Qt::AscendingOrder ? QStringLiteral("ASC") : QStringLiteral("DESC");
        // No second key: the index on time serves the newest-first view without a sort.
        sql += QStringLiteral(" ORDER BY %1 %2").arg(RecordSchema::quoted(m_sortColumn), direction);
    }
    QSqlQuery query(m_db);
    query.setForwardOnly(false);
    if (!query.prepare(sql)) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    for (const QVariant &value : qAsConst(values))
        query.addBindValue(value);
    if (!query.exec()) {
        if (error)
            *error = query.lastError().text();
        clear();
        return false;
    }
    setQuery(query);
    return true;
}

RecordRow RecordTableModel::rowAt(int row) const
{
    return RecordSchema::rowOf(record(row));
}

void RecordTableModel::fetchAll()
{
    while (canFetchMore())
        fetchMore();
}
