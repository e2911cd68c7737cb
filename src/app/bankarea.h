#pragma once

#include <QScrollArea>

// The sensor bank in a window narrower than its six panels: the bank scrolls sideways and is
// exactly as tall as the panels with the scroll bar they need; the splitter above the plot
// cannot make it shorter, so no row of a panel ever hides behind a vertical scroll.
class BankArea : public QScrollArea
{
    Q_OBJECT

public:
    BankArea(QWidget *bank, QWidget *parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // The height that shows the whole bank at the current width.
    int fullHeight() const;
    void fitHeight();
};
