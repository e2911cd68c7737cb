#include "panels/lineeditmin.h"

LineEditMin::LineEditMin(QWidget *parent)
    : RangeEdit(parent, NumberSide::First)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("LineEditMin"));
    resize(74, 23);
}
