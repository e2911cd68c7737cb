#include "app/statusnotes.h"

#include "app/mainwindow.h"
#include "app/statusboard.h"
#include "panels/protocol.h"
#include "settings/settingskeys.h"
#include "serial/comport.h"

#include <QPointer>

StatusNotes::StatusNotes(MainWindow *window)
    : QObject(window)
    , window(window)
{
    setObjectName(QStringLiteral("statusNotes"));
    connect(window->protocolPanel(), &Protocol::changeStart, this, &StatusNotes::showStartNote);
    connect(window->comPort(), &ComPort::open, this, &StatusNotes::showStartNote);
    settingskeys::setFailureReporter(
        [board = QPointer<StatusBoard>(window->statusBoard())](const QString &message) {
            if (board)
                board->post(QStringLiteral("settings-write"), message);
        });
}

StatusNotes::~StatusNotes()
{
    // A later window (of a test) sets its own.
    settingskeys::setFailureReporter({});
}

void StatusNotes::showStartNote()
{
    window->statusBoard()->post(QStringLiteral("start"),
        window->protocolPanel()->isStarted() && !window->comPort()->isHeld()
            ? QStringLiteral("Опрос не идёт: порт не открыт, нажмите \u00abOPEN\u00bb")
            : QString());
}
