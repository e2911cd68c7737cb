#include "settings/storedsettings.h"

#include "settings/settingskeys.h"

#include <QSettings>

#include <algorithm>
#include <cmath>

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
    const std::array<quint32, 5> fresh = defaultColors(nomDut);
    stored.colorValue = color(settings, keys::colorValue(nomDut), fresh[0]);
    stored.colorMidl = color(settings, keys::colorMidl(nomDut), fresh[1]);
    stored.colorDelta = color(settings, keys::colorDelta(nomDut), fresh[2]);
    stored.colorTrend = color(settings, keys::colorTrend(nomDut), fresh[3]);
    stored.colorK = color(settings, keys::colorK(nomDut), fresh[4]);
    return stored;
}

std::array<quint32, 5> StoredSettings::defaultColors(int nomDut)
{
    // Per hue (blue, red, green, magenta, orange, teal): the full colour for the readings, a
    // dark one for the mid values, a light one for the deviation, a three-quarter one for
    // the trend and a greyed one for the K curve.
    static constexpr quint32 table[6][5]
        = {{0xFF0000FFu, 0xFF000080u, 0xFF9999FFu, 0xFF0000BFu, 0xFF454599u},
            {0xFFFF0000u, 0xFF800000u, 0xFFFF9999u, 0xFFBF0000u, 0xFF994545u},
            {0xFF00C000u, 0xFF005A00u, 0xFF99FF99u, 0xFF008C00u, 0xFF459945u},
            {0xFFFF00FFu, 0xFF800080u, 0xFFFF99FFu, 0xFFBF00BFu, 0xFF994599u},
            {0xFFFF8000u, 0xFF804000u, 0xFFFFCC99u, 0xFFBF6000u, 0xFF996F45u},
            {0xFF00C0C0u, 0xFF005A5Au, 0xFF99FFFFu, 0xFF008C8Cu, 0xFF459999u}};
    const auto &row = table[nomDut >= 0 && nomDut < 6 ? nomDut : 0];
    return {row[0], row[1], row[2], row[3], row[4]};
}

StoredSettings::Bench StoredSettings::bench(const QSettings &settings)
{
    Bench stored;
    stored.protocol = settings.value(keys::protocol()).toString();
    // Not a number reads as 0 and becomes the shortest period; the range limits the rest.
    bool ok = false;
    const qlonglong seconds = settings.value(keys::period()).toLongLong(&ok);
    stored.period = int(qBound<qlonglong>(Bench::minPeriod, ok ? seconds : 0, Bench::maxPeriod));
    // Only a plain yes switches the automatic writes on; QVariant would take any text for one.
    const QString automatic = settings.value(keys::autoCalibration()).toString().trimmed();
    stored.autoCalibration
        = automatic.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0 || automatic == "1";
    return stored;
}

StoredSettings::Calibration StoredSettings::calibration(const QSettings &settings)
{
    Calibration stored;
    // The INI file gives several comma-separated entries as a list, one as a text.
    QStringList items;
    for (const QString &part : settings.value(keys::checkPoints()).toStringList())
        items += part.split(QLatin1Char(','));
    for (const QString &item : items) {
        bool ok = false;
        const int t = item.trimmed().toInt(&ok);
        if (ok && t >= -90 && t <= 99 && !stored.checkPoints.contains(t))
            stored.checkPoints.append(t);
    }
    std::sort(stored.checkPoints.begin(), stored.checkPoints.end());

    bool ok = false;
    const double tolerance = settings.value(keys::reportTolerance()).toDouble(&ok);
    if (ok && std::isfinite(tolerance) && tolerance >= 0)
        stored.tolerancePercent = tolerance;
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
