#include "support/messageboxcatcher.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

MessageBoxCatcher::MessageBoxCatcher(QObject *parent)
    : QObject(parent)
    , m_poll(new QTimer(this))
{
    connect(m_poll, &QTimer::timeout, this, &MessageBoxCatcher::look);
    m_poll->start(5);
}

void MessageBoxCatcher::holdNextBox(QTimer *ticker, int ticks, int timeoutMs)
{
    m_holdTicks = ticks;
    m_holdTimeoutMs = timeoutMs;
    m_ticksSinceBox = -1;
    m_tickCounter = connect(ticker, &QTimer::timeout, this, [this] {
        if (m_ticksSinceBox >= 0)
            ++m_ticksSinceBox;
    });
}

void MessageBoxCatcher::look()
{
    QList<QMessageBox *> open;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
            open << box;
    m_mostOpen = qMax(m_mostOpen, int(open.size()));
    if (open.isEmpty())
        return;

    if (m_holdTicks > 0) {
        if (m_ticksSinceBox < 0) {
            m_ticksSinceBox = 0;
            m_held.start();
        }
        if (m_ticksSinceBox < m_holdTicks && !m_held.hasExpired(m_holdTimeoutMs))
            return;
        m_holdTicks = 0;
        disconnect(m_tickCounter);
    }
    QMessageBox *box = open.last();
    m_texts << box->text();
    m_allModal = m_allModal && box->isModal();
    box->done(m_answer);
}
