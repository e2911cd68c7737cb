#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QVector>

class MainWindow;

// Asks before the window closes while something would be lost: run-log lines still waiting for
// a full or failing disk, or readings and calibration points not saved in a measurement set
// (the mid values of a sensor differ from those of the last set written or opened for it). Yes and
// No, with No as the default, so that a stray Enter keeps the bench running.
class CloseGuard : public QObject
{
    Q_OBJECT

public:
    explicit CloseGuard(MainWindow *window);

    // What closing now would lose, in the operator's words; empty when nothing.
    QString losses() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using Maps = QList<QMap<qint8, quint32>>;

    MainWindow *window = nullptr;
    // Per sensor, the maps of the last set written or opened for it; empty ones before any.
    QVector<Maps> saved;
};
