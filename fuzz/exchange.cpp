// The coefficient write and read of one panel through their six steps, each tick answered as
// the input says: the right answer, one from another address, a spoiled one, two at once, raw
// bytes, silence, or a button pressed in the middle; the panel may refit its values meanwhile.
// A write counts as verified only after a read-back that returned exactly what it sent, and
// no write reaches the line before the values it replaces were read.
#include "fuzzcheck.h"

#include "protocol/crc.h"
#include "protocol/request.h"

#include <QtEndian>

#include <cstring>

namespace {

quint8 at(const QByteArray &bytes, int i)
{
    return static_cast<quint8>(bytes.at(i));
}

QByteArray withCrc8(QByteArray frame)
{
    frame.append(static_cast<char>(crc8(frame)));
    return frame;
}

quint32 bitsOf(float value)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The sensor's answer to a coefficient frame: the write acknowledgement or the read answer
// with the value's bytes.
QByteArray answerTo(const QByteArray &frame, quint8 address, const QByteArray &valueBytes)
{
    QByteArray answer;
    answer.append(char(0x39)).append(char(address)).append(frame.at(2));
    if (at(frame, 2) == 0x51) {
        answer.append(char(0x05)).append(frame.at(4));
    } else {
        answer.append(char(0x04));
        answer.append(valueBytes.leftJustified(4, '\0', true));
    }
    return withCrc8(answer);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, size_t size)
{
    quietQtDebug();
    FuzzInput in(data, size);
    const int addressIndex = in.byte();
    const quint8 start = in.byte();
    const uchar address = static_cast<uchar>(addressIndex - 1);

    float kValues[6] = {1.0f, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f};
    float snapshot[6] = {};
    Request request(nullptr, kValues, 0);
    request.setNomPort(addressIndex);

    // Every value read is the one the decoded answer carried, for a field 0..5.
    QByteArray decoding;
    QObject::connect(&request, qOverload<uchar, float>(&Request::updateReadK), &request,
        [&decoding](uchar nomK, float value) {
            FUZZ_CHECK(nomK <= 5);
            FUZZ_CHECK(decoding.size() >= 9);
            FUZZ_CHECK(bitsOf(value) == qFromLittleEndian<quint32>(decoding.constData() + 4));
        });

    // A write is verified only when all six values read back are the ones it sent, bit for bit.
    QObject::connect(
        &request, &Request::writeFinished, &request, [&snapshot](const CoefficientWrite &write) {
            // Whatever went on the line replaced values that were read first.
            FUZZ_CHECK(write.haveFound);
            if (!write.ok)
                return;
            for (int i = 0; i < 6; ++i) {
                FUZZ_CHECK(write.readBack[i] && bitsOf(write.read[i]) == bitsOf(write.sent[i]));
                FUZZ_CHECK(bitsOf(write.sent[i]) == bitsOf(snapshot[i]));
            }
        });

    const auto pressWrite = [&] {
        std::memcpy(snapshot, kValues, sizeof snapshot);
        request.slStartSaveK();
    };
    if (start % 3 != 1)
        pressWrite();
    if (start % 3 != 0)
        request.slStartReadK();

    QByteArray frame;
    while (!in.atEnd()) {
        const quint8 op = in.byte();
        QByteArray answer;
        switch (op % 8) {
        case 1:
        case 2:
        case 3:
        case 5:
            if (!frame.isEmpty()) {
                answer = answerTo(frame, op % 8 == 2 ? address + 1 : address, in.bytes(4));
                if (op % 8 == 3)
                    answer[answer.size() - 1] = char(at(answer, answer.size() - 1) ^ (op | 1));
                if (op % 8 == 5)
                    answer += answer;
            }
            break;
        case 4:
            answer = in.chunk();
            break;
        case 6:
            pressWrite();
            break;
        case 7:
            request.slStartReadK();
            break;
        default:
            break;
        }
        // The panel refits into its values whenever its data change.
        if (op & 0x80)
            kValues[op % 6] = float(in.byte()) - 100.0f;

        if (!frame.isEmpty()) {
            decoding = answer;
            const DutInfo info = request.checkAnswer(&answer);
            FUZZ_CHECK(!info.valid || op % 8 == 4);
        }

        frame = request.getRequest(address);
        const uchar saveK = request.saveKLeft();
        const uchar readK = request.readKLeft();
        FUZZ_CHECK(saveK <= 6 && readK <= 6 && request.attemptsLeft() <= 3);
        // A pending step always has a try left, so an unanswered exchange ends.
        FUZZ_CHECK((saveK == 0 && readK == 0) || request.attemptsLeft() > 0);
        if (saveK != 0 && !request.isReadingFound()) {
            // Step n writes wire index n - 1 with the value it had when the write started.
            FUZZ_CHECK(frame.size() == 10 && at(frame, 0) == 0x37 && at(frame, 1) == address);
            FUZZ_CHECK(at(frame, 2) == 0x51 && at(frame, 3) == 5 && at(frame, 4) == saveK - 1);
            FUZZ_CHECK(
                qFromLittleEndian<quint32>(frame.constData() + 5) == bitsOf(snapshot[6 - saveK]));
        } else if (readK != 0) {
            FUZZ_CHECK(frame.size() == 6 && at(frame, 0) == 0x37 && at(frame, 1) == address);
            FUZZ_CHECK(at(frame, 2) == 0x4C && at(frame, 4) == 6 - readK);
        } else {
            FUZZ_CHECK(frame.isEmpty());
        }
        if (!frame.isEmpty())
            FUZZ_CHECK(crc8(frame.left(frame.size() - 1)) == at(frame, frame.size() - 1));
    }
    return 0;
}
