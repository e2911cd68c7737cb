#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A throwaway PostgreSQL cluster of Debian's postgresql package in a temporary directory,
// reached over a Unix socket only, trusting its one user "tarikon". PostgreSQL refuses to run
// as root, so under root (as in CI) the cluster belongs to "nobody" and its commands run
// through runuser. Stopped and removed with the object.
class PgCluster
{
public:
    PgCluster();
    ~PgCluster();
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    bool isValid() const { return m_running; }
    // Why the cluster is not there: no PostgreSQL installed, or initdb or pg_ctl failed.
    QString error() const { return m_error; }

    QString socketDirectory() const { return m_dir.path(); }
    int port() const { return 54329; }
    static QString user() { return QStringLiteral("tarikon"); }

    bool start();
    bool stop();
    // A new empty database; false when it could not be made.
    bool createDatabase(const QString &name);
    // Writes the bench's "Database" settings for that database of this cluster into
    // settings.ini of the current directory.
    void configureBench(const QString &name) const;

private:
    bool run(const QString &program, const QStringList &arguments);

    QTemporaryDir m_dir;
    QString m_bin;
    bool m_asNobody = false;
    bool m_running = false;
    QString m_error;
};
