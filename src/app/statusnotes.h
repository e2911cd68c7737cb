#pragma once

#include <QObject>

class MainWindow;
class QTimer;

// Notes of the bench for the status bar that no single panel owns: "Start" pressed without an
// open port (said until the port opens or polling stops), and a settings file that cannot be
// written (said once, kept in sight over newer messages, withdrawn when it can be written again).
// Settings the file could not take are written again every few seconds until it takes them.
class StatusNotes : public QObject
{
    Q_OBJECT

public:
    explicit StatusNotes(MainWindow *window);
    ~StatusNotes() override;

    static constexpr int settingsRetryMs = 2000;

public slots:
    // Writes the settings the file could not take before; the retry timer calls it.
    void writePendingSettings();

private:
    void showStartNote();
    void settingsFailure(const QString &message);

    MainWindow *window = nullptr;
    QTimer *settingsRetry = nullptr;
};
