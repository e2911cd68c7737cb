#pragma once

#include "protocol/coefficientwrite.h"
#include "sensors/coverage.h"
#include "sensors/residuals.h"

#include <QDateTime>
#include <QMap>
#include <QString>

#include <optional>

class SensorData;
struct SensorSetup;

// One sensor's calibration as the journal and the report keep it: the panel's choices, how
// much of the accepted range its mid values cover, and the six coefficients checked against
// them, either a coefficient write that reached the line (with what was found and read back)
// or the current fit, not written. New fields go at the end; the journal's columns follow
// CalibrationJournal::header().
struct CalibrationRecord
{
    QDateTime time;
    int sensor = 0;
    int address = 255; // 255: the panel's address was "off"
    int protocol = 0;
    QString kind;
    int degree = 1;
    int rangeMin = -40;
    int rangeMax = 80;
    int covered = 0;
    int total = 0;
    std::optional<double> maxResidual; // % of the +20 °C mid value, over the covered degrees
    bool written = false; // write holds a write that reached the line
    CoefficientWrite write; // sent: the coefficients checked

    // The degrees of the range with and without a mid value, and the residual of the sent
    // coefficients per covered degree. Only a record made by of() has them.
    Coverage coverage;
    Residuals residuals;
    // The expanded uncertainty U (k = 2) per covered degree, in % of the +20 °C value; only a
    // record made by of() has it, the journal keeps its largest.
    QMap<int, double> uncertainty;

    // Which sensor, in which run, under which certificate, by whom, where and against which
    // reference thermometer; empty where not known.
    QString serial;
    QString run;
    QString certificate;
    QString operatorName;
    QString station;
    QString reference;
    std::optional<double> maxU; // the largest U over the covered degrees
    // False for a record read from a journal older than U: it was judged without U.
    bool guarded = true;

    // Where in the hands-free course the record was made: "found" (coefficients read before
    // anything was written), "written" (a write of the course) or "as_left" (the verdict on
    // what the compensated sensor reported); empty for a write by hand.
    QString stage;
    std::optional<double> asLeftPercent; // as_left: largest |v(T)/v(+20) - 1|, %

    // The pass rule: a write verified by its read-back, every degree of the accepted range
    // covered, and |residual| + U within tolerance (in %) at every covered degree (from the
    // largest of each where only those are known). A verdict resting on part of the range is
    // no pass, however small its residuals; nor is one without U, nor one whose as-left
    // figure is beyond the tolerance.
    bool passes(double tolerance) const;
    // "ГОДЕН", "НЕ ГОДЕН: диапазон не покрыт" (a write on part of the range), or "НЕ ГОДЕН".
    QString verdict(double tolerance) const;

    // The record of data and setup with the coefficients k, as a write that reached the line
    // when write is given. Reads the data's mid values of the setup's kind without touching
    // anything the panel shows.
    static CalibrationRecord of(const SensorData &data, const SensorSetup &setup,
        const CoefficientWrite::Values &k, const CoefficientWrite *write = nullptr,
        const QDateTime &time = QDateTime::currentDateTime());
};
