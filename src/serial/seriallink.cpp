#include "serial/seriallink.h"

#include "serial/portreopener.h"
#include "serial/serialerror.h"

SerialLink::SerialLink(QObject *parent)
    : QObject(parent)
    , serialPort(new QSerialPort(this))
    , m_reopener(new PortReopener(this))
{
    setObjectName(QStringLiteral("serialLink"));
    serialPort->setObjectName(QStringLiteral("serialPort"));
    m_reopener->setObjectName(QStringLiteral("portReopener"));
    connect(serialPort, &QSerialPort::readyRead, this, &SerialLink::readyRead);
    connect(serialPort, &QSerialPort::errorOccurred, this, &SerialLink::slError);
    connect(m_reopener, &PortReopener::attempt, this, &SerialLink::slReopen);
}

bool SerialLink::open(const QString &name, qint32 baudRate)
{
    close();
    serialPort->setPortName(name);
    serialPort->setBaudRate(baudRate, QSerialPort::AllDirections);
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setStopBits(QSerialPort::OneStop);
    serialPort->setFlowControl(QSerialPort::HardwareControl);
    openedName = name;
    if (serialPort->open(QIODevice::ReadWrite)) {
        held = true;
        m_reopener->remember(name);
        return true;
    }
    const QString reason = name.isEmpty()
        ? tr("порт не выбран")
        : SerialError::text(serialPort->error(), serialPort->errorString());
    emit sigStatus(tr("Порт %1 не открыт: %2").arg(name, reason));
    serialPort->clearError();
    return false;
}

void SerialLink::close()
{
    held = false;
    failurePending = false;
    m_reopener->stop();
    serialPort->close();
    serialPort->clearError();
}

bool SerialLink::isLineLost() const
{
    return held && !serialPort->isOpen();
}

void SerialLink::countMissedPoll()
{
    if (isLineLost())
        m_reopener->countMissedPoll();
}

void SerialLink::slError(QSerialPort::SerialPortError error)
{
    // Errors while opening are reported by open(); errors after a failure was noticed are the
    // same failure repeating until the queued close runs.
    if (!serialPort->isOpen() || failurePending)
        return;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
        break;
    default:
        // Modem-line requests a pseudo-terminal does not support, a write that could not
        // complete, a timeout: the port itself still works.
        return;
    }
    failurePending = true;
    // What the port itself says is often no more than "Unknown error".
    failureReason = error == QSerialPort::ResourceError
        ? tr("устройство пропало: адаптер отключён или линия оборвана")
        : tr("порт не читается: линия оборвана или адаптер отключён");
    // The error is raised from inside the port's own notifier; close from the event loop,
    // not from under it.
    QMetaObject::invokeMethod(this, &SerialLink::slLineLost, Qt::QueuedConnection);
}

void SerialLink::slLineLost()
{
    if (!failurePending || !serialPort->isOpen())
        return;
    failurePending = false;
    // What arrived before the loss is handed over now, before the port that holds it closes.
    emit readyRead();
    serialPort->close();
    serialPort->clearError();
    emit lineLost(openedName, failureReason);
    emit sigStatus(tr("Порт %1: связь потеряна (%2), порт открывается снова, как только "
                      "появится; «CLOSE» прекращает ожидание")
                       .arg(openedName, failureReason));
    m_reopener->start();
}

void SerialLink::slReopen()
{
    if (!isLineLost())
        return;
    const QString name = m_reopener->candidate();
    serialPort->setPortName(name);
    if (!serialPort->open(QIODevice::ReadWrite)) {
        serialPort->clearError();
        m_reopener->attemptFailed();
        return;
    }
    const qint64 outageMs = m_reopener->outageMs();
    const int missed = m_reopener->missedPolls();
    m_reopener->stop();
    const QString other
        = PortReopener::difference(m_reopener->remembered(), m_reopener->identify(name));
    openedName = name;
    m_reopener->remember(name);
    const QString outage = QString::number(double(outageMs) / 1000.0, 'f', 1);
    if (other.isEmpty())
        emit sigStatus(tr("Порт %1: связь восстановлена после перерыва %2 с, пропущено опросов: %3")
                           .arg(name, outage)
                           .arg(missed));
    else
        emit sigStatus(tr("Порт %1: после перерыва %2 с открыто другое устройство (%3), его "
                          "показания не засчитываются; «Принять» засчитывает их")
                           .arg(name, outage, other));
    emit lineBack(name, outageMs, missed, other);
}

QByteArray SerialLink::readAll()
{
    return serialPort->readAll();
}

qint64 SerialLink::write(const QByteArray &frame)
{
    return serialPort->write(frame);
}

bool SerialLink::isOpen() const
{
    return serialPort->isOpen();
}
