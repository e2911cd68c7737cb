#include "serial/comport.h"

#include "serial/portreopener.h"
#include "serial/serialerror.h"
#include "settings/settingskeys.h"

#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSettings>

#include <sys/stat.h>

namespace {

// Port names the system lists are short ("ttyUSB0"); the port object finds them under /dev.
// A typed full path ("/dev/serial/by-id/...") is used as it stands.
QString deviceNodePath(const QString &portName)
{
    return portName.startsWith(QLatin1Char('/')) ? portName : QStringLiteral("/dev/") + portName;
}

bool isCharacterDevice(const QString &path)
{
    struct stat info
    {
    };
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

} // namespace

ComPort::ComPort(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("ComPort"));
    resize(241, 35);
    setWindowTitle(QStringLiteral("Form"));

    auto *gridLayout = new QGridLayout(this);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(2);
    gridLayout->setContentsMargins(2, 2, 2, 2);

    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Raised);
    gridLayout->addWidget(frame, 0, 0);

    auto *gridLayout_2 = new QGridLayout(frame);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    gridLayout_2->setSpacing(3);
    gridLayout_2->setContentsMargins(3, 3, 3, 3);

    // Editable, so that any device path can be typed: a stable /dev/serial/by-id link,
    // an adapter plugged in after start-up, a pseudo-terminal.
    cbPort = new QComboBox(frame);
    cbPort->setObjectName(QStringLiteral("cbPort"));
    cbPort->setEditable(true);
    cbPort->setInsertPolicy(QComboBox::NoInsert);
    cbPort->setMinimumContentsLength(12);
    gridLayout_2->addWidget(cbPort, 0, 0);

    cbSpeed = new QComboBox(frame);
    cbSpeed->setObjectName(QStringLiteral("cbSpeed"));
    gridLayout_2->addWidget(cbSpeed, 0, 1);

    pbOpen = new QPushButton(QStringLiteral("OPEN"), frame);
    pbOpen->setObjectName(QStringLiteral("pbOpen"));
    gridLayout_2->addWidget(pbOpen, 0, 2);

    serialPort = new QSerialPort(this);
    serialPort->setObjectName(QStringLiteral("serialPort"));
    m_reopener = new PortReopener(this);
    m_reopener->setObjectName(QStringLiteral("portReopener"));

    fillPorts();
    cbSpeed->addItems({QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
        QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("57600"),
        QStringLiteral("115200")});
    cbSpeed->setCurrentText(QStringLiteral("19200"));

    // Stored choices go in before the connections, so start-up writes nothing back.
    restoreSettings();

    connect(pbOpen, &QPushButton::pressed, this, &ComPort::openPort);
    connect(serialPort, &QSerialPort::readyRead, this, &ComPort::slReadyRead);
    connect(cbPort, &QComboBox::currentTextChanged, this, &ComPort::slUpdatePort);
    connect(cbSpeed, &QComboBox::currentTextChanged, this, &ComPort::slUpdateSpeed);
    connect(serialPort, &QSerialPort::errorOccurred, this, &ComPort::slError);
    connect(m_reopener, &PortReopener::attempt, this, &ComPort::slReopen);
}

void ComPort::fillPorts()
{
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        cbPort->addItem(info.portName());
}

void ComPort::restoreSettings()
{
    std::optional<QSettings> own;
    const QSettings &settings = settingskeys::reader(own);

    const QString port = settings.value(settingskeys::portName()).toString().trimmed();
    if (!port.isEmpty()) {
        int index = cbPort->findText(port);
        // A port the system does not list (a by-id link, a pseudo-terminal) is still offered
        // while its device node exists; a vanished one leaves the first listed port chosen.
        if (index < 0 && isCharacterDevice(deviceNodePath(port))) {
            cbPort->addItem(port);
            index = cbPort->count() - 1;
        }
        if (index >= 0)
            cbPort->setCurrentIndex(index);
    }

    const int speed = cbSpeed->findText(settings.value(settingskeys::portSpeed()).toString());
    if (speed >= 0)
        cbSpeed->setCurrentIndex(speed);
}

void ComPort::openPort()
{
    const QString name = cbPort->currentText().trimmed();
    serialPort->setPortName(name);
    serialPort->setBaudRate(
        qint32(cbSpeed->currentText().toUInt(nullptr, 10)), QSerialPort::AllDirections);
    serialPort->setDataBits(QSerialPort::Data8);
    serialPort->setParity(QSerialPort::NoParity);
    serialPort->setStopBits(QSerialPort::OneStop);
    serialPort->setFlowControl(QSerialPort::HardwareControl);

    if (held) {
        // Also ends the waiting for a lost line.
        closePort();
    } else {
        failurePending = false;
        openedName = name;
        if (serialPort->open(QIODevice::ReadWrite)) {
            held = true;
            m_reopener->remember(name);
        } else {
            const QString reason = name.isEmpty()
                ? tr("порт не выбран")
                : SerialError::text(serialPort->error(), serialPort->errorString());
            emit sigStatus(tr("Порт %1 не открыт: %2").arg(name, reason));
            serialPort->clearError();
        }
    }

    showState();
    emit open(held);
}

void ComPort::closePort()
{
    held = false;
    failurePending = false;
    m_reopener->stop();
    serialPort->close();
    serialPort->clearError();
}

bool ComPort::isLineLost() const
{
    return held && !serialPort->isOpen();
}

void ComPort::countMissedPoll()
{
    if (isLineLost())
        m_reopener->countMissedPoll();
}

void ComPort::showState()
{
    const bool opened = held;
    pbOpen->setText(opened ? QStringLiteral("CLOSE") : QStringLiteral("OPEN"));
    cbPort->setEnabled(!opened);
    cbSpeed->setEnabled(!opened);
}

void ComPort::slError(QSerialPort::SerialPortError error)
{
    // Errors while opening are reported by openPort(); errors after a failure was noticed
    // are the same failure repeating until the queued close runs.
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
    QMetaObject::invokeMethod(this, &ComPort::slLineLost, Qt::QueuedConnection);
}

void ComPort::slLineLost()
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

void ComPort::slReopen()
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
    openedName = name;
    m_reopener->remember(name);
    emit sigStatus(tr("Порт %1: связь восстановлена после перерыва %2 с, пропущено опросов: %3")
                       .arg(name)
                       .arg(double(outageMs) / 1000.0, 0, 'f', 1)
                       .arg(missed));
    emit lineBack(name, outageMs, missed);
}

void ComPort::slReadyRead()
{
    emit readyRead();
}

void ComPort::slUpdatePort(const QString &text)
{
    // Stored as it is opened: a typed path loses the blanks around it.
    settingskeys::store(settingskeys::portName(), text.trimmed());
}

void ComPort::slUpdateSpeed(const QString &text)
{
    settingskeys::store(settingskeys::portSpeed(), text);
}

QByteArray ComPort::readAll()
{
    return serialPort->readAll();
}

qint64 ComPort::write(const QByteArray &frame)
{
    return serialPort->write(frame);
}

bool ComPort::isOpen() const
{
    return serialPort->isOpen();
}
