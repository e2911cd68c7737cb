#pragma once

#include "sensor-sim/simulatorconfig.h"

#include <QCommandLineParser>
#include <QStringList>

// The command line of tarikon-sensor-sim. Every value is checked; a bad one is reported with
// the option's name instead of being used.
class SimulatorOptions
{
public:
    enum class Result { Run, Help, Version, Error };

    SimulatorOptions();

    Result parse(const QStringList &arguments);
    const SimulatorConfig &config() const { return m_config; }
    QString errorText() const { return m_error; }
    QString helpText() const { return m_parser.helpText(); }

private:
    bool number(const QString &name, double low, double high, double *out);
    bool integer(const QString &name, int low, int high, int *out);
    bool parseAddresses();
    bool parseRawSensors();

    QCommandLineParser m_parser;
    SimulatorConfig m_config;
    QString m_error;
};
