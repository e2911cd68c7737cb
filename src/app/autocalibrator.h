#pragma once

#include "sensors/autocalibration.h"

#include <QByteArray>
#include <QMap>
#include <QObject>
#include <QString>
#include <QVector>

#include <array>

class Dut;
class MainWindow;
class QLabel;

// The hands-free calibration on the bench: the course (AutoCalibration) decides, this puts it
// on the line and on the panels. Its coefficient exchanges take the ticks between two polls,
// one exchange at a time, with the same steps, tries and read-back as the buttons; the other
// panels' polling goes on as soon as an exchange ends. Each panel shows its phase and, in
// the end, its verdict; the as-found data of a written sensor goes to asfound_<n>.1fls in the
// run directory, and the finished course stops polling and leaves report.pdf there.
class AutoCalibrator : public QObject
{
    Q_OBJECT

public:
    explicit AutoCalibrator(MainWindow &window);

    AutoCalibration *course() const { return m_course; }
    // Whether sensor nomDut's coefficient exchange on the line is an automatic one.
    // A failed write's record comes after its end is announced: the sensor whose exchange
    // ended last counts until the next tick.
    bool runsExchange(int nomDut) const
    {
        return running == nomDut || ended == nomDut || abandoning;
    }

    // The first half of a polling tick: the answer to a coefficient frame sent on the previous
    // tick is taken; true when there was one (the tick has no poll to close).
    bool closeStep(QByteArray *answer);
    // The second half: the next coefficient frame of the running (or a new) exchange is sent;
    // false when there is none and the tick polls.
    bool sendStep();
    // After each valid reading of sensor nomDut.
    void taken(int nomDut);

    // Where the as-found data of sensor nomDut is saved in a run directory.
    static QString asFoundPath(const QString &runDirectory, int nomDut);

private:
    void startOrStop();
    void begin(const AutoCalibration::Exchange &exchange);
    void exchangeEnded(quint8 nomDut, bool ok);
    void askNeutral(const QVector<int> &sensors);
    void saveAsFound(int nomDut);
    void journal(int nomDut, const QString &stage, const AutoCalibration::Verdict *verdict);
    void finish(int passed, int total);
    void showPhase(int nomDut);
    void setColumn(Dut &panel, const AutoCalibration::Coefficients &k);
    AutoCalibration::Coefficients column(const Dut &panel) const;
    QVector<int> writtenBefore() const;

    MainWindow &window;
    AutoCalibration *m_course = nullptr;
    std::array<QLabel *, AutoCalibration::sensorCount> phaseLabels {};
    std::array<QLabel *, AutoCalibration::sensorCount> verdictLabels {};
    // What each written sensor reported before its write, for the report.
    QMap<int, QMap<qint8, quint32>> found;
    int running = -1; // sensor of the exchange on the line
    int ended = -1; // sensor whose exchange ended in this tick
    AutoCalibration::Exchange::Kind runningKind = AutoCalibration::Exchange::None;
    bool frameOut = false; // a coefficient frame went out on the last tick
    bool abandoning = false;
};
