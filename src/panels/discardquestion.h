#pragma once

#include <QString>

class QWidget;

// The question asked before collected readings or calibration points are thrown away: hours of
// a thermal run may sit behind a "clear" button right next to "save". Yes and No, with No as
// the default, so that a stray Enter keeps the data. The same box asks before coefficients
// fitted on part of a range overwrite a sensor's own.
class DiscardQuestion
{
public:
    static bool confirm(QWidget *parent, const QString &title, const QString &text);
};
