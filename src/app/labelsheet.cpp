#include "app/labelsheet.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <zint.h>

#include <memory>

namespace {

// Sides of the Data Matrix code and the label's margin, mm.
constexpr double kCodeMm = 22;
constexpr double kMarginMm = 2;

struct SymbolDeleter
{
    void operator()(zint_symbol *symbol) const { ZBarcode_Delete(symbol); }
};

// Draws the Data Matrix code of `text` into the square `target` (device units), dark modules
// as filled rectangles without smoothing, so that a scan sees sharp module edges.
bool drawCode(QPainter &painter, const QByteArray &text, const QRectF &target, QString *error)
{
    const std::unique_ptr<zint_symbol, SymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol) {
        *error = QStringLiteral("нет памяти для кода");
        return false;
    }
    symbol->symbology = BARCODE_DATAMATRIX;
    symbol->input_mode = UNICODE_MODE;
    symbol->option_3 = DM_SQUARE;
    const int encoded = ZBarcode_Encode(
        symbol.get(), reinterpret_cast<const unsigned char *>(text.constData()), text.size());
    if (encoded >= ZINT_ERROR || ZBarcode_Buffer_Vector(symbol.get(), 0) >= ZINT_ERROR
        || !symbol->vector || symbol->vector->width <= 0 || symbol->vector->height <= 0) {
        *error = QString::fromLatin1(symbol->errtxt);
        return false;
    }
    const zint_vector &vector = *symbol->vector;
    const double scale = std::min(target.width() / vector.width, target.height() / vector.height);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    for (const zint_vector_rect *rect = vector.rectangles; rect; rect = rect->next) {
        if (rect->colour != -1 && rect->colour != 7)
            continue;
        painter.drawRect(QRectF(target.left() + rect->x * scale, target.top() + rect->y * scale,
            rect->width * scale, rect->height * scale));
    }
    painter.restore();
    return true;
}

} // namespace

QByteArray LabelSheet::codeText(const Label &label)
{
    return label.serial.toUtf8() + ';' + label.run.toUtf8();
}

QByteArray LabelSheet::render(const QVector<Label> &labels, QString *error)
{
    QString reason;
    if (labels.isEmpty()) {
        if (error)
            *error = QStringLiteral("нет датчиков с решением");
        return QByteArray();
    }
    QByteArray pdf;
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setTitle(QStringLiteral("Этикетки"));
    writer.setCreator(QStringLiteral("Тарикон"));
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QSizeF(widthMm, heightMm), QPageSize::Millimeter),
        QPageLayout::Portrait, QMarginsF()));

    QPainter painter(&writer);
    const double dots = writer.resolution() / 25.4;
    auto mm = [dots](double x, double y, double w, double h) {
        return QRectF(x * dots, y * dots, w * dots, h * dots);
    };
    QFont big(QStringLiteral("DejaVu Sans"));
    big.setPointSizeF(10);
    big.setBold(true);
    QFont verdict = big;
    verdict.setPointSizeF(11);
    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPointSizeF(6.5);

    for (int i = 0; i < labels.size(); ++i) {
        const Label &label = labels[i];
        if (i > 0)
            writer.newPage();
        const double textWidth = widthMm - 2 * kMarginMm;
        painter.setFont(big);
        const QRectF serialBox = mm(kMarginMm, kMarginMm, textWidth, 6);
        painter.drawText(serialBox, Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(QStringLiteral("Зав. № %1").arg(label.serial),
                Qt::ElideMiddle, int(serialBox.width())));

        // Left of the code the verdict and the date; under it, across, the certificate.
        const double top = kMarginMm + 7.5;
        const double columnWidth = widthMm - 3 * kMarginMm - kCodeMm;
        painter.setFont(verdict);
        painter.drawText(mm(kMarginMm, top, columnWidth, 7), Qt::AlignLeft | Qt::AlignVCenter,
            label.pass ? QStringLiteral("ГОДЕН") : QStringLiteral("НЕ ГОДЕН"));
        painter.setFont(small);
        painter.drawText(mm(kMarginMm, top + 8, columnWidth, 4), Qt::AlignLeft,
            QStringLiteral("Дата: %1").arg(label.date.toString(QStringLiteral("dd.MM.yyyy"))));
        const QRectF certificateBox
            = mm(kMarginMm, heightMm - kMarginMm - 5, widthMm - 2 * kMarginMm, 5);
        painter.drawText(certificateBox, Qt::AlignLeft | Qt::AlignVCenter,
            painter.fontMetrics().elidedText(
                QStringLiteral("Свидетельство № %1").arg(label.certificate), Qt::ElideMiddle,
                int(certificateBox.width())));

        if (!drawCode(painter, codeText(label),
                mm(widthMm - kMarginMm - kCodeMm, top, kCodeMm, kCodeMm), &reason)) {
            painter.end();
            if (error)
                *error = QStringLiteral("код для %1 не получился: %2").arg(label.serial, reason);
            return QByteArray();
        }
    }
    painter.end();
    return pdf;
}
