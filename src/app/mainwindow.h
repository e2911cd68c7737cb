#pragma once

#include "protocol/dutinfo.h"

#include <QByteArray>
#include <QMainWindow>
#include <QStringList>

class ComPort;
class Duts;
class Plot;
class Protocol;
class QTimer;

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
    // Bytes received since the last tick that examined them.
    const QByteArray &receivedBytes() const { return answerBuffer; }

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
    void queueExchangeBox(const QString &text);

    Duts *m_duts = nullptr;
    QTimer *pollTimer = nullptr;
    ComPort *m_comPort = nullptr;
    Plot *m_plot = nullptr;
    Protocol *m_protocol = nullptr;
    QByteArray answerBuffer;
    QStringList pendingBoxes;
    bool showingBox = false;
};
