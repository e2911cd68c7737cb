#include "records/recordrow.h"

#include <QStringList>

const QStringList &RecordRow::fixedNames()
{
    static const QStringList names {QStringLiteral("uuid"), QStringLiteral("time"),
        QStringLiteral("station"), QStringLiteral("serial"), QStringLiteral("run"),
        QStringLiteral("sensor"), QStringLiteral("result"), QStringLiteral("amends")};
    return names;
}

QString RecordRow::value(const QString &name) const
{
    switch (fixedNames().indexOf(name)) {
    case 0:
        return uuid;
    case 1:
        return time;
    case 2:
        return station;
    case 3:
        return serial;
    case 4:
        return run;
    case 5:
        return QString::number(sensor);
    case 6:
        return result;
    case 7:
        return amends;
    default:
        break;
    }
    for (const auto &column : columns) {
        if (column.first == name)
            return column.second;
    }
    return {};
}

void RecordRow::set(const QString &name, const QString &text)
{
    switch (fixedNames().indexOf(name)) {
    case 0:
        uuid = text;
        return;
    case 1:
        time = text;
        return;
    case 2:
        station = text;
        return;
    case 3:
        serial = text;
        return;
    case 4:
        run = text;
        return;
    case 5:
        sensor = text.toInt();
        return;
    case 6:
        result = text;
        return;
    case 7:
        amends = text;
        return;
    default:
        break;
    }
    for (auto &column : columns) {
        if (column.first == name) {
            column.second = text;
            return;
        }
    }
    columns.append({name, text});
}

QStringList RecordRow::journalNames() const
{
    QStringList names;
    for (const auto &column : columns) {
        if (!fixedNames().contains(column.first) && !names.contains(column.first))
            names << column.first;
    }
    return names;
}
