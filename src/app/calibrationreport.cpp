#include "app/calibrationreport.h"

#include "app/certificatetext.h"
#include "app/mainwindow.h"
#include "app/reportplot.h"
#include "app/residualplot.h"
#include "panels/protocol.h"
#include "sensors/calibrationbook.h"
#include "sensors/calibrationjournal.h"
#include "sensors/dut.h"
#include "sensors/duts.h"
#include "sensors/journalfiles.h"
#include "sensors/runcertificate.h"
#include "sensors/runid.h"
#include "sensors/sensordata.h"
#include "settings/settingskeys.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSettings>
#include <QTextDocument>

#include <cmath>
#include <memory>
#include <vector>

namespace {

namespace keys = settingskeys;

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString percent(double value)
{
    return QString::number(value, 'g', 4);
}

double tolerance()
{
    std::optional<QSettings> own;
    bool ok = false;
    const double value = keys::reader(own)
                             .value(keys::reportTolerance(), keys::reportToleranceDefault)
                             .toDouble(&ok);
    return ok && std::isfinite(value) && value >= 0 ? value : keys::reportToleranceDefault;
}

const QString kStyle = QStringLiteral(
    "body { font-family: 'DejaVu Sans'; font-size: 9pt; }"
    "h1 { font-size: 16pt; } h2 { font-size: 14pt; margin-bottom: 2px; }"
    "td, th { padding: 2px 6px; } th { background-color: #e8e8e8; text-align: left; }"
    ".small { font-size: 7pt; } .pass { color: #006000; font-weight: bold; }"
    ".fail { color: #b00000; font-weight: bold; }");

QString row(const QString &name, const QString &value)
{
    return QStringLiteral("<tr><td>%1</td><td>%2</td></tr>").arg(esc(name), esc(value));
}

QString valueCell(const CoefficientWrite::Values &values, int i, bool have)
{
    return have ? CoefficientWrite::text(values[i]) : QStringLiteral("—");
}

// The sensor's serial number as its write recorded it, else as its panel has it.
QString serialOf(const CalibrationReport::Sensor &sensor)
{
    const QString serial = sensor.written && !sensor.written->serial.isEmpty()
        ? sensor.written->serial
        : sensor.serial;
    return serial.isEmpty() ? QStringLiteral("не указан") : serial;
}

// The text of one sensor's page above its plots; its table of residual ± U per degree goes to
// *degrees, to stand under the text when the page has room and on pages of its own otherwise.
QString sensorPage(const CalibrationReport::Sensor &sensor, double limit, ReportPlot::Data *plot,
    ResidualPlot::Data *residual, QString *degrees)
{
    const SensorSetup &setup = sensor.setup;
    const std::optional<CalibrationRecord> &written = sensor.written;
    const eTypeData kind = typeDataOfEntry(setup.kindIndex);
    const QMap<qint8, quint32> midl = sensor.data->midlOf(kind);
    // The coefficients checked against the data: those last written, else the current fit.
    const CalibrationRecord now = CalibrationRecord::of(*sensor.data, setup,
        written ? written->write.sent : sensor.fit, written ? &written->write : nullptr);
    const Coverage &coverage = now.coverage;

    QString html = QStringLiteral("<h2>Зав. № %1</h2><table>").arg(esc(serialOf(sensor)));
    html += row(QStringLiteral("Место на стенде"), QStringLiteral("ДУТ %1").arg(setup.sensor));
    html += row(QStringLiteral("Адрес"), setup.addressText());
    html += row(QStringLiteral("Тип данных"), now.kind);
    html += row(QStringLiteral("Степень полинома"), QString::number(now.degree));
    html += row(QStringLiteral("Диапазон"),
        QStringLiteral("%1 … %2 °C").arg(now.rangeMin).arg(now.rangeMax));
    html += row(QStringLiteral("Покрытие"),
        QStringLiteral("%1/%2 градусов").arg(coverage.covered()).arg(coverage.total())
            + (coverage.complete()
                    ? QString()
                    : QStringLiteral(", нет данных: %1").arg(coverage.missingText())));
    html += QStringLiteral("</table>");

    const CoefficientWrite &w = now.write;
    html += QStringLiteral("<p><b>Коэффициенты</b></p><table border='1' cellspacing='0'>"
                           "<tr><th></th><th>До записи (в датчике)</th><th>%1</th>"
                           "<th>Прочитано после записи</th></tr>")
                .arg(written ? QStringLiteral("Записано") : QStringLiteral("Расчёт (не записан)"));
    for (int i = 0; i < 6; ++i) {
        html += QStringLiteral("<tr><td>K%1</td><td>%2</td><td>%3</td><td>%4</td></tr>")
                    .arg(i)
                    .arg(valueCell(w.found, i, written && w.haveFound),
                        CoefficientWrite::text(w.sent[i]),
                        valueCell(w.read, i, written && w.readBack[i]));
    }
    html += QStringLiteral("</table>");
    if (written)
        html += QStringLiteral("<p>Последняя запись %1: <b>%2</b></p>")
                    .arg(esc(written->time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))),
                        esc(w.result()));
    else
        html += QStringLiteral("<p>Коэффициенты в этом прогоне не записывались.</p>");

    const Residuals &residuals = now.residuals;
    html
        += QStringLiteral("<p><b>Остаток после коррекции</b> (|полином − среднее / среднее при "
                          "+20 °C|, % от значения при +20 °C, по покрытым градусам диапазона)</p>");
    // The verdict of the write as it was made (and journalled), else of the current fit.
    const CalibrationRecord &judged = written ? *written : now;
    const bool pass = judged.passes(limit);
    QString verdict = QStringLiteral("<p>Заключение: <span class='%1'>%2</span></p>")
                          .arg(pass ? QStringLiteral("pass") : QStringLiteral("fail"),
                              esc(judged.verdict(limit)));
    if (judged.asLeftPercent)
        verdict += QStringLiteral("<p>Проверка после записи: наибольшее |v(T)/v(+20) − 1| = %1 %, "
                                  "допуск %2 %</p>")
                       .arg(percent(*judged.asLeftPercent), percent(limit));
    if (judged.covered < judged.total)
        html += QStringLiteral("<p>Оценка опирается только на %1 из %2 градусов диапазона.</p>")
                    .arg(judged.covered)
                    .arg(judged.total);
    if (!residuals.isValid()) {
        html += QStringLiteral("<p>Не оценён: нет среднего значения при +20 °C или ни одного "
                               "градуса диапазона.</p>")
            + verdict;
    } else {
        html += QStringLiteral("<p>Наибольший: %1 %, СКЗ: %2 %, допуск: %3 %</p>")
                    .arg(percent(residuals.largest()), percent(residuals.rms()), percent(limit));
        html += verdict;
        *degrees = CertificateText::degrees(now, limit);
    }
    residual->residuals = residuals.byDegree();
    residual->uncertainty = now.uncertainty;
    residual->tolerance = limit;

    plot->title = QStringLiteral("ДУТ %1, %2").arg(setup.sensor).arg(now.kind);
    plot->midl = midl;
    plot->delta = SensorData::deviationOf(midl, kind);
    for (int i = 0; i < 6; ++i)
        plot->k[i] = double(w.sent[i]);
    plot->rangeMin = now.rangeMin;
    plot->rangeMax = now.rangeMax;
    return html;
}

// html laid out across the page's width; in pages of pageHeight when it is given.
void layOut(QTextDocument &document, QPdfWriter &pdf, const QString &html, qreal pageHeight = 0)
{
    document.documentLayout()->setPaintDevice(&pdf);
    document.setDefaultStyleSheet(kStyle);
    document.setHtml(QStringLiteral("<body>%1</body>").arg(html));
    if (pageHeight > 0)
        document.setPageSize(QSizeF(pdf.width(), pageHeight));
    else
        document.setTextWidth(pdf.width());
}

// Draws html across the page's width from the top; returns the height it took.
qreal drawText(QPainter &painter, QPdfWriter &pdf, const QString &html)
{
    QTextDocument document;
    layOut(document, pdf, html);
    document.drawContents(&painter);
    return document.size().height();
}

// One sensor's part of the report: its text and plots on one page, and its table of residuals
// under the text when the plots keep a third of the page, else on pages of its own (a range of
// 121 degrees fills two).
struct SensorPages
{
    std::unique_ptr<QTextDocument> page; // the text above the plots, the table too if it fits
    std::unique_ptr<QTextDocument> table; // the table in pages of its own, else null
    ReportPlot::Data plot;
    ResidualPlot::Data residual;
    int tablePages() const { return table ? table->pageCount() : 0; }
};

} // namespace

CalibrationReport::Input CalibrationReport::collect(MainWindow &window, const QString &loadedRun)
{
    Input input;
    input.time = QDateTime::currentDateTime();
    input.workingDirectory = QDir::currentPath();
    input.runDirectory = window.sensorBank()->runDirectory();
    if (input.runDirectory.isEmpty())
        input.runDirectory = loadedRun;
    const QList<CalibrationRecord> journalled = input.runDirectory.isEmpty()
        ? QList<CalibrationRecord>()
        : CalibrationJournal::ofRun(
            JournalFiles::read(CalibrationBook::journalPath()), input.runDirectory);
    const auto *protocolList
        = window.protocolPanel()->findChild<QComboBox *>(QStringLiteral("cbProtocol"));
    input.protocol = protocolList ? protocolList->currentText()
                                  : QString::number(window.protocolPanel()->currentProtocol());
    input.bench = window.windowTitle();
    input.tolerance = tolerance();
    input.info = CalibrationInfo::read();
    input.runId = window.sensorBank()->currentRunId();
    if (input.runId.isEmpty() && !input.runDirectory.isEmpty())
        input.runId = RunId::last(input.runDirectory);
    input.certificate = RunCertificate::of(
        input.runDirectory, input.workingDirectory, input.info.station, input.time.date());
    for (quint8 s = 0; s < Duts::dutCount; ++s) {
        const Dut *dut = window.sensorBank()->dut(s);
        std::optional<CalibrationRecord> written = window.calibrationBook()->lastWrite(s);
        // The journal keeps whole seconds: its copy of the last write, and the check after it
        // (as left), may carry the same second as the write the bench holds.
        const QDateTime since
            = written ? written->time.addMSecs(-written->time.time().msec()) : QDateTime();
        for (const CalibrationRecord &record : journalled) {
            // A read of what the sensor held is no write.
            if (record.stage == QLatin1String("found"))
                continue;
            if (record.sensor != s || (since.isValid() && record.time < since))
                continue;
            // The check after a write judges that write, which keeps its own time and values.
            if (record.stage == QLatin1String("as_left") && written)
                written->asLeftPercent = record.asLeftPercent;
            else
                written = record;
        }
        if (dut && (!dut->data()->isEmpty() || written))
            input.sensors.append(
                {dut->data(), dut->setup(), dut->coefficients(), written, dut->serial()});
    }
    return input;
}

QByteArray CalibrationReport::render(const Input &input)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QPdfWriter pdf(&buffer);
    pdf.setTitle(QStringLiteral("Отчёт о калибровке"));
    pdf.setCreator(input.bench);
    pdf.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15)));
    pdf.setResolution(300);
    QPainter painter;
    if (!painter.begin(&pdf))
        return {};

    const double limit = input.tolerance;
    QString summary;
    for (const Sensor &sensor : input.sensors) {
        summary += row(
            QStringLiteral("ДУТ %1, зав. № %2").arg(sensor.setup.sensor).arg(serialOf(sensor)),
            (sensor.written ? QStringLiteral("%1, %2").arg(
                 sensor.written->write.result(), sensor.written->verdict(limit))
                            : QStringLiteral("коэффициенты не записывались"))
                + AutoReport::summary(sensor.setup.sensor, input.automatic));
    }

    QString first
        = QStringLiteral("<h1>Отчёт о калибровке № %1</h1><table>")
              .arg(esc(input.certificate.isEmpty() ? QStringLiteral("—") : input.certificate));
    first += CertificateText::head(input);
    first += row(
        QStringLiteral("Дата"), input.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t")));
    first
        += row(QStringLiteral("Рабочий каталог"), QDir::toNativeSeparators(input.workingDirectory));
    first += row(QStringLiteral("Каталог прогона"),
        input.runDirectory.isEmpty() ? QStringLiteral("— (порт не открывался)")
                                     : QDir::toNativeSeparators(input.runDirectory));
    first += row(QStringLiteral("Протокол"), input.protocol);
    first += row(QStringLiteral("Стенд"), input.bench);
    first += row(QStringLiteral("Допуск остатка"), QStringLiteral("%1 %").arg(percent(limit)));
    first += QStringLiteral("</table><p><b>Датчики</b></p>");
    first += input.sensors.isEmpty() ? QStringLiteral("<p>Ни у одного датчика нет данных.</p>")
                                     : QStringLiteral("<table>%1</table>").arg(summary);
    first += QStringLiteral("<p>Результаты относятся только к откалиброванным датчикам, "
                            "перечисленным в этом сертификате.</p>");
    // Text stops above the page's foot line.
    const qreal bottom = pdf.height() - pdf.resolution() / 4.0;
    std::vector<SensorPages> parts;
    int pages = 1 + input.automatic.size();
    for (const Sensor &sensor : input.sensors) {
        if (!sensor.data)
            return {};
        SensorPages part;
        QString degrees;
        const QString text = sensorPage(sensor, limit, &part.plot, &part.residual, &degrees);
        part.page = std::make_unique<QTextDocument>();
        layOut(*part.page, pdf, text + degrees);
        if (part.page->size().height() > bottom * 2.0 / 3.0) {
            layOut(*part.page, pdf, text);
            // On pages of its own the table says whose it is; its head row repeats on each.
            part.table = std::make_unique<QTextDocument>();
            layOut(*part.table, pdf,
                QStringLiteral("<h2>Зав. № %1: остаток ± U по градусам</h2>")
                        .arg(esc(serialOf(sensor)))
                    + degrees,
                bottom);
        }
        pages += 1 + part.tablePages();
        parts.push_back(std::move(part));
    }

    drawText(painter, pdf, first);
    int page = 1;
    CertificateText::foot(painter, pdf, page, pages);
    for (const SensorPages &part : parts) {
        if (!pdf.newPage())
            return {};
        part.page->drawContents(&painter);
        // The plots take the rest of the page, at least a third of it, half each.
        const qreal top
            = std::min(part.page->size().height() + pdf.resolution() / 6.0, bottom / 3.0 * 2.0);
        const qreal half = (bottom - top) / 2;
        ReportPlot::draw(part.plot, painter, QRectF(0, top, pdf.width(), half));
        ResidualPlot::draw(part.residual, painter, QRectF(0, top + half, pdf.width(), half));
        CertificateText::foot(painter, pdf, ++page, pages);
        for (int i = 0; i < part.tablePages(); ++i) {
            if (!pdf.newPage())
                return {};
            painter.save();
            painter.translate(0, -i * bottom);
            part.table->drawContents(&painter, QRectF(0, i * bottom, pdf.width(), bottom));
            painter.restore();
            CertificateText::foot(painter, pdf, ++page, pages);
        }
    }
    if (!AutoReport::draw(painter, pdf, input.automatic, limit, kStyle, page, pages))
        return {};
    if (!painter.end())
        return {};
    return bytes;
}
