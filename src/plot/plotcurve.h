#pragma once

#include <QRgb>
#include <qwt_plot_curve.h>

class QString;

// A curve of the plot: antialiased, a one-pixel solid pen in its colour, on the bottom and left
// axes until told otherwise.
class PlotCurve : public QwtPlotCurve
{
public:
    PlotCurve(const QString &title, QRgb color);
};
