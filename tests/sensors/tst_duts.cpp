#include "protocol/protocolnumber.h"
#include "sensors/duts.h"
#include "support/child.h"
#include "support/frames.h"
#include "support/tempworkdir.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QtTest>

#include <optional>

using frames::tervalAnswer;

namespace {

QByteArray pollFrame(quint8 address)
{
    return frames::withCrc8(frames::bytes({0x31, address, 0x06}));
}

void setAddress(Duts &bank, quint8 nomDut, int address)
{
    child<QComboBox>(*bank.dut(nomDut), "cbPort")->setCurrentIndex(address + 1);
}

QLineEdit *errorField(Duts &bank, quint8 nomDut)
{
    return child(*bank.dut(nomDut), "leErr");
}

} // namespace

// What only the bank decides. The turn-taking, the routing of answers and the order in which
// panels are served are checked over the line in the window and simulated-line tests.
class TestDuts : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.emplace().isValid()); }
    void cleanup() { dir.reset(); }

    // Nothing goes out and nothing is logged; a protocol without frames (4) still greys the
    // panels that have an address at every tick.
    void allPanelsOff()
    {
        Duts bank;
        QCOMPARE(bank.dut(6), nullptr);
        QCOMPARE(bank.getMidl(6), nullptr);
        bank.setProtocol(1);
        bank.newFile(true);
        bank.slChangeStart(true);
        for (int tick = 0; tick < 3; ++tick) {
            QByteArray answer = tervalAnswer(0, 25, 3200, 6699);
            const DutInfo info = bank.processAnswer(&answer);
            QVERIFY(!info.valid && !info.kAnswer);
            QVERIFY(bank.getPollRequest().isEmpty());
        }
        // A run without a line leaves no directory behind.
        QVERIFY(QDir().entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());

        setAddress(bank, 2, 7);
        bank.setProtocol(4);
        QByteArray nothing;
        for (int tick = 0; tick < 2; ++tick) {
            bank.dut(2)->slTimerErr(); // the 100 ms flash is over
            QVERIFY(!errorField(bank, 2)->styleSheet().contains("100, 100, 100"));
            QVERIFY(bank.getPollRequest().isEmpty());
            QVERIFY(errorField(bank, 2)->styleSheet().contains("100, 100, 100"));
            QCOMPARE(bank.processAnswer(&nothing).valid, quint8(0));
        }
        for (quint8 n = 0; n < Duts::dutCount; ++n)
            QCOMPARE(errorField(bank, n)->text(), QStringLiteral("0"));
        QVERIFY(QDir().entryList(QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
    }

    // What makes polling useless stands in the status bar while it lasts, said once.
    void lineNotes()
    {
        Duts bank;
        QMap<QString, QStringList> said;
        connect(
            &bank, &Duts::sigStatus, &bank, [&said](const QString &message, const QString &topic) {
                if (said[topic].value(said[topic].size() - 1, QStringLiteral("-")) != message)
                    said[topic] << message;
            });
        bank.setProtocol(VeltaroVolume);
        QVERIFY(said.value("protocol").join("").isEmpty()); // not polling yet
        bank.slChangeStart(true);
        QVERIFY(said.value("protocol").last().contains("Veltaro-MD (объем)"));
        bank.setProtocol(TervalBin);
        QVERIFY(said.value("protocol").last().isEmpty());

        setAddress(bank, 1, 7);
        setAddress(bank, 4, 7);
        setAddress(bank, 5, 7);
        QVERIFY(said.value("address").last().contains("ДУТ 1, ДУТ 4, ДУТ 5"));
        setAddress(bank, 4, 8);
        QVERIFY(said.value("address").last().contains("ДУТ 1, ДУТ 5"));
        setAddress(bank, 5, -1); // off
        QVERIFY(said.value("address").last().isEmpty());
    }

    // Stopping and starting again forgets whose turn it was: the answer still due goes nowhere,
    // and the lowest panel with an address is asked first.
    void restartForgetsTheTurn()
    {
        Duts bank;
        setAddress(bank, 1, 1);
        setAddress(bank, 4, 4);
        bank.setProtocol(1);
        bank.slChangeStart(true);
        QCOMPARE(bank.getPollRequest(), pollFrame(1));
        QCOMPARE(bank.getPollRequest(), pollFrame(4));
        bank.slChangeStart(false);
        bank.slChangeStart(true);
        QByteArray late = tervalAnswer(4, 25, 3200, 6699);
        QCOMPARE(bank.processAnswer(&late).valid, quint8(0));
        QCOMPARE(errorField(bank, 4)->text(), QStringLiteral("0"));
        QCOMPARE(bank.getPollRequest(), pollFrame(1));
    }

private:
    std::optional<TempWorkDir> dir;
};

QTEST_MAIN(TestDuts)
#include "tst_duts.moc"
