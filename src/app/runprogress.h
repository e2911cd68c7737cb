#pragma once

#include "protocol/dutinfo.h"
#include "sensors/chambertrend.h"

#include <QElapsedTimer>
#include <QObject>

class Duts;
class Plot;
class QLabel;
class QStatusBar;
class QwtPlotMarker;

// How far the thermal run has got, where the operator looks without opening anything: the
// chamber's temperature and rate, the time until every polled panel's missing degrees ahead of
// it would be reached and those left for the way back ("до 80 °C ≈ 6 мин, затем -40..19 на
// обратном ходе"), in the status bar's permanent area ("lChamber"), and the chamber's
// temperature as a vertical line on the plot. Fed with every valid reading; the panels keep
// their own coverage, so a reading costs one line fit over the last minutes.
class RunProgress : public QObject
{
    Q_OBJECT

public:
    RunProgress(const Duts &bank, Plot *plot, QStatusBar *bar);

    // A valid reading taken now, or at ms on a clock that only goes forward.
    void take(const DutInfo &info);
    void take(const DutInfo &info, qint64 ms);

    // While polling is stopped the time left would go stale: the label says so instead.
    void setPolling(bool started);

    QString text() const;

private:
    void show();

    const Duts &bank;
    Plot *plot = nullptr;
    QLabel *label = nullptr;
    QwtPlotMarker *marker = nullptr;
    ChamberTrend trend;
    QElapsedTimer clock;
    bool polling = true;
};
