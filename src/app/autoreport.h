#pragma once

#include <QList>
#include <QMap>
#include <QString>

#include <array>
#include <optional>

class QPainter;
class QPdfWriter;

// The hands-free calibration's part of the calibration report: per sensor, what it reported
// before its write ("как найдено") and after it ("после записи"), both as v(T)/v(+20) on one
// plot, with the as-left figure and the verdict.
class AutoReport
{
public:
    struct Sensor
    {
        int sensor = 0;
        QMap<qint8, quint32> found; // mid values before the write
        QMap<qint8, quint32> left; // mid values after it
        std::optional<std::array<double, 6>> foundK; // K0..K5 read before anything was written
        QString verdict;
        bool pass = false;
        double asLeftPercent = 0; // NaN: the write was not verified
        int rangeMin = -40; // the accepted range, °C: the figures and curves keep to it
        int rangeMax = 80;
    };

    // Largest |v(T)/v(+20) - 1| over the mid values within lo..hi, %; NaN without a +20 °C
    // mid value.
    static double deviationPercent(const QMap<qint8, quint32> &midl, int lo, int hi);
    // What the first page's line of `sensor` adds: its as-left verdict, if it has one.
    static QString summary(int sensor, const QList<Sensor> &sensors);
    // One page per sensor, each begun with a new page of pdf and numbered on from page
    // `before` of `pages`.
    static bool draw(QPainter &painter, QPdfWriter &pdf, const QList<Sensor> &sensors,
        double tolerance, const QString &style, int before, int pages);
};
