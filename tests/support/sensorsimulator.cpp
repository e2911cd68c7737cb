#include "support/sensorsimulator.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>

#include <csignal>

namespace {

constexpr int kStartTimeoutMs = 10000;

QJsonObject jsonFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

SensorSimulator::SensorSimulator(const QString &program)
    : m_program(program)
{ }

SensorSimulator::~SensorSimulator()
{
    stop();
}

bool SensorSimulator::start(const QStringList &arguments, const QString &statsPath)
{
    m_statsPath = statsPath;
    m_process.setProgram(m_program);
    m_process.setArguments(arguments + QStringList {QStringLiteral("--stats"), statsPath});
    m_process.start(QIODevice::ReadOnly);
    if (!m_process.waitForStarted(kStartTimeoutMs)) {
        m_error = m_process.errorString();
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (!m_process.canReadLine() && clock.elapsed() < kStartTimeoutMs
        && m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(100);
    if (!m_process.canReadLine()) {
        m_error = QStringLiteral("no device path: ")
            + QString::fromLocal8Bit(m_process.readAllStandardError());
        return false;
    }
    m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    return !m_device.isEmpty();
}

bool SensorSimulator::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(kStartTimeoutMs)) {
        m_process.kill();
        m_process.waitForFinished();
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QJsonObject SensorSimulator::counts() const
{
    return jsonFile(m_statsPath);
}

int SensorSimulator::requestsTaken() const
{
    return counts()
        .value(QStringLiteral("requests"))
        .toObject()
        .value(QStringLiteral("total"))
        .toInt(-1);
}

QJsonObject SensorSimulator::describe(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments + QStringList {QStringLiteral("--describe")});
    if (!process.waitForFinished(kStartTimeoutMs))
        return {};
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}
