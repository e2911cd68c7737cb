#pragma once

#include "records/recordrow.h"
#include "records/recordschema.h"

#include <QDate>
#include <QSqlDatabase>
#include <QSqlQueryModel>
#include <QStringList>

// Which records the journal window shows. Serial number and station match from their start.
struct RecordFilter
{
    enum class Result { Any, Passed, Failed };

    QString serial;
    QString station;
    QDate from; // invalid: no bound
    QDate to; // inclusive
    Result result = Result::Any;
};

// The records of one database, filtered and sorted by the database itself: every filter value
// is a bound parameter, the sort column one of the table's own. Rows are fetched as the view
// scrolls to them.
class RecordTableModel : public QSqlQueryModel
{
    Q_OBJECT

public:
    explicit RecordTableModel(QObject *parent = nullptr);

    // Reads the table's columns; the view shows them in that order, newest records first.
    void setDatabase(const QSqlDatabase &db, RecordSchema::Dialect dialect);
    // Lets go of the rows and the database, so that its connection can be removed.
    void close();
    void setFilter(const RecordFilter &filter);
    const RecordFilter &filter() const { return m_filter; }
    void sort(int column, Qt::SortOrder order) override;
    // Runs the query again; false with the reason when it failed.
    bool refresh(QString *error = nullptr);

    QStringList columnNames() const { return m_columns; }
    RecordRow rowAt(int row) const;
    // Every row the filter gives, fetched to the end.
    void fetchAll();

private:
    QSqlDatabase m_db;
    RecordSchema::Dialect m_dialect = RecordSchema::Dialect::Local;
    QStringList m_columns;
    RecordFilter m_filter;
    QString m_sortColumn = QStringLiteral("time");
    Qt::SortOrder m_order = Qt::DescendingOrder;
};
