#include "app/recordcertificate.h"

#include "records/recordrow.h"
#include "settings/safefile.h"

#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

QString row(const QString &name, const QString &value)
{
    return QStringLiteral("<tr><td>%1</td><td>%2</td></tr>")
        .arg(esc(name), value.isEmpty() ? QStringLiteral("—") : esc(value));
}

QString orDash(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("—") : esc(text);
}

} // namespace

QString RecordCertificate::html(const RecordRow &r)
{
    const bool passed = r.result == QLatin1String("OK");
    QString page
        = QStringLiteral("<h2>Запись калибровки: ДУТ %1%2</h2><table>")
              .arg(r.sensor)
              .arg(r.serial.isEmpty() ? QString() : QStringLiteral(", зав. № ") + esc(r.serial));
    page += row(QStringLiteral("Время"), r.time);
    page += row(QStringLiteral("Стенд"), r.station);
    page += row(QStringLiteral("Заводской номер"), r.serial);
    page += row(QStringLiteral("Прогон"), r.run);
    page += row(QStringLiteral("Адрес"), r.value(QStringLiteral("address")));
    page += row(QStringLiteral("Протокол"), r.value(QStringLiteral("protocol")));
    page += row(QStringLiteral("Тип данных"), r.value(QStringLiteral("kind")));
    page += row(QStringLiteral("Степень полинома"), r.value(QStringLiteral("degree")));
    page += row(QStringLiteral("Диапазон, °C"),
        QStringLiteral("%1 … %2").arg(
            r.value(QStringLiteral("range_min")), r.value(QStringLiteral("range_max"))));
    page += row(QStringLiteral("Покрытие, градусов"), r.value(QStringLiteral("covered")));
    page += row(QStringLiteral("Наибольший остаток, %"), r.value(QStringLiteral("max_residual")));
    page += QStringLiteral("</table><p><b>Коэффициенты</b></p><table border='1' cellspacing='0'>"
                           "<tr><th></th><th>До записи</th><th>Записано</th>"
                           "<th>Прочитано после записи</th></tr>");
    for (int i = 0; i < 6; ++i) {
        page += QStringLiteral("<tr><td>K%1</td><td>%2</td><td>%3</td><td>%4</td></tr>")
                    .arg(i)
                    .arg(orDash(r.value(QStringLiteral("found%1").arg(i))),
                        orDash(r.value(QStringLiteral("k%1").arg(i))),
                        orDash(r.value(QStringLiteral("read%1").arg(i))));
    }
    page += QStringLiteral("</table><p>Результат записи: <b style='color:%1'>%2</b></p>")
                .arg(passed ? QStringLiteral("#006000") : QStringLiteral("#b00000"),
                    orDash(r.result));
    // Whatever else the record holds (columns of later benches) is shown as it is.
    static const QStringList shown {QStringLiteral("address"), QStringLiteral("protocol"),
        QStringLiteral("kind"), QStringLiteral("degree"), QStringLiteral("range_min"),
        QStringLiteral("range_max"), QStringLiteral("covered"), QStringLiteral("max_residual")};
    QString more;
    for (const auto &column : r.columns) {
        const QString &name = column.first;
        const bool coefficient = name.size() >= 2 && name.back().isDigit()
            && (name.startsWith(QLatin1String("found")) || name.startsWith(QLatin1String("k"))
                || name.startsWith(QLatin1String("read")));
        if (!shown.contains(name) && !coefficient && !column.second.isEmpty())
            more += row(name, column.second);
    }
    if (!more.isEmpty())
        page += QStringLiteral("<table>%1</table>").arg(more);
    page += QStringLiteral("<p style='font-size:7pt'>Запись %1%2</p>")
                .arg(esc(r.uuid),
                    r.amends.isEmpty() ? QString()
                                       : QStringLiteral(", исправляет запись ") + esc(r.amends));
    return page;
}

QByteArray RecordCertificate::pdf(const RecordRow &r)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly))
        return {};
    QPdfWriter writer(&buffer);
    writer.setTitle(QStringLiteral("Запись калибровки %1").arg(r.uuid));
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(15, 15, 15, 15)));
    writer.setResolution(300);
    QPainter painter;
    if (!painter.begin(&writer))
        return {};
    QTextDocument document;
    document.setDefaultStyleSheet(QStringLiteral(
        "body { font-family: 'DejaVu Sans'; font-size: 9pt; } td, th { padding: 2px 6px; }"));
    document.setHtml(QStringLiteral("<body>%1</body>").arg(html(r)));
    document.setPageSize(QSizeF(writer.width(), writer.height()));
    document.drawContents(&painter);
    return painter.end() ? bytes : QByteArray();
}

void RecordCertificate::show(QWidget *parent, const RecordRow &r)
{
    auto *dialog = new QDialog(parent);
    dialog->setObjectName(QStringLiteral("RecordCertificate"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Запись калибровки %1").arg(r.uuid));
    dialog->resize(700, 800);
    auto *layout = new QVBoxLayout(dialog);
    auto *browser = new QTextBrowser(dialog);
    browser->setObjectName(QStringLiteral("tbCertificate"));
    browser->setHtml(html(r));
    layout->addWidget(browser);
    auto *note = new QLabel(dialog);
    note->setObjectName(QStringLiteral("lCertificateNote"));
    layout->addWidget(note);
    auto *save = new QPushButton(QStringLiteral("Сохранить PDF…"), dialog);
    save->setObjectName(QStringLiteral("pbSavePdf"));
    layout->addWidget(save);
    QObject::connect(save, &QPushButton::clicked, dialog, [dialog, note, r] {
        const QString path = QFileDialog::getSaveFileName(dialog, QStringLiteral("Сохранить PDF"),
            QDir::current().filePath(QStringLiteral("record-%1.pdf").arg(r.uuid)),
            QStringLiteral("PDF (*.pdf)"));
        if (path.isEmpty())
            return;
        QString error;
        const QByteArray bytes = pdf(r);
        if (bytes.isEmpty())
            error = QStringLiteral("PDF не построен");
        note->setText(!bytes.isEmpty() && SafeFile::write(path, bytes, &error)
                ? QStringLiteral("Записано: %1").arg(QDir::toNativeSeparators(path))
                : QStringLiteral("Не записано: %1").arg(error));
    });
    dialog->show();
}
