#include "plot/altrelease.h"

#include <QApplication>
#include <QKeyEvent>
#include <qwt_plot.h>

AltRelease::AltRelease(QwtPlot *plot)
    : QObject(plot)
    , plot(plot)
{
    qApp->installEventFilter(this);
}

bool AltRelease::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Alt
        && watched->isWidgetType() && static_cast<QWidget *>(watched)->window() == plot->window())
        emit released();
    return false;
}
