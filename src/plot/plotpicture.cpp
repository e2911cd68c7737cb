#include "plot/plotpicture.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <qwt_plot.h>
#include <qwt_plot_renderer.h>

namespace {

constexpr QSize kPixels(1600, 900);

void draw(const QwtPlot &plot, QPainter &painter, const QRectF &area)
{
    QwtPlotRenderer renderer;
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardBackground, false);
    renderer.setDiscardFlag(QwtPlotRenderer::DiscardCanvasFrame, true);
    renderer.render(const_cast<QwtPlot *>(&plot), &painter, area);
}

} // namespace

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

QByteArray PlotPicture::render(const QwtPlot &plot, Format format)
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
            draw(plot, painter, QRectF(QPointF(0, 0), kPixels));
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
        draw(plot, painter, QRectF(QPointF(0, 0), kPixels));
        break;
    }
    case Format::Pdf: {
        QPdfWriter pdf(&buffer);
        pdf.setPageLayout(QPageLayout(
            QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10)));
        pdf.setResolution(150);
        QPainter painter(&pdf);
        draw(plot, painter, QRectF(QPointF(0, 0), QSizeF(pdf.width(), pdf.height())));
        break;
    }
    case Format::None:
        return {};
    }
    return bytes;
}
