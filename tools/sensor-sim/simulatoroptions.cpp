#include "sensor-sim/simulatoroptions.h"

#include <QSet>
#include <cmath>

namespace {

constexpr int kMaxSensors = 6;

struct OptionSpec
{
    const char *name;
    const char *description;
    const char *valueName;
    const char *defaultValue;
};

// clang-format off
const OptionSpec kOptions[] = {
    {"sensors", "Number of simulated sensors, 1..6; addresses 1..N unless --addresses is given.", "count", "6"},
    {"addresses", "Comma-separated sensor addresses 0..254, at most six; the first sensor also answers \"DO\".", "list", ""},
    {"seed", "Seed for noise and faults; the same seed and requests repeat a run exactly.", "n", "1"},
    {"noise-ppm", "Uniform noise on level, frequency and period, in parts per million of the value.", "ppm", "100"},
    {"temp-min", "Low end of the temperature sweep, °C.", "degrees", "-40"},
    {"temp-max", "High end of the temperature sweep, °C.", "degrees", "80"},
    {"temp-start", "Temperature at start, °C (default: the low end); the sweep goes up first.", "degrees", ""},
    {"seconds-per-degree", "Sweep speed by the clock; 0 holds the start temperature.", "seconds", "2"},
    {"temp-step-per-poll", "Advance the sweep by this many degrees per measurement request instead of by the clock (for repeatable runs).", "degrees", "0"},
    {"drop", "Share of answers not sent, 0..1.", "share", "0"},
    {"corrupt", "Share of answers with one byte spoiled, 0..1.", "share", "0"},
    {"late", "Share of answers sent after --late-ms, 0..1.", "share", "0"},
    {"split", "Share of answers sent in two writes --split-gap-ms apart, 0..1.", "share", "0"},
    {"garbage", "Share of answers replaced by random bytes, 0..1.", "share", "0"},
    {"wrong-address", "Share of answers sent from another address, 0..1 (not the text answer).", "share", "0"},
    {"late-ms", "Delay of a late answer, ms.", "ms", "1500"},
    {"split-gap-ms", "Pause between the two parts of a split answer, ms.", "ms", "30"},
    {"frame-gap-ms", "Quiet time after which an unfinished request is dropped as noise, ms.", "ms", "50"},
    {"flip-k", "Store coefficient K<n> (0..5, as the bench names them) with the lowest bit of its value flipped.", "n", ""},
 {"no-compensation", "Comma-separated sensor positions (0-based, in address order) that store the coefficients written to them but keep reporting raw values.", "list", ""},
    {"link", "Also make a symbolic link to the device at this path (removed on exit).", "path", ""},
    {"stats", "Keep counts of requests, answers and faults as JSON in this file.", "path", ""},
};
// clang-format on

} // namespace

SimulatorOptions::SimulatorOptions()
{
    m_parser.setApplicationDescription(
        "Plays up to six fuel-level sensors on a pseudo-terminal for the bench. Prints the "
        "device path on the first line of its output, answers the measurement requests of "
        "all four polling protocols and the coefficient write and read, and exits cleanly on "
        "SIGINT or SIGTERM.\n\n"
        "Each quantity follows value(T) = base * (1 + d1*(T-20) + d2*(T-20)^2 + d3*(T-20)^3) "
        "at the whole degree reported; --describe prints base, d1..d3 and value(T)/value(20) "
        "in powers of T for every sensor.\n\n"
        "A sensor holding coefficients K0..K5 other than all zeros compensates: it reports "
        "value(T) / (K0 + K1*T + ... + K5*T^5), worked out in single precision and rounded to "
        "its field, so the bench's fit of value(T)/value(20), once written, flattens its "
        "output. --no-compensation keeps the sensors it names raw.");
    m_parser.addHelpOption();
    m_parser.addVersionOption();
    for (const OptionSpec &option : kOptions) {
        QString description = QString::fromUtf8(option.description);
        if (*option.defaultValue)
            description += QStringLiteral(" Default: %1.").arg(QLatin1String(option.defaultValue));
        m_parser.addOption(QCommandLineOption(
            QString::fromLatin1(option.name), description, QString::fromLatin1(option.valueName)));
    }
    m_parser.addOption(QCommandLineOption("describe",
        "Print the sensors' temperature dependences and the settings as JSON, then exit."));
}

SimulatorOptions::Result SimulatorOptions::parse(const QStringList &arguments)
{
    m_config = SimulatorConfig();
    m_error.clear();
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return Result::Error;
    }
    if (m_parser.isSet("help"))
        return Result::Help;
    if (m_parser.isSet("version"))
        return Result::Version;
    if (!m_parser.positionalArguments().isEmpty()) {
        m_error
            = QStringLiteral("unexpected argument: %1").arg(m_parser.positionalArguments().first());
        return Result::Error;
    }

    SimulatorConfig &c = m_config;
    if (!parseAddresses())
        return Result::Error;

    if (m_parser.isSet("seed")) {
        bool ok = false;
        c.seed = m_parser.value("seed").toULongLong(&ok);
        if (!ok) {
            m_error = QStringLiteral("--seed needs a whole number 0..18446744073709551615");
            return Result::Error;
        }
    }

    // Temperatures are whole degrees in a signed byte on the wire.
    const bool ok = number("noise-ppm", 0.0, 100000.0, &c.noisePpm)
        && number("temp-min", -128.0, 127.0, &c.temperatureLow)
        && number("temp-max", -128.0, 127.0, &c.temperatureHigh)
        && number("seconds-per-degree", 0.0, 1e6, &c.secondsPerDegree)
        && number("temp-step-per-poll", 0.0, 255.0, &c.stepPerPoll)
        && number("drop", 0.0, 1.0, &c.faults.drop)
        && number("corrupt", 0.0, 1.0, &c.faults.corrupt)
        && number("late", 0.0, 1.0, &c.faults.late) && number("split", 0.0, 1.0, &c.faults.split)
        && number("garbage", 0.0, 1.0, &c.faults.garbage)
        && number("wrong-address", 0.0, 1.0, &c.faults.wrongAddress)
        && integer("late-ms", 0, 600000, &c.lateMs)
        && integer("split-gap-ms", 0, 600000, &c.splitGapMs)
        && integer("frame-gap-ms", 1, 60000, &c.frameGapMs)
        && integer("flip-k", 0, 5, &c.flipCoefficient);
    if (!ok)
        return Result::Error;
    if (c.temperatureLow > c.temperatureHigh) {
        m_error = QStringLiteral("--temp-min must not be above --temp-max");
        return Result::Error;
    }
    c.temperatureStart = c.temperatureLow;
    if (!number("temp-start", c.temperatureLow, c.temperatureHigh, &c.temperatureStart))
        return Result::Error;
    if (c.faults.total() > 1.0 + 1e-9) {
        m_error = QStringLiteral("the fault shares add up to more than 1");
        return Result::Error;
    }

    if (!parseRawSensors())
        return Result::Error;

    c.linkPath = m_parser.value("link");
    c.statsPath = m_parser.value("stats");
    c.describe = m_parser.isSet("describe");
    return Result::Run;
}

bool SimulatorOptions::number(const QString &name, double low, double high, double *out)
{
    if (!m_parser.isSet(name))
        return true;
    bool ok = false;
    const double v = m_parser.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < low || v > high) {
        m_error = QStringLiteral("--%1 needs a number from %2 to %3").arg(name).arg(low).arg(high);
        return false;
    }
    *out = v;
    return true;
}

bool SimulatorOptions::integer(const QString &name, int low, int high, int *out)
{
    if (!m_parser.isSet(name))
        return true;
    bool ok = false;
    const int v = m_parser.value(name).toInt(&ok);
    if (!ok || v < low || v > high) {
        m_error = QStringLiteral("--%1 needs a whole number from %2 to %3")
                      .arg(name)
                      .arg(low)
                      .arg(high);
        return false;
    }
    *out = v;
    return true;
}

bool SimulatorOptions::parseAddresses()
{
    int count = kMaxSensors;
    if (!integer("sensors", 1, kMaxSensors, &count))
        return false;

    QVector<quint8> addresses;
    if (m_parser.isSet("addresses")) {
        QSet<int> seen;
        const QStringList items = m_parser.value("addresses").split(',');
        for (const QString &item : items) {
            bool ok = false;
            const int a = item.trimmed().toInt(&ok);
            if (!ok || a < 0 || a > 254) {
                m_error = QStringLiteral("--addresses: \"%1\" is not an address 0..254").arg(item);
                return false;
            }
            if (seen.contains(a)) {
                m_error = QStringLiteral("--addresses: %1 is given twice").arg(a);
                return false;
            }
            seen.insert(a);
            addresses.append(quint8(a));
        }
        if (addresses.size() > kMaxSensors) {
            m_error = QStringLiteral("--addresses: at most %1 sensors").arg(kMaxSensors);
            return false;
        }
        if (m_parser.isSet("sensors") && addresses.size() != count) {
            m_error = QStringLiteral("--sensors and --addresses disagree on the number of sensors");
            return false;
        }
    } else {
        for (int i = 0; i < count; ++i)
            addresses.append(quint8(i + 1));
    }
    m_config.addresses = addresses;
    return true;
}

bool SimulatorOptions::parseRawSensors()
{
    if (!m_parser.isSet("no-compensation"))
        return true;
    const int count = int(m_config.addresses.size());
    const QStringList items = m_parser.value("no-compensation").split(',');
    for (const QString &item : items) {
        bool ok = false;
        const int position = item.trimmed().toInt(&ok);
        if (!ok || position < 0 || position >= count) {
            m_error = QStringLiteral("--no-compensation: \"%1\" is not a sensor position 0..%2")
                          .arg(item)
                          .arg(count - 1);
            return false;
        }
        if (!m_config.rawSensors.contains(position))
            m_config.rawSensors.append(position);
    }
    return true;
}
