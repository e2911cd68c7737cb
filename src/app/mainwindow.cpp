#include "app/mainwindow.h"

#include "panels/protocol.h"
#include "serial/comport.h"

#include <QGridLayout>
#include <QMenuBar>
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
    // The sensor bank is created here, right after the serial panel, and the plot after it.
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

    // Opening or closing the port updates the coefficient buttons before anything else.
    connect(m_comPort, &ComPort::open, this, &MainWindow::slEnableK);
    connect(m_protocol, &Protocol::changeStart, this, &MainWindow::slEnableK);
    // The polling tick runs before the coefficient tick.
    connect(pollTimer, &QTimer::timeout, this, &MainWindow::slotTimer);
    connect(pollTimer, &QTimer::timeout, this, &MainWindow::slotTimerK);
    connect(m_comPort, &ComPort::readyRead, this, &MainWindow::slotReadyRead);
    connect(m_protocol, &Protocol::changeProtocol, this, &MainWindow::slChangeProtocol);
    connect(m_protocol, &Protocol::changePeriod, this, &MainWindow::slChangePeriod);
    connect(m_comPort, &ComPort::sigStatus, statusBar,
        [statusBar](const QString &message) { statusBar->showMessage(message); });

    // Announce the stored period and protocol now that every receiver is connected; this
    // also writes them back, bounded, to the settings.
    m_protocol->slChangePeriod(m_protocol->period());
    m_protocol->slChangeProtocol(m_protocol->currentProtocol());

    setWindowTitle(QStringLiteral("Тарикон (revision: 592)"));
    // The interval is already set, so the first tick comes one period after start-up.
    pollTimer->start();
}

void MainWindow::slotTimer()
{
    // Polling tick: acts only while the port is open and polling is started.
}

void MainWindow::slotTimerK()
{
    // Coefficient tick: acts only while the port is open and polling is stopped.
}

void MainWindow::slotReadyRead()
{
    answerBuffer.append(m_comPort->readAll());
}

void MainWindow::sendPort(QByteArray frame)
{
    if (frame.isEmpty())
        return;
    m_comPort->write(frame);
}

void MainWindow::slChangeProtocol(uchar nomProtocol)
{
    Q_UNUSED(nomProtocol)
}

void MainWindow::slChangePeriod(int seconds)
{
    pollTimer->setInterval(seconds * 1000);
}

void MainWindow::slEnableK()
{ }
