#include "app/statuslabel.h"

#include <QPainter>
#include <QStatusBar>
#include <QStyle>

#include <algorithm>

namespace {

// Where QStatusBar draws its message: from 6 px on to 2 px before the first permanent widget.
constexpr int kMessageLeft = 6;
constexpr int kMessageGap = 2;
// Some air between the message and the label.
constexpr int kAir = 8;

} // namespace

StatusLabel::StatusLabel(QStatusBar *bar)
    : QLabel(bar)
    , bar(bar)
{
    connect(bar, &QStatusBar::messageChanged, this, &StatusLabel::giveWay);
}

QSize StatusLabel::minimumSizeHint() const
{
    // The first clause ("Камера: 20.0 °C") and the ellipsis stay.
    const QString first = text().section(QLatin1Char(','), 0, 0) + QChar(0x2026);
    const QMargins margins = contentsMargins();
    return QSize(
        fontMetrics().horizontalAdvance(first) + margins.left() + margins.right() + 2 * margin(),
        QLabel::minimumSizeHint().height());
}

void StatusLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, area.width());
    style()->drawItemText(
        &painter, area, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

void StatusLabel::moveEvent(QMoveEvent *event)
{
    QLabel::moveEvent(event);
    // The bar was resized, or the label took the width last allowed.
    giveWay();
}

void StatusLabel::giveWay()
{
    const QString message = bar->currentMessage();
    int limit = QWIDGETSIZE_MAX;
    bool cut = false;
    if (!message.isEmpty() && isVisible()) {
        // The label's right edge stays where the bar puts it; its left edge moves.
        const int messageEnd
            = kMessageLeft + bar->fontMetrics().horizontalAdvance(message) + kMessageGap + kAir;
        const int room = geometry().right() + 1 - messageEnd;
        const int least = minimumSizeHint().width();
        limit = std::max(room, least);
        cut = room < least;
    }
    if (maximumWidth() != limit)
        setMaximumWidth(limit);
    const QString tip = cut ? message : QString();
    if (bar->toolTip() != tip)
        bar->setToolTip(tip);
}
