#pragma once

#include <QElapsedTimer>
#include <QMessageBox>
#include <QMetaObject>
#include <QObject>
#include <QStringList>

class QTimer;

// Watches for visible message boxes every few milliseconds of event loop, keeps their texts
// and closes them, as an operator pressing "OK" would. A box shown from inside a tick handler
// runs its own event loop, so it is caught and closed before the handler returns: a test that
// finds texts() still empty right after a tick knows the tick showed no box.
class MessageBoxCatcher : public QObject
{
    Q_OBJECT

public:
    explicit MessageBoxCatcher(QObject *parent = nullptr);

    // Texts of the boxes closed so far, in the order they were shown.
    QStringList texts() const { return m_texts; }
    // The largest number of boxes seen open at the same time.
    int mostOpenAtOnce() const { return m_mostOpen; }
    bool allModal() const { return m_allModal; }
    // The button the boxes are closed with: "OK" unless a test answers a question.
    void answerWith(QMessageBox::StandardButton button) { m_answer = button; }

    // Leaves the next box open until `ticker` has timed out `ticks` times after the box
    // appeared, or at most timeoutMs: the polling timer must keep running under an open box.
    void holdNextBox(QTimer *ticker, int ticks, int timeoutMs = 2000);
    // How often `ticker` timed out while the held box was open.
    int ticksUnderHeldBox() const { return qMax(0, m_ticksSinceBox); }

private:
    void look();

    QTimer *m_poll = nullptr;
    QStringList m_texts;
    int m_mostOpen = 0;
    bool m_allModal = true;
    QMessageBox::StandardButton m_answer = QMessageBox::Ok;
    int m_holdTicks = 0;
    int m_ticksSinceBox = -1;
    int m_holdTimeoutMs = 0;
    QElapsedTimer m_held;
    QMetaObject::Connection m_tickCounter;
};
