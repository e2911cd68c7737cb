#include "app/mainwindow.h"

#include "app/bankarea.h"
#include "app/closeguard.h"
#include "app/filemenu.h"
#include "app/runprogress.h"
#include "app/statusboard.h"
#include "app/statusnotes.h"
#include "app/tooltips.h"
#include "panels/discardquestion.h"
#include "panels/protocol.h"
#include "plot/plot.h"
#include "protocol/protocolnumber.h"
#include "records/labrecords.h"
#include "sensors/duts.h"
#include "sensors/measurementset.h"
#include "serial/comport.h"
#include "settings/settingsfile.h"
#include "settings/settingskeys.h"

#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QSplitter>
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
    // Right after the bank, whose panels give the plot its start colours.
    m_plot = new Plot(*m_duts, centralWidget);
    m_protocol = new Protocol(centralWidget);
    m_progress = new RunProgress(*m_duts, m_plot, statusBar);
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
        const DutInfo info = m_duts->lineLost(&answerBuffer, m_protocol->isStarted(), port, why);
        answerBuffer.clear();
        if (info.valid)
            slUpdatePlot(info.nomDut);
    });
    connect(m_comPort, &ComPort::lineBack, m_duts, &Duts::lineBack);
    // Then the bank opens or closes the run log files.
    connect(m_comPort, &ComPort::open, m_duts, &Duts::newFile);
    connect(m_protocol, &Protocol::changeProtocol, this, &MainWindow::slChangeProtocol);
    connect(m_protocol, &Protocol::changePeriod, this, &MainWindow::slChangePeriod);
    connect(m_protocol, &Protocol::changeStart, m_duts, &Duts::slChangeStart);
    connect(m_protocol, &Protocol::changeStart, m_progress, &RunProgress::setPolling);
    connect(m_protocol, &Protocol::sigSave, this, &MainWindow::slSaveAll);
    connect(m_duts, &Duts::sigSave, this, &MainWindow::slSave);
    connect(m_protocol, &Protocol::sigLoad, this, &MainWindow::slLoadAll);
    connect(m_protocol, &Protocol::sigClear, m_duts, &Duts::slClearAll);
    m_protocol->setClearConfirmation([this] {
        return !(m_duts->hasCollected() || m_duts->hasCoefficients())
            || DiscardQuestion::confirm(this, QStringLiteral("Очистить все"),
                QStringLiteral("Удалить у всех ДУТ собранные показания, точки калибровки и оба "
                               "столбца коэффициентов K0…K5 (подобранные и для записи в "
                               "датчик, также уже записанные или прочитанные)?"));
    });
    connect(m_duts, &Duts::sigLoad, this, &MainWindow::slLoad);
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
    // Every calibration record also goes to the bench's record file and the laboratory's server.
    auto *records = new LabRecords(QDir::currentPath(), this);
    connect(m_duts, &Duts::sigRecord, records, &LabRecords::add);
    connect(records, &LabRecords::sigStatus, m_status,
        [this](const QString &message, const QString &topic) { m_status->post(topic, message); });
    connect(m_duts, &Duts::sigExchangeOk, this,
        [this](quint8 nomDut) { queueExchangeBox(nomDut, QStringLiteral("OK")); });
    connect(m_duts, &Duts::sigExchangeError, this,
        [this](quint8 nomDut) { queueExchangeBox(nomDut, QStringLiteral("ERROR")); });

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
    const bool raw = protocolIsText(m_protocol->currentProtocol());
    m_duts->writeLog(traceBytes(answerBuffer, raw));
    const DutInfo info = m_duts->processAnswer(&answerBuffer);
    answerBuffer.clear();
    if (info.valid) {
        slUpdatePlot(info.nomDut);
        m_progress->take(info);
    }

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

// ---- measurement sets

namespace {

const QString kSetTopic = QStringLiteral("set");

constexpr int kSetSensors = 6;
constexpr eTypeData kSetKinds[MeasurementSet::mapsPerSensor] = {Level, Freq, Period};

QString setSuffix(int nomDut)
{
    return nomDut == MainWindow::allSensors ? QStringLiteral("6fls") : QStringLiteral("1fls");
}

} // namespace

void MainWindow::slSaveAll()
{
    // The maps are taken when the button is pressed; polling goes on while the dialog is open.
    const SetMaps maps = setMaps(allSensors);
    const QString path = askSetFile(true, allSensors);
    if (!path.isEmpty())
        writeSet(path, maps, allSensors);
}

void MainWindow::slLoadAll()
{
    const QString path = askSetFile(false, allSensors);
    if (!path.isEmpty())
        loadSet(path, allSensors);
}

void MainWindow::slSave(uchar nomDut)
{
    const SetMaps maps = setMaps(nomDut);
    const QString path = askSetFile(true, nomDut);
    if (!path.isEmpty())
        writeSet(path, maps, nomDut);
}

void MainWindow::slLoad(uchar nomDut)
{
    const QString path = askSetFile(false, nomDut);
    if (!path.isEmpty())
        loadSet(path, nomDut);
}

bool MainWindow::saveSet(const QString &path, int nomDut)
{
    return writeSet(path, setMaps(nomDut), nomDut);
}

bool MainWindow::loadSet(const QString &path, int nomDut)
{
    const bool all = nomDut == allSensors;
    MeasurementSet::Contents contents;
    QString error;
    const int wanted = MeasurementSet::mapsPerSensor * (all ? kSetSensors : 1);
    if (path.isEmpty() || !MeasurementSet::read(path, wanted, &contents, &error)) {
        m_status->post(kSetTopic,
            QStringLiteral("Набор не открыт: %1: %2").arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    // A failure reported earlier is over once a set was read.
    m_status->post(kSetTopic, QString());
    // Both set dialogs start where a set was last saved or opened.
    settingskeys::store(settingskeys::loadPath(), path);
    settingskeys::store(settingskeys::savePath(), path);
    if (all)
        m_protocol->setFileName(path);

    // Only whole sensors are applied; the others keep their points. A six-sensor set opened on
    // one panel gives it sensor 0's maps, a one-sensor set opened for all goes to sensor 0.
    const int sensors = contents.maps.size() / MeasurementSet::mapsPerSensor;
    if (sensors == 0) {
        m_status->post(kSetTopic,
            QStringLiteral("В наборе %1 нет ни одного полного датчика, точки не изменены")
                .arg(QDir::toNativeSeparators(path)));
        return true;
    }
    for (int group = 0; group < (all ? sensors : 1); ++group) {
        const quint8 target = quint8(all ? group : nomDut);
        for (int k = 0; k < MeasurementSet::mapsPerSensor; ++k)
            m_duts->setMidl(
                target, contents.maps.at(MeasurementSet::mapsPerSensor * group + k), kSetKinds[k]);
        if (!all)
            m_duts->setFileName(target, path);
        // The readings go from the plot; the sensor is redrawn with its opened points.
        m_plot->clearValueCurves();
        slUpdatePlot(target);
    }
    if (!contents.complete)
        m_status->post(kSetTopic,
            QStringLiteral("Набор %1 обрезан: точки прочитаны не все, открыто датчиков: %2")
                .arg(QDir::toNativeSeparators(path))
                .arg(all ? sensors : 1));
    return true;
}

MainWindow::SetMaps MainWindow::setMaps(int nomDut)
{
    SetMaps maps;
    const int first = nomDut == allSensors ? 0 : nomDut;
    const int last = nomDut == allSensors ? kSetSensors - 1 : nomDut;
    for (int s = first; s <= last; ++s) {
        for (const eTypeData kind : kSetKinds) {
            const Dut::MidlMap *map = m_duts->getMidl(quint8(s), kind);
            maps.append(map ? *map : Dut::MidlMap());
        }
    }
    return maps;
}

bool MainWindow::writeSet(const QString &path, const SetMaps &maps, int nomDut)
{
    QString error;
    if (path.isEmpty() || !MeasurementSet::write(path, maps, &error)) {
        m_status->post(kSetTopic,
            QStringLiteral("Набор не сохранён в %1: %2")
                .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    m_status->post(kSetTopic, QString());
    settingskeys::store(settingskeys::savePath(), path);
    settingskeys::store(settingskeys::loadPath(), path);
    if (nomDut == allSensors)
        m_protocol->setFileName(path);
    else
        m_duts->setFileName(quint8(nomDut), path);
    emit setWritten(maps, nomDut);
    return true;
}

QString MainWindow::askSetFile(bool save, int nomDut)
{
    const QString suffix = setSuffix(nomDut);
    QFileDialog dialog(this, QStringLiteral("select files"),
        FileMenu::dialogStart(save ? settingskeys::savePath() : settingskeys::loadPath()),
        QStringLiteral("*.") + suffix);
    if (save) {
        // Asks before an existing file is replaced.
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(suffix);
    } else {
        dialog.setFileMode(QFileDialog::ExistingFile);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}
