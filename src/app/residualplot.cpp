#include "app/residualplot.h"

#include "app/reportplot.h"

#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QVector>
#include <qwt_interval_symbol.h>
#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_intervalcurve.h>
#include <qwt_symbol.h>

#include <algorithm>

void ResidualPlot::draw(const Data &data, QPainter &painter, const QRectF &area)
{
    QwtPlot plot;
    ReportPlot::dress(
        plot, QStringLiteral("Остаток ± U по градусам и допуск"), QStringLiteral("Остаток, %"));

    QPolygonF points;
    QVector<QwtIntervalSample> bars;
    for (auto it = data.residuals.constBegin(); it != data.residuals.constEnd(); ++it) {
        points << QPointF(it.key(), it.value());
        const auto u = data.uncertainty.constFind(it.key());
        if (u != data.uncertainty.constEnd())
            bars << QwtIntervalSample(it.key(), it.value() - u.value(), it.value() + u.value());
    }
    auto *band = new QwtPlotIntervalCurve(QStringLiteral("± U (k = 2)"));
    band->setStyle(QwtPlotIntervalCurve::NoCurve);
    auto *bar = new QwtIntervalSymbol(QwtIntervalSymbol::Bar);
    bar->setWidth(5);
    bar->setPen(QPen(QColor(0, 0, 200), 1));
    band->setSymbol(bar);
    band->setSamples(bars);
    band->attach(&plot);

    auto *residual = new QwtPlotCurve(QStringLiteral("Остаток"));
    residual->setStyle(QwtPlotCurve::NoCurve);
    residual->setSymbol(
        new QwtSymbol(QwtSymbol::Ellipse, QBrush(QColor(0, 0, 200)), QPen(Qt::NoPen), QSize(5, 5)));
    residual->setLegendAttribute(QwtPlotCurve::LegendShowSymbol);
    residual->setSamples(points);
    residual->attach(&plot);

    // The tolerance band across the degrees shown.
    const double lo = data.residuals.isEmpty() ? -40 : data.residuals.firstKey() - 1;
    const double hi = data.residuals.isEmpty() ? 80 : data.residuals.lastKey() + 1;
    for (const double sign : {1.0, -1.0}) {
        auto *limit = new QwtPlotCurve(
            sign > 0 ? QStringLiteral("Допуск ± %1 %").arg(data.tolerance) : QString());
        limit->setPen(QPen(QColor(200, 0, 0), 2, Qt::DashLine));
        limit->setSamples(QVector<QPointF> {
            QPointF(lo, sign * data.tolerance), QPointF(hi, sign * data.tolerance)});
        limit->setItemAttribute(QwtPlotItem::Legend, sign > 0);
        limit->attach(&plot);
    }

    ReportPlot::paint(plot, painter, area);
}
