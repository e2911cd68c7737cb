#include "sensors/duts.h"
#include "support/frames.h"
#include "support/tempworkdir.h"

#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using frames::tervalAnswer;
using frames::writeAck;

namespace {

const QString kGrey = QStringLiteral("background-color: rgb(100, 100, 100);");

QByteArray pollFrame(quint8 address)
{
    return frames::withCrc8(frames::bytes({0x31, address, 0x06}));
}

// Everything the one run directory holds, file by file ("all.log", "0.txt".."5.txt").
QMap<QString, QByteArray> runFiles()
{
    QMap<QString, QByteArray> files;
    const QStringList dirs = QDir::current().entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (dirs.size() == 1)
        for (const QString &name : QDir(dirs.first()).entryList(QDir::Files))
            files.insert(name, TempWorkDir::contents(dirs.first() + '/' + name));
    return files;
}

} // namespace

class TestDuts : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // Fresh "settings.ini" (all addresses "off") and an empty place for run directories.
        dir = std::make_unique<TempWorkDir>();
        QVERIFY(dir->isValid());
    }
    void cleanup() { dir.reset(); }

    void allPanelsOff();
    void restartForgetsTheTurn();
    void coefficientAnswersWithoutAFrame();

private:
    static void setAddress(Duts &bank, quint8 nomDut, int address)
    {
        bank.dut(nomDut)
            ->findChild<QComboBox *>(QStringLiteral("cbPort"))
            ->setCurrentIndex(address + 1);
    }
    static QLineEdit *field(Duts &bank, quint8 nomDut, const char *name)
    {
        return bank.dut(nomDut)->findChild<QLineEdit *>(QLatin1String(name));
    }

    std::unique_ptr<TempWorkDir> dir;
};

// Nothing goes out and nothing is logged; a protocol without frames (4) still greys the
// panels that have an address at every tick.
void TestDuts::allPanelsOff()
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
    for (quint8 n = 0; n < Duts::dutCount; ++n)
        QCOMPARE(field(bank, n, "leErr")->text(), QStringLiteral("0"));
    QMap<QString, QByteArray> files = runFiles();
    QCOMPARE(files.size(), 7);
    for (const QByteArray &content : files)
        QCOMPARE(content, QByteArray());

    setAddress(bank, 2, 7);
    bank.setProtocol(4);
    QByteArray nothing;
    for (int tick = 0; tick < 2; ++tick) {
        bank.dut(2)->slTimerErr(); // the 100 ms flash is over
        QVERIFY(field(bank, 2, "leErr")->styleSheet() != kGrey);
        QVERIFY(bank.getPollRequest().isEmpty());
        QCOMPARE(field(bank, 2, "leErr")->styleSheet(), kGrey);
        QCOMPARE(bank.processAnswer(&nothing).valid, quint8(0));
    }
    QCOMPARE(field(bank, 2, "leErr")->text(), QStringLiteral("0"));
    QCOMPARE(runFiles().value("2.txt"), QByteArray());
}

// Stopping and starting again forgets whose turn it was: the answer still due goes nowhere,
// and the lowest panel with an address is asked first. (The turn-taking itself and the
// routing of answers are checked over the line in the polling cycle test.)
void TestDuts::restartForgetsTheTurn()
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
    QCOMPARE(field(bank, 4, "leErr")->text(), QStringLiteral("0"));
    QCOMPARE(bank.getPollRequest(), pollFrame(1));
}

// Answers in the coefficient cycle go only to the panel that sent the last coefficient frame:
// before any frame and after the last exchange ended they touch nobody. (The order in which
// panels are served is checked over the line in the coefficient exchange test.)
void TestDuts::coefficientAnswersWithoutAFrame()
{
    Duts bank;
    setAddress(bank, 0, 1);
    bank.setKEnabled(true);
    QSignalSpy ok(&bank, &Duts::sigExchangeOk);
    auto *write = bank.dut(0)->findChild<QPushButton *>(QStringLiteral("pbSaveK"));
    QTest::mouseClick(write, Qt::LeftButton);

    QByteArray stray = writeAck(1);
    const DutInfo none = bank.checkKAnswer(&stray);
    QVERIFY(!none.valid && !none.kAnswer);
    QCOMPARE(write->text(), QStringLiteral("Запись К"));

    for (int step = 0; step < 6; ++step) {
        QVERIFY(!bank.getKRequest().isEmpty());
        QByteArray ack = writeAck(1);
        QCOMPARE(bank.checkKAnswer(&ack).kAnswer, quint8(1));
    }
    QCOMPARE(ok.count(), 1);
    QCOMPARE(ok.at(0).at(0).value<quint8>(), quint8(0));
    QVERIFY(bank.getKRequest().isEmpty());
    QByteArray late = writeAck(1);
    QCOMPARE(bank.checkKAnswer(&late).kAnswer, quint8(0));
    QCOMPARE(ok.count(), 1);
}

QTEST_MAIN(TestDuts)
#include "tst_duts.moc"
