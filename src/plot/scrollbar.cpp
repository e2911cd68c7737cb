#include "plot/scrollbar.h"

#include <QStyle>
#include <QStyleOptionSlider>

#include <cmath>

ScrollBar::ScrollBar(QWidget *parent)
    : QScrollBar(parent)
{
    init();
}

ScrollBar::ScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
    init();
}

ScrollBar::ScrollBar(double min, double max, Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
    init();
    setBase(min, max);
    moveSlider(min, max);
}

void ScrollBar::init()
{
    mirrored = orientation() == Qt::Vertical;
    connect(this, &QAbstractSlider::sliderMoved, this, &ScrollBar::catchSliderMoved);
    connect(this, &QAbstractSlider::valueChanged, this, &ScrollBar::catchValueChanged);
}

void ScrollBar::setMirrored(bool on)
{
    if (mirrored == on)
        return;
    const double low = minSliderValue();
    const double high = maxSliderValue();
    mirrored = on;
    moveSlider(low, high);
}

void ScrollBar::setBase(double min, double max)
{
    if (min == baseMin && max == baseMax)
        return;
    // The visible range is taken before the base changes, in the old base's coordinates.
    const double low = minSliderValue();
    const double high = maxSliderValue();
    baseMin = min;
    baseMax = max;
    moveSlider(low, high);
}

void ScrollBar::moveSlider(double min, double max)
{
    const double range = baseMax - baseMin;
    // A base without width (or no number at all) leaves nothing to scroll: the slider fills it.
    int ticks = tickCount;
    if (range > 0.0 && std::isfinite(range)) {
        const double share = std::round((max - min) / range * tickCount);
        if (std::isfinite(share))
            ticks = int(qBound(0.0, share, double(tickCount)));
    }

    const bool blocked = blockSignals(true);
    setRange(ticks / 2, tickCount - ticks / 2);
    setSingleStep(qMax(1, ticks / 200));
    setPageStep(ticks);
    const int tick = mapToTick(min + (max - min) / 2);
    setSliderPosition(mirrored ? tickCount - tick : tick);
    blockSignals(blocked);
}

double ScrollBar::minSliderValue() const
{
    double min = 0;
    double max = 0;
    sliderRange(value(), &min, &max);
    return min;
}

double ScrollBar::maxSliderValue() const
{
    double min = 0;
    double max = 0;
    sliderRange(value(), &min, &max);
    return max;
}

int ScrollBar::mapToTick(double value) const
{
    const double range = baseMax - baseMin;
    if (!(range > 0.0))
        return 0;
    const double tick = (value - baseMin) / range * tickCount;
    // Far outside the base the tick is pinned to the ends, never beyond what an int holds.
    return std::isfinite(tick) ? int(qBound(-double(tickCount), tick, 2.0 * tickCount)) : 0;
}

void ScrollBar::sliderRange(int value, double *min, double *max) const
{
    if (mirrored)
        value = tickCount - value;
    const int half = pageStep() / 2;
    const double range = baseMax - baseMin;
    *min = baseMin + range * (value - half) / tickCount;
    *max = baseMin + range * (value + half) / tickCount;
}

void ScrollBar::catchValueChanged(int value)
{
    double min = 0;
    double max = 0;
    sliderRange(value, &min, &max);
    emit valueChanged(orientation(), min, max);
}

void ScrollBar::catchSliderMoved(int value)
{
    double min = 0;
    double max = 0;
    sliderRange(value, &min, &max);
    emit sliderMoved(orientation(), min, max);
}

int ScrollBar::thickness() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return style()->pixelMetric(QStyle::PM_ScrollBarExtent, &option, this);
}
