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
    QStringList versions = QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), numeric);
    if (!versions.isEmpty()
        && QFile::exists("/usr/lib/postgresql/" + versions.last() + "/bin/initdb"))
        m_bin = "/usr/lib/postgresql/" + versions.last() + "/bin";
    if (m_bin.isEmpty() || !m_dir.isValid()) {
        m_error = "no PostgreSQL server installed (Debian package postgresql), or no temporary "
                  "directory";
        return;
    }
    const QString data = m_dir.filePath("data");
    QDir().mkdir(data);
    if (geteuid() == 0) {
        const passwd *nobody = getpwnam("nobody");
        m_asNobody = nobody != nullptr;
        QFile::setPermissions(m_dir.path(),
            QFile::permissions(m_dir.path()) | QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup
                | QFile::ExeGroup);
        if (!nobody || chown(qPrintable(m_dir.path()), nobody->pw_uid, nobody->pw_gid) != 0
            || chown(qPrintable(data), nobody->pw_uid, nobody->pw_gid) != 0) {
            m_error = "running as root, and the cluster cannot be handed to nobody";
            return;
        }
    }
    if (run("initdb",
            {"-D", data, "-U", user(), "-A", "trust", "--no-sync", "--no-locale", "-E", "UTF8"}))
        start();
}

PgCluster::~PgCluster()
{
    if (m_running)
        run("pg_ctl", {"-D", m_dir.filePath("data"), "-m", "immediate", "-w", "stop"});
}

bool PgCluster::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString path = m_bin + '/' + program;
    if (m_asNobody)
        process.start("runuser", QStringList {"-u", "nobody", "--", path} + arguments);
    else
        process.start(path, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        m_error = program + ": " + QString::fromLocal8Bit(process.readAll());
        return false;
    }
    return true;
}

bool PgCluster::start()
{
    // No TCP at all; the socket's name carries the port.
    const QString options
        = QString("-k %1 -p %2 -c listen_addresses='' -F").arg(m_dir.path()).arg(port());
    m_running = run("pg_ctl",
        {"-D", m_dir.filePath("data"), "-o", options, "-l", m_dir.filePath("server.log"), "-w",
            "start"});
    return m_running;
}

bool PgCluster::stop()
{
    const bool stopped = run("pg_ctl", {"-D", m_dir.filePath("data"), "-m", "fast", "-w", "stop"});
    m_running = m_running && !stopped;
    return stopped;
}

bool PgCluster::createDatabase(const QString &name)
{
    return run(
        "createdb", {"-h", socketDirectory(), "-p", QString::number(port()), "-U", user(), name});
}

void PgCluster::configureBench(const QString &name) const
{
    TempWorkDir::setSetting("Database/host", socketDirectory());
    TempWorkDir::setSetting("Database/port", port());
    TempWorkDir::setSetting("Database/name", name);
    TempWorkDir::setSetting("Database/user", user());
}
