#include "app/statusboard.h"

#include <QStatusBar>

#include <algorithm>

StatusBoard::StatusBoard(QStatusBar *bar)
    : QObject(bar)
    , bar(bar)
{ }

QString StatusBoard::current() const
{
    if (standing.isEmpty())
        return QString();
    QStringList shown;
    for (int i = 0; i + 1 < standing.size(); ++i) {
        if (inSight.contains(standing.at(i).first))
            shown << standing.at(i).second;
    }
    shown << standing.constLast().second;
    return shown.join(QStringLiteral(" | "));
}

void StatusBoard::keepInSight(const QString &topic)
{
    if (!inSight.contains(topic))
        inSight << topic;
}

void StatusBoard::post(const QString &topic, const QString &message)
{
    // A condition reported again while it stands keeps its place: it is said once.
    for (const QPair<QString, QString> &entry : qAsConst(standing)) {
        if (entry.first == topic && entry.second == message)
            return;
    }
    standing.erase(
        std::remove_if(standing.begin(), standing.end(),
            [&topic](const QPair<QString, QString> &entry) { return entry.first == topic; }),
        standing.end());
    if (!message.isEmpty())
        standing.append({topic, message});
    if (standing.isEmpty())
        bar->clearMessage();
    else
        bar->showMessage(current());
}
