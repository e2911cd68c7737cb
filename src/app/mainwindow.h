#pragma once

#include <QByteArray>
#include <QMainWindow>

class ComPort;
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

private:
    QTimer *pollTimer = nullptr;
    ComPort *m_comPort = nullptr;
    Protocol *m_protocol = nullptr;
    QByteArray answerBuffer;
};
