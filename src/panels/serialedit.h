#pragma once

#include <QLineEdit>

// A sensor's serial number ("Зав. №") on its panel, typed or read by a keyboard-wedge barcode
// scanner, which types the code and then Enter. The code is kept under "DUT/Serial%1", so a
// restarted bench shows it again. Whether a code is taken is for the bank to say: a refused
// code stays in the field, pink, but is not the panel's serial number.
class SerialEdit : public QLineEdit
{
    Q_OBJECT

public:
    static constexpr int longest = 64;

    SerialEdit(int nomDut, QWidget *parent);

    // The accepted code; empty while the field is blank or its code was refused.
    QString serial() const { return accepted; }
    // The code as typed, without the spaces around it.
    QString typed() const { return text().trimmed(); }

    // Takes the typed code as the serial number and stores it.
    void take();
    // Shows the typed code as refused; the panel then has no serial number.
    void refuse();
    // Empties the field and the stored code.
    void clearSerial();

signals:
    // The operator has finished a code: with Enter (a scanner always ends so), or by leaving
    // the field after changing it.
    void sigEntered(int nomDut, bool withEnter);

private:
    void store();

    const int nomDut;
    QString accepted;
};
