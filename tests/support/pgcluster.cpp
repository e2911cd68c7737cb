#include "support/pgcluster.h"

#include "support/tempworkdir.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <pwd.h>
#include <unistd.h>

PgCluster::PgCluster()
{
    // The newest server installed.
    QStringList versions
        = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), numeric);
    for (const QString &version : qAsConst(versions)) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        if (QFile::exists(bin + QStringLiteral("/initdb")))
            m_bin = bin;
    }
    if (m_bin.isEmpty()) {
        m_error = QStringLiteral("no PostgreSQL server installed (Debian package postgresql)");
        return;
    }
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary directory");
        return;
    }
    const QString data = m_dir.filePath(QStringLiteral("data"));
    QDir().mkdir(data);
    if (geteuid() == 0) {
        const passwd *nobody = getpwnam("nobody");
        if (!nobody) {
            m_error = QStringLiteral("running as root and there is no user nobody");
            return;
        }
        m_asNobody = true;
        QFile::setPermissions(m_dir.path(),
            QFile::permissions(m_dir.path()) | QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup
                | QFile::ExeGroup);
        if (chown(m_dir.path().toLocal8Bit().constData(), nobody->pw_uid, nobody->pw_gid) != 0
            || chown(data.toLocal8Bit().constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            m_error = QStringLiteral("cannot hand the cluster's directory to nobody");
            return;
        }
    }
    if (!run(QStringLiteral("initdb"),
            {QStringLiteral("-D"), data, QStringLiteral("-U"), user(), QStringLiteral("-A"),
                QStringLiteral("trust"), QStringLiteral("--no-sync"), QStringLiteral("--no-locale"),
                QStringLiteral("-E"), QStringLiteral("UTF8")}))
        return;
    start();
}

PgCluster::~PgCluster()
{
    if (m_running)
        run(QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
                QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
}

bool PgCluster::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString path = m_bin + QLatin1Char('/') + program;
    if (m_asNobody)
        process.start(QStringLiteral("runuser"),
            QStringList {QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--"), path}
                + arguments);
    else
        process.start(path, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        m_error = program + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}

bool PgCluster::start()
{
    // No TCP at all; the socket's name carries the port.
    const QString options
        = QStringLiteral("-k %1 -p %2 -c listen_addresses='' -F").arg(m_dir.path()).arg(port());
    m_running = run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-o"),
            options, QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")),
            QStringLiteral("-w"), QStringLiteral("start")});
    return m_running;
}

bool PgCluster::stop()
{
    const bool stopped = run(QStringLiteral("pg_ctl"),
        {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
            QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
    m_running = m_running && !stopped;
    return stopped;
}

bool PgCluster::createDatabase(const QString &name)
{
    return run(QStringLiteral("createdb"),
        {QStringLiteral("-h"), socketDirectory(), QStringLiteral("-p"), QString::number(port()),
            QStringLiteral("-U"), user(), name});
}

void PgCluster::configureBench(const QString &name) const
{
    TempWorkDir::setSetting(QStringLiteral("Database/host"), socketDirectory());
    TempWorkDir::setSetting(QStringLiteral("Database/port"), port());
    TempWorkDir::setSetting(QStringLiteral("Database/name"), name);
    TempWorkDir::setSetting(QStringLiteral("Database/user"), user());
}
