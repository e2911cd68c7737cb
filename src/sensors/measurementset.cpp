#include "sensors/measurementset.h"

#include "settings/safefile.h"

#include <QBuffer>
#include <QDataStream>
#include <QFile>

QByteArray MeasurementSet::encode(const QList<Map> &maps)
{
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(maps.size());
    for (const Map &map : maps) {
        out << quint32(map.size());
        for (auto it = map.constEnd(); it != map.constBegin();) {
            --it;
            out << it.key() << it.value();
        }
    }
    return bytes;
}

MeasurementSet::Contents MeasurementSet::decode(QIODevice &device, int maxMaps)
{
    QDataStream in(&device);
    Contents contents;
    quint32 mapCount = 0;
    in >> mapCount;
    if (in.status() != QDataStream::Ok) {
        contents.complete = false;
        return contents;
    }
    for (quint32 i = 0; i < mapCount && contents.maps.size() < maxMaps; ++i) {
        quint32 entryCount = 0;
        in >> entryCount;
        Map map;
        for (quint32 e = 0; e < entryCount && in.status() == QDataStream::Ok; ++e) {
            qint8 key = 0;
            quint32 value = 0;
            in >> key >> value;
            if (in.status() == QDataStream::Ok)
                map.insert(key, value);
        }
        if (in.status() != QDataStream::Ok) {
            map.clear();
            contents.complete = false;
        }
        contents.maps.append(map);
        if (in.atEnd()) {
            if (i + 1 < mapCount)
                contents.complete = false;
            break;
        }
    }
    return contents;
}

MeasurementSet::Contents MeasurementSet::decode(const QByteArray &bytes, int maxMaps)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return decode(buffer, maxMaps);
}

bool MeasurementSet::write(const QString &path, const QList<Map> &maps, QString *error)
{
    return SafeFile::write(path, encode(maps), error);
}

bool MeasurementSet::read(const QString &path, int maxMaps, Contents *contents, QString *error)
{
    QFile file(path);
    if (!SafeFile::openForReading(file, error))
        return false;
    const Contents read = decode(file, maxMaps);
    if (contents)
        *contents = read;
    return true;
}
