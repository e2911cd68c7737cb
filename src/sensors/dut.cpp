#include "sensors/dut.h"

#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "panels/mycheckbox.h"
#include "protocol/protocolnumber.h"
#include "protocol/request.h"
#include "sensors/coefficientfile.h"
#include "sensors/settingskeys.h"

#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
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

const QString kGreyField
    = QStringLiteral("border: 1px solid gray;background-color: rgb(200, 200, 200);");
const QString kBorder = QStringLiteral("border: 1px solid gray;");

const QString kStyleSent = QStringLiteral("background-color: rgb(100, 100, 100);");
const QString kStyleGood = QStringLiteral("background-color: rgb(0, 200, 0);");
const QString kStyleBad = QStringLiteral("background-color: rgb(200, 0, 0);");
const QString kStyleCleared = QStringLiteral("background-color: rgb(0,200, 0);");

const QString kNoReading = QStringLiteral("---");
const QString kDefaultColor = QStringLiteral("4278190335"); // opaque blue

constexpr int kFlashMs = 100;

void store(const QString &name, const QVariant &value)
{
    QSettings settings(keys::file(), QSettings::IniFormat);
    settings.setValue(name, value);
}

QString colorStyle(QRgb color)
{
    return QStringLiteral("background-color: rgb(%1, %2, %3);")
        .arg(qRed(color))
        .arg(qGreen(color))
        .arg(qBlue(color));
}

// Colours are kept as unsigned decimal text; a signed form of the same 32 bits reads back too.
QRgb readColor(const QSettings &settings, const QString &name)
{
    bool ok = false;
    const qlonglong value = settings.value(name, kDefaultColor).toString().toLongLong(&ok);
    return ok ? static_cast<QRgb>(static_cast<quint32>(value)) : 0;
}

// A coefficient as typed in the write/read column, for the sensor's single-precision cells.
// Texts that are no number at all count as 0; "nan", "inf" and numbers beyond the float range
// are numbers, but not ones a sensor can be given.
bool coefficientOf(const QString &text, float *value)
{
    bool ok = false;
    const double number = text.toDouble(&ok);
    if (!ok) {
        *value = 0.0f;
        // A number too large even for a double reads as infinite.
        return !std::isinf(number);
    }
    *value = static_cast<float>(number);
    return std::isfinite(*value);
}

double numberOr0(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

// A window's deviation as its field shows it: empty when the reference makes percentages
// meaningless. The deviation fields show two integer digits and four decimals. A deviation of 100 %
// or more would lose its leading digit there (150 % would read as 15 %), so it is shown as the
// largest figure the field can hold instead, and the combined fields compare it as such.
QString deviationText(bool valid, double value)
{
    constexpr double kLargestShown = 99.9999;
    if (!valid)
        return QString();
    return QString::number(qBound(-kLargestShown, value, kLargestShown), 'f', 8);
}

QLabel *caption(const QString &text, QWidget *parent)
{
    return new QLabel(text, parent);
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

void Dut::buildForm()
{
    setObjectName(QStringLiteral("Dut"));
    resize(359, 344);

    QFont small = font();
    small.setPointSize(7);

    auto *outer = new QGridLayout(this);
    outer->setSpacing(0);
    outer->setContentsMargins(0, 0, 0, 0);
    auto *frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("frame"));
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Plain);
    outer->addWidget(frame, 0, 0);

    auto *frameGrid = new QGridLayout(frame);
    frameGrid->setSpacing(1);
    frameGrid->setContentsMargins(1, 1, 1, 1);

    auto named = [](QWidget *widget, const char *name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    auto lineEdit68 = [&](QLineEdit *&edit, const char *name, const QString &text) {
        edit = new QLineEdit(text, frame);
        named(edit, name);
        edit->setFixedWidth(68);
        edit->setStyleSheet(kGreyField);
    };

    // Curve row: which of the sensor's curves the plot shows, and in which colours.
    auto *curveRow = new QHBoxLayout();
    curveRow->setContentsMargins(-1, 2, -1, 4);
    auto colourBox = [&](MyCheckBox *&box, const char *name, const QString &text) {
        box = new MyCheckBox(frame);
        named(box, name);
        curveRow->addWidget(box);
        auto *label = caption(text, frame);
        label->setAlignment(Qt::AlignCenter);
        curveRow->addWidget(label);
    };
    colourBox(cbAll, "cbAll", QStringLiteral("Отоб."));
    colourBox(cbValue, "cbValue", QStringLiteral("Данн."));
    colourBox(cbMidl, "cbMidl", QStringLiteral("Сред."));
    colourBox(cbDelta, "cbDelta", QStringLiteral("Откл."));
    colourBox(cbTrend, "cbTrend", QStringLiteral("Тренд"));
    colourBox(cbK, "cbK", QStringLiteral("Тр. К"));
    frameGrid->addLayout(curveRow, 0, 0);

    // Readings and coefficients.
    auto *readings = new QGridLayout();
    readings->setSpacing(2);
    leFileName = new QLineEdit(frame);
    named(leFileName, "leFileName");
    leFileName->setReadOnly(true);
    leFileName->setFont(small);
    leFileName->setStyleSheet(kGreyField);
    readings->addWidget(leFileName, 0, 0, 1, 6);

    lName = new QLabel(frame);
    named(lName, "lName");
    lName->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    readings->addWidget(lName, 1, 0);
    cbPort = new QComboBox(frame);
    named(cbPort, "cbPort");
    cbPort->setFixedWidth(68);
    cbPort->setStyleSheet(kBorder);
    readings->addWidget(cbPort, 1, 1);

    leTypeData = caption(QStringLiteral("Уров."), frame);
    named(leTypeData, "leTypeData");
    readings->addWidget(leTypeData, 2, 0);
    lineEdit68(leLevel, "leLevel", kNoReading);
    readings->addWidget(leLevel, 2, 1);
    readings->addWidget(caption(QStringLiteral("Част."), frame), 3, 0);
    lineEdit68(leFreq, "leFreq", kNoReading);
    readings->addWidget(leFreq, 3, 1);
    readings->addWidget(caption(QStringLiteral("Период"), frame), 4, 0);
    lineEdit68(lePeriod, "lePeriod", kNoReading);
    readings->addWidget(lePeriod, 4, 1);
    readings->addWidget(caption(QStringLiteral("T, °C"), frame), 5, 0);
    lineEdit68(leTemperat, "leTemperat", kNoReading);
    readings->addWidget(leTemperat, 5, 1);
    readings->addWidget(caption(QStringLiteral("Err:"), frame), 6, 0);
    lineEdit68(leErr, "leErr", QStringLiteral("0"));
    readings->addWidget(leErr, 6, 1);
    readings->addWidget(caption(QStringLiteral("Объем"), frame), 7, 0);
    lineEdit68(lineEdit, "lineEdit", QString());
    readings->addWidget(lineEdit, 7, 1);
    readings->addWidget(caption(QStringLiteral("Статус"), frame), 8, 0);
    lineEdit68(lineEdit_2, "lineEdit_2", QString());
    readings->addWidget(lineEdit_2, 8, 1);

    for (int i = 0; i < 6; ++i) {
        readings->addWidget(caption(QStringLiteral("K%1").arg(i), frame), i + 1, 2);
        leK[i] = new QLineEdit(QStringLiteral("0"), frame);
        leK[i]->setObjectName(QStringLiteral("leK%1").arg(i));
        leK[i]->setFont(small);
        leK[i]->setStyleSheet(kGreyField);
        readings->addWidget(leK[i], i + 1, 3);
        leReadK[i] = new QLineEdit(QStringLiteral("0"), frame);
        leReadK[i]->setObjectName(QStringLiteral("leReadK%1").arg(i));
        leReadK[i]->setFont(small);
        leReadK[i]->setStyleSheet(kBorder);
        readings->addWidget(leReadK[i], i + 1, 5);
    }
    pbCalc2Save = new QPushButton(QStringLiteral("->"), frame);
    named(pbCalc2Save, "pbCalc2Save");
    pbCalc2Save->setFlat(true);
    pbCalc2Save->setFixedWidth(15);
    pbCalc2Save->setMinimumHeight(110);
    pbCalc2Save->setStyleSheet(kBorder);
    readings->addWidget(pbCalc2Save, 1, 4, 6, 1);
    frameGrid->addLayout(readings, 1, 0);

    // Polynomial, statistics range and deviations.
    auto *stats = new QGridLayout();
    stats->setHorizontalSpacing(1);
    stats->setVerticalSpacing(2);
    auto button50 = [&](QPushButton *&button, const char *name, const QString &text) {
        button = new QPushButton(text, frame);
        named(button, name);
        button->setFixedWidth(50);
    };
    auto deviationField = [&](QLineEdit *&edit, const char *name, bool narrow) {
        edit = new QLineEdit(frame);
        named(edit, name);
        edit->setReadOnly(true);
        edit->setStyleSheet(kGreyField);
        edit->setInputMask(QStringLiteral("99.9999"));
        if (narrow)
            edit->setMaximumWidth(60);
    };

    stats->addWidget(caption(QStringLiteral("Полин."), frame), 0, 0);
    cbTypePolinom = new QComboBox(frame);
    named(cbTypePolinom, "cbTypePolinom");
    cbTypePolinom->addItems(
        {QStringLiteral("Период"), QStringLiteral("Частота"), QStringLiteral("Уровень")});
    cbTypePolinom->setMaximumWidth(60);
    cbTypePolinom->setStyleSheet(kBorder);
    stats->addWidget(cbTypePolinom, 0, 1);
    stats->addWidget(caption(QStringLiteral("Степень"), frame), 0, 3);
    sbNomPolinom = new QSpinBox(frame);
    named(sbNomPolinom, "sbNomPolinom");
    sbNomPolinom->setRange(1, 5);
    sbNomPolinom->setValue(3);
    sbNomPolinom->setStyleSheet(kBorder);
    stats->addWidget(sbNomPolinom, 0, 4);
    button50(pbReadK, "pbReadK", QStringLiteral("Чтен. К"));
    pbReadK->setAutoDefault(false);
    pbReadK->setEnabled(false);
    stats->addWidget(pbReadK, 0, 5);

    stats->addWidget(caption(QStringLiteral("Диап."), frame), 1, 0);
    leMin = new LineEditMin(frame);
    named(leMin, "leMin");
    leMin->setText(QStringLiteral("-40"));
    leMin->setMaximumWidth(60);
    leMin->setStyleSheet(kBorder);
    stats->addWidget(leMin, 1, 1);
    stats->addWidget(caption(QStringLiteral("C°"), frame), 1, 2);
    leMax = new LineEditMax(frame);
    named(leMax, "leMax");
    leMax->setText(QStringLiteral("80"));
    leMax->setMaximumWidth(60);
    leMax->setStyleSheet(kBorder);
    stats->addWidget(leMax, 1, 3);
    leDiap = new QLineEdit(frame);
    named(leDiap, "leDiap");
    leDiap->setReadOnly(true);
    leDiap->setStyleSheet(kGreyField);
    stats->addWidget(leDiap, 1, 4);
    button50(pbSaveK, "pbSaveK", QStringLiteral("Запись К"));
    pbSaveK->setEnabled(false);
    stats->addWidget(pbSaveK, 1, 5);

    stats->addWidget(caption(QStringLiteral("Откл+"), frame), 2, 0);
    deviationField(leDeltaMinusPlus, "leDeltaMinusPlus", true);
    stats->addWidget(leDeltaMinusPlus, 2, 1);
    stats->addWidget(caption(QStringLiteral("%"), frame), 2, 2);
    deviationField(leDeltaPlusPlus, "leDeltaPlusPlus", true);
    stats->addWidget(leDeltaPlusPlus, 2, 3);
    deviationField(leDeltaPlus, "leDeltaPlus", false);
    stats->addWidget(leDeltaPlus, 2, 4);
    button50(pbLoadFileK, "pbLoadFileK", QStringLiteral("Откр. К"));
    stats->addWidget(pbLoadFileK, 2, 5);

    stats->addWidget(caption(QStringLiteral("Откл-"), frame), 3, 0);
    deviationField(leDeltaMinusMinus, "leDeltaMinusMinus", true);
    stats->addWidget(leDeltaMinusMinus, 3, 1);
    stats->addWidget(caption(QStringLiteral("%"), frame), 3, 2);
    deviationField(leDeltaPlusMinus, "leDeltaPlusMinus", true);
    stats->addWidget(leDeltaPlusMinus, 3, 3);
    deviationField(leDeltaMinus, "leDeltaMinus", false);
    stats->addWidget(leDeltaMinus, 3, 4);
    button50(pbSaveFileK, "pbSaveFileK", QStringLiteral("Сохр. К"));
    stats->addWidget(pbSaveFileK, 3, 5);
    frameGrid->addLayout(stats, 2, 0);

    // Measurement-set buttons.
    auto *buttons = new QHBoxLayout();
    buttons->setSpacing(2);
    pbLoad = new QPushButton(QStringLiteral("Открыть"), frame);
    named(pbLoad, "pbLoad");
    pbSave = new QPushButton(QStringLiteral("Сохранить"), frame);
    named(pbSave, "pbSave");
    pbClear = new QPushButton(QStringLiteral("Очистить"), frame);
    named(pbClear, "pbClear");
    buttons->addWidget(pbLoad);
    buttons->addWidget(pbSave);
    buttons->addWidget(pbClear);
    frameGrid->addLayout(buttons, 3, 0);
}

void Dut::readSettings()
{
    const QSettings settings(keys::file(), QSettings::IniFormat);

    const uint mask = settings.value(keys::curveMask(nomDut), 0).toUInt();
    cbValue->setChecked(mask & CurveValue);
    cbMidl->setChecked(mask & CurveMidl);
    cbDelta->setChecked(mask & CurveDelta);
    cbTrend->setChecked(mask & CurveTrend);
    cbAll->setChecked(mask & CurveAll);
    cbK->setChecked(mask & CurveK);

    // An index the lists do not have falls back to the first entry ("off", "Период").
    const int address = settings.value(keys::dutAddress(nomDut), 0).toInt();
    cbPort->setCurrentIndex(address >= 0 && address < cbPort->count() ? address : 0);

    leMin->setText(settings.value(keys::rangeMin(nomDut), "-40").toString());
    leMax->setText(settings.value(keys::rangeMax(nomDut), "80").toString());

    const int type = settings.value(keys::polynomType(nomDut), 0).toInt();
    cbTypePolinom->setCurrentIndex(type >= 0 && type < cbTypePolinom->count() ? type : 0);
    sbNomPolinom->setValue(settings.value(keys::polynomDegree(nomDut), 0).toInt());

    colorValue = readColor(settings, keys::colorValue(nomDut));
    colorMidl = readColor(settings, keys::colorMidl(nomDut));
    colorDelta = readColor(settings, keys::colorDelta(nomDut));
    colorTrend = readColor(settings, keys::colorTrend(nomDut));
    colorK = readColor(settings, keys::colorK(nomDut));
    cbValue->setStyleSheet(colorStyle(colorValue));
    cbMidl->setStyleSheet(colorStyle(colorMidl));
    cbDelta->setStyleSheet(colorStyle(colorDelta));
    cbTrend->setStyleSheet(colorStyle(colorTrend));
    cbK->setStyleSheet(colorStyle(colorK));
}

void Dut::makeConnections()
{
    connect(pbSaveK, &QPushButton::clicked, this, &Dut::slStartSaveK);
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
    connect(pbClear, &QPushButton::pressed, this, &Dut::slClear);
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
    return model->lastMidl();
}

Dut::MidlMap *Dut::getMidl()
{
    return getMidl(currentKind());
}

void Dut::showWindowStatistics(eTypeData kind)
{
    const SensorData::WindowStatistics stats = SensorData::windowStatistics(*model->lastMidl(),
        kind, static_cast<qint8>(leMin->text().toInt()), static_cast<qint8>(leMax->text().toInt()));
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
        out->setText(QString::number(qAbs(c) > qAbs(w) ? c : w, 'g', 6));
    };
    combine(leDeltaMinusPlus, leDeltaPlusPlus, leDeltaPlus);
    combine(leDeltaMinusMinus, leDeltaPlusMinus, leDeltaMinus);
}

void Dut::changeDiapazon()
{
    store(keys::rangeMin(nomDut), leMin->text());
    store(keys::rangeMax(nomDut), leMax->text());
    getMidl();
    leDiap->setText(QStringLiteral("%1...%2").arg(leMin->text(), leMax->text()));
}

void Dut::setPoint(qint8 temp, quint32 value, eTypeData kind)
{
    model->setPoint(temp, value, kind);
}

void Dut::editPoint(quint8 nomPoint, quint32 value)
{
    getMidl();
    model->editPoint(currentKind(), nomPoint, value);
}

void Dut::setPoints(const MidlMap &points, eTypeData kind)
{
    model->setPoints(points, kind);
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
    store(keys::polynomType(nomDut), cbTypePolinom->currentIndex());
    model->forgetMidl();
    emit sendTypePolinom(nomDut, currentKind());
}

void Dut::slNomPolinom(int degree)
{
    store(keys::polynomDegree(nomDut), degree);
    model->forgetMidl();
    emit sendNomPolinom(nomDut);
    emit sendTypePolinom(nomDut, currentKind());
}

void Dut::slCalc2Save()
{
    for (int i = 0; i < 6; ++i)
        leReadK[i]->setText(leK[i]->text());
}

void Dut::slUpdateK()
{
    for (int i = 0; i < 6; ++i)
        kCurve[i] = numberOr0(leReadK[i]->text());
    emit sigUpdateK(nomDut, kCurve);
}

void Dut::slStartSaveK()
{
    float values[6] = {};
    for (int i = 0; i < 6; ++i) {
        if (!coefficientOf(leReadK[i]->text(), &values[i])) {
            emit sigStatus(QStringLiteral("ДУТ %1: K%2 = \"%3\" не число, запись К не начата")
                               .arg(nomDut)
                               .arg(i)
                               .arg(leReadK[i]->text()));
            return;
        }
    }
    std::copy(std::begin(values), std::end(values), kValues);
    request->slStartSaveK();
}

void Dut::slStartReadK()
{
    request->slStartReadK();
}

void Dut::slUpdateLableK(quint8 nomK)
{
    pbSaveK->setText(
        nomK ? QStringLiteral("Зап. K%1...").arg(nomK - 1) : QStringLiteral("Запись К"));
}

void Dut::slUpdateReadK(quint8 nomK)
{
    pbReadK->setText(
        nomK ? QStringLiteral("Счит. K%1...").arg(nomK - 1) : QStringLiteral("Чтен. К"));
}

void Dut::slUpdateReadK(quint8 nomK, float value)
{
    slUpdateReadK(nomK);
    if (nomK < 6)
        leReadK[nomK]->setText(QString::number(value, 'g', 6));
}

// ---- coefficient files

namespace {

const QString kFileCaption = QStringLiteral("select files");
const QString kFileFilter = QStringLiteral("*.k");

// Start location of a coefficient file dialog: the last file saved or opened, else the home
// directory.
QString lastPath(const QString &name)
{
    const QSettings settings(keys::file(), QSettings::IniFormat);
    return settings.value(name, QDir::homePath()).toString();
}

} // namespace

void Dut::slSaveFileK()
{
    QFileDialog dialog(this, kFileCaption, lastPath(keys::saveKPath()), kFileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("k"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    saveFileK(dialog.selectedFiles().constFirst());
}

void Dut::slLoadFileK()
{
    const QString path = QFileDialog::getOpenFileName(
        this, kFileCaption, lastPath(keys::loadKPath()), kFileFilter);
    if (!path.isEmpty())
        loadFileK(path);
}

bool Dut::saveFileK(const QString &path)
{
    if (path.isEmpty())
        return false;
    QStringList texts;
    for (const QLineEdit *edit : leReadK)
        texts.append(edit->text());
    QString error;
    if (!CoefficientFile::write(path, texts, &error)) {
        emit sigStatus(QStringLiteral("ДУТ %1: коэффициенты не сохранены в %2: %3")
                           .arg(nomDut)
                           .arg(QDir::toNativeSeparators(path), error));
        return false;
    }
    store(keys::saveKPath(), path);
    return true;
}

bool Dut::loadFileK(const QString &path)
{
    QStringList texts;
    if (path.isEmpty() || !CoefficientFile::read(path, &texts))
        return false;
    store(keys::loadKPath(), path);
    for (int i = 0; i < 6; ++i)
        leReadK[i]->setText(texts.value(i));
    return true;
}

// ---- curves on the plot, address and measurement sets

quint8 Dut::visibilityMask() const
{
    return (cbValue->isChecked() ? CurveValue : 0) | (cbMidl->isChecked() ? CurveMidl : 0)
        | (cbDelta->isChecked() ? CurveDelta : 0) | (cbTrend->isChecked() ? CurveTrend : 0)
        | (cbAll->isChecked() ? CurveAll : 0) | (cbK->isChecked() ? CurveK : 0);
}

void Dut::slUpdateVisible()
{
    const quint8 mask = visibilityMask();
    store(keys::curveMask(nomDut), uint(mask));
    emit updatePlot(nomDut, cbAll->isChecked() ? mask : 0);
}

void Dut::slUpdateAll(bool checked)
{
    for (MyCheckBox *box : {cbValue, cbMidl, cbDelta, cbTrend, cbK})
        box->setEnabled(checked);
    slUpdateVisible();
}

void Dut::slUpdateNomDut(int index)
{
    store(keys::dutAddress(nomDut), index);
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

void Dut::emitColors()
{
    emit updatePlotColor(nomDut, colorValue, colorMidl, colorDelta, colorTrend, colorK);
}

QRgb Dut::getColorValue() const
{
    return colorValue | 0xFF000000u;
}

QRgb Dut::getColorMidl() const
{
    return colorMidl | 0xFF000000u;
}

QRgb Dut::getColorDelta() const
{
    return colorDelta | 0xFF000000u;
}

QRgb Dut::getColorTrend() const
{
    return colorTrend | 0xFF000000u;
}

QRgb Dut::getColorK() const
{
    return colorK | 0xFF000000u;
}

void Dut::setColor(MyCheckBox *box, QRgb color)
{
    QString name;
    if (box == cbValue) {
        colorValue = color;
        name = keys::colorValue(nomDut);
    } else if (box == cbMidl) {
        colorMidl = color;
        name = keys::colorMidl(nomDut);
    } else if (box == cbDelta) {
        colorDelta = color;
        name = keys::colorDelta(nomDut);
    } else if (box == cbTrend) {
        colorTrend = color;
        name = keys::colorTrend(nomDut);
    } else if (box == cbK) {
        colorK = color;
        name = keys::colorK(nomDut);
    } else {
        return;
    }
    box->setStyleSheet(colorStyle(color));
    store(name, QString::number(color));
}

bool Dut::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::MouseButtonPress)
        return QWidget::eventFilter(watched, event);
    MyCheckBox *box = nullptr;
    for (MyCheckBox *candidate : {cbValue, cbMidl, cbDelta, cbTrend, cbK}) {
        if (watched == candidate)
            box = candidate;
    }
    if (!box)
        return QWidget::eventFilter(watched, event);

    if (static_cast<QMouseEvent *>(event)->button() == Qt::RightButton) {
        // A cancelled dialog leaves the colour as it was.
        const QColor chosen = QColorDialog::getColor(Qt::white);
        if (chosen.isValid())
            setColor(box, qRgb(chosen.red(), chosen.green(), chosen.blue()));
    }
    emitColors();
    // The box still reacts as usual: a left press goes on to toggle it.
    return QWidget::eventFilter(watched, event);
}
