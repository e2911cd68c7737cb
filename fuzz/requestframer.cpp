// The simulator's request framer fed any bytes in any pieces: every request it takes is a
// sound frame found in the stream where it says, no byte is lost or counted twice, and the
// buffer never grows beyond one request.
#include "fuzzcheck.h"

#include "protocol/crc.h"
#include "sensor-sim/requestframer.h"

namespace {

using Kind = SensorRequest::Kind;

quint8 at(const QByteArray &bytes, int i)
{
    return static_cast<quint8>(bytes.at(i));
}

int lengthOf(Kind kind)
{
    switch (kind) {
    case Kind::Text:
        return 2;
    case Kind::LevelFrequency:
        return 4;
    case Kind::LevelPeriod:
        return 5;
    case Kind::ReadCoefficient:
        return 6;
    case Kind::ModbusRead:
        return 8;
    case Kind::WriteCoefficient:
        return 10;
    }
    return 0;
}

void checkFrame(const QByteArray &frame, const SensorRequest &request)
{
    switch (request.kind) {
    case Kind::Text:
        FUZZ_CHECK(frame == "DO");
        return;
    case Kind::ModbusRead: {
        const quint16 crc = crc16(frame.left(6));
        FUZZ_CHECK(at(frame, 0) == request.address && at(frame, 1) == 0x03);
        FUZZ_CHECK(at(frame, 6) == (crc & 0xFF) && at(frame, 7) == crc >> 8);
        FUZZ_CHECK(request.firstRegister == (at(frame, 2) << 8 | at(frame, 3)));
        FUZZ_CHECK(request.registerCount == (at(frame, 4) << 8 | at(frame, 5)));
        return;
    }
    default:
        FUZZ_CHECK(at(frame, 1) == request.address);
        FUZZ_CHECK(crc8(frame.left(frame.size() - 1)) == at(frame, frame.size() - 1));
        FUZZ_CHECK(at(frame, 0) == (request.kind == Kind::LevelFrequency ? 0x31 : 0x37));
        if (request.kind == Kind::WriteCoefficient || request.kind == Kind::ReadCoefficient)
            FUZZ_CHECK(request.wireIndex == at(frame, 4));
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, size_t size)
{
    FuzzInput in(data, size);
    RequestFramer framer;
    QByteArray stream;
    qint64 consumed = 0;
    quint64 discarded = 0;
    while (!in.atEnd()) {
        // A control byte: whether the line goes quiet after this piece.
        const bool idle = in.byte() & 1;
        const QByteArray piece = in.chunk();
        stream += piece;
        framer.append(piece);
        while (const std::optional<SensorRequest> request = framer.next(idle)) {
            const qint64 start = consumed + qint64(framer.discardedBytes() - discarded);
            const int length = lengthOf(request->kind);
            FUZZ_CHECK(length > 0 && start + length <= stream.size());
            checkFrame(stream.mid(int(start), length), *request);
            consumed = start + length;
            discarded = framer.discardedBytes();
        }
        consumed += qint64(framer.discardedBytes() - discarded);
        discarded = framer.discardedBytes();
        FUZZ_CHECK(consumed + framer.pendingBytes() == stream.size());
        FUZZ_CHECK(framer.pendingBytes() < (idle ? 1 : RequestFramer::maxRequestLength));
    }
    return 0;
}
