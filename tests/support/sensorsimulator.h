#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// The sensor simulator as a separate process: started with a counts file, its device path
// taken from the first line it prints, stopped with SIGTERM as an operator's terminal would.
class SensorSimulator
{
public:
    explicit SensorSimulator(const QString &program);
    ~SensorSimulator();
    SensorSimulator(const SensorSimulator &) = delete;
    SensorSimulator &operator=(const SensorSimulator &) = delete;

    // Starts it with `arguments` plus "--stats statsPath" and waits for its device path. On
    // failure errorText() says why.
    bool start(const QStringList &arguments, const QString &statsPath);
    // Ends it with SIGTERM; true when it exited by itself with code 0.
    bool stop();

    QString devicePath() const { return m_device; }
    QString errorText() const { return m_error; }
    // The counts file as it stands; an empty object while it cannot be read.
    QJsonObject counts() const;

    // The sensors' temperature dependences for the given options (--describe).
    static QJsonObject describe(const QString &program, const QStringList &arguments);

private:
    QString m_program;
    QString m_statsPath;
    QString m_device;
    QString m_error;
    QProcess m_process;
};
