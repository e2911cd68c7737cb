#pragma once

#include <QMap>
#include <QRectF>

class QPainter;

// The numbers that decide, as a plot for a sensor's page of the certificate: the residual after
// correction per covered degree with its ± U bar, between the lines of ± the tolerance, all in
// % of the +20 °C value.
class ResidualPlot
{
public:
    struct Data
    {
        QMap<int, double> residuals;
        QMap<int, double> uncertainty;
        double tolerance = 0.5;
    };

    static void draw(const Data &data, QPainter &painter, const QRectF &area);
};
