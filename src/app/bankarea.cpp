#include "app/bankarea.h"

#include <QEvent>
#include <QScrollBar>
#include <QSplitter>

BankArea::BankArea(QWidget *bank, QWidget *parent)
    : QScrollArea(parent)
{
    setObjectName(QStringLiteral("bankArea"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);
    setWidget(bank);
    bank->installEventFilter(this);
    fitHeight();
}

int BankArea::fullHeight() const
{
    const QWidget *bank = widget();
    if (!bank)
        return 0;
    const int frame = 2 * frameWidth();
    const QSize least = bank->minimumSizeHint();
    int height = least.height() + frame;
    if (least.width() > width() - frame)
        height += horizontalScrollBar()->sizeHint().height();
    return height;
}

QSize BankArea::sizeHint() const
{
    const QWidget *bank = widget();
    return {bank ? bank->sizeHint().width() + 2 * frameWidth() : 0, fullHeight()};
}

QSize BankArea::minimumSizeHint() const
{
    // Narrow: the bank scrolls sideways rather than widen the window past the screen. Never
    // shorter than the whole bank: the splitter above the plot stops there, so that the
    // statistics rows and the coefficient buttons at the panels' foot stay in sight instead
    // of going behind a vertical scroll.
    return {100, fullHeight()};
}

bool BankArea::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == widget() && event->type() == QEvent::LayoutRequest)
        fitHeight();
    return QScrollArea::eventFilter(watched, event);
}

void BankArea::resizeEvent(QResizeEvent *event)
{
    QScrollArea::resizeEvent(event);
    fitHeight();
}

void BankArea::fitHeight()
{
    const int old = maximumHeight();
    const int full = fullHeight();
    if (old == full)
        return;
    // A bank shown whole stays whole when the window narrows and the sideways scroll bar
    // appears: its pane takes the bar's height from the plot. A splitter does not grow a
    // pane by itself.
    const bool whole = height() >= old;
    setMaximumHeight(full);
    updateGeometry();
    auto *splitter = qobject_cast<QSplitter *>(parentWidget());
    const int at = splitter ? splitter->indexOf(this) : -1;
    if (!whole || full <= old || at < 0)
        return;
    QList<int> sizes = splitter->sizes();
    const int grow = full - sizes.at(at);
    const int from = at + 1 < sizes.size() ? at + 1 : at - 1;
    if (grow <= 0 || from < 0)
        return;
    sizes[at] += grow;
    sizes[from] -= grow;
    splitter->setSizes(sizes);
}
