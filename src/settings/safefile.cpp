#include "settings/safefile.h"

#include "settings/systemerror.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool SafeFile::write(const QString &path, const QByteArray &bytes, QString *error)
{
    // Unbuffered, so that a short write (a full disk) shows here and not as a silently
    // truncated file at commit.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = SystemError::fromQt(file.errorString());
        return false;
    }
    qint64 written = 0;
    while (written < bytes.size()) {
        const qint64 chunk = file.write(bytes.constData() + written, bytes.size() - written);
        if (chunk <= 0)
            break;
        written += chunk;
    }
    if (written != bytes.size() || !file.commit()) {
        if (error)
            *error = SystemError::fromQt(file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

bool SafeFile::openForReading(QFile &file, QString *error)
{
    const QFileInfo info(file.fileName());
    if (info.exists() && !info.isFile()) {
        if (error)
            *error = QStringLiteral("не обычный файл");
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = SystemError::fromQt(file.errorString());
        return false;
    }
    return true;
}
