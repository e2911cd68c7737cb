#pragma once

#include "records/recordrow.h"

#include <QList>
#include <QString>
#include <QStringList>

// The records of one store, read whole for the command: the bench's file in the current
// directory, or the laboratory's server its settings name.
class RecordSource
{
public:
    enum class Store { Local, Server };

    // False with the reason when the store cannot be read.
    bool read(Store store, QString *error);

    // In order: the file's as written, the server's as received.
    const QList<RecordRow> &rows() const { return m_rows; }
    // The table's columns, in order.
    const QStringList &columns() const { return m_columns; }

private:
    QList<RecordRow> m_rows;
    QStringList m_columns;
};
