#pragma once

#include <QObject>

class Duts;
class QWidget;

// Asks before the window closes while run-log lines still wait for a full or failing disk:
// closing would lose them. Yes and No, with No as the default, so that a stray Enter keeps the
// bench running.
class CloseGuard : public QObject
{
    Q_OBJECT

public:
    CloseGuard(QWidget *window, const Duts *duts);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *window = nullptr;
    const Duts *duts = nullptr;
};
