#pragma once

class QWidget;

// Short Russian tool tips for the controls of the sensor panels, the port panel and the
// protocol panel: what a field shows (with its unit) or what a button does. Set once on the
// window, by the controls' object names.
class ToolTips
{
public:
    static void apply(QWidget *window);
};
