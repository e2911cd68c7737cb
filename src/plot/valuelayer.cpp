#include "plot/valuelayer.h"

#include <QPaintDevice>
#include <QPainter>
#include <qwt_plot_item.h>

namespace {

// Symbols of points at the canvas edge reach a little past it.
constexpr qreal kBleed = 8.0;

} // namespace

void ValueLayer::draw(QPainter *painter, const QRectF &canvasRect, const QwtScaleMap maps[],
    const QVector<QwtPlotItem *> &curves)
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    if (!upToDate(canvasRect, ratio, maps))
        render(canvasRect, ratio, maps, curves);
    if (!empty)
        painter->drawImage(canvasRect.topLeft() - QPointF(kBleed, kBleed), image);
}

bool ValueLayer::upToDate(const QRectF &canvasRect, qreal ratio, const QwtScaleMap maps[]) const
{
    if (!valid || canvasRect != imageCanvas || ratio != imageRatio)
        return false;
    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis) {
        if (axesUsed[axis] && !(scales[axis] == Scale::of(maps[axis])))
            return false;
    }
    return true;
}

void ValueLayer::render(const QRectF &canvasRect, qreal ratio, const QwtScaleMap maps[],
    const QVector<QwtPlotItem *> &curves)
{
    const QRectF area = canvasRect.adjusted(-kBleed, -kBleed, kBleed, kBleed);
    const QSize pixels = (area.size() * ratio).toSize();
    if (image.size() != pixels)
        image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);

    // Drawn as the plot draws its items, in canvas coordinates.
    axesUsed.fill(false);
    empty = true;
    QPainter painter(&image);
    painter.translate(-area.topLeft());
    for (QwtPlotItem *item : curves) {
        // Hidden, or without a point (Qwt's bounding rectangle of no points is negative).
        if (!item->isVisible() || item->boundingRect().width() < 0)
            continue;
        empty = false;
        axesUsed[item->xAxis()] = true;
        axesUsed[item->yAxis()] = true;
        painter.save();
        painter.setRenderHint(
            QPainter::Antialiasing, item->testRenderHint(QwtPlotItem::RenderAntialiased));
        item->draw(&painter, maps[item->xAxis()], maps[item->yAxis()], canvasRect);
        painter.restore();
    }
    painter.end();

    for (int axis = 0; axis < QwtPlot::axisCnt; ++axis)
        scales[axis] = Scale::of(maps[axis]);
    imageCanvas = canvasRect;
    imageRatio = ratio;
    valid = true;
    ++renders;
}
