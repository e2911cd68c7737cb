#include "sensors/calibrationrecord.h"

#include "protocol/dutinfo.h"
#include "sensors/sensordata.h"
#include "settings/sensorsetup.h"

bool CalibrationRecord::passes(double tolerance) const
{
    return written && write.ok && total > 0 && covered == total && maxResidual
        && *maxResidual <= tolerance;
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
    return record;
}
