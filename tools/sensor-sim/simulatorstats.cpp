#include "sensor-sim/simulatorstats.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryFile>
#include <cstdio>
#include <numeric>

namespace {

const char *requestName(int kind)
{
    switch (SensorRequest::Kind(kind)) {
    case SensorRequest::Kind::LevelPeriod:
        return "levelPeriod";
    case SensorRequest::Kind::LevelFrequency:
        return "levelFrequency";
    case SensorRequest::Kind::Text:
        return "text";
    case SensorRequest::Kind::ModbusRead:
        return "modbusRead";
    case SensorRequest::Kind::WriteCoefficient:
        return "writeCoefficient";
    case SensorRequest::Kind::ReadCoefficient:
        return "readCoefficient";
    }
    return "";
}

template<size_t N> QJsonObject faultsJson(const std::array<quint64, N> &faults)
{
    QJsonObject out;
    for (int k = 1; k < FaultInjector::kindCount; ++k)
        out.insert(FaultInjector::name(FaultInjector::Kind(k)), double(faults[size_t(k)]));
    return out;
}

quint64 spoiledOf(const std::array<quint64, FaultInjector::kindCount> &faults)
{
    quint64 n = 0;
    for (int k = 0; k < FaultInjector::kindCount; ++k) {
        if (FaultInjector::spoilsAnswer(FaultInjector::Kind(k)))
            n += faults[size_t(k)];
    }
    return n;
}

} // namespace

void SimulatorStats::countRequest(SensorRequest::Kind kind)
{
    ++m_requests[size_t(kind)];
}

void SimulatorStats::countAnswer(quint8 address, FaultInjector::Kind fault)
{
    ++m_answered;
    ++m_faults[size_t(fault)];
    PerSensor &sensor = m_perSensor[address];
    ++sensor.answered;
    ++sensor.faults[size_t(fault)];
}

quint64 SimulatorStats::requests() const
{
    return std::accumulate(m_requests.begin(), m_requests.end(), quint64(0));
}

quint64 SimulatorStats::spoiled() const
{
    return spoiledOf(m_faults);
}

QJsonObject SimulatorStats::toJson() const
{
    // Counters go out as JSON numbers (doubles): exact up to 2^53, far beyond any run.
    QJsonObject requests {{"total", double(this->requests())}};
    for (int k = 0; k < SensorRequest::kindCount; ++k)
        requests.insert(QLatin1String(requestName(k)), double(m_requests[size_t(k)]));

    QJsonArray sensors;
    for (auto it = m_perSensor.cbegin(); it != m_perSensor.cend(); ++it) {
        sensors.append(QJsonObject {{"address", it.key()}, {"answered", double(it->answered)},
            {"faults", faultsJson(it->faults)}, {"spoiled", double(spoiledOf(it->faults))}});
    }
    return QJsonObject {{"requests", requests}, {"ignored", double(m_ignored)},
        {"answered", double(m_answered)}, {"faults", faultsJson(m_faults)},
        {"spoiled", double(spoiled())}, {"discardedBytes", double(m_discardedBytes)},
        {"sensors", sensors}};
}

QString SimulatorStats::summary() const
{
    QString faults;
    for (int k = 1; k < FaultInjector::kindCount; ++k) {
        faults += QStringLiteral(", %1 %2")
                      .arg(FaultInjector::name(FaultInjector::Kind(k)))
                      .arg(m_faults[size_t(k)]);
    }
    return QStringLiteral("requests %1, ignored %2, answered %3%4, discarded bytes %5")
        .arg(requests())
        .arg(m_ignored)
        .arg(m_answered)
        .arg(faults)
        .arg(m_discardedBytes);
}

bool SimulatorStats::save(const QString &path) const
{
    // Written to a temporary file beside the target and renamed over it, so a reader sees the
    // old counts or the new ones, never half a file. Unlike QSaveFile this skips the fsync,
    // which cost about 7 ms per request on a disk; a counts file needs no durability.
    QTemporaryFile file(path + QStringLiteral(".XXXXXX"));
    if (!file.open())
        return false;
    const QByteArray json = QJsonDocument(toJson()).toJson(QJsonDocument::Indented);
    if (file.write(json) != json.size() || !file.flush())
        return false;
    file.close();
    if (::rename(
            QFile::encodeName(file.fileName()).constData(), QFile::encodeName(path).constData())
        != 0)
        return false;
    file.setAutoRemove(false);
    return true;
}
