#pragma once

#include <QMetaType>
#include <QtGlobal>

class QString;

// One decoded answer of a sensor. A plain value record: every field starts at zero, and the
// fields after the two flags carry meaning only while `valid` is 1.
struct DutInfo
{
    quint8 kAnswer = 0; // 1: a coefficient write acknowledgement or read answer
    quint8 valid = 0; // 1: the answer carried a measurement
    quint8 nomDut = 0; // number 0..5 of the panel whose decoder produced the reading
    quint16 level = 0; // raw level, sensor counts
    quint16 freq = 0; // raw frequency, sensor counts
    quint32 period = 0; // raw period, sensor counts
    qint8 temp = 0; // whole degrees Celsius
    quint8 aux = 0; // status-position byte of the Veltaro-MD level answer
};

// The measured quantity a panel works with. The values are stored in files and passed in
// signals, so they must never be renumbered.
enum eTypeData { Level = 0, Freq = 1, Period = 2 };

Q_DECLARE_METATYPE(DutInfo)
Q_DECLARE_METATYPE(eTypeData)

// Kind named by a data-kind list text: a text beginning with "Период" is Period, else one
// beginning with "Частота" is Freq, anything else (an empty text too) is Level.
eTypeData typeDataFromText(const QString &text);
// Kind of entry i of the data-kind list "Период", "Частота", "Уровень" (entry i is kind 2 - i);
// an entry the list does not have is Level.
inline eTypeData typeDataOfEntry(int entry)
{
    return entry == 0 ? Period : entry == 1 ? Freq : Level;
}

// Makes "eTypeData" and "DutInfo" known to the meta-type system by name, so that queued and
// string-based connections can carry them. Idempotent and cheap; Request calls it on
// construction and it also runs when the application object is created.
void registerTarikonTypes();
