#pragma once

#include <QCheckBox>

// A check box drawn as a colour swatch. The colour is taken from the style sheet text
// "background-color: rgb(r, g, b);" that the sensor panel sets; a check mark is drawn over
// the swatch while the box is checked. No text is drawn.
class MyCheckBox : public QCheckBox
{
    Q_OBJECT

public:
    MyCheckBox();
    explicit MyCheckBox(QWidget *parent);
    MyCheckBox(const QString &text, QWidget *parent);

    // The swatch colour that the current style sheet names: exactly three numbers give
    // red, green and blue (each limited to 255); anything else gives white.
    QColor swatchColor() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};
