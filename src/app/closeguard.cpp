#include "app/closeguard.h"

#include "panels/discardquestion.h"
#include "sensors/duts.h"

#include <QEvent>
#include <QWidget>

CloseGuard::CloseGuard(QWidget *window, const Duts *duts)
    : QObject(window)
    , window(window)
    , duts(duts)
{
    setObjectName(QStringLiteral("closeGuard"));
    window->installEventFilter(this);
}

bool CloseGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != window || event->type() != QEvent::Close)
        return false;
    const int waiting = duts->waitingLogLines();
    if (waiting > 0
        && !DiscardQuestion::confirm(window, QStringLiteral("Закрыть Тарикон"),
            QStringLiteral("Строк журнала прогона ждут записи на диск: %1. Если закрыть "
                           "программу сейчас, они пропадут. Закрыть?")
                .arg(waiting))) {
        event->ignore();
        return true;
    }
    return false;
}
