#include "app/mainwindow.h"
#include "plot/plot.h"
#include "plot/plotcurve.h"
#include "plot/scrollbar.h"
#include "plot/scrollzoomer.h"
#include "sensors/duts.h"
#include "support/tempworkdir.h"

#include <QPointer>
#include <QtTest>
#include <qwt_plot_marker.h>
#include <qwt_scale_map.h>

#include <optional>

namespace {

void send(Plot &plot, QEvent::Type type, QPoint pixel, Qt::MouseButton button = Qt::NoButton,
    Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QMouseEvent event(type, pixel, button, button, modifiers);
    QApplication::sendEvent(plot.canvas(), &event);
}

void key(Plot &plot, QEvent::Type type, int code)
{
    QKeyEvent event(type, code, Qt::NoModifier);
    QApplication::sendEvent(plot.canvas(), &event);
}

void settle()
{
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

// Scales on which every pixel is worth an exact step (xStep on x from xFrom, yStep on y from
// 0), so that points sit on whole pixels and distances come out exact.
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

// The arguments of a signal caught by a spy, as numbers.
QString numbers(const QList<QVariant> &args)
{
    QStringList parts;
    for (const QVariant &arg : args) {
        parts << QString::number(arg.userType() == qMetaTypeId<eTypeData>()
                ? qlonglong(arg.value<eTypeData>())
                : arg.toLongLong());
    }
    return parts.join(' ');
}

} // namespace

class TestPlotEdit : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(dir.emplace().isValid());
        plot.emplace(bank.emplace());
        plot->resize(900, 500);
        plot->show();
        QVERIFY(QTest::qWaitForWindowExposed(&*plot));
    }
    void cleanup()
    {
        plot.reset();
        bank.reset();
        dir.reset();
    }

    // Ctrl alone with the left button grabs the nearest point strictly within the radius, of
    // the lower sensor when two coincide, of hidden curves too; each move then asks for the
    // value under the pointer, truncated, and never below zero; the release lets go.
    void pickAndDrag()
    {
        exactScales(*plot, -90, 1.0, 0.25);
        const Dut::MidlMap low {{-50, 10u}, {20, 40u}};
        const Dut::MidlMap same {{20, 40u}};
        const Dut::MidlMap five {{60, 60u}};
        plot->setMidlCurve(&low, 0);
        plot->setMidlCurve(&same, 3);
        plot->setMidlCurve(&five, 5);
        QVERIFY(!plot->midlCurve(0)->isVisible());
        QSignalSpy edits(&*plot, &Plot::editMidl);
        const PlotEditor &editor = plot->editor();
        const QPoint point = pixelOf(*plot, 20, 40);

        send(*plot, QEvent::MouseButtonPress, point + QPoint(0, 10), Qt::LeftButton,
            Qt::ControlModifier);
        QCOMPARE(editor.selectedCurve(), nullptr);
        QCOMPARE(editor.selectedIndex(), 0);
        send(*plot, QEvent::MouseMove, point);
        QCOMPARE(edits.count(), 0);
        send(*plot, QEvent::MouseButtonRelease, point, Qt::LeftButton);
        QCOMPARE(editor.selectedIndex(), -1);
        send(*plot, QEvent::MouseButtonPress, point, Qt::LeftButton,
            Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(editor.selectedIndex(), -1);

        send(*plot, QEvent::MouseButtonPress, point + QPoint(0, 9), Qt::LeftButton,
            Qt::ControlModifier);
        QCOMPARE(editor.selectedCurve(), plot->midlCurve(0));
        QCOMPARE(editor.selectedIndex(), 1);
        const int zero = qRound(plot->transform(QwtPlot::yLeft, 0));
        send(*plot, QEvent::MouseMove, point - QPoint(0, 51)); // 52.75
        send(*plot, QEvent::MouseMove, QPoint(point.x(), zero + 9)); // -2.25
        send(*plot, QEvent::MouseMove, QPoint(point.x(), zero + 1)); // -0.25
        QCOMPARE(numbers(edits.takeFirst()), QStringLiteral("0 1 52"));
        QCOMPARE(numbers(edits.takeFirst()), QStringLiteral("0 1 0"));
        QCOMPARE(numbers(edits.takeFirst()), QStringLiteral("0 1 0"));
        send(*plot, QEvent::MouseButtonRelease, point, Qt::LeftButton);
        send(*plot, QEvent::MouseMove, point);
        QCOMPARE(edits.count(), 0);

        send(*plot, QEvent::MouseButtonPress, pixelOf(*plot, 60, 60), Qt::LeftButton,
            Qt::ControlModifier);
        send(*plot, QEvent::MouseMove, pixelOf(*plot, 60, 70));
        QCOMPARE(numbers(edits.takeFirst()), QStringLiteral("5 0 70"));
        QCOMPARE(PlotEditor::rawValue(5e9), 4294967295u);
    }

    // A Ctrl right click asks for a point of sensor 0 at the truncated temperature, with the
    // plot's data kind; none where there is no temperature slot. A and D walk the marker along
    // sensor 0's points and stop at the ends; letting go of Alt hides it.
    void addAndMarker()
    {
        exactScales(*plot, -30, 0.1, 0.25);
        plot->setTypeData(Period);
        QSignalSpy adds(&*plot, &Plot::addMidl);
        int p1 = qRound(plot->canvasMap(QwtPlot::xBottom).p1());
        int zero = qRound(plot->transform(QwtPlot::yLeft, 0));
        auto click = [this](QPoint pixel) {
            send(*plot, QEvent::MouseButtonPress, pixel, Qt::RightButton, Qt::ControlModifier);
            send(*plot, QEvent::MouseButtonRelease, pixel, Qt::RightButton, Qt::ControlModifier);
        };
        click(QPoint(p1 + 557, zero - 202)); // 25.7 °C, 50.5
        click(QPoint(p1 + 261, zero + 9)); // -3.9 °C, -2.25
        QCOMPARE(adds.count(), 2);
        QCOMPARE(numbers(adds.at(0)), QStringLiteral("0 25 50 2"));
        QCOMPARE(numbers(adds.at(1)), QStringLiteral("0 -3 0 2"));
        exactScales(*plot, 95, 0.1, 0.25);
        p1 = qRound(plot->canvasMap(QwtPlot::xBottom).p1());
        zero = qRound(plot->transform(QwtPlot::yLeft, 0));
        click(QPoint(p1 + 350, zero - 202)); // 130 °C
        QCOMPARE(adds.count(), 2);

        const Dut::MidlMap points {{-50, 100u}, {20, 200u}, {60, 1234567u}};
        plot->setMidlCurve(&points, 0);
        QwtPlotMarker *marker = plot->marker();
        const PlotEditor &editor = plot->editor();
        QString walk;
        for (int code : {Qt::Key_A, Qt::Key_D, Qt::Key_D, Qt::Key_D, Qt::Key_A}) {
            key(*plot, QEvent::KeyPress, code);
            walk += QStringLiteral("%1:%2|").arg(editor.markerIndex()).arg(marker->label().text());
        }
        QCOMPARE(walk, QStringLiteral("0:|1:20 200|2:60 1.23457e+06|2:60 1.23457e+06|1:20 200|"));
        QCOMPARE(marker->value(), QPointF(20, 200));

        key(*plot, QEvent::KeyPress, Qt::Key_Alt);
        QVERIFY(marker->isVisible());
        key(*plot, QEvent::KeyRelease, Qt::Key_Alt);
        QVERIFY(!marker->isVisible());
        send(*plot, QEvent::MouseMove, QPoint(p1 + 100, zero - 40));
        QCOMPARE(marker->value(), QPointF(105, 10));
        QVERIFY(!marker->isVisible());
    }

    // A plain right click gives back the whole temperature range and a data axis that scales
    // itself, under a new zoomer that has left no bar behind.
    void resetView()
    {
        const QRectF whole = plot->zoomer()->zoomBase();
        plot->zoomer()->zoom(QRectF(-20, whole.center().y(), 10, whole.height() / 4));
        QVERIFY(!plot->axisAutoScale(QwtPlot::yLeft));
        QPointer<ScrollZoomer> old = plot->zoomer();
        QVERIFY(old->horizontalScrollBar()->isVisible());
        send(*plot, QEvent::MouseButtonPress, QPoint(100, 100), Qt::RightButton);
        send(*plot, QEvent::MouseButtonRelease, QPoint(100, 100), Qt::RightButton);
        QVERIFY(old.isNull() && plot->zoomer());
        const QwtScaleDiv &x = plot->axisScaleDiv(QwtPlot::xBottom);
        QCOMPARE(x.interval(), QwtInterval(-90, 90));
        QCOMPARE(
            x.ticks(QwtScaleDiv::MajorTick).at(1) - x.ticks(QwtScaleDiv::MajorTick).at(0), 10.0);
        QVERIFY(plot->axisAutoScale(QwtPlot::yLeft));
        QCOMPARE(plot->zoomer()->zoomRectIndex(), 0u);
        QCOMPARE(plot->zoomer()->zoomBase().left(), -90.0);
        QCOMPARE(plot->canvas()->findChildren<ScrollBar *>().size(), 0);
    }

    // Through the window: each step of a drag moves the panel's point and redraws the point
    // and its trend with one render, over readings that are not drawn again; the scales hold
    // until the release. A Ctrl right click adds sensor 0's point and shows it at once.
    void dragInWindow()
    {
        plot.reset();
        MainWindow window;
        Plot &chart = *window.plot();
        Duts &bank = *window.sensorBank();
        window.resize(1400, 900);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const eTypeData kind = chart.currentTypeData();
        for (qint8 t : {10, 20, 30})
            bank.slAddMidl(0, t, quint32(4000 + 100 * t), kind);
        window.slUpdatePlot(0);
        Dut::ValueSets readings;
        for (int slot = 60; slot < 140; ++slot)
            readings[slot] = {quint32(3000 + slot), quint32(9000 - slot)};
        chart.setValueCurves(&readings, 1);
        window.slSetVisible(0, 0x0A);
        window.slSetVisible(1, 0x01);
        settle();

        const QPoint point = pixelOf(chart, 10, 5000);
        send(chart, QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::ControlModifier);
        QVERIFY(!chart.axisAutoScale(QwtPlot::yLeft) && !chart.axisAutoScale(QwtPlot::yRight));
        settle();
        const int renders = chart.renderCount();
        const int layers = chart.valueLayerRenderCount();
        for (int step = 1; step <= 5; ++step) {
            const QPointF trendBefore = chart.trendCurve(0)->sample(0);
            const QPoint to = point - QPoint(0, 20 * step);
            send(chart, QEvent::MouseMove, to, Qt::LeftButton, Qt::ControlModifier);
            const quint32 y = quint32(chart.invTransform(QwtPlot::yLeft, to.y()));
            QCOMPARE(bank.getMidl(0)->value(10), y);
            QCOMPARE(chart.midlCurve(0)->sample(0), QPointF(10, y));
            QVERIFY(chart.trendCurve(0)->sample(0) != trendBefore);
            settle();
            QCOMPARE(chart.renderCount(), renders + step);
        }
        QCOMPARE(chart.valueLayerRenderCount(), layers);
        send(chart, QEvent::MouseButtonRelease, point, Qt::LeftButton);
        QVERIFY(chart.axisAutoScale(QwtPlot::yLeft) && chart.axisAutoScale(QwtPlot::yRight));

        send(chart, QEvent::MouseButtonPress, pixelOf(chart, 50.4, 6000), Qt::RightButton,
            Qt::ControlModifier);
        QCOMPARE(bank.getMidl(0)->keys(), (QList<qint8> {10, 20, 30, 50}));
        QCOMPARE(chart.midlCurve(0)->dataSize(), size_t(4));
    }

private:
    std::optional<TempWorkDir> dir;
    std::optional<Duts> bank;
    std::optional<Plot> plot;
};

QTEST_MAIN(TestPlotEdit)
#include "tst_plotedit.moc"
