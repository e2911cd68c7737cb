#include "panels/lineeditmax.h"

LineEditMax::LineEditMax(QWidget *parent)
    : RangeEdit(parent, NumberSide::Last)
{
    if (objectName().isEmpty())
        setObjectName(QStringLiteral("LineEditMax"));
    resize(56, 18);
}
