// Any settings file, as the bench opens it: entries holding binary data go first, then every
// value of what is left can be read without the settings object decoding binary data, and every
// sensor panel's and the bench strip's stored settings land inside their widgets' ranges.
#include "fuzzcheck.h"

#include "settings/settingsfile.h"
#include "settings/storedsettings.h"

#include <QDateTime>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, size_t size)
{
    quietQtDebug();
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("settings.ini"));
    static QDateTime stamp = QDateTime::currentDateTimeUtc();
    FUZZ_CHECK(dir.isValid());
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data), qint64(size)) == qint64(size));
        // The settings object keeps the files it has read and trusts their size and time
        // stamp; a new stamp for every input makes it read the file again.
        stamp = stamp.addMSecs(1);
        FUZZ_CHECK(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
    FUZZ_CHECK(SettingsFile::removeBinaryValues(path) >= 0);
    FUZZ_CHECK(SettingsFile::removeBinaryValues(path) == 0);
    stamp = stamp.addMSecs(1);
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::ReadWrite));
        FUZZ_CHECK(file.setFileTime(stamp, QFileDevice::FileModificationTime));
    }
    {
        const QSettings settings(path, QSettings::IniFormat);
        // Texts, lists and the plain forms "@ByteArray", "@Rect", "@Size", "@Point", "@Invalid".
        const auto plain = [](const QVariant &value) {
            return QList<int> {QMetaType::QString, QMetaType::QByteArray, QMetaType::QRect,
                QMetaType::QSize, QMetaType::QPoint, QMetaType::UnknownType}
                .contains(value.userType());
        };
        for (const QString &key : settings.allKeys()) {
            const QVariant value = settings.value(key);
            if (value.userType() == QMetaType::QStringList)
                continue;
            if (value.userType() == QMetaType::QVariantList) {
                for (const QVariant &item : value.toList())
                    FUZZ_CHECK(plain(item));
            } else {
                FUZZ_CHECK(plain(value));
            }
        }
        for (int nomDut = 0; nomDut < 6; ++nomDut) {
            using Sensor = SensorSetup;
            const Sensor stored = StoredSettings::sensor(settings, nomDut);
            FUZZ_CHECK(stored.addressIndex >= 0 && stored.addressIndex < Sensor::addressEntries);
            FUZZ_CHECK(stored.kindIndex >= 0 && stored.kindIndex < Sensor::kindEntries);
            FUZZ_CHECK(stored.degree >= Sensor::minDegree && stored.degree <= Sensor::maxDegree);
            FUZZ_CHECK(Sensor::lowestBound <= stored.rangeMin && stored.rangeMin <= stored.rangeMax
                && stored.rangeMax <= Sensor::highestBound);
        }
        const StoredSettings::Bench bench = StoredSettings::bench(settings);
        FUZZ_CHECK(bench.period >= StoredSettings::Bench::minPeriod
            && bench.period <= StoredSettings::Bench::maxPeriod);
        const StoredSettings::Calibration rules = StoredSettings::calibration(settings);
        FUZZ_CHECK(std::is_sorted(rules.checkPoints.begin(), rules.checkPoints.end())
            && std::adjacent_find(rules.checkPoints.begin(), rules.checkPoints.end())
                == rules.checkPoints.end());
        FUZZ_CHECK(rules.checkPoints.isEmpty()
            || (rules.checkPoints.first() >= -90 && rules.checkPoints.last() <= 99));
        FUZZ_CHECK(std::isfinite(rules.tolerancePercent) && rules.tolerancePercent >= 0);
    }
    return 0;
}
