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

SensorSetup StoredSettings::sensor(const QSettings &settings, int nomDut)
{
    SensorSetup stored;
    stored.sensor = nomDut;
    stored.curveMask = settings.value(keys::curveMask(nomDut), 0).toUInt();
    stored.addressIndex
        = listIndex(settings, keys::dutAddress(nomDut), SensorSetup::addressEntries);
    auto bound = [&settings](const QString &key, int fallback) {
        const QString text = settings.value(key).toString();
        return SensorSetup::isBound(text) ? text.toInt() : fallback;
    };
    stored.rangeMin = bound(keys::rangeMin(nomDut), SensorSetup::defaultMin);
    stored.rangeMax = bound(keys::rangeMax(nomDut), SensorSetup::defaultMax);
    if (stored.rangeMin > stored.rangeMax) {
        stored.rangeMin = SensorSetup::defaultMin;
        stored.rangeMax = SensorSetup::defaultMax;
    }
    stored.kindIndex = listIndex(settings, keys::polynomType(nomDut), SensorSetup::kindEntries);
    stored.degree = qBound(SensorSetup::minDegree,
        settings.value(keys::polynomDegree(nomDut), 0).toInt(), SensorSetup::maxDegree);
    const std::array<quint32, 5> fresh = defaultColors(nomDut);
    for (const CurveEntry &curve : curveTable)
        stored.colors[curve.color]
            = color(settings, keys::curveColor(curve.color, nomDut), fresh[curve.color]);
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
    return ok ? static_cast<quint32>(value) : fallback;
}
