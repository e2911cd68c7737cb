#pragma once

#include "sensors/dut.h"
#include "support/child.h"

#include <QByteArray>
#include <QComboBox>
#include <QStringList>

// What a test does to a sensor panel as the operator or the line would.
namespace panelinput {

inline void setKind(Dut &dut, eTypeData kind)
{
    child<QComboBox>(dut, "cbTypePolinom")->setCurrentIndex(2 - int(kind));
}
inline void setAddress(Dut &dut, int address)
{
    child<QComboBox>(dut, "cbPort")->setCurrentIndex(address + 1);
}
inline DutInfo feed(Dut &dut, QByteArray bytes)
{
    return dut.takeAnswer(&bytes);
}
// Types six texts into the write column.
inline void setColumn(Dut &dut, const QStringList &texts)
{
    for (int i = 0; i < 6; ++i)
        child(dut, "leReadK" + QString::number(i))->setText(texts.value(i));
}

} // namespace panelinput
