#include "app/setfiles.h"

#include "app/mainwindow.h"
#include "app/statusboard.h"
#include "panels/protocol.h"
#include "plot/plot.h"
#include "sensors/duts.h"
#include "sensors/measurementset.h"
#include "settings/dialogstart.h"
#include "settings/settingskeys.h"

#include <QDir>
#include <QFileDialog>

namespace {

constexpr int kSensors = Duts::dutCount;
constexpr eTypeData kKinds[MeasurementSet::mapsPerSensor] = {Level, Freq, Period};

// "ДУТ 0–5" for a set of several sensors from sensor 0, "ДУТ n" for one.
QString sensorsText(int first, int count)
{
    return count > 1 ? QStringLiteral("ДУТ %1–%2").arg(first).arg(first + count - 1)
                     : QStringLiteral("ДУТ %1").arg(first);
}

int pointCount(const SetFiles::Maps &maps)
{
    int points = 0;
    for (const MeasurementSet::Map &map : maps)
        points += map.size();
    return points;
}

} // namespace

SetFiles::SetFiles(MainWindow *window)
    : QObject(window)
    , window(window)
{
    setObjectName(QStringLiteral("setFiles"));
    connect(window->protocolPanel(), &Protocol::sigSave, this, &SetFiles::slSaveAll);
    connect(window->protocolPanel(), &Protocol::sigLoad, this, &SetFiles::slLoadAll);
    connect(window->sensorBank(), &Duts::sigSave, this, &SetFiles::slSave);
    connect(window->sensorBank(), &Duts::sigLoad, this, &SetFiles::slLoad);
}

void SetFiles::slSaveAll()
{
    // The maps are taken when the button is pressed; polling goes on while the dialog is open.
    const Maps taken = maps(allSensors);
    const QString path = ask(true, allSensors);
    if (!path.isEmpty())
        write(path, taken, allSensors);
}

void SetFiles::slLoadAll()
{
    const QString path = ask(false, allSensors);
    if (!path.isEmpty())
        load(path, allSensors);
}

void SetFiles::slSave(quint8 nomDut)
{
    const Maps taken = maps(nomDut);
    const QString path = ask(true, nomDut);
    if (!path.isEmpty())
        write(path, taken, nomDut);
}

void SetFiles::slLoad(quint8 nomDut)
{
    const QString path = ask(false, nomDut);
    if (!path.isEmpty())
        load(path, nomDut);
}

bool SetFiles::save(const QString &path, int nomDut)
{
    return write(path, maps(nomDut), nomDut);
}

bool SetFiles::load(const QString &path, int nomDut)
{
    const bool all = nomDut == allSensors;
    const QString where = QDir::toNativeSeparators(path);
    MeasurementSet::Contents contents;
    QString error;
    const int wanted = MeasurementSet::mapsPerSensor * (all ? kSensors : 1);
    if (path.isEmpty() || !MeasurementSet::read(path, wanted, &contents, &error)) {
        status(QStringLiteral("Набор не открыт: %1: %2").arg(where, error));
        return false;
    }
    // Both set dialogs start where a set was last saved or opened.
    settingskeys::store(settingskeys::loadPath(), path);
    settingskeys::store(settingskeys::savePath(), path);

    // Only whole sensors are applied; the others keep their points. A six-sensor set opened on
    // one panel gives it sensor 0's maps, a one-sensor set opened for all goes to sensor 0.
    // A set that gives nothing is named in no "file:" field.
    const int sensors = contents.maps.size() / MeasurementSet::mapsPerSensor;
    if (sensors == 0) {
        status(QStringLiteral("В наборе %1 нет ни одного полного датчика, точки не изменены")
                   .arg(where));
        return true;
    }
    Duts *bank = window->sensorBank();
    for (int group = 0; group < sensors; ++group) {
        const quint8 target = quint8(all ? group : nomDut);
        for (int k = 0; k < MeasurementSet::mapsPerSensor; ++k)
            bank->setMidl(
                target, contents.maps.at(MeasurementSet::mapsPerSensor * group + k), kKinds[k]);
        if (!all)
            bank->setFileName(target, path);
        // The readings go from the plot; the sensor is redrawn with its opened points.
        window->plot()->clearValueCurves();
        window->slUpdatePlot(target);
    }
    if (all)
        window->protocolPanel()->setFileName(path);
    const Maps applied = contents.maps.mid(0, MeasurementSet::mapsPerSensor * sensors);
    emit inFile(applied, nomDut);
    if (!contents.complete)
        status(QStringLiteral("Набор %1 обрезан: точки прочитаны не все, открыто датчиков: %2")
                   .arg(where, QString::number(sensors)));
    else
        status(QStringLiteral("Набор %1 открыт: %2, точек: %3")
                   .arg(where, sensorsText(all ? 0 : nomDut, sensors),
                       QString::number(pointCount(applied))));
    return true;
}

SetFiles::Maps SetFiles::maps(int nomDut) const
{
    Maps all;
    const int first = nomDut == allSensors ? 0 : nomDut;
    const int last = nomDut == allSensors ? kSensors - 1 : nomDut;
    for (int s = first; s <= last; ++s) {
        for (const eTypeData kind : kKinds) {
            const Dut::MidlMap *map = window->sensorBank()->getMidl(quint8(s), kind);
            all.append(map ? *map : Dut::MidlMap());
        }
    }
    return all;
}

bool SetFiles::write(const QString &path, const Maps &maps, int nomDut)
{
    const QString where = QDir::toNativeSeparators(path);
    QString error;
    if (path.isEmpty() || !MeasurementSet::write(path, maps, &error)) {
        status(QStringLiteral("Набор не сохранён в %1: %2").arg(where, error));
        return false;
    }
    settingskeys::store(settingskeys::savePath(), path);
    settingskeys::store(settingskeys::loadPath(), path);
    const bool all = nomDut == allSensors;
    if (all)
        window->protocolPanel()->setFileName(path);
    else
        window->sensorBank()->setFileName(quint8(nomDut), path);
    emit inFile(maps, nomDut);
    status(QStringLiteral("Набор сохранён в %1: %2, точек: %3")
               .arg(where, sensorsText(all ? 0 : nomDut, all ? kSensors : 1),
                   QString::number(pointCount(maps))));
    return true;
}

QString SetFiles::ask(bool save, int nomDut)
{
    const bool all = nomDut == allSensors;
    const QString suffix = all ? QStringLiteral("6fls") : QStringLiteral("1fls");
    QFileDialog dialog(window, QStringLiteral("select files"),
        DialogStart::of(save ? settingskeys::savePath() : settingskeys::loadPath()),
        all ? QStringLiteral("Набор всех ДУТ (*.6fls)")
            : QStringLiteral("Набор одного ДУТ (*.1fls)"));
    if (save) {
        // Asks before an existing file is replaced.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(suffix);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void SetFiles::status(const QString &message)
{
    window->statusBoard()->post(QStringLiteral("set"), message);
}
