#include "plot/picker.h"

#include "plot/axisscaledraw.h"

#include <qwt_text.h>

Picker::Picker(
    int xAxis, int yAxis, RubberBand rubberBand, DisplayMode trackerMode, QWidget *canvas)
    : QwtPlotPicker(xAxis, yAxis, rubberBand, trackerMode, canvas)
{ }

QwtText Picker::trackerTextF(const QPointF &pos) const
{
    return QwtText(AxisScaleDraw::coordinates(*plot(), pos, xAxis(), yAxis()));
}
