#include "panels/lineeditmax.h"

#include <QHBoxLayout>
#include <QLineEdit>

LineEditMax::LineEditMax(QWidget *parent)
    : QWidget(parent)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("LineEditMax"));
    resize(56, 18);
    setWindowTitle(QStringLiteral("Form"));

    auto *horizontalLayout = new QHBoxLayout(this);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);

    QFont bold;
    bold.setBold(true);
    bold.setWeight(75);

    lineEdit_2 = new QLineEdit(this);
    lineEdit_2->setObjectName(QStringLiteral("lineEdit_2"));
    lineEdit_2->setEnabled(false);
    lineEdit_2->setFont(bold);
    lineEdit_2->setFrame(false);
    lineEdit_2->setStyleSheet(QStringLiteral("background-color: rgb(200, 200, 200);"));
    lineEdit_2->setText(QStringLiteral("+20"));
    horizontalLayout->addWidget(lineEdit_2);

    lineEdit = new QLineEdit(this);
    lineEdit->setObjectName(QStringLiteral("lineEdit"));
    lineEdit->setFont(bold);
    lineEdit->setFrame(false);
    horizontalLayout->addWidget(lineEdit);

    connect(lineEdit, &QLineEdit::textChanged, this, &LineEditMax::slTextChanged);
}

void LineEditMax::setText(const QString &text)
{
    lineEdit->setText(text);
}

QString LineEditMax::text() const
{
    return lineEdit->text();
}

void LineEditMax::slTextChanged(const QString &text)
{
    emit textChanged(text);
}
