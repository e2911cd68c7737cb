#include "plot/picker.h"

Picker::Picker(
    int xAxis, int yAxis, RubberBand rubberBand, DisplayMode trackerMode, QWidget *canvas)
    : QwtPlotPicker(xAxis, yAxis, rubberBand, trackerMode, canvas)
{ }
