#include "sensors/calibrationjournal.h"

#include "settings/systemerror.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <unistd.h>

namespace {

// A field quoted when it holds a comma, a quote or a line break; quotes inside are doubled.
QString field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

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
    QStringList names {"time", "sensor", "address", "protocol", "kind", "degree", "range_min",
        "range_max", "covered"};
    for (const char *group : {"found", "k", "read"}) {
        for (int i = 0; i < 6; ++i)
            names << QStringLiteral("%1%2").arg(QLatin1String(group)).arg(i);
    }
    names << "max_residual"
          << "result";
    return names.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

QByteArray CalibrationJournal::line(const CalibrationRecord &r)
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
    for (QString &text : fields)
        text = field(text);
    return fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
}

bool CalibrationJournal::append(
    const QString &path, const CalibrationRecord &record, QString *error)
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
    if (file.write(bytes) != bytes.size())
        return fail(SystemError::fromQt(file.errorString()));
    if (::fsync(file.handle()) != 0)
        return fail(SystemError::text(errno));
    return true;
}
