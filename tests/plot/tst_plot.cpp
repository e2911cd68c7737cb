#include "app/mainwindow.h"
#include "plot/plot.h"
#include "plot/plotcurve.h"
#include "plot/scrollbar.h"
#include "plot/scrollzoomer.h"
#include "sensors/duts.h"
#include "support/settle.h"
#include "support/tempworkdir.h"

#include <QLineEdit>
#include <QPointer>
#include <QtTest>
#include <qwt_plot_layout.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>

#include <cmath>
#include <optional>

namespace {

QVector<QPointF> points(const QwtPlotCurve *curve)
{
    QVector<QPointF> result;
    for (size_t i = 0; i < curve->dataSize(); ++i)
        result.append(curve->sample(int(i)));
    return result;
}

// What shows of a sensor, as bits of its curve mask (0x10 is the panel's master switch and
// never reaches the plot as a curve of its own).
int shown(const Plot &plot, quint8 s)
{
    bool values = true;
    for (int v = 0; v < Plot::valueCurveCount; ++v)
        values = values && plot.valueCurve(s, v)->isVisible();
    return (values ? 0x01 : 0) | (plot.midlCurve(s)->isVisible() ? 0x02 : 0)
        | (plot.deltaCurve(s)->isVisible() ? 0x04 : 0)
        | (plot.trendCurve(s)->isVisible() ? 0x08 : 0) | (plot.kCurve(s)->isVisible() ? 0x20 : 0);
}

QString axes(const Plot &plot)
{
    return QStringLiteral("%1%2")
        .arg(plot.axisEnabled(QwtPlot::yLeft) ? "L" : "-")
        .arg(plot.axisEnabled(QwtPlot::yRight) ? "R" : "-");
}

std::array<int, 4> margins(const QwtPlot &plot)
{
    const QwtPlotLayout *layout = plot.plotLayout();
    return {layout->canvasMargin(QwtPlot::yLeft), layout->canvasMargin(QwtPlot::yRight),
        layout->canvasMargin(QwtPlot::xBottom), layout->canvasMargin(QwtPlot::xTop)};
}

// Which of the horizontal bar, the vertical bar and their corner show.
QString bars(ScrollZoomer *zoomer)
{
    QString out;
    for (const QWidget *w : {static_cast<QWidget *>(zoomer->horizontalScrollBar()),
             static_cast<QWidget *>(zoomer->verticalScrollBar()), zoomer->cornerWidget()})
        out += w && !w->isHidden() ? '1' : '0';
    return out;
}

void send(Plot &plot, QEvent &&event)
{
    QApplication::sendEvent(plot.canvas(), &event);
}

// A Ctrl left-button event unless told otherwise.
void mouse(Plot &plot, QEvent::Type type, QPoint pixel, Qt::MouseButton button = Qt::LeftButton,
    Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
{
    send(plot, QMouseEvent(type, pixel, button, button, modifiers));
}

// Scales on which a pixel is worth exactly xStep from xFrom and yStep from 0, so that points
// sit on whole pixels and distances come out exact.
void exactScales(Plot &plot, double xFrom, double xStep, double yStep)
{
    for (int round = 0; round < 5; ++round) {
        plot.replot();
        settle();
        const QwtScaleMap x = plot.canvasMap(QwtPlot::xBottom);
        const QwtScaleMap y = plot.canvasMap(QwtPlot::yLeft);
        if (qAbs(x.s1() - xFrom) < 1e-9 && qAbs(x.sDist() - x.pDist() * xStep) < 1e-9
            && y.sDist() == y.pDist() * yStep)
            return;
        plot.setAxisScale(QwtPlot::xBottom, xFrom, xFrom + x.pDist() * xStep);
        plot.setAxisScale(QwtPlot::yLeft, 0, y.pDist() * yStep);
    }
    QFAIL("the scales do not settle");
}

QPoint pixelOf(const Plot &plot, double x, double y)
{
    return QPoint(
        qRound(plot.transform(QwtPlot::xBottom, x)), qRound(plot.transform(QwtPlot::yLeft, y)));
}

// A signal's arguments caught by a spy, as numbers.
QString numbers(const QList<QVariant> &args)
{
    QStringList parts;
    for (const QVariant &arg : args)
        // An int converts to the enum too, but most ints are no kind: read a kind as a kind only.
        parts << QString::number(
            arg.userType() == qMetaTypeId<eTypeData>() ? int(arg.value<eTypeData>()) : arg.toInt());
    return parts.join(' ');
}

} // namespace

class TestPlot : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(dir.emplace().isValid());
        plot.emplace();
        plot->resize(900, 500);
        plot->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*plot));
    }
    void cleanup() { plot.reset(), dir.reset(); }

    // A sensor's setup decides which of its curves show (none while "Отоб." is off) and in which
    // colours; each mask from a panel then sets its sensor's curves, the trend's axis and which
    // y axes are needed by anyone.
    void visibilityColoursAndAxes()
    {
        Plot &chart = *plot;
        auto setup = [&chart](int sensor, uint mask) {
            SensorSetup s;
            s.sensor = sensor;
            s.curveMask = mask;
            s.colors = {0x80112233u, 0xFF000080u, 0xFF9999FFu, 0xFF0000BFu, 0xFF454599u};
            chart.setSetup(s);
        };
        setup(2, 0x3F);
        setup(3, 0x2F);
        setup(4, 0x11);
        QCOMPARE(shown(chart, 0), 0);
        QCOMPARE(shown(chart, 2), 0x2F);
        QCOMPARE(shown(chart, 3), 0);
        QCOMPARE(shown(chart, 4), 0x01);
        // The value colour's alpha is dropped; an update recolours that sensor alone.
        QCOMPARE(chart.valueCurve(3, 0)->symbol()->brush().color().rgba(), 0xFF112233u);
        const QRgb other = chart.midlCurve(2)->pen().color().rgba();
        chart.slUpdatePlotColor(3, 0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C, 0xFF0D0E0F);
        QCOMPARE(chart.valueCurve(3, 254)->symbol()->brush().color().rgba(), 0xFF010203u);
        QCOMPARE(chart.kCurve(3)->pen().color().rgba(), 0xFF0D0E0Fu);
        QCOMPARE(chart.midlCurve(2)->pen().color().rgba(), other);

        struct Step
        {
            quint8 sensor;
            quint8 mask;
            int shows;
            int trendAxis;
            QString axes;
        };
        const QList<Step> steps = {
            // Deviation only: the trend goes to the percent axis; sensor 4's readings keep the
            // left axis.
            {2, 0x04, 0x04, QwtPlot::yRight, "LR"},
            {4, 0x00, 0x00, QwtPlot::yRight, "-R"},
            {2, 0x00, 0x00, QwtPlot::yRight, "--"},
            // Mid values with the trend: raw units on the left; the K curve is bit 5.
            {1, 0x2A, 0x2A, QwtPlot::yLeft, "L-"},
            {1, 0x1F, 0x0F, QwtPlot::yLeft, "LR"},
        };
        for (const Step &step : steps) {
            chart.slSetVisible(step.sensor, step.mask);
            QCOMPARE(shown(chart, step.sensor), step.shows);
            QCOMPARE(chart.trendCurve(step.sensor)->yAxis(), step.trendAxis);
            QCOMPARE(axes(chart), step.axes);
        }
        chart.slSetVisible(6, 0x3F); // no such sensor
        QCOMPARE(axes(chart), QStringLiteral("LR"));
    }

    // Readings sit at their slot's temperature, slots past 249 are not drawn, maps are cut to
    // what a curve holds (that a change of data kind empties every sensor's readings only, the
    // window test counts). The K curve is the sensor's own coefficients in percent.
    void dataSets()
    {
        Dut::ValueSets sets;
        sets[110] = {1005, 1000};
        sets[0] = {7};
        sets[200] = {4294967295u};
        sets[250] = {1};
        plot->setValueCurves(&sets, 5);
        QCOMPARE(points(plot->valueCurve(5, 110)), (QVector<QPointF> {{20, 1000}, {20, 1005}}));
        QCOMPARE(points(plot->valueCurve(5, 0)), (QVector<QPointF> {{-90, 7}}));
        QCOMPARE(points(plot->valueCurve(5, 200)), (QVector<QPointF> {{110, 4294967295.0}}));
        QCOMPARE(plot->valueCurve(5, 250)->dataSize(), size_t(0));
        QCOMPARE(plot->valueCurve(4, 110)->dataSize(), size_t(0));

        const Dut::MidlMap midl {{-3, 10u}, {-40, 4000000000u}, {20, 30u}};
        plot->setMidlCurve(&midl, 1);
        QCOMPARE(points(plot->midlCurve(1)),
            (QVector<QPointF> {{-40, 4000000000.0}, {-3, 10}, {20, 30}}));
        Dut::CurveMap tooLong;
        for (int i = 0; i < 300; ++i)
            tooLong.insert(i, 1.0);
        plot->setDeltaCurve(&tooLong, 0);
        QCOMPARE(plot->deltaCurve(0)->dataSize(), size_t(Plot::maxMapPoints));

        double k[6] = {0.5, 0.01, 0, 0, 0, 1e-10};
        plot->slUpdateK(3, k);
        QCOMPARE(plot->kCurve(3)->dataSize(), size_t(191));
        // At -10 °C: (0.5 - 0.1 - 1e-5) * 100 - 100
        QCOMPARE(plot->kCurve(3)->sample(80).x(), -10.0);
        QVERIFY(qAbs(plot->kCurve(3)->sample(80).y() - (-60.001)) < 1e-9);
        plot->slUpdateK(3, nullptr);
        QCOMPARE(plot->kCurve(3)->dataSize(), size_t(191));
    }

    // The trend and K curves beyond the mid values' lowest and highest degree are drawn
    // dashed and faded, the samples left as they are; the part between them stays solid.
    void extrapolationDrawnDashed()
    {
        const Dut::MidlMap midl {{0, 100u}, {20, 100u}}, none;
        plot->setMidlCurve(&midl, 0);
        plot->setMidlCurve(&none, 1);
        QVERIFY(plot->kCurve(1)->isExtrapolated(10));
        Dut::CurveMap flat;
        for (int t = -90; t <= 100; ++t)
            flat.insert(t, 50.0);
        plot->setTrendCurve(&flat, 0);
        plot->slUpdatePlotColor(0, 0xFF000000, 0xFFFFFFFF, 0xFF000000, 0xFFFF0000, 0xFF000000);
        plot->slSetVisible(0, 0x1A); // beside the mid values: on the left axis
        plot->setAxisScale(QwtPlot::xBottom, -90, 90);
        plot->setAxisScale(QwtPlot::yLeft, 0, 200);
        plot->replot();
        const QImage image = plot->canvas()->grab().toImage();
        // The share of columns with red on the line.
        auto red = [&](double from, double to) {
            const QPoint a = pixelOf(*plot, from, 50), b = pixelOf(*plot, to, 50);
            int count = 0;
            for (int x = a.x(); x <= b.x(); ++x) {
                bool any = false;
                for (int y = a.y() - 1; y <= a.y() + 1; ++y)
                    any = any || qRed(image.pixel(x, y)) > qGreen(image.pixel(x, y)) + 60;
                count += any;
            }
            return double(count) / (b.x() - a.x() + 1);
        };
        QCOMPARE(red(2, 18), 1.0);
        for (const double dashed : {red(-80, -2), red(22, 80)})
            QVERIFY2(dashed > 0.3 && dashed < 0.85, qPrintable(QString::number(dashed)));
    }

    // A trend extrapolated wildly, and a coefficient curve far off, leave the data axes to the
    // readings, mid values and deviations; with no data on its axis a trend is scaled by the
    // degrees it rests on.
    void extrapolationDoesNotScale()
    {
        const Dut::MidlMap midl {{10, 1000u}, {20, 1020u}, {30, 1010u}};
        plot->setMidlCurve(&midl, 0);
        const Dut::CurveMap delta {{10, -2.0}, {20, 0.0}, {30, -1.0}};
        plot->setDeltaCurve(&delta, 0);
        Dut::CurveMap wild;
        for (int t = -90; t <= 100; ++t)
            wild.insert(t, 1000.0 + 0.5 * std::pow(t - 20.0, 5));
        plot->setTrendCurve(&wild, 0);
        double k[6] = {-3e4, 0, 0, 0, 0, 1e-3};
        plot->slUpdateK(0, k);
        auto within = [this](int axis, double low, double high) {
            plot->replot();
            const QwtInterval range = plot->axisInterval(axis);
            return range.minValue() >= low && range.maxValue() <= high;
        };
        plot->slSetVisible(0, 0x2E);
        QVERIFY(within(QwtPlot::yLeft, 900, 1100) && within(QwtPlot::yRight, -10, 10));
        // Alone, the trend goes to the percent axis and is scaled by 10..30 °C only: ±5e4, where
        // -90 °C would reach -8e9.
        plot->slSetVisible(0, 0x08);
        QVERIFY(within(QwtPlot::yRight, -1e5, 1e5));
    }

    // Zoomed in one way, both ways and back: bars along the top and the right edge and canvas
    // margins that come back as they were, also when the zoomer goes away while zoomed in.
    void scrollZoomer()
    {
        ScrollZoomer *zoomer = plot->zoomer();
        const auto base = margins(*plot);
        const QRectF whole = zoomer->zoomBase();

        zoomer->zoom(QRectF(-30, whole.top(), 20, whole.height()));
        ScrollBar *h = zoomer->horizontalScrollBar();
        QCOMPARE(bars(zoomer), QStringLiteral("100"));
        auto zoomedX = base;
        zoomedX[3] += h->thickness();
        QCOMPARE(margins(*plot), zoomedX);
        QVERIFY(qAbs(h->minSliderValue() - -30) < 1e-3 && qAbs(h->maxSliderValue() - -10) < 1e-3);

        zoomer->zoom(QRectF(-20, whole.center().y(), 10, whole.height() / 4));
        ScrollBar *v = zoomer->verticalScrollBar();
        QCOMPARE(bars(zoomer), QStringLiteral("111"));
        QCOMPARE(v->geometry().right(), plot->canvas()->contentsRect().right());
        auto zoomedXY = zoomedX;
        zoomedXY[1] += v->thickness();
        QCOMPARE(margins(*plot), zoomedXY);

        // The vertical slider at its top shows the top of the range, as on the canvas.
        v->setValue(v->minimum());
        QVERIFY(qAbs(zoomer->zoomRect().bottom() - whole.bottom()) < whole.height() * 1e-5);
        QSignalSpy zoomed(zoomer, &QwtPlotZoomer::zoomed);
        h->setValue(h->maximum());
        QCOMPARE(zoomed.count(), 1);
        QVERIFY(qAbs(zoomer->zoomRect().right() - whole.right()) < whole.width() * 1e-5);

        zoomer->zoom(0);
        QCOMPARE(bars(zoomer), QStringLiteral("000"));
        QCOMPARE(margins(*plot), base);

        // Gone while zoomed in: the canvas gets back its margins, and the scales their borders.
        zoomer->zoom(QRectF(-20, whole.center().y(), 10, whole.height() / 4));
        delete zoomer;
        QCOMPARE(margins(*plot), base);
        int start = -1;
        int end = -1;
        plot->axisWidget(QwtPlot::xBottom)->getMinBorderDist(start, end);
        QCOMPARE(start + end, 0);
        QCOMPARE(plot->canvas()->findChildren<ScrollBar *>().size(), 0);

        // A mirrored bar counts from the other end; an empty base divides by nothing.
        ScrollBar bar(0.0, 50.0, Qt::Horizontal);
        bar.moveSlider(10.0, 20.0);
        bar.setMirrored(true);
        QCOMPARE(bar.value(), 700000);
        QCOMPARE(bar.minSliderValue(), 10.0);
        bar.setBase(0.0, 0.0);
        QCOMPARE(bar.pageStep(), ScrollBar::tickCount);
    }

    // Ctrl alone with the left button grabs the nearest point strictly within the radius, of
    // the lower sensor when two coincide, of hidden curves too; each move then asks for the
    // value under the pointer, truncated and never below zero; the release lets go.
    void pickAndDrag()
    {
        exactScales(*plot, -90, 1.0, 0.25);
        const Dut::MidlMap low {{-50, 10u}, {20, 40u}};
        const Dut::MidlMap same {{20, 40u}};
        plot->setMidlCurve(&low, 0);
        plot->setMidlCurve(&same, 3); // both hidden
        QSignalSpy edits(&*plot, &Plot::editMidl);
        const PlotEditor &editor = plot->editor();
        const QPoint point = pixelOf(*plot, 20, 40);

        mouse(*plot, QEvent::MouseButtonPress, point + QPoint(0, 10));
        QVERIFY(!editor.selectedCurve() && editor.selectedIndex() == 0);
        mouse(*plot, QEvent::MouseMove, point);
        mouse(*plot, QEvent::MouseButtonRelease, point);
        QCOMPARE(editor.selectedIndex(), -1);
        mouse(*plot, QEvent::MouseButtonPress, point, Qt::LeftButton,
            Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(editor.selectedIndex(), -1);
        QCOMPARE(edits.count(), 0);

        mouse(*plot, QEvent::MouseButtonPress, point + QPoint(0, 9));
        QCOMPARE(editor.selectedCurve(), plot->midlCurve(0));
        QCOMPARE(editor.selectedIndex(), 1);
        const int zero = qRound(plot->transform(QwtPlot::yLeft, 0));
        mouse(*plot, QEvent::MouseMove, point - QPoint(0, 51)); // 52.75
        // A reading at a new temperature puts a point before the held one.
        const Dut::MidlMap more {{-60, 10u}, {-50, 10u}, {20, 40u}};
        plot->setMidlCurve(&more, 0);
        mouse(*plot, QEvent::MouseMove, QPoint(point.x(), zero + 9)); // -2.25
        mouse(*plot, QEvent::MouseButtonRelease, point);
        mouse(*plot, QEvent::MouseMove, point);
        QCOMPARE(edits.count(), 2);
        QCOMPARE(numbers(edits.at(0)) + '|' + numbers(edits.at(1)), QStringLiteral("0 1 52|0 2 0"));
        QCOMPARE(PlotEditor::rawValue(5e9), 4294967295u);
    }

    // A Ctrl right click asks for a point of sensor 0 at the truncated temperature, with the
    // plot's data kind, and for none where there is no temperature slot. A and D walk the
    // marker along sensor 0's points and stop at the ends; letting go of Alt hides it. A plain
    // right click gives back the whole range and a self-scaling data axis under a new zoomer
    // that has left no bar behind.
    void rightClicksAndMarker()
    {
        const QRectF whole = plot->zoomer()->zoomBase();
        exactScales(*plot, -30, 0.1, 0.25);
        plot->setTypeData(Period);
        QSignalSpy adds(&*plot, &Plot::addMidl);
        const int p1 = qRound(plot->canvasMap(QwtPlot::xBottom).p1());
        const int zero = qRound(plot->transform(QwtPlot::yLeft, 0));
        for (QPoint pixel : {QPoint(p1 + 557, zero - 202), QPoint(p1 + 261, zero + 9),
                 QPoint(p1 + 1600, zero - 202)}) // 25.7 °C 50.5, -3.9 °C -2.25, 130 °C
            mouse(*plot, QEvent::MouseButtonPress, pixel, Qt::RightButton);
        QCOMPARE(adds.count(), 2);
        QCOMPARE(
            numbers(adds.at(0)) + '|' + numbers(adds.at(1)), QStringLiteral("0 25 50 2|0 -3 0 2"));

        const Dut::MidlMap points {{-50, 100u}, {20, 200u}, {60, 1234567u}};
        plot->setMidlCurve(&points, 0);
        QwtPlotMarker *marker = plot->marker();
        plot->setAxisScale(QwtPlot::yLeft, 0, 1500000);
        plot->replot();
        QString walk;
        for (int key : {Qt::Key_A, Qt::Key_D, Qt::Key_D, Qt::Key_D, Qt::Key_A}) {
            send(*plot, QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
            walk += QStringLiteral("%1:%2|")
                        .arg(plot->editor().markerIndex())
                        .arg(marker->label().text());
        }
        // One number format for every point, that of the axes' labels.
        QCOMPARE(walk,
            QStringLiteral("0:|1:20 °C; 200|2:60 °C; 1\u2009234\u2009567|2:60 °C; "
                           "1\u2009234\u2009567|1:20 °C; 200|"));
        exactScales(*plot, -30, 0.1, 0.25);
        // Alt let go in another window leaves the cross-hair; in the plot's window it hides
        // it, wherever the focus is.
        QWidget elsewhere;
        QLineEdit field(&elsewhere);
        QKeyEvent alt(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
        QApplication::sendEvent(&field, &alt);
        QVERIFY(marker->isVisible());
        field.setParent(&*plot);
        QApplication::sendEvent(&field, &alt);
        mouse(*plot, QEvent::MouseMove, QPoint(p1 + 100, zero - 40), Qt::NoButton, {});
        QCOMPARE(marker->value(), QPointF(-20, 10));
        QVERIFY(!marker->isVisible());

        plot->zoomer()->zoom(QRectF(-20, whole.center().y(), 10, whole.height() / 4));
        QPointer<ScrollZoomer> old = plot->zoomer();
        mouse(*plot, QEvent::MouseButtonPress, QPoint(100, 100), Qt::RightButton, {});
        mouse(*plot, QEvent::MouseButtonRelease, QPoint(100, 100), Qt::RightButton, {});
        QVERIFY(old.isNull() && plot->zoomer());
        const QwtScaleDiv &x = plot->axisScaleDiv(QwtPlot::xBottom);
        QCOMPARE(x.interval(), QwtInterval(-90, 90));
        QVERIFY(plot->axisAutoScale(QwtPlot::yLeft));
        QCOMPARE(plot->zoomer()->zoomBase().left(), -90.0);
        QCOMPARE(plot->canvas()->findChildren<ScrollBar *>().size(), 0);
    }

    // Through the window: each step of a drag moves the panel's point and redraws the point
    // and its trend with one render, over readings that are not drawn again; the scales hold
    // until the release. New readings are drawn again. A Ctrl right click adds a point to
    // sensor 0 and shows it at once.
    void dragInWindow()
    {
        plot.reset();
        MainWindow window;
        Plot &chart = *window.plot();
        Duts &panels = *window.sensorBank();
        window.resize(1400, 900);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        for (qint8 t : {10, 20, 30})
            panels.slAddMidl(0, t, quint32(4000 + 100 * t), chart.currentTypeData());
        window.slUpdatePlot(0);
        Dut::ValueSets readings;
        for (int slot = 60; slot < 140; ++slot)
            readings[slot] = {quint32(3000 + slot), quint32(9000 - slot)};
        chart.setValueCurves(&readings, 1);
        window.slSetVisible(0, 0x0A);
        window.slSetVisible(1, 0x01);
        settle();

        const QPoint point = pixelOf(chart, 10, 5000);
        mouse(chart, QEvent::MouseButtonPress, point);
        QVERIFY(!chart.axisAutoScale(QwtPlot::yLeft) && !chart.axisAutoScale(QwtPlot::yRight));
        settle();
        const int renders = chart.renderCount();
        const int layers = chart.valueLayerRenderCount();
        for (int step = 1; step <= 5; ++step) {
            const QPointF trendBefore = chart.trendCurve(0)->sample(0);
            const QPoint to = point - QPoint(0, 20 * step);
            mouse(chart, QEvent::MouseMove, to);
            const quint32 y = quint32(chart.invTransform(QwtPlot::yLeft, to.y()));
            QCOMPARE(panels.getMidl(0)->value(10), y);
            QCOMPARE(chart.midlCurve(0)->sample(0), QPointF(10, y));
            QVERIFY(chart.trendCurve(0)->sample(0) != trendBefore);
            settle();
            QCOMPARE(chart.renderCount(), renders + step);
        }
        QCOMPARE(chart.valueLayerRenderCount(), layers);
        mouse(chart, QEvent::MouseButtonRelease, point);
        QVERIFY(chart.axisAutoScale(QwtPlot::yLeft) && chart.axisAutoScale(QwtPlot::yRight));

        settle();
        const QColor valueColor = chart.valueCurve(1, 60)->pen().color();
        auto colorAt = [&chart](QPoint pixel) {
            return QColor(chart.canvas()->grab().toImage().pixel(pixel));
        };
        QCOMPARE(colorAt(pixelOf(chart, -30, 3060)), valueColor);
        readings[60] = {};
        chart.setValueCurves(&readings, 1);
        chart.requestReplot();
        settle();
        QVERIFY(colorAt(pixelOf(chart, -30, 3060)) != valueColor);

        mouse(chart, QEvent::MouseButtonPress, pixelOf(chart, 50.4, 6000), Qt::RightButton);
        QCOMPARE(panels.getMidl(0)->keys(), (QList<qint8> {10, 20, 30, 50}));
        QCOMPARE(chart.midlCurve(0)->dataSize(), size_t(4));
    }

private:
    std::optional<TempWorkDir> dir;
    std::optional<Plot> plot;
};

QTEST_MAIN(TestPlot)
#include "tst_plot.moc"
