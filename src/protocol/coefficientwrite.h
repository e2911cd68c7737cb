#pragma once

#include <QMetaType>
#include <QString>
#include <QVector>

#include <array>

// One coefficient write as it went: what was in the sensor before (the last complete read of
// this bench run), what was sent, what the read-back that follows every write returned, and
// the verdict. Coefficients in the panel's order K0..K5.
struct CoefficientWrite
{
    using Values = std::array<float, 6>;
    using Flags = std::array<bool, 6>;

    Values found {};
    bool haveFound = false;
    Values sent {};
    Values read {};
    Flags readBack {}; // whether read[i] came from the sensor
    bool ok = false;
    // What went wrong, in the operator's words; empty when ok.
    QString failure;

    // "OK", or "ERROR: " and the failure.
    QString result() const;
    // The coefficients read back whose bits differ from the ones sent.
    QVector<int> mismatched() const;
    // The differing coefficients, "K3 записан 3.3e-08, в датчике 3.3000002e-08", "; " between.
    QString mismatchText() const;

    static bool sameBits(float a, float b);
    // A coefficient as typed in the write/read column or read from a coefficient file, as the
    // sensor's single-precision cell would take it (a decimal comma reads as a point). Gives
    // why it cannot go to the sensor ("не число", "слишком велико для датчика", "слишком мало
    // для датчика"), or an empty text and the value: as typed, and as the sensor will hold it.
    static QString refusal(const QString &text, double *value);
    static QString refusal(const QString &text, float *value);
    // Why six values are no coefficients though each is a number: all zero (what a cleared
    // column holds), or K0 zero, which no polynomial normalised at +20 °C gives. Empty when
    // they are not.
    static QString zeroRefusal(const Values &values);
    // The same rule where a number is needed anyway: a refused text counts as 0.
    static double valueOr0(const QString &text);
    // The shortest decimal text that reads back to exactly this single-precision number.
    static QString text(float value);
};

Q_DECLARE_METATYPE(CoefficientWrite)
