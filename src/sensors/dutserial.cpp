// The sensor panel's serial number: what the journal, the certificate and the label name the
// sensor by, rather than its slot on the bench.
#include "sensors/dut.h"

#include "panels/discardquestion.h"
#include "panels/serialedit.h"

#include <QLabel>

QString Dut::serial() const
{
    return leSerial->serial();
}

bool Dut::confirmWithoutSerial()
{
    if (!serial().isEmpty())
        return true;
    return DiscardQuestion::confirm(this, lName->text(),
        QStringLiteral("У %1 не введён заводской номер: в журнале и протоколе датчик не будет "
                       "опознан. Записать коэффициенты?")
            .arg(lName->text()));
}
