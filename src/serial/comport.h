#pragma once

#include <QSerialPort>
#include <QWidget>

class QComboBox;
class QPushButton;

// The serial-port panel: port and speed choice, open/close, and the raw byte pipe that all
// sensors on the line share. It never looks inside the bytes.
class ComPort : public QWidget
{
    Q_OBJECT

public:
    explicit ComPort(QWidget *parent = nullptr);

    QByteArray readAll();
    qint64 write(const QByteArray &frame);
    bool isOpen() const;

signals:
    void open(bool isOpen);
    void readyRead();
    // A short operator message for the status bar: why a port did not open or was closed.
    void sigStatus(const QString &message);

public slots:
    void openPort();
    void slReadyRead();
    void slUpdatePort(const QString &text);
    void slUpdateSpeed(const QString &text);

private slots:
    void slError(QSerialPort::SerialPortError error);
    void slClosePortAfterFailure();

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
};
