// The sensor panel's calibration record: what a coefficient write did, as the journal and the
// report keep it, the exchange's failures in the status bar, and the mark on a write column
// that no longer holds the current fit.
#include "sensors/dut.h"

#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "protocol/request.h"
#include "sensors/coverage.h"
#include "sensors/residuals.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include <limits>

namespace {

// The write column's own frame, and the frame that says it is not the current fit.
const QString kColumnStyle = QStringLiteral("border: 1px solid gray;");
// Same border width: the mark must not move the panel's layout (and the plot under it).
const QString kStaleStyle
    = QStringLiteral("border: 1px solid rgb(230, 120, 0); background-color: rgb(255, 232, 190);");
const QString kStaleTip = QStringLiteral(
    "Столбец записи не совпадает с текущим расчётом K0..K5: нажмите \"->\", чтобы записать расчёт");

// A coefficient text as the write would take it; NaN when it is none.
float valueOf(QString text)
{
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const float value = text.toFloat(&ok);
    return ok ? value : std::numeric_limits<float>::quiet_NaN();
}

} // namespace

void Dut::connectCalibration()
{
    connect(request, &Request::writeFinished, this, &Dut::takeWrite);
    const QString topic = QStringLiteral("dut%1.exchangeK").arg(nomDut);
    connect(request, &Request::sigExchangeError, this, [this, topic] {
        emit sigStatus(QStringLiteral("ДУТ %1: %2").arg(nomDut).arg(request->lastFailure()), topic);
    });
    connect(request, &Request::sigExchangeOk, this,
        [this, topic] { emit sigStatus(QString(), topic); });
    for (QLineEdit *edit : leK)
        connect(edit, &QLineEdit::textChanged, this, &Dut::updateStaleMark);
    for (QLineEdit *edit : leReadK)
        connect(edit, &QLineEdit::textChanged, this, &Dut::updateStaleMark);
}

void Dut::abandonExchange()
{
    request->abandon();
}

void Dut::takeWrite(const CoefficientWrite &write)
{
    lastRecord = calibrationRecord(write);
    emit sigCalibrated(nomDut, *lastRecord);
}

CalibrationRecord Dut::calibrationRecord(const CoefficientWrite &write)
{
    CalibrationRecord record;
    record.time = QDateTime::currentDateTime();
    record.sensor = nomDut;
    record.address = cbPort->currentIndex() > 0 ? cbPort->currentIndex() - 1 : 255;
    record.protocol = request->protocolValue();
    record.kind = cbTypePolinom->currentText();
    record.degree = sbNomPolinom->value();
    record.rangeMin = leMin->bound();
    record.rangeMax = leMax->bound();
    const MidlMap &midl = *getMidl();
    const Coverage coverage = rangeCoverage;
    record.covered = coverage.covered();
    record.total = coverage.total();
    Residuals::Coefficients k {};
    for (int i = 0; i < 6; ++i)
        k[i] = double(write.sent[i]);
    const Residuals residuals = Residuals::of(midl, record.rangeMin, record.rangeMax, k);
    if (residuals.isValid())
        record.maxResidual = residuals.largest();
    record.write = write;
    return record;
}

CalibrationRecord Dut::calibrationRecord()
{
    CoefficientWrite fit;
    for (int i = 0; i < 6; ++i)
        fit.sent[i] = kValues[i];
    return calibrationRecord(fit);
}

void Dut::updateStaleMark()
{
    bool stale = false;
    for (int i = 0; i < 6 && !stale; ++i) {
        const float column = valueOf(leReadK[i]->text());
        const float fit = valueOf(leK[i]->text());
        stale = !CoefficientWrite::sameBits(column, fit);
    }
    if (stale == staleColumn)
        return;
    staleColumn = stale;
    for (QLineEdit *edit : leReadK) {
        edit->setProperty("stale", stale);
        edit->setStyleSheet(stale ? kStaleStyle : kColumnStyle);
        edit->setToolTip(stale ? kStaleTip : QString());
    }
}
