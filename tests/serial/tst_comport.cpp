#include "serial/comport.h"
#include "serial/portreopener.h"
#include "support/child.h"
#include "support/pseudoterminal.h"
#include "support/tempworkdir.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <optional>

namespace {

const QString kNoSuchPort = QStringLiteral("/dev/tarikon-no-such-port");

// The panel as the operator sees it: the button's caption and whether the lists take input.
QString face(ComPort &panel)
{
    return QStringLiteral("%1 %2 %3 %4")
        .arg(panel.isOpen() ? "open" : "closed")
        .arg(child<QPushButton>(panel, "pbOpen")->text())
        .arg(child<QComboBox>(panel, "cbPort")->isEnabled())
        .arg(child<QComboBox>(panel, "cbSpeed")->isEnabled());
}

// The first argument of every emission so far.
QVariantList emitted(const QSignalSpy &spy)
{
    QVariantList values;
    for (const QVariantList &arguments : spy)
        values << arguments.value(0);
    return values;
}

} // namespace

class TestComPort : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QSerialPort::SerialPortError>(); }
    void init() { QVERIFY(dir.emplace().isValid()); }
    void cleanup() { dir.reset(); }

    void storedChoicesRestored()
    {
        PseudoTerminal pty;
        TempWorkDir::setSetting(QStringLiteral("Port/CurentPort"), pty.slavePath());
        TempWorkDir::setSetting(QStringLiteral("Port/CurentSpeed"), QStringLiteral("57600"));
        {
            ComPort panel;
            QCOMPARE(child<QComboBox>(panel, "cbPort")->currentText(), pty.slavePath());
            QCOMPARE(child<QComboBox>(panel, "cbSpeed")->currentIndex(), 5);
        }

        // A vanished device and an unknown speed leave the defaults.
        TempWorkDir::setSetting(QStringLiteral("Port/CurentPort"), kNoSuchPort);
        TempWorkDir::setSetting(QStringLiteral("Port/CurentSpeed"), QStringLiteral("1200"));
        ComPort panel;
        QComboBox *ports = child<QComboBox>(panel, "cbPort");
        QVERIFY(ports->findText(kNoSuchPort) < 0);
        QCOMPARE(ports->currentIndex(), ports->count() > 0 ? 0 : -1);
        QCOMPARE(child<QComboBox>(panel, "cbSpeed")->currentText(), QStringLiteral("19200"));

        // A typed path is stored like a chosen one, without the blanks around it.
        ports->setEditText(QStringLiteral(" /dev/ttyACM7 "));
        QCOMPARE(TempWorkDir::setting(QStringLiteral("Port/CurentPort")).toString(),
            QStringLiteral("/dev/ttyACM7"));
    }

    void openAndClose()
    {
        PseudoTerminal pty;
        ComPort panel;
        QSignalSpy opened(&panel, &ComPort::open);
        QSignalSpy status(&panel, &ComPort::sigStatus);
        child<QComboBox>(panel, "cbPort")->setEditText(pty.slavePath());

        press(panel);
        QCOMPARE(face(panel), QStringLiteral("open CLOSE 0 0"));
        QCOMPARE(emitted(opened), QVariantList {true});

        // Frames and answers cross the line in the window and end-to-end tests.
        press(panel);
        QCOMPARE(face(panel), QStringLiteral("closed OPEN 1 1"));
        QCOMPARE(emitted(opened), (QVariantList {true, false}));

        // Reopening works; the modem-line requests a pseudo-terminal refuses are no failure.
        press(panel);
        emit panel.findChild<QSerialPort *>()->errorOccurred(
            QSerialPort::UnsupportedOperationError);
        QTest::qWait(50);
        QCOMPARE(face(panel), QStringLiteral("open CLOSE 0 0"));
        QCOMPARE(status.count(), 0);

        // The other end closing floods the port with read errors: the panel keeps "CLOSE",
        // says once which port went, and waits for it; "CLOSE" ends the waiting.
        opened.clear();
        QSignalSpy errors(panel.findChild<QSerialPort *>(), &QSerialPort::errorOccurred);
        QSignalSpy lost(&panel, &ComPort::lineLost);
        pty.closeMaster();
        QTRY_VERIFY(panel.isLineLost());
        QCOMPARE(face(panel), QStringLiteral("closed CLOSE 0 0"));
        // Failed attempts to reopen raise errors of their own, not the storm.
        auto storm = [&errors] {
            int n = 0;
            for (const QVariantList &e : errors)
                n += e.at(0).value<QSerialPort::SerialPortError>() == QSerialPort::ReadError
                    || e.at(0).value<QSerialPort::SerialPortError>() == QSerialPort::ResourceError;
            return n;
        };
        const int errorsAtClose = storm();
        QTest::qWait(200);
        QCOMPARE(storm(), errorsAtClose);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(status.count(), 1);
        QVERIFY(status.at(0).at(0).toString().contains(pty.slavePath()));
        QVERIFY(opened.isEmpty());
        press(panel);
        QCOMPARE(face(panel), QStringLiteral("closed OPEN 1 1"));
        QCOMPARE(emitted(opened), QVariantList {false});
        QVERIFY(!panel.reopener()->isWaiting());
    }

    // The same adapter under a new name, two adapters of one kind told apart by their serial
    // numbers, typed paths as they stand.
    void reopenedPortChosenByIdentity()
    {
        auto port = [](const char *name, const char *serial, quint16 vid, quint16 pid) {
            PortIdentity p;
            p.portName = name;
            p.systemLocation = QStringLiteral("/dev/") + name;
            p.serialNumber = serial;
            p.vendorId = vid;
            p.productId = pid;
            p.hasIds = vid != 0;
            return p;
        };
        const PortIdentity a = port("ttyUSB0", "A1", 0x0403, 0x6001);
        const PortIdentity b = port("ttyUSB1", "B2", 0x0403, 0x6001);
        QList<PortIdentity> now {port("ttyUSB2", "B2", 0x0403, 0x6001),
            port("ttyUSB3", "A1", 0x0403, 0x6001), port("ttyS0", "", 0, 0)};
        QCOMPARE(PortReopener::choose("ttyUSB0", a, now), QStringLiteral("ttyUSB3"));
        QCOMPARE(PortReopener::choose("ttyUSB1", b, now), QStringLiteral("ttyUSB2"));
        // Not back yet: the old name is tried again.
        QCOMPARE(PortReopener::choose("ttyUSB0", a, now.mid(0, 1)), QStringLiteral("ttyUSB0"));
        QCOMPARE(PortReopener::choose("/dev/serial/by-id/usb-A1", a, now),
            QStringLiteral("/dev/serial/by-id/usb-A1"));
        // VID:PID alone: the one port carrying them, never a guess between two.
        const PortIdentity plain = port("ttyACM0", "", 0x2341, 0x0043);
        QCOMPARE(PortReopener::choose("ttyACM0", plain, {port("ttyACM1", "", 0x2341, 0x0043)}),
            QStringLiteral("ttyACM1"));
        QCOMPARE(PortReopener::choose("ttyACM0", plain,
                     {port("ttyACM1", "", 0x2341, 0x0043), port("ttyACM2", "", 0x2341, 0x0043)}),
            QStringLiteral("ttyACM0"));

        // The panel remembers the identity of the listed port it opened, from the list given.
        ComPort panel;
        panel.reopener()->setPortList([&now] { return now; });
        panel.reopener()->remember("ttyUSB3");
        now[1].portName = "ttyUSB7";
        QCOMPARE(panel.reopener()->candidate(), QStringLiteral("ttyUSB7"));
        // At once, then every second, backing off to every 5 s.
        QCOMPARE(PortReopener::delayAfter(1), 1000);
        QCOMPARE(PortReopener::delayAfter(30), 1000);
        QCOMPARE(PortReopener::delayAfter(32), 3000);
        QCOMPARE(PortReopener::delayAfter(1000), 5000);
    }

private:
    static void press(ComPort &panel)
    {
        QTest::mouseClick(child<QPushButton>(panel, "pbOpen"), Qt::LeftButton);
    }

    std::optional<TempWorkDir> dir;
};

QTEST_MAIN(TestComPort)
#include "tst_comport.moc"
