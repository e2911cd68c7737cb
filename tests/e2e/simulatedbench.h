#pragma once

// The whole bench (main window, sensor bank, serial panel) against the sensor simulator on a
// pseudo-terminal, driven tick by tick. Shared by the end-to-end tests.

#include "app/mainwindow.h"
#include "panels/protocol.h"
#include "sensors/duts.h"
#include "serial/comport.h"
#include "support/sensorsimulator.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSerialPort>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <array>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <thread>

namespace e2e {

// The protocol list as the operator sees it; the index is the protocol number.
inline const QStringList kProtocolNames = {QStringLiteral("Veltaro-MD (уровень)"),
    QStringLiteral("Тервал bin"), QStringLiteral("Тервал ASCII"), QStringLiteral("MODBUS RTU")};

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

// One quantity of a simulated sensor: value(T) = base * (d0 + d1 (T-20) + d2 (T-20)^2 + d3
// (T-20)^3) at the whole degree it reports, rounded, with uniform noise of +-noisePpm.
struct Quantity
{
    double base = 0;
    std::array<double, 4> drift {};
    std::array<double, 6> normalised {};

    double at(double t) const
    {
        const double d = t - 20.0;
        return base * (drift[0] + d * (drift[1] + d * (drift[2] + d * drift[3])));
    }
    // The value divided by the value at 20 °C, from the coefficients in powers of T.
    double normalisedAt(double t) const
    {
        double sum = 0;
        for (int k = 5; k >= 0; --k)
            sum = sum * t + normalised[size_t(k)];
        return sum;
    }
};

struct SimSensor
{
    int address = 0;
    Quantity level;
    Quantity frequency;
    Quantity period;
};

// What the simulator says about its sensors (--describe), to check readings against.
struct SimModel
{
    QVector<SimSensor> sensors;
    double noisePpm = 0;

    static SimModel of(const QJsonObject &description)
    {
        auto quantity = [](const QJsonObject &json) {
            Quantity q;
            q.base = json.value(QStringLiteral("base")).toDouble();
            const QJsonArray drift = json.value(QStringLiteral("drift")).toArray();
            for (int k = 0; k < 4 && k < drift.size(); ++k)
                q.drift[size_t(k)] = drift.at(k).toDouble();
            const QJsonArray normalised = json.value(QStringLiteral("normalised")).toArray();
            for (int k = 0; k < 6 && k < normalised.size(); ++k)
                q.normalised[size_t(k)] = normalised.at(k).toDouble();
            return q;
        };
        SimModel model;
        model.noisePpm = description.value(QStringLiteral("noisePpm")).toDouble();
        const QJsonArray sensors = description.value(QStringLiteral("sensors")).toArray();
        for (const QJsonValue &value : sensors) {
            const QJsonObject json = value.toObject();
            SimSensor s;
            s.address = json.value(QStringLiteral("address")).toInt();
            s.level = quantity(json.value(QStringLiteral("level")).toObject());
            s.frequency = quantity(json.value(QStringLiteral("frequency")).toObject());
            s.period = quantity(json.value(QStringLiteral("period")).toObject());
            model.sensors.append(s);
        }
        return model;
    }

    // Whether `value` can be a reading of quantity q at temperature t: within the noise
    // band plus half a count of rounding.
    bool fits(const Quantity &q, int t, double value) const
    {
        const double exact = q.at(t);
        return std::abs(value - exact) <= exact * noisePpm * 1e-6 + 0.51;
    }
};

// Which request the simulator took last and what became of its answer.
struct Exchange
{
    QString request; // "levelPeriod", "levelFrequency", "text", "modbusRead", ...
    QString fault; // "none", "ignored" (no answer), or the fault name ("drop", "late", ...)
};

// Length on the line of a whole answer to each kind of request.
inline int answerLength(const QString &request)
{
    if (request == QLatin1String("levelPeriod") || request == QLatin1String("modbusRead"))
        return 13;
    if (request == QLatin1String("levelFrequency") || request == QLatin1String("readCoefficient"))
        return 9;
    if (request == QLatin1String("text"))
        return 20;
    if (request == QLatin1String("writeCoefficient"))
        return 6;
    return 0;
}

class SimulatedBench
{
public:
    static constexpr int kLateSpacingMs = 150;

    // panelAddress[n] is the address panel n polls, -1 for "off".
    SimulatedBench(const QStringList &simArguments, int protocol, const QVector<int> &panelAddress,
        const std::function<void(QSettings &)> &moreSettings = {})
        : simulator(QStringLiteral(TARIKON_SENSOR_SIM))
    {
        if (!sandbox.isValid() || !QDir::setCurrent(sandbox.path())) {
            failure = QStringLiteral("no working directory");
            return;
        }
        if (!simulator.start(simArguments, sandbox.filePath(QStringLiteral("counts.json")))) {
            failure = QStringLiteral("simulator did not start: ") + simulator.errorText();
            return;
        }
        model = SimModel::of(
            SensorSimulator::describe(QStringLiteral(TARIKON_SENSOR_SIM), simArguments));

        // The settings an operator leaves behind: the port, the protocol, a long period (the
        // test drives the ticks) and the address of every panel.
        {
            QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
            settings.setValue(QStringLiteral("Port/CurentPort"), simulator.devicePath());
            settings.setValue(QStringLiteral("Port/CurentSpeed"), QStringLiteral("115200"));
            settings.setValue(QStringLiteral("Protocol/Protocol"), kProtocolNames.value(protocol));
            settings.setValue(QStringLiteral("Protocol/Period"), 99);
            for (int n = 0; n < panelAddress.size(); ++n)
                settings.setValue(QStringLiteral("DUT/DutAdres%1").arg(n), panelAddress[n] + 1);
            if (moreSettings)
                moreSettings(settings);
        }
        window = std::make_unique<MainWindow>();
        window->timer()->stop();
        if (window->protocolPanel()->currentProtocol() != protocol) {
            failure = QStringLiteral("protocol not taken from the settings");
            return;
        }
        click(window->comPort(), "pbOpen");
        if (!window->comPort()->isOpen())
            failure = QStringLiteral("port not opened: ") + simulator.devicePath();
        previous = simulator.counts();
    }

    ~SimulatedBench()
    {
        window.reset();
        simulator.stop();
        QDir::setCurrent(QDir::tempPath());
    }

    bool ready() const { return failure.isEmpty(); }

    static void click(QWidget *parent, const char *name)
    {
        QTest::mouseClick(parent->findChild<QPushButton *>(QLatin1String(name)), Qt::LeftButton);
    }
    void pressStart() { click(window->protocolPanel(), "pbStart"); }

    Dut *panel(int nomDut) const { return window->sensorBank()->dut(quint8(nomDut)); }
    QString panelText(int nomDut, const char *name) const
    {
        return panel(nomDut)->findChild<QLineEdit *>(QLatin1String(name))->text();
    }
    int errors(int nomDut) const { return panelText(nomDut, "leErr").toInt(); }

    QDir runDirectory() const
    {
        const QStringList runs = QDir::current().entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        return QDir(runs.value(0, QStringLiteral("<none>")));
    }

    // One polling tick, then the wait for what it started: the simulator takes the frame and
    // its answer (whole, in pieces, spoiled or late) reaches the window. Returns what the
    // simulator did with the frame; an empty request when nothing was sent.
    Exchange pollTick() { return tick(true); }
    Exchange coefficientTick() { return tick(false); }

    // Bytes the last tick examined, and time spent inside the bench's tick handlers.
    QByteArray examined;
    qint64 benchNanoseconds = 0;
    QString failure;

    QTemporaryDir sandbox;
    SensorSimulator simulator;
    SimModel model;
    std::unique_ptr<MainWindow> window;

private:
    Exchange tick(bool polling)
    {
        // A late answer comes in the middle of the next window, after that window's own answer,
        // as it does with a real polling period. Late answers are all held back by the same
        // time, so frames a few milliseconds apart would bring two of them into one window:
        // keep the frame after a late one a while behind it.
        if (lateSent.isValid()) {
            const qint64 wait = kLateSpacingMs - lateSent.elapsed();
            if (wait > 0)
                waitUntil([] { return false; }, int(wait));
            lateSent.invalidate();
        }
        examined = window->receivedBytes();
        // The window holds exactly what the last exchange was waited for: a late answer that
        // came early, or bytes nobody sent, would make the counts below meaningless.
        const bool garbage = lastFault == QLatin1String("garbage");
        if (failure.isEmpty()
            && (examined.size() < windowBytes || (!garbage && examined.size() > windowBytes)
                || (garbage && examined.size() > windowBytes + 11))) {
            failure = QStringLiteral("the window held %1 bytes, %2 expected after %3")
                          .arg(examined.size())
                          .arg(windowBytes)
                          .arg(lastFault);
        }
        const int before = requests(previous);
        QElapsedTimer clock;
        clock.start();
        if (polling)
            window->slotTimer();
        else
            window->slotTimerK();
        benchNanoseconds += clock.nsecsElapsed();

        // The port sends from the event loop: a frame written by the tick is still queued.
        Exchange exchange;
        if (window->comPort()->findChild<QSerialPort *>()->bytesToWrite() == 0) {
            windowBytes = lateBytes;
            lastFault.clear();
            return exchange;
        }
        // The simulator saves its counts before it answers, so once they show the request its
        // fate is known.
        QJsonObject now;
        if (!waitUntil([&] {
                now = simulator.counts();
                return requests(now) > before;
            })) {
            failure = QStringLiteral("the simulator did not take the frame");
            return exchange;
        }
        exchange = difference(previous, now);
        previous = now;

        const int whole = answerLength(exchange.request);
        int expected = lateBytes;
        lateBytes = 0;
        if (exchange.fault == QLatin1String("none") || exchange.fault == QLatin1String("corrupt")
            || exchange.fault == QLatin1String("split")
            || exchange.fault == QLatin1String("wrongAddress"))
            expected += whole;
        else if (exchange.fault == QLatin1String("garbage"))
            expected += 1;
        else if (exchange.fault == QLatin1String("late")) {
            lateBytes = whole;
            lateSent.start();
        }
        windowBytes = expected;
        lastFault = exchange.fault;
        if (!waitUntil([&] { return window->receivedBytes().size() >= expected; })
            && failure.isEmpty()) {
            failure = QStringLiteral("answer did not arrive: %1 of %2 bytes after %3/%4")
                          .arg(window->receivedBytes().size())
                          .arg(expected)
                          .arg(exchange.request, exchange.fault);
        }
        // Random bytes come in one write of unknown length: let the rest of it land.
        if (exchange.fault == QLatin1String("garbage"))
            waitUntil([] { return false; }, 3);
        return exchange;
    }

    static int requests(const QJsonObject &counts)
    {
        return counts.value(QStringLiteral("requests"))
            .toObject()
            .value(QStringLiteral("total"))
            .toInt(-1);
    }

    static Exchange difference(const QJsonObject &was, const QJsonObject &is)
    {
        Exchange exchange;
        const QJsonObject wasRequests = was.value(QStringLiteral("requests")).toObject();
        const QJsonObject isRequests = is.value(QStringLiteral("requests")).toObject();
        for (auto it = isRequests.begin(); it != isRequests.end(); ++it) {
            if (it.key() != QLatin1String("total")
                && it.value().toInt() > wasRequests.value(it.key()).toInt())
                exchange.request = it.key();
        }
        exchange.fault = QStringLiteral("none");
        if (is.value(QStringLiteral("ignored")).toInt()
            > was.value(QStringLiteral("ignored")).toInt())
            exchange.fault = QStringLiteral("ignored");
        const QJsonObject wasFaults = was.value(QStringLiteral("faults")).toObject();
        const QJsonObject isFaults = is.value(QStringLiteral("faults")).toObject();
        for (auto it = isFaults.begin(); it != isFaults.end(); ++it) {
            if (it.value().toInt() > wasFaults.value(it.key()).toInt())
                exchange.fault = it.key();
        }
        return exchange;
    }

    QJsonObject previous;
    int lateBytes = 0; // a late answer on its way, due in the next window
    QElapsedTimer lateSent;
    int windowBytes = 0; // what the current window was waited for
    QString lastFault;
};

// Lines of a sensor's run log, each split into its fields with the time stamp (five words
// of Qt's text date) taken off. A line whose time does not parse becomes {"<bad time>"}.
inline QList<QStringList> sensorLines(const QString &path)
{
    QList<QStringList> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    for (const QString &line : lines) {
        if (line.isEmpty())
            continue;
        const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (!QDateTime::fromString(words.mid(0, 5).join(QLatin1Char(' ')), Qt::TextDate).isValid())
            out.append({QStringLiteral("<bad time>")});
        else
            out.append(words.mid(5));
    }
    return out;
}

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Closes every message box as soon as it shows and keeps its text.
class BoxCloser
{
public:
    BoxCloser()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *box = qobject_cast<QMessageBox *>(widget);
                if (box && box->isVisible()) {
                    texts << box->text();
                    box->done(QMessageBox::Ok);
                }
            }
        });
        timer.start();
    }
    QStringList texts;

private:
    QTimer timer;
};

} // namespace e2e
