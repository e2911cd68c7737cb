#pragma once

#include <QObject>
#include <QVector>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and the like into a Qt signal. The handler only writes the signal
// number into a pipe; the event loop reads it and emits caught(), so nothing but a write(2)
// ever runs inside the handler. One watcher per process.
class SignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit SignalWatcher(QObject *parent = nullptr);
    ~SignalWatcher() override;

    bool watch(const QVector<int> &signalNumbers);

signals:
    void caught(int signalNumber);

private:
    void readPipe();

    int m_readEnd = -1;
    int m_writeEnd = -1;
    QVector<int> m_watched;
    QSocketNotifier *m_notifier = nullptr;
};
