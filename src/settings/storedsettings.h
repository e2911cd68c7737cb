#pragma once

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
    struct Sensor
    {
        static constexpr int addressEntries = 256; // "off", then addresses 0..254
        static constexpr int polynomTypes = 3; // "Период", "Частота", "Уровень"
        static constexpr int minDegree = 1;
        static constexpr int maxDegree = 5;
        static constexpr quint32 defaultColor = 0xFF0000FF; // opaque blue

        uint curveMask = 0; // CurveBit values
        int addressIndex = 0; // 0 "off", i: address i - 1
        QString rangeMin = QStringLiteral("-40");
        QString rangeMax = QStringLiteral("80");
        int polynomType = 0; // list entry
        int polynomDegree = minDegree;
        // ARGB; a colour that is no number reads as 0.
        quint32 colorValue = defaultColor;
        quint32 colorMidl = defaultColor;
        quint32 colorDelta = defaultColor;
        quint32 colorTrend = defaultColor;
        quint32 colorK = defaultColor;
    };

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

    static Sensor sensor(const QSettings &settings, int nomDut);
    // The colours a sensor's five curves (value, mid value, deviation, trend, K) start with
    // when the settings have none: shades of the sensor's own hue, different for every
    // sensor and every curve. Sensor 0's readings keep the blue they always had.
    static std::array<quint32, 5> defaultColors(int nomDut);
    static Bench bench(const QSettings &settings);
    // Check points outside -90..+99 °C (no mid value is ever kept there) and entries that are
    // no whole number are dropped; a tolerance that is no number >= 0 gives the default.
    static Calibration calibration(const QSettings &settings);

    // Colours are kept as unsigned decimal text; a signed form of the same 32 bits reads too.
    static quint32 color(const QSettings &settings, const QString &key, quint32 fallback);
};
