#pragma once

#include "protocol/dutinfo.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QPair>
#include <QStringList>

class AutoCalibrator;
class CalibrationBook;
class ComPort;
class Duts;
class Plot;
class Protocol;
class QTimer;
class RunProgress;
class SetFiles;
class StatusBoard;

// The one window of the bench. It owns the serial-port panel, the protocol panel, the
// sensor bank and the plot, and drives all traffic on the line from one repeating timer:
// each tick closes the exchange begun on the previous tick and opens the next one.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);

    ComPort *comPort() const { return m_comPort; }
    Duts *sensorBank() const { return m_duts; }
    Plot *plot() const { return m_plot; }
    Protocol *protocolPanel() const { return m_protocol; }
    QTimer *timer() const { return pollTimer; }
    // The coefficient writes of this bench run; it keeps the calibration journal.
    CalibrationBook *calibrationBook() const { return m_book; }
    // The status bar's messages, one per condition.
    StatusBoard *statusBoard() const { return m_status; }
    // The chamber's temperature, rate and the time left of the sweep.
    RunProgress *runProgress() const { return m_progress; }
    // Bytes received since the last tick that examined them.
    const QByteArray &receivedBytes() const { return answerBuffer; }

    // The measurement-set files: saves and opens, with and without their dialogs.
    SetFiles *setFiles() const { return m_setFiles; }
    // The hands-free calibration: its exchanges between the polls.
    AutoCalibrator *autoCalibrator() const { return m_auto; }

public slots:
    void slotTimer();
    void slotTimerK();
    void slotReadyRead();
    void sendPort(QByteArray frame);
    void slChangeProtocol(uchar nomProtocol);
    void slChangePeriod(int seconds);
    void slEnableK();
    // Hands sensor nomDut's readings, mid values, trend and deviation to the plot; asking for
    // the trend refits the polynomial, so K0..K5 on its panel follow the data.
    void slUpdatePlot(uchar nomDut);
    // A calibration point dragged or added on the plot: the sensor's panel takes it, and the
    // sensor's mid values and trend are redrawn at once; its deviation follows with its next
    // valid reading.
    void slEditMidl(uchar nomDut, uchar nomPoint, uint y);
    void slAddMidl(uchar nomDut, qint8 temp, uint y, eTypeData kind);
    // The sensor's data kind or polynomial changed: the plot shows that kind from now on, every
    // sensor's readings go until their next valid reading, and this sensor is redrawn.
    void slTypePolinom(uchar nomDut, eTypeData kind);
    // The sensor's curve visibility changed; the trend is refitted first, so that its units
    // follow the visible curves.
    void slSetVisible(uchar nomDut, uchar en);

private slots:
    // Shows the boxes of finished coefficient exchanges, one after another.
    void showExchangeBoxes();

private:
    // A coefficient exchange ends inside a tick; its box is shown once the tick is over, so
    // that no tick ever runs a nested event loop.
    void queueExchangeBox(quint8 nomDut, const QString &text);
    // Traces and hands on what arrived for the last polling frame, and plots a valid reading.
    void closePoll();

    Duts *m_duts = nullptr;
    CalibrationBook *m_book = nullptr;
    QTimer *pollTimer = nullptr;
    ComPort *m_comPort = nullptr;
    Plot *m_plot = nullptr;
    Protocol *m_protocol = nullptr;
    QByteArray answerBuffer;
    StatusBoard *m_status = nullptr;
    RunProgress *m_progress = nullptr;
    SetFiles *m_setFiles = nullptr;
    AutoCalibrator *m_auto = nullptr;
    // Title and text of each box still to show.
    QList<QPair<QString, QString>> pendingBoxes;
    bool showingBox = false;
};
