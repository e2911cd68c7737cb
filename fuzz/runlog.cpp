// The run-log reader on any sensor log: every line is counted once, and a line taken as a
// reading holds nothing but whole numbers after its date, the very numbers the reading carries.
#include "fuzzcheck.h"

#include "sensors/runlogreader.h"

#include <QBuffer>
#include <QList>

namespace {

// The fields of a reading in the order a log line of that many fields gives them.
QList<qint64> fieldsOf(const DutInfo &info, int count)
{
    switch (count) {
    case 4:
        return {info.aux, info.temp, info.level, info.period};
    case 3:
        return {info.temp, info.level, info.freq};
    default:
        return {info.temp, info.level};
    }
}

bool wholeNumber(const QByteArray &word, qint64 value)
{
    const QByteArray digits = word.startsWith('-') ? word.mid(1) : word;
    if (digits.isEmpty())
        return false;
    for (const char c : digits)
        if (c < '0' || c > '9')
            return false;
    return word.toLongLong() == value;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QList<QByteArray> lines = bytes.split('\n');

    for (const QByteArray &line : lines) {
        DutInfo info;
        if (RunLogReader::parseLine(line, &info) != RunLogReader::Line::Reading)
            continue;
        FUZZ_CHECK(info.valid);
        FUZZ_CHECK(info.temp >= -90 && info.temp <= 100);
        // The last two to four words are the fields; one of those shapes holds exactly the
        // reading's numbers.
        const QList<QByteArray> words = line.simplified().split(' ');
        bool matched = false;
        for (int count = 2; count <= 4 && !matched && count < words.size(); ++count) {
            const QList<QByteArray> tail = words.mid(words.size() - count);
            const QList<qint64> values = fieldsOf(info, count);
            bool all = true;
            for (int i = 0; i < count && all; ++i)
                all = wholeNumber(tail.at(i), values.at(i));
            matched = all;
        }
        FUZZ_CHECK(matched);
    }

    QBuffer device(&bytes);
    FUZZ_CHECK(device.open(QIODevice::ReadOnly));
    int readings = 0;
    const RunLogReader::Counts counts
        = RunLogReader::read(device, [&readings](const DutInfo &) { ++readings; });
    FUZZ_CHECK(counts.readings == readings);
    // No line is counted twice; a final line without its end counts as well.
    FUZZ_CHECK(counts.readings + counts.skipped() <= lines.size());
    return 0;
}
