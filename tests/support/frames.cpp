#include "support/frames.h"

#include "protocol/crc.h"

#include <QString>
#include <QtEndian>

#include <cstring>

namespace frames {

QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int value : values)
        out.append(char(value & 0xFF));
    return out;
}

QByteArray withCrc8(QByteArray frame)
{
    frame.append(char(crc8(frame)));
    return frame;
}

QByteArray veltaroAnswer(quint8 address, qint8 temp, quint16 level, quint32 period)
{
    QByteArray frame = bytes({0x39, address, 0x0A, 0x08, 0, level, level >> 8, temp});
    QByteArray raw(4, '\0');
    qToLittleEndian(period, raw.data());
    return withCrc8(frame + raw);
}

QByteArray tervalAnswer(quint8 address, qint8 temp, quint16 level, quint16 freq)
{
    return withCrc8(bytes({0x3E, address, 0x06, temp, level, level >> 8, freq, freq >> 8}));
}

QByteArray textAnswer(quint16 freq, qint8 temp, quint16 level)
{
    return QString::asprintf("F=%04X t=%02X N=%04X.0", freq, quint8(temp), level).toLatin1();
}

QByteArray writeAck(quint8 address)
{
    return withCrc8(bytes({0x39, address, 0x51, 0x00, 0x00}));
}

QByteArray readKAnswer(quint8 address, float value)
{
    quint32 raw = 0;
    std::memcpy(&raw, &value, sizeof raw);
    QByteArray bits(4, '\0');
    qToLittleEndian(raw, bits.data());
    return withCrc8(bytes({0x39, address, 0x4C, 0x04}) + bits);
}

DutInfo reading(qint8 temp, quint16 level, quint16 freq, quint32 period, quint8 aux)
{
    DutInfo info;
    info.valid = 1;
    info.temp = temp;
    info.level = level;
    info.freq = freq;
    info.period = period;
    info.aux = aux;
    return info;
}

} // namespace frames
