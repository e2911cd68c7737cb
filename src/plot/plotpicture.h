#pragma once

#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QList>
#include <QString>

struct SensorSetup;
class Plot;
class QPainter;
class QRectF;
class QwtPlot;

// The plot as a picture for a calibration report, drawn by Qwt's own renderer from the current
// view (zoom included) with its axes and titles: PNG at 1600 x 900 pixels, SVG, or PDF on an
// A4 landscape page. The picture has a white background, no cross-hair, a title with the date
// and time it was made and a legend naming each shown sensor in its colour; the window's own
// plot is left as it is. The bytes are made in memory, so the caller can write them atomically.
class PlotPicture
{
public:
    enum class Format { None, Png, Svg, Pdf };

    struct LegendEntry
    {
        QString text;
        QColor color;
    };
    using Legend = QList<LegendEntry>;

    // Format by the file name's extension, case ignored; None for any other.
    static Format formatOf(const QString &fileName);
    // "ДУТ n, адрес a" in the colour of its readings for every sensor with a curve shown.
    static Legend legendOf(const Plot &plot, const QList<SensorSetup> &setups);
    // Empty for Format::None or when the picture could not be made.
    static QByteArray render(const QwtPlot &plot, Format format, const Legend &legend = {},
        const QDateTime &when = QDateTime::currentDateTime());
    // The whole picture into area: title and legend on top, the plot below.
    static void draw(const QwtPlot &plot, QPainter &painter, const QRectF &area,
        const Legend &legend, const QDateTime &when);
};
