#pragma once

#include <QDateTime>
#include <QObject>

#include <deque>

class Dut;
class QLineEdit;

// What the morning check needs of one sensor panel beyond its error count: the tool tip of the
// count ("leErr") gives the time of the last good reading and the share of failed polls over
// the last hour; and while the line is lost the panel says so itself ("нет линии" in its
// reading fields, the count greyed), so six green zeros beside a dead line never pass for a
// healthy bench.
class PanelHealth : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 windowSecs = 3600;

    explicit PanelHealth(Dut *panel);

    // After every poll the panel took an answer for: a poll failed when its error count grew.
    void afterPoll(const QDateTime &at = QDateTime::currentDateTime());
    // The line went away (at) or came back.
    void setLineLost(bool lost, const QDateTime &at = QDateTime::currentDateTime());
    // The sensor's readings after a return of the line are held back, for `why`; an empty
    // `why` ends it.
    void setHeld(const QString &why);

    // The tool tip as it stands at `now`.
    QString summary(const QDateTime &now = QDateTime::currentDateTime());

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Poll
    {
        QDateTime at;
        bool failed;
    };

    void forgetBefore(const QDateTime &now);

    Dut *panel = nullptr;
    QLineEdit *counter = nullptr;
    std::deque<Poll> polls;
    int failedInWindow = 0;
    int lastCount = 0;
    QDateTime lastGood;
    QDateTime lostAt;
    QString styleBeforeLoss;
    QString heldWhy;
    QString styleBeforeHold;
};
