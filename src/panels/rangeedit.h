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
    // can be filed under; typing takes nothing else.
    static constexpr int lowest = -90;
    static constexpr int highest = 100;
    static bool isBound(const QString &text);

    void setText(const QString &text);
    QString text() const;

signals:
    void textChanged(const QString &text);

public slots:
    void slTextChanged(const QString &text);

protected:
    enum class NumberSide { First, Last };
    RangeEdit(QWidget *parent, NumberSide side);

private:
    QLineEdit *lineEdit = nullptr;
    QLineEdit *lineEdit_2 = nullptr;
};
