#pragma once

#include "support/pseudoterminal.h"
#include "support/tempworkdir.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class Dut;
class MainWindow;
class QObject;

// The whole bench on a pseudo-terminal: a fresh working directory whose settings give a
// polling period of 99 s, so the timer never fires within a test and every tick is made by
// tick(); the main window; and the line, whose master side the test plays as the sensors.
// The window is operated through its widgets, as the operator would.
class BenchFixture
{
public:
    BenchFixture();
    ~BenchFixture();
    BenchFixture(const BenchFixture &) = delete;
    BenchFixture &operator=(const BenchFixture &) = delete;

    bool isValid() const { return m_dir.isValid() && m_line.isValid(); }
    MainWindow &window() const { return *m_window; }
    PseudoTerminal &line() { return m_line; }
    const TempWorkDir &dir() const { return m_dir; }

    Dut *dut(quint8 nomDut) const;
    // A widget of a sensor panel by object name, or nullptr.
    template<class T> T *panel(quint8 nomDut, const char *name) const
    {
        return qobject_cast<T *>(panelObject(nomDut, name));
    }
    // The text of a line edit of a sensor panel.
    QString panelText(quint8 nomDut, const char *name) const;

    // Chooses a sensor address on a panel's list (-1 is "off").
    void setAddress(quint8 nomDut, int address);
    void setProtocol(int index);
    // Types the line's path into the port list and presses "OPEN"; true if the port is open.
    bool openPort();
    // Presses the "OPEN"/"CLOSE" button.
    void pressOpen();
    // Presses the "Start"/"Stop" button.
    void pressStart();
    // One timer tick, made by hand: the polling handler, then the coefficient handler.
    void tick();

    // What the window has put on the line, collected with the event loop running until
    // `count` bytes are there or timeoutMs has passed.
    QByteArray sent(int count, int timeoutMs = 2000);
    // The sensor side writes `answer`; true once the window holds exactly these bytes for the
    // next tick. An empty answer is silence and is delivered at once.
    bool deliver(const QByteArray &answer);
    // Run directories made under the working directory so far.
    QStringList runDirectories() const;
    // The lines of a sensor's run log split into words, without the time (five words of Qt's
    // text date); a line whose time does not parse becomes {"<bad time>"}.
    static QList<QStringList> sensorLines(const QString &path);

private:
    QObject *panelObject(quint8 nomDut, const char *name) const;

    TempWorkDir m_dir;
    PseudoTerminal m_line;
    std::unique_ptr<MainWindow> m_window;
};
