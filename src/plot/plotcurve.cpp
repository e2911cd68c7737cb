#include "plot/plotcurve.h"

#include <QPen>
#include <qwt_plot.h>

PlotCurve::PlotCurve(const QString &title, QRgb color)
    : QwtPlotCurve(title)
{
    setRenderHint(QwtPlotItem::RenderAntialiased);
    setPen(QColor(color), 0.0, Qt::SolidLine);
    setAxes(QwtPlot::xBottom, QwtPlot::yLeft);
}
