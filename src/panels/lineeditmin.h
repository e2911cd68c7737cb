#pragma once

#include <QWidget>

class QLineEdit;

// Lower end of a temperature window: an editable number followed by a fixed grey "+20",
// so the field reads as "from the minimum up to +20".
class LineEditMin : public QWidget
{
    Q_OBJECT

public:
    explicit LineEditMin(QWidget *parent = nullptr);

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
