#include "app/mainwindow.h"

#include "app/autocalibrator.h"
#include "app/bankarea.h"
#include "app/calibrationinfodialog.h"
#include "app/closeguard.h"
#include "app/filemenu.h"
#include "app/runprogress.h"
#include "app/setfiles.h"
#include "app/statusboard.h"
#include "app/statusnotes.h"
#include "app/tooltips.h"
#include "panels/discardquestion.h"
#include "panels/protocol.h"
#include "plot/plot.h"
#include "protocol/protocolnumber.h"
#include "records/labrecords.h"
#include "sensors/calibrationbook.h"
#include "sensors/calibrationjournal.h"
#include "sensors/duts.h"
#include "serial/comport.h"
#include "settings/settingsfile.h"
#include "settings/settingskeys.h"

#include <QDir>
#include <QGridLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>

#include <optional>

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
    new FileMenu(this, menuBar);
    auto *mainToolBar = new QToolBar(this);
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    addToolBar(Qt::TopToolBarArea, mainToolBar);
    auto *statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    setStatusBar(statusBar);
    m_status = new StatusBoard(statusBar);
    setWindowTitle(QStringLiteral("Тарикон (revision: 592)"));

    // Before any panel reads its settings: entries the bench never writes and the settings
    // object could not decode safely go, and the operator is told.
    {
        QString error;
        const int removed = SettingsFile::removeBinaryValues(settingskeys::file(), &error);
        const QString topic = QStringLiteral("settings");
        if (removed > 0)
            m_status->post(topic,
                QStringLiteral("settings.ini: удалено записей с двоичными данными: %1")
                    .arg(removed));
        else if (removed < 0)
            m_status->post(topic, QStringLiteral("settings.ini не проверен: %1").arg(error));
    }

    m_comPort = new ComPort(centralWidget);
    // Start-up writes the settings file once at most.
    const settingskeys::Batch settingsBatch;
    m_duts = new Duts(this);
    // Right after the bank, whose panels give the plot their curves and colours.
    m_plot = new Plot(centralWidget);
    {
        std::optional<QSettings> own;
        m_plot->setPickRadius(
            quint8(settingskeys::reader(own).value(settingskeys::pointRadius(), 10u).toUInt()));
    }
    for (const SensorSetup &setup : m_duts->setups())
        m_plot->setSetup(setup);
    m_book = new CalibrationBook(this);
    m_protocol = new Protocol(centralWidget);
    m_progress = new RunProgress(*m_duts, m_plot, statusBar);
    m_setFiles = new SetFiles(this);
    new CloseGuard(this);
    new StatusNotes(this);

    // The one timer that drives polling and the coefficient exchange; it runs for the whole
    // life of the window and each tick decides for itself whether to act.
    pollTimer = new QTimer(this);
    pollTimer->setObjectName(QStringLiteral("pollTimer"));
    pollTimer->setSingleShot(false);

    // Column 0 stays empty. Row 1, spanning columns 1 and 2, holds the sensor bank above the
    // plot, with a splitter between them: the bank scrolls sideways on a narrow screen, the
    // plot takes the height that remains, and the operator may trade one for the other.
    gridLayout->addWidget(m_comPort, 0, 1);
    gridLayout->addWidget(m_protocol, 0, 2);
    auto *splitter = new QSplitter(Qt::Vertical, centralWidget);
    splitter->setObjectName(QStringLiteral("bankPlotSplitter"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(new BankArea(m_duts, splitter));
    splitter->addWidget(m_plot);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    gridLayout->addWidget(splitter, 1, 1, 1, 2);
    ToolTips::apply(this);

    // Opening or closing the port updates the coefficient buttons before anything else.
    connect(m_comPort, &ComPort::open, this, &MainWindow::slEnableK);
    connect(m_protocol, &Protocol::changeStart, this, &MainWindow::slEnableK);
    // The polling tick runs before the coefficient tick.
    connect(pollTimer, &QTimer::timeout, this, &MainWindow::slotTimer);
    connect(pollTimer, &QTimer::timeout, this, &MainWindow::slotTimerK);
    connect(m_comPort, &ComPort::readyRead, this, &MainWindow::slotReadyRead);
    connect(m_comPort, &ComPort::lineLost, this, [this](const QString &port, const QString &why) {
        // The answer to the last poll before a stop is still a poll's.
        const bool polling = m_protocol->isStarted() || m_duts->isPollOpen();
        const DutInfo info = m_duts->lineLost(&answerBuffer, polling, port, why);
        answerBuffer.clear();
        if (info.valid)
            slUpdatePlot(info.nomDut);
    });
    connect(m_comPort, &ComPort::lineBack, m_duts, &Duts::lineBack);
    connect(m_comPort, &ComPort::accepted, m_duts, &Duts::acceptReturn);
    connect(m_duts, &Duts::holding, m_comPort, &ComPort::setHolding);
    // Then the bank opens or closes the run log files.
    connect(m_comPort, &ComPort::open, m_duts, &Duts::newFile);
    connect(m_protocol, &Protocol::changeProtocol, this, &MainWindow::slChangeProtocol);
    connect(m_protocol, &Protocol::changePeriod, this, &MainWindow::slChangePeriod);
    connect(m_protocol, &Protocol::changeStart, m_duts, &Duts::slChangeStart);
    connect(m_protocol, &Protocol::changeStart, m_progress, &RunProgress::setPolling);
    connect(m_protocol, &Protocol::changeStart, this, [this](bool started) {
        if (started)
            CalibrationInfoDialog::atPollingStart(this, [this](const QString &message) {
                m_status->post(QStringLiteral("reference"), message);
            });
    });
    connect(m_protocol, &Protocol::sigClear, m_duts, &Duts::slClearAll);
    m_protocol->setClearConfirmation([this] {
        QStringList serials;
        for (quint8 i = 0; i < Duts::dutCount; ++i) {
            if (!m_duts->dut(i)->serial().isEmpty())
                serials << m_duts->dut(i)->serial();
        }
        const QString serialText = serials.isEmpty()
            ? QString()
            : QStringLiteral(", а также заводские номера %1")
                  .arg(serials.join(QStringLiteral(", ")));
        return !(m_duts->hasCollected() || m_duts->hasCoefficients() || !serials.isEmpty())
            || DiscardQuestion::confirm(this, QStringLiteral("Очистить все"),
                QStringLiteral("Удалить у всех ДУТ собранные показания, точки калибровки и оба "
                               "столбца коэффициентов K0…K5 (подобранные и для записи в "
                               "датчик, также уже записанные или прочитанные)%1?")
                    .arg(serialText));
    });
    connect(m_plot, &Plot::editMidl, this, &MainWindow::slEditMidl);
    connect(m_plot, &Plot::addMidl, this, &MainWindow::slAddMidl);
    connect(m_duts, &Duts::sendTypePolinom, this, &MainWindow::slTypePolinom);
    connect(m_duts, &Duts::updatePlot, this, &MainWindow::slSetVisible);
    connect(m_duts, &Duts::updatePlotColor, m_plot, &Plot::slUpdatePlotColor);
    connect(m_duts, &Duts::sigUpdateK, m_plot, &Plot::slUpdateK);
    // A port that did not open or failed is reported until it opens.
    connect(m_comPort, &ComPort::sigStatus, m_status,
        [this](const QString &message) { m_status->post(QStringLiteral("port"), message); });
    connect(m_comPort, &ComPort::open, m_status, [this](bool opened) {
        if (opened)
            m_status->post(QStringLiteral("port"), QString());
    });
    connect(m_duts, &Duts::sigStatus, m_status,
        [this](const QString &message, const QString &topic) { m_status->post(topic, message); });
    // Every calibration record goes to the journal first, then to the bench's record file and
    // the laboratory's server, whatever became of the journal's line.
    auto *records = new LabRecords(QDir::currentPath(), this);
    connect(m_duts, &Duts::sigCalibrated, m_book, [this, records](CalibrationRecord record) {
        if (record.stage.isEmpty() && m_auto->runsExchange(record.sensor))
            record.stage = QStringLiteral("written");
        m_book->take(record);
        records->add(CalibrationJournal::row(record));
    });
    connect(m_book, &CalibrationBook::sigStatus, m_status,
        [this](const QString &message, const QString &topic) { m_status->post(topic, message); });
    connect(records, &LabRecords::sigStatus, m_status,
        [this](const QString &message, const QString &topic) { m_status->post(topic, message); });
    // An automatic exchange ends without a box; the course says how it went.
    connect(m_duts, &Duts::sigExchangeOk, this, [this](quint8 nomDut) {
        if (!m_auto->runsExchange(nomDut))
            queueExchangeBox(nomDut, QStringLiteral("OK"));
    });
    connect(m_duts, &Duts::sigExchangeError, this, [this](quint8 nomDut) {
        if (!m_auto->runsExchange(nomDut))
            queueExchangeBox(nomDut, QStringLiteral("ERROR"));
    });
    // After the boxes' connections, which ask it whose exchange ended.
    m_auto = new AutoCalibrator(*this);

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

} // namespace

void MainWindow::slotTimer()
{
    if (!m_protocol->isStarted())
        return;
    if (!m_comPort->isOpen()) {
        // Nothing is sent and no sensor fails while the line is lost.
        m_comPort->countMissedPoll();
        return;
    }

    // Close the exchange begun on the previous tick...
    if (!m_auto->closeStep(&answerBuffer))
        closePoll();
    // ...and open the next one: an automatic coefficient exchange's step, else a poll.
    if (!m_auto->sendStep())
        sendPort(m_duts->getPollRequest());
}

void MainWindow::closePoll()
{
    const bool raw = protocolIsText(m_protocol->currentProtocol());
    m_duts->writeLog(traceBytes(answerBuffer, raw));
    const DutInfo info = m_duts->processAnswer(&answerBuffer);
    answerBuffer.clear();
    if (info.valid) {
        slUpdatePlot(info.nomDut);
        m_progress->take(info);
        m_auto->taken(info.nomDut);
    }
}

void MainWindow::slotTimerK()
{
    if (!m_comPort->isOpen() || m_protocol->isStarted())
        return;
    // The last poll before a stop whose answer has not come whole is closed as a tick would
    // have closed it.
    if (m_duts->isPollOpen()) {
        closePoll();
        m_duts->endPoll();
    }

    // Coefficient answers are binary whatever the bench protocol is.
    m_duts->writeLog(answerBuffer.toHex());
    m_duts->checkKAnswer(&answerBuffer);
    answerBuffer.clear();

    sendPort(m_duts->getKRequest());
}

void MainWindow::slotReadyRead()
{
    answerBuffer.append(m_comPort->readAll());
    // After a stop, the answer to the last poll is taken as soon as it is whole.
    if (!m_protocol->isStarted() && m_duts->isPollOpen() && m_duts->answersPoll(answerBuffer)) {
        closePoll();
        m_duts->endPoll();
    }
}

void MainWindow::sendPort(QByteArray frame)
{
    if (frame.isEmpty())
        return;
    const bool raw = protocolIsText(m_protocol->currentProtocol());
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

void MainWindow::slEditMidl(uchar nomDut, uchar nomPoint, uint y)
{
    m_duts->slEditMidl(nomDut, nomPoint, y);
    m_plot->setMidlCurve(m_duts->getMidl(nomDut), nomDut);
    m_plot->setTrendCurve(m_duts->getTrend(nomDut), nomDut);
}

void MainWindow::slAddMidl(uchar nomDut, qint8 temp, uint y, eTypeData kind)
{
    m_duts->slAddMidl(nomDut, temp, y, kind);
    m_plot->setMidlCurve(m_duts->getMidl(nomDut), nomDut);
    m_plot->setTrendCurve(m_duts->getTrend(nomDut), nomDut);
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

void MainWindow::queueExchangeBox(quint8 nomDut, const QString &text)
{
    // Titled like the panel whose exchange it was.
    pendingBoxes.append({QStringLiteral("ДУТ %1").arg(nomDut), text});
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
        const QPair<QString, QString> next = pendingBoxes.takeFirst();
        QMessageBox box(this);
        box.setWindowTitle(next.first);
        box.setText(next.second);
        // A box sized to "OK" alone cuts its title: the window manager needs room for the title
        // beside its buttons.
        const int wide = qMax(200, box.fontMetrics().horizontalAdvance(next.first) + 140);
        box.setStyleSheet(QStringLiteral("QLabel#qt_msgbox_label { min-width: %1px; }").arg(wide));
        box.exec();
    }
    showingBox = false;
}
