#pragma once

#include "settings/calibrationinfo.h"

#include <QDialog>

#include <functional>

class QLineEdit;

// "Сведения о калибровке…": who calibrates, where, for whom and with what reference. Opens
// with what the settings hold; "OK" stores it, unless a date or a number is not one (the field
// turns pink and the form stays open).
class CalibrationInfoDialog : public QDialog
{
    Q_OBJECT

public:
    explicit CalibrationInfoDialog(QWidget *parent);

    // What the fields hold now; ok is false when a field is not what it must be.
    CalibrationInfo info(bool *ok = nullptr) const;

    // Polling starts: asks for the operator's name when none is stored (a small window that
    // does not stop the bench; at most one at a time) and says through `status` whether the
    // reference's certificate has run out (an empty message when it has not).
    static void atPollingStart(QWidget *window, const std::function<void(const QString &)> &status);

public slots:
    void accept() override;

private:
    QLineEdit *field(const char *name, const QString &label, const QString &value);

    QLineEdit *leLaboratory = nullptr;
    QLineEdit *leLaboratoryAddress = nullptr;
    QLineEdit *leStation = nullptr;
    QLineEdit *leOperator = nullptr;
    QLineEdit *leCustomer = nullptr;
    QLineEdit *leReference = nullptr;
    QLineEdit *leReferenceCertificate = nullptr;
    QLineEdit *leReferenceDue = nullptr;
    QLineEdit *leMethod = nullptr;
    QLineEdit *leAmbientTemperature = nullptr;
    QLineEdit *leAmbientHumidity = nullptr;
};
