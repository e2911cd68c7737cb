#include "plot/ploteditor.h"

#include "plot/axisscaledraw.h"
#include "plot/plot.h"
#include "plot/plotcurve.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <qwt_plot_marker.h>
#include <qwt_text.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Temperatures a sensor reports as valid; a point clicked outside them has no slot.
constexpr double kFirstTemp = -90.0;
constexpr double kLastTemp = 100.0;

// The pixel under a mouse position: the nearest whole pixel, halves away from zero.
QPoint pixelOf(const QMouseEvent *event)
{
    const QPointF pos = event->localPos();
    return QPoint(int(std::lround(pos.x())), int(std::lround(pos.y())));
}

} // namespace

PlotEditor::PlotEditor(Plot &plot)
    : plot(plot)
{ }

quint32 PlotEditor::rawValue(double y)
{
    constexpr double top = std::numeric_limits<quint32>::max();
    if (!(y > 0.0)) // NaN too
        return 0;
    return y >= top ? std::numeric_limits<quint32>::max() : quint32(y);
}

bool PlotEditor::handle(QEvent *event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // Ctrl alone: Shift+Ctrl or Alt+Ctrl is something else.
        const bool ctrl = mouse->modifiers() == Qt::ControlModifier;
        if (mouse->button() == Qt::LeftButton && ctrl) {
            if (selectedPoint < 0)
                pick(pixelOf(mouse));
            else
                clearSelection();
        } else if (mouse->button() == Qt::RightButton) {
            if (ctrl)
                add(pixelOf(mouse));
            else
                plot.resetView();
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (selectedPoint >= 0)
            clearSelection();
        return false;
    case QEvent::MouseMove: {
        const QPoint pixel = pixelOf(static_cast<QMouseEvent *>(event));
        if (selected)
            drag(pixel);
        QwtPlotMarker *marker = plot.marker();
        marker->setValue(plot.invTransform(marker->xAxis(), pixel.x()),
            plot.invTransform(marker->yAxis(), pixel.y()));
        plot.requestReplot();
        return true;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_A)
            stepMarker(-1);
        else if (key == Qt::Key_D)
            stepMarker(+1);
        return false;
    }
    case QEvent::KeyRelease:
        if (static_cast<QKeyEvent *>(event)->key() == Qt::Key_Alt) {
            plot.marker()->setVisible(false);
            plot.requestReplot();
        }
        return false;
    default:
        return false;
    }
}

void PlotEditor::pick(const QPoint &pixel)
{
    double bestDistance = 1e11;
    PlotCurve *bestCurve = nullptr;
    int bestIndex = -1;
    // In the order the curves were attached, so that of two points under the pointer the
    // lower sensor's wins. Hidden curves count: their points can be grabbed as well.
    for (QwtPlotItem *item : plot.itemList(QwtPlotItem::Rtti_PlotCurve)) {
        const int nomDut = plot.midlSensor(item);
        if (nomDut < 0)
            continue;
        PlotCurve *curve = plot.midlCurve(quint8(nomDut));
        if (curve->dataSize() == 0)
            continue;
        double distance = 0.0;
        const int index = curve->closestPoint(pixel, &distance);
        if (index >= 0 && bestDistance > distance) {
            bestDistance = distance;
            bestCurve = curve;
            bestIndex = index;
        }
    }
    if (bestCurve && bestDistance < plot.pickRadius()) {
        selected = bestCurve;
        selectedPoint = bestIndex;
        selectedTemp = bestCurve->sample(bestIndex).x();
        holdScales();
    } else {
        selected = nullptr;
        selectedPoint = 0;
    }
}

void PlotEditor::clearSelection()
{
    selected = nullptr;
    selectedPoint = -1;
    releaseScales();
}

void PlotEditor::drag(const QPoint &pixel)
{
    const int nomDut = plot.midlSensor(selected);
    if (nomDut < 0)
        return;
    // The point is held by its temperature: a reading at a new temperature may have put an
    // entry before it in the curve since the press.
    const int count = int(selected->dataSize());
    if (selectedPoint >= count || selected->sample(selectedPoint).x() != selectedTemp) {
        int index = 0;
        while (index < count && selected->sample(index).x() != selectedTemp)
            ++index;
        if (index == count)
            return; // gone, with the data it belonged to
        selectedPoint = index;
    }
    const double y = plot.invTransform(selected->yAxis(), pixel.y());
    emit plot.editMidl(quint8(nomDut), quint8(selectedPoint), rawValue(y));
}

void PlotEditor::add(const QPoint &pixel)
{
    const PlotCurve *curve = plot.midlCurve(0);
    const double x = std::trunc(plot.invTransform(curve->xAxis(), pixel.x()));
    // Left or right of every slot: there is no temperature to put the point at.
    if (!(x >= kFirstTemp && x <= kLastTemp))
        return;
    const double y = plot.invTransform(curve->yAxis(), pixel.y());
    emit plot.addMidl(0, qint8(x), rawValue(y), plot.currentTypeData());
}

void PlotEditor::stepMarker(int step)
{
    const PlotCurve *curve = plot.midlCurve(0);
    const int count = int(curve->dataSize());
    int next = markerPoint + step;
    if (step < 0) {
        if (markerPoint == 0 || count == 0)
            return;
        // The curve may have lost points since the marker was put on one.
        next = std::min(next, count - 1);
    } else if (next >= count) {
        return;
    }
    markerPoint = quint8(next);
    const QPointF point = curve->sample(markerPoint);
    QwtPlotMarker *marker = plot.marker();
    marker->setValue(point);
    marker->setLabel(
        QwtText(AxisScaleDraw::coordinates(plot, point, marker->xAxis(), marker->yAxis())));
    plot.requestReplot();
}

void PlotEditor::holdScales()
{
    for (int axis : {QwtPlot::yLeft, QwtPlot::yRight}) {
        held[axis] = plot.axisAutoScale(axis);
        if (held[axis])
            plot.setAxisScaleDiv(axis, plot.axisScaleDiv(axis));
    }
}

void PlotEditor::releaseScales()
{
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis) {
        if (held[axis]) {
            plot.setAxisAutoScale(axis, true);
            held[axis] = false;
            plot.requestReplot();
        }
    }
}
