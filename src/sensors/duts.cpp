#include "sensors/duts.h"

#include "panels/serialedit.h"
#include "protocol/protocolnumber.h"
#include "sensors/panelhealth.h"
#include "sensors/runlog.h"
#include "sensors/serialscan.h"

#include <QDateTime>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMap>
#include <QStringList>

#include <algorithm>

namespace {

QString runLogTopic()
{
    return QStringLiteral("runlog");
}

} // namespace

Duts::Duts(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Duts"));
    resize(441, 103);
    setWindowTitle(QStringLiteral("Form"));

    auto *gridLayout = new QGridLayout(this);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setSpacing(1);
    gridLayout->setContentsMargins(2, 2, 2, 2);

    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setFrameShape(QFrame::Box);
    frame->setFrameShadow(QFrame::Raised);
    gridLayout->addWidget(frame, 0, 0);

    auto *gridLayout3 = new QGridLayout(frame);
    gridLayout3->setObjectName(QStringLiteral("gridLayout_3"));
    gridLayout3->setSpacing(1);
    gridLayout3->setContentsMargins(2, 2, 2, 3);

    auto *horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    gridLayout3->addLayout(horizontalLayout, 0, 0);

    for (quint8 i = 0; i < dutCount; ++i) {
        auto *panel = new Dut(this, i);
        dutList.append(panel);
        health.append(new PanelHealth(panel));
        horizontalLayout->addWidget(panel);

        connect(panel, &Dut::sendTypePolinom, this, &Duts::slTypePolinom);
        connect(panel, &Dut::sigSave, this, &Duts::slSave);
        connect(panel, &Dut::sigLoad, this, &Duts::slLoad);
        connect(panel, &Dut::updatePlot, this, &Duts::slUpdatePlot);
        connect(panel, &Dut::updatePlotColor, this, &Duts::slUpdatePlotColor);
        connect(panel, &Dut::sigUpdateK, this, &Duts::slUpdateK);
        connect(panel, &Dut::sigExchangeOk, this, &Duts::sigExchangeOk);
        connect(panel, &Dut::sigExchangeError, this, &Duts::sigExchangeError);
        connect(panel, &Dut::sigStatus, this, &Duts::sigStatus);
        connect(panel, &Dut::addressChanged, this, &Duts::checkLine);
        connect(panel, &Dut::sigCalibrated, this, &Duts::recorded);
    }

    clock.start();
    auto *serials = new SerialScan(dutList, this);
    connect(serials, &SerialScan::sigStatus, this, &Duts::sigStatus);

    runLog = new RunLog(this);
    connect(runLog, &RunLog::sigStatus, this,
        [this](const QString &message) { emit sigStatus(message, runLogTopic()); });
    connect(runLog, &RunLog::sigBacklog, this,
        [this](const QString &message) { emit sigStatus(message, QStringLiteral("runlog-disk")); });
}

int Duts::waitingLogLines() const
{
    return runLog->waitingLines();
}

Dut *Duts::dut(quint8 nomDut) const
{
    return nomDut < dutList.size() ? dutList.at(nomDut) : nullptr;
}

void Duts::setProtocol(quint8 nomProtocol)
{
    for (Dut *panel : qAsConst(dutList))
        panel->setProtocol(nomProtocol);
    protocol = nomProtocol;
    checkLine();
}

void Duts::setKEnabled(bool enabled)
{
    for (Dut *panel : qAsConst(dutList))
        panel->setKEnabled(enabled);
}

void Duts::updateAll()
{
    for (Dut *panel : qAsConst(dutList))
        panel->applySettings();
    checkLine();
}

bool Duts::hasCollected() const
{
    for (const Dut *panel : qAsConst(dutList)) {
        if (!panel->data()->isEmpty())
            return true;
    }
    return false;
}

bool Duts::hasCoefficients() const
{
    return std::any_of(
        dutList.begin(), dutList.end(), [](const Dut *panel) { return panel->hasCoefficients(); });
}

void Duts::checkLine()
{
    emit sigStatus(started && protocol == VeltaroVolume
            ? QStringLiteral("Veltaro-MD (объем): у протокола нет запроса измерения, опрос "
                             "ничего не даст")
            : QString(),
        QStringLiteral("protocol"));

    const bool anyPolled = std::any_of(
        dutList.cbegin(), dutList.cend(), [](const Dut *panel) { return panel->isPolled(); });
    emit sigStatus(started && !anyPolled
            ? QStringLiteral("Опрос не идёт: ни у одного ДУТ не выбран адрес (у всех «off»)")
            : QString(),
        QStringLiteral("polled"));

    QStringList shared;
    QMap<QString, QStringList> panelsByAddress;
    for (const Dut *panel : qAsConst(dutList)) {
        if (panel->isPolled())
            panelsByAddress[panel->addressText()] << QStringLiteral("ДУТ %1").arg(panel->number());
    }
    for (auto it = panelsByAddress.cbegin(); it != panelsByAddress.cend(); ++it) {
        if (it.value().size() > 1)
            shared << QStringLiteral("адрес %1 у %2")
                          .arg(it.key(), it.value().join(QStringLiteral(", ")));
    }
    emit sigStatus(shared.isEmpty()
            ? QString()
            : QStringLiteral("Один адрес у нескольких ДУТ, их ответы не различить: %1")
                  .arg(shared.join(QStringLiteral("; "))),
        QStringLiteral("address"));
}

void Duts::slChangeStart(bool start)
{
    // A start forgets the last polled panel, so that the first poll goes to panel 0 and an
    // answer still on its way is never credited to the new cycle. A stop keeps it: the answer
    // to the last frame is still taken when it comes.
    if (start)
        pollIndex = -1;
    pollPos = dutCount;
    for (Dut *panel : qAsConst(dutList))
        panel->setStarted(start);
    started = start;
    if (start)
        beginRun();
    checkLine();
}

void Duts::slClearAll()
{
    for (Dut *panel : qAsConst(dutList)) {
        panel->slClear();
        panel->forgetSensor();
    }
}

void Duts::newFile(bool openPort)
{
    // A new opening of the port is the operator's own choice of line: nothing to compare with.
    returnCheck.reset();
    for (auto it = heldWhy.cbegin(); it != heldWhy.cend(); ++it)
        health.at(it.key())->setHeld(QString());
    heldWhy.clear();
    showHeld();
    // A new run directory needs its own identifier.
    runId.clear();
    runIdDue = started;
    if (openPort) {
        // A run that could not be logged is over; the new one reports for itself.
        emit sigStatus(QString(), runLogTopic());
        runLog->open(QDateTime::currentDateTime());
    } else {
        runLog->close();
    }
}

void Duts::setFileName(quint8 nomDut, const QString &fileName)
{
    if (Dut *panel = dut(nomDut))
        panel->setFileName(fileName);
}

const Dut::ValueSets *Duts::getValues(quint8 nomDut) const
{
    const Dut *panel = dut(nomDut);
    return panel ? panel->getValues() : nullptr;
}

Dut::MidlMap *Duts::getMidl(quint8 nomDut)
{
    Dut *panel = dut(nomDut);
    return panel ? panel->getMidl() : nullptr;
}

Dut::MidlMap *Duts::getMidl(quint8 nomDut, eTypeData type)
{
    Dut *panel = dut(nomDut);
    return panel ? panel->getMidl(type) : nullptr;
}

Dut::CurveMap *Duts::getTrend(quint8 nomDut)
{
    Dut *panel = dut(nomDut);
    return panel ? panel->getTrend() : nullptr;
}

Dut::CurveMap *Duts::getDelta(quint8 nomDut)
{
    Dut *panel = dut(nomDut);
    return panel ? panel->getDelta() : nullptr;
}

void Duts::setMidl(quint8 nomDut, const Dut::MidlMap &points, eTypeData type)
{
    if (Dut *panel = dut(nomDut))
        panel->setPoints(points, type);
}

QList<SensorSetup> Duts::setups() const
{
    QList<SensorSetup> all;
    for (const Dut *panel : qAsConst(dutList))
        all.append(panel->setup());
    return all;
}

QByteArray Duts::getPollRequest()
{
    const int count = dutList.size();
    for (int tried = 0; tried < count; ++tried) {
        ++pollPos;
        if (pollPos >= count)
            pollPos = 0;
        QByteArray frame = dutList.at(pollPos)->pollRequest();
        if (!frame.isEmpty()) {
            pollIndex = pollPos;
            return frame;
        }
    }
    pollIndex = -1;
    return QByteArray();
}

DutInfo Duts::processAnswer(QByteArray *answer)
{
    if (pollIndex < 0 || pollIndex >= dutList.size() || !answer)
        return DutInfo();
    const quint8 nomDut = quint8(pollIndex);
    const qint64 now = clock.elapsed();
    {
        QByteArray copy = *answer;
        const DutInfo decoded = dutList.at(pollIndex)->checkKAnswer(&copy);
        const ReturnCheck::Verdict verdict = returnCheck.check(nomDut, decoded, now);
        if (!verdict.take) {
            holdBack(nomDut, decoded, verdict.why);
            return DutInfo();
        }
    }
    const DutInfo info = dutList.at(pollIndex)->takeAnswer(answer);
    health.at(pollIndex)->afterPoll();
    runLog->writeSensor(nomDut, protocol, info);
    recordRunId();
    returnCheck.taken(nomDut, info, now);
    return info;
}

bool Duts::answersPoll(const QByteArray &answer) const
{
    if (pollIndex < 0 || pollIndex >= dutList.size())
        return false;
    QByteArray copy = answer;
    return dutList.at(pollIndex)->checkKAnswer(&copy).valid;
}

void Duts::holdBack(quint8 nomDut, const DutInfo &info, const QString &why)
{
    const bool first = !heldWhy.contains(nomDut);
    heldWhy.insert(nomDut, why);
    // The reading stays in the trace with its values, so a line accepted later loses nothing.
    QString what = info.valid ? QStringLiteral("t %1 °C, уровень %2, частота %3, период %4")
                                    .arg(info.temp)
                                    .arg(info.level)
                                    .arg(info.freq)
                                    .arg(info.period)
                              : QStringLiteral("нет показания");
    runLog->writeEvent(QDateTime::currentDateTime(),
        QStringLiteral("ДУТ %1: показание не засчитано (%2): %3").arg(nomDut).arg(why, what));
    if (first) {
        health.at(nomDut)->setHeld(why);
        showHeld();
    }
}

void Duts::showHeld()
{
    QStringList parts;
    for (auto it = heldWhy.cbegin(); it != heldWhy.cend(); ++it)
        parts << QStringLiteral("ДУТ %1 — %2").arg(it.key()).arg(it.value());
    emit sigStatus(parts.isEmpty()
            ? QString()
            : QStringLiteral("После возврата линии показания не засчитываются: %1; «Принять» "
                             "на панели порта засчитывает их")
                  .arg(parts.join(QStringLiteral("; "))),
        QStringLiteral("return"));
    emit holding(!parts.isEmpty());
}

void Duts::acceptReturn()
{
    if (!returnCheck.isHolding() && heldWhy.isEmpty())
        return;
    returnCheck.accept();
    for (auto it = heldWhy.cbegin(); it != heldWhy.cend(); ++it)
        health.at(it.key())->setHeld(QString());
    heldWhy.clear();
    runLog->writeEvent(QDateTime::currentDateTime(),
        QStringLiteral("линия принята оператором: показания засчитываются"));
    showHeld();
}

QByteArray Duts::getKRequest()
{
    for (int i = 0; i < dutList.size(); ++i) {
        QByteArray frame = dutList.at(i)->getRequestK();
        if (!frame.isEmpty()) {
            kIndex = qint16(i);
            return frame;
        }
    }
    kIndex = -1;
    return QByteArray();
}

DutInfo Duts::checkKAnswer(QByteArray *answer)
{
    if (kIndex < 0 || kIndex >= dutList.size() || !answer)
        return DutInfo();
    return dutList.at(kIndex)->checkKAnswer(answer);
}

QString Duts::runDirectory() const
{
    return runLog->directory();
}

void Duts::recorded(quint8 nomDut, const CalibrationRecord &record)
{
    emit sigCalibrated(stamped(nomDut, record));
}

void Duts::writeLog(const QByteArray &bytes)
{
    runLog->writeTrace(bytes);
}

DutInfo Duts::lineLost(QByteArray *answer, bool polling, const QString &port, const QString &reason)
{
    // Traced first, as the tick would have: in the form of the protocol while polling, as hex
    // for a coefficient exchange.
    if (answer && !answer->isEmpty())
        runLog->writeTrace(polling && protocolIsText(protocol) ? *answer : answer->toHex());
    DutInfo info;
    if (polling && pollIndex >= 0 && pollIndex < dutList.size() && answer && !answer->isEmpty()) {
        QByteArray copy = *answer;
        if (dutList.at(pollIndex)->checkKAnswer(&copy).valid)
            info = processAnswer(answer);
    }
    // Nothing is on its way any more: the first tick after the return credits no answer.
    pollIndex = -1;
    kIndex = -1;
    // An exchange cannot go on over a line that is gone, nor pass for done when it returns.
    for (Dut *panel : qAsConst(dutList))
        panel->abandonExchange();
    const QDateTime now = QDateTime::currentDateTime();
    runLog->writeEvent(now, QStringLiteral("связь потеряна: порт %1, %2").arg(port, reason));
    for (PanelHealth *panel : qAsConst(health))
        panel->setLineLost(true, now);
    return info;
}

void Duts::lineBack(
    const QString &port, qint64 outageMs, int missedPolls, const QString &otherDevice)
{
    for (PanelHealth *panel : qAsConst(health))
        panel->setLineLost(false);
    returnCheck.lineBack(!otherDevice.isEmpty());
    if (!otherDevice.isEmpty())
        emit holding(true);
    QString text
        = QStringLiteral("связь восстановлена: порт %1, перерыв %2 с, пропущено опросов: %3")
              .arg(port)
              .arg(double(outageMs) / 1000.0, 0, 'f', 1)
              .arg(missedPolls);
    if (!otherDevice.isEmpty())
        text += QStringLiteral(", другое устройство: %1; его показания не засчитываются")
                    .arg(otherDevice);
    runLog->writeEvent(QDateTime::currentDateTime(), text);
}

void Duts::slEditMidl(quint8 nomDut, quint8 nomPoint, quint32 y)
{
    Dut *panel = dut(nomDut);
    if (!panel)
        return;
    // The run keeps the point as it is now; a drag is not slowed by another rebuild of the
    // mid values to find it.
    if (const std::optional<qint8> temp = panel->editPoint(nomPoint, y))
        runLog->writePoint(nomDut, panel->currentKind(), *temp, y);
}

void Duts::slAddMidl(quint8 nomDut, qint8 temp, quint32 y, eTypeData type)
{
    Dut *panel = dut(nomDut);
    if (!panel)
        return;
    panel->setPoint(temp, y, type);
    const Dut::MidlMap *points = panel->getMidl(type);
    if (points && points->contains(temp))
        runLog->writePoint(nomDut, type, temp, points->value(temp));
}

void Duts::slTypePolinom(quint8 nomDut, eTypeData type)
{
    emit sendTypePolinom(nomDut, type);
}

void Duts::slSave(quint8 nomDut)
{
    emit sigSave(nomDut);
}

void Duts::slLoad(quint8 nomDut)
{
    emit sigLoad(nomDut);
}

void Duts::slUpdatePlot(quint8 nomDut, quint8 en)
{
    emit updatePlot(nomDut, en);
}

void Duts::slUpdatePlotColor(quint8 nomDut, QRgb value, QRgb midl, QRgb delta, QRgb trend, QRgb k)
{
    emit updatePlotColor(nomDut, value, midl, delta, trend, k);
}

void Duts::slUpdateK(quint8 nomDut, double *readK)
{
    emit sigUpdateK(nomDut, readK);
}
