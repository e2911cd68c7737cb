#pragma once

#include <QWidget>

class QLineEdit;

// One end of a temperature window around the 20 °C reference: an editable number next to a
// fixed grey "+20". LineEditMin puts the number first ("from the minimum up to +20"),
// LineEditMax puts it last ("from +20 up to the maximum").
class RangeEdit : public QWidget
{
    Q_OBJECT

public:
    // A bound is a whole number of degrees within -90..+100 °C, the temperatures a reading
    // can be filed under; typing takes signs and digits only.
    static constexpr int lowest = -90;
    static constexpr int highest = 100;
    static bool isBound(const QString &text);
    // Shows and accepts a stored pair: a bound that is none falls back to its default
    // (-40, 80), and a lower bound above the upper one gives both defaults.
    static void setPair(
        RangeEdit &lower, RangeEdit &upper, const QString &lowText, const QString &upText);
    // Checks the texts of both ends after a change. A usable pair becomes the accepted one and
    // the result is empty; otherwise the refused ends are marked, the accepted pair stays, and
    // the result says why (for the status bar).
    static QString settle(RangeEdit &lower, RangeEdit &upper);

    void setText(const QString &text);
    QString text() const;
    // The last accepted bound: what the statistics and the settings go by while the field
    // shows a refused text.
    int bound() const { return accepted; }

signals:
    void textChanged(const QString &text);

public slots:
    void slTextChanged(const QString &text);

protected:
    enum class NumberSide { First, Last };
    RangeEdit(QWidget *parent, NumberSide side);

private:
    void markRefused(bool refused);

    int accepted = 0;
    QLineEdit *lineEdit = nullptr;
    QLineEdit *lineEdit_2 = nullptr;
};
