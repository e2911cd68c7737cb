#include "app/closeguard.h"

#include "app/mainwindow.h"
#include "panels/discardquestion.h"
#include "sensors/duts.h"

#include <QEvent>
#include <QStringList>

namespace {

constexpr eTypeData kKinds[] = {Level, Freq, Period};
constexpr int kKindCount = 3;

} // namespace

CloseGuard::CloseGuard(MainWindow *window, Duts *duts)
    : QObject(window)
    , window(window)
    , duts(duts)
    , saved(Duts::dutCount, Maps {{}, {}, {}})
{
    setObjectName(QStringLiteral("closeGuard"));
    window->installEventFilter(this);
    connect(window, &MainWindow::setWritten, this, [this](const Maps &maps, int nomDut) {
        const int first = nomDut == MainWindow::allSensors ? 0 : nomDut;
        for (int s = first; s < saved.size() && (s - first + 1) * kKindCount <= maps.size(); ++s) {
            saved[s] = maps.mid((s - first) * kKindCount, kKindCount);
            if (nomDut != MainWindow::allSensors)
                break;
        }
    });
}

CloseGuard::Maps CloseGuard::mapsOf(int nomDut) const
{
    Maps maps;
    for (const eTypeData kind : kKinds) {
        const Dut::MidlMap *map = duts->getMidl(quint8(nomDut), kind);
        maps.append(map ? *map : Dut::MidlMap());
    }
    return maps;
}

QString CloseGuard::losses() const
{
    QStringList lost;
    const int waiting = duts->waitingLogLines();
    if (waiting > 0)
        lost << QStringLiteral("строк журнала прогона ждут записи на диск: %1").arg(waiting);
    QStringList sensors;
    for (int s = 0; s < saved.size(); ++s) {
        if (mapsOf(s) != saved.at(s))
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
