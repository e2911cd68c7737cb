// The sensor panel's coverage of its range: which whole degrees of "Диап." have a mid value of
// the current kind, whether the 20 °C value the fit is normalised to is there, and the question
// before coefficients fitted on part of the range are written into the sensor.
#include "sensors/dut.h"

#include "panels/discardquestion.h"
#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "panels/serialedit.h"
#include "protocol/request.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

#include <optional>

namespace {

const QColor kComplete(0, 130, 0);
const QColor kNoReference(200, 0, 0);

} // namespace

void Dut::refreshCoverage()
{
    showCoverage(model->midlOf(currentKind()));
}

void Dut::showCoverage(const MidlMap &midl)
{
    const int lo = leMin->bound();
    const int hi = leMax->bound();
    rangeCoverage = Coverage::of(midl, lo, hi);

    QString text
        = QStringLiteral("%1/%2 °C").arg(rangeCoverage.covered()).arg(rangeCoverage.total());
    QStringList tip;
    tip << (rangeCoverage.complete()
            ? QStringLiteral("Все градусы диапазона %1..%2 есть")
                  .arg(qMin(lo, hi))
                  .arg(qMax(lo, hi))
            : QStringLiteral("Нет данных: %1").arg(rangeCoverage.missingText()));
    // Every fit is normalised to the 20 °C value: without it K0..K5 stay as they are, whatever
    // else has been collected.
    const bool noReference = !midl.isEmpty() && !midl.contains(SensorData::referenceTemp);
    if (noReference) {
        text += QStringLiteral("\nнет +20 °C, K не считаются");
        tip << QStringLiteral("Нет значения при +20 °C: K0..K5 не вычисляются, пока нет показания "
                              "при +20 °C или точки калибровки при +20 °C (Ctrl + правый щелчок "
                              "на графике).");
    }
    lCoverage->setText(text);
    lCoverage->setToolTip(tip.join(QLatin1Char('\n')));
    // The colour goes through the palette, not a style sheet: a style sheet taken off again
    // leaves the label in the application's font instead of the panel's. An empty palette
    // inherits the panel's colours. This runs with every reading; the colour changes only now
    // and then.
    const std::optional<QColor> color = noReference
        ? std::optional<QColor>(kNoReference)
        : (rangeCoverage.complete() ? std::optional<QColor>(kComplete) : std::nullopt);
    const QColor inherited = lCoverage->parentWidget()->palette().color(QPalette::WindowText);
    if (lCoverage->palette().color(QPalette::WindowText) != color.value_or(inherited)) {
        QPalette palette;
        if (color)
            palette.setColor(QPalette::WindowText, *color);
        lCoverage->setPalette(palette);
    }
}

void Dut::forgetSensor()
{
    leSerial->clearSerial();
    request->forgetRead();
}

void Dut::slAskSaveK()
{
    // Texts the sensor cannot hold are refused before anything is asked.
    CoefficientWrite::Values values {};
    if (!writeColumn(values))
        return;
    // Zeros are no coefficients: writing them is a reset, asked for in its own words.
    const QString zeros = CoefficientWrite::zeroRefusal(values);
    if (!zeros.isEmpty()) {
        const QString question = QStringLiteral("%1: %2. Записать их в датчик как сброс "
                                                "коэффициентов?")
                                     .arg(lName->text(), zeros);
        if (!DiscardQuestion::confirm(this, lName->text(), question)) {
            emit sigStatus(QStringLiteral("ДУТ %1: %2, запись К не начата").arg(nomDut).arg(zeros),
                QStringLiteral("dut%1.writeK").arg(nomDut));
            return;
        }
        if (!pbSaveK->isEnabled())
            return;
    }
    // The port may close, or polling start, while a question is open.
    if (serial().isEmpty() && (!confirmWithoutSerial() || !pbSaveK->isEnabled()))
        return;
    if (!rangeCoverage.complete()) {
        const QString question
            = QStringLiteral("%1: данные есть для %2 из %3 °C диапазона (нет %4). "
                             "Записать коэффициенты?")
                  .arg(lName->text())
                  .arg(rangeCoverage.covered())
                  .arg(rangeCoverage.total())
                  .arg(rangeCoverage.missingText());
        if (!DiscardQuestion::confirm(this, lName->text(), question))
            return;
        // The port may have closed, or polling started, while the question was open.
        if (!pbSaveK->isEnabled())
            return;
    }
    startWrite(values);
}
