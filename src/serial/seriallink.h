#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>

class PortReopener;

// The serial line the bench talks over: the one port object, the raw byte pipe all sensors
// share, and what happens when the line goes away while the operator has it open (an adapter
// unplugged, the other end gone). Such a loss does not close the line for the operator: the
// port is reopened by itself once it can be, and only close() ends the waiting. A line that
// comes back is compared with the one that went: a device that is not the same is said, so
// that its answers are not taken for the lost one's. It never looks inside the bytes.
class SerialLink : public QObject
{
    Q_OBJECT

public:
    explicit SerialLink(QObject *parent = nullptr);

    // Opens `name` (a listed port or a typed device path) at `baudRate`, 8N1 with hardware flow
    // control. A failure leaves the line closed and is said through sigStatus().
    bool open(const QString &name, qint32 baudRate);
    // Closes the line, and ends the waiting for a lost one.
    void close();

    QByteArray readAll();
    qint64 write(const QByteArray &frame);
    // Whether bytes can cross the line now.
    bool isOpen() const;
    // Whether the operator has the line open, with the line there or lost.
    bool isHeld() const { return held; }
    bool isLineLost() const;
    // A polling tick that found the line lost: counted for the note at its return.
    void countMissedPoll();
    PortReopener *reopener() const { return m_reopener; }

signals:
    void readyRead();
    // A short operator message for the status bar: why a port did not open, was lost or what
    // came back.
    void sigStatus(const QString &message);
    // The line went away (readyRead() has just handed over what arrived before), and came back
    // after outageMs with missedPolls polling ticks lost. `otherDevice` is empty when the line
    // that came back is the one that went, and otherwise says how it differs.
    void lineLost(const QString &port, const QString &reason);
    void lineBack(
        const QString &port, qint64 outageMs, int missedPolls, const QString &otherDevice);

private slots:
    void slError(QSerialPort::SerialPortError error);
    void slLineLost();
    void slReopen();

private:
    QSerialPort *serialPort = nullptr;
    PortReopener *m_reopener = nullptr;
    // Set between a failure of the open port and the close that follows it, so a storm of
    // repeated errors closes the port once and reports once.
    bool failurePending = false;
    QString failureReason;
    QString openedName;
    bool held = false;
};
