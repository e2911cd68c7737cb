#pragma once

#include "panels/rangeedit.h"

// Lower end of a temperature window: the editable minimum, then the grey "+20".
class LineEditMin : public RangeEdit
{
    Q_OBJECT

public:
    explicit LineEditMin(QWidget *parent = nullptr);
};
