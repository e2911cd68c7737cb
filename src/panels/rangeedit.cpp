#include "panels/rangeedit.h"

#include <QHBoxLayout>
#include <QLineEdit>

RangeEdit::RangeEdit(QWidget *parent, NumberSide side)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Form"));

    auto *horizontalLayout = new QHBoxLayout(this);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);

    QFont bold;
    bold.setBold(true);
    bold.setWeight(75);

    lineEdit = new QLineEdit(this);
    lineEdit->setObjectName(QStringLiteral("lineEdit"));
    lineEdit->setFont(bold);
    lineEdit->setFrame(false);

    lineEdit_2 = new QLineEdit(this);
    lineEdit_2->setObjectName(QStringLiteral("lineEdit_2"));
    lineEdit_2->setEnabled(false);
    lineEdit_2->setFont(bold);
    lineEdit_2->setFrame(false);
    lineEdit_2->setStyleSheet(QStringLiteral("background-color: rgb(200, 200, 200);"));
    lineEdit_2->setText(QStringLiteral("+20"));

    if (side == NumberSide::First) {
        horizontalLayout->addWidget(lineEdit);
        horizontalLayout->addWidget(lineEdit_2);
    } else {
        horizontalLayout->addWidget(lineEdit_2);
        horizontalLayout->addWidget(lineEdit);
    }

    connect(lineEdit, &QLineEdit::textChanged, this, &RangeEdit::slTextChanged);
}

void RangeEdit::setText(const QString &text)
{
    lineEdit->setText(text);
}

QString RangeEdit::text() const
{
    return lineEdit->text();
}

void RangeEdit::slTextChanged(const QString &text)
{
    emit textChanged(text);
}
