#pragma once

#include <QByteArray>
#include <QVector>

// Answer frames as a sensor puts them on the line. Multi-byte fields are little-endian in the
// byte framings and big-endian in MODBUS RTU; floats travel as IEEE-754 single, low byte first.
namespace SensorAnswers {

// How an answer is protected, which decides how it can be re-addressed or spoiled.
enum class Shape {
    Crc8Frame, // start, address, command, length, payload, CRC-8/MAXIM
    Modbus, // address, function, ..., CRC-16/MODBUS low byte first
    Text, // "F=hhhh t=hh N=hhhh.0", no address, no checksum, no line end
};

// The text answer: the fields take the first 18 characters, then any one character and '0'.
constexpr int textFieldsLength = 18;
constexpr int textLength = 20;

// 39 addr 0A 08 status level(2) temp period(4) crc8
QByteArray levelPeriod(
    quint8 address, qint8 temperature, quint16 level, quint32 period, quint8 status = 0);
// 3E addr 06 temp level(2) freq(2) crc8
QByteArray levelFrequency(quint8 address, qint8 temperature, quint16 level, quint16 frequency);
// Frequency, temperature (two's complement byte) and level as upper-case hexadecimal.
QByteArray text(qint8 temperature, quint16 level, quint16 frequency);
// addr 03 byteCount registers... crc16
QByteArray modbusRegisters(quint8 address, const QVector<quint16> &registers);
// addr (function | 0x80) code crc16
QByteArray modbusException(quint8 address, quint8 function, quint8 code);
// 39 addr 51 01 index crc8: a coefficient was stored
QByteArray coefficientWritten(quint8 address, quint8 wireIndex);
// 39 addr 4C 04 float(4) crc8: a stored coefficient
QByteArray coefficientValue(quint8 address, quint32 valueBits);

// The same answer sent as if from another address, with its checksum made right again.
// A text answer carries no address and comes back unchanged.
QByteArray readdressed(const QByteArray &answer, Shape shape, quint8 address);

} // namespace SensorAnswers
