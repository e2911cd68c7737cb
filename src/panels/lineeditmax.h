#pragma once

#include <QWidget>

class QLineEdit;

// Upper end of a temperature window: a fixed grey "+20" followed by an editable number,
// so the field reads as "from +20 up to the maximum".
class LineEditMax : public QWidget
{
    Q_OBJECT

public:
    explicit LineEditMax(QWidget *parent = nullptr);

    void setText(const QString &text);
    QString text() const;

signals:
    void textChanged(const QString &text);

public slots:
    void slTextChanged(const QString &text);

private:
    QLineEdit *lineEdit = nullptr;
    QLineEdit *lineEdit_2 = nullptr;
};
