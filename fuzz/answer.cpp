// One panel's decoder driven the way the bank drives it. The first byte chooses the bench
// protocol, the panel's address, whether a coefficient write or read is pending and whether
// polling runs; the rest is the line, one length-prefixed chunk per timer tick.
#include "fuzzcheck.h"

#include "protocol/crc.h"
#include "protocol/protocolnumber.h"
#include "protocol/request.h"

namespace {

// Address-list entries: "off", addresses 1 and 200, the highest address.
constexpr int kAddressIndexes[] = {0, 2, 201, 255};
constexpr uchar kNomDut = 3;

quint8 at(const QByteArray &bytes, int i)
{
    return static_cast<quint8>(bytes.at(i));
}

// A reading taken as valid came from the address the panel polled: the text answer carries
// none, MODBUS carries it first, the byte protocols second.
bool fromPolledAddress(const QByteArray &answer, uchar address)
{
    if (answer.startsWith("F="))
        return true;
    if (answer.size() >= 13 && at(answer, 0) == address && at(answer, 1) == 0x03)
        return true;
    return answer.size() >= 6 && at(answer, 1) == address;
}

void checkCounters(const Request &request)
{
    FUZZ_CHECK(request.saveKLeft() <= 6);
    FUZZ_CHECK(request.readKLeft() <= 6);
    FUZZ_CHECK(request.attemptsLeft() <= 3);
}

// Coefficient frames go to the polled address with a sound checksum and a wire index 0..5.
void checkFrame(const QByteArray &frame, uchar address, uchar protocol)
{
    if (frame.isEmpty())
        return;
    const bool coefficient = frame.size() >= 6 && at(frame, 0) == 0x37
        && (at(frame, 2) == 0x51 || at(frame, 2) == 0x4C);
    if (coefficient) {
        FUZZ_CHECK(at(frame, 1) == address);
        FUZZ_CHECK(at(frame, 4) <= 5);
        FUZZ_CHECK(crc8(frame.left(frame.size() - 1)) == at(frame, frame.size() - 1));
    } else if (protocol == ModbusRtu) {
        FUZZ_CHECK(frame.size() == 8 && at(frame, 0) == address);
    } else if (protocol == VeltaroLevel || protocol == TervalBin) {
        FUZZ_CHECK(at(frame, 1) == address);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, size_t size)
{
    quietQtDebug();
    FuzzInput in(data, size);
    const quint8 choice = in.byte();
    const uchar protocol = choice % kProtocolCount;
    const int addressIndex = kAddressIndexes[(choice / 5) % 4];
    const int pending = (choice / 20) % 4; // none, write, read, write then read
    const bool started = (choice / 80) % 2;
    const uchar address = static_cast<uchar>(addressIndex - 1);

    float kValues[6] = {1.0f, -2.5f, 0.0f, 3e-7f, 1e30f, -0.0f};
    Request request(nullptr, kValues, kNomDut);
    request.setProtocol(protocol);
    request.setNomPort(addressIndex);
    request.setStarted(started);
    if (pending & 1)
        request.slStartSaveK();
    if (pending & 2)
        request.slStartReadK();

    bool asked = false;
    while (!in.atEnd()) {
        // The tick closes the exchange it opened last time, then opens the next one.
        QByteArray answer = in.chunk();
        if (asked) {
            const DutInfo info = request.checkAnswer(&answer);
            FUZZ_CHECK(!(info.valid && info.kAnswer));
            if (info.valid) {
                FUZZ_CHECK(info.nomDut == kNomDut);
                FUZZ_CHECK(fromPolledAddress(answer, address));
            } else {
                // Nothing of a rejected answer reaches the panel's fields.
                FUZZ_CHECK((info.level | info.freq | info.period | quint8(info.temp) | info.aux
                               | info.nomDut)
                    == 0u);
            }
            checkCounters(request);
        }
        // While polling runs, the bank passes a panel whose address is "off".
        if (started && addressIndex == 0) {
            asked = false;
            continue;
        }
        const QByteArray frame = request.getRequest(address);
        checkFrame(frame, address, protocol);
        checkCounters(request);
        asked = !frame.isEmpty();
    }
    return 0;
}
