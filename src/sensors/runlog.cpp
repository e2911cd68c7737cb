#include "sensors/runlog.h"

#include "protocol/protocolnumber.h"

#include <QDateTime>
#include <QDir>

RunLog::RunLog(QObject *parent)
    : QObject(parent)
{ }

void RunLog::open(const QDateTime &moment)
{
    close();

    const QString name = moment.toString(QStringLiteral("yyyy_MM_dd_HH_mm_ss"));
    QDir base = QDir::current();
    runDirectory = base.absoluteFilePath(name);
    if (!base.mkpath(name)) {
        emit sigStatus(tr("Журнал не ведётся: не удалось создать каталог %1").arg(runDirectory));
        return;
    }

    // Lines already end in CR LF, so the files are opened without text-mode translation:
    // what is written is exactly what lands on disk. A port closed and opened again within
    // the same second lands in the same directory; its files are continued, never emptied,
    // so the run that just ended keeps its log.
    const QDir dir(runDirectory);
    QStringList failed;
    const auto openFile = [&failed, &dir](QFile &file, const QString &fileName) {
        file.setFileName(dir.filePath(fileName));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
            failed << file.fileName();
    };
    openFile(allLog, QStringLiteral("all.log"));
    for (int i = 0; i < sensorCount; ++i)
        openFile(dutLog[i], QStringLiteral("%1.txt").arg(i));

    if (!failed.isEmpty())
        emit sigStatus(tr("Журнал не ведётся полностью: не удалось открыть %1")
                           .arg(failed.join(QStringLiteral(", "))));
}

void RunLog::close()
{
    allLog.close();
    for (QFile &file : dutLog)
        file.close();
}

void RunLog::writeTrace(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        append(allLog, bytes);
}

void RunLog::writeSensor(quint8 nomDut, quint8 protocol, const DutInfo &info)
{
    if (nomDut >= sensorCount)
        return;
    append(dutLog[nomDut], sensorLine(QDateTime::currentDateTime(), protocol, info));
}

QByteArray RunLog::sensorLine(const QDateTime &at, quint8 protocol, const DutInfo &info)
{
    const QString field = QStringLiteral("%1 ");
    QString line = field.arg(at.toString(Qt::TextDate));
    if (!info.valid)
        return (line + QStringLiteral("error \r\n")).toUtf8();

    // The columns follow the protocol chosen on the bench, not the shape of the answer:
    // a table keeps the same columns for the whole run.
    if (protocol == VeltaroLevel)
        line += field.arg(uint(info.aux));
    line += field.arg(int(info.temp));
    line += field.arg(uint(info.level));
    switch (protocol) {
    case VeltaroLevel:
        line += field.arg(uint(info.period));
        break;
    case TervalBin:
    case TervalAscii:
        line += field.arg(uint(info.freq));
        break;
    default:
        // MODBUS RTU reports no more than temperature and level. Any other number (a
        // protocol switched while an answer was on its way) ends the line here as well, so
        // the next line never runs into this one.
        break;
    }
    line += QStringLiteral("\r\n");
    return line.toUtf8();
}

void RunLog::append(QFile &file, const QByteArray &bytes)
{
    if (!file.isOpen())
        return;
    file.write(bytes);
    file.flush();
}
