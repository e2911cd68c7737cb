#include "plot/plotcurve.h"

#include <QPainter>
#include <QPen>
#include <qwt_plot.h>

#include <algorithm>
#include <cmath>

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

void PlotCurve::setSupport(double lo, double hi)
{
    support = Support::Span;
    supportLo = qMin(lo, hi);
    supportHi = qMax(lo, hi);
}

void PlotCurve::setNoSupport()
{
    support = Support::None;
}

bool PlotCurve::isExtrapolated(double x) const
{
    switch (support) {
    case Support::All:
        return false;
    case Support::None:
        return true;
    case Support::Span:
        break;
    }
    return x < supportLo || x > supportHi;
}

QRectF PlotCurve::boundingRect() const
{
    if (support == Support::All)
        return QwtPlotCurve::boundingRect();
    double left = 0;
    double right = -1;
    double bottom = 0;
    double top = -1;
    bool any = false;
    for (size_t i = 0; i < dataSize(); ++i) {
        const QPointF p = sample(int(i));
        if (isExtrapolated(p.x()) || !std::isfinite(p.y()))
            continue;
        if (!any) {
            left = right = p.x();
            bottom = top = p.y();
            any = true;
            continue;
        }
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        bottom = std::min(bottom, p.y());
        top = std::max(top, p.y());
    }
    if (!any)
        return QRectF(1.0, 1.0, -2.0, -2.0);
    return QRectF(left, bottom, right - left, top - bottom);
}

void PlotCurve::drawCurve(QPainter *painter, int style, const QwtScaleMap &xMap,
    const QwtScaleMap &yMap, const QRectF &canvasRect, int from, int to) const
{
    if (support == Support::All || style == NoCurve || from >= to) {
        QwtPlotCurve::drawCurve(painter, style, xMap, yMap, canvasRect, from, to);
        return;
    }
    // The samples run in ascending temperature: a dashed piece below the backed degrees, the
    // backed piece, a dashed piece above. Neighbouring pieces share their end sample, so the
    // line has no gap.
    int first = from;
    while (first <= to && isExtrapolated(sample(first).x()))
        ++first;
    int last = first;
    while (last + 1 <= to && !isExtrapolated(sample(last + 1).x()))
        ++last;
    const bool backed = first <= to && !isExtrapolated(sample(first).x());

    QPen extrapolated = painter->pen();
    extrapolated.setStyle(Qt::DashLine);
    QColor faded = extrapolated.color();
    faded.setAlphaF(faded.alphaF() * 0.6);
    extrapolated.setColor(faded);
    auto piece = [&](int a, int b, bool dashed) {
        if (a >= b)
            return;
        painter->save();
        if (dashed)
            painter->setPen(extrapolated);
        QwtPlotCurve::drawCurve(painter, style, xMap, yMap, canvasRect, a, b);
        painter->restore();
    };
    if (!backed) {
        piece(from, to, true);
        return;
    }
    piece(from, first, true);
    piece(first, last, false);
    piece(last, to, true);
}
