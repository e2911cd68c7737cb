#pragma once

#include "app/autoreport.h"

#include "protocol/coefficientwrite.h"
#include "sensors/calibrationrecord.h"
#include "settings/calibrationinfo.h"
#include "settings/sensorsetup.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class MainWindow;
class SensorData;

// The calibration report of the bench as it stands, a PDF on A4 made with Qt's own PDF writer,
// all of its text real text: a first page with the date, the working and run directories, the
// protocol and the bench's revision; then a page for every sensor that has data or was written
// in this run: its address, data kind, degree, range and coverage, the coefficients as found,
// as written and as read back with the write's result, the residual after correction per
// covered degree against the tolerance ("Report/tolerance_percent") with the pass/fail rule,
// and a plot of that sensor alone. Made in memory, so the caller writes it atomically.
class CalibrationReport
{
public:
    struct Sensor
    {
        const SensorData *data = nullptr;
        SensorSetup setup;
        CoefficientWrite::Values fit {}; // checked when nothing was written
        std::optional<CalibrationRecord> written; // the last write, if any
        QString serial; // the panel's serial number
    };
    struct Input
    {
        QDateTime time;
        QString workingDirectory;
        QString runDirectory; // empty: the port was not opened
        QString protocol;
        QString bench; // the window's title
        double tolerance = 0.5; // %
        QList<Sensor> sensors; // those with data or a write
        QList<AutoReport::Sensor> automatic; // the hands-free course's sensors with a verdict
        QString certificate; // the run's certificate number
        QString runId; // the run's last identifier
        CalibrationInfo info; // who, where, for whom, with what
    };

    // What the report of the window's bench would hold now. Its run is the one the port opened,
    // else loadedRun (taken up again with "Загрузить прогон…"); each sensor's last write is the
    // latest of the journal's records of that run and the writes of this bench session.
    static Input collect(MainWindow &window, const QString &loadedRun = QString());
    // Empty when the PDF could not be made.
    static QByteArray render(const Input &input);
};
