#pragma once

#include "protocol/dutinfo.h"

#include <QByteArray>
#include <QList>
#include <QMainWindow>
#include <QMap>
#include <QPair>
#include <QStringList>

class ComPort;
class Duts;
class Plot;
class Protocol;
class QTimer;
class RunProgress;
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
    // The status bar's messages, one per condition.
    StatusBoard *statusBoard() const { return m_status; }
    // The chamber's temperature, rate and the time left of the sweep.
    RunProgress *runProgress() const { return m_progress; }
    // Bytes received since the last tick that examined them.
    const QByteArray &receivedBytes() const { return answerBuffer; }

    static constexpr int allSensors = -1;
    // Measurement sets without the dialogs, of all six sensors (".6fls") or of sensor nomDut
    // (".1fls"). A save replaces the file only once all of it is written and then remembers it
    // for the next save dialog; a failed save keeps the old file. An open applies every complete
    // sensor it finds as calibration points and remembers the file for the next open dialog.
    // Failures and damaged files are reported in the status bar. Both return whether the file
    // was written or read.
    bool saveSet(const QString &path, int nomDut = allSensors);
    bool loadSet(const QString &path, int nomDut = allSensors);

    using SetMaps = QList<QMap<qint8, quint32>>;
    // The mid-value maps of one sensor or all, Level, Freq, Period per sensor: what a set
    // saved now would hold.
    SetMaps setMaps(int nomDut);

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
    // Measurement sets through the file dialogs: "Сохранить все"/"Открыть все" of the protocol
    // panel, and a sensor panel's "Сохранить"/"Открыть".
    void slSaveAll();
    void slLoadAll();
    void slSave(uchar nomDut);
    void slLoad(uchar nomDut);

signals:
    // A measurement set was written: the mid-value maps it holds, Level, Freq, Period per
    // sensor, of all six sensors or of sensor nomDut.
    void setWritten(const QList<QMap<qint8, quint32>> &maps, int nomDut);

private slots:
    // Shows the boxes of finished coefficient exchanges, one after another.
    void showExchangeBoxes();

private:
    // A coefficient exchange ends inside a tick; its box is shown once the tick is over, so
    // that no tick ever runs a nested event loop.
    void queueExchangeBox(quint8 nomDut, const QString &text);
    // Traces and hands on what arrived for the last polling frame, and plots a valid reading.
    void closePoll();

    bool writeSet(const QString &path, const SetMaps &maps, int nomDut);
    // A measurement-set file chosen by the operator; empty when the dialog was cancelled.
    QString askSetFile(bool save, int nomDut);

    Duts *m_duts = nullptr;
    QTimer *pollTimer = nullptr;
    ComPort *m_comPort = nullptr;
    Plot *m_plot = nullptr;
    Protocol *m_protocol = nullptr;
    QByteArray answerBuffer;
    StatusBoard *m_status = nullptr;
    RunProgress *m_progress = nullptr;
    // Title and text of each box still to show.
    QList<QPair<QString, QString>> pendingBoxes;
    bool showingBox = false;
};
