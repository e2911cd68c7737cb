#pragma once

#include <QScrollBar>

// A scroll bar over a floating-point range: the base is the whole range in plot coordinates,
// the slider covers the part that is visible. Internally the base is cut into a fixed number of
// ticks. A mirrored bar counts its slider positions from the other end, so that a vertical bar
// moves the way an upward-growing axis does.
class ScrollBar : public QScrollBar
{
    Q_OBJECT

public:
    explicit ScrollBar(QWidget *parent = nullptr);
    explicit ScrollBar(Qt::Orientation orientation, QWidget *parent = nullptr);
    ScrollBar(double min, double max, Qt::Orientation orientation, QWidget *parent = nullptr);

    void setMirrored(bool mirrored);
    bool isMirrored() const { return mirrored; }

    double minBaseValue() const { return baseMin; }
    double maxBaseValue() const { return baseMax; }
    // The visible range, from the slider's place and page.
    double minSliderValue() const;
    double maxSliderValue() const;

    // Thickness in pixels as the style draws scroll bars of this orientation.
    int thickness() const;

    static constexpr int tickCount = 1000000;

public slots:
    virtual void setBase(double min, double max);
    // Places the slider over min..max without announcing it.
    virtual void moveSlider(double min, double max);

signals:
    void sliderMoved(Qt::Orientation orientation, double min, double max);
    void valueChanged(Qt::Orientation orientation, double min, double max);

private slots:
    void catchValueChanged(int value);
    void catchSliderMoved(int value);

private:
    void init();
    int mapToTick(double value) const;
    void sliderRange(int value, double *min, double *max) const;

    bool mirrored = false;
    double baseMin = 0.0;
    double baseMax = 1.0;
};
