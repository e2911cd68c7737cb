#pragma once

#include <QString>
#include <QtGlobal>

#include <array>

// Bits of the curve mask, one per check box of a sensor panel's curve row.
enum CurveBit : quint8 {
    CurveValue = 0x01, // "Данн."
    CurveMidl = 0x02, // "Сред."
    CurveDelta = 0x04, // "Откл."
    CurveTrend = 0x08, // "Тренд"
    CurveAll = 0x10, // "Отоб.": the sensor's curves are shown at all
    CurveK = 0x20, // "Тр. К"
};

// The five coloured curves of a sensor, in the order of SensorSetup::colors.
enum CurveColor : quint8 { ColorValue, ColorMidl, ColorDelta, ColorTrend, ColorK };

// One coloured curve: its colour in SensorSetup::colors and its bit of the curve mask. The
// panel's check boxes and the plot's curves both go by this table; the colours' settings keys
// follow the same order (settingskeys::curveColor).
struct CurveEntry
{
    CurveColor color;
    CurveBit bit;
};

inline constexpr std::array<CurveEntry, 5> curveTable {{{ColorValue, CurveValue},
    {ColorMidl, CurveMidl}, {ColorDelta, CurveDelta}, {ColorTrend, CurveTrend}, {ColorK, CurveK}}};

// What an operator chose on one sensor panel, as a plain value: the address, the bench's
// protocol, the data kind and degree of the fit, the accepted range, the curves shown and
// their colours. The panel fills it from its widgets; the plot, the calibration record, the
// journal and the report take it instead of the widgets. StoredSettings reads it from the
// settings file.
struct SensorSetup
{
    static constexpr int addressEntries = 256; // "off", then addresses 0..254
    static constexpr int kindEntries = 3; // "Период", "Частота", "Уровень"
    static constexpr int minDegree = 1;
    static constexpr int maxDegree = 5;
    static constexpr int lowestBound = -90;
    static constexpr int highestBound = 100;
    static constexpr int defaultMin = -40;
    static constexpr int defaultMax = 80;
    static constexpr int offAddress = 255;
    static constexpr quint32 defaultColor = 0xFF0000FF; // opaque blue

    int sensor = 0; // 0..5
    int addressIndex = 0; // 0 "off", i: address i - 1
    int protocol = 0;
    int kindIndex = 0; // entry of the kind list
    int degree = minDegree;
    int rangeMin = defaultMin; // accepted range, °C, rangeMin <= rangeMax
    int rangeMax = defaultMax;
    uint curveMask = 0; // CurveBit values
    std::array<quint32, 5> colors {}; // ARGB, by CurveColor

    // The address polled, or 255 while "off".
    int address() const { return addressIndex > 0 ? addressIndex - 1 : offAddress; }
    // The address as the panel's list shows it: "off" or the number.
    QString addressText() const
    {
        return addressIndex > 0 ? QString::number(addressIndex - 1) : QStringLiteral("off");
    }
    // The kind list's text of the chosen kind: "Период", "Частота" or "Уровень".
    QString kindText() const { return kindName(kindIndex); }
    static QString kindName(int kindIndex);
    // Whether a text is a range bound: a whole number of degrees in -90..+100.
    static bool isBound(const QString &text);
};
