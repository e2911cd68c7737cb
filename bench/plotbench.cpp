// The plot under a long thermal run: six sensors, every degree from -90 to +100 °C, up to 200
// distinct readings per degree. For each size it prints, measured in this run, the time of a
// bare replot of the full plot (every curve drawn, the cached reading layer too), of one
// reading's refresh (the four data sets of one sensor handed over, and the render they cause),
// and of one step of a Ctrl-drag of a calibration point (the panel's edit, the refit, the
// mid-value and trend curves and the render), each with its ratio to the bare replot. A drag is
// a press on sensor 0's point at 20 °C, 50 moves and the release; the renders per move and the
// re-renders of the reading layer during the drag are printed too.
#include "plot/plot.h"
#include "sensors/duts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTextStream>
#include <qwt_plot_canvas.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

struct SensorSeries
{
    Dut::ValueSets values;
    Dut::MidlMap midl;
    Dut::CurveMap trend;
    Dut::CurveMap delta;
};

// A sensor whose period grows with temperature, its readings spread around that at each degree.
SensorSeries makeSensor(int s, int perDegree)
{
    SensorSeries data;
    const double base = 1.0e6 + s * 5.0e4;
    for (int t = -90; t <= 100; ++t) {
        const double centre = base * (1.0 + 0.0007 * (t - 20));
        auto &set = data.values[t + 90];
        for (int i = 0; set.size() < size_t(perDegree); ++i)
            set.insert(quint32(centre + (i % 2 ? 1 : -1) * 7.0 * i));
        // Mid values also without readings, so that there is a point to drag at every size.
        const quint32 mid
            = set.empty() ? quint32(centre) : quint32((quint64(*set.begin()) + *set.rbegin()) / 2);
        data.midl.insert(qint8(t), mid);
        data.trend.insert(t, centre);
    }
    const double ref = data.midl.value(20, 1);
    for (auto it = data.midl.cbegin(); it != data.midl.cend(); ++it)
        data.delta.insert(it.key(), it.value() / ref * 100.0 - 100.0);
    return data;
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The plot and the bank read their settings from the working directory: start from none.
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 1;

    Duts bank;
    Plot plot(bank);
    for (quint8 s = 0; s < Plot::sensorCount; ++s)
        plot.slSetVisible(s, 0x0F);
    plot.resize(1900, 700);
    plot.show();
    // Grow the plot until the canvas itself has the size of a maximised window's.
    const QSize target(1900, 650);
    for (int i = 0; i < 5; ++i) {
        app.processEvents();
        plot.resize(plot.size() + target - plot.canvas()->size());
    }
    app.processEvents();

    auto render = [&](auto &&ask) {
        const int before = plot.renderCount();
        QElapsedTimer clock;
        clock.start();
        ask();
        while (plot.renderCount() == before && clock.elapsed() < 10000)
            app.processEvents();
        return clock.nsecsElapsed() / 1.0e6;
    };
    auto bareReplot = [&] {
        plot.invalidateValueLayer();
        plot.replot();
    };
    // What the window does with a dragged point.
    QObject::connect(&plot, &Plot::editMidl, &plot, [&](quint8 s, quint8 nomPoint, quint32 y) {
        bank.slEditMidl(s, nomPoint, y);
        plot.setMidlCurve(bank.getMidl(s), s);
        plot.setTrendCurve(bank.getTrend(s), s);
    });
    auto mouse = [&](QEvent::Type type, QPoint pixel) {
        QMouseEvent event(type, pixel, Qt::LeftButton, Qt::LeftButton, Qt::ControlModifier);
        QApplication::sendEvent(plot.canvas(), &event);
    };

    QTextStream out(stdout);
    out << "canvas " << plot.canvas()->width() << "x" << plot.canvas()->height() << "\n";
    out << qSetFieldWidth(11) << "points"
        << "replot ms"
        << "refresh ms"
        << "ratio"
        << "drag ms"
        << "ratio"
        << "renders"
        << "layer" << qSetFieldWidth(0) << "\n";
    constexpr int kRounds = 15;
    constexpr int kMoves = 50;
    for (int perDegree : {0, 32, 127, 200}) {
        std::vector<SensorSeries> sensors;
        for (int s = 0; s < Plot::sensorCount; ++s)
            sensors.push_back(makeSensor(s, perDegree));
        for (int s = 0; s < Plot::sensorCount; ++s) {
            plot.setValueCurves(&sensors[s].values, quint8(s));
            plot.setMidlCurve(&sensors[s].midl, quint8(s));
            plot.setTrendCurve(&sensors[s].trend, quint8(s));
            plot.setDeltaCurve(&sensors[s].delta, quint8(s));
        }
        render([] {});
        render(bareReplot);

        std::vector<double> bare;
        std::vector<double> refresh;
        for (int round = 0; round < kRounds; ++round) {
            bare.push_back(render(bareReplot));
            const quint8 s = quint8(round % Plot::sensorCount);
            refresh.push_back(render([&] {
                plot.setValueCurves(&sensors[s].values, s);
                plot.setMidlCurve(&sensors[s].midl, s);
                plot.setTrendCurve(&sensors[s].trend, s);
                plot.setDeltaCurve(&sensors[s].delta, s);
            }));
        }

        bank.setMidl(0, sensors[0].midl, Period);
        const QPoint start(qRound(plot.transform(QwtPlot::xBottom, 20)),
            qRound(plot.transform(QwtPlot::yLeft, sensors[0].midl.value(20))));
        render([&] {
            mouse(QEvent::MouseButtonPress, start);
            plot.requestReplot();
        });
        const int renders = plot.renderCount();
        const int layers = plot.valueLayerRenderCount();
        std::vector<double> drag;
        for (int move = 1; move <= kMoves; ++move)
            drag.push_back(render([&] { mouse(QEvent::MouseMove, start - QPoint(0, 2 * move)); }));
        const double perMove = double(plot.renderCount() - renders) / kMoves;
        const int layerRenders = plot.valueLayerRenderCount() - layers;
        render([&] { mouse(QEvent::MouseButtonRelease, start); });

        const double b = median(bare);
        const double r = median(refresh);
        const double d = median(drag);
        out << qSetFieldWidth(11) << perDegree * 191 * Plot::sensorCount
            << QString::number(b, 'f', 2) << QString::number(r, 'f', 2)
            << QString::number(r / b, 'f', 2) << QString::number(d, 'f', 2)
            << QString::number(d / b, 'f', 2) << QString::number(perMove, 'f', 2) << layerRenders
            << qSetFieldWidth(0) << "\n";
        out.flush();
    }
    return 0;
}
