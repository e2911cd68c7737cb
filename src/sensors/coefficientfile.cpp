#include "sensors/coefficientfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

// Reads one line of at most maxLineBytes bytes without its terminator. The rest of an
// overlong line is skipped in small pieces, never held in memory.
QByteArray readBoundedLine(QFile &file)
{
    QByteArray line = file.readLine(CoefficientFile::maxLineBytes + 1);
    if (!line.endsWith('\n') && !file.atEnd()) {
        char skipped[256];
        qint64 got = 0;
        do {
            got = file.readLine(skipped, sizeof skipped);
        } while (got > 0 && skipped[got - 1] != '\n');
    }
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

bool CoefficientFile::write(const QString &path, const QStringList &texts, QString *error)
{
    // Unbuffered, so that a short write (a full disk) shows here and not as a silently
    // truncated file at commit.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QByteArray bytes;
    for (int i = 0; i < lineCount; ++i) {
        if (i < texts.size())
            bytes += texts.at(i).toUtf8();
        bytes += "\r\n";
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
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

bool CoefficientFile::read(const QString &path, QStringList *texts, QString *error)
{
    // Only a regular file has an end: a device or a pipe could feed one endless line (and a
    // pipe would block the open itself).
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        if (error)
            *error = QStringLiteral("not a regular file");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QStringList lines;
    for (int i = 0; i < lineCount; ++i) {
        QByteArray line = file.atEnd() ? QByteArray() : readBoundedLine(file);
        const int nul = line.indexOf('\0');
        if (nul >= 0)
            line.truncate(nul);
        lines.append(QString::fromUtf8(line));
    }
    if (texts)
        *texts = lines;
    return true;
}
