#pragma once

#include <QString>

class QSettings;
class QSqlDatabase;

// Where the laboratory's PostgreSQL server is, from the "Database" settings. Anybody can edit
// the settings file: a port out of range gives PostgreSQL's own, an SSL mode libpq does not know
// gives libpq's default, so nothing else reaches the connection string.
struct ServerSettings
{
    QString host; // a name, an address or a Unix-socket directory
    int port = 5432;
    QString name;
    QString user;
    QString sslMode;

    static ServerSettings read(const QSettings &settings);
    // The settings of "settings.ini" in the working directory.
    static ServerSettings stored();
    bool configured() const { return !host.isEmpty(); }
    // "host:port/name", for the operator.
    QString describe() const;
    // A PostgreSQL connection under that name, set up but not open. It gives up connecting after
    // a few seconds, so a server that is away costs little.
    QSqlDatabase connection(const QString &connectionName) const;
};
