#include "serial/comport.h"
#include "serial/portreopener.h"
#include "support/child.h"
#include "support/pseudoterminal.h"
#include "support/tempworkdir.h"

#include <QComboBox>
#include <QPushButton>
#include <QSerialPort>
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
        child<QComboBox>(panel, "cbPort")->setEditText(pty.slavePath());

        press(panel);
        QCOMPARE(face(panel), QStringLiteral("open CLOSE 0 0"));
        press(panel);
        QCOMPARE(face(panel), QStringLiteral("closed OPEN 1 1"));
        press(panel);
        QCOMPARE(face(panel), QStringLiteral("open CLOSE 0 0"));
        QCOMPARE(emitted(opened), (QVariantList {true, false, true}));
    }

    // The modem-line requests a pseudo-terminal refuses are no failure of the line.
    void unsupportedRequestKeepsLine()
    {
        PseudoTerminal pty;
        ComPort panel;
        QSignalSpy status(&panel, &ComPort::sigStatus);
        child<QComboBox>(panel, "cbPort")->setEditText(pty.slavePath());
        press(panel);
        emit panel.findChild<QSerialPort *>()->errorOccurred(
            QSerialPort::UnsupportedOperationError);
        QTest::qWait(50);
        QCOMPARE(face(panel), QStringLiteral("open CLOSE 0 0"));
        QCOMPARE(status.count(), 0);
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
