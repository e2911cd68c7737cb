#pragma once

#include <QtGlobal>
#include <qwt_plot.h>

#include <array>

class Plot;
class PlotCurve;
class QEvent;
class QPoint;

// What the operator does on the plot's canvas. With Ctrl held (and nothing else), a left press
// grabs the nearest calibration point of any sensor and every move of the mouse then asks for
// that point's new value, until the button is let go; a right click adds a point for sensor 0
// where it is made. A plain right click resets the view. A cross-hair follows the mouse; A and
// D step it along sensor 0's points and label it with their coordinates; letting go of Alt
// hides it for good. The plot's data is never changed here: the plot's editMidl and addMidl
// say what the operator wants, and whoever holds the data answers with new curves.
//
// While a point is held, the y scales stay as they were at the press, so that the point and
// its trend move under a still axis; automatic scaling comes back with the release.
class PlotEditor
{
public:
    explicit PlotEditor(Plot &plot);

    // One event of the canvas; true when the canvas is not to see it.
    bool handle(QEvent *event);

    PlotCurve *selectedCurve() const { return selected; }
    // -1: nothing held. 0 with no curve: a press found nothing near; its release makes it -1.
    int selectedIndex() const { return selectedPoint; }
    quint8 markerIndex() const { return markerPoint; }

    // A plot coordinate as a raw sensor value: truncated toward zero and kept within 32
    // unsigned bits, so a point pulled a little below zero reads 0 and not 4294967295.
    static quint32 rawValue(double y);

private:
    void pick(const QPoint &pixel);
    void clearSelection();
    void drag(const QPoint &pixel);
    void add(const QPoint &pixel);
    void stepMarker(int step);
    void holdScales();
    void releaseScales();

    Plot &plot;
    PlotCurve *selected = nullptr;
    int selectedPoint = -1;
    double selectedTemp = 0.0;
    quint8 markerPoint = 0;
    std::array<bool, QwtPlot::axisCnt> held {};
};
