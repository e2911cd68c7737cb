#include "settings/sensorsetup.h"

QString SensorSetup::kindName(int kindIndex)
{
    switch (kindIndex) {
    case 0:
        return QStringLiteral("Период");
    case 1:
        return QStringLiteral("Частота");
    case 2:
        return QStringLiteral("Уровень");
    default:
        return QString();
    }
}

bool SensorSetup::isBound(const QString &text)
{
    bool ok = false;
    const int degrees = text.toInt(&ok);
    return ok && degrees >= lowestBound && degrees <= highestBound;
}
