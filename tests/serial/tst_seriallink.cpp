// The line's state machine without its panel: a loss and the waiting; how a reopened port is
// found and compared with the one that went.

#include "serial/portreopener.h"
#include "serial/seriallink.h"
#include "support/pseudoterminal.h"

#include <QSignalSpy>
#include <QtTest>

Q_DECLARE_METATYPE(PortIdentity)

namespace {

// A port the system lists, as the reopener sees it.
PortIdentity listed(const char *name, const char *serial, quint16 vid, quint16 pid)
{
    PortIdentity p;
    p.portName = name;
    p.systemLocation = QStringLiteral("/dev/") + name;
    p.serialNumber = serial;
    p.vendorId = vid;
    p.productId = pid;
    p.hasIds = vid != 0;
    return p;
}

// A typed path as it was opened: the node it led to and that node's device number.
PortIdentity typed(const char *node, quint64 device, const char *serial = "")
{
    PortIdentity p;
    p.typed = true;
    p.node = node;
    p.device = device;
    p.serialNumber = serial;
    return p;
}

} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QSerialPort::SerialPortError>(); }

    // The other end closing floods the port with read errors: one loss, one message naming the
    // port, and the waiting that close() ends.
    void lossReportedOnceAndCloseEndsWaiting()
    {
        PseudoTerminal pty;
        SerialLink link;
        QVERIFY(link.open(pty.slavePath(), 19200));
        QSignalSpy lost(&link, &SerialLink::lineLost);
        QSignalSpy status(&link, &SerialLink::sigStatus);
        pty.closeMaster();
        QTRY_VERIFY(link.isLineLost());
        QVERIFY(link.isHeld());
        QTest::qWait(200);
        QCOMPARE(lost.count(), 1);
        QCOMPARE(status.count(), 1);
        QVERIFY(status.at(0).at(0).toString().contains(pty.slavePath()));
        link.countMissedPoll();
        QCOMPARE(link.reopener()->missedPolls(), 1);

        link.close();
        QVERIFY(!link.isHeld() && !link.isLineLost());
        QVERIFY(!link.reopener()->isWaiting());
    }

    // The same adapter under a new name, two adapters of one kind told apart by their serial
    // numbers, typed paths as they stand.
    void reopenedPortChosenByIdentity()
    {
        const PortIdentity a = listed("ttyUSB0", "A1", 0x0403, 0x6001);
        const PortIdentity b = listed("ttyUSB1", "B2", 0x0403, 0x6001);
        QList<PortIdentity> now {listed("ttyUSB2", "B2", 0x0403, 0x6001),
            listed("ttyUSB3", "A1", 0x0403, 0x6001), listed("ttyS0", "", 0, 0)};
        QCOMPARE(PortReopener::choose("ttyUSB0", a, now), QStringLiteral("ttyUSB3"));
        QCOMPARE(PortReopener::choose("ttyUSB1", b, now), QStringLiteral("ttyUSB2"));
        // Not back yet: the old name is tried again.
        QCOMPARE(PortReopener::choose("ttyUSB0", a, now.mid(0, 1)), QStringLiteral("ttyUSB0"));
        QCOMPARE(PortReopener::choose("/dev/serial/by-id/usb-A1", a, now),
            QStringLiteral("/dev/serial/by-id/usb-A1"));
        // VID:PID alone: the one port carrying them, never a guess between two.
        const PortIdentity plain = listed("ttyACM0", "", 0x2341, 0x0043);
        QCOMPARE(PortReopener::choose("ttyACM0", plain, {listed("ttyACM1", "", 0x2341, 0x0043)}),
            QStringLiteral("ttyACM1"));
        QCOMPARE(
            PortReopener::choose("ttyACM0", plain,
                {listed("ttyACM1", "", 0x2341, 0x0043), listed("ttyACM2", "", 0x2341, 0x0043)}),
            QStringLiteral("ttyACM0"));

        // The identity of the listed port opened is remembered from the list given.
        PortReopener reopener;
        reopener.setPortList([&now] { return now; });
        reopener.remember("ttyUSB3");
        now[1].portName = "ttyUSB7";
        QCOMPARE(reopener.candidate(), QStringLiteral("ttyUSB7"));
        // At once, then every second, backing off to every 5 s.
        QCOMPARE(PortReopener::delayAfter(1), 1000);
        QCOMPARE(PortReopener::delayAfter(30), 1000);
        QCOMPARE(PortReopener::delayAfter(32), 3000);
        QCOMPARE(PortReopener::delayAfter(1000), 5000);
    }

    void sameLine_data()
    {
        QTest::addColumn<PortIdentity>("was");
        QTest::addColumn<PortIdentity>("now");
        QTest::addColumn<bool>("same");
        const PortIdentity pts3 = typed("/dev/pts/3", 0x8803);
        QTest::newRow("typed, same node") << pts3 << pts3 << true;
        QTest::newRow("typed, link re-pointed") << pts3 << typed("/dev/pts/7", 0x8807) << false;
        QTest::newRow("typed, node renumbered") << pts3 << typed("/dev/pts/3", 0x8a03) << false;
        // A by-id link follows its adapter to another node; another adapter took the node.
        QTest::newRow("by serial, moved")
            << typed("/dev/ttyUSB0", 0xbc00, "A1") << typed("/dev/ttyUSB1", 0xbc01, "A1") << true;
        QTest::newRow("by serial, other adapter")
            << typed("/dev/ttyUSB0", 0xbc00, "A1") << typed("/dev/ttyUSB0", 0xbc00, "B2") << false;
        QTest::newRow("listed without serial") << listed("ttyACM0", "", 0x2341, 0x0043)
                                               << listed("ttyACM1", "", 0x2341, 0x0043) << true;
    }

    void sameLine()
    {
        QFETCH(PortIdentity, was);
        QFETCH(PortIdentity, now);
        QFETCH(bool, same);
        QCOMPARE(PortReopener::difference(was, now).isEmpty(), same);
    }
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
