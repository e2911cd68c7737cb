// The sensor panel's curve row: which of its curves the plot shows, and in which colours.
#include "sensors/dut.h"

#include "panels/mycheckbox.h"
#include "settings/settingskeys.h"

#include <QColorDialog>
#include <QMouseEvent>
#include <QSettings>

namespace {

namespace keys = settingskeys;

QString colorStyle(QRgb color)
{
    return QStringLiteral("background-color: rgb(%1, %2, %3);")
        .arg(qRed(color))
        .arg(qGreen(color))
        .arg(qBlue(color));
}

} // namespace

void Dut::readColors(const StoredSettings::Sensor &stored)
{
    colorValue = stored.colorValue;
    colorMidl = stored.colorMidl;
    colorDelta = stored.colorDelta;
    colorTrend = stored.colorTrend;
    colorK = stored.colorK;
    cbValue->setStyleSheet(colorStyle(colorValue));
    cbMidl->setStyleSheet(colorStyle(colorMidl));
    cbDelta->setStyleSheet(colorStyle(colorDelta));
    cbTrend->setStyleSheet(colorStyle(colorTrend));
    cbK->setStyleSheet(colorStyle(colorK));
}

quint8 Dut::visibilityMask() const
{
    return (cbValue->isChecked() ? CurveValue : 0) | (cbMidl->isChecked() ? CurveMidl : 0)
        | (cbDelta->isChecked() ? CurveDelta : 0) | (cbTrend->isChecked() ? CurveTrend : 0)
        | (cbAll->isChecked() ? CurveAll : 0) | (cbK->isChecked() ? CurveK : 0);
}

void Dut::slUpdateVisible()
{
    const quint8 mask = visibilityMask();
    keys::store(keys::curveMask(nomDut), uint(mask));
    emit updatePlot(nomDut, cbAll->isChecked() ? mask : 0);
}

void Dut::slUpdateAll(bool checked)
{
    for (MyCheckBox *box : {cbValue, cbMidl, cbDelta, cbTrend, cbK})
        box->setEnabled(checked);
    slUpdateVisible();
}

void Dut::emitColors()
{
    emit updatePlotColor(nomDut, colorValue, colorMidl, colorDelta, colorTrend, colorK);
}

QRgb Dut::getColorValue() const
{
    return colorValue | 0xFF000000u;
}

QRgb Dut::getColorMidl() const
{
    return colorMidl | 0xFF000000u;
}

QRgb Dut::getColorDelta() const
{
    return colorDelta | 0xFF000000u;
}

QRgb Dut::getColorTrend() const
{
    return colorTrend | 0xFF000000u;
}

QRgb Dut::getColorK() const
{
    return colorK | 0xFF000000u;
}

void Dut::setColor(MyCheckBox *box, QRgb color)
{
    QString name;
    if (box == cbValue) {
        colorValue = color;
        name = keys::colorValue(nomDut);
    } else if (box == cbMidl) {
        colorMidl = color;
        name = keys::colorMidl(nomDut);
    } else if (box == cbDelta) {
        colorDelta = color;
        name = keys::colorDelta(nomDut);
    } else if (box == cbTrend) {
        colorTrend = color;
        name = keys::colorTrend(nomDut);
    } else if (box == cbK) {
        colorK = color;
        name = keys::colorK(nomDut);
    } else {
        return;
    }
    box->setStyleSheet(colorStyle(color));
    keys::store(name, QString::number(color));
}

bool Dut::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress)
        return QWidget::eventFilter(watched, event);
    MyCheckBox *box = nullptr;
    for (MyCheckBox *candidate : {cbValue, cbMidl, cbDelta, cbTrend, cbK}) {
        if (watched == candidate)
            box = candidate;
    }
    if (!box)
        return QWidget::eventFilter(watched, event);

    if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
        // A cancelled dialog leaves the colour as it was.
        // The dialog opens on the box's own colour, so that a small change is a small step.
        const QColor chosen = QColorDialog::getColor(box->swatchColor());
        if (chosen.isValid())
            setColor(box, qRgb(chosen.red(), chosen.green(), chosen.blue()));
    }
    emitColors();
    // The box still reacts as usual: a left press goes on to toggle it.
    return QWidget::eventFilter(watched, event);
}
