#pragma once

#include <QtGlobal>

// One request taken off the line, already checked (shape, command, length, checksum).
struct SensorRequest
{
    enum class Kind {
        LevelPeriod, // 37 addr 0A 00 crc8: level, temperature and period
        LevelFrequency, // 31 addr 06 crc8: temperature, level and frequency
        Text, // "DO": the text answer, no address
        ModbusRead, // addr 03 start count crc16: read holding registers
        WriteCoefficient, // 37 addr 51 05 index float crc8
        ReadCoefficient, // 37 addr 4C 01 index crc8
    };
    static constexpr int kindCount = 6;

    Kind kind = Kind::LevelPeriod;
    quint8 address = 0; // meaningless for Text
    quint8 wireIndex = 0; // coefficient number on the wire, coefficient requests only
    quint32 valueBits = 0; // IEEE-754 single, as sent, WriteCoefficient only
    quint16 firstRegister = 0; // ModbusRead only
    quint16 registerCount = 0; // ModbusRead only

    bool isMeasurement() const
    {
        return kind == Kind::LevelPeriod || kind == Kind::LevelFrequency || kind == Kind::Text
            || kind == Kind::ModbusRead;
    }
};
