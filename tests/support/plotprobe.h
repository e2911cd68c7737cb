#pragma once

#include "plot/plot.h"
#include <QtTest>

#include <optional>

// Shows a plot at the size the cases' pixels assume.
inline bool showPlot(std::optional<Plot> &plot)
{
    plot.emplace();
    plot->resize(900, 500);
    plot->show();
    return QTest::qWaitForWindowExposed(&*plot);
}

inline void send(Plot &plot, QEvent &&event)
{
    QApplication::sendEvent(plot.canvas(), &event);
}

// A Ctrl left-button event unless told otherwise.
inline void mouse(Plot &plot, QEvent::Type type, QPoint pixel,
    Qt::MouseButton button = Qt::LeftButton, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
{
    send(plot, QMouseEvent(type, pixel, button, button, modifiers));
}

inline QPoint pixelOf(const Plot &plot, double x, double y)
{
    return QPoint(
        qRound(plot.transform(QwtPlot::xBottom, x)), qRound(plot.transform(QwtPlot::yLeft, y)));
}
