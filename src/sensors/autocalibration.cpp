#include "sensors/autocalibration.h"

#include "sensors/residuals.h"
#include "sensors/sensordata.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

bool inCourse(AutoCalibration::Phase phase)
{
    using Phase = AutoCalibration::Phase;
    return phase != Phase::Off && phase != Phase::Verdict && phase != Phase::Manual;
}

QString dut(int sensor)
{
    return QStringLiteral("ДУТ %1: ").arg(sensor);
}

} // namespace

QString AutoCalibration::Verdict::text() const
{
    switch (result) {
    case Pass:
        return QStringLiteral("ГОДЕН");
    case Fail:
        return QStringLiteral("НЕ ГОДЕН");
    case Unverified:
        break;
    }
    return QStringLiteral("НЕ ГОДЕН: запись не проверена");
}

AutoCalibration::AutoCalibration(QObject *parent)
    : QObject(parent)
{ }

bool AutoCalibration::isNeutral(const Coefficients &k)
{
    // What a sensor reads back is single precision: 1 and 0 are exact there.
    bool zeros = true;
    for (size_t i = 1; i < k.size(); ++i)
        zeros = zeros && k[i] == 0.0;
    return zeros && (k[0] == 0.0 || k[0] == 1.0);
}

QVector<int> AutoCalibration::checkPointsOf(const Rules &rules, int lo, int hi)
{
    if (lo > hi)
        std::swap(lo, hi);
    QVector<int> points;
    for (const int t : rules.checkPoints) {
        if (t >= lo && t <= hi && !points.contains(t))
            points.append(t);
    }
    if (!points.isEmpty())
        return points;
    points = {lo, SensorData::referenceTemp, hi};
    points.erase(std::unique(points.begin(), points.end()), points.end());
    std::sort(points.begin(), points.end());
    return points;
}

QString AutoCalibration::phaseText(Phase phase)
{
    switch (phase) {
    case Phase::Off:
        break;
    case Phase::ReadPending:
        return QStringLiteral("чтение K");
    case Phase::Question:
        return QStringLiteral("свои K");
    case Phase::Neutral:
        return QStringLiteral("нейтральные K");
    case Phase::Collecting:
        return QStringLiteral("сбор");
    case Phase::WritePending:
    case Phase::Verifying:
        return QStringLiteral("запись K");
    case Phase::Retry:
        return QStringLiteral("повтор записи");
    case Phase::Checking:
        return QStringLiteral("проверка");
    case Phase::Verdict:
        return QStringLiteral("готово");
    case Phase::Manual:
        return QStringLiteral("вручную");
    }
    return {};
}

void AutoCalibration::start(
    const QVector<int> &polled, const Rules &newRules, const QVector<int> &written)
{
    stop();
    rules = newRules;
    for (Course &course : courses)
        course = Course();
    for (const int sensor : polled) {
        if (valid(sensor))
            courses[size_t(sensor)].phase
                = written.contains(sensor) ? Phase::Checking : Phase::ReadPending;
    }
}

void AutoCalibration::stop()
{
    questionOpen = false;
    const int abandoned = running;
    running = -1;
    for (Course &course : courses) {
        if (inCourse(course.phase))
            course.phase = Phase::Off;
    }
    if (abandoned >= 0)
        emit exchangeAbandoned(abandoned);
}

bool AutoCalibration::isRunning() const
{
    for (const Course &course : courses) {
        if (inCourse(course.phase))
            return true;
    }
    return false;
}

AutoCalibration::Exchange AutoCalibration::nextExchange()
{
    if (running >= 0)
        return {};
    // Every as-found read comes first: the neutral question needs all of them.
    for (const Phase wanted : {Phase::ReadPending, Phase::Neutral, Phase::WritePending}) {
        for (int sensor = 0; sensor < sensorCount; ++sensor) {
            Course &course = courses[size_t(sensor)];
            const bool retry = wanted == Phase::WritePending && course.phase == Phase::Retry;
            if (course.phase != wanted && !retry)
                continue;
            running = sensor;
            switch (wanted) {
            case Phase::ReadPending:
                emit status(dut(sensor) + QStringLiteral("автокалибровка — чтение K…"));
                return {Exchange::Read, sensor};
            case Phase::Neutral:
                emit status(dut(sensor) + QStringLiteral("автокалибровка — запись нейтральных K…"));
                return {Exchange::WriteNeutral, sensor};
            default:
                if (!retry)
                    course.phase = Phase::Verifying;
                emit status(dut(sensor) + QStringLiteral("автокалибровка — запись K…"));
                return {Exchange::WriteFit, sensor};
            }
        }
    }
    return {};
}

void AutoCalibration::readDone(int sensor, const std::optional<Coefficients> &found)
{
    if (!valid(sensor) || sensor != running || courses[size_t(sensor)].phase != Phase::ReadPending)
        return;
    running = -1;
    Course &course = courses[size_t(sensor)];
    course.found = found;
    // The read is over: its "чтение K…" must not stand in the status bar while data are
    // collected.
    emit status(found
            ? QString()
            : dut(sensor) + QStringLiteral("K не прочитаны, калибруется без исходных значений"));
    course.phase = found && !isNeutral(*found) ? Phase::Question : Phase::Collecting;
    askOrCollect();
}

void AutoCalibration::askOrCollect()
{
    QVector<int> asked;
    for (int sensor = 0; sensor < sensorCount; ++sensor) {
        const Phase phase = courses[size_t(sensor)].phase;
        if (phase == Phase::ReadPending)
            return;
        if (phase == Phase::Question)
            asked.append(sensor);
    }
    if (asked.isEmpty() || questionOpen)
        return;
    questionOpen = true;
    emit neutralQuestion(asked);
}

void AutoCalibration::answerNeutral(bool writeNeutral)
{
    if (!questionOpen)
        return;
    questionOpen = false;
    for (Course &course : courses) {
        if (course.phase == Phase::Question)
            course.phase = writeNeutral ? Phase::Neutral : Phase::Collecting;
    }
}

void AutoCalibration::writeDone(int sensor, bool verified)
{
    if (!valid(sensor) || sensor != running)
        return;
    Course &course = courses[size_t(sensor)];
    const bool neutral = course.phase == Phase::Neutral;
    if (!neutral && course.phase != Phase::Verifying && course.phase != Phase::Retry)
        return;
    running = -1;
    if (verified) {
        course.failures = 0;
        if (neutral) {
            course.phase = Phase::Collecting;
            emit clearData(sensor);
            emit status(QString());
        } else {
            course.phase = Phase::Checking;
            emit written(sensor);
            emit status(dut(sensor) + QStringLiteral("записано и проверено, идёт проверка"));
        }
        return;
    }
    // One more try; a sensor whose cells twice hold something else than was written is not
    // taken further.
    if (++course.failures < 2) {
        if (!neutral)
            course.phase = Phase::Retry;
        emit status(dut(sensor) + QStringLiteral("запись K не подтвердилась, повтор"));
        return;
    }
    setVerdict(sensor, {Verdict::Unverified, std::numeric_limits<double>::quiet_NaN()});
}

void AutoCalibration::covered(int sensor)
{
    if (valid(sensor) && courses[size_t(sensor)].phase == Phase::Collecting)
        courses[size_t(sensor)].phase = Phase::WritePending;
}

QVector<int> AutoCalibration::lacking(int sensor, const MidlMap &midl, int lo, int hi) const
{
    if (!valid(sensor) || courses[size_t(sensor)].phase != Phase::Checking)
        return {};
    QVector<int> points = checkPointsOf(rules, lo, hi);
    // Every deviation is taken against +20 °C, so the check needs it whatever the list says.
    if (!points.contains(SensorData::referenceTemp)) {
        points.append(SensorData::referenceTemp);
        std::sort(points.begin(), points.end());
    }
    QVector<int> missing;
    for (const int t : points) {
        if (!midl.contains(qint8(t)))
            missing.append(t);
    }
    return missing;
}

void AutoCalibration::midValues(int sensor, const MidlMap &midl, int lo, int hi)
{
    if (!valid(sensor) || courses[size_t(sensor)].phase != Phase::Checking
        || !lacking(sensor, midl, lo, hi).isEmpty())
        return;
    const Residuals left = Residuals::of(midl, lo, hi, neutralSet());
    if (!left.isValid())
        return; // a mid value of 0 at +20 °C: no ratio to judge by
    const double deviation = left.largest();
    setVerdict(
        sensor, {deviation <= rules.tolerancePercent ? Verdict::Pass : Verdict::Fail, deviation});
}

void AutoCalibration::manual(int sensor)
{
    if (!valid(sensor) || !inCourse(courses[size_t(sensor)].phase))
        return;
    courses[size_t(sensor)].phase = Phase::Manual;
    if (running == sensor) {
        running = -1;
        emit exchangeAbandoned(sensor);
    }
    askOrCollect();
    checkFinished();
}

void AutoCalibration::setVerdict(int sensor, const Verdict &verdict)
{
    Course &course = courses[size_t(sensor)];
    course.phase = Phase::Verdict;
    course.verdict = verdict;
    QString text = dut(sensor) + verdict.text();
    if (std::isfinite(verdict.deviationPercent))
        text += QStringLiteral(", отклонение после записи %1 %")
                    .arg(verdict.deviationPercent, 0, 'f', 3);
    emit verdictReached(sensor, verdict);
    emit status(text);
    checkFinished();
}

void AutoCalibration::checkFinished()
{
    int passed = 0;
    int judged = 0;
    for (const Course &course : courses) {
        if (inCourse(course.phase))
            return;
        if (course.phase == Phase::Verdict) {
            ++judged;
            passed += course.verdict->result == Verdict::Pass;
        }
    }
    // A course taken over by hand everywhere ends without a report: the operator is there.
    if (judged > 0)
        emit finished(passed, judged);
}

AutoCalibration::Phase AutoCalibration::phase(int sensor) const
{
    return valid(sensor) ? courses[size_t(sensor)].phase : Phase::Off;
}

std::optional<AutoCalibration::Coefficients> AutoCalibration::asFound(int sensor) const
{
    return valid(sensor) ? courses[size_t(sensor)].found : std::nullopt;
}

std::optional<AutoCalibration::Verdict> AutoCalibration::verdict(int sensor) const
{
    return valid(sensor) ? courses[size_t(sensor)].verdict : std::nullopt;
}
