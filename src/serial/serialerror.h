#pragma once

#include <QSerialPort>
#include <QString>

// Why a serial port failed, in the bench's own Russian words, from what the port reports: its
// error code and its error text (for failures of the system calls, errno rendered in English).
class SerialError
{
public:
    static QString text(QSerialPort::SerialPortError error, const QString &portText);
};
