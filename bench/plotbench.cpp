// The plot under a long thermal run: six sensors, every degree from -90 to +100 °C, up to 200
// distinct readings per degree. For each size it prints the time of a bare replot of the full
// plot and of one reading's refresh (the four data sets of one sensor handed over, and the render
// they cause), both measured in this run, and their ratio.
#include "plot/plot.h"
#include "sensors/duts.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <qwt_plot_canvas.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

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
        if (!set.empty()) {
            const quint32 mid = quint32((quint64(*set.begin()) + *set.rbegin()) / 2);
            data.midl.insert(qint8(t), mid);
        }
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

    PaintCounter paints(plot.canvas());
    auto render = [&](auto &&ask) {
        const int before = paints.count;
        QElapsedTimer clock;
        clock.start();
        ask();
        while (paints.count == before && clock.elapsed() < 10000)
            app.processEvents();
        return clock.nsecsElapsed() / 1.0e6;
    };

    QTextStream out(stdout);
    out << "canvas " << plot.canvas()->width() << "x" << plot.canvas()->height() << "\n";
    out << qSetFieldWidth(12) << "points" << "replot ms" << "refresh ms" << "ratio"
        << qSetFieldWidth(0) << "\n";
    constexpr int kRounds = 15;
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
        render([&] { plot.replot(); });

        std::vector<double> bare;
        std::vector<double> refresh;
        for (int round = 0; round < kRounds; ++round) {
            bare.push_back(render([&] { plot.replot(); }));
            const quint8 s = quint8(round % Plot::sensorCount);
            refresh.push_back(render([&] {
                plot.setValueCurves(&sensors[s].values, s);
                plot.setMidlCurve(&sensors[s].midl, s);
                plot.setTrendCurve(&sensors[s].trend, s);
                plot.setDeltaCurve(&sensors[s].delta, s);
            }));
        }
        const double b = median(bare);
        const double r = median(refresh);
        out << qSetFieldWidth(12) << perDegree * 191 * Plot::sensorCount
            << QString::number(b, 'f', 2) << QString::number(r, 'f', 2)
            << QString::number(r / b, 'f', 2) << qSetFieldWidth(0) << "\n";
        out.flush();
    }
    return 0;
}
