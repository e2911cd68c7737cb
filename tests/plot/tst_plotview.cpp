#include "plot/axisscaledraw.h"
#include "plot/plot.h"
#include "plot/plotcurve.h"
#include "plot/plotpicture.h"
#include "plot/scrollbar.h"
#include "plot/scrollzoomer.h"
#include "sensors/dut.h"
#include "support/plotprobe.h"
#include "support/tempworkdir.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>
#include <qwt_plot_layout.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <cmath>
#include <optional>

namespace {

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

// One thing done to the view at random: readings of another magnitude, a rubber band, a step
// out or back to a self-scaling data axis, a wheel step on a bar or a drag of its slider.
void changeViewAtRandom(Plot &plot, QRandomGenerator &random)
{
    auto uniform = [&random](double low, double high) {
        return low + (high - low) * random.generateDouble();
    };
    ScrollZoomer *zoomer = plot.zoomer();
    ScrollBar *bars[] = {zoomer->horizontalScrollBar(), zoomer->verticalScrollBar()};
    ScrollBar *bar = bars[random.bounded(2)];
    switch (random.bounded(5)) {
    case 0: { // readings of another magnitude rescale the data axis at the base
        const double top = std::pow(10.0, uniform(0, 7));
        const Dut::MidlMap map {{-40, quint32(top / 3)}, {20, quint32(top)}};
        plot.setMidlCurve(&map, 0);
        break;
    }
    case 1: { // a rubber band drawn on what the canvas shows
        const QwtScaleMap x = plot.canvasMap(QwtPlot::xBottom);
        const QwtScaleMap y = plot.canvasMap(QwtPlot::yLeft);
        const double x1 = uniform(x.s1(), x.s2());
        const double y1 = uniform(y.s1(), y.s2());
        zoomer->zoom(QRectF(x1, y1, uniform(0, x.s2() - x1), uniform(0, y.s2() - y1)));
        break;
    }
    case 2: // out by one, or back to a self-scaling data axis (a plain right click)
        if (random.bounded(2))
            zoomer->zoom(-1);
        else
            plot.resetView();
        break;
    case 3:
        if (bar && !bar->isHidden()) {
            QWheelEvent wheel(QPointF(2, 2), bar->mapToGlobal(QPoint(2, 2)), QPoint(),
                QPoint(0, random.bounded(2) ? 120 : -120), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
            QApplication::sendEvent(bar, &wheel);
        }
        break;
    default:
        if (bar && !bar->isHidden()) {
            bar->setSliderDown(true);
            for (int i = 0; i < 3; ++i)
                bar->setSliderPosition(int(uniform(bar->minimum() - 1000, bar->maximum() + 1000)));
            bar->setSliderDown(false);
        }
    }
}

// What is wrong with the view, if anything: it leaves the zoom base, the axes do not show it,
// or a bar it needs is missing or shows other than its axis.
QString viewFault(const Plot &plot)
{
    ScrollZoomer *zoomer = plot.zoomer();
    const QRectF base = zoomer->zoomBase();
    const QRectF now = zoomer->zoomRect();
    const double slackX = base.width() * 1e-6;
    const double slackY = base.height() * 1e-6;
    if (now.left() < base.left() - slackX || now.right() > base.right() + slackX
        || now.top() < base.top() - slackY || now.bottom() > base.bottom() + slackY)
        return QStringLiteral("the view leaves the base");
    if (zoomer->zoomRectIndex() == 0)
        return QString();
    const QwtInterval x = plot.axisInterval(QwtPlot::xBottom);
    const QwtInterval y = plot.axisInterval(QwtPlot::yLeft);
    if (qAbs(x.minValue() - now.left()) > slackX || qAbs(y.maxValue() - now.bottom()) > slackY)
        return QStringLiteral("the axes do not show the view");
    const std::pair<ScrollBar *, QwtInterval> shownBars[]
        = {{zoomer->horizontalScrollBar(), x}, {zoomer->verticalScrollBar(), y}};
    for (const auto &[bar, axis] : shownBars) {
        const bool horizontal = bar == zoomer->horizontalScrollBar();
        const bool needed = horizontal ? now.width() < base.width() - 2 * slackX
                                       : now.height() < base.height() - 2 * slackY;
        if (needed && (!bar || bar->isHidden()))
            return QStringLiteral("a needed bar is missing");
        if (!bar || bar->isHidden())
            continue;
        const double slack = (horizontal ? base.width() : base.height()) * 2e-6;
        if (qAbs(bar->minSliderValue() - axis.minValue()) > slack
            || qAbs(bar->maxSliderValue() - axis.maxValue()) > slack)
            return QStringLiteral("a bar shows other than its axis");
    }
    return QString();
}

} // namespace

// What the plot shows of its scales: the axes' labels and what they make room for, the view kept
// inside the data by the zoomer and its bars, and the picture saved for a report.
class TestPlotView : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(dir.emplace().isValid());
        QVERIFY(showPlot(plot));
    }
    void cleanup() { plot.reset(), dir.reset(); }

    // Every label of an axis in one format: grouped plain digits with one count of decimals
    // below 10^7, one common exponent above; the cross-hair writes its numbers alike.
    void axisLabelFormat()
    {
        const QRegularExpression plain(QStringLiteral("^-?\\d{1,3}(\u2009\\d{3})*(\\.\\d+)?$"));
        for (const auto &[low, high] : {std::pair {800000.0, 1400000.0}, {0.0, 0.003}, {-2.5, 1.0},
                 {9e6, 1.2e7}, {1e9, 3e9}, {-5e8, 5e8}}) {
            for (int axis : {QwtPlot::yLeft, QwtPlot::yRight}) {
                plot->setAxisScale(axis, low, high);
                plot->replot();
                QStringList labels;
                for (double tick : plot->axisScaleDiv(axis).ticks(QwtScaleDiv::MajorTick))
                    labels << plot->axisScaleDraw(axis)->label(tick).text();
                QSet<int> decimals;
                QSet<QString> exponents;
                for (const QString &label : labels) {
                    const int e = label.indexOf('e');
                    const QString mantissa = e < 0 ? label : label.left(e);
                    exponents << (e < 0 ? QString() : label.mid(e));
                    QVERIFY2(plain.match(mantissa).hasMatch(), qPrintable(labels.join('|')));
                    decimals << (mantissa.contains('.') ? mantissa.size() - mantissa.indexOf('.')
                                                        : 0);
                }
                QVERIFY2(
                    decimals.size() == 1 && exponents.size() == 1, qPrintable(labels.join('|')));
                QCOMPARE(exponents.values().first().isEmpty(), high < 1e7 && low > -1e7);
            }
        }
        QCOMPARE(AxisScaleDraw::text(-1234567.0, {0, 0}), QStringLiteral("-1\u2009234\u2009567"));
        QCOMPARE(AxisScaleDraw::text(-0.001, {1, 0}), QStringLiteral("0.0"));
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

    // Zoomed in one way, both ways and back: bars along the top and the right edge, with their
    // corner when both show, and canvas margins grown by their thickness and then as they were.
    void zoomShowsBarsAndMakesRoom()
    {
        ScrollZoomer *zoomer = plot->zoomer();
        const auto base = margins(*plot);
        const QRectF whole = zoomer->zoomBase();
        zoomer->zoom(QRectF(-30, whole.top(), 20, whole.height()));
        ScrollBar *h = zoomer->horizontalScrollBar();
        QCOMPARE(bars(zoomer), QStringLiteral("100"));
        auto zoomed = base;
        zoomed[3] += h->thickness();
        QCOMPARE(margins(*plot), zoomed);
        QVERIFY(qAbs(h->minSliderValue() - -30) < 1e-3 && qAbs(h->maxSliderValue() - -10) < 1e-3);

        zoomer->zoom(QRectF(-20, whole.center().y(), 10, whole.height() / 4));
        ScrollBar *v = zoomer->verticalScrollBar();
        QCOMPARE(bars(zoomer), QStringLiteral("111"));
        QCOMPARE(v->geometry().right(), plot->canvas()->contentsRect().right());
        zoomed[1] += v->thickness();
        QCOMPARE(margins(*plot), zoomed);
        zoomer->zoom(0);
        QCOMPARE(bars(zoomer), QStringLiteral("000"));
        QCOMPARE(margins(*plot), base);
    }

    // The vertical slider at its top shows the top of the range, as on the canvas; a slider
    // moved zooms once.
    void slidersMoveTheView()
    {
        ScrollZoomer *zoomer = plot->zoomer();
        const QRectF whole = zoomer->zoomBase();
        zoomer->zoom(QRectF(-20, whole.center().y(), 10, whole.height() / 4));
        ScrollBar *v = zoomer->verticalScrollBar();
        v->setValue(v->minimum());
        QVERIFY(qAbs(zoomer->zoomRect().bottom() - whole.bottom()) < whole.height() * 1e-5);
        QSignalSpy zoomed(zoomer, &QwtPlotZoomer::zoomed);
        ScrollBar *h = zoomer->horizontalScrollBar();
        h->setValue(h->maximum());
        QCOMPARE(zoomed.count(), 1);
        QVERIFY(qAbs(zoomer->zoomRect().right() - whole.right()) < whole.width() * 1e-5);
    }

    // A zoomer gone while zoomed in: the canvas gets back its margins, and the scales their
    // borders.
    void zoomerGoneWhileZoomedIn()
    {
        const auto base = margins(*plot);
        ScrollZoomer *zoomer = plot->zoomer();
        const QRectF whole = zoomer->zoomBase();
        zoomer->zoom(QRectF(-20, whole.center().y(), 10, whole.height() / 4));
        delete zoomer;
        QCOMPARE(margins(*plot), base);
        int start = -1;
        int end = -1;
        plot->axisWidget(QwtPlot::xBottom)->getMinBorderDist(start, end);
        QCOMPARE(start + end, 0);
        QCOMPARE(plot->canvas()->findChildren<ScrollBar *>().size(), 0);
    }

    // A mirrored bar counts from the other end; an empty base divides by nothing.
    void mirroredBarAndEmptyBase()
    {
        ScrollBar bar(0.0, 50.0, Qt::Horizontal);
        bar.moveSlider(10.0, 20.0);
        bar.setMirrored(true);
        QCOMPARE(bar.value(), 700000);
        QCOMPARE(bar.minSliderValue(), 10.0);
        bar.setBase(0.0, 0.0);
        QCOMPARE(bar.pageStep(), ScrollBar::tickCount);
    }

    // Random zooms, wheel steps on the bars, bar drags and new data between them: the view
    // stays inside the zoom base, the axes show the view, and every shown bar shows its axis.
    void zoomAndScrollKeepTheViewInside()
    {
        QRandomGenerator random(24);
        plot->slSetVisible(0, 0x02);
        for (int step = 0; step < 400; ++step) {
            changeViewAtRandom(*plot, random);
            plot->replot();
            const QString fault = viewFault(*plot);
            QVERIFY2(
                fault.isEmpty(), qPrintable(QStringLiteral("step %1: %2").arg(step).arg(fault)));
        }
    }

    // The saved picture: white, a title with the date and time, a legend entry per shown
    // sensor in its colour, and the window's cross-hair still there afterwards.
    void pictureForReport()
    {
        plot->slSetVisible(2, 0x02);
        SensorSetup two;
        two.sensor = 2;
        two.colors[ColorValue] = 0x00123456;
        const PlotPicture::Legend legend = PlotPicture::legendOf(*plot, {SensorSetup(), two});
        QCOMPARE(legend.size(), 1);
        QCOMPARE(legend.first().text, QStringLiteral("ДУТ 2, адрес off"));
        QCOMPARE(legend.first().color.rgb(), 0xFF123456u);

        QImage image(800, 450, QImage::Format_ARGB32);
        {
            QPainter painter(&image);
            PlotPicture::draw(*plot, painter, image.rect(), legend, QDateTime::currentDateTime());
        }
        QVERIFY(plot->marker()->isVisible());
        QCOMPARE(QColor(image.pixel(2, 2)), QColor(Qt::white));
        auto count = [&image](int top, int bottom, auto &&match) {
            int n = 0;
            for (int y = top; y < bottom; ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += match(QColor(image.pixel(x, y)));
            return n;
        };
        QVERIFY(count(0, 16, [](const QColor &c) { return c.value() < 100; }) > 50); // title
        QVERIFY(count(16, 30, [&](const QColor &c) { return c == legend.first().color; }) > 20);
    }

private:
    std::optional<TempWorkDir> dir;
    std::optional<Plot> plot;
};

QTEST_MAIN(TestPlotView)
#include "tst_plotview.moc"
