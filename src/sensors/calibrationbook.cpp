#include "sensors/calibrationbook.h"

#include "sensors/calibrationjournal.h"
#include "sensors/journalfiles.h"

#include <QDir>
#include <QFileInfo>

CalibrationBook::CalibrationBook(QObject *parent)
    : QObject(parent)
{
    setObjectName(QStringLiteral("calibrationBook"));
}

QString CalibrationBook::journalPath()
{
    return QDir::current().filePath(CalibrationJournal::fileName());
}

const std::optional<CalibrationRecord> &CalibrationBook::lastWrite(int nomDut) const
{
    static const std::optional<CalibrationRecord> none;
    return nomDut >= 0 && nomDut < sensorCount ? last[nomDut] : none;
}

void CalibrationBook::take(const CalibrationRecord &record)
{
    // A read of what was found or a verdict journals no write.
    const bool isWrite = record.stage.isEmpty() || record.stage == QLatin1String("written");
    if (isWrite && record.sensor >= 0 && record.sensor < sensorCount)
        last[record.sensor] = record;
    const QString base = journalPath();
    const QString path = JournalFiles::current(base);
    QString error;
    const QString topic = QStringLiteral("journal");
    if (CalibrationJournal::append(path, record, &error))
        emit sigStatus(path == base
                ? QString()
                : QStringLiteral(
                    "Журнал %1 с прежними столбцами оставлен как есть, записи идут в %2")
                      .arg(QFileInfo(base).fileName(), QDir::toNativeSeparators(path)),
            topic);
    else
        emit sigStatus(QStringLiteral("Журнал калибровки %1 не дописан: %2")
                           .arg(QDir::toNativeSeparators(path), error),
            topic);
}
