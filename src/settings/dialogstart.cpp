#include "settings/dialogstart.h"

#include "settings/settingskeys.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <optional>

QString DialogStart::of(const QString &key)
{
    std::optional<QSettings> own;
    const QString stored = settingskeys::reader(own).value(key).toString();
    static const QRegularExpression drivePath(QStringLiteral("^[A-Za-z]:([/\\\\]|$)"));
    if (stored.isEmpty() || drivePath.match(stored).hasMatch()
        || !QFileInfo(stored).absoluteDir().exists())
        return QDir::currentPath();
    return stored;
}
