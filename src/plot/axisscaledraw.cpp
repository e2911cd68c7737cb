#include "plot/axisscaledraw.h"

#include <QRegularExpression>
#include <qwt_plot.h>
#include <qwt_scale_div.h>
#include <qwt_text.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kPlainLimit = 1e7;
constexpr int kMostDecimals = 6;
const QChar kThinSpace(0x2009);

// Digits of a whole number in groups of three from the right.
QString grouped(const QString &digits)
{
    QString out;
    const int n = digits.size();
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0)
            out += kThinSpace;
        out += digits.at(i);
    }
    return out;
}

} // namespace

AxisScaleDraw::Format AxisScaleDraw::formatFor(const QList<double> &ticks)
{
    Format format;
    double largest = 0.0;
    for (double tick : ticks)
        if (std::isfinite(tick))
            largest = std::max(largest, std::fabs(tick));
    if (largest >= kPlainLimit)
        format.exponent = int(std::floor(std::log10(largest)));
    const double scale = std::pow(10.0, -format.exponent);
    // The fewest decimals that write every tick exactly (to a millionth of the largest one).
    for (format.decimals = 0; format.decimals < kMostDecimals; ++format.decimals) {
        const double unit = std::pow(10.0, format.decimals);
        const bool exact = std::all_of(ticks.begin(), ticks.end(), [&](double tick) {
            const double shifted = tick * scale * unit;
            return !std::isfinite(shifted)
                || std::fabs(shifted - std::round(shifted))
                <= 1e-6 * std::max(1.0, largest * scale * unit);
        });
        if (exact)
            break;
    }
    return format;
}

QString AxisScaleDraw::text(double value, const Format &format)
{
    if (!std::isfinite(value))
        return QString::number(value);
    const double mantissa = value * std::pow(10.0, -format.exponent);
    QString fixed = QString::number(std::fabs(mantissa), 'f', format.decimals);
    const int point = fixed.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? fixed : fixed.left(point);
    const QString fraction = point < 0 ? QString() : fixed.mid(point);
    // No "-0" for a value that rounds to zero.
    static const QRegularExpression nonZero(QStringLiteral("[1-9]"));
    const bool negative = mantissa < 0 && fixed.contains(nonZero);
    QString out = (negative ? QStringLiteral("-") : QString()) + grouped(whole) + fraction;
    if (format.exponent != 0)
        out += QStringLiteral("e%1").arg(format.exponent);
    return out;
}

AxisScaleDraw::Format AxisScaleDraw::currentFormat() const
{
    return formatFor(scaleDiv().ticks(QwtScaleDiv::MajorTick));
}

QString AxisScaleDraw::coordinates(const QwtPlot &plot, const QPointF &point, int xAxis, int yAxis)
{
    auto format = [&plot](int axis) {
        const auto *draw = dynamic_cast<const AxisScaleDraw *>(plot.axisScaleDraw(axis));
        return draw ? draw->currentFormat() : Format();
    };
    return QStringLiteral("%1 °C; %2")
        .arg(text(point.x(), format(xAxis)), text(point.y(), format(yAxis)));
}

QwtText AxisScaleDraw::label(double value) const
{
    return QwtText(text(value, currentFormat()));
}
