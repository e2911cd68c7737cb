#pragma once

#include <QList>
#include <QObject>

class Dut;

// The serial numbers of the bank's panels as one list: a code finished on a panel is taken
// unless another panel already holds it (then it is refused, and the status bar names both
// panels), and Enter moves on to the serial field of the next polled panel, so the labels of
// six sensors are scanned one after the other.
class SerialScan : public QObject
{
    Q_OBJECT

public:
    SerialScan(const QList<Dut *> &panels, QObject *parent);

signals:
    void sigStatus(const QString &message, const QString &topic);

private:
    void entered(int nomDut, bool withEnter);

    const QList<Dut *> panels;
};
