#include "plot/plotcurve.h"

#include <QPen>
#include <qwt_plot.h>

PlotCurve::PlotCurve(const QString &title, QRgb color)
    : QwtPlotCurve(title)
{
    setRenderHint(QwtPlotItem::RenderAntialiased);
    // The plot has no legend. A legend item renders its icon at every change of pen, symbol
    // or title, which a colour change repeats for each of a sensor's 255 value curves.
    setItemAttribute(QwtPlotItem::Legend, false);
    setPen(QColor(color), 0.0, Qt::SolidLine);
    setAxes(QwtPlot::xBottom, QwtPlot::yLeft);
}
