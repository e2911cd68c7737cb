#pragma once

#include "sensors/calibrationrecord.h"

#include <QObject>
#include <QString>

#include <array>
#include <optional>

// Where finished coefficient writes go: each record is appended to the calibration journal
// of the working directory, and the last one of each sensor is kept for the report. Owned by
// the main window, which hands it every record the sensor panels give.
class CalibrationBook : public QObject
{
    Q_OBJECT

public:
    static constexpr int sensorCount = 6;

    explicit CalibrationBook(QObject *parent = nullptr);

    // The journal's path: "calibration.csv" in the working directory, beside the run
    // directories.
    static QString journalPath();
    // The last write of sensor nomDut taken since the bench started, if any.
    const std::optional<CalibrationRecord> &lastWrite(int nomDut) const;

public slots:
    // Journals the record and keeps it as the sensor's last write. A journal that cannot be
    // written is said in the status bar until a record goes in again.
    void take(const CalibrationRecord &record);

signals:
    void sigStatus(const QString &message, const QString &topic);

private:
    std::array<std::optional<CalibrationRecord>, sensorCount> last;
};
