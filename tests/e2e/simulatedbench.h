#pragma once

// The bench's window on the line of the sensor simulator, run as its own process, driven tick
// by tick. Shared by the end-to-end tests.

#include "app/mainwindow.h"
#include "serial/comport.h"
#include "support/benchfixture.h"
#include "support/child.h"
#include "support/sensorsimulator.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QSerialPort>
#include <QtTest>

#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace e2e {

// Waits for a condition without the 10 ms steps of QTest's own waiting: the bench and the
// simulator answer within a millisecond or two, and thousands of ticks add up.
inline bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
        if (condition())
            return true;
        if (clock.elapsed() > timeoutMs)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

// k[0] + k[1] x + k[2] x^2 + ...
inline double polynomial(const QJsonArray &k, double x)
{
    double sum = 0;
    for (int i = k.size() - 1; i >= 0; --i)
        sum = sum * x + k.at(i).toDouble();
    return sum;
}

// The simulated sensors as the simulator describes them (--describe). A quantity ("level",
// "frequency", "period") reads base * drift(T - 20) at the whole degree T it reports, rounded,
// plus uniform noise of +-noisePpm; its "normalised" holds value(T) / value(20) in powers of T.
struct SimModel
{
    QJsonArray sensors;
    double noisePpm = 0;

    explicit SimModel(const QJsonObject &description = {})
        : sensors(description.value("sensors").toArray())
        , noisePpm(description.value("noisePpm").toDouble())
    { }
    QJsonObject quantity(int sensor, const char *name) const
    {
        return sensors.at(sensor).toObject().value(QLatin1String(name)).toObject();
    }
    double normalised(int sensor, const char *name, double t) const
    {
        return polynomial(quantity(sensor, name).value("normalised").toArray(), t);
    }
    // Whether `reading` can come from the sensor at temperature t: within the noise band plus
    // half a count of rounding.
    bool fits(int sensor, const char *name, int t, double reading) const
    {
        const QJsonObject q = quantity(sensor, name);
        const double exact
            = q.value("base").toDouble() * polynomial(q.value("drift").toArray(), t - 20);
        return std::abs(reading - exact) <= exact * noisePpm * 1e-6 + 0.51;
    }
};

class SimulatedBench
{
public:
    SimulatedBench(int protocol, const QStringList &simArguments)
        : answerLength(QVector<int> {13, 9, 20, 13}.value(protocol))
    {
        // Six sensors at scattered addresses; panel n polls the one at position 5 - n, so a
        // reading credited to the wrong panel shows in its values.
        const QString addresses = QStringLiteral("12,1,200,3,100,41");
        const QStringList arguments = QStringList {"--addresses", addresses} + simArguments;
        if (!fixture.isValid()
            || !simulator.start(arguments, fixture.dir().filePath("counts.json"))) {
            fail("simulator did not start: " + simulator.errorText());
            return;
        }
        model = SimModel(SensorSimulator::describe(TARIKON_SENSOR_SIM, arguments));
        if (model.sensors.size() != 6)
            fail("the simulator did not describe its sensors");
        fixture.setProtocol(protocol);
        for (int n = 0; n < 6; ++n)
            fixture.setAddress(quint8(n), addresses.section(',', 5 - n, 5 - n).toInt());
        child<QComboBox>(*window().comPort(), "cbPort")->setEditText(simulator.devicePath());
        fixture.pressOpen();
        if (!window().comPort()->isOpen())
            fail("port not opened: " + simulator.devicePath());
        previous = simulator.counts();
    }

    bool ready() const { return failure.isEmpty(); }
    MainWindow &window() const { return fixture.window(); }
    int errors(int nomDut) const { return fixture.panelText(quint8(nomDut), "leErr").toInt(); }

    // One tick of the polling handler (or the coefficient handler), then the wait for what it
    // started: the simulator takes the frame and its answer, whole, split or spoiled, reaches
    // the window; a late answer (--late-ms 0) is held until the next frame and comes behind
    // that frame's own answer, however fast or slow this machine is. Returns the fault the
    // simulator gave that answer ("none", "drop", "late", ...), or nothing when the tick sent no
    // frame.
    QString tick(bool polling = true)
    {
        // The window holds exactly what the last exchange was waited for (garbage is 1..12
        // bytes, of which one was waited for): a late answer that came early, or bytes nobody
        // sent, would make every count meaningless.
        const int examined = int(window().receivedBytes().size());
        const int spare = lastFault == "garbage" ? 11 : 0;
        if (examined < due || examined > due + spare)
            fail(QString::asprintf("the window held %d bytes, %d expected after %s", examined, due,
                qPrintable(lastFault)));
        lastFault.clear();
        const int before = previous.value("requests")["total"].toInt(-1);
        (window().*(polling ? &MainWindow::slotTimer : &MainWindow::slotTimerK))();

        // The port writes from the event loop, so a frame the tick sent is still queued.
        due = lateBytes;
        if (window().comPort()->findChild<QSerialPort *>()->bytesToWrite() == 0)
            return {};
        // The simulator saves its counts before it answers: once they show the request, the
        // fate of its answer is known.
        QJsonObject now;
        if (!waitUntil([&] {
                return (now = simulator.counts()).value("requests")["total"].toInt() > before;
            }))
            return fail("the simulator did not take the frame");
        QString fault = QStringLiteral("none");
        const QJsonObject was = previous.value("faults").toObject();
        const QJsonObject is = now.value("faults").toObject();
        for (auto it = is.begin(); it != is.end(); ++it) {
            if (it.value().toInt() > was.value(it.key()).toInt())
                fault = it.key();
        }
        previous = now;

        lateBytes = 0;
        if (fault == "late") {
            lateBytes = answerLength;
        } else if (fault == "garbage") {
            due += 1;
        } else if (fault != "drop") {
            due += answerLength;
        }
        lastFault = fault;
        if (!waitUntil([this] { return window().receivedBytes().size() >= due; }))
            fail(QString::asprintf("answer did not arrive: %d of %d bytes after %s",
                int(window().receivedBytes().size()), due, qPrintable(fault)));
        // Random bytes come in one write of unknown length: let the rest of it land.
        if (fault == "garbage")
            waitUntil([] { return false; }, 3);
        return fault;
    }

    BenchFixture fixture; // first: the working directory outlives the simulator's counts
    SensorSimulator simulator {TARIKON_SENSOR_SIM};
    SimModel model;
    QString failure;
    int answerLength; // of a whole answer to the frames the next ticks send

private:
    // Keeps the first failure; returns what a tick that sent nothing returns.
    QString fail(const QString &why)
    {
        if (failure.isEmpty())
            failure = why;
        return {};
    }

    QJsonObject previous;
    int due = 0; // bytes the current window was waited for
    int lateBytes = 0; // a late answer held back, due in the next window
    QString lastFault;
};

} // namespace e2e
