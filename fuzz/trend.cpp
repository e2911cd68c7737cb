// The fit on any points and degree: the curve and the coefficients are always finite numbers,
// sampled at every whole degree of the working range.
#include "fuzzcheck.h"

#include "fit/trend.h"

#include <cmath>
#include <cstring>

namespace {

double doubleFrom(FuzzInput &in)
{
    const QByteArray raw = in.bytes(sizeof(double)).leftJustified(sizeof(double), '\0');
    double value = 0.0;
    std::memcpy(&value, raw.constData(), sizeof value);
    return value;
}

// Callers pass finite factors; anything else stands for 1 and 0.
double finiteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const quint8 *data, size_t size)
{
    FuzzInput in(data, size);
    const uchar degree = in.byte();
    const double multi = finiteOr(doubleFrom(in), 1.0);
    const double minus = finiteOr(doubleFrom(in), 0.0);
    // Temperatures in the bench are whole degrees; the second byte says whether these are,
    // or any double.
    const bool whole = in.byte() & 1;
    QMap<double, double> points;
    while (in.left() >= 2 * sizeof(double) && points.size() < 256) {
        const double temperature = whole ? double(qint8(in.byte())) : doubleFrom(in);
        points.insert(temperature, doubleFrom(in));
    }

    static Trend trend;
    double k[Trend::kCopiedCoefficients];
    std::fill(std::begin(k), std::end(k), std::nan(""));
    const QMap<double, double> *curve = trend.Calc(&points, degree, k, multi, minus);
    FUZZ_CHECK(curve && curve->size() == Trend::kSamples);
    FUZZ_CHECK(curve->firstKey() == Trend::kFirstSample && curve->lastKey() == Trend::kLastSample);
    for (const double value : *curve)
        FUZZ_CHECK(std::isfinite(value));
    for (const double c : k)
        FUZZ_CHECK(std::isfinite(c));
    return 0;
}
