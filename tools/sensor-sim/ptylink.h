#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;
class QTimer;

// The simulator's end of the line: the master side of a pseudo-terminal whose slave device
// the bench opens as its serial port. The slave is made raw (no echo, no line editing) and
// kept open here as well, so that the bench closing and reopening the port does not leave
// the master without a slave, which would make every read fail with EIO.
class PtyLink : public QObject
{
    Q_OBJECT

public:
    // Bytes queued while nobody reads the line are kept up to this limit; beyond it they are
    // lost, as on a real line.
    static constexpr int maxPendingBytes = 64 * 1024;

    explicit PtyLink(QObject *parent = nullptr);
    ~PtyLink() override;

    bool open();
    QString errorString() const { return m_error; }
    QString devicePath() const { return m_devicePath; }

    void write(const QByteArray &bytes);

signals:
    void received(const QByteArray &bytes);

private:
    void readMaster();
    void writePending();
    void pauseReading();

    int m_master = -1;
    int m_slaveKeeper = -1;
    QString m_devicePath;
    QString m_error;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QTimer *m_resumeTimer = nullptr;
    QByteArray m_pending;
};
