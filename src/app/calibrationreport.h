#pragma once

#include <QByteArray>

class MainWindow;

// The calibration report of the bench as it stands, a PDF on A4 made with Qt's own PDF writer,
// all of its text real text: a first page with the date, the working and run directories, the
// protocol and the bench's revision; then a page for every sensor that has data or was written
// in this run: its address, data kind, degree, range and coverage, the coefficients as found,
// as written and as read back with the write's result, the residual after correction per
// covered degree against the tolerance ("Report/tolerance_percent") with the pass/fail rule,
// and a plot of that sensor alone. Made in memory, so the caller writes it atomically.
class CalibrationReport
{
public:
    // Empty when the PDF could not be made.
    static QByteArray render(MainWindow &window);
};
