#pragma once

#include "app/calibrationreport.h"

#include <QString>

class QPainter;
class QPdfWriter;

// The parts that make the calibration report a certificate: who calibrated, where, for whom,
// with which reference and program, under which number and run; the residual ± U of a sensor
// per degree with the decision rule; and each page's number with the end mark on the last.
class CertificateText
{
public:
    // The rows of page 1 about the certificate, the laboratory and the conditions, with the
    // statement that the results relate only to the items calibrated.
    static QString head(const CalibrationReport::Input &input);
    // The table of residual ± U per covered degree of a record made by CalibrationRecord::of(),
    // and the decision rule in words.
    static QString degrees(const CalibrationRecord &record, double tolerance);
    // "стр. i из n" at the foot of the page, and the end mark when it is the last.
    static void foot(QPainter &painter, const QPdfWriter &pdf, int page, int pages);
    // The end mark as it stands on the last page.
    static QString endMark();
};
