#include "sensors/runid.h"

#include "settings/safefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QUuid>

namespace {

// The last identifier is in the file's last lines; an edited or endless file is read no further
// back than this.
constexpr qint64 kTail = 64 * 1024;

} // namespace

QString RunId::begin(const QString &directory, const QDateTime &at, QString *error)
{
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    // Appended as one short write, like the run's other logs: the starts before it stay as
    // they were, and a line torn by a crash is skipped when read.
    QFile file(QDir(directory).filePath(QString::fromLatin1(fileName)));
    const QByteArray line
        = at.toString(Qt::ISODate).toLatin1() + ' ' + id.toLatin1() + QByteArrayLiteral("\r\n");
    if (!QDir().mkpath(directory) || !file.open(QIODevice::Append)
        || file.write(line) != line.size() || !file.flush()) {
        if (error)
            *error = QStringLiteral("%1 не записан (%2)").arg(file.fileName(), file.errorString());
    }
    return id;
}

QString RunId::last(const QString &directory)
{
    const QStringList ids = all(directory);
    return ids.isEmpty() ? QString() : ids.last();
}

QStringList RunId::all(const QString &directory)
{
    QFile file(QDir(directory).filePath(QString::fromLatin1(fileName)));
    if (!SafeFile::openForReading(file) || !file.seek(qMax<qint64>(0, file.size() - kTail)))
        return {};
    QStringList ids;
    const QList<QByteArray> lines = file.read(kTail).split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.trimmed().split(' ');
        if (fields.size() != 2)
            continue;
        const QUuid uuid(fields[1]);
        if (!uuid.isNull())
            ids << uuid.toString(QUuid::WithoutBraces);
    }
    return ids;
}
