#pragma once

#include <QCoreApplication>

// Lets the renders and other posted work asked for so far happen.
inline void settle()
{
    for (int turn = 0; turn < 4; ++turn)
        QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}
