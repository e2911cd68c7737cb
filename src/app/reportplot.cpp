#include "app/reportplot.h"

#include "fit/polynomial.h"
#include "plot/plotcurve.h"

#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <qwt_legend.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_renderer.h>
#include <qwt_symbol.h>
#include <qwt_text.h>

#include <algorithm>
#include <iterator>

namespace {

// A curve owned by the plot it is attached to.
QwtPlotCurve *addCurve(QwtPlot &plot, const QString &title, const QColor &color, int yAxis)
{
    auto *curve = new QwtPlotCurve(title);
    curve->setPen(QPen(color, 2));
    curve->setRenderHint(QwtPlotItem::RenderAntialiased);
    curve->setYAxis(yAxis);
    curve->attach(&plot);
    return curve;
}

} // namespace

void ReportPlot::dress(QwtPlot &plot, const QString &title, const QString &leftTitle)
{
    plot.setAutoFillBackground(true);
    plot.setPalette(Qt::white);
    plot.setCanvasBackground(Qt::white);
    plot.setTitle(title);
    plot.setAxisTitle(QwtPlot::xBottom, QStringLiteral("Температура, °C"));
    plot.setAxisTitle(QwtPlot::yLeft, leftTitle);
    plot.insertLegend(new QwtLegend(&plot), QwtPlot::BottomLegend);
    auto *grid = new QwtPlotGrid;
    grid->setPen(QColor(220, 220, 220), 0, Qt::DotLine);
    grid->attach(&plot);
}

void ReportPlot::draw(const Data &data, QPainter &painter, const QRectF &area)
{
    QwtPlot plot;
    dress(plot, data.title, QStringLiteral("Среднее значение"));
    plot.enableAxis(QwtPlot::yRight);
    plot.setAxisTitle(QwtPlot::yRight, QStringLiteral("Отклонение, %"));

    QPolygonF mids;
    for (auto it = data.midl.constBegin(); it != data.midl.constEnd(); ++it)
        mids << QPointF(it.key(), it.value());
    QwtPlotCurve *midCurve
        = addCurve(plot, QStringLiteral("Средние"), QColor(0, 0, 200), QwtPlot::yLeft);
    midCurve->setStyle(QwtPlotCurve::NoCurve);
    midCurve->setSymbol(
        new QwtSymbol(QwtSymbol::Ellipse, QBrush(QColor(0, 0, 200)), QPen(Qt::NoPen), QSize(5, 5)));
    midCurve->setLegendAttribute(QwtPlotCurve::LegendShowSymbol);
    midCurve->setSamples(mids);

    const auto reference = data.midl.constFind(qint8(20));
    if (reference != data.midl.constEnd()) {
        QPolygonF trend;
        const int lo = std::min(data.rangeMin, data.rangeMax);
        const int hi = std::max(data.rangeMin, data.rangeMax);
        for (int t = lo; t <= hi; ++t) {
            trend << QPointF(t, Polynomial::at(data.k, t) * reference.value());
        }
        // Dashed beyond the degrees the data covers, as in the window.
        auto *curve = new PlotCurve(QStringLiteral("Полином K0..K5"), qRgb(200, 0, 0));
        curve->setPen(QPen(QColor(200, 0, 0), 2));
        curve->setRenderHint(QwtPlotItem::RenderAntialiased);
        const auto first = data.midl.lowerBound(qint8(lo));
        const auto last = data.midl.upperBound(qint8(hi));
        if (first == last)
            curve->setNoSupport();
        else
            curve->setSupport(first.key(), std::prev(last).key());
        curve->setSamples(trend);
        curve->attach(&plot);
    }

    QPolygonF delta;
    for (auto it = data.delta.constBegin(); it != data.delta.constEnd(); ++it)
        delta << QPointF(it.key(), it.value());
    addCurve(plot, QStringLiteral("Отклонение от +20 °C, %"), QColor(0, 150, 0), QwtPlot::yRight)
        ->setSamples(delta);

    paint(plot, painter, area);
}

void ReportPlot::paint(QwtPlot &plot, QPainter &painter, const QRectF &area)
{
    plot.resize(area.size().toSize());
    plot.replot();
    QwtPlotRenderer renderer;
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardBackground, false);
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardCanvasFrame, true);
    renderer.render(&plot, &painter, area);
}
