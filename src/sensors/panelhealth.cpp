#include "sensors/panelhealth.h"

#include "sensors/dut.h"

#include <QEvent>
#include <QLineEdit>

namespace {

const char *const kReadingFields[] = {"leTemperat", "leLevel", "leFreq", "lePeriod"};
const QString kNoLine = QStringLiteral("нет линии");
const QString kHeld = QStringLiteral("не принято");
const QString kHeldStyle = QStringLiteral("background-color: rgb(255, 200, 120);");
const QString kLostStyle = QStringLiteral("background-color: rgb(200, 200, 200); color: rgb(120, "
                                          "0, 0);");

} // namespace

PanelHealth::PanelHealth(Dut *panel)
    : QObject(panel)
    , panel(panel)
    , counter(panel->findChild<QLineEdit *>(QStringLiteral("leErr")))
{
    setObjectName(QStringLiteral("panelHealth"));
    if (counter) {
        counter->installEventFilter(this);
        counter->setToolTip(summary());
    }
}

void PanelHealth::afterPoll(const QDateTime &at)
{
    const int count = counter ? counter->text().toInt() : 0;
    const bool failed = count > lastCount;
    lastCount = count;
    if (!failed)
        lastGood = at;
    polls.push_back({at, failed});
    failedInWindow += failed ? 1 : 0;
    if (counter)
        counter->setToolTip(summary(at));
}

void PanelHealth::forgetBefore(const QDateTime &now)
{
    const QDateTime start = now.addSecs(-windowSecs);
    while (!polls.empty() && polls.front().at < start) {
        failedInWindow -= polls.front().failed ? 1 : 0;
        polls.pop_front();
    }
}

void PanelHealth::setLineLost(bool lost, const QDateTime &at)
{
    if (lost == lostAt.isValid() || (lost && !panel->isPolled()))
        return;
    lostAt = lost ? at : QDateTime();
    for (const char *name : kReadingFields) {
        if (auto *field = panel->findChild<QLineEdit *>(QLatin1String(name)))
            field->setText(lost ? kNoLine : QStringLiteral("---"));
    }
    if (!counter)
        return;
    if (lost) {
        styleBeforeLoss = counter->styleSheet();
        counter->setStyleSheet(kLostStyle);
    } else {
        counter->setStyleSheet(styleBeforeLoss);
    }
    counter->setToolTip(summary(at));
}

void PanelHealth::setHeld(const QString &why)
{
    if (why.isEmpty() == heldWhy.isEmpty()) {
        heldWhy = why;
        return;
    }
    heldWhy = why;
    for (const char *name : kReadingFields) {
        if (auto *field = panel->findChild<QLineEdit *>(QLatin1String(name)))
            field->setText(why.isEmpty() ? QStringLiteral("---") : kHeld);
    }
    if (!counter)
        return;
    if (!why.isEmpty()) {
        styleBeforeHold = counter->styleSheet();
        counter->setStyleSheet(kHeldStyle);
    } else {
        counter->setStyleSheet(styleBeforeHold);
    }
    counter->setToolTip(summary());
}

QString PanelHealth::summary(const QDateTime &now)
{
    forgetBefore(now);
    QStringList lines {tr("Плохих ответов с последней очистки. Цвет: зелёный — ответ принят, "
                          "красный — ошибка, серый — запрос отправлен")};
    if (lostAt.isValid())
        lines << tr("Линия потеряна в %1").arg(lostAt.toString(QStringLiteral("HH:mm:ss")));
    if (!heldWhy.isEmpty())
        lines << tr("После возврата линии показания не засчитываются: %1; «Принять» на панели "
                    "порта засчитывает их")
                     .arg(heldWhy);
    lines << (lastGood.isValid()
            ? tr("Последнее верное показание: %1")
                  .arg(lastGood.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")))
            : tr("Верных показаний ещё не было"));
    const int total = int(polls.size());
    lines << (total == 0 ? tr("Опросов за последний час не было")
                         : tr("Ошибок за последний час: %1 из %2 (%3 %)")
                               .arg(failedInWindow)
                               .arg(total)
                               .arg(100.0 * failedInWindow / total, 0, 'f', 1));
    return lines.join(QLatin1Char('\n'));
}

bool PanelHealth::eventFilter(QObject *watched, QEvent *event)
{
    // Worked out when asked for, so the hour is always the last one.
    if (watched == counter && event->type() == QEvent::ToolTip)
        counter->setToolTip(summary());
    return false;
}
