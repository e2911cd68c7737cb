#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// The two careful steps every data file of the bench takes.
class SafeFile
{
public:
    // Replaces the file at path by exactly these bytes, or leaves it as it was: the bytes go to
    // a temporary file beside it, which takes the file's place only once every byte is on disk.
    // On failure returns false and, if error is given, the reason.
    static bool write(const QString &path, const QByteArray &bytes, QString *error = nullptr);

    // Opens file (its name already set) for reading if it is a regular file: a device or a pipe
    // could feed bytes without end (and a pipe would block the open itself). On failure returns
    // false and, if error is given, the reason.
    static bool openForReading(QFile &file, QString *error = nullptr);
};
