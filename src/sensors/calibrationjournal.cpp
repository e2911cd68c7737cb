#include "sensors/calibrationjournal.h"

#include "records/recordcsv.h"
#include "sensors/logwriter.h"
#include "settings/systemerror.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>

#include <unistd.h>

namespace {

void addValues(QStringList &fields, const CoefficientWrite::Values &values, bool have)
{
    for (const float value : values)
        fields << (have ? CoefficientWrite::text(value) : QString());
}

// Local time with its offset from UTC, "2026-12-08T07:10:00+02:00" (never "Z").
QString isoTime(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = qAbs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
        + QStringLiteral("%1%2:%3")
              .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
              .arg(minutes / 60, 2, 10, QLatin1Char('0'))
              .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QByteArray CalibrationJournal::header()
{
    QStringList names;
    for (const auto &column : columns(CalibrationRecord()))
        names << column.first;
    return names.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

QVector<QPair<QString, QString>> CalibrationJournal::columns(const CalibrationRecord &r)
{
    const CoefficientWrite &w = r.write;
    QStringList fields {isoTime(r.time), QString::number(r.sensor), QString::number(r.address),
        QString::number(r.protocol), r.kind, QString::number(r.degree), QString::number(r.rangeMin),
        QString::number(r.rangeMax), QStringLiteral("%1/%2").arg(r.covered).arg(r.total)};
    addValues(fields, w.found, w.haveFound);
    addValues(fields, w.sent, true);
    for (int i = 0; i < 6; ++i)
        fields << (w.readBack[i] ? CoefficientWrite::text(w.read[i]) : QString());
    fields << (r.maxResidual ? QString::number(*r.maxResidual, 'g', 6) : QString()) << w.result();

    QStringList names {"time", "sensor", "address", "protocol", "kind", "degree", "range_min",
        "range_max", "covered"};
    for (const char *group : {"found", "k", "read"}) {
        for (int i = 0; i < 6; ++i)
            names << QStringLiteral("%1%2").arg(QLatin1String(group)).arg(i);
    }
    names << "max_residual"
          << "result";
    QVector<QPair<QString, QString>> pairs;
    pairs.reserve(names.size());
    for (int i = 0; i < names.size(); ++i)
        pairs.append({names.at(i), fields.at(i)});
    return pairs;
}

QByteArray CalibrationJournal::line(const CalibrationRecord &record)
{
    QStringList fields;
    for (const auto &column : columns(record))
        fields << column.second;
    return RecordCsv::line(fields);
}

RecordRow CalibrationJournal::row(const CalibrationRecord &record)
{
    RecordRow row;
    for (const auto &column : columns(record))
        row.set(column.first, column.second);
    return row;
}

bool CalibrationJournal::append(
    const QString &path, const CalibrationRecord &record, QString *error, const Io &io)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const QFileInfo info(path);
    if (info.exists() && !info.isFile())
        return fail(QStringLiteral("не обычный файл"));

    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return fail(SystemError::fromQt(file.errorString()));
    QByteArray bytes;
    const qint64 size = file.size();
    if (size == 0) {
        bytes = header();
    } else {
        // A hand-edited journal may end without a line break; the record starts a line of its own.
        char last = '\n';
        if (!file.seek(size - 1) || file.read(&last, 1) != 1)
            return fail(SystemError::fromQt(file.errorString()));
        if (last != '\n')
            bytes = "\r\n";
    }
    bytes += line(record);
    // The file is unbuffered and opened for appending: the bytes go to its end in one call.
    const qint64 written = io.write
        ? io.write(file.handle(), bytes.constData(), bytes.size())
        : ::write(file.handle(), bytes.constData(), size_t(bytes.size()));
    if (written != bytes.size())
        return fail(written < 0
                ? LogWriter::reasonOf(errno)
                : QStringLiteral("записано %1 из %2 байт").arg(written).arg(bytes.size()));
    if ((io.sync ? io.sync(file.handle()) : ::fsync(file.handle())) != 0)
        return fail(LogWriter::reasonOf(errno));
    return true;
}
