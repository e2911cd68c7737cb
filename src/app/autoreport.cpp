#include "app/autoreport.h"

#include "app/certificatetext.h"

#include <QAbstractTextDocumentLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QTextDocument>

#include <cmath>
#include <limits>

namespace {

constexpr qint8 kReference = 20;

QMap<double, double> ratios(const QMap<qint8, quint32> &midl, int lo, int hi)
{
    QMap<double, double> curve;
    const quint32 reference = midl.value(kReference);
    if (reference == 0)
        return curve;
    for (auto it = midl.constBegin(); it != midl.constEnd(); ++it) {
        if (it.key() >= lo && it.key() <= hi)
            curve.insert(it.key(), double(it.value()) / double(reference));
    }
    return curve;
}

QString figure(double value)
{
    return std::isfinite(value) ? QStringLiteral("%1 %").arg(value, 0, 'f', 3)
                                : QStringLiteral("—");
}

void drawCurves(QPainter &painter, const QRectF &area, const QMap<double, double> &found,
    const QMap<double, double> &left)
{
    double tLo = std::numeric_limits<double>::max();
    double tHi = std::numeric_limits<double>::lowest();
    double rLo = 1;
    double rHi = 1;
    for (const QMap<double, double> *curve : {&found, &left}) {
        for (auto it = curve->constBegin(); it != curve->constEnd(); ++it) {
            tLo = std::min(tLo, it.key());
            tHi = std::max(tHi, it.key());
            rLo = std::min(rLo, it.value());
            rHi = std::max(rHi, it.value());
        }
    }
    if (tLo >= tHi) {
        tLo = -40;
        tHi = 80;
    }
    const double pad = std::max((rHi - rLo) * 0.05, 1e-4);
    rLo -= pad;
    rHi += pad;
    const QRectF plot
        = area.adjusted(area.width() * 0.1, area.height() * 0.08, 0, -area.height() * 0.1);
    auto at = [&](double t, double r) {
        return QPointF(plot.left() + (t - tLo) / (tHi - tLo) * plot.width(),
            plot.bottom() - (r - rLo) / (rHi - rLo) * plot.height());
    };
    const qreal pen = area.width() / 600.0;
    painter.setPen(QPen(Qt::black, pen));
    painter.drawRect(plot);
    QFont font = painter.font();
    font.setPointSizeF(7);
    painter.setFont(font);
    for (int i = 0; i <= 4; ++i) {
        const double t = tLo + (tHi - tLo) * i / 4.0;
        const double r = rLo + (rHi - rLo) * i / 4.0;
        painter.drawText(at(t, rLo) + QPointF(-pen * 20, pen * 40), QString::number(t, 'f', 0));
        painter.drawText(QPointF(area.left(), at(tLo, r).y()), QString::number(r, 'f', 5));
    }
    painter.drawText(QPointF(plot.center().x(), area.bottom()), QStringLiteral("T, °C"));
    const QColor colours[] = {QColor(200, 0, 0), QColor(0, 110, 0)};
    const QString names[] = {QStringLiteral("как найдено"), QStringLiteral("после записи")};
    const QMap<double, double> *curves[] = {&found, &left};
    for (int c = 0; c < 2; ++c) {
        QPainterPath path;
        for (auto it = curves[c]->constBegin(); it != curves[c]->constEnd(); ++it) {
            const QPointF p = at(it.key(), it.value());
            if (it == curves[c]->constBegin())
                path.moveTo(p);
            else
                path.lineTo(p);
        }
        painter.setPen(QPen(colours[c], pen * 3));
        painter.drawPath(path);
        painter.drawText(plot.topLeft() + QPointF(pen * 20, pen * 60 * (c + 1)),
            QStringLiteral("%1: v(T)/v(+20)").arg(names[c]));
    }
}

} // namespace

double AutoReport::deviationPercent(const QMap<qint8, quint32> &midl, int lo, int hi)
{
    const QMap<double, double> curve = ratios(midl, lo, hi);
    if (curve.isEmpty())
        return std::numeric_limits<double>::quiet_NaN();
    double largest = 0;
    for (const double r : curve)
        largest = std::max(largest, std::abs(r - 1) * 100);
    return largest;
}

QString AutoReport::summary(int sensor, const QList<Sensor> &sensors)
{
    for (const Sensor &s : sensors) {
        if (s.sensor == sensor)
            return QStringLiteral(", после записи: %1 (%2)")
                .arg(s.verdict, figure(s.asLeftPercent));
    }
    return QString();
}

bool AutoReport::draw(QPainter &painter, QPdfWriter &pdf, const QList<Sensor> &sensors,
    double tolerance, const QString &style, int before, int pages)
{
    int page = before;
    for (const Sensor &sensor : sensors) {
        if (!pdf.newPage())
            return false;
        QString html = QStringLiteral("<h2>ДУТ %1: автокалибровка</h2><table>").arg(sensor.sensor);
        auto row = [&html](const QString &name, const QString &value) {
            html += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>")
                        .arg(name.toHtmlEscaped(), value.toHtmlEscaped());
        };
        QStringList k;
        if (sensor.foundK) {
            for (const double value : *sensor.foundK)
                k << QString::number(value, 'g', 7);
        }
        row(QStringLiteral("K0…K5 как найдено"),
            sensor.foundK ? k.join(QStringLiteral("; ")) : QStringLiteral("не прочитаны"));
        row(QStringLiteral("Отклонение как найдено"),
            figure(deviationPercent(sensor.found, sensor.rangeMin, sensor.rangeMax)));
        row(QStringLiteral("Отклонение после записи"), figure(sensor.asLeftPercent));
        row(QStringLiteral("Допуск"), figure(tolerance));
        html += QStringLiteral("</table><p>Правило: годен, если наибольшее |v(T)/v(+20) − 1| "
                               "после записи проверенных коэффициентов не больше допуска.</p>"
                               "<p>Результат: <span class='%1'>%2</span></p>")
                    .arg(sensor.pass ? QStringLiteral("pass") : QStringLiteral("fail"),
                        sensor.verdict.toHtmlEscaped());
        QTextDocument document;
        document.documentLayout()->setPaintDevice(&pdf);
        document.setDefaultStyleSheet(style);
        document.setHtml(QStringLiteral("<body>%1</body>").arg(html));
        document.setTextWidth(pdf.width());
        document.drawContents(&painter);
        const qreal top = document.size().height() + pdf.resolution() / 6.0;
        drawCurves(painter,
            QRectF(0, top, pdf.width(), std::min<qreal>(pdf.height() - top, pdf.width() * 0.7)),
            ratios(sensor.found, sensor.rangeMin, sensor.rangeMax),
            ratios(sensor.left, sensor.rangeMin, sensor.rangeMax));
        CertificateText::foot(painter, pdf, ++page, pages);
    }
    return true;
}
