#include "sensors/serialscan.h"

#include "panels/serialedit.h"
#include "sensors/dut.h"

namespace {

const QString kTopic = QStringLiteral("serial");

} // namespace

SerialScan::SerialScan(const QList<Dut *> &panels, QObject *parent)
    : QObject(parent)
    , panels(panels)
{
    for (Dut *panel : panels)
        connect(panel->serialEdit(), &SerialEdit::sigEntered, this, &SerialScan::entered);
}

void SerialScan::entered(int nomDut, bool withEnter)
{
    if (nomDut < 0 || nomDut >= panels.size())
        return;
    SerialEdit *edit = panels[nomDut]->serialEdit();
    const QString code = edit->typed();
    for (const Dut *other : panels) {
        if (other->number() != nomDut && !code.isEmpty() && other->serial() == code) {
            edit->refuse();
            edit->selectAll();
            emit sigStatus(QStringLiteral("Зав. № %1 уже введён на ДУТ %2, на ДУТ %3 не принят")
                               .arg(code)
                               .arg(other->number())
                               .arg(nomDut),
                kTopic);
            return;
        }
    }
    edit->take();
    emit sigStatus(QString(), kTopic);
    if (!withEnter)
        return;
    for (int next = nomDut + 1; next < panels.size(); ++next) {
        if (panels[next]->isPolled()) {
            panels[next]->serialEdit()->setFocus(Qt::OtherFocusReason);
            panels[next]->serialEdit()->selectAll();
            return;
        }
    }
}
