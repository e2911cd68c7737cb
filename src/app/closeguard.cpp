#include "app/closeguard.h"

#include "app/mainwindow.h"
#include "app/setfiles.h"
#include "panels/discardquestion.h"
#include "sensors/duts.h"
#include "sensors/measurementset.h"

#include <QEvent>
#include <QStringList>

CloseGuard::CloseGuard(MainWindow *window)
    : QObject(window)
    , window(window)
    , saved(Duts::dutCount, Maps {{}, {}, {}})
{
    setObjectName(QStringLiteral("closeGuard"));
    window->installEventFilter(this);
    connect(window->setFiles(), &SetFiles::inFile, this, [this](const Maps &maps, int nomDut) {
        const int first = nomDut == SetFiles::allSensors ? 0 : nomDut;
        const int count = nomDut == SetFiles::allSensors ? saved.size() : 1;
        constexpr int kinds = MeasurementSet::mapsPerSensor;
        for (int i = 0; i < count && first + i < saved.size() && (i + 1) * kinds <= maps.size();
             ++i)
            saved[first + i] = maps.mid(i * kinds, kinds);
    });
}

QString CloseGuard::losses() const
{
    QStringList lost;
    const int waiting = window->sensorBank()->waitingLogLines();
    if (waiting > 0)
        lost << QStringLiteral("строк журнала прогона ждут записи на диск: %1").arg(waiting);
    QStringList sensors;
    for (int s = 0; s < saved.size(); ++s) {
        if (window->setFiles()->maps(s) != saved.at(s))
            sensors << QString::number(s);
    }
    if (!sensors.isEmpty())
        lost << QStringLiteral("показания и точки ДУТ %1 не сохранены в наборе")
                    .arg(sensors.join(QStringLiteral(", ")));
    return lost.join(QStringLiteral("; "));
}

bool CloseGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != window || event->type() != QEvent::Close)
        return false;
    const QString lost = losses();
    if (!lost.isEmpty()
        && !DiscardQuestion::confirm(window, QStringLiteral("Закрыть Тарикон"),
            QStringLiteral("Если закрыть программу сейчас, пропадёт: %1. Закрыть?").arg(lost))) {
        event->ignore();
        return true;
    }
    return false;
}
