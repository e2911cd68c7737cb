#pragma once

#include <QRgb>
#include <qwt_plot_curve.h>

class QString;

// A curve of the plot: antialiased, a one-pixel solid pen in its colour, on the bottom and left
// axes until told otherwise.
//
// A curve computed over more degrees than its data covers (a fitted trend runs over the whole
// -90..+100 °C) can be told the degrees its data rests on: outside them its lines are drawn
// dashed and faded, as an extrapolation, on the screen and in every picture of the plot alike.
// The samples stay as they are, and only the backed part counts for the scales: an
// extrapolation of a polynomial runs off by orders of magnitude within a few degrees.
class PlotCurve : public QwtPlotCurve
{
public:
    PlotCurve(const QString &title, QRgb color);

    // Degrees lo..hi (both included) back the curve; everything else is extrapolated.
    void setSupport(double lo, double hi);
    // No degree backs the curve: all of it is drawn as an extrapolation.
    void setNoSupport();
    bool isExtrapolated(double x) const;

    // The samples over the backed degrees only; no rectangle (negative width) when none is.
    QRectF boundingRect() const override;

protected:
    void drawCurve(QPainter *painter, int style, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
        const QRectF &canvasRect, int from, int to) const override;

private:
    enum class Support { All, Span, None };
    Support support = Support::All;
    double supportLo = 0;
    double supportHi = 0;
};
