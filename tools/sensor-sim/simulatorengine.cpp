#include "sensor-sim/simulatorengine.h"

#include <QJsonArray>
#include <QTimer>

#include <cmath>

namespace {

// A seed shared by noise and faults would tie the noise to the fault shares; keep them apart.
constexpr quint64 kFaultSeedSalt = 0xD1B54A32D192ED03ull;

constexpr quint8 kModbusReadHolding = 0x03;
constexpr quint8 kModbusIllegalAddress = 0x02;
constexpr quint8 kModbusIllegalValue = 0x03;
constexpr int kModbusRegisterCount = 4; // temperature, level, frequency, status
constexpr int kModbusMaxReadCount = 125;

} // namespace

SimulatorEngine::SimulatorEngine(const SimulatorConfig &config, QObject *parent)
    : QObject(parent)
    , m_config(config)
    , m_profile(config.temperatureLow, config.temperatureHigh, config.temperatureStart)
    , m_faults(config.seed ^ kFaultSeedSalt, config.faults)
    , m_gapTimer(new QTimer(this))
{
    m_sensors.reserve(size_t(config.addresses.size()));
    for (int i = 0; i < config.addresses.size(); ++i)
        m_sensors.emplace_back(i, config.addresses[i], config.noisePpm, config.seed);
    for (const int position : config.rawSensors) {
        if (position >= 0 && position < int(m_sensors.size()))
            m_sensors[size_t(position)].setCompensating(false);
    }
    m_gapTimer->setSingleShot(true);
    m_gapTimer->setInterval(config.frameGapMs);
    connect(m_gapTimer, &QTimer::timeout, this, &SimulatorEngine::lineIdle);
}

SimulatedSensor *SimulatorEngine::sensor(quint8 address)
{
    for (SimulatedSensor &s : m_sensors) {
        if (s.address() == address)
            return &s;
    }
    return nullptr;
}

double SimulatorEngine::temperature() const
{
    double travelled = 0.0;
    if (m_config.stepPerPoll > 0.0)
        travelled = double(m_polls) * m_config.stepPerPoll;
    else if (m_config.secondsPerDegree > 0.0 && m_clock.isValid())
        // Whole-degree steps: each degree, the start included, is held for the full time.
        travelled = std::floor(double(m_clock.elapsed()) / 1000.0 / m_config.secondsPerDegree);
    return m_profile.at(travelled);
}

QJsonObject SimulatorEngine::describe() const
{
    QJsonArray sensors;
    for (const SimulatedSensor &s : m_sensors)
        sensors.append(s.describe());
    const FaultInjector::Rates &f = m_config.faults;
    return QJsonObject {
        {"referenceTemperature", SimulatedSensor::referenceTemperature},
        {"model",
            "value(T) = base * (drift[0] + drift[1]*(T-20) + drift[2]*(T-20)^2 + "
            "drift[3]*(T-20)^3) at the whole degree reported, plus noise; "
            "normalised[k] is the coefficient of T^k in value(T)/value(20); a compensating "
            "sensor holding K0..K5 other than all zeros reports value(T) / (K0 + K1*T + ... + "
            "K5*T^5) in single precision"},
        {"sensors", sensors},
        {"temperature",
            QJsonObject {{"low", m_profile.low()}, {"high", m_profile.high()},
                {"start", m_profile.start()}, {"secondsPerDegree", m_config.secondsPerDegree},
                {"stepPerPoll", m_config.stepPerPoll}}},
        {"noisePpm", m_config.noisePpm},
        {"seed", QString::number(m_config.seed)},
        {"faults",
            QJsonObject {{"drop", f.drop}, {"corrupt", f.corrupt}, {"late", f.late},
                {"split", f.split}, {"garbage", f.garbage}, {"wrongAddress", f.wrongAddress}}},
        {"lateMs", m_config.lateMs},
        {"splitGapMs", m_config.splitGapMs},
        {"frameGapMs", m_config.frameGapMs},
    };
}

void SimulatorEngine::feed(const QByteArray &bytes)
{
    m_framer.append(bytes);
    drain(false);
}

void SimulatorEngine::lineIdle()
{
    drain(true);
}

void SimulatorEngine::drain(bool idle)
{
    while (const std::optional<SensorRequest> request = m_framer.next(idle))
        handle(*request);
    // Noise after the last request still counts.
    if (m_framer.discardedBytes() != m_stats.discardedBytes()) {
        m_stats.setDiscardedBytes(m_framer.discardedBytes());
        emit statsChanged();
    }
    if (m_framer.pendingBytes() > 0)
        m_gapTimer->start();
    else
        m_gapTimer->stop();
}

void SimulatorEngine::handle(const SensorRequest &request)
{
    m_stats.setDiscardedBytes(m_framer.discardedBytes());
    m_stats.countRequest(request.kind);

    double chamber = 0.0;
    if (request.isMeasurement()) {
        // The chamber starts its sweep with the first measurement request, as a chamber
        // program is started together with the polling: every sensor is read at the start
        // temperature before the sweep moves on, however long the bench took to get going.
        if (!m_clock.isValid())
            m_clock.start();
        chamber = temperature();
        ++m_polls;
    }

    SimulatedSensor *target
        = request.kind == SensorRequest::Kind::Text ? &m_sensors.front() : sensor(request.address);
    // MODBUS address 0 is a broadcast, which a slave never answers.
    if (request.kind == SensorRequest::Kind::ModbusRead && request.address == 0)
        target = nullptr;

    SensorAnswers::Shape shape = SensorAnswers::Shape::Crc8Frame;
    QByteArray answer;
    if (target) {
        if (request.isMeasurement()) {
            const SimulatedSensor::Reading r = target->read(chamber);
            switch (request.kind) {
            case SensorRequest::Kind::LevelPeriod:
                answer = SensorAnswers::levelPeriod(
                    target->address(), r.temperature, r.level, r.period);
                break;
            case SensorRequest::Kind::LevelFrequency:
                answer = SensorAnswers::levelFrequency(
                    target->address(), r.temperature, r.level, r.frequency);
                break;
            case SensorRequest::Kind::Text:
                shape = SensorAnswers::Shape::Text;
                answer = SensorAnswers::text(r.temperature, r.level, r.frequency);
                break;
            default: {
                shape = SensorAnswers::Shape::Modbus;
                // Register 0 carries the temperature as a signed byte in its low half, the
                // high half stays 0; then level, frequency and a status word.
                const QVector<quint16> registers {
                    quint16(quint8(r.temperature)), r.level, r.frequency, 0};
                const int first = request.firstRegister;
                const int count = request.registerCount;
                if (count < 1 || count > kModbusMaxReadCount)
                    answer = SensorAnswers::modbusException(
                        target->address(), kModbusReadHolding, kModbusIllegalValue);
                else if (first + count > kModbusRegisterCount)
                    answer = SensorAnswers::modbusException(
                        target->address(), kModbusReadHolding, kModbusIllegalAddress);
                else
                    answer = SensorAnswers::modbusRegisters(
                        target->address(), registers.mid(first, count));
                break;
            }
            }
        } else if (request.kind == SensorRequest::Kind::WriteCoefficient) {
            const bool flipped = m_config.flipCoefficient >= 0
                && request.wireIndex == 5 - m_config.flipCoefficient;
            if (target->storeCoefficient(
                    request.wireIndex, request.valueBits ^ (flipped ? 1u : 0u)))
                answer = SensorAnswers::coefficientWritten(target->address(), request.wireIndex);
        } else if (const std::optional<quint32> bits = target->coefficient(request.wireIndex)) {
            answer = SensorAnswers::coefficientValue(target->address(), *bits);
        }
    }

    if (answer.isEmpty()) {
        m_stats.countIgnored();
        emit statsChanged();
        return;
    }
    deliver(answer, shape, target->address());
}

void SimulatorEngine::deliver(const QByteArray &answer, SensorAnswers::Shape shape, quint8 address)
{
    const FaultInjector::Kind fault = m_faults.pick(shape);
    m_stats.countAnswer(address, fault);
    emit statsChanged();

    switch (fault) {
    case FaultInjector::Kind::None:
        emit transmit(answer);
        break;
    case FaultInjector::Kind::Drop:
        break;
    case FaultInjector::Kind::Corrupt:
        emit transmit(m_faults.corrupted(answer, shape));
        break;
    case FaultInjector::Kind::Late:
        transmitLater(m_config.lateMs, answer);
        break;
    case FaultInjector::Kind::Split: {
        const int cut = m_faults.splitPoint(int(answer.size()));
        emit transmit(answer.left(cut));
        transmitLater(m_config.splitGapMs, answer.mid(cut));
        break;
    }
    case FaultInjector::Kind::Garbage:
        emit transmit(m_faults.garbage());
        break;
    case FaultInjector::Kind::WrongAddress:
        emit transmit(m_faults.readdressed(answer, shape));
        break;
    }
}

void SimulatorEngine::transmitLater(int ms, const QByteArray &bytes)
{
    QTimer::singleShot(ms, this, [this, bytes] { emit transmit(bytes); });
}
