#pragma once

#include <QWidget>

#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The strip with the sensor protocol, the polling period, start/stop and the save, open and
// clear buttons for all sensors. The text of the start button is the only record of whether
// polling runs: "Stop" shown means it does.
class Protocol : public QWidget
{
    Q_OBJECT

public:
    explicit Protocol(QWidget *parent = nullptr);

    bool isStarted() const;
    int currentProtocol() const;
    // Whether "Автокалибровка" is checked: while polling runs, the bench writes and checks
    // each polled sensor's coefficients by itself.
    bool isAutoCalibration() const;
    // The polling period in seconds, 1..99.
    int period() const;
    void setFileName(const QString &fileName);
    // Asked by "Очистить все" before anything is cleared; false keeps everything.
    void setClearConfirmation(std::function<bool()> confirm);

signals:
    void changeProtocol(quint8 nomProtocol);
    void changePeriod(int seconds);
    void changeStart(bool started);
    void changeAutoCalibration(bool on);
    void sigSave();
    void sigLoad();
    void sigClear();

public slots:
    // Both store and announce what their widget shows; the argument is not used.
    void slChangeProtocol(int);
    void slChangePeriod(int);
    void slChangeStart();
    // Stores the switch and announces it.
    void slChangeAutoCalibration(bool on);
    void slLoad();
    void slSave();
    void slClear();

private:
    QComboBox *cbProtocol = nullptr;
    QSpinBox *sbPeriod = nullptr;
    QPushButton *pbStart = nullptr;
    QCheckBox *cbAutoCalibration = nullptr;
    QLineEdit *leFileName = nullptr;
    std::function<bool()> confirmClear;
};
