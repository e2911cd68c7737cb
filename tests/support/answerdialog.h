#pragma once

#include <QApplication>
#include <QTimer>

#include <functional>

// Answers the next modal dialog of type T, looked for every few milliseconds of event loop:
// `act` looks at it and accepts or rejects it.
template<class T> void answerDialog(std::function<void(T *)> act)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(dialog);
        }
    });
    poll->start(10);
}
