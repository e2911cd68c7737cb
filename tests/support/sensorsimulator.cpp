#include "support/sensorsimulator.h"

#include <QFile>
#include <QJsonDocument>

#include <csignal>

namespace {

constexpr int kTimeoutMs = 10000;

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
    m_process.start(m_program, arguments + QStringList {QStringLiteral("--stats"), statsPath},
        QIODevice::ReadOnly);
    // The path and its line end come in one write; a simulator that refuses its options exits.
    while (!m_process.canReadLine() && m_process.waitForReadyRead(kTimeoutMs)) { }
    m_device = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    if (m_device.isEmpty())
        m_error = m_process.errorString() + QLatin1Char(' ')
            + QString::fromLocal8Bit(m_process.readAllStandardError());
    return !m_device.isEmpty();
}

bool SensorSimulator::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        ::kill(pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(kTimeoutMs)) {
            m_process.kill();
            m_process.waitForFinished();
            return false;
        }
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QJsonObject SensorSimulator::counts() const
{
    QFile file(m_statsPath);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
}

QJsonObject SensorSimulator::describe(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments + QStringList {QStringLiteral("--describe")});
    process.waitForFinished(kTimeoutMs);
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}
