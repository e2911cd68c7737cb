#pragma once

#include <QByteArray>
#include <QString>

class QwtPlot;

// The plot as a picture for a calibration report, drawn by Qwt's own renderer from the current
// view (zoom included) with its axes and titles: PNG at 1600 x 900 pixels, SVG, or PDF on an
// A4 landscape page. The bytes are made in memory, so the caller can write them atomically.
class PlotPicture
{
public:
    enum class Format { None, Png, Svg, Pdf };

    // Format by the file name's extension, case ignored; None for any other.
    static Format formatOf(const QString &fileName);
    // Empty for Format::None or when the picture could not be made.
    static QByteArray render(const QwtPlot &plot, Format format);
};
