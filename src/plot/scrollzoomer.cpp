#include "plot/scrollzoomer.h"

#include "plot/scrollbar.h"

#include <QChildEvent>
#include <QEvent>
#include <qwt_plot.h>
#include <qwt_plot_layout.h>
#include <qwt_scale_widget.h>

namespace {

int oppositeAxis(int axis)
{
    switch (axis) {
    case QwtPlot::xBottom:
        return QwtPlot::xTop;
    case QwtPlot::xTop:
        return QwtPlot::xBottom;
    case QwtPlot::yLeft:
        return QwtPlot::yRight;
    default:
        return QwtPlot::yLeft;
    }
}

} // namespace

ScrollZoomer::ScrollZoomer(QWidget *canvas)
    : QwtPlotZoomer(canvas)
{ }

ScrollZoomer::~ScrollZoomer()
{
    // The bars' room in the canvas margins and the zoomed-in layout go back to how the plot
    // had them, so that a zoomer made in this one's place starts from the same canvas.
    if (horizontal.bar)
        showBar(horizontal.bar, barAxis(Qt::Horizontal), false);
    if (vertical.bar)
        showBar(vertical.bar, barAxis(Qt::Vertical), false);
    enterZoom(false);
    if (QwtPlot *owner = plot())
        owner->updateLayout();

    // The canvas would delete them too; forgetting them first keeps the child-removed
    // notifications from reaching a half-destroyed zoomer.
    QWidget *widgets[] = {corner, horizontal.bar, vertical.bar};
    corner = nullptr;
    horizontal.bar = nullptr;
    vertical.bar = nullptr;
    for (QWidget *widget : widgets)
        delete widget;
}

void ScrollZoomer::setHScrollBarMode(ScrollBarMode mode)
{
    if (horizontal.mode != mode) {
        horizontal.mode = mode;
        refreshBars();
    }
}

void ScrollZoomer::setVScrollBarMode(ScrollBarMode mode)
{
    if (vertical.mode != mode) {
        vertical.mode = mode;
        refreshBars();
    }
}

void ScrollZoomer::setHScrollBarPosition(ScrollBarPosition position)
{
    if (horizontal.position != position) {
        // The bar leaves the margin of the axis it sat on.
        if (horizontal.bar && horizontal.bar->isVisible())
            showBar(horizontal.bar, barAxis(Qt::Horizontal), false);
        horizontal.position = position;
        refreshBars();
    }
}

void ScrollZoomer::setVScrollBarPosition(ScrollBarPosition position)
{
    if (vertical.position != position) {
        if (vertical.bar && vertical.bar->isVisible())
            showBar(vertical.bar, barAxis(Qt::Vertical), false);
        vertical.position = position;
        refreshBars();
    }
}

void ScrollZoomer::setCorner(QWidget *widget)
{
    if (widget == corner)
        return;
    delete corner;
    corner = widget;
    if (corner && canvas())
        corner->setParent(canvas());
}

ScrollBar *ScrollZoomer::barFor(Qt::Orientation orientation)
{
    ScrollData &data = orientation == Qt::Horizontal ? horizontal : vertical;
    if (!data.bar) {
        data.bar = new ScrollBar(orientation, canvas());
        data.bar->hide();
        connect(data.bar, qOverload<Qt::Orientation, double, double>(&ScrollBar::valueChanged),
            this, &ScrollZoomer::scrollBarMoved);
    }
    return data.bar;
}

void ScrollZoomer::zoom(const QRectF &rect)
{
    if (zoomRectIndex() == 0)
        setZoomBase(true);
    const QRectF inside = rect.normalized() & zoomBase();
    if (inside.isEmpty())
        return;
    QwtPlotZoomer::zoom(inside);
}

void ScrollZoomer::scrollBarMoved(Qt::Orientation orientation, double min, double)
{
    const QRectF rect = zoomRect();
    if (orientation == Qt::Horizontal)
        moveTo(QPointF(min, rect.top()));
    else
        moveTo(QPointF(rect.left(), min));
    emit zoomed(zoomRect());
}

int ScrollZoomer::barAxis(Qt::Orientation orientation) const
{
    const ScrollData &data = orientation == Qt::Horizontal ? horizontal : vertical;
    const int axis = orientation == Qt::Horizontal ? xAxis() : yAxis();
    return data.position == OppositeToScale ? oppositeAxis(axis) : axis;
}

bool ScrollZoomer::needsBar(Qt::Orientation orientation) const
{
    const ScrollData &data = orientation == Qt::Horizontal ? horizontal : vertical;
    if (data.mode != AsNeeded)
        return data.mode == AlwaysOn;
    const QRectF base = zoomBase();
    const QRectF rect = zoomRect();
    if (orientation == Qt::Horizontal)
        return base.left() < rect.left() || base.right() > rect.right();
    return base.top() < rect.top() || base.bottom() > rect.bottom();
}

void ScrollZoomer::showBar(ScrollBar *bar, int axis, bool show)
{
    if (bar->isHidden() != show)
        return;
    bar->setVisible(show);
    if (QwtPlot *owner = plot()) {
        QwtPlotLayout *layout = owner->plotLayout();
        const int thickness = show ? bar->thickness() : -bar->thickness();
        layout->setCanvasMargin(layout->canvasMargin(axis) + thickness, axis);
    }
}

void ScrollZoomer::refreshBars()
{
    QWidget *area = canvas();
    QwtPlot *owner = plot();
    if (!area || !owner)
        return;

    const QRectF base = zoomBase();
    const QRectF rect = zoomRect();

    const bool needH = needsBar(Qt::Horizontal);
    if (needH) {
        ScrollBar *bar = barFor(Qt::Horizontal);
        bar->setPalette(owner->palette());
        // Slider positions grow to the right, as an increasing x scale does.
        bar->setMirrored(!owner->axisScaleDiv(xAxis()).isIncreasing());
        bar->setBase(base.left(), base.right());
        bar->moveSlider(rect.left(), rect.right());
        showBar(bar, barAxis(Qt::Horizontal), true);
    } else if (horizontal.bar) {
        showBar(horizontal.bar, barAxis(Qt::Horizontal), false);
    }

    const bool needV = needsBar(Qt::Vertical);
    if (needV) {
        ScrollBar *bar = barFor(Qt::Vertical);
        bar->setPalette(owner->palette());
        // Slider positions grow downwards, against an increasing y scale.
        bar->setMirrored(owner->axisScaleDiv(yAxis()).isIncreasing());
        bar->setBase(base.top(), base.bottom());
        bar->moveSlider(rect.top(), rect.bottom());
        showBar(bar, barAxis(Qt::Vertical), true);
    } else if (vertical.bar) {
        showBar(vertical.bar, barAxis(Qt::Vertical), false);
    }

    if (needH && needV) {
        if (!corner) {
            auto *widget = new QWidget(area);
            widget->setAutoFillBackground(true);
            widget->setPalette(owner->palette());
            corner = widget;
        }
        corner->show();
    } else if (corner) {
        corner->hide();
    }

    placeBars(area->contentsRect());
    owner->updateLayout();
}

void ScrollZoomer::placeBars(const QRect &rect)
{
    auto shown = [](const ScrollBar *bar) { return bar && !bar->isHidden(); };
    const bool showH = shown(horizontal.bar);
    const bool showV = shown(vertical.bar);
    const int hThick = showH ? horizontal.bar->thickness() : 0;
    const int vThick = showV ? vertical.bar->thickness() : 0;
    const bool hOnTop = barAxis(Qt::Horizontal) == QwtPlot::xTop;
    const bool vOnLeft = barAxis(Qt::Vertical) == QwtPlot::yLeft;

    const int hY = hOnTop ? rect.top() : rect.bottom() - hThick + 1;
    const int vX = vOnLeft ? rect.left() : rect.right() - vThick + 1;
    if (showH) {
        const int x = rect.left() + (showV && vOnLeft ? vThick : 0);
        horizontal.bar->setGeometry(x, hY, rect.width() - vThick, hThick);
    }
    if (showV) {
        const int y = rect.top() + (showH && hOnTop ? hThick : 0);
        vertical.bar->setGeometry(vX, y, vThick, rect.height() - hThick);
    }
    if (corner && showH && showV)
        corner->setGeometry(vX, hY, vThick, hThick);
}

void ScrollZoomer::enterZoom(bool zoomed)
{
    QwtPlot *owner = plot();
    if (!owner || zoomed == inZoom)
        return;
    QwtScaleWidget *scales[] = {owner->axisWidget(xAxis()), owner->axisWidget(yAxis())};
    QwtPlotLayout *layout = owner->plotLayout();
    if (zoomed) {
        for (QwtScaleWidget *scale : scales) {
            int start = 0;
            int end = 0;
            scale->getBorderDistHint(start, end);
            scale->setMinBorderDist(start, end);
        }
        for (int axis = 0; axis < QwtPlot::axisCnt; ++axis) {
            savedAlignment[axis] = layout->alignCanvasToScale(axis);
            layout->setAlignCanvasToScale(axis, false);
        }
    } else {
        for (QwtScaleWidget *scale : scales)
            scale->setMinBorderDist(0, 0);
        for (int axis = 0; axis < QwtPlot::axisCnt; ++axis)
            layout->setAlignCanvasToScale(axis, savedAlignment[axis]);
    }
    inZoom = zoomed;
}

void ScrollZoomer::rescale()
{
    enterZoom(zoomRectIndex() > 0);
    QwtPlotZoomer::rescale();
    refreshBars();
}

bool ScrollZoomer::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == canvas()) {
        switch (event->type()) {
        case QEvent::Resize:
            placeBars(canvas()->contentsRect());
            break;
        case QEvent::ChildRemoved: {
            const QObject *child = static_cast<QChildEvent *>(event)->child();
            if (child == corner)
                corner = nullptr;
            else if (child == horizontal.bar)
                horizontal.bar = nullptr;
            else if (child == vertical.bar)
                vertical.bar = nullptr;
            break;
        }
        default:
            break;
        }
    }
    return QwtPlotZoomer::eventFilter(watched, event);
}
