// Runs the bench in the current directory (the demo's, with its settings.ini), opens the port,
// starts polling and, after the given number of seconds, saves the whole screen as a PNG and
// quits. Environment: TARIKON_SHOT (the PNG's path, required), TARIKON_SHOT_AFTER (seconds,
// default 300).
#include "app/mainwindow.h"
#include "app/translation.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

bool press(const QWidget &window, const char *name)
{
    auto *button = window.findChild<QAbstractButton *>(QLatin1String(name));
    if (!button || !button->isEnabled())
        return false;
    button->click();
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    Translation::installRussian(&app);
    const QString out = qEnvironmentVariable("TARIKON_SHOT");
    if (out.isEmpty()) {
        std::fprintf(stderr, "TARIKON_SHOT names the picture to write\n");
        return 2;
    }
    bool ok = false;
    int after = qEnvironmentVariableIntValue("TARIKON_SHOT_AFTER", &ok);
    if (!ok || after < 0)
        after = 300;

    MainWindow window;
    // Without a window manager a maximised window keeps its own size: give it the screen.
    window.setGeometry(QGuiApplication::primaryScreen()->availableGeometry());
    window.show();

    int status = 0;
    QTimer::singleShot(500, &window, [&] {
        if (!press(window, "pbOpen") || !press(window, "pbStart")) {
            std::fprintf(stderr, "the port did not open or polling did not start\n");
            status = 1;
            app.exit(1);
        }
    });
    QTimer::singleShot(after * 1000 + 500, &window, [&] {
        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
        if (screen.isNull() || !screen.save(out, "PNG")) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(out));
            status = 1;
        }
        app.exit(status);
    });
    const int rc = app.exec();
    return status ? status : rc;
}
