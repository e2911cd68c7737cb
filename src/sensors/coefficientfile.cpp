#include "sensors/coefficientfile.h"

#include "settings/safefile.h"

#include <QFile>

namespace {

// Reads one line without its terminator and cuts it to maxLineBytes bytes. The read leaves
// room for a CR LF after a line of full length, so that such a line's own last byte is never
// taken for its terminator; the rest of an overlong line is skipped in small pieces, never
// held in memory.
QByteArray readBoundedLine(QFile &file)
{
    QByteArray line = file.readLine(CoefficientFile::maxLineBytes + 3);
    const bool ended = line.endsWith('\n');
    const bool cut = !ended && !file.atEnd();
    if (cut) {
        char skipped[256];
        qint64 got = 0;
        do {
            got = file.readLine(skipped, sizeof skipped);
        } while (got > 0 && skipped[got - 1] != '\n');
    }
    if (ended)
        line.chop(1);
    if (!cut && line.endsWith('\r'))
        line.chop(1);
    line.truncate(CoefficientFile::maxLineBytes);
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
