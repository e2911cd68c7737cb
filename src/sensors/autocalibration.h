#pragma once

#include "settings/storedsettings.h"

#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

#include <array>
#include <optional>

// The course of the hands-free calibration, sensor by sensor, without any widget or line: it
// is told what happened (polling started, an exchange ended, a range is covered, new mid
// values, a hand on a panel, the switch off) and says what to do next. The line stays the
// window's: between two polls it asks nextExchange() and runs what comes back, one exchange at
// a time.
//
// One sensor's course: its coefficients are read "as found"; a sensor that already holds a
// compensation of its own is offered the neutral set (one question for all of them); it
// collects until its range is covered and fitted; the fit is written and read back, once more
// if the read-back differs; after a verified write its as-found data is put aside and it
// collects what the compensated sensor reports until every check point has a mid value; then
// the as-left deviation against the tolerance gives its verdict. When every sensor of the
// course has a verdict (or was taken over by hand), the run is finished.
class AutoCalibration : public QObject
{
    Q_OBJECT

public:
    static constexpr int sensorCount = 6;
    using Coefficients = std::array<double, 6>; // K0..K5
    using MidlMap = QMap<qint8, quint32>;

    enum class Phase {
        Off, // not in the automatic course
        ReadPending, // as-found read to run, or running
        Question, // holds coefficients of its own: waits for the neutral-set answer
        Neutral, // the neutral set to write and verify, or being written
        Collecting, // until the range is covered and fitted
        WritePending, // the fit to write
        Verifying, // the fit being written and read back
        Retry, // the read-back differed: written once more
        Checking, // written and verified: as-left data until every check point is in
        Verdict, // done, see verdict()
        Manual, // taken over by hand
    };

    // Check points (empty: the range's ends and +20 °C) and the tolerance of the as-left check.
    using Rules = StoredSettings::Calibration;

    struct Verdict
    {
        enum Result { Pass, Fail, Unverified };
        Result result = Fail;
        // Largest |v(T)/v(+20) - 1| over the collected degrees, %; NaN when unverified.
        double deviationPercent = 0;
        QString text() const; // "ГОДЕН", "НЕ ГОДЕН", "НЕ ГОДЕН: запись не проверена"
    };

    struct Exchange
    {
        enum Kind {
            None, // nothing to run now
            Read, // read K0..K5 of the sensor
            WriteFit, // copy the sensor's fit into the write column, write it, read it back
            WriteNeutral, // write 1, 0, 0, 0, 0, 0 and read it back
        };
        Kind kind = None;
        int sensor = -1;
    };

    explicit AutoCalibration(QObject *parent = nullptr);

    static bool isNeutral(const Coefficients &k);
    static Coefficients neutralSet() { return {1, 0, 0, 0, 0, 0}; }
    // The check points of a range lo..hi under the rules: the listed ones inside the range, or,
    // with none of those, lo, +20 °C and hi.
    static QVector<int> checkPointsOf(const Rules &rules, int lo, int hi);
    // Short text of a phase for the panel, e.g. "проверка"; empty for Off.
    static QString phaseText(Phase phase);

    // Polling started with the switch on: the course begins for the polled sensors. Those of
    // `written` (found written in the run's journal) go straight to the as-left check.
    void start(const QVector<int> &polled, const Rules &rules, const QVector<int> &written = {});
    // The switch turned off or polling stopped: everything automatic ends at once; an exchange
    // under way is announced by exchangeAbandoned().
    void stop();
    bool isRunning() const;

    // What the line should carry next, between two polls; the exchange counts as running until
    // readDone() or writeDone() for its sensor. Nothing while one runs.
    Exchange nextExchange();
    // The as-found read ended: the values read, or nothing when the sensor did not answer.
    void readDone(int sensor, const std::optional<Coefficients> &found);
    // A write ended: verified when what was read back is what was written.
    void writeDone(int sensor, bool verified);
    // The answer to neutralQuestion(): true writes the neutral set into those sensors.
    void answerNeutral(bool writeNeutral);
    // The sensor's range is covered (every degree has a mid value) and its fit exists.
    void covered(int sensor);
    // The sensor's mid values of the kind it is fitted in, over its range lo..hi, after each
    // of its readings.
    void midValues(int sensor, const MidlMap &midl, int lo, int hi);
    // The operator wrote, read, cleared or loaded by hand: the sensor leaves the course.
    void manual(int sensor);

    Phase phase(int sensor) const;
    std::optional<Coefficients> asFound(int sensor) const;
    std::optional<Verdict> verdict(int sensor) const;
    // The check points the sensor still lacks while in Checking, else nothing.
    QVector<int> lacking(int sensor, const MidlMap &midl, int lo, int hi) const;

signals:
    // Ask once, naming the sensors, whether to write the neutral set into them (default yes).
    void neutralQuestion(const QVector<int> &sensors);
    // Data collected through the sensor's own compensation is no use: clear the panel.
    void clearData(int sensor);
    // The fit is written and verified: save the panel's as-found data and clear it.
    void written(int sensor);
    void verdictReached(int sensor, const AutoCalibration::Verdict &verdict);
    // Every sensor of the course has a verdict or was taken over: stop polling and report.
    void finished(int passed, int total);
    void exchangeAbandoned(int sensor);
    // For the status bar.
    void status(const QString &text);

private:
    struct Course
    {
        Phase phase = Phase::Off;
        std::optional<Coefficients> found;
        std::optional<Verdict> verdict;
        int failures = 0; // verifications failed in the current write
    };

    bool valid(int sensor) const { return sensor >= 0 && sensor < sensorCount; }
    void askOrCollect();
    void setVerdict(int sensor, const Verdict &verdict);
    void checkFinished();

    std::array<Course, sensorCount> courses;
    Rules rules;
    int running = -1; // the sensor whose exchange is under way
    bool questionOpen = false;
};
