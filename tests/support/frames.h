#pragma once

#include "protocol/dutinfo.h"

#include <QByteArray>

#include <initializer_list>

// Bytes as the sensors put them on the line, for tests that play the sensor side.
namespace frames {

// Bytes written as hex digits; blanks between them are allowed.
QByteArray hex(const char *digits);
// One byte per value (taken modulo 256).
QByteArray bytes(std::initializer_list<int> values);
// The frame followed by its CRC-8/MAXIM.
QByteArray withCrc8(QByteArray frame);

// Measurement answers of the polling protocols the tests play.
QByteArray veltaroAnswer(quint8 address, qint8 temp, quint16 level, quint32 period);
QByteArray tervalAnswer(quint8 address, qint8 temp, quint16 level, quint16 freq);
QByteArray textAnswer(quint16 freq, qint8 temp, quint16 level);

// Answers to the coefficient frames: the write acknowledgement and the read answer, whose
// value goes in single precision, least significant byte first.
QByteArray writeAck(quint8 address);
QByteArray readKAnswer(quint8 address, float value);

// A valid reading as the decoder hands it on.
DutInfo reading(qint8 temp, quint16 level, quint16 freq = 0, quint32 period = 0, quint8 aux = 0);

} // namespace frames
