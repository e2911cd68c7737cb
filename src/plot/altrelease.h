#pragma once

#include <QObject>

class QwtPlot;

// Letting go of Alt anywhere in the plot's window hides the plot's cross-hair for good. The
// key goes to whichever widget has the focus, seldom the canvas (a panel's field, the menu
// bar), so the application's events are watched rather than the canvas's.
class AltRelease : public QObject
{
    Q_OBJECT

public:
    explicit AltRelease(QwtPlot *plot);

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    void released();

private:
    QwtPlot *plot = nullptr;
};
