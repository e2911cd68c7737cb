// The bank's side of a run's identity: the run identifier made when polling starts, and the
// names a finished write is journalled under.
#include "sensors/duts.h"

#include "sensors/dut.h"
#include "sensors/runcertificate.h"
#include "sensors/runid.h"
#include "sensors/runlog.h"
#include "settings/calibrationinfo.h"

#include <QDateTime>
#include <QDir>

void Duts::beginRun()
{
    runIdDue = true;
}

void Duts::recordRunId()
{
    // Polling without an open port has no run directory: nothing to name.
    if (!runIdDue || runLog->directory().isEmpty())
        return;
    QString error;
    runId = RunId::begin(runLog->directory(), QDateTime::currentDateTime(), &error);
    // Not recorded (a full disk): the next reading tries again with a new identifier, until
    // one is on record.
    runIdDue = !error.isEmpty();
    emit sigStatus(
        error.isEmpty() ? QString() : QStringLiteral("Идентификатор прогона: %1").arg(error),
        QStringLiteral("runId"));
}

CalibrationRecord Duts::stamped(quint8 nomDut, const CalibrationRecord &record)
{
    // A write without polling names a run as well.
    if (runId.isEmpty() && RunId::last(runLog->directory()).isEmpty())
        runIdDue = true;
    recordRunId();
    CalibrationRecord r = record;
    const CalibrationInfo info = CalibrationInfo::read();
    if (r.serial.isEmpty() && dut(nomDut))
        r.serial = dut(nomDut)->serial();
    if (r.run.isEmpty())
        r.run = runId.isEmpty() ? RunId::last(runLog->directory()) : runId;
    r.operatorName = info.operatorName;
    r.station = info.station;
    r.reference = info.reference;
    QString error;
    r.certificate = RunCertificate::of(
        runLog->directory(), QDir::currentPath(), info.station, r.time.date(), &error);
    emit sigStatus(error.isEmpty() ? QString() : QStringLiteral("Сертификат: %1").arg(error),
        QStringLiteral("certificate"));
    return r;
}
