#include "settings/calibrationinfo.h"

#include "settings/settingskeys.h"

#include <QSettings>

#include <cmath>
#include <optional>

namespace {

const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

QString text(const QSettings &settings, const QString &key)
{
    return settings.value(key).toString().trimmed().left(CalibrationInfo::longestText);
}

} // namespace

QString CalibrationInfo::number(const QString &typed)
{
    QString text = typed.trimmed();
    text.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return QString();
    return QString::number(value, 'g', 6);
}

CalibrationInfo CalibrationInfo::read(const QSettings &settings)
{
    CalibrationInfo info;
    info.laboratory = text(settings, settingskeys::reportLaboratory());
    info.laboratoryAddress = text(settings, settingskeys::reportLaboratoryAddress());
    info.station = text(settings, settingskeys::reportStation());
    info.operatorName = text(settings, settingskeys::reportOperator());
    info.customer = text(settings, settingskeys::reportCustomer());
    info.reference = text(settings, settingskeys::reportReference());
    info.referenceCertificate = text(settings, settingskeys::reportReferenceCertificate());
    info.referenceDue
        = QDate::fromString(text(settings, settingskeys::reportReferenceDue()), kDateFormat);
    info.method = text(settings, settingskeys::reportMethod());
    info.ambientTemperature = number(text(settings, settingskeys::reportAmbientTemperature()));
    info.ambientHumidity = number(text(settings, settingskeys::reportAmbientHumidity()));
    return info;
}

CalibrationInfo CalibrationInfo::read()
{
    std::optional<QSettings> own;
    return read(settingskeys::reader(own));
}

void CalibrationInfo::store() const
{
    settingskeys::Batch batch;
    settingskeys::store(settingskeys::reportLaboratory(), laboratory);
    settingskeys::store(settingskeys::reportLaboratoryAddress(), laboratoryAddress);
    settingskeys::store(settingskeys::reportStation(), station);
    settingskeys::store(settingskeys::reportOperator(), operatorName);
    settingskeys::store(settingskeys::reportCustomer(), customer);
    settingskeys::store(settingskeys::reportReference(), reference);
    settingskeys::store(settingskeys::reportReferenceCertificate(), referenceCertificate);
    settingskeys::store(settingskeys::reportReferenceDue(),
        referenceDue.isValid() ? referenceDue.toString(kDateFormat) : QString());
    settingskeys::store(settingskeys::reportMethod(), method);
    settingskeys::store(settingskeys::reportAmbientTemperature(), ambientTemperature);
    settingskeys::store(settingskeys::reportAmbientHumidity(), ambientHumidity);
}

bool CalibrationInfo::referenceExpired(const QDate &today) const
{
    return referenceDue.isValid() && referenceDue < today;
}

QString CalibrationInfo::expiryWarning(const QDate &today) const
{
    if (!referenceExpired(today))
        return QString();
    return QStringLiteral("Срок поверки эталона %1 истёк %2")
        .arg(reference.isEmpty() ? QStringLiteral("(не назван)") : reference,
            referenceDue.toString(QStringLiteral("dd.MM.yyyy")));
}
