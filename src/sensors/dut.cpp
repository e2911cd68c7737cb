#include "sensors/dut.h"

#include "panels/discardquestion.h"
#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "panels/mycheckbox.h"
#include "panels/serialedit.h"
#include "protocol/protocolnumber.h"
#include "protocol/request.h"
#include "sensors/coefficientfile.h"
#include "settings/settingskeys.h"
#include "settings/storedsettings.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

namespace keys = settingskeys;

const QString kStyleSent = QStringLiteral("background-color: rgb(100, 100, 100);");
const QString kStyleGood = QStringLiteral("background-color: rgb(0, 200, 0);");
const QString kStyleBad = QStringLiteral("background-color: rgb(200, 0, 0);");
const QString kStyleCleared = QStringLiteral("background-color: rgb(0,200, 0);");

const QString kNoReading = QStringLiteral("---");

constexpr int kFlashMs = 100;

// A deviation as its field shows it: the magnitude with at most two integer digits and four
// decimals, cut rather than rounded ("1.1718" for 1.171875). A deviation of 100 % or more would
// not fit (150 % must not read as 15 %), so it is shown as the largest figure the field can
// hold, and the combined fields compare it as such.
QString deviationFigure(double value)
{
    constexpr double kLargestShown = 99.9999;
    QString text = QString::number(qMin(qAbs(value), kLargestShown), 'f', 8);
    text.chop(4);
    return text;
}

// A window's deviation, or nothing when the reference makes percentages meaningless.
QString deviationText(bool valid, double value)
{
    return valid ? deviationFigure(value) : QString();
}

} // namespace

Dut::Dut(QWidget *parent, uchar nomDut)
    : QWidget(parent)
    , nomDut(nomDut)
    , lastStyle(kStyleGood)
{
    buildForm();
    model = new SensorData(this);
    request = new Request(this, kValues, nomDut);
    errTimer = new QTimer(this);
    errTimer->setInterval(kFlashMs);

    lName->setText(QStringLiteral("ДУТ %1").arg(nomDut));
    cbPort->addItem(QStringLiteral("off"));
    for (int address = 0; address <= 254; ++address)
        cbPort->addItem(QString::number(address));

    for (MyCheckBox *box : {cbValue, cbMidl, cbTrend, cbDelta, cbK})
        box->installEventFilter(this);

    readSettings();
    // The decoder checks answers against the address shown from the start.
    request->setNomPort(cbPort->currentIndex());

    // Nobody listens yet: applySettings() repeats these once the bank is wired.
    slTypePolinom(cbTypePolinom->currentText());
    slUpdateVisible();

    makeConnections();
    slClear();
}

Dut::~Dut() = default;

void Dut::readSettings()
{
    std::optional<QSettings> own;
    const QSettings &settings = keys::reader(own);
    const SensorSetup stored = StoredSettings::sensor(settings, nomDut);

    for (const CurveEntry &curve : curveTable)
        colorBox(curve.color)->setChecked(stored.curveMask & curve.bit);
    cbAll->setChecked(stored.curveMask & CurveAll);

    // An index the lists do not have falls back to the first entry ("off", "Период").
    cbPort->setCurrentIndex(stored.addressIndex < cbPort->count() ? stored.addressIndex : 0);
    RangeEdit::setPair(
        *leMin, *leMax, QString::number(stored.rangeMin), QString::number(stored.rangeMax));
    cbTypePolinom->setCurrentIndex(
        stored.kindIndex < cbTypePolinom->count() ? stored.kindIndex : 0);
    sbNomPolinom->setValue(stored.degree);

    readColors(stored);
}

void Dut::makeConnections()
{
    connect(pbSaveK, &QPushButton::clicked, this, &Dut::slAskSaveK);
    connect(pbReadK, &QPushButton::clicked, this, &Dut::slStartReadK);
    connect(cbPort, qOverload<int>(&QComboBox::currentIndexChanged), request, &Request::setNomPort);
    connect(request, &Request::updateLableK, this, &Dut::slUpdateLableK);
    connect(request, qOverload<uchar>(&Request::updateReadK), this,
        qOverload<quint8>(&Dut::slUpdateReadK));
    connect(request, qOverload<uchar, float>(&Request::updateReadK), this,
        qOverload<quint8, float>(&Dut::slUpdateReadK));
    connect(request, &Request::sigExchangeOk, this, [this] { emit sigExchangeOk(nomDut); });
    connect(request, &Request::sigExchangeError, this, [this] { emit sigExchangeError(nomDut); });
    connect(sbNomPolinom, qOverload<int>(&QSpinBox::valueChanged), this, &Dut::slNomPolinom);
    connect(cbTypePolinom, qOverload<int>(&QComboBox::currentIndexChanged), this,
        [this] { slTypePolinom(cbTypePolinom->currentText()); });
    connect(pbSave, &QPushButton::pressed, this, &Dut::slSave);
    connect(pbLoad, &QPushButton::pressed, this, &Dut::slLoad);
    // On release: a question opened on press would leave the button held down under it.
    connect(pbClear, &QPushButton::clicked, this, &Dut::slAskClear);
    connect(leMin, &LineEditMin::textChanged, this, &Dut::changeDiapazon);
    connect(leMax, &LineEditMax::textChanged, this, &Dut::changeDiapazon);
    for (MyCheckBox *box : {cbDelta, cbValue, cbTrend, cbK, cbMidl})
        connect(box, &QCheckBox::stateChanged, this, &Dut::slUpdateVisible);
    connect(cbAll, &QCheckBox::toggled, this, &Dut::slUpdateAll);
    for (QLineEdit *edit : leReadK)
        connect(edit, &QLineEdit::textChanged, this, &Dut::slUpdateK);
    connect(pbCalc2Save, &QPushButton::pressed, this, &Dut::slCalc2Save);
    connect(cbPort, qOverload<int>(&QComboBox::currentIndexChanged), this, &Dut::slUpdateNomDut);
    for (QLineEdit *edit : {leDeltaMinusMinus, leDeltaMinusPlus, leDeltaPlusMinus, leDeltaPlusPlus})
        connect(edit, &QLineEdit::textChanged, this, &Dut::slUpdateDelta);
    connect(errTimer, &QTimer::timeout, this, &Dut::slTimerErr);
    connect(pbSaveFileK, &QPushButton::pressed, this, &Dut::slSaveFileK);
    connect(pbLoadFileK, &QPushButton::pressed, this, &Dut::slLoadFileK);
    connectCalibration();
}

// ---- polling

QByteArray Dut::pollRequest()
{
    if (cbPort->currentIndex() <= 0)
        return QByteArray();
    setStatusStyle(kStyleSent);
    errTimer->start();
    return request->getRequest(static_cast<uchar>(cbPort->currentIndex() - 1));
}

DutInfo Dut::takeAnswer(QByteArray *answer)
{
    QByteArray nothing;
    DutInfo info = request->checkAnswer(answer ? answer : &nothing);

    if (info.valid) {
        model->insert(info);
        refreshCoverage();
        leTemperat->setText(QString::number(info.temp));
        setStatusStyle(kStyleGood);
        leLevel->setText(QString::number(info.level));
        leFreq->setText(QString::number(info.freq));
        lePeriod->setText(QString::number(info.period));
    } else {
        // A coefficient acknowledgement is no measurement, but no failed poll either.
        if (!info.kAnswer)
            ++errCount;
        setStatusStyle(kStyleBad);
        leErr->setText(QString::number(errCount));
        leTemperat->setText(kNoReading);
        leLevel->setText(kNoReading);
        leFreq->setText(kNoReading);
        lePeriod->setText(kNoReading);
    }

    // Out of the working range: shown and kept, but not plotted and logged as an error.
    if (SensorData::slotOf(info.temp) > SensorData::lastSlot)
        info.valid = 0;
    lastStyle = leErr->styleSheet();
    return info;
}

void Dut::addReading(const DutInfo &info)
{
    if (info.valid && SensorData::slotOf(info.temp) <= SensorData::lastSlot)
        model->insert(info);
}

QByteArray Dut::getRequestK()
{
    return request->getRequest(static_cast<uchar>(cbPort->currentIndex() - 1));
}

DutInfo Dut::checkKAnswer(QByteArray *answer)
{
    QByteArray nothing;
    return request->checkAnswer(answer ? answer : &nothing);
}

void Dut::setProtocol(uchar protocol)
{
    request->setProtocol(protocol);

    // Kinds the protocol cannot deliver: items 0 "Период", 1 "Частота", 2 "Уровень".
    bool disabled[3] = {};
    for (eTypeData kind : {Level, Freq, Period})
        disabled[kind] = !protocolDelivers(protocol, kind);
    auto *items = qobject_cast<QStandardItemModel *>(cbTypePolinom->model());
    if (!items)
        return;
    // The list shows "Период", "Частота", "Уровень": item i is kind 2 - i.
    for (int item = 0; item < 3; ++item) {
        const bool off = disabled[2 - item];
        items->item(item)->setFlags(off ? Qt::ItemIsUserCheckable
                                        : Qt::ItemIsSelectable | Qt::ItemIsEditable
                    | Qt::ItemIsDropEnabled | Qt::ItemIsEnabled);
    }
    const int current = cbTypePolinom->currentIndex();
    if (current >= 0 && current < 3 && disabled[2 - current])
        cbTypePolinom->setCurrentIndex(2);
}

void Dut::setStarted(bool started)
{
    request->setStarted(started);
    if (started)
        setStatusStyle(kStyleSent);
}

void Dut::setKEnabled(bool enabled)
{
    pbSaveK->setEnabled(enabled);
    pbReadK->setEnabled(enabled);
}

void Dut::setStatusStyle(const QString &style)
{
    leErr->setStyleSheet(style);
}

void Dut::slTimerErr()
{
    errTimer->stop();
    setStatusStyle(lastStyle);
}

// ---- mid values, calibration points and statistics

SensorSetup Dut::setup() const
{
    SensorSetup setup;
    setup.sensor = nomDut;
    setup.addressIndex = std::max(cbPort->currentIndex(), 0);
    setup.protocol = request->protocolValue();
    setup.kindIndex = std::max(cbTypePolinom->currentIndex(), 0);
    setup.degree = sbNomPolinom->value();
    setup.rangeMin = leMin->bound();
    setup.rangeMax = leMax->bound();
    setup.curveMask = visibilityMask();
    setup.colors = colors;
    return setup;
}

CoefficientWrite::Values Dut::coefficients() const
{
    CoefficientWrite::Values values {};
    std::copy(std::begin(kValues), std::end(kValues), values.begin());
    return values;
}

eTypeData Dut::currentKind() const
{
    return typeDataFromText(cbTypePolinom->currentText());
}

const Dut::ValueSets *Dut::getValues() const
{
    return model->values(currentKind());
}

Dut::MidlMap *Dut::getMidl(eTypeData kind)
{
    model->midl(kind);
    showWindowStatistics(kind);
    if (kind == currentKind())
        showCoverage(*model->lastMidl());
    return model->lastMidl();
}

Dut::MidlMap *Dut::getMidl()
{
    return getMidl(currentKind());
}

void Dut::showWindowStatistics(eTypeData kind)
{
    const SensorData::WindowStatistics stats = SensorData::windowStatistics(*model->lastMidl(),
        kind, static_cast<qint8>(leMin->bound()), static_cast<qint8>(leMax->bound()));
    leDeltaMinusPlus->setText(deviationText(stats.cold.valid, stats.cold.up));
    leDeltaMinusMinus->setText(deviationText(stats.cold.valid, stats.cold.down));
    leDeltaPlusPlus->setText(deviationText(stats.warm.valid, stats.warm.up));
    leDeltaPlusMinus->setText(deviationText(stats.warm.valid, stats.warm.down));
}

void Dut::slUpdateDelta()
{
    // The larger magnitude of the two windows; a tie goes to the warm one. A window without
    // figures does not take part.
    auto combine = [](const QLineEdit *cold, const QLineEdit *warm, QLineEdit *out) {
        bool coldOk = false;
        bool warmOk = false;
        double c = cold->text().toDouble(&coldOk);
        double w = warm->text().toDouble(&warmOk);
        if (!coldOk && !warmOk) {
            out->clear();
            return;
        }
        if (!coldOk)
            c = 0;
        if (!warmOk)
            w = 0;
        out->setText(deviationFigure(qAbs(c) > qAbs(w) ? c : w));
    };
    combine(leDeltaMinusPlus, leDeltaPlusPlus, leDeltaPlus);
    combine(leDeltaMinusMinus, leDeltaPlusMinus, leDeltaMinus);
}

void Dut::changeDiapazon()
{
    // A refused end stays marked and the accepted pair stays in use and in the settings.
    const QString refused = RangeEdit::settle(*leMin, *leMax);
    emit sigStatus(
        refused.isEmpty() ? refused : QStringLiteral("ДУТ %1: %2").arg(nomDut).arg(refused),
        QStringLiteral("dut%1.range").arg(nomDut));
    if (!refused.isEmpty())
        return;
    keys::store(keys::rangeMin(nomDut), leMin->text());
    keys::store(keys::rangeMax(nomDut), leMax->text());
    getMidl();
    leDiap->setText(QStringLiteral("%1...%2").arg(leMin->text(), leMax->text()));
}

void Dut::setPoint(qint8 temp, quint32 value, eTypeData kind)
{
    model->setPoint(temp, value, kind);
    refreshCoverage();
}

std::optional<qint8> Dut::editPoint(quint8 nomPoint, quint32 value)
{
    getMidl();
    const std::optional<qint8> temp = model->editPoint(currentKind(), nomPoint, value);
    refreshCoverage();
    return temp;
}

void Dut::setPoints(const MidlMap &points, eTypeData kind)
{
    model->setPoints(points, kind);
    refreshCoverage();
}

Dut::CurveMap *Dut::getDelta()
{
    const eTypeData kind = currentKind();
    CurveMap *curve = model->delta(kind);
    showWindowStatistics(kind);
    return curve;
}

Dut::CurveMap *Dut::getTrend()
{
    const eTypeData kind = currentKind();
    // Next to the data the curve is drawn in the sensor's units, alone as a deviation in %.
    const bool rawUnits = cbValue->isChecked() || cbMidl->isChecked();
    SensorData::Coefficients k {};
    // Without a fit the coefficient fields keep what they showed.
    const bool fitted = model->fitTrend(kind, sbNomPolinom->value(), rawUnits, &k);
    showWindowStatistics(kind);
    if (fitted) {
        for (int i = 0; i < 6; ++i) {
            kValues[i] = static_cast<float>(k[i]);
            leK[i]->setText(QString::number(kValues[i], 'g', 6));
        }
    }
    return model->trendCurve();
}

void Dut::slClear()
{
    errCount = 0;
    setStatusStyle(kStyleCleared);
    // A request right after clearing must not flash back to the colour of an old answer.
    lastStyle = kStyleCleared;
    leErr->setText(QStringLiteral("0"));

    model->clear();
    refreshCoverage();
    for (int i = 0; i < 6; ++i) {
        leReadK[i]->setText(QStringLiteral("0"));
        leK[i]->setText(QStringLiteral("0"));
    }
    leFileName->clear();
    emit sendTypePolinom(nomDut, currentKind());
}

// ---- polynomial and coefficients

void Dut::slTypePolinom(const QString &)
{
    keys::store(keys::polynomType(nomDut), cbTypePolinom->currentIndex());
    model->forgetMidl();
    refreshCoverage();
    emit sendTypePolinom(nomDut, currentKind());
}

void Dut::slNomPolinom(int degree)
{
    keys::store(keys::polynomDegree(nomDut), degree);
    model->forgetMidl();
    emit sendNomPolinom(nomDut);
    emit sendTypePolinom(nomDut, currentKind());
}

// ---- curves on the plot, address and measurement sets

void Dut::slUpdateNomDut(int index)
{
    keys::store(keys::dutAddress(nomDut), index);
    emit addressChanged(nomDut);
}

QString Dut::addressText() const
{
    return cbPort->currentText();
}

bool Dut::isPolled() const
{
    return cbPort->currentIndex() > 0;
}

void Dut::slAskClear()
{
    const QString serialText
        = serial().isEmpty() ? QString() : QStringLiteral(" и заводской номер %1").arg(serial());
    if ((!model->isEmpty() || hasCoefficients() || !serial().isEmpty())
        && !DiscardQuestion::confirm(this, lName->text(),
            QStringLiteral("Удалить собранные показания, точки калибровки, оба столбца "
                           "коэффициентов K0…K5%2 %1?")
                .arg(lName->text(), serialText)))
        return;
    slClear();
    forgetSensor();
}

void Dut::slSave()
{
    emit sigSave(nomDut);
}

void Dut::slLoad()
{
    emit sigLoad(nomDut);
}

void Dut::setFileName(const QString &name)
{
    leFileName->setText(name);
}

void Dut::applySettings()
{
    slUpdateNomDut(cbPort->currentIndex());
    request->setNomPort(cbPort->currentIndex());
    changeDiapazon();
    slUpdateVisible();
    slNomPolinom(sbNomPolinom->value());
    slTypePolinom(cbTypePolinom->currentText());
    slUpdateAll(cbAll->isChecked());
    emitColors();
}
