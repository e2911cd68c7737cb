#include "sensor-sim/sensoranswers.h"

#include "protocol/crc.h"

namespace SensorAnswers {

namespace {

constexpr char kAnswerStart = 0x39; // '9'
constexpr char kLevelFrequencyStart = 0x3E; // '>'

void appendLe16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void appendLe32(QByteArray &out, quint32 v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.append(char((v >> shift) & 0xFF));
}

QByteArray crc8Frame(char start, quint8 address, quint8 command, const QByteArray &payload)
{
    QByteArray out;
    out.reserve(5 + payload.size());
    out.append(start);
    out.append(char(address));
    out.append(char(command));
    out.append(char(payload.size()));
    out.append(payload);
    out.append(char(crc8(out)));
    return out;
}

void appendCrc16(QByteArray &out)
{
    const quint16 crc = crc16(out);
    out.append(char(crc & 0xFF));
    out.append(char(crc >> 8));
}

} // namespace

QByteArray levelPeriod(
    quint8 address, qint8 temperature, quint16 level, quint32 period, quint8 status)
{
    QByteArray payload;
    payload.append(char(status));
    appendLe16(payload, level);
    payload.append(char(temperature));
    appendLe32(payload, period);
    return crc8Frame(kAnswerStart, address, 0x0A, payload);
}

QByteArray levelFrequency(quint8 address, qint8 temperature, quint16 level, quint16 frequency)
{
    // No length byte here: temperature follows the command echo directly.
    QByteArray out;
    out.append(kLevelFrequencyStart);
    out.append(char(address));
    out.append(char(0x06));
    out.append(char(temperature));
    appendLe16(out, level);
    appendLe16(out, frequency);
    out.append(char(crc8(out)));
    return out;
}

QByteArray text(qint8 temperature, quint16 level, quint16 frequency)
{
    return QByteArray("F=") + QByteArray::number(frequency, 16).toUpper().rightJustified(4, '0')
        + " t=" + QByteArray::number(quint8(temperature), 16).toUpper().rightJustified(2, '0')
        + " N=" + QByteArray::number(level, 16).toUpper().rightJustified(4, '0') + ".0";
}

QByteArray modbusRegisters(quint8 address, const QVector<quint16> &registers)
{
    QByteArray out;
    out.append(char(address));
    out.append(char(0x03));
    out.append(char(registers.size() * 2));
    for (const quint16 r : registers) {
        out.append(char(r >> 8));
        out.append(char(r & 0xFF));
    }
    appendCrc16(out);
    return out;
}

QByteArray modbusException(quint8 address, quint8 function, quint8 code)
{
    QByteArray out;
    out.append(char(address));
    out.append(char(function | 0x80));
    out.append(char(code));
    appendCrc16(out);
    return out;
}

QByteArray coefficientWritten(quint8 address, quint8 wireIndex)
{
    return crc8Frame(kAnswerStart, address, 0x51, QByteArray(1, char(wireIndex)));
}

QByteArray coefficientValue(quint8 address, quint32 valueBits)
{
    QByteArray payload;
    appendLe32(payload, valueBits);
    return crc8Frame(kAnswerStart, address, 0x4C, payload);
}

QByteArray readdressed(const QByteArray &answer, Shape shape, quint8 address)
{
    QByteArray out = answer;
    switch (shape) {
    case Shape::Crc8Frame:
        if (out.size() >= 3) {
            out[1] = char(address);
            out[out.size() - 1] = char(crc8(out.left(out.size() - 1)));
        }
        break;
    case Shape::Modbus:
        if (out.size() >= 4) {
            out[0] = char(address);
            out.chop(2);
            appendCrc16(out);
        }
        break;
    case Shape::Text:
        break;
    }
    return out;
}

} // namespace SensorAnswers
