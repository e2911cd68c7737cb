#include "app/mainwindow.h"

#include "panels/protocol.h"
#include "plot/plot.h"
#include "sensors/duts.h"
#include "serial/comport.h"

#include <QGridLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    resize(400, 300);

    auto *centralWidget = new QWidget(this);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    auto *gridLayout_2 = new QGridLayout(centralWidget);
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    gridLayout_2->setSpacing(1);
    gridLayout_2->setContentsMargins(1, 1, 1, 1);
    auto *gridLayout = new QGridLayout;
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(1);
    gridLayout_2->addLayout(gridLayout, 0, 0);
    setCentralWidget(centralWidget);

    auto *menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    menuBar->setGeometry(QRect(0, 0, 400, 18));
    setMenuBar(menuBar);
    auto *mainToolBar = new QToolBar(this);
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    addToolBar(Qt::TopToolBarArea, mainToolBar);
    auto *statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    setStatusBar(statusBar);
    setWindowTitle(QStringLiteral("Тарикон (revision: 592)"));

    m_comPort = new ComPort(centralWidget);
    m_duts = new Duts(this);
    // Right after the bank, whose panels give the plot its start colours.
    m_plot = new Plot(*m_duts, centralWidget);
    m_protocol = new Protocol(centralWidget);

    // The one timer that drives polling and the coefficient exchange; it runs for the whole
    // life of the window and each tick decides for itself whether to act.
    pollTimer = new QTimer(this);
    pollTimer->setObjectName(QStringLiteral("pollTimer"));
    pollTimer->setSingleShot(false);

    // Column 0 stays empty. The sensor bank goes to row 1 and the plot to row 2, each
    // spanning columns 1 and 2.
    gridLayout->addWidget(m_comPort, 0, 1);
    gridLayout->addWidget(m_protocol, 0, 2);
    gridLayout->addWidget(m_duts, 1, 1, 1, 2);
    gridLayout->addWidget(m_plot, 2, 1, 1, 2);

    // Opening or closing the port updates the coefficient buttons before anything else.
    connect(m_comPort, &ComPort::open, this, &MainWindow::slEnableK);
    connect(m_protocol, &Protocol::changeStart, this, &MainWindow::slEnableK);
    // The polling tick runs before the coefficient tick.
    connect(pollTimer, &QTimer::timeout, this, &MainWindow::slotTimer);
    connect(pollTimer, &QTimer::timeout, this, &MainWindow::slotTimerK);
    connect(m_comPort, &ComPort::readyRead, this, &MainWindow::slotReadyRead);
    // Then the bank opens or closes the run log files.
    connect(m_comPort, &ComPort::open, m_duts, &Duts::newFile);
    connect(m_protocol, &Protocol::changeProtocol, this, &MainWindow::slChangeProtocol);
    connect(m_protocol, &Protocol::changePeriod, this, &MainWindow::slChangePeriod);
    connect(m_protocol, &Protocol::changeStart, m_duts, &Duts::slChangeStart);
    connect(m_protocol, &Protocol::sigClear, m_duts, &Duts::slClearAll);
    connect(m_duts, &Duts::sendTypePolinom, this, &MainWindow::slTypePolinom);
    connect(m_duts, &Duts::updatePlot, this, &MainWindow::slSetVisible);
    connect(m_duts, &Duts::updatePlotColor, m_plot, &Plot::slUpdatePlotColor);
    connect(m_duts, &Duts::sigUpdateK, m_plot, &Plot::slUpdateK);
    const auto showStatus
        = [statusBar](const QString &message) { statusBar->showMessage(message); };
    connect(m_comPort, &ComPort::sigStatus, statusBar, showStatus);
    connect(m_duts, &Duts::sigStatus, statusBar, showStatus);
    connect(m_duts, &Duts::sigExchangeOk, this, [this] { queueExchangeBox(QStringLiteral("OK")); });
    connect(m_duts, &Duts::sigExchangeError, this,
        [this] { queueExchangeBox(QStringLiteral("ERROR")); });

    // Every panel re-announces its stored settings now that the receivers exist. Then the
    // stored period and protocol are announced; this also writes them back, bounded, to the
    // settings.
    m_duts->updateAll();
    m_protocol->slChangePeriod(m_protocol->period());
    m_protocol->slChangeProtocol(m_protocol->currentProtocol());

    setWindowTitle(QStringLiteral("Тарикон (revision: 592)"));
    // The interval is already set, so the first tick comes one period after start-up.
    pollTimer->start();
}

namespace {

// The text protocol goes into the trace as it went over the line, every other one as
// lower-case hex digits.
QByteArray traceBytes(const QByteArray &bytes, bool raw)
{
    return raw ? bytes : bytes.toHex();
}

constexpr int kTextProtocol = 2;

} // namespace

void MainWindow::slotTimer()
{
    if (!m_comPort->isOpen() || !m_protocol->isStarted())
        return;

    // Close the exchange begun on the previous tick...
    const bool raw = m_protocol->currentProtocol() == kTextProtocol;
    m_duts->writeLog(traceBytes(answerBuffer, raw));
    const DutInfo info = m_duts->processAnswer(&answerBuffer);
    answerBuffer.clear();
    if (info.valid)
        slUpdatePlot(info.nomDut);

    // ...and open the next one.
    sendPort(m_duts->getPollRequest());
}

void MainWindow::slotTimerK()
{
    if (!m_comPort->isOpen() || m_protocol->isStarted())
        return;

    // Coefficient answers are binary whatever the bench protocol is.
    m_duts->writeLog(answerBuffer.toHex());
    m_duts->checkKAnswer(&answerBuffer);
    answerBuffer.clear();

    sendPort(m_duts->getKRequest());
}

void MainWindow::slotReadyRead()
{
    answerBuffer.append(m_comPort->readAll());
}

void MainWindow::sendPort(QByteArray frame)
{
    if (frame.isEmpty())
        return;
    const bool raw = m_protocol->currentProtocol() == kTextProtocol;
    m_duts->writeLog(
        QByteArrayLiteral("\r\n>>") + traceBytes(frame, raw) + QByteArrayLiteral("\r\n<<"));
    m_comPort->write(frame);
}

void MainWindow::slChangeProtocol(uchar nomProtocol)
{
    m_duts->setProtocol(nomProtocol);
}

void MainWindow::slChangePeriod(int seconds)
{
    pollTimer->setInterval(seconds * 1000);
}

void MainWindow::slEnableK()
{
    m_duts->setKEnabled(m_comPort->isOpen() && !m_protocol->isStarted());
}

void MainWindow::slUpdatePlot(uchar nomDut)
{
    m_plot->setValueCurves(m_duts->getValues(nomDut), nomDut);
    m_plot->setMidlCurve(m_duts->getMidl(nomDut), nomDut);
    m_plot->setTrendCurve(m_duts->getTrend(nomDut), nomDut);
    m_plot->setDeltaCurve(m_duts->getDelta(nomDut), nomDut);
}

void MainWindow::slTypePolinom(uchar nomDut, eTypeData kind)
{
    m_plot->setTypeData(kind);
    m_plot->clearValueCurves();
    slUpdatePlot(nomDut);
}

void MainWindow::slSetVisible(uchar nomDut, uchar en)
{
    m_plot->setTrendCurve(m_duts->getTrend(nomDut), nomDut);
    m_plot->slSetVisible(nomDut, en);
}

void MainWindow::queueExchangeBox(const QString &text)
{
    pendingBoxes.append(text);
    if (!showingBox)
        QTimer::singleShot(0, this, &MainWindow::showExchangeBoxes);
}

void MainWindow::showExchangeBoxes()
{
    // Ticks go on while a box is open. An exchange that ends meanwhile joins the queue and
    // gets its box after this one is closed, never a box inside the box.
    if (showingBox)
        return;
    showingBox = true;
    while (!pendingBoxes.isEmpty()) {
        QMessageBox box(this);
        box.setText(pendingBoxes.takeFirst());
        box.exec();
    }
    showingBox = false;
}
