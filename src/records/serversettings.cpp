#include "records/serversettings.h"

#include "settings/settingskeys.h"

#include <QSettings>
#include <QSqlDatabase>
#include <QStringList>

#include <optional>

namespace keys = settingskeys;

ServerSettings ServerSettings::read(const QSettings &settings)
{
    ServerSettings server;
    server.host = settings.value(keys::databaseHost()).toString().trimmed();
    bool ok = false;
    const int port = settings.value(keys::databasePort()).toInt(&ok);
    if (ok && port > 0 && port < 65536)
        server.port = port;
    server.name = settings.value(keys::databaseName()).toString().trimmed();
    server.user = settings.value(keys::databaseUser()).toString().trimmed();
    static const QStringList modes {QStringLiteral("disable"), QStringLiteral("allow"),
        QStringLiteral("prefer"), QStringLiteral("require"), QStringLiteral("verify-ca"),
        QStringLiteral("verify-full")};
    const QString mode = settings.value(keys::databaseSslMode()).toString().trimmed();
    if (modes.contains(mode))
        server.sslMode = mode;
    return server;
}

ServerSettings ServerSettings::stored()
{
    std::optional<QSettings> own;
    return read(keys::reader(own));
}

QString ServerSettings::describe() const
{
    return QStringLiteral("%1:%2/%3").arg(host).arg(port).arg(name);
}

QSqlDatabase ServerSettings::connection(const QString &connectionName) const
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
    // Qt quotes host, name and user in the connection string; the options are ours alone.
    db.setHostName(host);
    db.setPort(port);
    db.setDatabaseName(name);
    db.setUserName(user);
    QString options = QStringLiteral("connect_timeout=3;application_name=tarikon");
    if (!sslMode.isEmpty())
        options += QStringLiteral(";sslmode=") + sslMode;
    db.setConnectOptions(options);
    return db;
}
