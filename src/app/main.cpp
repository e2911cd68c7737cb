#include "app/mainwindow.h"
#include "app/translation.h"

#include <QApplication>

#include <csignal>

int main(int argc, char *argv[])
{
    // A file grown to the size limit of the process must fail the write, which the run log
    // survives, instead of ending the bench.
    std::signal(SIGXFSZ, SIG_IGN);
    // The platform plug-in may lie beside the program.
    QStringList paths = QCoreApplication::libraryPaths();
    paths.append(QStringLiteral("."));
    paths.append(QStringLiteral("platforms"));
    QCoreApplication::setLibraryPaths(paths);

    QApplication app(argc, argv);
    Translation::installRussian(&app);
    MainWindow window;
    window.showMaximized();
    return app.exec();
}
