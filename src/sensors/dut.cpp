#include "sensors/dut.h"

#include "fit/trend.h"
#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "panels/mycheckbox.h"
#include "protocol/request.h"
#include "sensors/coefficientfile.h"

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

const QString kSettingsFile = QStringLiteral("settings.ini");

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
constexpr int kLastSlot = 190; // +100 °C
constexpr int kReferenceTemp = 20;
constexpr int kMidlFirst = -90;
constexpr int kMidlLast = 99;
constexpr double kLevelScale = 100.0 / 4096.0; // level counts to percent of full scale

// Slot of a temperature in the per-temperature arrays: -90..+100 °C are slots 0..190,
// everything else wraps into 191..255.
quint8 slotOf(qint8 temp)
{
    return static_cast<quint8>(temp + 90);
}

bool isKind(int kind)
{
    return kind == Level || kind == Freq || kind == Period;
}

QString key(const char *pattern, uchar nomDut)
{
    return QString::fromLatin1(pattern).arg(nomDut);
}

void store(const QString &name, const QVariant &value)
{
    QSettings settings(kSettingsFile, QSettings::IniFormat);
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

// Percent of a deviation x from the reference: level is a fraction of the 4096-count scale,
// frequency and period are relative to the reference itself.
double percent(qint64 x, quint32 ref, eTypeData kind)
{
    if (kind == Level)
        return double(x) * kLevelScale;
    return double(x) / double(ref) * 100.0;
}

// Largest deviations above and below the reference within the temperatures from..to; the
// reference is the entry nearest to 20 °C, which is the `to` end of the walk. Both texts stay
// empty when the reference makes the percentages meaningless (a frequency or period of 0).
// The deviation fields show two integer digits and four decimals. A deviation of 100 % or
// more would lose its leading digit there (150 % would read as 15 %), so it is shown as the
// largest figure the field can hold instead, and the combined fields compare it as such.
QString deviationText(double value)
{
    constexpr double kLargestShown = 99.9999;
    return QString::number(qBound(-kLargestShown, value, kLargestShown), 'f', 8);
}

void windowDeviation(
    const Dut::MidlMap &map, int from, int to, eTypeData kind, QString *up, QString *down)
{
    double upValue = 0;
    double downValue = 0;
    const int lo = qMin(from, to);
    const int hi = qMax(from, to);
    auto it = map.lowerBound(static_cast<qint8>(lo));
    const auto end = map.upperBound(static_cast<qint8>(hi));
    if (it != end) {
        quint32 largest = 0;
        quint32 smallest = 0xFFFFFFFFu;
        for (auto walk = it; walk != end; ++walk) {
            largest = qMax(largest, walk.value());
            smallest = qMin(smallest, walk.value());
        }
        // Walking towards 20 °C, the last entry found is the one nearest to it.
        const quint32 ref = from <= to ? (end - 1).value() : it.value();
        upValue = percent(qint64(largest) - qint64(ref), ref, kind);
        downValue = percent(qint64(smallest) - qint64(ref), ref, kind);
        if (!std::isfinite(upValue) || !std::isfinite(downValue)) {
            up->clear();
            down->clear();
            return;
        }
    }
    *up = deviationText(upValue);
    *down = deviationText(downValue);
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
    trend = new Trend(this);
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
    const QSettings settings(kSettingsFile, QSettings::IniFormat);

    const uint mask = settings.value(key("Enabled/EnabledCurve%1_min", nomDut), 0).toUInt();
    cbValue->setChecked(mask & 0x01);
    cbMidl->setChecked(mask & 0x02);
    cbDelta->setChecked(mask & 0x04);
    cbTrend->setChecked(mask & 0x08);
    cbAll->setChecked(mask & 0x10);
    cbK->setChecked(mask & 0x20);

    // An index the lists do not have falls back to the first entry ("off", "Период").
    const int address = settings.value(key("DUT/DutAdres%1", nomDut), 0).toInt();
    cbPort->setCurrentIndex(address >= 0 && address < cbPort->count() ? address : 0);

    leMin->setText(settings.value(key("Diapazon/Dut%1_min", nomDut), "-40").toString());
    leMax->setText(settings.value(key("Diapazon/Dut%1_max", nomDut), "80").toString());

    const int type = settings.value(key("Polynom/PolynomType%1", nomDut), 0).toInt();
    cbTypePolinom->setCurrentIndex(type >= 0 && type < cbTypePolinom->count() ? type : 0);
    sbNomPolinom->setValue(settings.value(key("Polynom/PolynomNom%1", nomDut), 0).toInt());

    colorValue = readColor(settings, key("Color/Value%1_color", nomDut));
    colorMidl = readColor(settings, key("Color/Midl%1_color", nomDut));
    colorDelta = readColor(settings, key("Color/Delta%1_color", nomDut));
    colorTrend = readColor(settings, key("Color/Trend%1_color", nomDut));
    colorK = readColor(settings, key("Color/K%1_color", nomDut));
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
        insertReading(info);
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
    if (slotOf(info.temp) > kLastSlot)
        info.valid = 0;
    lastStyle = leErr->styleSheet();
    return info;
}

void Dut::addReading(const DutInfo &info)
{
    if (info.valid && slotOf(info.temp) <= kLastSlot)
        insertReading(info);
}

void Dut::insertReading(const DutInfo &info)
{
    const quint8 slot = slotOf(info.temp);
    valueSets[Level][slot].insert(info.level);
    valueSets[Freq][slot].insert(info.freq);
    valueSets[Period][slot].insert(info.period);
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
    bool disabled[3] = {false, false, false};
    switch (protocol) {
    case 1:
    case 2:
        disabled[Period] = true;
        break;
    case 3:
        disabled[Period] = true;
        disabled[Freq] = true;
        break;
    default:
        disabled[Freq] = true;
        break;
    }
    auto *model = qobject_cast<QStandardItemModel *>(cbTypePolinom->model());
    if (!model)
        return;
    // The list shows "Период", "Частота", "Уровень": item i is kind 2 - i.
    for (int item = 0; item < 3; ++item) {
        const bool off = disabled[2 - item];
        model->item(item)->setFlags(off ? Qt::ItemIsUserCheckable
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
    return &valueSets[currentKind()];
}

Dut::MidlMap *Dut::getMidl(eTypeData kind)
{
    midlMap.clear();
    if (isKind(kind)) {
        const ValueSets &sets = valueSets[kind];
        const MidlMap &points = calibPoints[kind];
        for (int t = kMidlFirst; t <= kMidlLast; ++t) {
            const qint8 temp = static_cast<qint8>(t);
            const auto point = points.constFind(temp);
            if (point != points.constEnd()) {
                midlMap.insert(temp, point.value());
                continue;
            }
            const ValueSet &set = sets[slotOf(temp)];
            if (set.empty())
                continue;
            // Midpoint of the range seen, summed wide so that it cannot overflow.
            const quint64 sum = quint64(*set.begin()) + quint64(*set.rbegin());
            midlMap.insert(temp, static_cast<quint32>(sum / 2));
        }
    }
    runWindowStatistics(kind);
    return &midlMap;
}

Dut::MidlMap *Dut::getMidl()
{
    return getMidl(currentKind());
}

void Dut::runWindowStatistics(eTypeData kind)
{
    QString up;
    QString down;

    const int lo = static_cast<qint8>(leMin->text().toInt());
    if (lo > kReferenceTemp) {
        up = down = QString::number(0.0, 'f', 8);
    } else {
        windowDeviation(midlMap, lo, kReferenceTemp, kind, &up, &down);
    }
    leDeltaMinusPlus->setText(up);
    leDeltaMinusMinus->setText(down);

    const int hi = static_cast<qint8>(leMax->text().toInt());
    if (hi < kReferenceTemp) {
        up = down = QString::number(0.0, 'f', 8);
    } else {
        windowDeviation(midlMap, hi, kReferenceTemp, kind, &up, &down);
    }
    leDeltaPlusPlus->setText(up);
    leDeltaPlusMinus->setText(down);
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
    store(key("Diapazon/Dut%1_min", nomDut), leMin->text());
    store(key("Diapazon/Dut%1_max", nomDut), leMax->text());
    getMidl();
    leDiap->setText(QStringLiteral("%1...%2").arg(leMin->text(), leMax->text()));
}

void Dut::setPoint(qint8 temp, quint32 value, eTypeData kind)
{
    if (isKind(kind))
        calibPoints[kind].insert(temp, value);
}

void Dut::editPoint(quint8 nomPoint, quint32 value)
{
    getMidl();
    if (nomPoint >= midlMap.size())
        return;
    const qint8 temp = std::next(midlMap.constBegin(), nomPoint).key();
    calibPoints[currentKind()].insert(temp, value);
}

void Dut::setPoints(const MidlMap &points, eTypeData kind)
{
    if (isKind(kind))
        calibPoints[kind] = points;
}

Dut::CurveMap *Dut::getDelta()
{
    const eTypeData kind = currentKind();
    getMidl(kind);
    deltaMap.clear();
    if (midlMap.isEmpty())
        return &deltaMap;

    // The entry nearest to 20 °C is the reference; of two equally near the warmer one wins.
    int best = 255;
    quint32 ref = 0;
    for (auto it = midlMap.constBegin(); it != midlMap.constEnd(); ++it) {
        const int distance = qAbs(kReferenceTemp - int(it.key()));
        if (distance <= best) {
            best = distance;
            ref = it.value();
        }
    }

    for (auto it = midlMap.constBegin(); it != midlMap.constEnd(); ++it) {
        const double deviation = kind == Level ? (double(it.value()) - double(ref)) * kLevelScale
                                               : double(it.value()) / double(ref) * 100.0 - 100.0;
        // A reference of 0 leaves nothing to compare with.
        if (std::isfinite(deviation))
            deltaMap.insert(double(it.key()), deviation);
    }
    return &deltaMap;
}

Dut::CurveMap *Dut::getTrend()
{
    getMidl();
    trendCurve.clear();
    normMap.clear();
    const auto at20 = midlMap.constFind(static_cast<qint8>(kReferenceTemp));
    // Without a value at 20 °C (or with a 0 there) nothing can be normalised: no fit, and the
    // coefficient fields keep what they showed.
    if (at20 == midlMap.constEnd() || at20.value() == 0)
        return &trendCurve;

    const double m20 = at20.value();
    for (auto it = midlMap.constBegin(); it != midlMap.constEnd(); ++it)
        normMap.insert(double(it.key()), double(it.value()) / m20);

    // Next to the data the curve is drawn in the sensor's units, alone as a deviation in %.
    const bool rawUnits = cbValue->isChecked() || cbMidl->isChecked();
    double k[6] = {};
    const CurveMap *curve = trend->Calc(&normMap, static_cast<uchar>(sbNomPolinom->value()), k,
        rawUnits ? m20 : 100.0, rawUnits ? 0.0 : 100.0);

    if (std::all_of(std::begin(k), std::end(k), [](double c) { return std::isfinite(c); })) {
        for (int i = 0; i < 6; ++i) {
            kValues[i] = static_cast<float>(k[i]);
            leK[i]->setText(QString::number(kValues[i], 'g', 6));
        }
    }
    for (auto it = curve->constBegin(); it != curve->constEnd(); ++it) {
        if (std::isfinite(it.value()))
            trendCurve.insert(it.key(), it.value());
    }
    return &trendCurve;
}

void Dut::slClear()
{
    errCount = 0;
    setStatusStyle(kStyleCleared);
    // A request right after clearing must not flash back to the colour of an old answer.
    lastStyle = kStyleCleared;
    leErr->setText(QStringLiteral("0"));

    for (MidlMap &points : calibPoints)
        points.clear();
    for (ValueSets &sets : valueSets) {
        for (ValueSet &set : sets)
            set.clear();
    }
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
    store(key("Polynom/PolynomType%1", nomDut), cbTypePolinom->currentIndex());
    midlMap.clear();
    emit sendTypePolinom(nomDut, currentKind());
}

void Dut::slNomPolinom(int degree)
{
    store(key("Polynom/PolynomNom%1", nomDut), degree);
    midlMap.clear();
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
QString lastPath(const char *name)
{
    const QSettings settings(kSettingsFile, QSettings::IniFormat);
    return settings.value(QString::fromLatin1(name), QDir::homePath()).toString();
}

} // namespace

void Dut::slSaveFileK()
{
    QFileDialog dialog(this, kFileCaption, lastPath("Main/saveK_path"), kFileFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("k"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    saveFileK(dialog.selectedFiles().constFirst());
}

void Dut::slLoadFileK()
{
    const QString path = QFileDialog::getOpenFileName(
        this, kFileCaption, lastPath("Main/loadK_path"), kFileFilter);
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
    store(QStringLiteral("Main/saveK_path"), path);
    return true;
}

bool Dut::loadFileK(const QString &path)
{
    QStringList texts;
    if (path.isEmpty() || !CoefficientFile::read(path, &texts))
        return false;
    store(QStringLiteral("Main/loadK_path"), path);
    for (int i = 0; i < 6; ++i)
        leReadK[i]->setText(texts.value(i));
    return true;
}

// ---- curves on the plot, address and measurement sets

quint8 Dut::visibilityMask() const
{
    return (cbValue->isChecked() ? 0x01 : 0) | (cbMidl->isChecked() ? 0x02 : 0)
        | (cbDelta->isChecked() ? 0x04 : 0) | (cbTrend->isChecked() ? 0x08 : 0)
        | (cbAll->isChecked() ? 0x10 : 0) | (cbK->isChecked() ? 0x20 : 0);
}

void Dut::slUpdateVisible()
{
    const quint8 mask = visibilityMask();
    store(key("Enabled/EnabledCurve%1_min", nomDut), uint(mask));
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
    store(key("DUT/DutAdres%1", nomDut), index);
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
        name = key("Color/Value%1_color", nomDut);
    } else if (box == cbMidl) {
        colorMidl = color;
        name = key("Color/Midl%1_color", nomDut);
    } else if (box == cbDelta) {
        colorDelta = color;
        name = key("Color/Delta%1_color", nomDut);
    } else if (box == cbTrend) {
        colorTrend = color;
        name = key("Color/Trend%1_color", nomDut);
    } else if (box == cbK) {
        colorK = color;
        name = key("Color/K%1_color", nomDut);
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
