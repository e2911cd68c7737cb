#include "serial/serialerror.h"

#include "settings/systemerror.h"

#include <cerrno>

QString SerialError::text(QSerialPort::SerialPortError error, const QString &portText)
{
    const int number = SystemError::numberOf(portText);
    // An ioctl of the serial line refused: the device is something else.
    if (number == ENOTTY)
        return QStringLiteral("устройство не последовательный порт");
    switch (error) {
    case QSerialPort::NoError:
        return QString();
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("порт не найден: адаптер не подключён или имя неверно");
    case QSerialPort::PermissionError:
        // Refused by the system is a matter of rights; otherwise another program holds the port:
        // its lock file, or an exclusive open.
        if (number == EACCES || number == EPERM)
            return QStringLiteral("нет прав на порт: пользователь должен быть в группе dialout");
        return QStringLiteral("порт занят другой программой");
    case QSerialPort::OpenError:
        return QStringLiteral("порт уже открыт");
    case QSerialPort::NotOpenError:
        return QStringLiteral("порт не открыт");
    case QSerialPort::WriteError:
        return QStringLiteral("в порт не пишется");
    case QSerialPort::ReadError:
        return QStringLiteral("порт не читается: линия оборвана или адаптер отключён");
    case QSerialPort::ResourceError:
        return QStringLiteral("устройство пропало: адаптер отключён или линия оборвана");
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("порт не поддерживает нужные настройки линии");
    case QSerialPort::TimeoutError:
        return QStringLiteral("порт не ответил вовремя");
    default:
        break;
    }
    if (number)
        return SystemError::text(number);
    return QStringLiteral("неизвестная ошибка порта");
}
