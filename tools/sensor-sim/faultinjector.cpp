#include "sensor-sim/faultinjector.h"

FaultInjector::FaultInjector(quint64 seed, const Rates &rates)
    : m_rates(rates)
    , m_random(seed)
{ }

double FaultInjector::unit()
{
    // The engine's raw output is fixed by the standard; the conversion is ours, so a seed
    // gives the same faults whatever the standard library.
    return double(m_random() >> 11) * 0x1.0p-53;
}

int FaultInjector::below(int n)
{
    return n > 0 ? int(m_random() % quint64(n)) : 0;
}

FaultInjector::Kind FaultInjector::pick(SensorAnswers::Shape shape)
{
    const double u = unit();
    const std::pair<double, Kind> shares[] = {
        {m_rates.drop, Kind::Drop},
        {m_rates.corrupt, Kind::Corrupt},
        {m_rates.late, Kind::Late},
        {m_rates.split, Kind::Split},
        {m_rates.garbage, Kind::Garbage},
        {m_rates.wrongAddress, Kind::WrongAddress},
    };
    double edge = 0.0;
    for (const auto &[share, kind] : shares) {
        edge += share;
        if (u < edge) {
            if (kind == Kind::WrongAddress && shape == SensorAnswers::Shape::Text)
                return Kind::None;
            return kind;
        }
    }
    return Kind::None;
}

QByteArray FaultInjector::corrupted(const QByteArray &answer, SensorAnswers::Shape shape)
{
    QByteArray out = answer;
    if (out.isEmpty())
        return out;
    if (shape == SensorAnswers::Shape::Text) {
        // No checksum to catch a changed digit, so break the format instead: an 'x' fits none
        // of the fixed characters and no hexadecimal digit. The character before the final
        // '0' may be anything, so it is not touched.
        int pos = below(SensorAnswers::textFieldsLength + 1);
        if (pos == SensorAnswers::textFieldsLength)
            pos = SensorAnswers::textLength - 1;
        if (pos < out.size())
            out[pos] = 'x';
        return out;
    }
    // Any change of one byte is caught by CRC-8 and CRC-16 alike.
    const int pos = below(int(out.size()));
    out[pos] = char(quint8(out[pos]) ^ quint8(1 + below(255)));
    return out;
}

QByteArray FaultInjector::readdressed(const QByteArray &answer, SensorAnswers::Shape shape)
{
    const int offset = shape == SensorAnswers::Shape::Modbus ? 0 : 1;
    if (shape == SensorAnswers::Shape::Text || answer.size() <= offset)
        return answer;
    const quint8 own = quint8(answer[offset]);
    const quint8 other = quint8(own + 1 + below(254)); // never the own address
    return SensorAnswers::readdressed(answer, shape, other);
}

QByteArray FaultInjector::garbage()
{
    QByteArray out(1 + below(12), Qt::Uninitialized);
    for (char &c : out)
        c = char(m_random() & 0xFF);
    const quint8 first = quint8(out[0]);
    if (first == 0x39 || first == 0x3E || first == 'F')
        out[0] = char(first ^ 0x80);
    return out;
}

int FaultInjector::splitPoint(int size)
{
    return size < 2 ? size : 1 + below(size - 1);
}

QString FaultInjector::name(Kind kind)
{
    switch (kind) {
    case Kind::None:
        return QStringLiteral("none");
    case Kind::Drop:
        return QStringLiteral("drop");
    case Kind::Corrupt:
        return QStringLiteral("corrupt");
    case Kind::Late:
        return QStringLiteral("late");
    case Kind::Split:
        return QStringLiteral("split");
    case Kind::Garbage:
        return QStringLiteral("garbage");
    case Kind::WrongAddress:
        return QStringLiteral("wrongAddress");
    }
    return QString();
}
