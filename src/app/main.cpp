#include "app/mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The platform plug-in may lie beside the program.
    QStringList paths = QCoreApplication::libraryPaths();
    paths.append(QStringLiteral("."));
    paths.append(QStringLiteral("platforms"));
    QCoreApplication::setLibraryPaths(paths);

    QApplication app(argc, argv);
    MainWindow window;
    window.showMaximized();
    return app.exec();
}
