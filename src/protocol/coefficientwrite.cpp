#include "protocol/coefficientwrite.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

QString CoefficientWrite::result() const
{
    return ok ? QStringLiteral("OK") : QStringLiteral("ERROR: ") + failure;
}

QVector<int> CoefficientWrite::mismatched() const
{
    QVector<int> differing;
    for (int i = 0; i < 6; ++i) {
        if (readBack[i] && !sameBits(sent[i], read[i]))
            differing.append(i);
    }
    return differing;
}

QString CoefficientWrite::mismatchText() const
{
    QStringList parts;
    for (const int i : mismatched())
        parts << QStringLiteral("K%1 записан %2, в датчике %3")
                     .arg(i)
                     .arg(text(sent[i]), text(read[i]));
    return parts.join(QStringLiteral("; "));
}

bool CoefficientWrite::sameBits(float a, float b)
{
    // Compared as the sensor stores them: -0 is not 0, and a NaN is equal to itself only.
    return std::memcmp(&a, &b, sizeof a) == 0;
}

QString CoefficientWrite::text(float value)
{
    // Qt prints -0 as "0", which would read back as the other zero.
    if (value == 0.0f)
        return std::signbit(value) ? QStringLiteral("-0") : QStringLiteral("0");
    // Nine significant digits always read back to the same float; fewer often do. Read back
    // as the panel reads a coefficient: a double rounded to single precision.
    for (int digits = 1; digits < 9; ++digits) {
        const QString shorter = QString::number(double(value), 'g', digits);
        bool ok = false;
        const double back = shorter.toDouble(&ok);
        if (ok && std::abs(back) <= std::numeric_limits<float>::max()
            && sameBits(static_cast<float>(back), value))
            return shorter;
    }
    return QString::number(double(value), 'g', 9);
}

QString CoefficientWrite::refusal(const QString &text, float *value)
{
    double number = 0;
    const QString why = refusal(text, &number);
    if (why.isEmpty())
        *value = static_cast<float>(number);
    return why;
}

QString CoefficientWrite::refusal(const QString &text, double *value)
{
    QString typed = text;
    typed.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double number = typed.toDouble(&ok);
    // "nan" and "inf" are no coefficients either.
    if (!ok || !std::isfinite(number))
        return QStringLiteral("не число");
    if (std::fabs(number) > double(std::numeric_limits<float>::max()))
        return QStringLiteral("слишком велико для датчика");
    // A number that is not zero but would reach the sensor as 0 or as a subnormal (which the
    // sensor may flush to 0).
    const float single = static_cast<float>(number);
    if (number != 0 && std::fpclassify(single) != FP_NORMAL)
        return QStringLiteral("слишком мало для датчика");
    *value = number;
    return QString();
}

QString CoefficientWrite::zeroRefusal(const Values &values)
{
    if (std::all_of(values.begin(), values.end(), [](float value) { return value == 0; }))
        return QStringLiteral("все шесть коэффициентов K0..K5 равны 0");
    if (values[0] == 0)
        return QStringLiteral("K0 = 0, а у полинома, нормированного при +20 °C, K0 не бывает 0");
    return QString();
}

double CoefficientWrite::valueOr0(const QString &text)
{
    double value = 0;
    return refusal(text, &value).isEmpty() ? value : 0.0;
}
