#pragma once

#include <QObject>
#include <QString>

class MainWindow;
class QMenuBar;

// The window's "Файл" menu: a run taken up again from its own logs after a crash or a close,
// the plot saved as a picture, and the calibration report.
class FileMenu : public QObject
{
    Q_OBJECT

public:
    FileMenu(MainWindow *window, QMenuBar *menuBar);

    // Without the dialogs. loadRun adds every reading of the run directory's sensor logs to
    // the panels, as if just polled, and redraws each sensor once; the status bar says what
    // was taken and skipped. savePlot writes the current view, PNG, SVG or PDF by the file's
    // extension, replacing the file only once the whole picture is written. Both return
    // whether anything was read or written.
    bool loadRun(const QString &directory);
    bool savePlot(const QString &path);
    // Writes the calibration report (PDF) to path atomically; the status bar says where or why not.
    bool saveReport(const QString &path);
    // Writes the labels (PDF) of the sensors with a verdict to path atomically; the status bar
    // says where, or that no sensor has one, or why not.
    bool saveLabels(const QString &path);

public slots:
    void slLoadRun();
    void slSavePlot();
    void slSaveReport();
    void slSaveLabels();
    // The journal window over the calibration records of the laboratory or of this bench.
    void slShowRecords();

private:
    void status(const QString &message);

    MainWindow *const window;
    // The run last taken up again, which the report speaks of while no port was opened.
    QString loadedRun;
};
