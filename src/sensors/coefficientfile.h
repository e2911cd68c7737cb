#pragma once

#include <QString>
#include <QStringList>

// A coefficient file (".k"): the six coefficient texts K0..K5 as typed or shown on a sensor
// panel, one per line, UTF-8, each line ended by CR LF. No header, no count, no checksum.
class CoefficientFile
{
public:
    static constexpr int lineCount = 6;
    // A coefficient is a short number; a longer line is cut here, so that a file that is not
    // a coefficient file costs no more than six such lines.
    static constexpr int maxLineBytes = 4096;

    // Writes exactly six lines: texts[0..5], missing entries as empty lines, extra ones
    // dropped. The file is replaced only once everything has been written, so a failed save
    // leaves the previous file as it was. On failure returns false and, if error is given,
    // the reason.
    static bool write(const QString &path, const QStringList &texts, QString *error = nullptr);

    // Reads the first six lines into texts (always six entries on success). CR LF and LF line
    // ends read the same; a line stops at a NUL byte; lines the file does not have are empty;
    // further lines are ignored. Returns false (texts untouched) if the file cannot be opened or
    // is no regular file.
    static bool read(const QString &path, QStringList *texts, QString *error = nullptr);
};
