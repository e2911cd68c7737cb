#include "sensors/returncheck.h"

#include <QCoreApplication>

#include <algorithm>
#include <cmath>

namespace {

std::array<quint32, 3> fieldsOf(const DutInfo &info)
{
    return {info.level, info.freq, info.period};
}

QString tr(const char *text)
{
    return QCoreApplication::translate("ReturnCheck", text);
}

} // namespace

void ReturnCheck::reset()
{
    sensors = {};
    chamber.clear();
    otherDevice = false;
}

void ReturnCheck::taken(quint8 nomDut, const DutInfo &info, qint64 ms)
{
    if (nomDut >= sensorCount || !info.valid)
        return;
    Sensor &sensor = sensors.at(nomDut);
    const std::array<quint32, 3> fields = fieldsOf(info);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields.at(i) == 0)
            continue;
        const bool first = sensor.high.at(i) == 0;
        sensor.low.at(i) = first ? fields.at(i) : std::min(sensor.low.at(i), fields.at(i));
        sensor.high.at(i) = std::max(sensor.high.at(i), fields.at(i));
    }
    sensor.known = true;
    sensor.ms = ms;
    sensor.temp = info.temp;
    sensor.checking = false;
    chamber.add(ms, info.temp);
}

void ReturnCheck::lineBack(bool other)
{
    otherDevice = otherDevice || other;
    for (Sensor &sensor : sensors)
        sensor.checking = sensor.known;
}

ReturnCheck::Verdict ReturnCheck::check(quint8 nomDut, const DutInfo &info, qint64 ms)
{
    if (nomDut >= sensorCount)
        return {};
    Sensor &sensor = sensors.at(nomDut);
    if (otherDevice)
        return {false, tr("другое устройство")};
    if (sensor.held)
        return {false, tr("показания датчика не приняты после перерыва")};
    if (!sensor.checking || !info.valid)
        return {};
    const QString why = implausible(sensor, info, ms);
    if (why.isEmpty())
        return {};
    sensor.held = true;
    return {false, why};
}

QString ReturnCheck::implausible(const Sensor &sensor, const DutInfo &info, qint64 ms) const
{
    const double minutes = double(std::max<qint64>(0, ms - sensor.ms)) / 60000.0;
    const double rate = chamber.hasRate() ? std::abs(chamber.ratePerMinute()) : unknownRate;
    const double allowed = rate * minutes + marginDegrees;
    if (std::abs(info.temp - sensor.temp) > allowed)
        return tr("%1 °C, а %2 мин назад %3 °C: камера столько не проходит (±%4 °C)")
            .arg(info.temp)
            .arg(minutes, 0, 'f', 1)
            .arg(sensor.temp)
            .arg(allowed, 0, 'f', 1);

    static const char *const names[] = {"уровень", "частота", "период"};
    const std::array<quint32, 3> fields = fieldsOf(info);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (sensor.high.at(i) == 0)
            continue;
        const double low = sensor.low.at(i);
        const double high = sensor.high.at(i);
        const double widen = std::max(high - low, leastSpread * high);
        const double value = fields.at(i);
        if (value < low - widen || value > high + widen)
            return tr("%1 %2 вне разброса датчика %3..%4")
                .arg(tr(names[i]))
                .arg(fields.at(i))
                .arg(sensor.low.at(i))
                .arg(sensor.high.at(i));
    }
    return QString();
}

void ReturnCheck::accept()
{
    otherDevice = false;
    for (Sensor &sensor : sensors) {
        sensor.held = false;
        sensor.checking = false;
    }
}

bool ReturnCheck::isHolding() const
{
    return otherDevice
        || std::any_of(sensors.begin(), sensors.end(), [](const Sensor &s) { return s.held; });
}

bool ReturnCheck::isHeld(quint8 nomDut) const
{
    return otherDevice || (nomDut < sensorCount && sensors.at(nomDut).held);
}
