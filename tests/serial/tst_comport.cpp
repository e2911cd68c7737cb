#include "serial/comport.h"
#include "support/pseudoterminal.h"

#include <QComboBox>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class TestComPort : public QObject
{
    Q_OBJECT

    static void store(const QString &key, const QString &value)
    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Port/") + key, value);
    }

    static QString stored(const QString &key)
    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        return settings.value(QStringLiteral("Port/") + key).toString();
    }

    static QPushButton *button(ComPort &panel)
    {
        return panel.findChild<QPushButton *>(QStringLiteral("pbOpen"));
    }

    static QComboBox *list(ComPort &panel, const char *name)
    {
        return panel.findChild<QComboBox *>(QLatin1String(name));
    }

private slots:
    void initTestCase() { qRegisterMetaType<QSerialPort::SerialPortError>(); }

    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        QDir::setCurrent(m_dir->path());
    }

    void storedChoicesRestored()
    {
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        store(QStringLiteral("CurentPort"), pty.slavePath());
        store(QStringLiteral("CurentSpeed"), QStringLiteral("57600"));
        {
            ComPort panel;
            QCOMPARE(list(panel, "cbPort")->currentText(), pty.slavePath());
            QCOMPARE(list(panel, "cbSpeed")->currentIndex(), 5);
            QCOMPARE(list(panel, "cbSpeed")->count(), 7);
        }

        // A vanished device and an unknown speed leave the defaults; nothing is written back.
        store(QStringLiteral("CurentPort"), QStringLiteral("/dev/tarikon-no-such-port"));
        store(QStringLiteral("CurentSpeed"), QStringLiteral("1200"));
        ComPort panel;
        QComboBox *ports = list(panel, "cbPort");
        QVERIFY(ports->findText(QStringLiteral("/dev/tarikon-no-such-port")) < 0);
        QCOMPARE(ports->currentIndex(), ports->count() > 0 ? 0 : -1);
        QCOMPARE(list(panel, "cbSpeed")->currentText(), QStringLiteral("19200"));
        QCOMPARE(stored(QStringLiteral("CurentSpeed")), QStringLiteral("1200"));

        // A typed path and a new speed are stored at once.
        ports->setEditText(QStringLiteral("/dev/ttyACM7"));
        list(panel, "cbSpeed")->setCurrentIndex(6);
        QCOMPARE(stored(QStringLiteral("CurentPort")), QStringLiteral("/dev/ttyACM7"));
        QCOMPARE(stored(QStringLiteral("CurentSpeed")), QStringLiteral("115200"));
    }

    void openTrafficClose()
    {
        PseudoTerminal pty;
        QVERIFY(pty.isValid());
        ComPort panel;
        QSignalSpy opened(&panel, &ComPort::open);
        QSignalSpy status(&panel, &ComPort::sigStatus);
        QSignalSpy arrived(&panel, &ComPort::readyRead);
        list(panel, "cbPort")->setEditText(pty.slavePath());

        QTest::mouseClick(button(panel), Qt::LeftButton);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).toBool(), true);
        QVERIFY(panel.isOpen());
        QCOMPARE(button(panel)->text(), QStringLiteral("CLOSE"));
        QVERIFY(!list(panel, "cbPort")->isEnabled());
        QVERIFY(!list(panel, "cbSpeed")->isEnabled());

        const QByteArray frame = QByteArray::fromHex("31000676");
        QCOMPARE(panel.write(frame), qint64(frame.size()));
        QByteArray sent;
        QTRY_COMPARE(sent += pty.read(), frame);

        const QByteArray answer = QByteArray::fromHex("3e00060010271803e8");
        QVERIFY(pty.write(answer));
        QByteArray received;
        QTRY_VERIFY((received += panel.readAll()).size() >= answer.size());
        QCOMPARE(received, answer);
        QVERIFY(arrived.count() >= 1);

        QTest::mouseClick(button(panel), Qt::LeftButton);
        QCOMPARE(opened.count(), 2);
        QCOMPARE(opened.at(1).at(0).toBool(), false);
        QVERIFY(!panel.isOpen());
        QCOMPARE(button(panel)->text(), QStringLiteral("OPEN"));
        QVERIFY(list(panel, "cbPort")->isEnabled());
        QVERIFY(list(panel, "cbSpeed")->isEnabled());

        // Reopening works with the same choices; modem-line quirks of a pseudo-terminal are
        // not reported as failures.
        QTest::mouseClick(button(panel), Qt::LeftButton);
        QCOMPARE(opened.last().at(0).toBool(), true);
        QVERIFY(panel.isOpen());
        QTest::qWait(50);
        QVERIFY(panel.isOpen());
        QCOMPARE(status.count(), 0);
    }

    void portThatCannotOpen()
    {
        ComPort panel;
        QSignalSpy opened(&panel, &ComPort::open);
        QSignalSpy status(&panel, &ComPort::sigStatus);
        list(panel, "cbPort")->setEditText(QStringLiteral("/dev/tarikon-no-such-port"));
        QTest::mouseClick(button(panel), Qt::LeftButton);
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).toBool(), false);
        QCOMPARE(button(panel)->text(), QStringLiteral("OPEN"));
        QVERIFY(list(panel, "cbPort")->isEnabled());
        QCOMPARE(status.count(), 1);
        QVERIFY(
            status.at(0).at(0).toString().contains(QStringLiteral("/dev/tarikon-no-such-port")));

        // A port another program holds open stays closed here.
        PseudoTerminal pty;
        ComPort holder;
        list(holder, "cbPort")->setEditText(pty.slavePath());
        holder.openPort();
        QVERIFY(holder.isOpen());
        list(panel, "cbPort")->setEditText(pty.slavePath());
        panel.openPort();
        QVERIFY(!panel.isOpen());
        QCOMPARE(opened.last().at(0).toBool(), false);
        QCOMPARE(status.count(), 2);
        QVERIFY(status.last().at(0).toString().contains(pty.slavePath()));
        QVERIFY(holder.isOpen());
    }

    void otherEndVanishes()
    {
        PseudoTerminal pty;
        ComPort panel;
        auto *port = panel.findChild<QSerialPort *>();
        QVERIFY(port);
        list(panel, "cbPort")->setEditText(pty.slavePath());
        panel.openPort();
        QVERIFY(panel.isOpen());

        QSignalSpy opened(&panel, &ComPort::open);
        QSignalSpy status(&panel, &ComPort::sigStatus);
        QSignalSpy errors(port, &QSerialPort::errorOccurred);
        pty.closeMaster();
        QTRY_VERIFY(!panel.isOpen());
        QCOMPARE(opened.count(), 1);
        QCOMPARE(opened.at(0).at(0).toBool(), false);
        QCOMPARE(button(panel)->text(), QStringLiteral("OPEN"));
        QVERIFY(list(panel, "cbPort")->isEnabled());
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
    QScopedPointer<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestComPort)
#include "tst_comport.moc"
