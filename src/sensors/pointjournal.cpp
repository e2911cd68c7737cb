#include "sensors/pointjournal.h"

#include <QDateTime>
#include <QFile>

namespace {

// A line is short; anything longer is damage and is skipped in pieces of this size.
constexpr qint64 kMaxLine = 128;
constexpr int kSensors = 6;

} // namespace

QByteArray PointJournal::line(const QDateTime &at, const Point &point)
{
    return QStringLiteral("%1 %2 %3 %4 %5\r\n")
        .arg(at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .arg(point.nomDut)
        .arg(int(point.kind))
        .arg(point.temp)
        .arg(point.value)
        .toUtf8();
}

QList<PointJournal::Point> PointJournal::read(const QString &path, int *damaged)
{
    QList<Point> points;
    int bad = 0;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QByteArray text = file.readLine(kMaxLine).trimmed();
            if (text.isEmpty())
                continue;
            const QList<QByteArray> words = text.split(' ');
            bool ok[4] = {};
            Point point;
            if (words.size() == 6) {
                const uint nomDut = words[2].toUInt(&ok[0]);
                const int kind = words[3].toInt(&ok[1]);
                const int temp = words[4].toInt(&ok[2]);
                point.value = words[5].toUInt(&ok[3]);
                ok[0] = ok[0] && nomDut < kSensors;
                ok[1] = ok[1] && kind >= Level && kind <= Period;
                ok[2] = ok[2] && temp >= -128 && temp <= 127;
                point.nomDut = quint8(nomDut);
                point.kind = eTypeData(kind);
                point.temp = qint8(temp);
            }
            if (ok[0] && ok[1] && ok[2] && ok[3])
                points.append(point);
            else
                ++bad;
        }
    }
    if (damaged)
        *damaged = bad;
    return points;
}
