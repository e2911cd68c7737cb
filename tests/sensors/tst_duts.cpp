#include "protocol/crc.h"
#include "sensors/duts.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kGrey = QStringLiteral("background-color: rgb(100, 100, 100);");

// Everything the run directory holds, file by file ("all.log", "0.txt".."5.txt").
QMap<QString, QByteArray> runFiles()
{
    QMap<QString, QByteArray> files;
    const QStringList dirs = QDir::current().entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    if (dirs.size() != 1)
        return files;
    const QDir run(dirs.first());
    for (const QString &name : run.entryList(QDir::Files)) {
        QFile file(run.filePath(name));
        if (file.open(QIODevice::ReadOnly))
            files.insert(name, file.readAll());
    }
    return files;
}

// Frames with their CRC-8 appended.
QByteArray frame8(std::initializer_list<int> values)
{
    QByteArray frame;
    for (int v : values)
        frame.append(char(v));
    frame.append(char(crc8(frame)));
    return frame;
}

QByteArray pollFrame1(int address)
{
    return frame8({0x31, address, 0x06});
}

QByteArray answer1(int address, qint8 temp, quint16 level, quint16 freq)
{
    return frame8({0x3E, address, 0x06, temp, level & 0xFF, level >> 8, freq & 0xFF, freq >> 8});
}

QByteArray writeAck(int address)
{
    return frame8({0x39, address, 0x51, 0, 0});
}

} // namespace

class TestDuts : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void allPanelsOffSendNothingAndLogNothing();
    void addressedPanelsTakeTurnsAndAnswersGoBack();
    void protocolWithoutFramesStillGreysThePanels();
    void coefficientCycleServesLowestPanelFirst();

private:
    void setAddress(Duts &bank, quint8 nomDut, int address);
    QString statusStyle(Duts &bank, quint8 nomDut);
    QString panelText(Duts &bank, quint8 nomDut, const char *name);

    std::unique_ptr<QTemporaryDir> sandbox;
};

void TestDuts::init()
{
    // Fresh "settings.ini" (all addresses "off") and an empty place for run directories.
    sandbox = std::make_unique<QTemporaryDir>();
    QVERIFY(sandbox->isValid());
    QVERIFY(QDir::setCurrent(sandbox->path()));
}

void TestDuts::cleanup()
{
    QDir::setCurrent(QDir::tempPath());
    sandbox.reset();
}

void TestDuts::setAddress(Duts &bank, quint8 nomDut, int address)
{
    auto *port = bank.dut(nomDut)->findChild<QComboBox *>(QStringLiteral("cbPort"));
    QVERIFY(port);
    port->setCurrentIndex(address + 1);
}

QString TestDuts::statusStyle(Duts &bank, quint8 nomDut)
{
    return bank.dut(nomDut)->findChild<QLineEdit *>(QStringLiteral("leErr"))->styleSheet();
}

QString TestDuts::panelText(Duts &bank, quint8 nomDut, const char *name)
{
    return bank.dut(nomDut)->findChild<QLineEdit *>(QString::fromLatin1(name))->text();
}

void TestDuts::allPanelsOffSendNothingAndLogNothing()
{
    Duts bank;
    QCOMPARE(bank.dut(6), nullptr);
    QCOMPARE(bank.getMidl(6), nullptr);

    bank.setProtocol(1);
    bank.newFile(true);
    bank.slChangeStart(true);

    for (int tick = 0; tick < 3; ++tick) {
        QByteArray answer = answer1(0, 25, 3200, 6699);
        const DutInfo info = bank.processAnswer(&answer);
        QCOMPARE(info.valid, quint8(0));
        QCOMPARE(info.kAnswer, quint8(0));
        QVERIFY(bank.getPollRequest().isEmpty());
    }
    for (quint8 n = 0; n < Duts::dutCount; ++n)
        QCOMPARE(panelText(bank, n, "leErr"), QStringLiteral("0"));

    const QMap<QString, QByteArray> files = runFiles();
    QCOMPARE(files.size(), 7);
    for (const QByteArray &content : files)
        QCOMPARE(content, QByteArray());
}

void TestDuts::addressedPanelsTakeTurnsAndAnswersGoBack()
{
    Duts bank;
    setAddress(bank, 1, 1);
    setAddress(bank, 4, 4);
    bank.setProtocol(1);
    bank.slChangeStart(true);

    // The first tick after a start has nothing to decode.
    QByteArray nothing;
    QCOMPARE(bank.processAnswer(&nothing).valid, quint8(0));

    QList<int> order;
    for (int tick = 0; tick < 4; ++tick) {
        const QByteArray frame = bank.getPollRequest();
        QVERIFY(frame == pollFrame1(1) || frame == pollFrame1(4));
        const quint8 address = quint8(frame.at(1));
        order << address;

        // The answer lands on the panel that was polled, with its sensor number.
        QByteArray answer = answer1(address, qint8(20 + tick), quint16(1000 + tick), 6699);
        const DutInfo info = bank.processAnswer(&answer);
        QCOMPARE(info.valid, quint8(1));
        QCOMPARE(info.nomDut, address);
        QCOMPARE(panelText(bank, address, "leLevel"), QString::number(1000 + tick));
    }
    QCOMPARE(order, QList<int>({1, 4, 1, 4}));

    // An answer from sensor 4 while sensor 1 was polled is a failed poll of sensor 1.
    QCOMPARE(bank.getPollRequest(), pollFrame1(1));
    QByteArray foreign = answer1(4, 25, 3200, 6699);
    QCOMPARE(bank.processAnswer(&foreign).valid, quint8(0));
    QCOMPARE(panelText(bank, 1, "leErr"), QStringLiteral("1"));
    QCOMPARE(panelText(bank, 4, "leErr"), QStringLiteral("0"));

    // Stopping and starting again forgets the turn: panel 1 comes first again, and the answer
    // that was still due goes nowhere.
    bank.slChangeStart(false);
    bank.slChangeStart(true);
    QByteArray late = answer1(1, 25, 3200, 6699);
    QCOMPARE(bank.processAnswer(&late).valid, quint8(0));
    QCOMPARE(bank.getPollRequest(), pollFrame1(1));
}

void TestDuts::protocolWithoutFramesStillGreysThePanels()
{
    Duts bank;
    setAddress(bank, 2, 7);
    bank.setProtocol(4);
    bank.newFile(true);
    bank.slChangeStart(true);

    QByteArray nothing;
    for (int tick = 0; tick < 2; ++tick) {
        bank.dut(2)->slTimerErr(); // the 100 ms flash is over
        QVERIFY(statusStyle(bank, 2) != kGrey);
        QVERIFY(bank.getPollRequest().isEmpty());
        QCOMPARE(statusStyle(bank, 2), kGrey);
        QCOMPARE(bank.processAnswer(&nothing).valid, quint8(0));
    }
    QCOMPARE(statusStyle(bank, 3), kGrey); // greyed by the start, never asked since
    QCOMPARE(panelText(bank, 2, "leErr"), QStringLiteral("0"));
    QCOMPARE(runFiles().value("2.txt"), QByteArray());
}

void TestDuts::coefficientCycleServesLowestPanelFirst()
{
    Duts bank;
    setAddress(bank, 0, 1);
    setAddress(bank, 2, 3);
    bank.setKEnabled(true);
    QSignalSpy ok(&bank, &Duts::sigExchangeOk);
    QSignalSpy failed(&bank, &Duts::sigExchangeError);

    // An acknowledgement before any coefficient frame went out belongs to nobody.
    auto *save2 = bank.dut(2)->findChild<QPushButton *>(QStringLiteral("pbSaveK"));
    auto *save0 = bank.dut(0)->findChild<QPushButton *>(QStringLiteral("pbSaveK"));
    QTest::mouseClick(save2, Qt::LeftButton);
    QTest::mouseClick(save0, Qt::LeftButton);
    QByteArray stray = writeAck(1);
    const DutInfo none = bank.checkKAnswer(&stray);
    QCOMPARE(none.valid, quint8(0));
    QCOMPARE(none.kAnswer, quint8(0));
    QCOMPARE(save0->text(), QStringLiteral("Запись К"));

    // Panel 0 runs its six steps before panel 2 gets its first.
    for (int step = 5; step >= 0; --step) {
        const QByteArray frame = bank.getKRequest();
        QCOMPARE(frame.left(5).toHex(),
            QByteArray("3701510") + QByteArray::number(5) + "0" + QByteArray::number(step));
        QByteArray ack = writeAck(1);
        QCOMPARE(bank.checkKAnswer(&ack).kAnswer, quint8(1));
    }
    QCOMPARE(ok.count(), 1);
    QCOMPARE(ok.at(0).at(0).value<quint8>(), quint8(0));

    // Panel 2's sensor stays silent: the step goes out twice, then the exchange fails.
    QByteArray nothing;
    QCOMPARE(bank.getKRequest().left(5).toHex(), QByteArray("3703510505"));
    QCOMPARE(bank.checkKAnswer(&nothing).kAnswer, quint8(0));
    QCOMPARE(bank.getKRequest().left(5).toHex(), QByteArray("3703510505"));
    QCOMPARE(bank.checkKAnswer(&nothing).kAnswer, quint8(0));
    QVERIFY(bank.getKRequest().isEmpty());
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.at(0).at(0).value<quint8>(), quint8(2));

    // Nothing pending any more: the cycle is silent and answers go nowhere.
    QVERIFY(bank.getKRequest().isEmpty());
    QByteArray late = writeAck(3);
    QCOMPARE(bank.checkKAnswer(&late).kAnswer, quint8(0));
    QCOMPARE(ok.count(), 1);
}

QTEST_MAIN(TestDuts)
#include "tst_duts.moc"
