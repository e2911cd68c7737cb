#include "serial/comport.h"
#include "support/pseudoterminal.h"
#include "support/tempworkdir.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

class TestComPort : public QObject
{
    Q_OBJECT

    static QComboBox *list(ComPort &panel, const char *name)
    {
        return panel.findChild<QComboBox *>(QLatin1String(name));
    }

    static void press(ComPort &panel)
    {
        QTest::mouseClick(panel.findChild<QPushButton *>(QStringLiteral("pbOpen")), Qt::LeftButton);
    }

    static void verifyState(ComPort &panel, bool open)
    {
        QCOMPARE(panel.isOpen(), open);
        QCOMPARE(panel.findChild<QPushButton *>(QStringLiteral("pbOpen"))->text(),
            open ? QStringLiteral("CLOSE") : QStringLiteral("OPEN"));
        QCOMPARE(list(panel, "cbPort")->isEnabled(), !open);
        QCOMPARE(list(panel, "cbSpeed")->isEnabled(), !open);
    }

private slots:
    void initTestCase() { qRegisterMetaType<QSerialPort::SerialPortError>(); }

    void init()
    {
        m_dir = std::make_unique<TempWorkDir>();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }

    void storedChoicesRestored()
    {
        PseudoTerminal pty;
        TempWorkDir::setSetting(QStringLiteral("Port/CurentPort"), pty.slavePath());
        TempWorkDir::setSetting(QStringLiteral("Port/CurentSpeed"), QStringLiteral("57600"));
        {
            ComPort panel;
            QCOMPARE(list(panel, "cbPort")->currentText(), pty.slavePath());
            QCOMPARE(list(panel, "cbSpeed")->currentIndex(), 5);
        }

        // A vanished device and an unknown speed leave the defaults.
        TempWorkDir::setSetting(
            QStringLiteral("Port/CurentPort"), QStringLiteral("/dev/tarikon-no-such-port"));
        TempWorkDir::setSetting(QStringLiteral("Port/CurentSpeed"), QStringLiteral("1200"));
        ComPort panel;
        QComboBox *ports = list(panel, "cbPort");
        QVERIFY(ports->findText(QStringLiteral("/dev/tarikon-no-such-port")) < 0);
        QCOMPARE(ports->currentIndex(), ports->count() > 0 ? 0 : -1);
        QCOMPARE(list(panel, "cbSpeed")->currentText(), QStringLiteral("19200"));

        // A typed path is stored like a chosen one, without the blanks around it.
        ports->setEditText(QStringLiteral(" /dev/ttyACM7 "));
        QCOMPARE(TempWorkDir::setting(QStringLiteral("Port/CurentPort")).toString(),
            QStringLiteral("/dev/ttyACM7"));
    }

    void openTrafficClose()
    {
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        ComPort panel;
        QSignalSpy opened(&panel, &ComPort::open);
        QSignalSpy status(&panel, &ComPort::sigStatus);
        list(panel, "cbPort")->setEditText(pty.slavePath());

        press(panel);
        verifyState(panel, true);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).toBool(), true);

        const QByteArray frame = QByteArray::fromHex("31000676");
        QCOMPARE(panel.write(frame), qint64(frame.size()));
        QByteArray sent;
        QTRY_COMPARE(sent += pty.read(), frame);

        QSignalSpy arrived(&panel, &ComPort::readyRead);
        QVERIFY(pty.write(QByteArray::fromHex("3e00060010271803e8")));
        QByteArray received;
        QTRY_COMPARE(received += panel.readAll(), QByteArray::fromHex("3e00060010271803e8"));
        QVERIFY(arrived.count() >= 1);

        press(panel);
        verifyState(panel, false);
        QCOMPARE(opened.last().at(0).toBool(), false);

        // Reopening works; the modem-line requests a pseudo-terminal refuses are no failure.
        press(panel);
        QTest::qWait(50);
        verifyState(panel, true);
        QCOMPARE(status.count(), 0);
    }

    void portThatCannotOpen()
    {
        ComPort panel;
        QSignalSpy opened(&panel, &ComPort::open);
        QSignalSpy status(&panel, &ComPort::sigStatus);
        list(panel, "cbPort")->setEditText(QStringLiteral("/dev/tarikon-no-such-port"));
        press(panel);
        verifyState(panel, false);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).toBool(), false);
        QCOMPARE(status.count(), 1);
        QVERIFY(
            status.at(0).at(0).toString().contains(QStringLiteral("/dev/tarikon-no-such-port")));
    }

    void otherEndVanishes()
    {
        PseudoTerminal pty;
        ComPort panel;
        list(panel, "cbPort")->setEditText(pty.slavePath());
        panel.openPort();
        QVERIFY(panel.isOpen());

        QSignalSpy opened(&panel, &ComPort::open);
        QSignalSpy status(&panel, &ComPort::sigStatus);
        QSignalSpy errors(panel.findChild<QSerialPort *>(), &QSerialPort::errorOccurred);
        pty.closeMaster();
        QTRY_VERIFY(!panel.isOpen());
        verifyState(panel, false);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).toBool(), false);
        QCOMPARE(status.count(), 1);
        QVERIFY(status.at(0).at(0).toString().contains(pty.slavePath()));

        // The storm of read errors has stopped with the close.
        const int errorsAtClose = errors.count();
        QTest::qWait(200);
        QCOMPARE(errors.count(), errorsAtClose);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(status.count(), 1);
    }

private:
    std::unique_ptr<TempWorkDir> m_dir;
};

QTEST_MAIN(TestComPort)
#include "tst_comport.moc"
