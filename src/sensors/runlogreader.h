#pragma once

#include "protocol/dutinfo.h"

#include <QString>

#include <array>
#include <functional>

class QByteArray;
class QIODevice;

// Reads a run's sensor logs ("0.txt".."5.txt") back into readings, so that a run whose bench
// crashed or was closed can be taken up again. A line is Qt's text date and time, then the
// fields the protocol of the run reported, each followed by a space; their number tells the
// protocol: aux, temp, level, period (Veltaro-MD level); temp, level, freq (Тервал, binary and
// text); temp, level (MODBUS RTU). The date's words follow the system's locale, so the fields
// are taken after the clock and the year that end it, never by parsing the date.
class RunLogReader
{
public:
    struct Counts
    {
        int readings = 0; // lines that gave a reading
        int errors = 0; // polls logged as "error"
        int damaged = 0; // lines that are no sensor line, or hold a value out of its range
        int outOfRange = 0; // readings outside -90..+100 °C, which the bench never plots
        int blank = 0;
        int skipped() const { return errors + damaged + outOfRange + blank; }
    };

    enum class Line { Reading, Error, Damaged, OutOfRange, Blank };

    using Sink = std::function<void(const DutInfo &)>;

    // Classifies one line (with or without its line end); a reading goes to *info.
    static Line parseLine(const QByteArray &line, DutInfo *info);

    // Reads every line of a sensor log and hands each reading to sink, in file order. Memory
    // stays bounded whatever the device holds: lines are read one at a time, and a line longer
    // than any sensor line is skipped as damaged.
    static Counts read(QIODevice &device, const Sink &sink);

    struct Sensor
    {
        bool present = false; // the run has this sensor's file and it could be read
        Counts counts;
    };
    using Run = std::array<Sensor, 6>;

    // Reads "0.txt".."5.txt" of a run directory; sink gets the sensor number and each reading.
    static Run readRun(
        const QString &directory, const std::function<void(quint8, const DutInfo &)> &sink);
};
