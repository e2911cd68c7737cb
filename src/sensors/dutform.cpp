// The sensor panel's widgets, names and layout, as a form designer would lay them out; what
// the panel does with them is in dut.cpp.
#include "sensors/dut.h"

#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "panels/mycheckbox.h"
#include "panels/serialedit.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>

namespace {

const QString kGreyField
    = QStringLiteral("border: 1px solid gray;background-color: rgb(200, 200, 200);");
const QString kBorder = QStringLiteral("border: 1px solid gray;");
const QString kNoReading = QStringLiteral("---");

QLabel *caption(const QString &text, QWidget *parent)
{
    return new QLabel(text, parent);
}

// The form's widths were chosen for an 8-point font; a wider system font must not cut a
// button's caption, so a button is never narrower than its text needs.
int buttonWidth(const QPushButton &button, int formWidth)
{
    const QStyle &style = *button.style();
    const int frame = style.pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button);
    const int margin = style.pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button);
    const int text = button.fontMetrics().horizontalAdvance(button.text());
    return qMax(formWidth, text + 2 * (frame + margin));
}

// A field whose width the layout chooses is never narrower than the widest text it shows.
void fitText(QLineEdit &edit, const QString &widest)
{
    edit.setMinimumWidth(edit.fontMetrics().horizontalAdvance(widest) + 10);
}

// Six significant digits, as the coefficients are shown.
const QString kWidestCoefficient = QStringLiteral("-8.88888e-05");

} // namespace

void Dut::buildForm()
{
    setObjectName(QStringLiteral("Dut"));
    resize(359, 344);

    // Six panels side by side were laid out in an 8-point font; a larger desktop font would
    // make the bank far wider than a screen.
    QFont panelFont = font();
    if (panelFont.pointSizeF() > 8) {
        panelFont.setPointSizeF(8);
        setFont(panelFont);
    }
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
    readings->addWidget(leFileName, 0, 0, 1, 3);
    // The sensor's serial number shares the top row with the file name.
    leSerial = new SerialEdit(nomDut, frame);
    leSerial->setStyleSheet(QString());
    readings->addWidget(leSerial, 0, 3, 1, 3);

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
    // Beside "Объем" and "Статус", under the coefficients: how much of the range is covered.
    // It takes the width the columns above it have and never asks for more.
    lCoverage = new QLabel(frame);
    named(lCoverage, "lCoverage");
    lCoverage->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lCoverage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    readings->addWidget(lCoverage, 7, 2, 2, 4);

    for (int i = 0; i < 6; ++i) {
        readings->addWidget(caption(QStringLiteral("K%1").arg(i), frame), i + 1, 2);
        leK[i] = new QLineEdit(QStringLiteral("0"), frame);
        leK[i]->setObjectName(QStringLiteral("leK%1").arg(i));
        leK[i]->setFont(small);
        fitText(*leK[i], kWidestCoefficient);
        leK[i]->setStyleSheet(kGreyField);
        readings->addWidget(leK[i], i + 1, 3);
        leReadK[i] = new QLineEdit(QStringLiteral("0"), frame);
        leReadK[i]->setObjectName(QStringLiteral("leReadK%1").arg(i));
        leReadK[i]->setFont(small);
        fitText(*leReadK[i], kWidestCoefficient);
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
        button->setFixedWidth(buttonWidth(*button, 50));
    };
    auto deviationField = [&](QLineEdit *&edit, const char *name, bool narrow) {
        edit = new QLineEdit(frame);
        named(edit, name);
        edit->setReadOnly(true);
        edit->setStyleSheet(kGreyField);
        if (narrow)
            edit->setMaximumWidth(60);
    };

    stats->addWidget(caption(QStringLiteral("Полин."), frame), 0, 0);
    cbTypePolinom = new QComboBox(frame);
    named(cbTypePolinom, "cbTypePolinom");
    cbTypePolinom->addItems(
        {QStringLiteral("Период"), QStringLiteral("Частота"), QStringLiteral("Уровень")});
    cbTypePolinom->setStyleSheet(kBorder);
    // At most the form's 60 px, unless its longest item needs more in the font at hand.
    int longest = 0;
    for (int i = 0; i < cbTypePolinom->count(); ++i)
        longest = qMax(
            longest, cbTypePolinom->fontMetrics().horizontalAdvance(cbTypePolinom->itemText(i)));
    const int needed
        = longest + cbTypePolinom->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 12;
    cbTypePolinom->setMinimumWidth(needed);
    cbTypePolinom->setMaximumWidth(qMax(60, needed));
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
    leMin->setStyleSheet(kBorder);
    leMin->setMaximumWidth(qMax(60, leMin->minimumSizeHint().width()));
    stats->addWidget(leMin, 1, 1);
    stats->addWidget(caption(QStringLiteral("C°"), frame), 1, 2);
    leMax = new LineEditMax(frame);
    named(leMax, "leMax");
    leMax->setText(QStringLiteral("80"));
    leMax->setStyleSheet(kBorder);
    leMax->setMaximumWidth(qMax(60, leMax->minimumSizeHint().width()));
    stats->addWidget(leMax, 1, 3);
    leDiap = new QLineEdit(frame);
    named(leDiap, "leDiap");
    leDiap->setReadOnly(true);
    leDiap->setStyleSheet(kGreyField);
    fitText(*leDiap, QStringLiteral("-90...100"));
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
    fitText(*leDeltaPlus, QStringLiteral("88.8888"));
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
    fitText(*leDeltaMinus, QStringLiteral("88.8888"));
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
