#pragma once

#include <QWidget>

class PortReopener;
class QComboBox;
class QPushButton;
class SerialLink;

// The serial-port panel: port and speed choice and open/close of the line (SerialLink) that
// all sensors share, whose byte pipe it hands on. A line that goes away while the operator has
// the port open does not close the panel: "CLOSE" stays while the line waits to be reopened,
// and only "CLOSE" ends the waiting. "Принять" shows while readings after a return are held
// back, and lets the operator take the line as it is.
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
    bool isHeld() const;
    bool isLineLost() const;
    // A polling tick that found the line lost: counted for the note at its return.
    void countMissedPoll();
    SerialLink *link() const { return m_link; }
    PortReopener *reopener() const;
    // Shows "Принять" while readings after a return are held back.
    void setHolding(bool holding);

signals:
    void open(bool isOpen);
    void readyRead();
    // A short operator message for the status bar: why a port did not open or was closed.
    void sigStatus(const QString &message);
    // The line went away (readyRead() has just handed over what arrived before), and came
    // back after outageMs with missedPolls polling ticks lost.
    void lineLost(const QString &port, const QString &reason);
    void lineBack(
        const QString &port, qint64 outageMs, int missedPolls, const QString &otherDevice);
    // "Принять" was pressed: the readings held back since the return are the line's.
    void accepted();

public slots:
    void openPort();
    void slReadyRead();
    void slUpdatePort(const QString &text);
    void slUpdateSpeed(const QString &text);

private:
    void fillPorts();
    void restoreSettings();
    void showState();

    QComboBox *cbPort = nullptr;
    QComboBox *cbSpeed = nullptr;
    QPushButton *pbOpen = nullptr;
    QPushButton *pbAccept = nullptr;
    SerialLink *m_link = nullptr;
};
