// The sensor panel's side of a coefficient write: its record handed on when it ends, the
// exchange's failures in the status bar, and the mark on a write column that no longer holds
// the current fit.
#include "sensors/dut.h"

#include "protocol/request.h"

#include <QLineEdit>

#include <limits>

namespace {

// The write column's own frame, and the frame that says it is not the current fit.
const QString kColumnStyle = QStringLiteral("border: 1px solid gray;");
// Same border width: the mark must not move the panel's layout (and the plot under it).
const QString kStaleStyle
    = QStringLiteral("border: 1px solid rgb(230, 120, 0); background-color: rgb(255, 232, 190);");
const QString kStaleTip = QStringLiteral(
    "Столбец записи не совпадает с текущим расчётом K0..K5: нажмите \"->\", чтобы записать расчёт");

// A coefficient text as the write would take it; NaN when it would refuse it.
float valueOf(const QString &text)
{
    float value = 0;
    return CoefficientWrite::refusal(text, &value).isEmpty()
        ? value
        : std::numeric_limits<float>::quiet_NaN();
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

bool Dut::exchangeRunning() const
{
    return request->saveKLeft() != 0 || request->readKLeft() != 0;
}

void Dut::takeWrite(const CoefficientWrite &write)
{
    emit sigCalibrated(nomDut, CalibrationRecord::of(*model, setup(), write.sent, &write));
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
