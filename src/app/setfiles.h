#pragma once

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>

class MainWindow;

// The measurement sets: every sensor's mid-value maps (Level, Freq, Period) saved to and opened
// from ".6fls" files (all six sensors, the bench strip's "Сохранить все"/"Открыть все") and
// ".1fls" files (one sensor, its panel's "Сохранить"/"Открыть"). Every save and open, and every
// failure, is said in the status bar.
class SetFiles : public QObject
{
    Q_OBJECT

public:
    static constexpr int allSensors = -1;
    using Maps = QList<QMap<qint8, quint32>>;

    explicit SetFiles(MainWindow *window);

    // Without the dialogs, of all six sensors or of sensor nomDut. A save replaces the file only
    // once all of it is written and then remembers it for the next dialogs; a failed save keeps
    // the old file. An open applies every complete sensor it finds as calibration points and
    // remembers the file for the next dialogs; the "file:" fields show it only where something
    // was applied. Both return whether the file was written or read.
    bool save(const QString &path, int nomDut = allSensors);
    bool load(const QString &path, int nomDut = allSensors);

    // The mid-value maps of one sensor or all, Level, Freq, Period per sensor: what a set
    // saved now would hold.
    Maps maps(int nomDut) const;

public slots:
    // Through the file dialogs.
    void slSaveAll();
    void slLoadAll();
    void slSave(quint8 nomDut);
    void slLoad(quint8 nomDut);

signals:
    // A set file now holds these maps, Level, Freq, Period per sensor, of all six sensors (or as
    // many whole sensors as maps holds) or of sensor nomDut: it was just written or just opened.
    void inFile(const QList<QMap<qint8, quint32>> &maps, int nomDut);

private:
    bool write(const QString &path, const Maps &maps, int nomDut);
    // A set file chosen by the operator; empty when the dialog was cancelled.
    QString ask(bool save, int nomDut);
    void status(const QString &message);

    MainWindow *const window;
};
