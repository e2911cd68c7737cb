#include "sensors/coefficientfile.h"

#include "sensors/safefile.h"

#include <QFile>

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
    QByteArray bytes;
    for (int i = 0; i < lineCount; ++i) {
        if (i < texts.size())
            bytes += texts.at(i).toUtf8();
        bytes += "\r\n";
    }
    return SafeFile::write(path, bytes, error);
}

bool CoefficientFile::read(const QString &path, QStringList *texts, QString *error)
{
    QFile file(path);
    if (!SafeFile::openForReading(file, error))
        return false;
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
