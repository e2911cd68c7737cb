// The measurement-set decoder on any bytes: what it decodes encodes to bytes that decode to
// the same maps, and it never holds more than the bytes could describe.
#include "fuzzcheck.h"

#include "sensors/measurementset.h"

#include <limits>

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, size_t size)
{
    // The first byte chooses how many maps the caller takes: a one-sensor set, a six-sensor
    // set or all of them.
    constexpr int kLimits[] = {MeasurementSet::mapsPerSensor, 6 * MeasurementSet::mapsPerSensor,
        std::numeric_limits<int>::max()};
    const int maxMaps = size > 0 ? kLimits[data[0] % 3] : kLimits[2];
    const QByteArray bytes = QByteArray::fromRawData(
        reinterpret_cast<const char *>(data + (size > 0 ? 1 : 0)), int(size > 0 ? size - 1 : 0));

    const MeasurementSet::Contents first = MeasurementSet::decode(bytes, maxMaps);
    FUZZ_CHECK(first.maps.size() <= maxMaps);
    // A map costs at least its four-byte count, an entry five bytes.
    qint64 entries = 0;
    for (const MeasurementSet::Map &map : first.maps)
        entries += map.size();
    FUZZ_CHECK(first.maps.size() <= bytes.size() / 4);
    FUZZ_CHECK(entries * 5 <= bytes.size());

    const QByteArray encoded = MeasurementSet::encode(first.maps);
    const MeasurementSet::Contents second = MeasurementSet::decode(encoded, maxMaps);
    FUZZ_CHECK(second.complete);
    FUZZ_CHECK(second.maps == first.maps);
    FUZZ_CHECK(MeasurementSet::encode(second.maps) == encoded);
    return 0;
}
