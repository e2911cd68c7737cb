#pragma once

#include <QScrollArea>

// The sensor bank in a window narrower than its six panels: the bank scrolls sideways and
// never grows taller than the panels with the scroll bar they need. Made shorter by the
// splitter above the plot, it scrolls up and down as well.
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
