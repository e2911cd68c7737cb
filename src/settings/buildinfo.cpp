#include "settings/buildinfo.h"

QString BuildInfo::text()
{
    const QString commit = revision();
    if (commit.isEmpty() || commit == QLatin1String("unknown"))
        return version();
    return QStringLiteral("%1, commit %2").arg(version(), commit);
}
