#pragma once

#include <QImage>
#include <QRectF>
#include <QVector>
#include <qwt_plot.h>
#include <qwt_scale_map.h>

#include <array>

class QPainter;
class QwtPlotItem;

// The plot's reading curves drawn once into an image and then put on the canvas as one picture
// on every render, until something that shows in them changes. Their data, visibility and
// colours are changed only through the plot, which says so with invalidate(); a new canvas
// size, pixel ratio or scale of an axis they are drawn on is seen here. The light curves
// (mid values, trend, deviation, K, the marker) are drawn over it as they are.
class ValueLayer
{
public:
    void invalidate() { valid = false; }
    // Puts the curves on the painter, rendering them into the image first when it is out of
    // date. Curves that are hidden or have no points are left out.
    void draw(QPainter *painter, const QRectF &canvasRect, const QwtScaleMap maps[],
        const QVector<QwtPlotItem *> &curves);
    // How often the curves were rendered into the image.
    int renderCount() const { return renders; }

private:
    bool upToDate(const QRectF &canvasRect, qreal ratio, const QwtScaleMap maps[]) const;
    void render(const QRectF &canvasRect, qreal ratio, const QwtScaleMap maps[],
        const QVector<QwtPlotItem *> &curves);

    struct Scale
    {
        static Scale of(const QwtScaleMap &map) { return {map.s1(), map.s2(), map.p1(), map.p2()}; }
        double s1 = 0, s2 = 0, p1 = 0, p2 = 0;
        bool operator==(const Scale &o) const
        {
            return s1 == o.s1 && s2 == o.s2 && p1 == o.p1 && p2 == o.p2;
        }
    };

    QImage image;
    bool valid = false;
    // Nothing shows in the image: it need not be put on the canvas.
    bool empty = true;
    QRectF imageCanvas;
    qreal imageRatio = 1.0;
    std::array<Scale, QwtPlot::axisCnt> scales {};
    // Axes that the curves in the image are drawn on; only their scales matter.
    std::array<bool, QwtPlot::axisCnt> axesUsed {};
    int renders = 0;
};
