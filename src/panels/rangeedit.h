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
