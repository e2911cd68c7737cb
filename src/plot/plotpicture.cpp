#include "plot/plotpicture.h"

#include "plot/plot.h"
#include "plot/plotcurve.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <qwt_plot.h>
#include <qwt_plot_item.h>
#include <qwt_plot_renderer.h>

namespace {

constexpr QSize kPixels(1600, 900);

// Shows the curves of the plot without the window's cross-hair, and puts it back after.
class MarkerHidden
{
public:
    explicit MarkerHidden(const QwtPlot &plot)
    {
        for (QwtPlotItem *item : plot.itemList(QwtPlotItem::Rtti_PlotMarker)) {
            if (item->isVisible()) {
                hidden.append(item);
                item->setVisible(false);
            }
        }
    }
    ~MarkerHidden()
    {
        for (QwtPlotItem *item : hidden)
            item->setVisible(true);
    }
    MarkerHidden(const MarkerHidden &) = delete;
    MarkerHidden &operator=(const MarkerHidden &) = delete;

private:
    QList<QwtPlotItem *> hidden;
};

} // namespace

void PlotPicture::draw(const QwtPlot &plot, QPainter &painter, const QRectF &area,
    const Legend &legend, const QDateTime &when)
{
    painter.save();
    painter.fillRect(area, Qt::white);

    // Sizes follow the page, so a PNG and a 150 dpi PDF look alike.
    const double unit = area.height() / 900.0;
    QFont font = painter.font();
    font.setPixelSize(qMax(8, int(22 * unit)));
    font.setBold(true);
    painter.setFont(font);
    const double line = QFontMetricsF(font).height();
    double y = area.top() + 8 * unit;
    const QString title = QStringLiteral("Тарикон: данные ДУТ по температуре, %1")
                              .arg(when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")));
    painter.setPen(Qt::black);
    painter.drawText(QRectF(area.left(), y, area.width(), line), Qt::AlignCenter, title);
    y += line + 4 * unit;

    font.setPixelSize(qMax(8, int(16 * unit)));
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const double swatch = metrics.height() * 0.7;
    double x = area.left() + 20 * unit;
    for (const LegendEntry &entry : legend) {
        const double width = swatch + 6 * unit + metrics.horizontalAdvance(entry.text);
        if (x + width > area.right() - 20 * unit && x > area.left() + 20 * unit) {
            x = area.left() + 20 * unit;
            y += metrics.height() + 2 * unit;
        }
        const double middle = y + metrics.height() / 2;
        painter.fillRect(QRectF(x, middle - swatch / 2, swatch, swatch), entry.color);
        painter.setPen(entry.color);
        painter.drawText(QPointF(x + swatch + 6 * unit, y + metrics.ascent()), entry.text);
        x += width + 30 * unit;
    }
    if (!legend.isEmpty())
        y += metrics.height() + 6 * unit;

    const MarkerHidden marker(plot);
    QwtPlotRenderer renderer;
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardBackground, true);
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardCanvasBackground, true);
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardCanvasFrame, true);
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardTitle, true);
    renderer.render(const_cast<QwtPlot *>(&plot), &painter,
        QRectF(area.left(), y, area.width(), area.bottom() - y));
    painter.restore();
}

PlotPicture::Legend PlotPicture::legendOf(const Plot &plot, const QList<SensorSetup> &setups)
{
    Legend legend;
    for (const SensorSetup &setup : setups) {
        if (setup.sensor < 0 || setup.sensor >= Plot::sensorCount)
            continue;
        const quint8 s = quint8(setup.sensor);
        const bool shown = plot.valueCurve(s, 0)->isVisible() || plot.midlCurve(s)->isVisible()
            || plot.trendCurve(s)->isVisible() || plot.deltaCurve(s)->isVisible()
            || plot.kCurve(s)->isVisible();
        if (shown)
            legend.append({QStringLiteral("ДУТ %1, адрес %2").arg(s).arg(setup.addressText()),
                QColor(setup.colors[ColorValue] | 0xFF000000u)});
    }
    return legend;
}

PlotPicture::Format PlotPicture::formatOf(const QString &fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("png"))
        return Format::Png;
    if (suffix == QLatin1String("svg"))
        return Format::Svg;
    if (suffix == QLatin1String("pdf"))
        return Format::Pdf;
    return Format::None;
}

QByteArray PlotPicture::render(
    const QwtPlot &plot, Format format, const Legend &legend, const QDateTime &when)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    switch (format) {
    case Format::Png: {
        QImage image(kPixels, QImage::Format_ARGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            draw(plot, painter, QRectF(QPointF(0, 0), kPixels), legend, when);
        }
        if (!image.save(&buffer, "PNG"))
            return {};
        break;
    }
    case Format::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setSize(kPixels);
        svg.setViewBox(QRect(QPoint(0, 0), kPixels));
        svg.setTitle(plot.windowTitle());
        QPainter painter(&svg);
        draw(plot, painter, QRectF(QPointF(0, 0), kPixels), legend, when);
        break;
    }
    case Format::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setPageLayout(QPageLayout(
            QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10)));
        pdf.setResolution(150);
        QPainter painter(&pdf);
        draw(plot, painter, QRectF(QPointF(0, 0), QSizeF(pdf.width(), pdf.height())), legend, when);
        break;
    }
    case Format::None:
        return {};
    }
    return bytes;
}
