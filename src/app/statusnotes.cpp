#include "app/statusnotes.h"

#include "app/mainwindow.h"
#include "app/statusboard.h"
#include "panels/protocol.h"
#include "serial/comport.h"
#include "settings/settingskeys.h"

#include <QPointer>
#include <QTimer>

namespace {

const QString kSettingsTopic = QStringLiteral("settings-write");

} // namespace

StatusNotes::StatusNotes(MainWindow *window)
    : QObject(window)
    , window(window)
    , settingsRetry(new QTimer(this))
{
    setObjectName(QStringLiteral("statusNotes"));
    settingsRetry->setObjectName(QStringLiteral("settingsRetry"));
    settingsRetry->setInterval(settingsRetryMs);
    connect(settingsRetry, &QTimer::timeout, this, &StatusNotes::writePendingSettings);
    connect(window->protocolPanel(), &Protocol::changeStart, this, &StatusNotes::showStartNote);
    connect(window->comPort(), &ComPort::open, this, &StatusNotes::showStartNote);
    window->statusBoard()->keepInSight(kSettingsTopic);
    settingskeys::setFailureReporter([notes = QPointer<StatusNotes>(this)](const QString &message) {
        if (notes)
            notes->settingsFailure(message);
    });
    // Values an earlier window could not store are still waiting.
    if (!settingskeys::writePending())
        settingsRetry->start();
}

StatusNotes::~StatusNotes()
{
    // A later window (of a test) sets its own.
    settingskeys::setFailureReporter({});
}

void StatusNotes::writePendingSettings()
{
    if (settingskeys::writePending())
        settingsRetry->stop();
}

void StatusNotes::settingsFailure(const QString &message)
{
    window->statusBoard()->post(kSettingsTopic, message);
    if (message.isEmpty())
        settingsRetry->stop();
    else
        settingsRetry->start();
}

void StatusNotes::showStartNote()
{
    window->statusBoard()->post(QStringLiteral("start"),
        window->protocolPanel()->isStarted() && !window->comPort()->isHeld()
            ? QStringLiteral("Опрос не идёт: порт не открыт, нажмите \u00abOPEN\u00bb")
            : QString());
}
