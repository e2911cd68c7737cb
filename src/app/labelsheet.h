#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QVector>

// Labels for calibrated sensors, one 58 × 40 mm page each, as label printers take them: the
// serial number, the verdict ("ГОДЕН" or "НЕ ГОДЕН"), the date, the certificate number, and a Data
// Matrix code that holds "<serial>;<run identifier>" (the identifier is a UUID, so the last ';'
// splits them).
class LabelSheet
{
public:
    static constexpr double widthMm = 58;
    static constexpr double heightMm = 40;

    struct Label
    {
        QString serial;
        bool pass = false;
        QDate date;
        QString certificate;
        QString run;
    };

    // The text the Data Matrix code of a label holds.
    static QByteArray codeText(const Label &label);
    // The PDF of the labels; empty when there are none or a code cannot be made (then *error
    // says which and why).
    static QByteArray render(const QVector<Label> &labels, QString *error = nullptr);
};
