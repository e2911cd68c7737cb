#include "sensor-sim/requestframer.h"

#include "protocol/crc.h"

namespace {

constexpr quint8 kLevelPeriodStart = 0x37; // '7': measurement and coefficient frames
constexpr quint8 kLevelFrequencyStart = 0x31; // '1'
constexpr quint8 kCommandMeasure = 0x0A;
constexpr quint8 kCommandWriteCoefficient = 0x51; // 'Q'
constexpr quint8 kCommandReadCoefficient = 0x4C; // 'L'
constexpr quint8 kCommandLevelFrequency = 0x06;
constexpr quint8 kModbusReadHolding = 0x03;
constexpr int kModbusRequestLength = 8;

quint8 at(const char *p, int i)
{
    return static_cast<quint8>(p[i]);
}

} // namespace

void RequestFramer::append(const QByteArray &bytes)
{
    m_buffer.append(bytes);
}

std::optional<SensorRequest> RequestFramer::next(bool lineIdle)
{
    while (pendingBytes() > 0) {
        const char *p = m_buffer.constData() + m_start;
        const int n = pendingBytes();
        SensorRequest request;
        int length = 0;
        bool partial = false;

        Match m = matchText(p, n);
        if (m == Match::Complete) {
            request.kind = SensorRequest::Kind::Text;
            m_start += 2;
            return request;
        }
        partial = partial || m == Match::Partial;

        m = matchLevelFrequency(p, n, &request);
        if (m == Match::Complete) {
            m_start += 4;
            return request;
        }
        partial = partial || m == Match::Partial;

        m = matchSevenFrame(p, n, &request, &length);
        if (m == Match::Complete) {
            m_start += length;
            return request;
        }
        partial = partial || m == Match::Partial;

        m = matchModbus(p, n, &request);
        if (m == Match::Complete) {
            m_start += kModbusRequestLength;
            return request;
        }
        partial = partial || m == Match::Partial;

        if (partial && !lineIdle)
            break;
        // Nothing can start here: noise, or the remains of a frame with a bad checksum.
        ++m_start;
        ++m_discarded;
    }
    compact();
    return std::nullopt;
}

RequestFramer::Match RequestFramer::matchText(const char *p, int n) const
{
    if (p[0] != 'D')
        return Match::None;
    if (n < 2)
        return Match::Partial;
    return p[1] == 'O' ? Match::Complete : Match::None;
}

RequestFramer::Match RequestFramer::matchLevelFrequency(
    const char *p, int n, SensorRequest *out) const
{
    if (at(p, 0) != kLevelFrequencyStart)
        return Match::None;
    if (n < 3)
        return Match::Partial;
    if (at(p, 2) != kCommandLevelFrequency)
        return Match::None;
    if (n < 4)
        return Match::Partial;
    if (crc8(QByteArray::fromRawData(p, 3)) != at(p, 3))
        return Match::None;
    out->kind = SensorRequest::Kind::LevelFrequency;
    out->address = at(p, 1);
    return Match::Complete;
}

// The '7' frames: start, address, command, payload length, payload, CRC-8 over all before it.
// Only the commands a sensor knows are accepted, each with its own payload length.
RequestFramer::Match RequestFramer::matchSevenFrame(
    const char *p, int n, SensorRequest *out, int *length) const
{
    if (at(p, 0) != kLevelPeriodStart)
        return Match::None;
    if (n < 3)
        return Match::Partial;
    int payload = 0;
    switch (at(p, 2)) {
    case kCommandMeasure:
        payload = 0;
        break;
    case kCommandWriteCoefficient:
        payload = 5;
        break;
    case kCommandReadCoefficient:
        payload = 1;
        break;
    default:
        return Match::None;
    }
    if (n < 4)
        return Match::Partial;
    if (at(p, 3) != payload)
        return Match::None;
    const int total = 4 + payload + 1;
    if (n < total)
        return Match::Partial;
    if (crc8(QByteArray::fromRawData(p, total - 1)) != at(p, total - 1))
        return Match::None;

    out->address = at(p, 1);
    switch (at(p, 2)) {
    case kCommandWriteCoefficient:
        out->kind = SensorRequest::Kind::WriteCoefficient;
        out->wireIndex = at(p, 4);
        out->valueBits = quint32(at(p, 5)) | quint32(at(p, 6)) << 8 | quint32(at(p, 7)) << 16
            | quint32(at(p, 8)) << 24;
        break;
    case kCommandReadCoefficient:
        out->kind = SensorRequest::Kind::ReadCoefficient;
        out->wireIndex = at(p, 4);
        break;
    default:
        out->kind = SensorRequest::Kind::LevelPeriod;
        break;
    }
    *length = total;
    return Match::Complete;
}

// MODBUS RTU function 3: address, 03, first register, count (both high byte first),
// CRC-16 low byte first. Any first byte may be an address, so one byte is always partial.
RequestFramer::Match RequestFramer::matchModbus(const char *p, int n, SensorRequest *out) const
{
    if (n < 2)
        return Match::Partial;
    if (at(p, 1) != kModbusReadHolding)
        return Match::None;
    if (n < kModbusRequestLength)
        return Match::Partial;
    const quint16 sent = quint16(at(p, 6) | at(p, 7) << 8);
    if (crc16(QByteArray::fromRawData(p, 6)) != sent)
        return Match::None;
    out->kind = SensorRequest::Kind::ModbusRead;
    out->address = at(p, 0);
    out->firstRegister = quint16(at(p, 2) << 8 | at(p, 3));
    out->registerCount = quint16(at(p, 4) << 8 | at(p, 5));
    return Match::Complete;
}

void RequestFramer::compact()
{
    if (m_start > 0) {
        m_buffer.remove(0, m_start);
        m_start = 0;
    }
}
