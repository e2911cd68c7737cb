#include "app/mainwindow.h"
#include "plot/plot.h"
#include "plot/plotcurve.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "support/benchfixture.h"
#include "support/frames.h"
#include "support/plotprobe.h"
#include "support/settle.h"

#include <QComboBox>
#include <QtTest>

#include <optional>

namespace {

// Counts the paints a widget receives.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget)
        : QObject(widget)
    {
        widget->installEventFilter(this);
    }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
};

// Number of points on all of a sensor's curves, value curves first.
QList<size_t> pointCounts(const Plot &plot, quint8 s)
{
    size_t values = 0;
    for (int v = 0; v < Plot::valueCurveCount; ++v)
        values += plot.valueCurve(s, v)->dataSize();
    return {values, plot.midlCurve(s)->dataSize(), plot.trendCurve(s)->dataSize(),
        plot.deltaCurve(s)->dataSize()};
}

} // namespace

// The window and its plot: what the window hands the plot, and a point dragged or added on the
// plot reaching the sensor panel.
class TestWindowPlot : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(bench.emplace().isValid());
        MainWindow &window = bench->window();
        window.resize(1400, 900);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    void cleanup() { bench.reset(); }

    // The window hands the plot a sensor's data sets whenever that sensor's data changes, and
    // the plot draws each change once. Sensor 4 alone on the line at 20 and 21 °C: each valid
    // reading redraws its curves, with one paint of the canvas; a corrupt answer redraws nothing;
    // the other sensors' curves stay. Then sensor 2's data kind changes: every sensor's readings
    // go, sensor 2 is redrawn.
    void readingsAndKindChanges()
    {
        MainWindow &window = bench->window();
        Plot &plot = *window.plot();
        bench->setAddress(4, 4);
        QVERIFY(bench->openPort());
        bench->pressStart();
        const Dut::MidlMap marker {{0, 1u}};
        plot.setMidlCurve(&marker, 2);
        settle();
        PaintCounter paints(plot.canvas());

        struct Step
        {
            QByteArray answer;
            int paints;
            QList<size_t> counts; // values, mid values, trend, deviation of sensor 4
        };
        const QByteArray good20 = frames::veltaroAnswer(4, 20, 1000, 50000);
        const QByteArray corrupt = QByteArray(good20).replace(5, 1, "\x77");
        const QList<Step> steps = {
            {QByteArray(), 0, {0, 0, 0, 0}}, // the first poll goes out
            {good20, 1, {1, 1, 191, 1}},
            {frames::veltaroAnswer(4, 20, 1000, 50010), 1, {2, 1, 191, 1}},
            {corrupt, 0, {2, 1, 191, 1}},
            {frames::veltaroAnswer(4, 21, 1000, 50100), 1, {3, 2, 191, 2}},
        };
        for (const Step &step : steps) {
            QVERIFY(bench->deliver(step.answer));
            paints.count = 0;
            bench->tick();
            QVERIFY(!bench->sent(5).isEmpty());
            settle();
            QCOMPARE(paints.count, step.paints);
            QCOMPARE(pointCounts(plot, 4), step.counts);
        }
        QCOMPARE(plot.valueCurve(4, 110)->sample(1), QPointF(20, 50010));
        QCOMPARE(pointCounts(plot, 2), (QList<size_t> {0, 1, 0, 0}));

        bench->panel<QComboBox>(2, "cbTypePolinom")->setCurrentIndex(2); // "Уровень"
        QCOMPARE(plot.currentTypeData(), Level);
        QCOMPARE(pointCounts(plot, 4), (QList<size_t> {0, 2, 191, 2}));
        QCOMPARE(pointCounts(plot, 2), (QList<size_t> {0, 0, 0, 0}));
    }

    // Each step of a drag moves the panel's point and redraws the point and its trend with one
    // render, over readings that are not drawn again; the scales hold until the release.
    void dragMovesThePointWithOneRenderPerStep()
    {
        Plot &chart = *bench->window().plot();
        Duts &panels = *bench->window().sensorBank();
        showPointsAndReadings();
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
    }

    // New readings are drawn again.
    void newReadingsAreDrawnAgain()
    {
        Plot &chart = *bench->window().plot();
        showPointsAndReadings();
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
    }

    // A Ctrl right click adds a point to sensor 0 and shows it at once.
    void ctrlRightClickAddsAPoint()
    {
        Plot &chart = *bench->window().plot();
        showPointsAndReadings();
        mouse(chart, QEvent::MouseButtonPress, pixelOf(chart, 50.4, 6000), Qt::RightButton);
        QCOMPARE(bench->window().sensorBank()->getMidl(0)->keys(), (QList<qint8> {10, 20, 30, 50}));
        QCOMPARE(chart.midlCurve(0)->dataSize(), size_t(4));
    }

private:
    // Sensor 0's mid values at 10, 20 and 30 °C with their trend, and sensor 1's readings from
    // -30 to 49 °C.
    void showPointsAndReadings()
    {
        MainWindow &window = bench->window();
        Plot &chart = *window.plot();
        for (qint8 t : {10, 20, 30})
            window.sensorBank()->slAddMidl(0, t, quint32(4000 + 100 * t), chart.currentTypeData());
        window.slUpdatePlot(0);
        for (int slot = 60; slot < 140; ++slot)
            readings[slot] = {quint32(3000 + slot), quint32(9000 - slot)};
        chart.setValueCurves(&readings, 1);
        window.slSetVisible(0, 0x0A);
        window.slSetVisible(1, 0x01);
        settle();
    }
    std::optional<BenchFixture> bench;
    Dut::ValueSets readings;
};

QTEST_MAIN(TestWindowPlot)
#include "tst_windowplot.moc"
