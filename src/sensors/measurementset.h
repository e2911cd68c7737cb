#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <limits>

class QIODevice;

// A measurement-set file: a list of mid-value maps (temperature in °C -> value in the unit of
// its data kind), all integers big-endian, no header:
//
//   u32 number of maps, then per map: u32 number of entries, then per entry i8 key, u32 value,
//   the highest temperature first.
//
// A six-sensor set (".6fls") holds 18 maps, sensor s's Level, Freq and Period maps at 3s,
// 3s + 1 and 3s + 2; a one-sensor set (".1fls") holds that sensor's three maps.
class MeasurementSet
{
public:
    using Map = QMap<qint8, quint32>;

    static constexpr int mapsPerSensor = 3;

    struct Contents
    {
        QList<Map> maps;
        // False when the data ended before the count of maps or entries said it would.
        bool complete = true;
    };

    static QByteArray encode(const QList<Map> &maps);

    // Reads at most maxMaps maps. Counts are never trusted beyond the data: a map whose data is
    // cut short is taken as empty and ends the list, and the list also ends where the data ends
    // after a whole map. Entries may come in any order; of a key given twice the last one counts.
    // The work is bounded by the length of the data, whatever the counts claim.
    static Contents decode(QIODevice &device, int maxMaps);
    static Contents decode(const QByteArray &bytes, int maxMaps = std::numeric_limits<int>::max());

    // The file is replaced only once all of it has been written; on failure the previous file
    // stays as it was. On failure returns false and, if error is given, the reason.
    static bool write(const QString &path, const QList<Map> &maps, QString *error = nullptr);
    // Reads a regular file. Returns false (contents untouched) if it cannot be opened.
    static bool read(
        const QString &path, int maxMaps, Contents *contents, QString *error = nullptr);
};
