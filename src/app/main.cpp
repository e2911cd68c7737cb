#include "app/mainwindow.h"
#include "app/translation.h"

#include <QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    // A file grown to the size limit of the process must fail the write, which the run log
    // survives, instead of ending the bench.
    std::signal(SIGXFSZ, SIG_IGN);
    // Plug-ins come only from Qt's own plug-in directory and from beside the program, which Qt
    // searches by itself ("platforms" there included). The working directory is the operator's
    // data folder: nothing in it is ever loaded as code.
    QApplication app(argc, argv);
    Translation::installRussian(&app);
    MainWindow window;
    window.showMaximized();
    return app.exec();
}
