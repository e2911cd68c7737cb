#include "plot/axisscaledraw.h"
#include "plot/plot.h"
#include "plot/plotpicture.h"
#include "plot/scrollbar.h"
#include "plot/scrollzoomer.h"
#include "sensors/duts.h"
#include "support/tempworkdir.h"

#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>
#include <qwt_plot_marker.h>
#include <qwt_scale_draw.h>

#include <cmath>
#include <optional>

// What the plot shows of its scales: the axes' labels, the view kept inside the data by the
// zoomer and its bars, and the picture saved for a report.
class TestPlotView : public QObject
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

    // Random zooms, wheel steps on the bars, bar drags and new data between them: the view
    // stays inside the zoom base, the axes show the view, and every shown bar shows its axis.
    void zoomAndScrollProperty()
    {
        QRandomGenerator random(24);
        auto uniform = [&random](double low, double high) {
            return low + (high - low) * random.generateDouble();
        };
        plot->slSetVisible(0, 0x02);
        for (int step = 0; step < 400; ++step) {
            ScrollZoomer *zoomer = plot->zoomer();
            ScrollBar *bars[] = {zoomer->horizontalScrollBar(), zoomer->verticalScrollBar()};
            ScrollBar *bar = bars[random.bounded(2)];
            const QString what = QStringLiteral("step %1").arg(step);
            switch (random.bounded(5)) {
            case 0: { // readings of another magnitude rescale the data axis at the base
                const double top = std::pow(10.0, uniform(0, 7));
                const Dut::MidlMap map {{-40, quint32(top / 3)}, {20, quint32(top)}};
                plot->setMidlCurve(&map, 0);
                break;
            }
            case 1: { // a rubber band drawn on what the canvas shows
                const QwtScaleMap x = plot->canvasMap(QwtPlot::xBottom);
                const QwtScaleMap y = plot->canvasMap(QwtPlot::yLeft);
                const double x1 = uniform(x.s1(), x.s2());
                const double y1 = uniform(y.s1(), y.s2());
                zoomer->zoom(QRectF(x1, y1, uniform(0, x.s2() - x1), uniform(0, y.s2() - y1)));
                break;
            }
            case 2: // out by one, or back to a self-scaling data axis (a plain right click)
                if (random.bounded(2))
                    zoomer->zoom(-1);
                else
                    plot->resetView();
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
                        bar->setSliderPosition(
                            int(uniform(bar->minimum() - 1000, bar->maximum() + 1000)));
                    bar->setSliderDown(false);
                }
            }
            plot->replot();
            zoomer = plot->zoomer();
            const QRectF base = zoomer->zoomBase();
            const QRectF now = zoomer->zoomRect();
            const double slackX = base.width() * 1e-6;
            const double slackY = base.height() * 1e-6;
            QVERIFY2(now.left() >= base.left() - slackX && now.right() <= base.right() + slackX
                    && now.top() >= base.top() - slackY && now.bottom() <= base.bottom() + slackY,
                qPrintable(what));
            if (zoomer->zoomRectIndex() == 0)
                continue;
            const QwtInterval x = plot->axisInterval(QwtPlot::xBottom);
            const QwtInterval y = plot->axisInterval(QwtPlot::yLeft);
            QVERIFY2(qAbs(x.minValue() - now.left()) <= slackX
                    && qAbs(y.maxValue() - now.bottom()) <= slackY,
                qPrintable(what));
            const std::pair<ScrollBar *, QwtInterval> shownBars[]
                = {{zoomer->horizontalScrollBar(), x}, {zoomer->verticalScrollBar(), y}};
            for (const auto &[shownBar, axis] : shownBars) {
                const bool needed = shownBar == zoomer->horizontalScrollBar()
                    ? now.width() < base.width() - 2 * slackX
                    : now.height() < base.height() - 2 * slackY;
                QVERIFY2(!needed || (shownBar && !shownBar->isHidden()), qPrintable(what));
                if (!shownBar || shownBar->isHidden())
                    continue;
                const double slack
                    = (shownBar == zoomer->horizontalScrollBar() ? base.width() : base.height())
                    * 2e-6;
                QVERIFY2(qAbs(shownBar->minSliderValue() - axis.minValue()) <= slack
                        && qAbs(shownBar->maxSliderValue() - axis.maxValue()) <= slack,
                    qPrintable(what));
            }
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
