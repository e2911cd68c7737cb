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

// Which of the horizontal bar, the vertical bar and their corner show.
QString bars(ScrollZoomer *zoomer)
{
    QString out;
    for (const QWidget *w : {static_cast<QWidget *>(zoomer->horizontalScrollBar()),
             static_cast<QWidget *>(zoomer->verticalScrollBar()), zoomer->cornerWidget()})
        out += w && !w->isHidden() ? '1' : '0';
    return out;
}

} // namespace

class TestPlot : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.emplace().isValid()); }
    void cleanup() { dir.reset(); }

    // The stored masks and colours decide what shows at start; each mask from a panel then
    // sets its sensor's curves, the trend's axis and which y axes are needed by anyone.
    void visibilityColoursAndAxes()
    {
        TempWorkDir::setSetting("Enabled/EnabledCurve2_min", 0x2F);
        TempWorkDir::setSetting("Enabled/EnabledCurve4_min", 0x01);
        TempWorkDir::setSetting("Plot/point_radius", 300); // kept in 8 bits
        TempWorkDir::setSetting("Color/Value3_color", QString::number(0x80112233u));
        Duts bank;
        Plot plot(bank);
        QCOMPARE(shown(plot, 0), 0);
        QCOMPARE(shown(plot, 2), 0x2F);
        QCOMPARE(shown(plot, 4), 0x01);
        QCOMPARE(plot.pickRadius(), quint8(44));
        // The value colour's alpha is dropped; an update recolours that sensor alone.
        QCOMPARE(plot.valueCurve(3, 0)->symbol()->brush().color().rgba(), 0xFF112233u);
        const QRgb other = plot.midlCurve(2)->pen().color().rgba();
        plot.slUpdatePlotColor(3, 0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C, 0xFF0D0E0F);
        QCOMPARE(plot.valueCurve(3, 254)->symbol()->brush().color().rgba(), 0xFF010203u);
        QCOMPARE(plot.kCurve(3)->pen().color().rgba(), 0xFF0D0E0Fu);
        QCOMPARE(plot.midlCurve(2)->pen().color().rgba(), other);

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

    // Readings sit at their slot's temperature, slots past 249 are not drawn, maps are cut to
    // what a curve holds; clearing empties every sensor's readings only. The K curve is the
    // sensor's own coefficients in percent.
    void dataSets()
    {
        Duts bank;
        Plot plot(bank);
        Dut::ValueSets sets;
        sets[110] = {1005, 1000};
        sets[0] = {7};
        sets[200] = {4294967295u};
        sets[250] = {1};
        plot.setValueCurves(&sets, 5);
        QCOMPARE(points(plot.valueCurve(5, 110)), (QVector<QPointF> {{20, 1000}, {20, 1005}}));
        QCOMPARE(points(plot.valueCurve(5, 0)), (QVector<QPointF> {{-90, 7}}));
        QCOMPARE(points(plot.valueCurve(5, 200)), (QVector<QPointF> {{110, 4294967295.0}}));
        QCOMPARE(plot.valueCurve(5, 250)->dataSize(), size_t(0));
        QCOMPARE(plot.valueCurve(4, 110)->dataSize(), size_t(0));

        const Dut::MidlMap midl {{-3, 10u}, {-40, 4000000000u}, {20, 30u}};
        plot.setMidlCurve(&midl, 1);
        QCOMPARE(points(plot.midlCurve(1)),
            (QVector<QPointF> {{-40, 4000000000.0}, {-3, 10}, {20, 30}}));
        Dut::CurveMap tooLong;
        for (int i = 0; i < 300; ++i)
            tooLong.insert(i, 1.0);
        plot.setDeltaCurve(&tooLong, 0);
        QCOMPARE(plot.deltaCurve(0)->dataSize(), size_t(Plot::maxMapPoints));

        plot.clearValueCurves();
        QCOMPARE(plot.valueCurve(5, 110)->dataSize(), size_t(0));
        QCOMPARE(plot.midlCurve(1)->dataSize(), size_t(3));

        double k[6] = {0.5, 0.01, 0, 0, 0, 1e-10};
        plot.slUpdateK(3, k);
        QCOMPARE(plot.kCurve(3)->dataSize(), size_t(191));
        // At -10 °C: (0.5 - 0.1 - 1e-5) * 100 - 100
        QCOMPARE(plot.kCurve(3)->sample(80).x(), -10.0);
        QVERIFY(qAbs(plot.kCurve(3)->sample(80).y() - (-60.001)) < 1e-9);
        plot.slUpdateK(3, nullptr);
        QCOMPARE(plot.kCurve(3)->dataSize(), size_t(191));
    }

    // Zoomed in one way, both ways and back: bars along the top and the right edge and canvas
    // margins that come back as they were, also when the zoomer goes away while zoomed in.
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
        QCOMPARE(bars(zoomer), QStringLiteral("100"));
        auto zoomedX = base;
        zoomedX[3] += h->thickness();
        QCOMPARE(margins(plot), zoomedX);
        QVERIFY(qAbs(h->minSliderValue() - -30) < 1e-3 && qAbs(h->maxSliderValue() - -10) < 1e-3);

        zoomer->zoom(QRectF(-20, whole.center().y(), 10, whole.height() / 4));
        ScrollBar *v = zoomer->verticalScrollBar();
        QCOMPARE(bars(zoomer), QStringLiteral("111"));
        QCOMPARE(v->geometry().right(), plot.canvas()->contentsRect().right());
        auto zoomedXY = zoomedX;
        zoomedXY[1] += v->thickness();
        QCOMPARE(margins(plot), zoomedXY);

        // The vertical slider at its top shows the top of the range, as on the canvas.
        v->setValue(v->minimum());
        QVERIFY(qAbs(zoomer->zoomRect().bottom() - whole.bottom()) < whole.height() * 1e-5);
        QSignalSpy zoomed(zoomer, &QwtPlotZoomer::zoomed);
        h->setValue(h->maximum());
        QCOMPARE(zoomed.count(), 1);
        QVERIFY(qAbs(zoomer->zoomRect().right() - whole.right()) < whole.width() * 1e-5);

        zoomer->zoom(0);
        QCOMPARE(bars(zoomer), QStringLiteral("000"));
        QCOMPARE(margins(plot), base);

        // Gone while zoomed in: the canvas gets back its margins, and the scales their borders.
        zoomer->zoom(QRectF(-20, whole.center().y(), 10, whole.height() / 4));
        delete zoomer;
        QCOMPARE(margins(plot), base);
        int start = -1;
        int end = -1;
        plot.axisWidget(QwtPlot::xBottom)->getMinBorderDist(start, end);
        QCOMPARE(start + end, 0);
        QCOMPARE(plot.canvas()->findChildren<ScrollBar *>().size(), 0);

        // A mirrored bar counts from the other end; an empty base divides by nothing.
        ScrollBar bar(0.0, 50.0, Qt::Horizontal);
        bar.moveSlider(10.0, 20.0);
        bar.setMirrored(true);
        QCOMPARE(bar.value(), 700000);
        QCOMPARE(bar.minSliderValue(), 10.0);
        bar.setBase(0.0, 0.0);
        QCOMPARE(bar.pageStep(), ScrollBar::tickCount);
    }

private:
    std::optional<TempWorkDir> dir;
};

QTEST_MAIN(TestPlot)
#include "tst_plot.moc"
