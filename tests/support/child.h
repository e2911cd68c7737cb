#pragma once

#include <QLineEdit>
#include <QObject>
#include <QString>

// A widget (or other child) of `owner` by object name; one that is not there ends the run,
// naming it, rather than crash the test on a null pointer.
template<class T = QLineEdit> T *child(const QObject &owner, const QString &name)
{
    T *found = owner.findChild<T *>(name);
    if (!found)
        qFatal("no child %s", qPrintable(name));
    return found;
}
