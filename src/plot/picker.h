#pragma once

#include <qwt_plot_picker.h>

// Shows the plot coordinates under the mouse pointer on the canvas.
class Picker : public QwtPlotPicker
{
    Q_OBJECT

public:
    Picker(int xAxis, int yAxis, RubberBand rubberBand, DisplayMode trackerMode, QWidget *canvas);

protected:
    // The coordinates in the number format of the axes' labels.
    QwtText trackerTextF(const QPointF &pos) const override;
};
