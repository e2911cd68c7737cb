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

void Dut::readColors(const SensorSetup &stored)
{
    colors = stored.colors;
    for (const CurveEntry &curve : curveTable)
        colorBox(curve.color)->setStyleSheet(colorStyle(colors[curve.color]));
}

MyCheckBox *Dut::colorBox(CurveColor curve) const
{
    const std::array<MyCheckBox *, 5> boxes {cbValue, cbMidl, cbDelta, cbTrend, cbK};
    return boxes[curve];
}

quint8 Dut::visibilityMask() const
{
    quint8 mask = cbAll->isChecked() ? CurveAll : 0;
    for (const CurveEntry &curve : curveTable)
        mask |= colorBox(curve.color)->isChecked() ? curve.bit : 0;
    return mask;
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
    emit updatePlotColor(nomDut, colors[ColorValue], colors[ColorMidl], colors[ColorDelta],
        colors[ColorTrend], colors[ColorK]);
}

void Dut::setColor(CurveColor curve, QRgb color)
{
    colors[curve] = color;
    colorBox(curve)->setStyleSheet(colorStyle(color));
    keys::store(keys::curveColor(curve, nomDut), QString::number(color));
}

bool Dut::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress)
        return QWidget::eventFilter(watched, event);
    const CurveEntry *entry = nullptr;
    for (const CurveEntry &curve : curveTable) {
        if (watched == colorBox(curve.color))
            entry = &curve;
    }
    if (!entry)
        return QWidget::eventFilter(watched, event);
    MyCheckBox *box = colorBox(entry->color);

    if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
        // A cancelled dialog leaves the colour as it was.
        // The dialog opens on the box's own colour, so that a small change is a small step.
        const QColor chosen = QColorDialog::getColor(box->swatchColor());
        if (chosen.isValid())
            setColor(entry->color, qRgb(chosen.red(), chosen.green(), chosen.blue()));
    }
    emitColors();
    // The box still reacts as usual: a left press goes on to toggle it.
    return QWidget::eventFilter(watched, event);
}
