#include "plot/plot.h"

#include "fit/polynomial.h"
#include "plot/altrelease.h"
#include "plot/axisscaledraw.h"
#include "plot/picker.h"
#include "plot/plotcurve.h"
#include "plot/scrollzoomer.h"

#include <QFont>
#include <QPainter>
#include <QPen>
#include <QTimer>
#include <qwt_picker_machine.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_marker.h>
#include <qwt_symbol.h>
#include <qwt_text.h>

#include <algorithm>

namespace {

constexpr int kFirstTemp = -90;
constexpr int kLastTemp = 100;
constexpr double kAxisMin = -90.0;
constexpr double kAxisMax = 90.0;
constexpr double kAxisStep = 10.0;

QwtSymbol *diamond(QRgb color, int size)
{
    auto *symbol = new QwtSymbol(QwtSymbol::Diamond);
    symbol->setSize(size, size);
    // Outline and fill alike; Qwt's own colour setter fills a diamond but leaves it outlined in
    // black.
    symbol->setBrush(QColor(color));
    symbol->setPen(QColor(color), 0.0, Qt::SolidLine);
    return symbol;
}

QwtText titleText(const QString &text)
{
    QwtText title(text);
    QFont font = title.font();
    font.setPixelSize(10);
    title.setFont(font);
    return title;
}

const QString kCurveTitle = QStringLiteral(" ");

} // namespace

Plot::Plot(QWidget *parent)
    : QwtPlot(parent)
{
    setObjectName(QStringLiteral("Plot"));

    setAxisTitle(xBottom, titleText(QStringLiteral("Температура, С°")));
    setAxisTitle(yRight, titleText(QStringLiteral("Отклонение, %")));
    setAxisTitle(yLeft, titleText(QStringLiteral("Данные")));
    enableAxis(yRight);
    // One number format per axis, whatever the magnitude and the locale.
    for (int axis : {yLeft, yRight, xBottom})
        setAxisScaleDraw(axis, new AxisScaleDraw());
    setAxisScale(xBottom, kAxisMin, kAxisMax, kAxisStep);
    setAxisAutoScale(yLeft);
    setAxisAutoScale(yRight);

    // A replot asks the canvas for an update, which Qt merges with the others of the same turn;
    // nothing here paints synchronously.
    auto *plotCanvas = new QwtPlotCanvas();
    plotCanvas->setObjectName(QStringLiteral("canvas"));
    plotCanvas->setPaintAttribute(QwtPlotCanvas::ImmediatePaint, false);
    setCanvas(plotCanvas);

    m_marker = new QwtPlotMarker();
    m_marker->setLabel(QwtText(QString()));
    m_marker->setLabelAlignment(Qt::AlignLeft | Qt::AlignBottom);
    m_marker->setLabelOrientation(Qt::Horizontal);
    m_marker->setLineStyle(QwtPlotMarker::Cross);
    m_marker->setLinePen(QPen(Qt::black, 0.0, Qt::SolidLine));
    m_marker->setValue(20.0, 200.0);
    m_marker->setVisible(true);
    m_marker->attach(this);

    m_zoomer = new ScrollZoomer(canvas());
    m_zoomer->setRubberBandPen(QPen(Qt::white));

    const QRgb color = SensorSetup::defaultColor;
    for (quint8 s = 0; s < sensorCount; ++s) {
        trendCurves.append(new PlotCurve(kCurveTitle, color));
        deltaCurves.append(new PlotCurve(kCurveTitle, color));
        kCurves.append(new PlotCurve(kCurveTitle, color));
        midlCurves.append(new PlotCurve(kCurveTitle, color));

        valueCurves[s].reserve(valueCurveCount);
        for (int v = 0; v < valueCurveCount; ++v) {
            auto *curve = new PlotCurve(kCurveTitle, color);
            curve->setStyle(QwtPlotCurve::NoCurve);
            curve->setSymbol(diamond(color, 8));
            curve->attach(this);
            curve->setVisible(false);
            valueCurves[s].append(curve);
            valueItems.append(curve);
            valueItemSet.insert(curve);
        }
    }
    for (int s = 0; s < sensorCount; ++s) {
        midlCurves[s]->setStyle(QwtPlotCurve::Lines);
        midlCurves[s]->setSymbol(diamond(midlCurves[s]->pen().color().rgb(), 10));
        midlCurves[s]->attach(this);
        midlCurves[s]->setVisible(false);
    }
    for (const QVector<PlotCurve *> *curves : {&trendCurves, &deltaCurves, &kCurves}) {
        for (PlotCurve *curve : *curves) {
            curve->setStyle(QwtPlotCurve::Lines);
            curve->setYAxis(yRight);
            curve->attach(this);
            curve->setVisible(false);
        }
    }

    auto *picker
        = new Picker(xBottom, yLeft, QwtPicker::CrossRubberBand, QwtPicker::AlwaysOn, canvas());
    picker->setRubberBandPen(QPen(Qt::red));
    picker->setTrackerPen(QPen(Qt::black));
    picker->setStateMachine(new QwtPickerDragPointMachine());

    connect(new AltRelease(this), &AltRelease::released, this, [this] {
        if (m_marker->isVisible()) {
            m_marker->setVisible(false);
            requestReplot();
        }
    });

    replotTimer = new QTimer(this);
    replotTimer->setSingleShot(true);
    replotTimer->setInterval(0);
    connect(replotTimer, &QTimer::timeout, this, &Plot::replotNow);
}

void Plot::setSetup(const SensorSetup &setup)
{
    if (setup.sensor < 0 || setup.sensor >= sensorCount)
        return;
    const quint8 nomDut = quint8(setup.sensor);
    const auto &c = setup.colors;
    slUpdatePlotColor(nomDut, c[ColorValue], c[ColorMidl], c[ColorDelta], c[ColorTrend], c[ColorK]);
    slSetVisible(nomDut, setup.curveMask & CurveAll ? quint8(setup.curveMask) : 0);
}

PlotCurve *Plot::valueCurve(quint8 nomDut, int slot) const
{
    if (nomDut >= sensorCount || slot < 0 || slot >= valueCurveCount)
        return nullptr;
    return valueCurves[nomDut].at(slot);
}

int Plot::midlSensor(const QwtPlotItem *item) const
{
    for (int s = 0; s < midlCurves.size(); ++s) {
        if (midlCurves.at(s) == item)
            return s;
    }
    return -1;
}

bool Plot::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == canvas() && m_editor.handle(event))
        return true;
    return QwtPlot::eventFilter(watched, event);
}

void Plot::resetView()
{
    setAxisScale(xBottom, kAxisMin, kAxisMax, kAxisStep);
    setAxisAutoScale(yLeft);
    // The old zoomer takes its bars and their margins with it; the new one replots and takes
    // the scales it finds as its base.
    delete m_zoomer;
    m_zoomer = new ScrollZoomer(canvas());
    m_zoomer->setRubberBandPen(QPen(Qt::white));
    requestReplot();
}

void Plot::drawCanvas(QPainter *painter)
{
    ++renders;
    paintingCanvas = true;
    QwtPlot::drawCanvas(painter);
    paintingCanvas = false;
}

void Plot::drawItems(
    QPainter *painter, const QRectF &canvasRect, const QwtScaleMap maps[axisCnt]) const
{
    // A picture or print of the plot gets every curve drawn as itself.
    if (!paintingCanvas) {
        QwtPlot::drawItems(painter, canvasRect, maps);
        return;
    }
    bool layerDrawn = false;
    for (QwtPlotItem *item : itemList()) {
        if (valueItemSet.contains(item)) {
            // All reading curves at the place of the first of them among the items.
            if (!layerDrawn)
                valueLayer.draw(painter, canvasRect, maps, valueItems);
            layerDrawn = true;
            continue;
        }
        if (!item->isVisible())
            continue;
        painter->save();
        painter->setRenderHint(
            QPainter::Antialiasing, item->testRenderHint(QwtPlotItem::RenderAntialiased));
        item->draw(painter, maps[item->xAxis()], maps[item->yAxis()], canvasRect);
        painter->restore();
    }
}

void Plot::requestReplot()
{
    if (!replotTimer->isActive())
        replotTimer->start();
}

void Plot::replotNow()
{
    replotTimer->stop();
    replot();
}

void Plot::replot()
{
    fitScalesToData();
    QwtPlot::replot();
}

void Plot::fitScalesToData()
{
    // Also called while the plot is being built (the zoomer replots), before all its curves are.
    std::array<bool, axisCnt> data {};
    auto mark = [&data](const QwtPlotCurve *curve) {
        if (curve->isVisible() && curve->dataSize() > 0)
            data[curve->yAxis()] = true;
    };
    for (const QVector<PlotCurve *> &curves : {midlCurves, deltaCurves}) {
        for (const PlotCurve *curve : curves)
            mark(curve);
    }
    for (const QVector<PlotCurve *> &curves : valueCurves) {
        if (curves.isEmpty() || !curves.first()->isVisible() || data[curves.first()->yAxis()])
            continue;
        for (const PlotCurve *curve : curves)
            mark(curve);
    }
    for (const QVector<PlotCurve *> &curves : {trendCurves, kCurves}) {
        for (PlotCurve *fitted : curves)
            fitted->setItemAttribute(QwtPlotItem::AutoScale, !data[fitted->yAxis()]);
    }
}

void Plot::setValueCurves(const Dut::ValueSets *sets, quint8 nomDut)
{
    if (nomDut >= sensorCount)
        return;
    QVector<double> xs;
    QVector<double> ys;
    for (int v = 0; v < drawnSlots; ++v) {
        PlotCurve *curve = valueCurves[nomDut].at(v);
        if (!sets) {
            curve->setSamples(QVector<QPointF>());
            continue;
        }
        const Dut::ValueSet &set = (*sets)[v];
        const int count = int(std::min<size_t>(set.size(), maxValuePoints));
        xs.fill(double(v + kFirstTemp), count);
        ys.resize(count);
        std::copy_n(set.cbegin(), count, ys.begin());
        curve->setSamples(xs.constData(), ys.constData(), count);
    }
    valueLayer.invalidate();
}

void Plot::setMidlCurve(const Dut::MidlMap *map, quint8 nomDut)
{
    PlotCurve *curve = midlCurve(nomDut);
    if (!curve)
        return;
    QVector<QPointF> points;
    if (map) {
        points.reserve(std::min(map->size(), maxMapPoints));
        for (auto it = map->constBegin(); it != map->constEnd() && points.size() < maxMapPoints;
             ++it)
            points.append(QPointF(it.key(), it.value()));
    }
    curve->setSamples(points);
    // The trend is fitted through these mid values, and the written coefficients stand for
    // the degrees they cover: beyond the lowest and the highest both are extrapolations.
    for (PlotCurve *fitted : {trendCurve(nomDut), kCurve(nomDut)}) {
        if (points.isEmpty())
            fitted->setNoSupport();
        else
            fitted->setSupport(points.constFirst().x(), points.constLast().x());
    }
    requestReplot();
}

void Plot::setMapCurve(PlotCurve *curve, const Dut::CurveMap *map)
{
    QVector<QPointF> points;
    if (map) {
        points.reserve(std::min(map->size(), maxMapPoints));
        for (auto it = map->constBegin(); it != map->constEnd() && points.size() < maxMapPoints;
             ++it)
            points.append(QPointF(it.key(), it.value()));
    }
    curve->setSamples(points);
}

void Plot::setTrendCurve(const Dut::CurveMap *map, quint8 nomDut)
{
    if (PlotCurve *curve = trendCurve(nomDut)) {
        setMapCurve(curve, map);
        requestReplot();
    }
}

void Plot::setDeltaCurve(const Dut::CurveMap *map, quint8 nomDut)
{
    if (PlotCurve *curve = deltaCurve(nomDut)) {
        setMapCurve(curve, map);
        requestReplot();
    }
}

void Plot::clearValueCurves()
{
    for (const QVector<PlotCurve *> &curves : valueCurves) {
        for (PlotCurve *curve : curves)
            curve->setSamples(QVector<QPointF>());
    }
    valueLayer.invalidate();
}

void Plot::slUpdateK(quint8 nomDut, double *readK)
{
    PlotCurve *curve = kCurve(nomDut);
    if (!curve || !readK)
        return;
    QVector<QPointF> points;
    points.reserve(kLastTemp - kFirstTemp + 1);
    for (int t = kFirstTemp; t <= kLastTemp; ++t)
        points.append(QPointF(t, Polynomial::at(readK, 6, t) * 100.0 - 100.0));
    curve->setSamples(points);
    requestReplot();
}

void Plot::slSetVisible(quint8 nomDut, quint8 en)
{
    if (nomDut >= sensorCount)
        return;
    for (PlotCurve *curve : qAsConst(valueCurves[nomDut]))
        curve->setVisible(en & CurveValue);
    valueLayer.invalidate();
    midlCurves[nomDut]->setVisible(en & CurveMidl);
    // The panel draws the trend in raw units beside readings or mid values, else in percent.
    trendCurves[nomDut]->setYAxis(en & (CurveValue | CurveMidl) ? yLeft : yRight);
    deltaCurves[nomDut]->setVisible(en & CurveDelta);

    bool right = false;
    bool left = false;
    for (int s = 0; s < sensorCount; ++s) {
        right = right || deltaCurves[s]->isVisible();
        left = left || valueCurves[s].first()->isVisible() || midlCurves[s]->isVisible();
    }
    enableAxis(yRight, right);
    enableAxis(yLeft, left);

    trendCurves[nomDut]->setVisible(en & CurveTrend);
    kCurves[nomDut]->setVisible(en & CurveK);
    requestReplot();
}

void Plot::slUpdatePlotColor(quint8 nomDut, QRgb value, QRgb midl, QRgb delta, QRgb trend, QRgb k)
{
    if (nomDut >= sensorCount)
        return;
    for (PlotCurve *curve : qAsConst(valueCurves[nomDut])) {
        curve->setPen(QColor(value), 0.0, Qt::SolidLine);
        curve->setSymbol(diamond(value, 6));
    }
    valueLayer.invalidate();
    midlCurves[nomDut]->setPen(QColor(midl), 0.0, Qt::SolidLine);
    midlCurves[nomDut]->setSymbol(diamond(midl, 8));
    deltaCurves[nomDut]->setPen(QColor(delta), 0.0, Qt::SolidLine);
    trendCurves[nomDut]->setPen(QColor(trend), 0.0, Qt::SolidLine);
    kCurves[nomDut]->setPen(QColor(k), 0.0, Qt::SolidLine);
    requestReplot();
}
