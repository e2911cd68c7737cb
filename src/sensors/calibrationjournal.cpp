#include "sensors/calibrationjournal.h"

#include "records/recordcsv.h"
#include "sensors/logwriter.h"
#include "sensors/runid.h"
#include "settings/systemerror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <iterator>

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

// The fields of one CSV line (RFC 4180, no line breaks inside fields); false when a quoted
// field is not closed.
bool splitFields(const QString &line, QStringList *fields)
{
    QString field;
    bool quoted = false;
    for (int i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"'))
                field += line.at(++i);
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            *fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    *fields << field;
    return !quoted;
}

// The start of a run by its directory's name, or an invalid time.
QDateTime runStart(const QString &name)
{
    return QDateTime::fromString(name.left(19), QStringLiteral("yyyy_MM_dd_HH_mm_ss"));
}

constexpr qint64 kLongestLine = 64 * 1024;

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
    fields << r.serial << r.run << r.certificate << r.operatorName << r.station << r.reference
           << (r.maxU ? QString::number(*r.maxU, 'g', 6) : QString());
    fields << r.stage << (r.asLeftPercent ? QString::number(*r.asLeftPercent, 'g', 6) : QString());

    QStringList names {"time", "sensor", "address", "protocol", "kind", "degree", "range_min",
        "range_max", "covered"};
    for (const char *group : {"found", "k", "read"}) {
        for (int i = 0; i < 6; ++i)
            names << QStringLiteral("%1%2").arg(QLatin1String(group)).arg(i);
    }
    names << "max_residual"
          << "result"
          << "serial"
          << "run"
          << "certificate"
          << "operator"
          << "station"
          << "reference"
          << "max_u"
          << "stage"
          << "as_left";
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

QList<CalibrationRecord> CalibrationJournal::read(const QString &path, int *skipped)
{
    QList<CalibrationRecord> records;
    int bad = 0;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        // Columns as this bench writes them until a header line says otherwise.
        QHash<QString, int> column;
        auto takeHeader = [&column](const QStringList &names) {
            column.clear();
            for (int i = 0; i < names.size(); ++i)
                column.insert(names.at(i), i);
        };
        takeHeader(QString::fromUtf8(header()).trimmed().split(QLatin1Char(',')));
        while (!file.atEnd()) {
            const QByteArray bytes = file.readLine(kLongestLine);
            if (!bytes.endsWith('\n') && !file.atEnd()) {
                // A line longer than any record: the rest of it goes too.
                while (!file.atEnd() && !file.readLine(kLongestLine).endsWith('\n')) { }
                ++bad;
                continue;
            }
            const QString line = QString::fromUtf8(bytes).trimmed();
            QStringList fields;
            if (line.isEmpty())
                continue;
            if (!splitFields(line, &fields)) {
                ++bad;
                continue;
            }
            if (fields.value(0) == QLatin1String("time")) {
                takeHeader(fields);
                continue;
            }
            auto text = [&](const QString &name) { return fields.value(column.value(name, -1)); };
            auto number = [&](const QString &name, bool *ok) { return text(name).toInt(ok); };
            CalibrationRecord r;
            bool ok[7] = {};
            r.time = QDateTime::fromString(text(QStringLiteral("time")), Qt::ISODate);
            r.sensor = number(QStringLiteral("sensor"), &ok[0]);
            r.address = number(QStringLiteral("address"), &ok[1]);
            r.protocol = number(QStringLiteral("protocol"), &ok[2]);
            r.degree = number(QStringLiteral("degree"), &ok[3]);
            r.rangeMin = number(QStringLiteral("range_min"), &ok[4]);
            r.rangeMax = number(QStringLiteral("range_max"), &ok[5]);
            r.kind = text(QStringLiteral("kind"));
            const QStringList covered = text(QStringLiteral("covered")).split(QLatin1Char('/'));
            bool totalOk = false;
            r.covered = covered.value(0).toInt(&ok[6]);
            r.total = covered.value(1).toInt(&totalOk);
            const QString result = text(QStringLiteral("result"));
            CoefficientWrite &w = r.write;
            bool valuesOk = true;
            w.haveFound = true;
            for (int i = 0; i < 6; ++i) {
                const QString n = QString::number(i);
                w.haveFound = w.haveFound
                    && CoefficientWrite::refusal(text(QStringLiteral("found") + n), &w.found[i])
                           .isEmpty();
                valuesOk = valuesOk
                    && CoefficientWrite::refusal(text(QStringLiteral("k") + n), &w.sent[i])
                           .isEmpty();
                w.readBack[i]
                    = CoefficientWrite::refusal(text(QStringLiteral("read") + n), &w.read[i])
                          .isEmpty();
            }
            bool residualOk = false;
            const double residual = text(QStringLiteral("max_residual")).toDouble(&residualOk);
            if (residualOk)
                r.maxResidual = residual;
            r.serial = text(QStringLiteral("serial"));
            r.run = text(QStringLiteral("run"));
            r.certificate = text(QStringLiteral("certificate"));
            r.operatorName = text(QStringLiteral("operator"));
            r.station = text(QStringLiteral("station"));
            r.reference = text(QStringLiteral("reference"));
            // A journal from before U judged without it; one with the column judges with it.
            r.guarded = column.contains(QStringLiteral("max_u"));
            bool uOk = false;
            const double u = text(QStringLiteral("max_u")).toDouble(&uOk);
            if (uOk)
                r.maxU = u;
            w.ok = result == QLatin1String("OK");
            r.stage = text(QStringLiteral("stage"));
            bool asLeftOk = false;
            const double asLeft = text(QStringLiteral("as_left")).toDouble(&asLeftOk);
            if (asLeftOk)
                r.asLeftPercent = asLeft;
            if (!w.ok && result.startsWith(QLatin1String("ERROR: ")))
                w.failure = result.mid(7);
            const bool complete
                = std::all_of(std::begin(ok), std::end(ok), [](bool b) { return b; });
            if (!r.time.isValid() || !complete || !totalOk || !valuesOk
                || (!w.ok && w.failure.isEmpty())) {
                ++bad;
                continue;
            }
            r.written = true;
            records << r;
        }
    }
    if (skipped)
        *skipped = bad;
    return records;
}

QList<CalibrationRecord> CalibrationJournal::ofRun(
    const QList<CalibrationRecord> &records, const QString &runDirectory)
{
    // A record that names its run belongs to the run that recorded that name. Older records,
    // and runs whose "run.txt" is gone, go by time: from the run directory's name to the next
    // run beside it.
    const QStringList ids = RunId::all(runDirectory);
    const QFileInfo run(runDirectory);
    const QDateTime start = runStart(run.fileName());
    if (!start.isValid() && ids.isEmpty())
        return {};
    // The next run beside it ends this one's time.
    QDateTime end;
    const QStringList siblings = run.dir().entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &name : siblings) {
        const QDateTime other = runStart(name);
        if (other.isValid() && other > start && (!end.isValid() || other < end))
            end = other;
    }
    QList<CalibrationRecord> within;
    for (const CalibrationRecord &record : records) {
        if (!record.run.isEmpty() && !ids.isEmpty()) {
            if (ids.contains(record.run))
                within << record;
        } else if (start.isValid() && record.time >= start
            && (!end.isValid() || record.time < end)) {
            within << record;
        }
    }
    return within;
}
