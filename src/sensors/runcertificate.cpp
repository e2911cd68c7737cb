#include "sensors/runcertificate.h"

#include "sensors/certificatenumber.h"
#include "settings/safefile.h"

#include <QDate>
#include <QDir>
#include <QFile>

namespace {

// Far longer than any number the counter makes; an edited file is read no further.
constexpr qint64 kLongest = 256;

} // namespace

QString RunCertificate::kept(const QString &runDirectory)
{
    if (runDirectory.isEmpty())
        return {};
    QFile file(QDir(runDirectory).filePath(QString::fromLatin1(fileName)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine(kLongest)).trimmed();
}

QString RunCertificate::of(const QString &runDirectory, const QString &counterDirectory,
    const QString &station, const QDate &date, QString *error)
{
    const QString known = kept(runDirectory);
    if (!known.isEmpty())
        return known;
    const QString number = CertificateNumber::next(counterDirectory, station, date, error);
    if (number.isEmpty() || runDirectory.isEmpty())
        return number;
    QString why;
    if (!QDir().mkpath(runDirectory)
        || !SafeFile::write(QDir(runDirectory).filePath(QString::fromLatin1(fileName)),
            number.toUtf8() + "\r\n", &why)) {
        // The number stays good for this record; the next one draws another.
        if (error)
            *error = QStringLiteral("номер сертификата %1 не сохранён в %2: %3")
                         .arg(number, QDir::toNativeSeparators(runDirectory), why);
    }
    return number;
}
