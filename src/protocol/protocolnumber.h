#pragma once

#include "protocol/dutinfo.h"

#include <QtGlobal>

// The bench protocols by number. The number is the entry of the protocol list on the bench
// strip, the value every panel and the run logs are given, and what a measurement set records,
// so the protocols must never be renumbered.
enum ProtocolNumber : quint8 {
    VeltaroLevel = 0, // binary, CRC-8: temperature, level, period and a status byte
    TervalBin = 1, // binary, CRC-8: temperature, level and frequency
    TervalAscii = 2, // text "F=hhhh t=hh N=hhhh": frequency, temperature and level
    ModbusRtu = 3, // MODBUS RTU holding registers: temperature and level
    VeltaroVolume = 4, // listed, but the bench has no measurement request for it
};

constexpr int kProtocolCount = 5;

// Whether a protocol's answers carry a kind. Level comes with every protocol; period with the
// Veltaro-MD ones (and with a number the bench does not know), frequency with the Terval ones.
constexpr bool protocolDelivers(int protocol, eTypeData kind)
{
    switch (protocol) {
    case TervalBin:
    case TervalAscii:
        return kind == Level || kind == Freq;
    case ModbusRtu:
        return kind == Level;
    default:
        return kind == Level || kind == Period;
    }
}

// The text protocol goes into the line trace as it went over the line, every other one as hex.
constexpr bool protocolIsText(int protocol)
{
    return protocol == TervalAscii;
}
