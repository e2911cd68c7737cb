#pragma once

#include <QLabel>

class QStatusBar;

// A label in the status bar's permanent area that gives way to the bar's message: while a
// message is shown it is no wider than the room the message leaves, its text cut short with
// "…" (text() stays whole), down to its first clause. A message that does not fit even then
// is the bar's tool tip as well, so nothing the operator must read is lost.
class StatusLabel : public QLabel
{
    Q_OBJECT

public:
    explicit StatusLabel(QStatusBar *bar);

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void giveWay();

    QStatusBar *bar = nullptr;
};
