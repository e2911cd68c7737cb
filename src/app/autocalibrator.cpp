#include "app/autocalibrator.h"

#include "app/autoreport.h"
#include "app/calibrationreport.h"
#include "app/mainwindow.h"
#include "app/setfiles.h"
#include "app/statusboard.h"
#include "panels/protocol.h"
#include "sensors/calibrationbook.h"
#include "sensors/calibrationjournal.h"
#include "sensors/duts.h"
#include "sensors/sensordata.h"
#include "settings/safefile.h"
#include "settings/settingskeys.h"
#include "settings/storedsettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

const QString kTopic = QStringLiteral("autocalibration");

} // namespace

AutoCalibrator::AutoCalibrator(MainWindow &window)
    : QObject(&window)
    , window(window)
    , m_course(new AutoCalibration(this))
{
    Duts *bank = window.sensorBank();
    for (quint8 n = 0; n < Duts::dutCount; ++n) {
        Dut *panel = bank->dut(n);
        auto *phase = new QLabel(panel);
        phase->setObjectName(QStringLiteral("lAutoPhase"));
        auto *verdict = new QLabel(panel);
        verdict->setObjectName(QStringLiteral("lVerdict"));
        verdict->setStyleSheet(QStringLiteral("font-weight: bold;"));
        if (auto *grid = qobject_cast<QGridLayout *>(panel->layout())) {
            const int row = grid->rowCount();
            grid->addWidget(phase, row, 0);
            grid->addWidget(verdict, row + 1, 0);
        }
        phaseLabels[n] = phase;
        verdictLabels[n] = verdict;
        // A hand on the panel takes the sensor out of the course.
        for (const char *button : {"pbSaveK", "pbReadK", "pbClear"}) {
            if (auto *pressed = panel->findChild<QPushButton *>(QLatin1String(button)))
                connect(pressed, &QPushButton::clicked, this, [this, n] { m_course->manual(n); });
        }
        connect(panel, &Dut::sigLoad, this, [this, n] { m_course->manual(n); });
    }

    Protocol *protocol = window.protocolPanel();
    connect(protocol, &Protocol::changeStart, this, &AutoCalibrator::startOrStop);
    connect(protocol, &Protocol::changeAutoCalibration, this, &AutoCalibrator::startOrStop);
    connect(bank, &Duts::sigExchangeOk, this, [this](quint8 n) { exchangeEnded(n, true); });
    connect(bank, &Duts::sigExchangeError, this, [this](quint8 n) { exchangeEnded(n, false); });

    connect(m_course, &AutoCalibration::status, this,
        [this](const QString &text) { this->window.statusBoard()->post(kTopic, text); });
    connect(m_course, &AutoCalibration::neutralQuestion, this, [this](const QVector<int> &sensors) {
        // Not inside the tick that found the answer: a box runs an event loop of its own.
        QTimer::singleShot(0, this, [this, sensors] { askNeutral(sensors); });
    });
    connect(m_course, &AutoCalibration::clearData, this,
        [bank](int n) { bank->dut(quint8(n))->slClear(); });
    connect(m_course, &AutoCalibration::written, this, &AutoCalibrator::saveAsFound);
    connect(m_course, &AutoCalibration::exchangeAbandoned, this, [this, bank](int n) {
        // Ends as a press of Start ends an exchange, without a box.
        abandoning = true;
        running = -1;
        bank->dut(quint8(n))->abandonExchange();
        abandoning = false;
    });
    connect(m_course, &AutoCalibration::verdictReached, this,
        [this](int n, const AutoCalibration::Verdict &verdict) {
            verdictLabels[size_t(n)]->setText(verdict.text());
            journal(n, QStringLiteral("as_left"), &verdict);
            showPhase(n);
        });
    connect(m_course, &AutoCalibration::finished, this, &AutoCalibrator::finish);
}

QString AutoCalibrator::asFoundPath(const QString &runDirectory, int nomDut)
{
    return QDir(runDirectory).filePath(QStringLiteral("asfound_%1.1fls").arg(nomDut));
}

void AutoCalibrator::startOrStop()
{
    const Protocol *protocol = window.protocolPanel();
    const bool wanted = protocol->isStarted() && protocol->isAutoCalibration();
    if (!wanted) {
        if (m_course->isRunning())
            m_course->stop();
        for (int n = 0; n < AutoCalibration::sensorCount; ++n)
            showPhase(n);
        return;
    }
    if (m_course->isRunning())
        return;
    QVector<int> polled;
    QStringList unnamed;
    for (quint8 n = 0; n < Duts::dutCount; ++n) {
        const Dut *panel = window.sensorBank()->dut(n);
        if (!panel->isPolled())
            continue;
        polled.append(n);
        if (panel->serial().isEmpty())
            unnamed << QString::number(n);
        verdictLabels[n]->clear();
    }
    std::optional<QSettings> own;
    m_course->start(
        polled, StoredSettings::calibration(settingskeys::reader(own)), writtenBefore());
    found.clear();
    window.statusBoard()->post(QStringLiteral("autocalibration-serial"),
        unnamed.isEmpty() ? QString()
                          : QStringLiteral("Автокалибровка: нет заводского номера у ДУТ %1")
                                .arg(unnamed.join(QStringLiteral(", "))));
    for (const int n : qAsConst(polled))
        showPhase(n);
}

QVector<int> AutoCalibrator::writtenBefore() const
{
    // A run taken up again after a crash: what was written and verified is not written again,
    // whether the journal and the as-found sets sit in the run now open or in the one taken up
    // with "Загрузить прогон…" (opening the port starts a new directory).
    QStringList runs {window.sensorBank()->runDirectory(), window.sensorBank()->runTakenUp()};
    runs.removeAll(QString());
    QVector<int> written;
    if (runs.isEmpty())
        return written;
    const QList<CalibrationRecord> journal
        = CalibrationJournal::read(CalibrationBook::journalPath());
    QList<CalibrationRecord> records;
    for (const QString &run : qAsConst(runs))
        records += CalibrationJournal::ofRun(journal, run);
    for (int n = 0; n < AutoCalibration::sensorCount; ++n) {
        bool journalled = false;
        for (const CalibrationRecord &record : records) {
            AutoCalibration::Coefficients sent {};
            std::copy(record.write.sent.begin(), record.write.sent.end(), sent.begin());
            // The neutral set is written before the data is collected, not after.
            journalled = journalled
                || (record.sensor == n && record.stage == QLatin1String("written")
                    && record.write.ok && !AutoCalibration::isNeutral(sent));
        }
        bool saved = false;
        for (const QString &run : qAsConst(runs))
            saved = saved || QFile::exists(asFoundPath(run, n));
        if (journalled || saved)
            written.append(n);
    }
    return written;
}

bool AutoCalibrator::closeStep(QByteArray *answer)
{
    ended = -1;
    if (!frameOut)
        return false;
    frameOut = false;
    window.sensorBank()->writeLog(answer->toHex());
    // The exchange may have been given up since its frame went out: the answer is nobody's.
    if (running >= 0)
        window.sensorBank()->dut(quint8(running))->checkKAnswer(answer);
    answer->clear();
    return true;
}

bool AutoCalibrator::sendStep()
{
    if (running < 0) {
        if (!m_course->isRunning())
            return false;
        const AutoCalibration::Exchange next = m_course->nextExchange();
        if (next.kind == AutoCalibration::Exchange::None)
            return false;
        // The poll this tick closed is done with; the exchange's answers are not its.
        window.sensorBank()->endPoll();
        begin(next);
        if (running < 0)
            return false;
    }
    const int sensor = running;
    Dut *panel = window.sensorBank()->dut(quint8(sensor));
    const QByteArray frame = panel->getRequestK();
    // The step's tries ran out as the frame was built: the exchange is over, and the frame is
    // the panel's poll, which the bank's own turn sends instead.
    if (running != sensor || frame.isEmpty())
        return false;
    window.sendPort(frame);
    frameOut = true;
    return true;
}

void AutoCalibrator::begin(const AutoCalibration::Exchange &exchange)
{
    Dut *panel = window.sensorBank()->dut(quint8(exchange.sensor));
    running = exchange.sensor;
    runningKind = exchange.kind;
    switch (exchange.kind) {
    case AutoCalibration::Exchange::Read:
        panel->slStartReadK();
        break;
    case AutoCalibration::Exchange::WriteFit:
        // The range is covered: written as "->" and "Запись К" would, without their questions.
        panel->slCalc2Save();
        panel->slStartSaveK();
        break;
    default:
        setColumn(*panel, AutoCalibration::neutralSet());
        panel->slStartSaveK();
        break;
    }
    // A column the write refuses (a fit that is no number) never reaches the line.
    if (!panel->exchangeRunning())
        exchangeEnded(quint8(exchange.sensor), false);
    showPhase(exchange.sensor);
}

void AutoCalibrator::exchangeEnded(quint8 nomDut, bool ok)
{
    if (abandoning || int(nomDut) != running)
        return;
    running = -1;
    ended = nomDut;
    const Dut *panel = window.sensorBank()->dut(nomDut);
    if (runningKind == AutoCalibration::Exchange::Read) {
        std::optional<AutoCalibration::Coefficients> values;
        if (ok) {
            values = column(*panel);
            journal(nomDut, QStringLiteral("found"), nullptr);
        }
        m_course->readDone(nomDut, values);
    } else {
        m_course->writeDone(nomDut, ok);
    }
    showPhase(nomDut);
}

void AutoCalibrator::askNeutral(const QVector<int> &sensors)
{
    QStringList names;
    for (const int n : sensors)
        names << QStringLiteral("ДУТ %1").arg(n);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Автокалибровка"),
        QStringLiteral("%1 уже хранят свои коэффициенты K0…K5, данные через них подходят только "
                       "к остатку. Записать в них нейтральный набор 1, 0, 0, 0, 0, 0 перед "
                       "сбором данных?")
            .arg(names.join(QStringLiteral(", "))),
        QMessageBox::Yes | QMessageBox::No, &window);
    box.setDefaultButton(QMessageBox::Yes);
    m_course->answerNeutral(box.exec() == QMessageBox::Yes);
}

void AutoCalibrator::taken(int nomDut)
{
    const AutoCalibration::Phase phase = m_course->phase(nomDut);
    if (phase != AutoCalibration::Phase::Collecting && phase != AutoCalibration::Phase::Checking)
        return;
    const Dut *panel = window.sensorBank()->dut(quint8(nomDut));
    const SensorSetup setup = panel->setup();
    const QMap<qint8, quint32> midl = panel->data()->midlOf(typeDataOfEntry(setup.kindIndex));
    if (phase == AutoCalibration::Phase::Collecting) {
        const CoefficientWrite::Values fit = panel->coefficients();
        const bool fitted = std::any_of(fit.begin(), fit.end(), [](float k) { return k != 0; });
        if (fitted && Coverage::of(midl, setup.rangeMin, setup.rangeMax).complete())
            m_course->covered(nomDut);
    } else {
        m_course->midValues(nomDut, midl, setup.rangeMin, setup.rangeMax);
    }
    showPhase(nomDut);
}

void AutoCalibrator::showPhase(int nomDut)
{
    const Dut *panel = window.sensorBank()->dut(quint8(nomDut));
    QString text = AutoCalibration::phaseText(m_course->phase(nomDut));
    const SensorSetup setup = panel->setup();
    const QVector<int> lacking = m_course->lacking(nomDut,
        panel->data()->midlOf(typeDataOfEntry(setup.kindIndex)), setup.rangeMin, setup.rangeMax);
    if (!lacking.isEmpty()) {
        QStringList degrees;
        for (const int t : lacking)
            degrees << QString::number(t);
        text += QStringLiteral(", нет: %1 °C").arg(degrees.join(QStringLiteral(", ")));
    }
    phaseLabels[size_t(nomDut)]->setText(text);
}

void AutoCalibrator::saveAsFound(int nomDut)
{
    const QString run = window.sensorBank()->runDirectory();
    {
        const Dut *panel = window.sensorBank()->dut(quint8(nomDut));
        found[nomDut] = panel->data()->midlOf(typeDataOfEntry(panel->setup().kindIndex));
    }
    if (run.isEmpty() || !window.setFiles()->save(asFoundPath(run, nomDut), nomDut))
        window.statusBoard()->post(QStringLiteral("autocalibration-asfound"),
            QStringLiteral("ДУТ %1: данные «как найдено» не сохранены в каталоге прогона")
                .arg(nomDut));
    // From now on the panel collects what the compensated sensor reports. Its write column
    // goes on showing what the sensor now holds.
    Dut *panel = window.sensorBank()->dut(quint8(nomDut));
    QList<QLineEdit *> cells;
    QStringList held;
    for (int i = 0; i < 6; ++i) {
        if (auto *edit = panel->findChild<QLineEdit *>(QStringLiteral("leReadK%1").arg(i))) {
            cells << edit;
            held << edit->text();
        }
    }
    panel->slClear();
    for (int i = 0; i < cells.size(); ++i)
        cells[i]->setText(held[i]);
}

void AutoCalibrator::journal(
    int nomDut, const QString &stage, const AutoCalibration::Verdict *verdict)
{
    const Dut *panel = window.sensorBank()->dut(quint8(nomDut));
    const std::optional<CalibrationRecord> &last = window.calibrationBook()->lastWrite(nomDut);
    CalibrationRecord record;
    if (verdict && last) {
        // The write as it was judged on the data it was fitted to, with the figure measured
        // since.
        record = *last;
        record.time = QDateTime::currentDateTime();
        if (std::isfinite(verdict->deviationPercent))
            record.asLeftPercent = verdict->deviationPercent;
    } else {
        CoefficientWrite write;
        const AutoCalibration::Coefficients k = column(*panel);
        for (size_t i = 0; i < 6; ++i)
            write.found[i] = write.sent[i] = float(k[i]);
        write.haveFound = !verdict;
        write.ok = !verdict;
        if (verdict)
            write.failure = verdict->text();
        record = CalibrationRecord::of(*panel->data(), panel->setup(), write.sent, &write);
    }
    record.stage = stage;
    // Named and journalled as a write is, and kept by the laboratory's records as well.
    window.sensorBank()->recorded(quint8(nomDut), record);
}

void AutoCalibrator::finish(int passed, int total)
{
    if (window.protocolPanel()->isStarted())
        window.protocolPanel()->slChangeStart();
    QString run = window.sensorBank()->runDirectory();
    if (run.isEmpty())
        run = QDir::currentPath();
    const QString path = QDir(run).filePath(QStringLiteral("report.pdf"));
    CalibrationReport::Input input = CalibrationReport::collect(window);
    // A written sensor's own page judges its write on the data it was fitted to: what it
    // reported before the write.
    QObject holder;
    for (CalibrationReport::Sensor &sensor : input.sensors) {
        if (!found.contains(sensor.setup.sensor))
            continue;
        auto *before = new SensorData(&holder);
        before->setPoints(
            found.value(sensor.setup.sensor), typeDataOfEntry(sensor.setup.kindIndex));
        sensor.data = before;
    }
    for (int n = 0; n < AutoCalibration::sensorCount; ++n) {
        const std::optional<AutoCalibration::Verdict> verdict = m_course->verdict(n);
        if (!verdict)
            continue;
        const Dut *panel = window.sensorBank()->dut(quint8(n));
        AutoReport::Sensor sensor;
        sensor.sensor = n;
        sensor.found = found.value(n);
        sensor.left = panel->data()->midlOf(typeDataOfEntry(panel->setup().kindIndex));
        sensor.foundK = m_course->asFound(n);
        sensor.verdict = verdict->text();
        sensor.pass = verdict->result == AutoCalibration::Verdict::Pass;
        sensor.asLeftPercent = verdict->deviationPercent;
        sensor.rangeMin = panel->setup().rangeMin;
        sensor.rangeMax = panel->setup().rangeMax;
        input.automatic.append(sensor);
    }
    QString error;
    const QByteArray pdf = CalibrationReport::render(input);
    const bool saved = !pdf.isEmpty() && SafeFile::write(path, pdf, &error);
    window.statusBoard()->post(kTopic,
        saved ? QStringLiteral("Автокалибровка завершена: %1 из %2 годны, отчёт %3")
                    .arg(passed)
                    .arg(total)
                    .arg(QDir::toNativeSeparators(path))
              : QStringLiteral("Автокалибровка завершена: %1 из %2 годны, отчёт %3 не записан: %4")
                    .arg(passed)
                    .arg(total)
                    .arg(QDir::toNativeSeparators(path), error));
}

void AutoCalibrator::setColumn(Dut &panel, const AutoCalibration::Coefficients &k)
{
    for (int i = 0; i < 6; ++i) {
        if (auto *edit = panel.findChild<QLineEdit *>(QStringLiteral("leReadK%1").arg(i)))
            edit->setText(QString::number(k[size_t(i)]));
    }
}

AutoCalibration::Coefficients AutoCalibrator::column(const Dut &panel) const
{
    AutoCalibration::Coefficients k {};
    for (int i = 0; i < 6; ++i) {
        if (const auto *edit = panel.findChild<QLineEdit *>(QStringLiteral("leReadK%1").arg(i)))
            k[size_t(i)] = CoefficientWrite::valueOr0(edit->text());
    }
    return k;
}
