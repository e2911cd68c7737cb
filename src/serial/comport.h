#pragma once

#include <QSerialPort>
#include <QWidget>

class PortReopener;
class QComboBox;
class QPushButton;

// The serial-port panel: port and speed choice, open/close, and the raw byte pipe that all
// sensors on the line share. It never looks inside the bytes. A line that goes away while the
// operator has the port open (an adapter unplugged, the other end gone) does not close the
// panel: "CLOSE" stays, the panel reopens the port by itself once it can, and only "CLOSE"
// ends the waiting.
class ComPort : public QWidget
{
    Q_OBJECT

public:
    explicit ComPort(QWidget *parent = nullptr);

    QByteArray readAll();
    qint64 write(const QByteArray &frame);
    // Whether bytes can cross the line now.
    bool isOpen() const;
    // Whether the operator has the port open ("CLOSE" shown), with the line there or lost.
    bool isHeld() const { return held; }
    bool isLineLost() const;
    // A polling tick that found the line lost: counted for the note at its return.
    void countMissedPoll();
    PortReopener *reopener() const { return m_reopener; }

signals:
    void open(bool isOpen);
    void readyRead();
    // A short operator message for the status bar: why a port did not open or was closed.
    void sigStatus(const QString &message);
    // The line went away (readyRead() has just handed over what arrived before), and came
    // back after outageMs with missedPolls polling ticks lost.
    void lineLost(const QString &port, const QString &reason);
    void lineBack(const QString &port, qint64 outageMs, int missedPolls);

public slots:
    void openPort();
    void slReadyRead();
    void slUpdatePort(const QString &text);
    void slUpdateSpeed(const QString &text);

private slots:
    void slError(QSerialPort::SerialPortError error);
    void slLineLost();
    void slReopen();

private:
    void fillPorts();
    void restoreSettings();
    void closePort();
    void showState();

    QComboBox *cbPort = nullptr;
    QComboBox *cbSpeed = nullptr;
    QPushButton *pbOpen = nullptr;
    QSerialPort *serialPort = nullptr;
    // Set between a failure of the open port and the close that follows it, so a storm of
    // repeated errors closes the port once and reports once.
    bool failurePending = false;
    QString failureReason;
    QString openedName;
    PortReopener *m_reopener = nullptr;
    bool held = false;
};
