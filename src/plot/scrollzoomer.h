#pragma once

#include <qwt_plot_zoomer.h>

#include <array>

class ScrollBar;
class QWidget;

// The plot's rectangle zoomer with scroll bars: while the view is zoomed in, a bar along the
// canvas moves the zoomed window over the whole base range, and a corner widget fills the gap
// where two bars meet. The bars make room for themselves in the plot layout's canvas margins,
// and give it back when they are hidden or the zoomer goes away.
class ScrollZoomer : public QwtPlotZoomer
{
    Q_OBJECT

public:
    enum ScrollBarPosition { AttachedToScale, OppositeToScale };
    enum ScrollBarMode { AsNeeded, AlwaysOff, AlwaysOn };

    explicit ScrollZoomer(QWidget *canvas);
    ~ScrollZoomer() override;

    ScrollBar *horizontalScrollBar() const { return horizontal.bar; }
    ScrollBar *verticalScrollBar() const { return vertical.bar; }

    void setHScrollBarMode(ScrollBarMode mode);
    void setVScrollBarMode(ScrollBarMode mode);
    ScrollBarMode hScrollBarMode() const { return horizontal.mode; }
    ScrollBarMode vScrollBarMode() const { return vertical.mode; }

    void setHScrollBarPosition(ScrollBarPosition position);
    void setVScrollBarPosition(ScrollBarPosition position);
    ScrollBarPosition hScrollBarPosition() const { return horizontal.position; }
    ScrollBarPosition vScrollBarPosition() const { return vertical.position; }

    QWidget *cornerWidget() const { return corner; }

    bool eventFilter(QObject *watched, QEvent *event) override;
    using QwtPlotZoomer::zoom;

public slots:
    void scrollBarMoved(Qt::Orientation orientation, double min, double max);
    // Zooming in from the base first takes the scales the plot shows now as the base: the
    // data axis scales itself to the readings after the zoomer was made, and a base left
    // behind would put the view and the bars outside what the axis shows. The new view is
    // kept inside the base.
    void zoom(const QRectF &rect) override;

protected:
    void rescale() override;
    virtual void setCorner(QWidget *widget);
    virtual ScrollBar *barFor(Qt::Orientation orientation);
    virtual void refreshBars();
    virtual void placeBars(const QRect &rect);

private:
    struct ScrollData
    {
        ScrollBar *bar = nullptr;
        ScrollBarPosition position = OppositeToScale;
        ScrollBarMode mode = AsNeeded;
    };

    bool needsBar(Qt::Orientation orientation) const;
    int barAxis(Qt::Orientation orientation) const;
    // Shows or hides a bar and moves the canvas margin on its axis by its thickness.
    void showBar(ScrollBar *bar, int axis, bool show);
    void enterZoom(bool zoomed);

    QWidget *corner = nullptr;
    ScrollData horizontal;
    ScrollData vertical;
    bool inZoom = false;
    std::array<bool, 4> savedAlignment {};
};
