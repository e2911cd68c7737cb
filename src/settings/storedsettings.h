#pragma once

#include "settings/sensorsetup.h"
#include "settings/settingskeys.h"

#include <QString>
#include <QVector>
#include <QtGlobal>

#include <array>

class QSettings;

// What a sensor panel and the bench strip take from the settings file when they are built.
// Anybody can edit the file, so every value comes back inside the range its widget accepts;
// a missing value gives the widget's default.
class StoredSettings
{
public:
    struct Bench
    {
        static constexpr int minPeriod = 1;
        static constexpr int maxPeriod = 99;

        QString protocol; // the protocol list's text; one the list lacks leaves its choice
        int period = minPeriod; // polling period, seconds
        bool autoCalibration = false;
    };

    // The rules of the automatic calibration's as-left check.
    struct Calibration
    {
        // Whole degrees in ascending order, each once; empty: the range's ends and +20 °C.
        QVector<int> checkPoints;
        double tolerancePercent = settingskeys::reportToleranceDefault;
    };

    // A sensor panel's stored choices. The protocol is the bench's and stays 0 here; a range
    // bound that is none reads as its default, and a lower bound above the upper one gives both
    // defaults.
    static SensorSetup sensor(const QSettings &settings, int nomDut);
    // The colours a sensor's five curves (value, mid value, deviation, trend, K) start with
    // when the settings have none: shades of the sensor's own hue, different for every
    // sensor and every curve. Sensor 0's readings keep the blue they always had.
    static std::array<quint32, 5> defaultColors(int nomDut);
    static Bench bench(const QSettings &settings);
    // Check points outside -90..+99 °C (no mid value is ever kept there) and entries that are
    // no whole number are dropped; a tolerance that is no number >= 0 gives the default.
    static Calibration calibration(const QSettings &settings);

    // Colours are kept as unsigned decimal text; a signed form of the same 32 bits reads too, and
    // a text that is no number gives the fallback.
    static quint32 color(const QSettings &settings, const QString &key, quint32 fallback);
};
