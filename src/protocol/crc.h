#pragma once

#include <QByteArray>
#include <cstdint>

// CRC-8/MAXIM (Dallas 1-Wire): polynomial 0x31 reflected (0x8C), init 0, no final XOR.
// Used by the byte protocols and the coefficient frames; check value over "123456789" is 0xA1.
quint8 crc8(const QByteArray &data);

// CRC-16/MODBUS: polynomial 0x8005 reflected (0xA001), init 0xFFFF, no final XOR.
// Transmitted low byte first; check value over "123456789" is 0x4B37.
quint16 crc16(const QByteArray &data);
