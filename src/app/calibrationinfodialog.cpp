#include "app/calibrationinfodialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>
#include <QVBoxLayout>

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
const QString kRefused = QStringLiteral("background-color: pink;");

// Marks a field that does not hold what it must; gives whether it does.
bool mark(QLineEdit *edit, bool good)
{
    edit->setStyleSheet(good ? QString() : kRefused);
    return good;
}

} // namespace

CalibrationInfoDialog::CalibrationInfoDialog(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("calibrationInfoDialog"));
    setWindowTitle(QStringLiteral("Сведения о калибровке"));
    const CalibrationInfo stored = CalibrationInfo::read();
    auto *layout = new QVBoxLayout(this);
    auto *form = new QFormLayout();
    layout->addLayout(form);
    auto add = [&](QLineEdit *&edit, const char *name, const QString &label, const QString &value) {
        edit = field(name, label, value);
        form->addRow(label, edit);
    };
    add(leLaboratory, "leLaboratory", QStringLiteral("Лаборатория"), stored.laboratory);
    add(leLaboratoryAddress, "leLaboratoryAddress", QStringLiteral("Адрес лаборатории"),
        stored.laboratoryAddress);
    add(leStation, "leStation", QStringLiteral("Стенд"), stored.station);
    add(leOperator, "leOperator", QStringLiteral("Оператор"), stored.operatorName);
    add(leCustomer, "leCustomer", QStringLiteral("Заказчик"), stored.customer);
    add(leReference, "leReference", QStringLiteral("Эталонный термометр"), stored.reference);
    add(leReferenceCertificate, "leReferenceCertificate",
        QStringLiteral("Свидетельство о поверке эталона"), stored.referenceCertificate);
    add(leReferenceDue, "leReferenceDue", QStringLiteral("Поверка эталона действительна до"),
        stored.referenceDue.isValid() ? stored.referenceDue.toString(kDateFormat) : QString());
    leReferenceDue->setPlaceholderText(QStringLiteral("ГГГГ-ММ-ДД"));
    add(leMethod, "leMethod", QStringLiteral("Методика"), stored.method);
    add(leAmbientTemperature, "leAmbientTemperature", QStringLiteral("Температура воздуха, °C"),
        stored.ambientTemperature);
    add(leAmbientHumidity, "leAmbientHumidity", QStringLiteral("Влажность воздуха, %"),
        stored.ambientHumidity);
    leStation->setPlaceholderText(QStringLiteral("ST1"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttons"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CalibrationInfoDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CalibrationInfoDialog::reject);
}

QLineEdit *CalibrationInfoDialog::field(
    const char *name, const QString &label, const QString &value)
{
    auto *edit = new QLineEdit(value, this);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setMaxLength(CalibrationInfo::longestText);
    edit->setAccessibleName(label);
    // Room for a laboratory's name or address without scrolling inside the field.
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 48);
    return edit;
}

CalibrationInfo CalibrationInfoDialog::info(bool *ok) const
{
    CalibrationInfo info;
    info.laboratory = leLaboratory->text().trimmed();
    info.laboratoryAddress = leLaboratoryAddress->text().trimmed();
    info.station = leStation->text().trimmed();
    info.operatorName = leOperator->text().trimmed();
    info.customer = leCustomer->text().trimmed();
    info.reference = leReference->text().trimmed();
    info.referenceCertificate = leReferenceCertificate->text().trimmed();
    info.method = leMethod->text().trimmed();
    const QString due = leReferenceDue->text().trimmed();
    info.referenceDue = QDate::fromString(due, kDateFormat);
    info.ambientTemperature = CalibrationInfo::number(leAmbientTemperature->text());
    info.ambientHumidity = CalibrationInfo::number(leAmbientHumidity->text());

    // Every field is marked, not only the first one wrong.
    bool good = mark(leReferenceDue, due.isEmpty() || info.referenceDue.isValid());
    good = mark(leAmbientTemperature,
               leAmbientTemperature->text().trimmed().isEmpty()
                   || !info.ambientTemperature.isEmpty())
        && good;
    good = mark(leAmbientHumidity,
               leAmbientHumidity->text().trimmed().isEmpty() || !info.ambientHumidity.isEmpty())
        && good;
    if (ok)
        *ok = good;
    return info;
}

void CalibrationInfoDialog::accept()
{
    bool ok = false;
    const CalibrationInfo typed = info(&ok);
    if (!ok)
        return;
    typed.store();
    QDialog::accept();
}

void CalibrationInfoDialog::atPollingStart(
    QWidget *window, const std::function<void(const QString &)> &status)
{
    const CalibrationInfo info = CalibrationInfo::read();
    status(info.expiryWarning(QDate::currentDate()));
    if (!info.operatorName.isEmpty())
        return;
    static QPointer<QInputDialog> asking;
    if (asking)
        return;
    asking = new QInputDialog(window);
    asking->setObjectName(QStringLiteral("operatorQuestion"));
    asking->setAttribute(Qt::WA_DeleteOnClose);
    asking->setWindowTitle(QStringLiteral("Оператор"));
    asking->setLabelText(QStringLiteral("Фамилия и инициалы оператора:"));
    asking->setTextValue(QString());
    // The bench keeps polling while the question waits.
    asking->setModal(false);
    QObject::connect(asking, &QInputDialog::textValueSelected, window, [](const QString &name) {
        const QString trimmed = name.trimmed().left(CalibrationInfo::longestText);
        if (trimmed.isEmpty())
            return;
        CalibrationInfo info = CalibrationInfo::read();
        info.operatorName = trimmed;
        info.store();
    });
    asking->show();
}
