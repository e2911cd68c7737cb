#pragma once

#include <QObject>

class MainWindow;

// Notes of the bench for the status bar that no single panel owns: "Start" pressed without an
// open port (said until the port opens or polling stops), and a settings file that cannot be
// written (said once, withdrawn when it can be written again).
class StatusNotes : public QObject
{
    Q_OBJECT

public:
    explicit StatusNotes(MainWindow *window);
    ~StatusNotes() override;

private:
    void showStartNote();

    MainWindow *window = nullptr;
};
