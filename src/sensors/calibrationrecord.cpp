#include "sensors/calibrationrecord.h"

#include "fit/guardedacceptance.h"
#include "protocol/dutinfo.h"
#include "sensors/degreeuncertainty.h"
#include "sensors/sensordata.h"
#include "settings/sensorsetup.h"

#include <algorithm>

bool CalibrationRecord::passes(double tolerance) const
{
    if (!(written && write.ok && total > 0 && covered == total && maxResidual))
        return false;
    // Measured again after the write (the hands-free check), a sensor outside the tolerance is
    // no pass, however well its write fitted the data from before it.
    if (asLeftPercent && !(*asLeftPercent <= tolerance))
        return false;
    if (!guarded)
        return *maxResidual <= tolerance;
    if (residuals.isValid() && !uncertainty.isEmpty())
        return GuardedAcceptance::decide(residuals.byDegree(), uncertainty, tolerance, true).pass;
    return maxU && *maxResidual + *maxU <= tolerance;
}

QString CalibrationRecord::verdict(double tolerance) const
{
    if (passes(tolerance))
        return QStringLiteral("ГОДЕН");
    if (written && write.ok && covered < total)
        return QStringLiteral("НЕ ГОДЕН: диапазон не покрыт");
    return QStringLiteral("НЕ ГОДЕН");
}

CalibrationRecord CalibrationRecord::of(const SensorData &data, const SensorSetup &setup,
    const CoefficientWrite::Values &k, const CoefficientWrite *write, const QDateTime &time)
{
    CalibrationRecord record;
    record.time = time;
    record.sensor = setup.sensor;
    record.address = setup.address();
    record.protocol = setup.protocol;
    record.kind = setup.kindText();
    record.degree = setup.degree;
    record.rangeMin = setup.rangeMin;
    record.rangeMax = setup.rangeMax;
    const SensorData::MidlMap midl = data.midlOf(typeDataOfEntry(setup.kindIndex));
    record.coverage = Coverage::of(midl, record.rangeMin, record.rangeMax);
    record.covered = record.coverage.covered();
    record.total = record.coverage.total();
    if (write) {
        record.write = *write;
        record.written = true;
    }
    record.write.sent = write ? write->sent : k;
    Residuals::Coefficients coefficients {};
    for (int i = 0; i < 6; ++i)
        coefficients[i] = double(record.write.sent[i]);
    record.residuals = Residuals::of(midl, record.rangeMin, record.rangeMax, coefficients);
    if (record.residuals.isValid())
        record.maxResidual = record.residuals.largest();
    record.uncertainty = DegreeUncertainty::of(
        data, typeDataOfEntry(setup.kindIndex), record.degree, record.rangeMin, record.rangeMax);
    for (const double u : qAsConst(record.uncertainty))
        record.maxU = record.maxU ? std::max(*record.maxU, u) : u;
    return record;
}
