#pragma once

#include "settings/sensorsetup.h"

#include <QMap>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QtGlobal>

#include <functional>
#include <optional>

// Every key of the settings file, in one place: the sensor panels, the bench strip, the serial
// panel, the main window and the plot read and write the same keys. Keys of a sensor take its
// number 0..5. The file is opened afresh on "settings.ini" in the working directory for every
// read or write (Qt shares what it parsed between the objects of one file), except that the
// writes of a Batch reach the file together.
namespace settingskeys {

inline QString file()
{
    return QStringLiteral("settings.ini");
}

// Writes one value at once, as every setting is written the moment its widget changes. A value
// the file already holds is not written again: each write replaces the whole file and waits
// for it to reach the disk. A value the file could not take (a full disk, a file or folder
// that cannot be written) is kept and goes with every later write, and with writePending(),
// until the file takes it.
namespace detail {
// The settings object of the open batch, if any.
inline QSettings *&batch()
{
    static QSettings *open = nullptr;
    return open;
}
// Values stored but not yet in the file, by key.
inline QMap<QString, QVariant> &pending()
{
    static QMap<QString, QVariant> values;
    return values;
}
inline bool put(QSettings &settings, const QString &key, const QVariant &value)
{
    if (value.canConvert<QString>() && settings.contains(key)
        && settings.value(key).toString() == value.toString())
        return false;
    settings.setValue(key, value);
    return true;
}
inline std::function<void(const QString &)> &failureReporter()
{
    static std::function<void(const QString &)> report;
    return report;
}
// Writes the file now, with every value still pending, and says once that it could not be
// written, until it can again.
inline void sync(QSettings &settings, const QString &what)
{
    static bool failing = false;
    for (auto it = pending().cbegin(); it != pending().cend(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
    const bool failed = settings.status() != QSettings::NoError;
    if (!failed)
        pending().clear();
    if (failed == failing)
        return;
    failing = failed;
    if (failureReporter())
        failureReporter()(failed
                ? QStringLiteral("Настройки не сохраняются: %1 не записан (%2)").arg(file(), what)
                : QString());
}
} // namespace detail

// Where a settings file that cannot be written is said (once; an empty message when it can be
// written again). The window sends it to the status bar.
inline void setFailureReporter(std::function<void(const QString &)> report)
{
    detail::failureReporter() = std::move(report);
}

inline void store(const QString &key, const QVariant &value)
{
    if (QSettings *open = detail::batch()) {
        if (detail::put(*open, key, value))
            detail::pending().insert(key, value);
        return;
    }
    QSettings settings(file(), QSettings::IniFormat);
    // A key still pending takes the newer value even where the file already holds it.
    if (detail::put(settings, key, value) || detail::pending().contains(key)) {
        detail::pending().insert(key, value);
        detail::sync(settings, key);
    }
}

// Writes the values the file could not take before; true when none is left. Nothing is written
// while a batch is open: its end writes them.
inline bool writePending()
{
    if (detail::pending().isEmpty() || detail::batch())
        return detail::pending().isEmpty();
    QSettings settings(file(), QSettings::IniFormat);
    detail::sync(settings, QStringList(detail::pending().keys()).join(QStringLiteral(", ")));
    return detail::pending().isEmpty();
}

// The object to read through: the open batch's, else a fresh one in `own`. A new settings
// object would first write out what the batch holds.
inline const QSettings &reader(std::optional<QSettings> &own)
{
    if (const QSettings *open = detail::batch())
        return *open;
    return own.emplace(file(), QSettings::IniFormat);
}

// While a batch lives, what is stored goes into one settings object, which writes the file once
// when the outermost batch ends: start-up announces every stored value through the slots that
// store a change, and a first start would otherwise write the new file once per key.
class Batch
{
public:
    Batch()
    {
        if (!detail::batch()) {
            own.emplace(file(), QSettings::IniFormat);
            detail::batch() = &*own;
        }
    }
    ~Batch()
    {
        if (own) {
            detail::batch() = nullptr;
            detail::sync(*own, QStringLiteral("при запуске"));
        }
    }
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

private:
    std::optional<QSettings> own;
};

namespace detail {
inline QString perSensor(const char *pattern, int nomDut)
{
    return QString::fromLatin1(pattern).arg(nomDut);
}
} // namespace detail

// Sensor panel: address-list index (0 "off", i: address i - 1), statistics range, polynomial.
inline QString dutAddress(int nomDut)
{
    return detail::perSensor("DUT/DutAdres%1", nomDut);
}
inline QString rangeMin(int nomDut)
{
    return detail::perSensor("Diapazon/Dut%1_min", nomDut);
}
inline QString rangeMax(int nomDut)
{
    return detail::perSensor("Diapazon/Dut%1_max", nomDut);
}
inline QString polynomType(int nomDut)
{
    return detail::perSensor("Polynom/PolynomType%1", nomDut);
}
inline QString polynomDegree(int nomDut)
{
    return detail::perSensor("Polynom/PolynomNom%1", nomDut);
}

// Which curves of a sensor the plot shows: the CurveBit mask as an unsigned number.
inline QString curveMask(int nomDut)
{
    return detail::perSensor("Enabled/EnabledCurve%1_min", nomDut);
}

// A curve's colour (CurveColor), kept as unsigned decimal text of the 32-bit ARGB value.
inline QString curveColor(CurveColor curve, int nomDut)
{
    static constexpr const char *patterns[] = {"Color/Value%1_color", "Color/Midl%1_color",
        "Color/Delta%1_color", "Color/Trend%1_color", "Color/K%1_color"};
    return detail::perSensor(patterns[curve <= ColorK ? curve : ColorValue], nomDut);
}

// Radius of the plot's calibration-point markers, in pixels.
inline QString pointRadius()
{
    return QStringLiteral("Plot/point_radius");
}

// Last locations of the file dialogs: measurement sets and coefficient files.
inline QString savePath()
{
    return QStringLiteral("Main/save_path");
}
inline QString loadPath()
{
    return QStringLiteral("Main/load_path");
}
inline QString saveKPath()
{
    return QStringLiteral("Main/saveK_path");
}
inline QString loadKPath()
{
    return QStringLiteral("Main/loadK_path");
}
// The last plot picture saved.
inline QString savePlotPath()
{
    return QStringLiteral("Main/savePlot_path");
}

// Serial panel: port name and speed text.
inline QString portName()
{
    return QStringLiteral("Port/CurentPort");
}
inline QString portSpeed()
{
    return QStringLiteral("Port/CurentSpeed");
}

// Bench strip: protocol by its list text, polling period in seconds.
inline QString protocol()
{
    return QStringLiteral("Protocol/Protocol");
}
inline QString period()
{
    return QStringLiteral("Protocol/Period");
}
// Whether the bench calibrates the polled sensors by itself while polling runs; off unless
// "true" or "1".
inline QString autoCalibration()
{
    return QStringLiteral("Protocol/AutoCalibration");
}

// The temperatures the as-left check waits for, whole degrees, comma-separated; without it the
// range's two ends and +20 °C.
inline QString checkPoints()
{
    return QStringLiteral("Calibration/check_points");
}

// Calibration report: the largest residual after correction a sensor may keep, in % of its
// +20 °C value (default 0.5).
inline QString reportTolerance()
{
    return QStringLiteral("Report/tolerance_percent");
}
constexpr double reportToleranceDefault = 0.5;

// The laboratory's PostgreSQL server that every calibration record is also sent to, as libpq
// takes them: a host name, an address or a Unix-socket directory, the port, the database, the
// user and the SSL mode. No host: no server. The bench never stores a password (libpq's
// ~/.pgpass, PGPASSFILE or a service file give it).
inline QString databaseHost()
{
    return QStringLiteral("Database/host");
}
inline QString databasePort()
{
    return QStringLiteral("Database/port");
}
inline QString databaseName()
{
    return QStringLiteral("Database/name");
}
inline QString databaseUser()
{
    return QStringLiteral("Database/user");
}
inline QString databaseSslMode()
{
    return QStringLiteral("Database/sslmode");
}

// Who calibrated, where and with what, as the certificate names them (CalibrationInfo).
inline QString reportLaboratory()
{
    return QStringLiteral("Report/laboratory");
}
inline QString reportLaboratoryAddress()
{
    return QStringLiteral("Report/laboratory_address");
}
inline QString reportStation()
{
    return QStringLiteral("Report/station");
}
inline QString reportOperator()
{
    return QStringLiteral("Report/operator");
}
inline QString reportCustomer()
{
    return QStringLiteral("Report/customer");
}
inline QString reportReference()
{
    return QStringLiteral("Report/reference");
}
inline QString reportReferenceCertificate()
{
    return QStringLiteral("Report/reference_certificate");
}
// yyyy-MM-dd
inline QString reportReferenceDue()
{
    return QStringLiteral("Report/reference_due");
}
inline QString reportMethod()
{
    return QStringLiteral("Report/method");
}
// °C and %, as typed numbers.
inline QString reportAmbientTemperature()
{
    return QStringLiteral("Report/ambient_temperature");
}
inline QString reportAmbientHumidity()
{
    return QStringLiteral("Report/ambient_humidity");
}

// A sensor's serial number, as scanned into its panel.
inline QString dutSerial(int nomDut)
{
    return detail::perSensor("DUT/Serial%1", nomDut);
}

} // namespace settingskeys
