#include "sensors/runlogreader.h"

#include "settings/safefile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>

#include <limits>

namespace {

// The longest sensor line is well under 100 bytes; anything much longer is no sensor line.
constexpr qint64 kMaxLine = 512;

bool isYear(const QByteArray &word)
{
    if (word.isEmpty() || word.size() > 6)
        return false;
    for (const char c : word)
        if (c < '0' || c > '9')
            return false;
    return true;
}

// A whole decimal number within [low, high]: digits only, a minus sign first at most. Any
// other byte (a NUL, a sign, a point) makes it no number, so that a spoiled field can never
// read as the digits in front of it.
template<class T> bool field(const QByteArray &word, T *value, qint64 low, qint64 high)
{
    const int digits = word.size() - (word.startsWith('-') ? 1 : 0);
    if (digits < 1 || digits > 18)
        return false;
    for (int i = word.size() - digits; i < word.size(); ++i)
        if (word.at(i) < '0' || word.at(i) > '9')
            return false;
    bool ok = false;
    const qlonglong number = word.toLongLong(&ok);
    if (!ok || number < low || number > high)
        return false;
    *value = T(number);
    return true;
}

} // namespace

RunLogReader::Line RunLogReader::parseLine(const QByteArray &raw, DutInfo *info)
{
    const QList<QByteArray> words = raw.simplified().split(' ');
    if (words.size() == 1 && words.constFirst().isEmpty())
        return Line::Blank;
    if (words.constLast() == "error")
        return words.size() > 1 ? Line::Error : Line::Damaged;

    // The time ends with the clock and the year; the fields follow.
    int clock = -1;
    for (int i = words.size() - 1; i >= 0 && clock < 0; --i)
        if (words.at(i).contains(':'))
            clock = i;
    if (clock < 0 || clock + 1 >= words.size() || !isYear(words.at(clock + 1)))
        return Line::Damaged;
    const QList<QByteArray> fields = words.mid(clock + 2);

    DutInfo reading;
    int next = 0;
    const auto take = [&](auto *value, qint64 low, qint64 high) {
        return field(fields.at(next++), value, low, high);
    };
    const qint64 u16 = std::numeric_limits<quint16>::max();
    bool ok = true;
    switch (fields.size()) {
    case 4: // aux, temp, level, period
        ok = take(&reading.aux, 0, 255) && take(&reading.temp, -128, 127)
            && take(&reading.level, 0, u16)
            && take(&reading.period, 0, std::numeric_limits<quint32>::max());
        break;
    case 3: // temp, level, freq
        ok = take(&reading.temp, -128, 127) && take(&reading.level, 0, u16)
            && take(&reading.freq, 0, u16);
        break;
    case 2: // temp, level
        ok = take(&reading.temp, -128, 127) && take(&reading.level, 0, u16);
        break;
    default:
        ok = false;
    }
    if (!ok)
        return Line::Damaged;
    if (reading.temp < -90 || reading.temp > 100)
        return Line::OutOfRange;
    reading.valid = 1;
    if (info)
        *info = reading;
    return Line::Reading;
}

RunLogReader::Counts RunLogReader::read(QIODevice &device, const Sink &sink)
{
    Counts counts;
    while (!device.atEnd()) {
        QByteArray line = device.readLine(kMaxLine);
        if (line.isEmpty())
            break;
        if (!line.endsWith('\n') && !device.atEnd()) {
            // Skip the rest of an overlong line, a piece at a time.
            while (!device.atEnd() && !line.endsWith('\n'))
                line = device.readLine(kMaxLine);
            ++counts.damaged;
            continue;
        }
        DutInfo info;
        switch (parseLine(line, &info)) {
        case Line::Reading:
            ++counts.readings;
            if (sink)
                sink(info);
            break;
        case Line::Error:
            ++counts.errors;
            break;
        case Line::Damaged:
            ++counts.damaged;
            break;
        case Line::OutOfRange:
            ++counts.outOfRange;
            break;
        case Line::Blank:
            ++counts.blank;
            break;
        }
    }
    return counts;
}

RunLogReader::Run RunLogReader::readRun(
    const QString &directory, const std::function<void(quint8, const DutInfo &)> &sink)
{
    Run run;
    const QDir dir(directory);
    for (quint8 s = 0; s < run.size(); ++s) {
        QFile file(dir.filePath(QStringLiteral("%1.txt").arg(s)));
        if (!file.exists() || !SafeFile::openForReading(file))
            continue;
        run[s].present = true;
        run[s].counts = read(file, [&sink, s](const DutInfo &info) {
            if (sink)
                sink(s, info);
        });
    }
    return run;
}
