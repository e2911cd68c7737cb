#include "sensors/runlog.h"

#include "protocol/protocolnumber.h"
#include "sensors/logwriter.h"
#include "sensors/pointjournal.h"
#include "sensors/rundirectorylock.h"

#include <QDateTime>
#include <QDir>

RunLog::RunLog(QObject *parent)
    : QObject(parent)
    , current(makeWriter())
    , lock(std::make_unique<RunDirectoryLock>())
{ }

RunLog::~RunLog() = default;

LogWriter *RunLog::makeWriter()
{
    auto *made = new LogWriter(this);
    connect(made, &LogWriter::backlogChanged, this, &RunLog::reportBacklog);
    return made;
}

bool RunLog::isOpen() const
{
    return runOpen;
}

int RunLog::waitingLines() const
{
    int lines = current->waiting();
    for (const auto &run : closing)
        lines += run.second->waiting();
    return lines;
}

void RunLog::reportBacklog()
{
    // A closed run whose lines are all on disk is over.
    for (int i = closing.size() - 1; i >= 0; --i) {
        if (closing.at(i).second->waiting() == 0) {
            closing.at(i).second->deleteLater();
            closing.removeAt(i);
        }
    }
    // Closed runs here all have lines waiting, so the first of them is stuck.
    const LogWriter *stuck = current;
    if (current->failingFile().isEmpty())
        stuck = closing.isEmpty() ? nullptr : closing.first().second;
    qint64 dropped = current->dropped();
    for (const auto &run : closing)
        dropped += run.second->dropped();
    const int waiting = waitingLines();

    QString message;
    if (stuck && (waiting > 0 || dropped > 0)) {
        message = tr("Не записывается журнал прогона: %1 — %2; строк ждут записи: %3")
                      .arg(QDir::toNativeSeparators(stuck->failingFile()), stuck->failure())
                      .arg(waiting);
        if (dropped > 0)
            message += tr("; отброшено строк: %1").arg(dropped);
    } else if (dropped > 0) {
        message = tr("Журнал прогона снова записывается, но строк отброшено: %1").arg(dropped);
    }
    if (message.isEmpty() && !backlogShown)
        return;
    backlogShown = !message.isEmpty();
    emit sigBacklog(message);
}

void RunLog::open(const QDateTime &moment)
{
    close();
    // Nothing is made yet: a run that never writes a line leaves no directory behind.
    pendingName = moment.toString(QStringLiteral("yyyy_MM_dd_HH_mm_ss"));
    runDirectory = QDir::current().absoluteFilePath(pendingName);
    runOpen = true;
}

void RunLog::start()
{
    if (!runOpen || runStarted)
        return;
    runStarted = true;
    const QString name = pendingName;
    QDir base = QDir::current();
    // A directory another bench writes is left to it: this run takes the next free suffix.
    constexpr int kNames = 100;
    for (int attempt = 1; attempt <= kNames; ++attempt) {
        const QString candidate = RunDirectoryLock::candidate(name, attempt);
        runDirectory = base.absoluteFilePath(candidate);
        if (!base.mkpath(candidate)) {
            emit sigStatus(
                tr("Журнал не ведётся: не удалось создать каталог %1").arg(runDirectory));
            return;
        }
        if (lock->claim(runDirectory))
            break;
        if (attempt == kNames) {
            emit sigStatus(tr("Журнал не ведётся: каталоги %1… заняты другими стендами")
                               .arg(base.absoluteFilePath(name)));
            runDirectory.clear();
            return;
        }
    }

    // Lines already end in CR LF, so the files are opened without text-mode translation:
    // what is written is exactly what lands on disk. A port closed and opened again within
    // the same second lands in the same directory; its files are continued, never emptied,
    // so the run that just ended keeps its log.
    // Lines of an earlier run into this directory that still wait go first.
    for (int i = 0; i < closing.size(); ++i) {
        if (closing.at(i).first == runDirectory) {
            current->deleteLater();
            current = closing.takeAt(i).second;
            return;
        }
    }
    const QDir dir(runDirectory);
    QStringList failed;
    const auto openFile = [this, &failed, &dir](int slot, const QString &fileName) {
        if (!current->open(slot, dir.filePath(fileName)))
            failed << dir.filePath(fileName);
    };
    openFile(traceSlot, QStringLiteral("all.log"));
    openFile(pointSlot, QLatin1String(PointJournal::fileName));
    for (int i = 0; i < sensorCount; ++i)
        openFile(i, QStringLiteral("%1.txt").arg(i));

    if (!failed.isEmpty())
        emit sigStatus(tr("Журнал не ведётся полностью: не удалось открыть %1")
                           .arg(failed.join(QStringLiteral(", "))));
}

void RunLog::close()
{
    runOpen = false;
    runStarted = false;
    if (current->waiting() == 0) {
        current->closeAll();
        return;
    }
    // Its lines are still written as the disk takes them; the next run gets a writer of its
    // own.
    closing.append({runDirectory, current});
    current = makeWriter();
}

void RunLog::writeTrace(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return;
    start();
    current->append(traceSlot, bytes);
}

void RunLog::writeEvent(const QDateTime &at, const QString &text)
{
    // Frames begin with a line end; so does the event, and the next frame ends it.
    writeTrace(QByteArrayLiteral("\r\n!! ")
        + (at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + text).toUtf8());
}

void RunLog::writePoint(quint8 nomDut, eTypeData kind, qint8 temp, quint32 value)
{
    start();
    current->append(
        pointSlot, PointJournal::line(QDateTime::currentDateTime(), {nomDut, kind, temp, value}));
}

void RunLog::writeSensor(quint8 nomDut, quint8 protocol, const DutInfo &info)
{
    if (nomDut >= sensorCount)
        return;
    start();
    current->append(nomDut, sensorLine(QDateTime::currentDateTime(), protocol, info));
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
