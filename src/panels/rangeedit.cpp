#include "panels/rangeedit.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QValidator>

namespace {

// Unlike QIntValidator, refuses a number beyond the range while it is typed: every keystroke
// reaches the statistics, and 200 must never get there. A sign alone or an empty field is
// still being typed.
class BoundValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &) const override
    {
        static const QRegularExpression partial(QStringLiteral("^[+-]?[0-9]*$"));
        if (!partial.match(input).hasMatch())
            return Invalid;
        if (input.isEmpty() || input == QLatin1String("-") || input == QLatin1String("+"))
            return Intermediate;
        return RangeEdit::isBound(input) ? Acceptable : Invalid;
    }
};

} // namespace

bool RangeEdit::isBound(const QString &text)
{
    bool ok = false;
    const int degrees = text.toInt(&ok);
    return ok && degrees >= lowest && degrees <= highest;
}

RangeEdit::RangeEdit(QWidget *parent, NumberSide side)
    : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Form"));

    auto *horizontalLayout = new QHBoxLayout(this);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setSpacing(0);
    horizontalLayout->setContentsMargins(0, 0, 0, 0);

    // The panel's own font, in bold: each half keeps room for a bound like "-90" or "+20".
    QFont bold = font();
    bold.setBold(true);
    bold.setWeight(75);

    lineEdit = new QLineEdit(this);
    lineEdit->setObjectName(QStringLiteral("lineEdit"));
    lineEdit->setFont(bold);
    lineEdit->setFrame(false);
    lineEdit->setValidator(new BoundValidator(lineEdit));

    lineEdit_2 = new QLineEdit(this);
    lineEdit_2->setObjectName(QStringLiteral("lineEdit_2"));
    lineEdit_2->setEnabled(false);
    lineEdit_2->setFont(bold);
    lineEdit_2->setFrame(false);
    lineEdit_2->setStyleSheet(QStringLiteral("background-color: rgb(200, 200, 200);"));
    lineEdit_2->setText(QStringLiteral("+20"));

    const int room = QFontMetrics(bold).horizontalAdvance(QStringLiteral("-90")) + 6;
    lineEdit->setMinimumWidth(room);
    lineEdit_2->setMinimumWidth(room);

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
