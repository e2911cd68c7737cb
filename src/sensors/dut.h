#pragma once

#include "protocol/dutinfo.h"
#include "sensors/calibrationrecord.h"
#include "sensors/coverage.h"
#include "sensors/sensordata.h"
#include "settings/sensorsetup.h"

#include <QByteArray>
#include <QMap>
#include <QRgb>
#include <QString>
#include <QWidget>

#include <array>
#include <optional>

class LineEditMax;
class LineEditMin;
class MyCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class Request;
class SerialEdit;

// One sensor's panel: polls the sensor, shows and collects its readings per temperature,
// keeps the calibration points and the deviation statistics, and steers the sensor's curves
// on the plot (visibility and colours). Six of them sit in the sensor bank, numbered 0..5.
class Dut : public QWidget
{
    Q_OBJECT

public:
    using ValueSet = SensorData::ValueSet;
    using ValueSets = SensorData::ValueSets;
    using MidlMap = SensorData::MidlMap;
    using CurveMap = SensorData::CurveMap;

    Dut(QWidget *parent, uchar nomDut);
    ~Dut() override;

    uchar number() const { return nomDut; }
    // The sensor's collected data; the panel shows what it computes.
    SensorData *data() const { return model; }

    // Polling cycle: the measurement frame for this sensor, or nothing while its address is "off".
    // A request greys the status field for 100 ms.
    QByteArray pollRequest();
    // Decodes an answer to the last poll, shows it and collects it. The returned record is no
    // longer valid when the temperature lies outside -90..+100 °C (shown and stored, not plotted).
    DutInfo takeAnswer(QByteArray *answer);
    // Coefficient cycle: the next coefficient frame (to address 255 while "off"), no display.
    QByteArray getRequestK();
    // The line is gone: a coefficient exchange under way ends as failed.
    void abandonExchange();
    // Whether a coefficient write or read has steps still to run.
    bool exchangeRunning() const;
    DutInfo checkKAnswer(QByteArray *answer);

    // The address chosen ("off" or 0..254) and whether the sensor is polled at all.
    QString addressText() const;
    bool isPolled() const;

    void setProtocol(uchar protocol);
    void setStarted(bool started);
    void setKEnabled(bool enabled);
    // Re-announces the stored address, range, visibility, polynomial and colours.
    void applySettings();
    void setFileName(const QString &name);

    // The value sets of the current data kind.
    const ValueSets *getValues() const;
    // Collects a reading taken earlier (read back from a run log) as if it had just been
    // polled; nothing is shown and no curve is redrawn.
    void addReading(const DutInfo &info);
    // Calibration points of a kind, replaced as a whole (a measurement set was opened).
    void setPoints(const MidlMap &points, eTypeData kind);

    eTypeData currentKind() const;
    // Whether either coefficient column holds anything but the "0" a clear leaves.
    bool hasCoefficients() const;
    // How much of the "Диап." range the mid values of the current kind cover, as lCoverage
    // shows it; kept up to date with every reading, point, clear, kind and range change.
    Coverage coverage() const { return rangeCoverage; }

    // Coefficient files without the dialogs. saveFileK writes the six texts of the write/read
    // column to path (atomically; a failure keeps the old file) and remembers path for the next
    // save dialog. loadFileK fills the column from path and remembers it for the next open
    // dialog; a file that cannot be opened, or whose six values are not all numbers, changes
    // nothing. Both say through sigStatus what they did and return whether the file was written
    // or read.
    bool saveFileK(const QString &path);
    bool loadFileK(const QString &path);

    // The operator's choices on this panel, read from its widgets.
    SensorSetup setup() const;
    // The coefficients of the last fit, or those of the last write started since.
    CoefficientWrite::Values coefficients() const;
    // Whether the write column differs from the current fit (marked on the panel).
    bool writeColumnStale() const { return staleColumn; }

    // The sensor's serial number as scanned into leSerial; empty when none was accepted.
    QString serial() const;
    SerialEdit *serialEdit() const { return leSerial; }
    // "Запись К" for a sensor without a serial number asks first (No is the default).
    bool confirmWithoutSerial();
    // The sensor in this slot is taken away: its serial number goes, and so does what was last
    // read from it, so that the next write reads the new sensor's coefficients first.
    void forgetSensor();

public slots:
    // Rebuilds the mid-value map of a kind (calibration points win over readings) and reruns
    // the window statistics over it. The map stays valid until the next rebuild.
    MidlMap *getMidl(eTypeData kind);
    MidlMap *getMidl();
    // Deviation from the value nearest to 20 °C, in percent, for the current kind.
    CurveMap *getDelta();
    // The fitted trend curve of the current kind.
    CurveMap *getTrend();
    void setPoint(qint8 temp, quint32 value, eTypeData kind);
    // Sets the calibration point at the temperature of mid-value entry number nomPoint of the
    // current kind; gives that temperature, or nothing for an entry the map does not have.
    std::optional<qint8> editPoint(quint8 nomPoint, quint32 value);

    void slClear();
    // "Очистить": asks before throwing collected readings or points away.
    void slAskClear();
    void slTimerErr();
    void changeDiapazon();
    void slUpdateDelta();
    void slTypePolinom(const QString &text);
    void slNomPolinom(int degree);
    void slUpdateVisible();
    void slUpdateAll(bool checked);
    void slUpdateNomDut(int index);
    void slSave();
    void slLoad();
    void slCalc2Save();
    void slUpdateK();
    // "Запись К": checks the write column, asks when it holds zeros for coefficients and when
    // the range is not fully covered (No is the default of both), then starts the write.
    void slAskSaveK();
    // Starts the write of the column without asking; a text the sensor cannot hold is refused.
    void slStartSaveK();
    void slStartReadK();
    void slUpdateLableK(quint8 nomK);
    void slUpdateReadK(quint8 nomK);
    void slUpdateReadK(quint8 nomK, float value);
    void slSaveFileK();
    void slLoadFileK();

signals:
    void sendTypePolinom(quint8 nomDut, eTypeData kind);
    void sendNomPolinom(int nomDut);
    void sigSave(quint8 nomDut);
    void sigLoad(quint8 nomDut);
    void updatePlot(quint8 nomDut, quint8 en);
    void updatePlotColor(quint8 nomDut, QRgb value, QRgb midl, QRgb delta, QRgb trend, QRgb k);
    void sigUpdateK(quint8 nomDut, double *k);
    // A coefficient write or read finished ("OK") or ran out of tries ("ERROR"). The window
    // shows its box after the tick that raised it.
    void sigExchangeOk(quint8 nomDut);
    void sigExchangeError(quint8 nomDut);
    // Something the operator must know that has no field on the panel (a coefficient file that
    // could not be saved, a write refused); the window shows it in its status bar. Each topic
    // is one condition; an empty message says that the condition is over.
    void sigStatus(const QString &message, const QString &topic);
    void addressChanged(quint8 nomDut);
    // A coefficient write that reached the line has ended, verified or not.
    void sigCalibrated(quint8 nomDut, const CalibrationRecord &record);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Reads the write column into single-precision values; a text the sensor cannot hold is
    // said in the status bar and gives false.
    bool writeColumn(CoefficientWrite::Values &values);
    void startWrite(const CoefficientWrite::Values &values);
    void buildForm();
    void readSettings();
    void readColors(const SensorSetup &stored);
    MyCheckBox *colorBox(CurveColor curve) const;
    void makeConnections();
    // The write's verdict, the exchange failures and the stale-column mark.
    void connectCalibration();
    void takeWrite(const CoefficientWrite &write);
    void updateStaleMark();
    void showWindowStatistics(eTypeData kind);
    void setStatusStyle(const QString &style);
    void setColor(CurveColor curve, QRgb color);
    void emitColors();
    quint8 visibilityMask() const;
    // Counts the range's degrees in the current kind's mid values and shows them on lCoverage.
    void refreshCoverage();
    void showCoverage(const MidlMap &midl);

    const uchar nomDut;

    SensorData *model = nullptr;
    Coverage rangeCoverage;

    quint16 errCount = 0;
    QString lastStyle;
    QTimer *errTimer = nullptr;
    Request *request = nullptr;

    float kValues[6] = {};
    double kCurve[6] = {};
    bool staleColumn = false;

    std::array<quint32, 5> colors {}; // by CurveColor

    // Curve row
    MyCheckBox *cbAll = nullptr;
    MyCheckBox *cbValue = nullptr;
    MyCheckBox *cbMidl = nullptr;
    MyCheckBox *cbDelta = nullptr;
    MyCheckBox *cbTrend = nullptr;
    MyCheckBox *cbK = nullptr;

    // Readings and coefficients
    QLineEdit *leFileName = nullptr;
    SerialEdit *leSerial = nullptr;
    QLabel *lName = nullptr;
    QComboBox *cbPort = nullptr;
    QLabel *leTypeData = nullptr;
    QLineEdit *leLevel = nullptr;
    QLineEdit *leFreq = nullptr;
    QLineEdit *lePeriod = nullptr;
    QLineEdit *leTemperat = nullptr;
    QLineEdit *leErr = nullptr;
    QLineEdit *lineEdit = nullptr;
    QLineEdit *lineEdit_2 = nullptr;
    QLabel *lCoverage = nullptr;
    std::array<QLineEdit *, 6> leK {};
    std::array<QLineEdit *, 6> leReadK {};
    QPushButton *pbCalc2Save = nullptr;

    // Polynomial, range and deviations
    QComboBox *cbTypePolinom = nullptr;
    QSpinBox *sbNomPolinom = nullptr;
    LineEditMin *leMin = nullptr;
    LineEditMax *leMax = nullptr;
    QLineEdit *leDiap = nullptr;
    QLineEdit *leDeltaMinusPlus = nullptr;
    QLineEdit *leDeltaMinusMinus = nullptr;
    QLineEdit *leDeltaPlusPlus = nullptr;
    QLineEdit *leDeltaPlusMinus = nullptr;
    QLineEdit *leDeltaPlus = nullptr;
    QLineEdit *leDeltaMinus = nullptr;
    QPushButton *pbReadK = nullptr;
    QPushButton *pbSaveK = nullptr;
    QPushButton *pbLoadFileK = nullptr;
    QPushButton *pbSaveFileK = nullptr;

    // Measurement-set buttons
    QPushButton *pbLoad = nullptr;
    QPushButton *pbSave = nullptr;
    QPushButton *pbClear = nullptr;
};
