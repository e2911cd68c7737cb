#pragma once

#include <QMap>
#include <QRectF>
#include <QString>

#include <array>

class QPainter;
class QwtPlot;

// The plot of one sensor alone for its page of the calibration report, drawn by Qwt's renderer
// onto the report's painter: the mid values (points), the polynomial of the given coefficients
// times the +20 °C mid value (line) on the left axis, and the deviation from 20 °C in % on the
// right one.
class ReportPlot
{
public:
    struct Data
    {
        QString title;
        QMap<qint8, quint32> midl;
        QMap<double, double> delta;
        std::array<double, 6> k {};
        int rangeMin = -40;
        int rangeMax = 80;
    };

    static void draw(const Data &data, QPainter &painter, const QRectF &area);
    // A report plot's dress: white page, title, temperature axis, the left axis's title, a
    // legend below and a dotted grid; shared by every plot the report draws.
    static void dress(QwtPlot &plot, const QString &title, const QString &leftTitle);
    // Renders a dressed plot into area of the page, on its white background.
    static void paint(QwtPlot &plot, QPainter &painter, const QRectF &area);
};
