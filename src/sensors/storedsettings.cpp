#include "sensors/storedsettings.h"

#include "sensors/settingskeys.h"

#include <QSettings>

namespace keys = settingskeys;

namespace {

// A list index outside the list falls back to its first entry.
int listIndex(const QSettings &settings, const QString &key, int count)
{
    const int index = settings.value(key, 0).toInt();
    return index >= 0 && index < count ? index : 0;
}

} // namespace

StoredSettings::Sensor StoredSettings::sensor(const QSettings &settings, int nomDut)
{
    Sensor stored;
    stored.curveMask = settings.value(keys::curveMask(nomDut), 0).toUInt();
    stored.addressIndex = listIndex(settings, keys::dutAddress(nomDut), Sensor::addressEntries);
    stored.rangeMin = settings.value(keys::rangeMin(nomDut), stored.rangeMin).toString();
    stored.rangeMax = settings.value(keys::rangeMax(nomDut), stored.rangeMax).toString();
    stored.polynomType = listIndex(settings, keys::polynomType(nomDut), Sensor::polynomTypes);
    stored.polynomDegree = qBound(Sensor::minDegree,
        settings.value(keys::polynomDegree(nomDut), 0).toInt(), Sensor::maxDegree);
    stored.colorValue = color(settings, keys::colorValue(nomDut), Sensor::defaultColor);
    stored.colorMidl = color(settings, keys::colorMidl(nomDut), Sensor::defaultColor);
    stored.colorDelta = color(settings, keys::colorDelta(nomDut), Sensor::defaultColor);
    stored.colorTrend = color(settings, keys::colorTrend(nomDut), Sensor::defaultColor);
    stored.colorK = color(settings, keys::colorK(nomDut), Sensor::defaultColor);
    return stored;
}

StoredSettings::Bench StoredSettings::bench(const QSettings &settings)
{
    Bench stored;
    stored.protocol = settings.value(keys::protocol()).toString();
    // Not a number reads as 0 and becomes the shortest period; the range limits the rest.
    bool ok = false;
    const qlonglong seconds = settings.value(keys::period()).toLongLong(&ok);
    stored.period = int(qBound<qlonglong>(Bench::minPeriod, ok ? seconds : 0, Bench::maxPeriod));
    return stored;
}

quint32 StoredSettings::color(const QSettings &settings, const QString &key, quint32 fallback)
{
    if (!settings.contains(key))
        return fallback;
    bool ok = false;
    const qlonglong value = settings.value(key).toString().toLongLong(&ok);
    return ok ? static_cast<quint32>(value) : 0;
}
