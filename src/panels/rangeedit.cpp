#include "panels/rangeedit.h"

#include "settings/sensorsetup.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpression>
#include <QValidator>

namespace {

// Takes a sign and up to four digits, so that "-100" stays in the field as typed and is
// refused visibly instead of losing its last digit.
class BoundValidator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString &input, int &) const override
    {
        static const QRegularExpression partial(QStringLiteral("^[+-]?[0-9]{0,4}$"));
        if (!partial.match(input).hasMatch())
            return Invalid;
        return RangeEdit::isBound(input) ? Acceptable : Intermediate;
    }
};

const QString kRefusedStyle = QStringLiteral("background-color: rgb(255, 170, 170);");

} // namespace

bool RangeEdit::isBound(const QString &text)
{
    return SensorSetup::isBound(text);
}

void RangeEdit::setPair(
    RangeEdit &lower, RangeEdit &upper, const QString &lowText, const QString &upText)
{
    QString low = isBound(lowText) ? lowText : QStringLiteral("-40");
    QString up = isBound(upText) ? upText : QStringLiteral("80");
    if (low.toInt() > up.toInt()) {
        low = QStringLiteral("-40");
        up = QStringLiteral("80");
    }
    lower.setText(low);
    upper.setText(up);
    settle(lower, upper);
}

QString RangeEdit::settle(RangeEdit &lower, RangeEdit &upper)
{
    const bool lowOk = isBound(lower.text());
    const bool upOk = isBound(upper.text());
    const bool ordered = !lowOk || !upOk || lower.text().toInt() <= upper.text().toInt();
    lower.markRefused(!lowOk || !ordered);
    upper.markRefused(!upOk || !ordered);
    const QString kept
        = QStringLiteral(", диапазон остаётся %1...%2").arg(lower.bound()).arg(upper.bound());
    const QString outside = QStringLiteral("%1 граница \"%2\" не в -90...+100 °C");
    if (!lowOk)
        return outside.arg(QStringLiteral("нижняя"), lower.text()) + kept;
    if (!upOk)
        return outside.arg(QStringLiteral("верхняя"), upper.text()) + kept;
    if (!ordered)
        return QStringLiteral("нижняя граница %1 выше верхней %2").arg(lower.text(), upper.text())
            + kept;
    lower.accepted = lower.text().toInt();
    upper.accepted = upper.text().toInt();
    return QString();
}

void RangeEdit::markRefused(bool refused)
{
    lineEdit->setStyleSheet(refused ? kRefusedStyle : QString());
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
