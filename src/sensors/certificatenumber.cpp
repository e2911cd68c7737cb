#include "sensors/certificatenumber.h"

#include "settings/safefile.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QLockFile>

namespace {

// More than any bench will ever issue; a larger count is a damaged file.
constexpr qulonglong kLargest = 999'999'999;
// The counter is one short line; reading more would only read garbage.
constexpr qint64 kLargestFile = 64;

void fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
}

} // namespace

QString CertificateNumber::stationPart(const QString &station)
{
    QString part = station.trimmed();
    for (QChar &c : part) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('_') && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    }
    return part;
}

QString CertificateNumber::next(const QString &directory, const QString &station, const QDate &date,
    QString *error, int lockTimeoutMs)
{
    const QString path = QDir(directory).filePath(QString::fromLatin1(counterFile));
    QLockFile lock(path + QStringLiteral(".lock"));
    if (!lock.tryLock(lockTimeoutMs)) {
        fail(error, QStringLiteral("счётчик номеров %1 занят другой программой").arg(path));
        return QString();
    }

    qulonglong last = 0;
    QFile file(path);
    if (file.exists()) {
        QString reason;
        if (!SafeFile::openForReading(file, &reason)) {
            fail(error, QStringLiteral("счётчик номеров %1 не читается (%2)").arg(path, reason));
            return QString();
        }
        bool ok = false;
        last = QString::fromLatin1(file.read(kLargestFile)).trimmed().toULongLong(&ok);
        if (!ok || !file.atEnd() || last > kLargest) {
            fail(error, QStringLiteral("счётчик номеров %1 повреждён").arg(path));
            return QString();
        }
    }

    const qulonglong number = last + 1;
    QString reason;
    if (!SafeFile::write(path, QByteArray::number(number) + '\n', &reason)) {
        fail(error, QStringLiteral("счётчик номеров %1 не записан (%2)").arg(path, reason));
        return QString();
    }
    QString text = QStringLiteral("%1-%2")
                       .arg(date.toString(QStringLiteral("yyyyMMdd")))
                       .arg(number, 4, 10, QLatin1Char('0'));
    const QString prefix = stationPart(station);
    return prefix.isEmpty() ? text : prefix + QLatin1Char('-') + text;
}
