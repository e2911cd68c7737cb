#include "plot/plot.h"
#include "plot/plotcurve.h"
#include "plot/scrollbar.h"
#include "plot/scrollzoomer.h"
#include "sensors/duts.h"
#include "support/tempworkdir.h"

#include <QtTest>
#include <qwt_plot_layout.h>
#include <qwt_scale_widget.h>
#include <qwt_symbol.h>

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

bool shownBar(const QWidget *bar)
{
    return bar && !bar->isHidden();
}

} // namespace

class TestPlot : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.emplace().isValid()); }
    void cleanup() { dir.reset(); }

    // The stored masks decide what shows at start; each mask from a panel then sets its
    // sensor's curves, the trend's axis and which y axes are needed by anyone.
    void visibilityAndAxes()
    {
        {
            Duts bank;
            Plot plot(bank);
            for (quint8 s = 0; s < Plot::sensorCount; ++s)
                QCOMPARE(shown(plot, s), 0);
            QCOMPARE(plot.pickRadius(), quint8(10));
        }

        TempWorkDir::setSetting("Enabled/EnabledCurve2_min", 0x2F);
        TempWorkDir::setSetting("Enabled/EnabledCurve4_min", 0x01);
        TempWorkDir::setSetting("Plot/point_radius", 300); // kept in 8 bits
        Duts bank;
        Plot plot(bank);
        QCOMPARE(shown(plot, 2), 0x2F);
        QCOMPARE(shown(plot, 4), 0x01);
        QCOMPARE(plot.pickRadius(), quint8(44));

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
            plot.slSetVisible(step.sensor, step.mask);
            QCOMPARE(shown(plot, step.sensor), step.shows);
            QCOMPARE(plot.trendCurve(step.sensor)->yAxis(), step.trendAxis);
            QCOMPARE(axes(plot), step.axes);
        }
        plot.slSetVisible(6, 0x3F); // no such sensor
        QCOMPARE(axes(plot), QStringLiteral("LR"));
    }

    // Start colours come from the bank and the stored value colour; an update recolours one
    // sensor's curves and gives its points smaller symbols.
    void coloursAndSymbols()
    {
        TempWorkDir::setSetting("Color/Value3_color", QString::number(0x80112233u));
        TempWorkDir::setSetting("Color/Midl3_color", QString::number(0xFF445566u));
        TempWorkDir::setSetting("Color/Delta3_color", QString::number(0xFF778899u));
        TempWorkDir::setSetting("Color/Trend3_color", QString::number(0xFFAABBCCu));
        Duts bank;
        Plot plot(bank);
        auto look = [&plot](quint8 s) {
            const QwtSymbol *value = plot.valueCurve(s, 0)->symbol();
            const QwtSymbol *last = plot.valueCurve(s, Plot::valueCurveCount - 1)->symbol();
            const QwtSymbol *midl = plot.midlCurve(s)->symbol();
            return QStringList {QString::number(plot.valueCurve(s, 0)->pen().color().rgba(), 16),
                QString::number(value->brush().color().rgba(), 16),
                QString::number(value->pen().color().rgba(), 16),
                QString::number(value->size().width()),
                QString::number(last->brush().color().rgba(), 16),
                QString::number(plot.midlCurve(s)->pen().color().rgba(), 16),
                QString::number(midl->brush().color().rgba(), 16),
                QString::number(midl->size().width()),
                QString::number(plot.deltaCurve(s)->pen().color().rgba(), 16),
                QString::number(plot.trendCurve(s)->pen().color().rgba(), 16),
                QString::number(plot.kCurve(s)->pen().color().rgba(), 16)}
                .join(' ');
        };
        // The value colour's alpha is dropped; the K curve starts in the deviation colour.
        QCOMPARE(look(3),
            QStringLiteral("ff112233 ff112233 ff112233 8 ff112233 ff445566 ff445566 10 ff778899 "
                           "ffaabbcc ff778899"));
        QCOMPARE(look(0).section(' ', 0, 0), QStringLiteral("ff000000"));

        const QString before = look(2);
        plot.slUpdatePlotColor(3, 0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C, 0xFF0D0E0F);
        QCOMPARE(look(3),
            QStringLiteral(
                "ff010203 ff010203 ff010203 6 ff010203 ff040506 ff040506 8 ff070809 ff0a0b0c "
                "ff0d0e0f"));
        QCOMPARE(look(2), before);
        QVERIFY(plot.valueCurve(3, 0)->pen().widthF() == 0.0);
    }

    // Readings sit at their slot's temperature, slots past 249 are not drawn, and the maps'
    // curves follow their keys; clearing empties every sensor's readings only.
    void dataSets()
    {
        Duts bank;
        Plot plot(bank);
        Dut::ValueSets sets;
        sets[110] = {1005, 1000};
        sets[0] = {7};
        sets[200] = {4294967295u}; // +110 °C, kept by the panel, drawn where its slot is
        sets[250] = {1};
        plot.setValueCurves(&sets, 5);
        QCOMPARE(points(plot.valueCurve(5, 110)), (QVector<QPointF> {{20, 1000}, {20, 1005}}));
        QCOMPARE(points(plot.valueCurve(5, 0)), (QVector<QPointF> {{-90, 7}}));
        QCOMPARE(points(plot.valueCurve(5, 200)), (QVector<QPointF> {{110, 4294967295.0}}));
        QCOMPARE(plot.valueCurve(5, 250)->dataSize(), size_t(0));
        QCOMPARE(plot.valueCurve(4, 110)->dataSize(), size_t(0));
        plot.setValueCurves(nullptr, 5);
        QCOMPARE(plot.valueCurve(5, 110)->dataSize(), size_t(0));

        const Dut::MidlMap midl {{-3, 10u}, {-40, 4000000000u}, {20, 30u}};
        plot.setMidlCurve(&midl, 1);
        QCOMPARE(points(plot.midlCurve(1)),
            (QVector<QPointF> {{-40, 4000000000.0}, {-3, 10}, {20, 30}}));

        Dut::CurveMap trend;
        for (int t = -90; t <= 100; ++t)
            trend.insert(t, t * 0.5);
        Dut::CurveMap tooLong;
        for (int i = 0; i < 300; ++i)
            tooLong.insert(i, 1.0);
        plot.setTrendCurve(&trend, 0);
        plot.setDeltaCurve(&tooLong, 0);
        QCOMPARE(plot.trendCurve(0)->dataSize(), size_t(191));
        QCOMPARE(plot.trendCurve(0)->sample(190), QPointF(100, 50));
        QCOMPARE(plot.deltaCurve(0)->dataSize(), size_t(Plot::maxMapPoints));

        plot.setValueCurves(&sets, 2);
        plot.clearValueCurves();
        QCOMPARE(plot.valueCurve(2, 110)->dataSize(), size_t(0));
        QCOMPARE(plot.midlCurve(1)->dataSize(), size_t(3));
    }

    // The sensor's own coefficients as a percent curve from -90 to +100 °C.
    void kCurve()
    {
        Duts bank;
        Plot plot(bank);
        double identity[6] = {1, 0, 0, 0, 0, 0};
        plot.slUpdateK(3, identity);
        const QVector<QPointF> flat = points(plot.kCurve(3));
        QCOMPARE(flat.size(), 191);
        QCOMPARE(flat.first(), QPointF(-90, 0));
        QCOMPARE(flat.last(), QPointF(100, 0));

        double k[6] = {0.5, 0.01, 0, 0, 0, 1e-10};
        plot.slUpdateK(3, k);
        // At -10 °C: (0.5 - 0.1 - 1e-5) * 100 - 100
        QCOMPARE(plot.kCurve(3)->sample(80).x(), -10.0);
        QVERIFY(qAbs(plot.kCurve(3)->sample(80).y() - (-60.001)) < 1e-9);
        plot.slUpdateK(3, nullptr);
        QCOMPARE(plot.kCurve(3)->dataSize(), size_t(191));
    }

    // Zoomed in one way, both ways and back: bars along the top and the right edge, the corner
    // where they meet, and canvas margins that come back as they were, also when the zoomer
    // goes away while zoomed in.
    void scrollZoomer()
    {
        Duts bank;
        Plot plot(bank);
        plot.resize(900, 500);
        plot.show();
        QVERIFY(QTest::qWaitForWindowExposed(&plot));
        ScrollZoomer *zoomer = plot.zoomer();
        const auto base = margins(plot);
        const QRectF whole = zoomer->zoomBase();

        zoomer->zoom(QRectF(-30, whole.top(), 20, whole.height()));
        ScrollBar *h = zoomer->horizontalScrollBar();
        QVERIFY(shownBar(h));
        QVERIFY(!shownBar(zoomer->verticalScrollBar()));
        QVERIFY(!shownBar(zoomer->cornerWidget()));
        QRect area = plot.canvas()->contentsRect();
        QCOMPARE(h->geometry(), QRect(area.left(), area.top(), area.width(), h->thickness()));
        auto zoomedX = base;
        zoomedX[3] += h->thickness();
        QCOMPARE(margins(plot), zoomedX);
        QVERIFY(qAbs(h->minSliderValue() - -30) < 1e-3 && qAbs(h->maxSliderValue() - -10) < 1e-3);

        // Refreshing without a change of need leaves the margins alone.
        zoomer->zoom(QRectF(-20, whole.top(), 10, whole.height()));
        QCOMPARE(margins(plot), zoomedX);

        const double midY = whole.center().y();
        zoomer->zoom(QRectF(-20, midY, 10, whole.height() / 4));
        ScrollBar *v = zoomer->verticalScrollBar();
        QVERIFY(shownBar(h) && shownBar(v) && shownBar(zoomer->cornerWidget()));
        area = plot.canvas()->contentsRect();
        QCOMPARE(v->geometry(),
            QRect(area.right() - v->thickness() + 1, area.top() + h->thickness(), v->thickness(),
                area.height() - h->thickness()));
        QCOMPARE(zoomer->cornerWidget()->geometry(),
            QRect(v->x(), h->y(), v->thickness(), h->thickness()));
        auto zoomedXY = zoomedX;
        zoomedXY[1] += v->thickness();
        QCOMPARE(margins(plot), zoomedXY);

        // The vertical slider at its top shows the top of the range, as on the canvas.
        v->setValue(v->minimum());
        QVERIFY(qAbs(zoomer->zoomRect().bottom() - whole.bottom()) < whole.height() * 1e-5);
        // Dragging the horizontal slider moves the zoomed window and says so.
        QSignalSpy zoomed(zoomer, &QwtPlotZoomer::zoomed);
        h->setValue(h->maximum());
        QCOMPARE(zoomed.count(), 1);
        QVERIFY(qAbs(zoomer->zoomRect().right() - whole.right()) < whole.width() * 1e-5);

        zoomer->zoom(0);
        QVERIFY(!shownBar(h) && !shownBar(v) && !shownBar(zoomer->cornerWidget()));
        QCOMPARE(margins(plot), base);

        // Gone while zoomed in: the canvas gets back its margins, and the scales their borders.
        zoomer->zoom(QRectF(-20, midY, 10, whole.height() / 4));
        QVERIFY(margins(plot) != base);
        delete zoomer;
        QCOMPARE(margins(plot), base);
        int start = -1;
        int end = -1;
        plot.axisWidget(QwtPlot::xBottom)->getMinBorderDist(start, end);
        QCOMPARE(start + end, 0);
        QCOMPARE(plot.canvas()->findChildren<ScrollBar *>().size(), 0);
    }

    // The slider covers the visible part of the base in a million ticks.
    void scrollBarTicks()
    {
        qRegisterMetaType<Qt::Orientation>();
        ScrollBar bar(0.0, 50.0, Qt::Horizontal);
        QCOMPARE(bar.minimum(), 500000);
        QCOMPARE(bar.maximum(), 500000);
        QCOMPARE(bar.pageStep(), 1000000);
        QCOMPARE(bar.singleStep(), 5000);

        QSignalSpy moved(
            &bar, qOverload<Qt::Orientation, double, double>(&ScrollBar::valueChanged));
        bar.moveSlider(10.0, 20.0);
        QCOMPARE(moved.count(), 0);
        QCOMPARE(bar.pageStep(), 200000);
        QCOMPARE(bar.value(), 300000);
        bar.setMirrored(true);
        QCOMPARE(bar.value(), 700000);
        QCOMPARE(bar.minSliderValue(), 10.0);
        QCOMPARE(bar.maxSliderValue(), 20.0);
        bar.setBase(0.0, 0.0); // nothing to scroll over: no division by the empty range
        QCOMPARE(bar.pageStep(), ScrollBar::tickCount);
    }

private:
    std::optional<TempWorkDir> dir;
};

QTEST_MAIN(TestPlot)
#include "tst_plot.moc"
