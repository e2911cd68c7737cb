#pragma once

#include "sensor-sim/faultinjector.h"
#include "sensor-sim/requestframer.h"
#include "sensor-sim/sensoranswers.h"
#include "sensor-sim/simulatedsensor.h"
#include "sensor-sim/simulatorconfig.h"
#include "sensor-sim/simulatorstats.h"
#include "sensor-sim/temperatureprofile.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <vector>

class QTimer;

// The sensors on the line: takes the bytes the bench sends, frames them into requests, lets
// the addressed sensor answer as a real one would and passes the answer, possibly spoiled by
// the fault injector, to transmit(). A request for an address no sensor has, or with a bad
// checksum, gets silence, as on a real bus.
class SimulatorEngine : public QObject
{
    Q_OBJECT

public:
    explicit SimulatorEngine(const SimulatorConfig &config, QObject *parent = nullptr);

    const SimulatorConfig &config() const { return m_config; }
    const SimulatorStats &stats() const { return m_stats; }
    const std::vector<SimulatedSensor> &sensors() const { return m_sensors; }
    SimulatedSensor *sensor(quint8 address);

    // The chamber temperature the next measurement will be taken at.
    double temperature() const;

    // The sensors' temperature dependences and the settings, for tests that compare a fit
    // with the truth.
    QJsonObject describe() const;

    // Bytes from the line, in whatever pieces they arrived.
    void feed(const QByteArray &bytes);
    // The line has been quiet for the frame gap: an unfinished request will not be completed.
    // Called by the engine's own timer; tests may call it directly.
    void lineIdle();

signals:
    // Bytes to put on the line; one emission is one write.
    void transmit(const QByteArray &bytes);
    // The counters changed; emitted before the answer that goes with the change is sent.
    void statsChanged();

private:
    void drain(bool idle);
    void handle(const SensorRequest &request);
    QByteArray answerFor(
        const SensorRequest &request, SimulatedSensor &sensor, SensorAnswers::Shape *shape);
    void deliver(const QByteArray &answer, SensorAnswers::Shape shape, quint8 address);
    void transmitLater(int ms, const QByteArray &bytes);

    SimulatorConfig m_config;
    TemperatureProfile m_profile;
    std::vector<SimulatedSensor> m_sensors;
    RequestFramer m_framer;
    FaultInjector m_faults;
    SimulatorStats m_stats;
    QElapsedTimer m_clock;
    quint64 m_polls = 0;
    QTimer *m_gapTimer = nullptr;
    // A late answer held for the next request (--late-ms 0).
    QByteArray m_held;
};
