#include "panels/mycheckbox.h"

#include <QPainter>
#include <QRegularExpression>

MyCheckBox::MyCheckBox()
    : QCheckBox(nullptr)
{ }

MyCheckBox::MyCheckBox(QWidget *parent)
    : QCheckBox(parent)
{ }

// The text is never drawn; the size of the box comes from the layout it sits in.
MyCheckBox::MyCheckBox(const QString &, QWidget *parent)
    : QCheckBox(parent)
{ }

QColor MyCheckBox::swatchColor() const
{
    static const QRegularExpression number(QStringLiteral("(\\d+)"));
    int rgb[3] = {};
    int found = 0;
    auto it = number.globalMatch(styleSheet());
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (found < 3) {
            // A run of digits too long for an int reads as out of range, i.e. 255.
            bool ok = false;
            const uint value = match.capturedRef(1).toUInt(&ok);
            rgb[found] = ok ? int(qMin<uint>(value, 255)) : 255;
        }
        ++found;
    }
    if (found != 3)
        return QColor(255, 255, 255, 255);
    return QColor(rgb[0], rgb[1], rgb[2], 255);
}

void MyCheckBox::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int h = height();

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QColor swatch = swatchColor();
    painter.fillRect(QRect(1, 1, w - 2, h - 2), swatch);

    QPen pen(
        isEnabled() ? Qt::black : Qt::darkGray, 1, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    painter.setPen(pen);
    painter.drawRect(QRect(0, 0, w - 2, h - 2));

    if (isChecked()) {
        // A black tick would vanish on a dark swatch: there it is drawn light.
        if (qGray(swatch.rgb()) < 110)
            painter.setPen(QPen(isEnabled() ? Qt::white : Qt::lightGray, 1, Qt::SolidLine,
                Qt::SquareCap, Qt::BevelJoin));
        const QPoint bottom(w / 2, int(0.8 * h));
        painter.drawLine(QPoint(int(0.2 * w), h / 2), bottom);
        painter.drawLine(QPoint(int(0.8 * w), int(0.2 * h)), bottom);
    }
}
