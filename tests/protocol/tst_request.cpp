#include "protocol/crc.h"
#include "protocol/dutinfo.h"
#include "protocol/request.h"
#include "support/frames.h"

#include <QSignalSpy>
#include <QtTest>

#include <utility>

using namespace frames;

namespace {

const QByteArray kAck1 = hex("390151000028");

// Plays the sensor at address 1 through a whole read of K0..K5; answers come K5 first.
void answerRead(Request &request, const float (&held)[6])
{
    for (int step = 0; step < 6; ++step) {
        QCOMPARE(request.getRequest(1), withCrc8(bytes({0x37, 1, 0x4c, 1, step})));
        QByteArray answer = readKAnswer(1, held[5 - step]);
        request.checkAnswer(&answer);
    }
}

void readSensor(Request &request, const float (&held)[6])
{
    request.slStartReadK();
    answerRead(request, held);
}

} // namespace

class TestRequest : public QObject
{
    Q_OBJECT

    float kValues[6] = {1.0f, -2.5f, 3.25f, 1e-6f, -7e5f, 0.0f};

private slots:
    // The published check values over "123456789"; a frame followed by its own CRC-8 checks to
    // zero, which the decoder relies on when two answers run together.
    void checksums()
    {
        QCOMPARE(crc8("123456789"), quint8(0xA1));
        QCOMPARE(crc16("123456789"), quint16(0x4B37));
        QCOMPARE(crc8(withCrc8(hex("37010a00"))), quint8(0));
    }

    // First of the Request cases on purpose: the kind must travel in string-based queued
    // connections before any Request exists.
    void dataKinds()
    {
        QVERIFY(QMetaType::type("eTypeData") != QMetaType::UnknownType);
        for (const auto &[text, kind] : {std::pair {"Период", Period}, {"Частота", Freq},
                 {"Уровень", Level}, {"", Level}, {" Период", Level}})
            QCOMPARE(typeDataFromText(QString::fromUtf8(text)), kind);
    }

    void measurementFrames_data()
    {
        QTest::addColumn<int>("protocol");
        QTest::addColumn<int>("address");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("veltaro off") << 0 << 255 << hex("37ff0a00fb");
        QTest::newRow("terval bin 0") << 1 << 0 << hex("310006a8");
        QTest::newRow("terval bin off") << 1 << 255 << hex("31ff0629");
        QTest::newRow("modbus off") << 3 << 255 << hex("ff030000000451d7");
        QTest::newRow("veltaro volume") << 4 << 1 << QByteArray();
    }

    void measurementFrames()
    {
        QFETCH(int, protocol);
        QFETCH(int, address);
        QFETCH(QByteArray, frame);
        Request request(nullptr, kValues, 0);
        QSignalSpy error(&request, &Request::sigExchangeError);
        QSignalSpy label(&request, &Request::updateLableK);
        request.setProtocol(uchar(protocol));
        QVERIFY(request.getRequest(uchar(address)).isEmpty()); // polling not started
        request.setStarted(true);
        for (int tick = 0; tick < 5; ++tick)
            QCOMPARE(request.getRequest(uchar(address)), frame);
        QCOMPARE(error.count() + label.count(), 0);
    }

    void decoding_data()
    {
        QTest::addColumn<int>("addressIndex");
        QTest::addColumn<QByteArray>("answer");
        // valid, kAnswer, level, freq, period, temp, aux
        QTest::addColumn<QVector<qint64>>("fields");
        // Answers from another address, with a spoiled checksum, lost, or followed by the next
        // answer are run over the line for every protocol in the simulated-line test. A plain
        // MODBUS reply is decoded from libmodbus in the MODBUS slave test.
        using F = QVector<qint64>;
        const F none {0, 0, 0, 0, 0, 0, 0};
        const F ascii {1, 0, 3200, 6699, 0, -2, 0};
        const F terval {1, 0, 3200, 6699, 0, 25, 0};
        const F veltaro {1, 0, 3200, 0, 0x12345, -20, 0x5A};

        QTest::newRow("ascii tail") << 0 << QByteArray("F=1A2B t=FE N=0C80\r0\r\nxx") << ascii;
        QTest::newRow("ascii t=80")
            << 0 << QByteArray("F=0000 t=80 N=0000.0") << F {1, 0, 0, 0, 0, -128, 0};
        QTest::newRow("ascii lower case") << 0 << QByteArray("F=1a2b t=fe N=0c80.0") << none;
        QTest::newRow("ascii leading space") << 0 << QByteArray(" F=1A2B t=FE N=0C80.0") << none;
        QTest::newRow("ascii zero inside") << 0 << QByteArray("F=1A2B\0t=FE N=0C80.0", 20) << none;

        QTest::newRow("modbus negative temp") << 2 << hex("010308ffec0c8000000000f60f") << none;

        QTest::newRow("terval command") << 6 << hex("3e050719800c2b1ae5") << none;
        // A whole answer followed by its own CRC-8 checks to zero, so two answers run together
        // pass the checksum and the first one is read: as a single one would be.
        QTest::newRow("terval twice") << 6 << hex("3e050619800c2b1ad23e050619800c2b1ad2") << terval;
        QTest::newRow("terval short") << 6 << hex("3e050619800c2b9b") << none;

        QTest::newRow("veltaro 200") << 201 << hex("39c80a005a800cec4523010090") << veltaro;
        QTest::newRow("veltaro short") << 201 << hex("39c80a005a800cec452301a5") << none;
        QTest::newRow("veltaro command") << 201 << hex("39c80b005a800cec452301005e") << none;
        QTest::newRow("unknown start") << 201 << hex("40c80a005a800cec4523010083") << none;

        QTest::newRow("stray ack") << 2 << kAck1 << F {0, 1, 0, 0, 0, 0, 0};
        QTest::newRow("short read answer") << 2 << hex("39014c04000080a5") << none;
    }

    void decoding()
    {
        QFETCH(int, addressIndex);
        QFETCH(QByteArray, answer);
        QFETCH(QVector<qint64>, fields);
        Request request(nullptr, kValues, 4);
        request.setNomPort(addressIndex);
        QSignalSpy ok(&request, &Request::sigExchangeOk);
        const DutInfo info = request.checkAnswer(&answer);
        const QVector<qint64> got {
            info.valid, info.kAnswer, info.level, info.freq, info.period, info.temp, info.aux};
        QCOMPARE(got, fields);
        QCOMPARE(info.nomDut, quint8(info.valid ? 4 : 0));
        QCOMPARE(ok.count(), 0);
        QCOMPARE(request.saveKLeft() + request.readKLeft() + request.attemptsLeft(), 0);
    }

    // The whole write and read run tick by tick over the line in the simulated-line test; here
    // what a real sensor cannot easily be made to do. A silent or garbled sensor gets one
    // repeat, then the exchange fails before the next frame.
    void silentOrGarbledSensorGetsOneRepeat()
    {
        Request request(nullptr, kValues, 0);
        request.setNomPort(2);
        request.setProtocol(1);
        QSignalSpy error(&request, &Request::sigExchangeError);
        QSignalSpy label(&request, &Request::updateLableK);
        readSensor(request, kValues);
        request.slStartSaveK();
        const QByteArray first = request.getRequest(1);
        QByteArray garbled = kAck1;
        garbled[3] = 1;
        QByteArray otherSensor = writeAck(2);
        QVERIFY(!request.checkAnswer(&garbled).kAnswer);
        QCOMPARE(request.getRequest(1), first);
        QVERIFY(!request.checkAnswer(&otherSensor).kAnswer);
        request.setStarted(true);
        QCOMPARE(request.getRequest(1), hex("3101066c")); // polling goes on in the same tick
        QCOMPARE(error.count(), 1);
        QCOMPARE(label.last().at(0).value<uchar>(), uchar(0));
        for (int tick = 0; tick < 5; ++tick)
            request.getRequest(1);
        QCOMPARE(error.count(), 1);
    }

    // A read queued behind a write is the write's read-back; a read answer while the write runs
    // answers nothing that was asked. A read-back nobody answers fails the write as unverified.
    // (That every step writes the value it had when the write was pressed, the exchange fuzz
    // target checks.)
    void unansweredReadBackFailsTheWrite()
    {
        Request request(nullptr, kValues, 0);
        request.setNomPort(2);
        request.setProtocol(1);
        QSignalSpy ok(&request, &Request::sigExchangeOk);
        QSignalSpy error(&request, &Request::sigExchangeError);
        QSignalSpy written(&request, &Request::writeFinished);
        readSensor(request, kValues);
        ok.clear();
        request.slStartSaveK();
        request.slStartReadK();
        QByteArray early = readKAnswer(1, 5.0f);
        QCOMPARE(request.checkAnswer(&early).kAnswer, quint8(1));
        QCOMPARE(request.readKLeft(), uchar(6));
        for (int step = 0; step < 6; ++step) {
            request.getRequest(1);
            QByteArray ack = kAck1;
            request.checkAnswer(&ack);
        }
        QCOMPARE(ok.count(), 0);
        QVERIFY(request.isVerifying());
        QCOMPARE(request.getRequest(1), hex("37014c010014"));
        QCOMPARE(request.getRequest(1), hex("37014c010014"));
        QVERIFY(request.getRequest(1).isEmpty());
        QCOMPARE(error.count(), 1);
        QCOMPARE(
            request.lastFailure(), QStringLiteral("запись не проверена: нет ответа на чтение K5"));
        QCOMPARE(written.count(), 1);
        const auto unverified = written.last().at(0).value<CoefficientWrite>();
        QVERIFY(!unverified.ok && unverified.readBack == CoefficientWrite::Flags {});
        QVERIFY(unverified.result().startsWith(QStringLiteral("ERROR: запись не проверена")));
    }

    // A stray acknowledgement neither ends nor prolongs a pending read, and a late read answer
    // after the failure fills no field.
    void strayAckAndLateReadAnswerChangeNothing()
    {
        Request request(nullptr, kValues, 0);
        request.setNomPort(2);
        request.setProtocol(1);
        QSignalSpy ok(&request, &Request::sigExchangeOk);
        QSignalSpy error(&request, &Request::sigExchangeError);
        QSignalSpy label(&request, &Request::updateLableK);
        QSignalSpy values(&request, qOverload<uchar, float>(&Request::updateReadK));
        request.slStartReadK();
        request.getRequest(1);
        label.clear();
        QByteArray ack = kAck1;
        QCOMPARE(request.checkAnswer(&ack).kAnswer, quint8(1));
        QCOMPARE(request.readKLeft(), uchar(6));
        request.getRequest(1);
        QCOMPARE(label.count(), 0);
        QVERIFY(request.getRequest(1).isEmpty());
        QCOMPARE(error.count(), 1);
        QByteArray late = readKAnswer(1, 42.0f);
        QCOMPARE(request.checkAnswer(&late).kAnswer, quint8(1));
        QCOMPARE(ok.count(), 0);
        QCOMPARE(values.count(), 0);
    }

    // A write reads first what it does not know the sensor to hold: a verified write's
    // read-back counts as a read; a write that failed on the line, or a read at another
    // address, does not.
    void writeReadsTheValuesFoundFirst()
    {
        Request request(nullptr, kValues, 0);
        request.setNomPort(2);
        QSignalSpy written(&request, &Request::writeFinished);
        QByteArray ack = kAck1;
        request.slStartSaveK();
        answerRead(request, {9, 8, 7, 6, 5, 4});
        for (int step = 0; step < 6; ++step) {
            QCOMPARE(request.getRequest(1).at(2), char(0x51));
            request.checkAnswer(&ack);
        }
        answerRead(request, kValues);
        const auto first = written.last().at(0).value<CoefficientWrite>();
        QVERIFY(first.ok && first.haveFound && first.found[0] == 9.0f);

        request.slStartSaveK();
        QCOMPARE(request.getRequest(1).at(2), char(0x51));
        request.checkAnswer(&ack);
        for (int tick = 0; tick < 3; ++tick)
            request.getRequest(1);
        const auto second = written.last().at(0).value<CoefficientWrite>();
        QVERIFY(!second.ok && second.haveFound && second.found[0] == kValues[0]);
        request.slStartSaveK();
        QVERIFY(request.isReadingFound());

        readSensor(request, kValues);
        request.setNomPort(3);
        request.slStartSaveK();
        QVERIFY(request.isReadingFound());
    }

    // The verdict on a write compares the bits the sensor keeps (the whole write against a
    // sensor runs in the calibration test); every value prints back to the same float.
    void writeVerdicts()
    {
        CoefficientWrite w;
        w.sent = {0.98f, 3.3e-8f, 0.0f, 1.17549435e-38f, -3.4028e38f, 16777217.0f};
        w.read = w.sent;
        w.read[2] = -0.0f;
        w.readBack = {true, true, true, true, true, false};
        w.read[5] = 1.0f; // not read back: no mismatch
        QCOMPARE(w.mismatched(), QVector<int> {2});
        QCOMPARE(w.mismatchText(), QStringLiteral("K2 записан 0, в датчике -0"));
        for (const CoefficientWrite::Values &values : {w.sent, w.read}) {
            for (const float v : values)
                QVERIFY(CoefficientWrite::sameBits(float(CoefficientWrite::text(v).toDouble()), v));
        }
    }

    // A second press while an exchange runs starts it over; the answer to the step still on the
    // line belongs to the abandoned run and moves nothing (answers carry no index).
    void pressDuringAnExchangeStartsOver()
    {
        Request request(nullptr, kValues, 0);
        request.setNomPort(2);
        QSignalSpy ok(&request, &Request::sigExchangeOk);
        QSignalSpy read(&request, qOverload<uchar, float>(&Request::updateReadK));
        QByteArray ack = kAck1;
        readSensor(request, kValues);
        ok.clear();
        request.slStartSaveK();
        request.getRequest(1);
        request.checkAnswer(&ack);
        request.getRequest(1); // index 4 is on the line
        request.slStartSaveK();
        request.checkAnswer(&ack);
        answerRead(request, kValues); // what the abandoned write left in the sensor
        for (int step = 0; step < 6; ++step) {
            QCOMPARE(ok.count(), 0);
            request.getRequest(1);
            request.checkAnswer(&ack);
        }
        QCOMPARE(ok.count(), 0);
        for (int step = 0; step < 6; ++step) {
            request.getRequest(1);
            QByteArray answer = readKAnswer(1, kValues[5 - step]);
            request.checkAnswer(&answer);
        }
        QCOMPARE(ok.count(), 1);

        // The same for a read, and a write pressed during a read reads all six again after it.
        read.clear();
        QByteArray answer = readKAnswer(1, 5.0f);
        request.slStartReadK();
        request.getRequest(1);
        request.slStartReadK();
        request.checkAnswer(&answer);
        QCOMPARE(read.count(), 0);
        QCOMPARE(request.getRequest(1), hex("37014c010014"));
        request.checkAnswer(&answer);
        QCOMPARE(request.readKLeft(), uchar(5));
        request.slStartSaveK();
        QCOMPARE(request.readKLeft(), uchar(6));
    }
};

QTEST_GUILESS_MAIN(TestRequest)
#include "tst_request.moc"
