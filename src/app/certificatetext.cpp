#include "app/certificatetext.h"

#include "fit/guardedacceptance.h"
#include "settings/buildinfo.h"

#include <QDir>
#include <QFont>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>

#include <cmath>

namespace {

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString row(const QString &name, const QString &value)
{
    return QStringLiteral("<tr><td>%1</td><td>%2</td></tr>")
        .arg(esc(name), esc(value.isEmpty() ? QStringLiteral("—") : value));
}

QString percent(double value)
{
    return QString::number(value, 'f', 3);
}

} // namespace

QString CertificateText::head(const CalibrationReport::Input &input)
{
    const CalibrationInfo &info = input.info;
    QString html = row(QStringLiteral("Номер сертификата"), input.certificate);
    html += row(QStringLiteral("Идентификатор прогона"), input.runId);
    html += row(QStringLiteral("Программа"), BuildInfo::text());
    html += row(QStringLiteral("Лаборатория"), info.laboratory);
    html += row(QStringLiteral("Адрес лаборатории"), info.laboratoryAddress);
    html += row(QStringLiteral("Заказчик"), info.customer);
    html += row(QStringLiteral("Рабочее место"), info.station);
    html += row(QStringLiteral("Калибровку выполнил"), info.operatorName);
    QString reference = info.reference;
    if (!info.referenceCertificate.isEmpty())
        reference += QStringLiteral(", свидетельство %1").arg(info.referenceCertificate);
    if (info.referenceDue.isValid())
        reference += QStringLiteral(", действительно до %1")
                         .arg(info.referenceDue.toString(QStringLiteral("yyyy-MM-dd")));
    if (info.referenceExpired(input.time.date()))
        reference += QStringLiteral(" — СРОК ПОВЕРКИ ЭТАЛОНА ИСТЁК");
    html += row(QStringLiteral("Эталонный термометр"), reference);
    html += row(QStringLiteral("Методика"), info.method);
    QStringList ambient;
    if (!info.ambientTemperature.isEmpty())
        ambient << QStringLiteral("%1 °C").arg(info.ambientTemperature);
    if (!info.ambientHumidity.isEmpty())
        ambient << QStringLiteral("%1 %").arg(info.ambientHumidity);
    html += row(QStringLiteral("Условия окружающей среды"), ambient.join(QStringLiteral(", ")));
    return html;
}

QString CertificateText::degrees(const CalibrationRecord &record, double tolerance)
{
    const QMap<int, double> &residuals = record.residuals.byDegree();
    QString html = QStringLiteral(
        "<table border='1' cellspacing='0'><thead><tr><th>T, °C</th><th>Остаток, %</th>"
        "<th>U (k = 2), %</th><th>Остаток ± U, %</th><th>|остаток| + U, %</th></tr></thead>");
    for (auto it = residuals.cbegin(); it != residuals.cend(); ++it) {
        const auto u = record.uncertainty.constFind(it.key());
        const bool have = u != record.uncertainty.cend();
        html
            += QStringLiteral("<tr><td>%1</td><td>%2</td><td>%3</td><td>%4</td><td>%5</td></tr>")
                   .arg(it.key())
                   .arg(percent(it.value()), have ? percent(u.value()) : QStringLiteral("—"),
                       have ? QStringLiteral("%1 ± %2").arg(percent(it.value()), percent(u.value()))
                            : QStringLiteral("%1 ± —").arg(percent(it.value())),
                       have ? percent(std::abs(it.value()) + u.value()) : QStringLiteral("—"));
    }
    html += QStringLiteral("</table>");
    html += QStringLiteral("<p>%1</p>").arg(esc(GuardedAcceptance::ruleText(tolerance)));
    return html;
}

QString CertificateText::endMark()
{
    return QStringLiteral("— Конец сертификата —");
}

void CertificateText::foot(QPainter &painter, const QPdfWriter &pdf, int page, int pages)
{
    painter.save();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(8);
    painter.setFont(font);
    const int line = painter.fontMetrics().height();
    QString text = QStringLiteral("стр. %1 из %2").arg(page).arg(pages);
    if (page == pages)
        text = endMark() + QStringLiteral("    ") + text;
    painter.drawText(
        QRect(0, pdf.height() - line, pdf.width(), line), Qt::AlignRight | Qt::AlignVCenter, text);
    painter.restore();
}
