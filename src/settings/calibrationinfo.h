#pragma once

#include <QDate>
#include <QString>

class QSettings;

// Who calibrated, where, for whom and with what reference, as the certificate and the journal
// name them. Kept in the "Report" group of the settings file; the operator edits it through
// "Сведения о калибровке…".
struct CalibrationInfo
{
    static constexpr int longestText = 200;

    QString laboratory;
    QString laboratoryAddress;
    QString station; // the bench's name, e.g. "ST1"
    QString operatorName;
    QString customer;
    QString reference; // the reference thermometer: name and number
    QString referenceCertificate;
    QDate referenceDue; // invalid when not given
    QString method;
    QString ambientTemperature; // °C, a number as typed, or empty
    QString ambientHumidity; // %, the same

    // Reads what the file holds; texts are trimmed and cut at longestText characters, a due date
    // that is not yyyy-MM-dd reads as none and an ambient value that is no number as empty.
    static CalibrationInfo read(const QSettings &settings);
    static CalibrationInfo read();
    void store() const;

    // Whether the reference's certificate has run out by `today`.
    bool referenceExpired(const QDate &today) const;
    // "Срок поверки эталона … истёк …" for the status bar, or empty.
    QString expiryWarning(const QDate &today) const;

    // A typed number with ',' or '.' as its point, in the form "21.5"; empty if it is none.
    static QString number(const QString &typed);
};
