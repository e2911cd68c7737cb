#pragma once

#include <QList>
#include <QString>
#include <qwt_scale_draw.h>

class QPointF;
class QwtPlot;

// Labels of one plot axis, all in one number format chosen from the axis's major ticks:
// plain digits grouped by thin spaces, with as many decimals as the ticks need, while every
// tick is below 10^7 in magnitude; otherwise one common exponent for the whole axis
// ("1.25e7", "1.50e7"). The cross-hair and the tracker write their numbers the same way.
class AxisScaleDraw : public QwtScaleDraw
{
public:
    struct Format
    {
        int decimals = 0;
        // Power of ten taken out of every label; 0: plain digits.
        int exponent = 0;
    };

    // The format that writes all these values alike and tells neighbouring ones apart.
    static Format formatFor(const QList<double> &ticks);
    static QString text(double value, const Format &format);
    // The format of the axis's current ticks.
    Format currentFormat() const;
    // A point of the plot as "x °C; y", each in the format of its axis (the cross-hair's and
    // the tracker's label).
    static QString coordinates(const QwtPlot &plot, const QPointF &point, int xAxis, int yAxis);

    QwtText label(double value) const override;
};
