#pragma once

#include "panels/rangeedit.h"

// Upper end of a temperature window: the grey "+20", then the editable maximum.
class LineEditMax : public RangeEdit
{
    Q_OBJECT

public:
    explicit LineEditMax(QWidget *parent = nullptr);
};
