#pragma once

#include "sensor-sim/faultinjector.h"

#include <QString>
#include <QVector>

// Everything the simulator can be told on its command line, with the defaults of the demo.
struct SimulatorConfig
{
    QVector<quint8> addresses {1, 2, 3, 4, 5, 6}; // the first one also answers "DO"
    quint64 seed = 1;
    double noisePpm = 100.0;

    double temperatureLow = -40.0;
    double temperatureHigh = 80.0;
    double temperatureStart = -40.0;
    double secondsPerDegree = 2.0; // wall-clock sweep; 0 keeps the start temperature
    double stepPerPoll = 0.0; // when > 0: degrees per measurement request, clock ignored

    FaultInjector::Rates faults;
    int lateMs = 1500; // longer than the bench's shortest polling period of 1 s
    int splitGapMs = 30;
    int frameGapMs = 50; // line quiet this long: a partial request is noise

    // The bench's K number 0..5 (wire index 5 - K) that every sensor stores with the lowest bit
    // of its single-precision value flipped, as a faulty cell would; -1 for none.
    int flipCoefficient = -1;

    // Positions (0-based, in the order of the addresses) of sensors that store coefficients
    // but do not compensate with them.
    QVector<int> rawSensors;

    QString linkPath;
    QString statsPath;
    bool describe = false;
};
