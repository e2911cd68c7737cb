#pragma once

#include <QByteArray>
#include <QString>

class QWidget;
struct RecordRow;

// A calibration record's certificate page made again from the stored record alone: no run
// directory, panel or settings are needed, so any bench can show any record of the laboratory.
class RecordCertificate
{
public:
    static QString html(const RecordRow &row);
    // The page as a PDF on A4; empty when it could not be made.
    static QByteArray pdf(const RecordRow &row);
    // A window with the page and a button that saves it as PDF.
    static void show(QWidget *parent, const RecordRow &row);
};
