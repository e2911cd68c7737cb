#pragma once

#include "sensor-sim/faultinjector.h"
#include "sensor-sim/sensorrequest.h"

#include <QJsonObject>
#include <QMap>
#include <QString>
#include <array>

// What the simulator saw and did, for comparison with the bench's own counts.
//   requests   — requests taken off the line, by kind;
//   ignored    — requests answered with silence (no such sensor, broadcast, unknown index);
//   answered   — answers made, before faults;
//   faults     — answers spoiled (or split), by kind; "spoiled" sums all kinds but split;
//   discardedBytes — bytes on the line that formed no request (noise, bad checksums).
class SimulatorStats
{
public:
    void countRequest(SensorRequest::Kind kind);
    void countIgnored() { ++m_ignored; }
    void countAnswer(quint8 address, FaultInjector::Kind fault);
    void setDiscardedBytes(quint64 n) { m_discardedBytes = n; }

    quint64 requests() const;
    quint64 requests(SensorRequest::Kind kind) const { return m_requests[size_t(kind)]; }
    quint64 ignored() const { return m_ignored; }
    quint64 answered() const { return m_answered; }
    quint64 faults(FaultInjector::Kind kind) const { return m_faults[size_t(kind)]; }
    quint64 spoiled() const;
    quint64 discardedBytes() const { return m_discardedBytes; }

    QJsonObject toJson() const;
    // One line for the terminal.
    QString summary() const;
    // Replaces the file atomically, so a reader never sees half of it.
    bool save(const QString &path) const;

private:
    struct PerSensor
    {
        quint64 answered = 0;
        std::array<quint64, FaultInjector::kindCount> faults {};
    };

    std::array<quint64, SensorRequest::kindCount> m_requests {};
    quint64 m_ignored = 0;
    quint64 m_answered = 0;
    std::array<quint64, FaultInjector::kindCount> m_faults {};
    quint64 m_discardedBytes = 0;
    QMap<quint8, PerSensor> m_perSensor;
};
