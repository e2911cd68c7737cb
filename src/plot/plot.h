#pragma once

#include "plot/ploteditor.h"
#include "plot/valuelayer.h"
#include "protocol/dutinfo.h"
#include "sensors/dut.h"
#include "settings/sensorsetup.h"

#include <QRgb>
#include <QSet>
#include <QVector>
#include <qwt_plot.h>

#include <array>

class PlotCurve;
class QTimer;
class QwtPlotMarker;
class ScrollZoomer;

// The chart of every sensor's curves against temperature: per sensor the readings collected at
// each whole degree (one points-only curve per temperature slot), the mid values with the
// calibration points, the fitted trend, the deviation from 20 °C and the curve of the
// coefficients K0..K5. The plot keeps no data of its own: the main window hands it whole sets of
// one sensor at a time, and the sensor panels decide what is shown and in which colours.
//
// Every change asks for a render; the renders asked for within one turn of the event loop are
// drawn as one, so a reading that sets four curves costs one paint. The reading curves, which
// hold hours of data, are kept as one picture between renders and drawn again only when they
// or the scales under them change, so dragging a point redraws just the light curves.
//
// Calibration points are edited on the canvas (see PlotEditor): the plot says which point the
// operator moves or adds with editMidl and addMidl, and gets its curves back as always.
class Plot : public QwtPlot
{
    Q_OBJECT

public:
    static constexpr int sensorCount = 6;
    // One value curve per temperature slot; slots 250..255 are never drawn.
    static constexpr int valueCurveCount = 255;
    static constexpr int drawnSlots = 250;
    static constexpr int maxValuePoints = 65535;
    static constexpr int maxMapPoints = 255;

    // The curves start blue and hidden; the owner hands the plot each sensor's setup.
    explicit Plot(QWidget *parent = nullptr);

    // Shows a sensor's curves as its setup says (which, and in which colours).
    void setSetup(const SensorSetup &setup);
    // How near, in pixels, a press must be to a mid-value point to pick it.
    void setPickRadius(quint8 radius) { pointRadius = radius; }

    void setValueCurves(const Dut::ValueSets *sets, quint8 nomDut);
    void setMidlCurve(const Dut::MidlMap *map, quint8 nomDut);
    void setTrendCurve(const Dut::CurveMap *map, quint8 nomDut);
    void setDeltaCurve(const Dut::CurveMap *map, quint8 nomDut);
    void setTypeData(eTypeData kind) { typeData = kind; }
    eTypeData currentTypeData() const { return typeData; }
    // Empties the value curves of every sensor; the caller redraws what it wants shown.
    void clearValueCurves();

    // Curves of a sensor, or nullptr for a number the plot does not have.
    PlotCurve *valueCurve(quint8 nomDut, int slot) const;
    PlotCurve *midlCurve(quint8 nomDut) const { return curveAt(midlCurves, nomDut); }
    PlotCurve *trendCurve(quint8 nomDut) const { return curveAt(trendCurves, nomDut); }
    PlotCurve *deltaCurve(quint8 nomDut) const { return curveAt(deltaCurves, nomDut); }
    PlotCurve *kCurve(quint8 nomDut) const { return curveAt(kCurves, nomDut); }
    // The sensor whose mid-value curve this is, or -1.
    int midlSensor(const QwtPlotItem *item) const;
    ScrollZoomer *zoomer() const { return m_zoomer; }
    QwtPlotMarker *marker() const { return m_marker; }
    quint8 pickRadius() const { return pointRadius; }
    const PlotEditor &editor() const { return m_editor; }

    // The whole temperature range, the data axis scaled to its curves again, and a new zoomer
    // that starts from there.
    void resetView();
    // Asks for one render at the end of this turn of the event loop.
    void requestReplot();
    // Renders of the canvas, and of the reading curves into their picture, since construction.
    int renderCount() const { return renders; }
    int valueLayerRenderCount() const { return valueLayer.renderCount(); }
    // The next render draws the reading curves afresh.
    void invalidateValueLayer() { valueLayer.invalidate(); }

    bool eventFilter(QObject *watched, QEvent *event) override;

signals:
    // Point nomPoint (in ascending temperature) of sensor nomDut's mid values dragged to y.
    void editMidl(quint8 nomDut, quint8 nomPoint, quint32 y);
    // A calibration point for sensor nomDut at temp wanted with the value y of kind.
    void addMidl(quint8 nomDut, qint8 temp, quint32 y, eTypeData kind);

public slots:
    // Draws the render asked for, if any is still due.
    void replotNow();
    // Renders with the data axes scaled to the data (see fitScalesToData).
    void replot() override;
    void slUpdateK(quint8 nomDut, double *readK);
    void slSetVisible(quint8 nomDut, quint8 en);
    void slUpdatePlotColor(quint8 nomDut, QRgb value, QRgb midl, QRgb delta, QRgb trend, QRgb k);

protected:
    void drawCanvas(QPainter *painter) override;
    void drawItems(QPainter *painter, const QRectF &canvasRect,
        const QwtScaleMap maps[axisCnt]) const override;

private:
    static PlotCurve *curveAt(const QVector<PlotCurve *> &curves, quint8 nomDut)
    {
        return nomDut < curves.size() ? curves.at(nomDut) : nullptr;
    }
    static void setMapCurve(PlotCurve *curve, const Dut::CurveMap *map);
    // Readings, mid values and deviations shown decide the autoscaled axes they are on; the
    // trends and the coefficient curves are drawn within that scale, clipped, and decide only an
    // axis on which no data is shown (by their backed part, see PlotCurve).
    void fitScalesToData();

    std::array<QVector<PlotCurve *>, sensorCount> valueCurves;
    QVector<PlotCurve *> midlCurves;
    QVector<PlotCurve *> trendCurves;
    QVector<PlotCurve *> deltaCurves;
    QVector<PlotCurve *> kCurves;
    eTypeData typeData = Level;
    ScrollZoomer *m_zoomer = nullptr;
    QwtPlotMarker *m_marker = nullptr;
    quint8 pointRadius = 10;
    QTimer *replotTimer = nullptr;
    PlotEditor m_editor {*this};
    // Every value curve, and the same as a set to tell them among the plot's items.
    QVector<QwtPlotItem *> valueItems;
    QSet<const QwtPlotItem *> valueItemSet;
    mutable ValueLayer valueLayer;
    int renders = 0;
    bool paintingCanvas = false;
};
