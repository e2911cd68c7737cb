#pragma once

#include "app/calibrationreport.h"
#include "app/labelsheet.h"

#include <QVector>

// The labels of a report's sensors: one for each sensor with a verdict (its coefficients were
// written), with its serial number, verdict, the date of the write, the certificate and the run.
class Labels
{
public:
    static QVector<LabelSheet::Label> of(const CalibrationReport::Input &input);
};
