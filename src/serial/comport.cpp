#include "serial/comport.h"

#include "serial/seriallink.h"
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

    // Shown only while readings after a return of the line are held back.
    pbAccept = new QPushButton(tr("Принять"), frame);
    pbAccept->setObjectName(QStringLiteral("pbAccept"));
    pbAccept->setToolTip(tr("Показания после возврата линии не засчитываются: устройство другое "
                            "или показание неправдоподобно. «Принять» засчитывает их."));
    pbAccept->setVisible(false);
    gridLayout_2->addWidget(pbAccept, 0, 3);

    m_link = new SerialLink(this);

    fillPorts();
    cbSpeed->addItems({QStringLiteral("2400"), QStringLiteral("4800"), QStringLiteral("9600"),
        QStringLiteral("19200"), QStringLiteral("38400"), QStringLiteral("57600"),
        QStringLiteral("115200")});
    cbSpeed->setCurrentText(QStringLiteral("19200"));

    // Stored choices go in before the connections, so start-up writes nothing back.
    restoreSettings();

    connect(pbOpen, &QPushButton::pressed, this, &ComPort::openPort);
    connect(m_link, &SerialLink::readyRead, this, &ComPort::slReadyRead);
    connect(cbPort, &QComboBox::currentTextChanged, this, &ComPort::slUpdatePort);
    connect(cbSpeed, &QComboBox::currentTextChanged, this, &ComPort::slUpdateSpeed);
    connect(m_link, &SerialLink::sigStatus, this, &ComPort::sigStatus);
    connect(m_link, &SerialLink::lineLost, this, &ComPort::lineLost);
    connect(m_link, &SerialLink::lineBack, this, &ComPort::lineBack);
    connect(pbAccept, &QPushButton::clicked, this, [this] {
        // The message of a return as another device is answered.
        emit sigStatus(QString());
        emit accepted();
    });
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
    if (m_link->isHeld())
        // Also ends the waiting for a lost line.
        m_link->close();
    else
        m_link->open(
            cbPort->currentText().trimmed(), qint32(cbSpeed->currentText().toUInt(nullptr, 10)));
    showState();
    emit open(m_link->isHeld());
}

bool ComPort::isHeld() const
{
    return m_link->isHeld();
}

bool ComPort::isLineLost() const
{
    return m_link->isLineLost();
}

void ComPort::countMissedPoll()
{
    m_link->countMissedPoll();
}

PortReopener *ComPort::reopener() const
{
    return m_link->reopener();
}

void ComPort::setHolding(bool holding)
{
    pbAccept->setVisible(holding);
}

void ComPort::showState()
{
    const bool opened = m_link->isHeld();
    pbOpen->setText(opened ? QStringLiteral("CLOSE") : QStringLiteral("OPEN"));
    cbPort->setEnabled(!opened);
    cbSpeed->setEnabled(!opened);
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
    return m_link->readAll();
}

qint64 ComPort::write(const QByteArray &frame)
{
    return m_link->write(frame);
}

bool ComPort::isOpen() const
{
    return m_link->isOpen();
}
