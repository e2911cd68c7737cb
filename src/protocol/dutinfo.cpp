#include "protocol/dutinfo.h"

#include <QCoreApplication>
#include <QString>

eTypeData typeDataFromText(const QString &text)
{
    if (text.startsWith(QStringLiteral("Период")))
        return Period;
    if (text.startsWith(QStringLiteral("Частота")))
        return Freq;
    return Level;
}

void registerTarikonTypes()
{
    static const bool registered = [] {
        qRegisterMetaType<eTypeData>("eTypeData");
        qRegisterMetaType<DutInfo>("DutInfo");
        return true;
    }();
    Q_UNUSED(registered)
}

// Covers signals connected before the first Request exists. This object file is always linked
// in together with Request, which calls registerTarikonTypes() itself.
Q_COREAPP_STARTUP_FUNCTION(registerTarikonTypes)
