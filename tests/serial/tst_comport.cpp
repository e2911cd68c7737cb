#include "serial/comport.h"
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

        // The other end closing floods the port with read errors: the panel closes as if "CLOSE"
        // had been pressed, says so once, and the storm stops.
        opened.clear();
        QSignalSpy errors(panel.findChild<QSerialPort *>(), &QSerialPort::errorOccurred);
        pty.closeMaster();
        QTRY_VERIFY(!panel.isOpen());
        QCOMPARE(face(panel), QStringLiteral("closed OPEN 1 1"));
        const int errorsAtClose = errors.count();
        QTest::qWait(200);
        QCOMPARE(errors.count(), errorsAtClose);
        QCOMPARE(emitted(opened), QVariantList {false});
        QCOMPARE(status.count(), 1);
        QVERIFY(status.at(0).at(0).toString().contains(pty.slavePath()));
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
