#include "app/mainwindow.h"
#include "plot/plot.h"
#include "plot/plotcurve.h"
#include "support/benchfixture.h"
#include "support/frames.h"
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

// The window hands the plot a sensor's data sets whenever that sensor's data changes, and the
// plot draws each change once.
class TestPlotFeeding : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(bench.emplace().isValid()); }
    void cleanup() { bench.reset(); }

    // Sensor 4 alone on the line at 20 and 21 °C: each valid reading redraws its curves, with
    // one paint of the canvas; a corrupt answer redraws nothing; the other sensors' curves stay.
    // Then sensor 2's data kind changes: every sensor's readings go, sensor 2 is redrawn.
    void readingsAndKindChanges()
    {
        MainWindow &window = bench->window();
        Plot &plot = *window.plot();
        bench->setAddress(4, 4);
        QVERIFY(bench->openPort());
        bench->pressStart();
        window.resize(1400, 900);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
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

private:
    std::optional<BenchFixture> bench;
};

QTEST_MAIN(TestPlotFeeding)
#include "tst_plotfeeding.moc"
