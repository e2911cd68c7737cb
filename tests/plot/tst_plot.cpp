#include "plot/plot.h"
#include "plot/plotcurve.h"
#include "plot/scrollbar.h"
#include "plot/scrollzoomer.h"
#include "sensors/dut.h"
#include "support/plotprobe.h"
#include "support/settle.h"
#include "support/tempworkdir.h"

#include <QLineEdit>
#include <QPointer>
#include <QtTest>
#include <qwt_plot_marker.h>
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

// The plot's curves: which show and in what colours, the data they are given, and what the
// mouse and keys do on the canvas.
class TestPlot : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(dir.emplace().isValid());
        QVERIFY(showPlot(plot));
    }
    void cleanup() { plot.reset(), dir.reset(); }

    // A sensor's setup decides which of its curves show (none while "Отоб." is off) and in which
    // colours, the value colour without its alpha; an update recolours that sensor alone.
    void setupDecidesCurvesAndColours()
    {
        Plot &chart = *plot;
        setup(2, 0x3F);
        setup(3, 0x2F);
        setup(4, 0x11);
        QCOMPARE(shown(chart, 0), 0);
        QCOMPARE(shown(chart, 2), 0x2F);
        QCOMPARE(shown(chart, 3), 0);
        QCOMPARE(shown(chart, 4), 0x01);
        QCOMPARE(chart.valueCurve(3, 0)->symbol()->brush().color().rgba(), 0xFF112233u);
        const QRgb other = chart.midlCurve(2)->pen().color().rgba();
        chart.slUpdatePlotColor(3, 0xFF010203, 0xFF040506, 0xFF070809, 0xFF0A0B0C, 0xFF0D0E0F);
        QCOMPARE(chart.valueCurve(3, 254)->symbol()->brush().color().rgba(), 0xFF010203u);
        QCOMPARE(chart.kCurve(3)->pen().color().rgba(), 0xFF0D0E0Fu);
        QCOMPARE(chart.midlCurve(2)->pen().color().rgba(), other);
    }

    // Each mask from a panel sets its sensor's curves, the trend's axis and which y axes are
    // needed by anyone; sensor 4 shows its readings throughout.
    void maskDecidesCurvesAndAxes()
    {
        Plot &chart = *plot;
        setup(2, 0x3F);
        setup(4, 0x11);
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
    // plot's data kind, and for none where there is no temperature slot.
    void ctrlRightClickAsksForAPoint()
    {
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
    }

    // A and D walk the marker along sensor 0's points and stop at the ends, labelled in the
    // axes' number format.
    void markerWalksSensor0()
    {
        const Dut::MidlMap points {{-50, 100u}, {20, 200u}, {60, 1234567u}};
        plot->setMidlCurve(&points, 0);
        plot->setAxisScale(QwtPlot::yLeft, 0, 1500000);
        plot->replot();
        QString walk;
        for (int key : {Qt::Key_A, Qt::Key_D, Qt::Key_D, Qt::Key_D, Qt::Key_A}) {
            send(*plot, QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
            walk += QStringLiteral("%1:%2|")
                        .arg(plot->editor().markerIndex())
                        .arg(plot->marker()->label().text());
        }
        // One number format for every point, that of the axes' labels.
        QCOMPARE(walk,
            QStringLiteral("0:|1:20 °C; 200|2:60 °C; 1\u2009234\u2009567|2:60 °C; "
                           "1\u2009234\u2009567|1:20 °C; 200|"));
    }

    // The cross-hair follows the pointer; letting go of Alt hides it.
    void altReleaseHidesTheCrossHair()
    {
        exactScales(*plot, -30, 0.1, 0.25);
        QwtPlotMarker *marker = plot->marker();
        const int p1 = qRound(plot->canvasMap(QwtPlot::xBottom).p1());
        const int zero = qRound(plot->transform(QwtPlot::yLeft, 0));
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
    }

    // A plain right click gives back the whole range and a self-scaling data axis under a new
    // zoomer that has left no bar behind.
    void plainRightClickResetsTheView()
    {
        const QRectF whole = plot->zoomer()->zoomBase();
        exactScales(*plot, -30, 0.1, 0.25); // a data axis that does not scale itself
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

private:
    void setup(int sensor, uint mask)
    {
        SensorSetup s;
        s.sensor = sensor;
        s.curveMask = mask;
        s.colors = {0x80112233u, 0xFF000080u, 0xFF9999FFu, 0xFF0000BFu, 0xFF454599u};
        plot->setSetup(s);
    }
    std::optional<TempWorkDir> dir;
    std::optional<Plot> plot;
};

QTEST_MAIN(TestPlot)
#include "tst_plot.moc"
