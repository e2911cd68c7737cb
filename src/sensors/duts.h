#pragma once

#include "protocol/dutinfo.h"
#include "sensors/dut.h"
#include "sensors/returncheck.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QRgb>
#include <QWidget>

class PanelHealth;
class RunLog;

// The bank of six sensor panels, side by side. It decides which panel talks on the line at
// each tick: the polling cycle walks the panels in turn, the coefficient cycle serves the
// lowest-numbered panel with a step pending. Answers go back to the panel that asked, and
// each poll ends up as a line in that sensor's run log.
class Duts : public QWidget
{
    Q_OBJECT

public:
    static constexpr int dutCount = 6;

    explicit Duts(QWidget *parent = nullptr);

    // The panel of sensor nomDut, or nullptr for a number the bank does not have.
    Dut *dut(quint8 nomDut) const;

    // Bench-wide settings handed to every panel.
    void setProtocol(quint8 nomProtocol);
    void setKEnabled(bool enabled);
    void updateAll();
    // Whether any panel holds collected readings or points.
    bool hasCollected() const;
    // Whether any panel's coefficient columns hold values (fitted, to write or read back).
    bool hasCoefficients() const;

    // Per-sensor access; an unknown sensor number gives an empty or null result.
    void setFileName(quint8 nomDut, const QString &fileName);
    const Dut::ValueSets *getValues(quint8 nomDut) const;
    Dut::MidlMap *getMidl(quint8 nomDut);
    Dut::MidlMap *getMidl(quint8 nomDut, eTypeData type);
    Dut::CurveMap *getTrend(quint8 nomDut);
    Dut::CurveMap *getDelta(quint8 nomDut);
    void setMidl(quint8 nomDut, const Dut::MidlMap &points, eTypeData type);
    // The operator's choices of every panel, sensor 0 first.
    QList<SensorSetup> setups() const;

    // Polling cycle: the next panel in turn that has a frame gives it; empty if none has.
    QByteArray getPollRequest();
    // Hands what arrived since the last polling frame to the panel that was polled and logs
    // that sensor's line. valid is 0 (and nothing is logged) when no panel was polled.
    DutInfo processAnswer(QByteArray *answer);
    // Coefficient cycle: the frame of the lowest-numbered panel with a step pending.
    QByteArray getKRequest();
    // Hands what arrived since the last coefficient frame to the panel that sent it.
    DutInfo checkKAnswer(QByteArray *answer);
    // Run-log lines that a full or failing disk has not taken yet.
    int waitingLogLines() const;
    // Appends bytes to the line trace of the current run.
    void writeLog(const QByteArray &bytes);
    // The current (or last) run directory; empty before the port was first opened.
    QString runDirectory() const;
    // The run directory last taken up again with "Загрузить прогон…" (empty if none): its
    // journal records and as-found sets say what was already written before a crash.
    QString runTakenUp() const { return takenUp; }
    void setRunTakenUp(const QString &directory) { takenUp = directory; }
    // The identifier of the last start of polling, or empty.
    QString currentRunId() const { return runId; }
    // The line went away: what arrived before is traced, a whole answer is taken as the reading it
    // is, a torn one or none costs the sensor nothing; a running coefficient exchange fails. The
    // run's trace notes the loss, and later the return, on a line beginning with "!! ".
    DutInfo lineLost(QByteArray *answer, bool polling, const QString &port, const QString &reason);
    // The line came back; `otherDevice`, when not empty, says that it is not the same device.
    // Each sensor's first reading after it is checked (ReturnCheck); one held back is not taken,
    // is traced on a "!! " line, and its panel and the status bar say so until acceptReturn().
    void lineBack(
        const QString &port, qint64 outageMs, int missedPolls, const QString &otherDevice);
    // Whether a polling frame went out whose answer no tick has examined yet.
    bool isPollOpen() const { return pollIndex >= 0; }
    // Whether `answer` is a whole measurement answer of the sensor polled last.
    bool answersPoll(const QByteArray &answer) const;
    // Closes the polling exchange without another frame: the next answer belongs to nobody.
    void endPoll() { pollIndex = -1; }

public slots:
    void slChangeStart(bool start);
    void slClearAll();
    // The operator takes the line that came back as it is: readings are taken again.
    void acceptReturn();
    // Opening the port starts a new run directory; closing it closes the run's files.
    void newFile(bool openPort);

    void slEditMidl(quint8 nomDut, quint8 nomPoint, quint32 y);
    void slAddMidl(quint8 nomDut, qint8 temp, quint32 y, eTypeData type);

    void slTypePolinom(quint8 nomDut, eTypeData type);
    void slSave(quint8 nomDut);
    void slLoad(quint8 nomDut);
    void slUpdatePlot(quint8 nomDut, quint8 en);
    void slUpdatePlotColor(quint8 nomDut, QRgb value, QRgb midl, QRgb delta, QRgb trend, QRgb k);
    void slUpdateK(quint8 nomDut, double *readK);

signals:
    void sendTypePolinom(quint8 nomDut, eTypeData type);
    void sigSave(quint8 nomDut);
    void sigLoad(quint8 nomDut);
    void updatePlot(quint8 nomDut, quint8 en);
    void updatePlotColor(quint8 nomDut, QRgb value, QRgb midl, QRgb delta, QRgb trend, QRgb k);
    void sigUpdateK(quint8 nomDut, double *readK);
    // A coefficient write or read of sensor nomDut ended well or ran out of tries.
    void sigExchangeOk(quint8 nomDut);
    void sigExchangeError(quint8 nomDut);
    // Something the operator should know about that has no place on a panel (run logs that
    // could not be created, a panel's coefficient file or write that failed), one message per
    // topic; an empty message withdraws the topic's earlier one.
    void sigStatus(const QString &message, const QString &topic);
    // A calibration record, named (serial number, run, certificate, who and where): a panel's
    // coefficient write that reached the line, verified or not, or a record of the hands-free
    // course. For the journal and the record databases.
    void sigCalibrated(const CalibrationRecord &record);
    // Readings after a return of the line are held back (true) or taken again (false).
    void holding(bool held);

public:
    // Names a record of sensor nomDut and hands it on as sigCalibrated: a panel's finished
    // write, or the values found and the verdict of the hands-free course.
    void recorded(quint8 nomDut, const CalibrationRecord &record);

private:
    // At the start of polling: a new run identifier is due. It is made and recorded in the run
    // directory with the run's first reading or write, so that a start that read nothing
    // leaves no directory behind.
    void beginRun();
    void recordRunId();
    bool runIdDue = false;
    // The record with the panel's serial number, the run, its certificate and who calibrated.
    CalibrationRecord stamped(quint8 nomDut, const CalibrationRecord &record);
    QString runId;
    QList<Dut *> dutList;
    QList<PanelHealth *> health;
    quint8 pollPos = 0;
    qint16 pollIndex = -1;
    qint16 kIndex = -1;
    RunLog *runLog = nullptr;
    quint8 protocol = 0;
    bool started = false;
    ReturnCheck returnCheck;
    QElapsedTimer clock;
    // Why each sensor's readings are held back, for the status bar.
    QMap<quint8, QString> heldWhy;

    // An answer the return check holds back: traced, said on the panel and in the status bar.
    void holdBack(quint8 nomDut, const DutInfo &info, const QString &why);
    void showHeld();

    // Tells the operator, while it lasts, what makes polling useless: a protocol without a
    // measurement request, no panel with an address, or panels sharing an address whose answers
    // cannot be told apart.
    void checkLine();
    QString takenUp;
};
