// The line's state machine without its panel: a loss, the waiting, a return of the same device
// and of another one on the same path; and how a reopened port is found and compared.

#include "serial/portreopener.h"
#include "serial/seriallink.h"
#include "support/pseudoterminal.h"
#include "support/tempworkdir.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

#include <optional>

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

bool pointLink(const QString &link, const QString &target)
{
    QFile::remove(link);
    return QFile::link(target, link);
}

} // namespace

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QSerialPort::SerialPortError>(); }
    void init() { QVERIFY(dir.emplace().isValid()); }
    void cleanup() { dir.reset(); }

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

    // A port that fails for a moment comes back under the same path to the same node: taken
    // back at once, and said to be the same device.
    void sameDeviceBackAtOnce()
    {
        PseudoTerminal pty;
        const QString path = dir->filePath("ttyLINE");
        QVERIFY(pointLink(path, pty.slavePath()));
        SerialLink link;
        QVERIFY(link.open(path, 19200));
        QSignalSpy back(&link, &SerialLink::lineBack);
        emit link.findChild<QSerialPort *>()->errorOccurred(QSerialPort::ResourceError);
        QTRY_COMPARE(back.count(), 1);
        QVERIFY(link.isOpen());
        QCOMPARE(back.at(0).at(3).toString(), QString());
    }

    // The link re-pointed to another terminal while the line was away: the port reopens, and
    // says in the status and at its return that this is another device.
    void repointedLinkIsAnotherDevice()
    {
        PseudoTerminal first;
        PseudoTerminal second;
        const QString path = dir->filePath("ttyLINE");
        QVERIFY(pointLink(path, first.slavePath()));
        SerialLink link;
        QVERIFY(link.open(path, 19200));
        QSignalSpy back(&link, &SerialLink::lineBack);
        QSignalSpy status(&link, &SerialLink::sigStatus);
        QVERIFY(pointLink(path, second.slavePath()));
        emit link.findChild<QSerialPort *>()->errorOccurred(QSerialPort::ReadError);
        QTRY_COMPARE(back.count(), 1);
        const QString other = back.at(0).at(3).toString();
        QVERIFY2(other.contains(second.slavePath()) && other.contains(first.slavePath()),
            qPrintable(other));
        QVERIFY(status.last().at(0).toString().contains("другое устройство"));
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
        QTest::newRow("typed, gone") << pts3 << typed("", 0) << false;
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

private:
    std::optional<TempWorkDir> dir;
};

QTEST_GUILESS_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
