#include "sensors/dut.h"
#include "support/frames.h"
#include "support/tempworkdir.h"

#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "panels/mycheckbox.h"

#include <memory>

using frames::tervalAnswer;
using frames::veltaroAnswer;

namespace {

const QString kGreen = QStringLiteral("background-color: rgb(0, 200, 0);");
const QString kRed = QStringLiteral("background-color: rgb(200, 0, 0);");
const QString kGrey = QStringLiteral("background-color: rgb(100, 100, 100);");

QVariant stored(const QString &name)
{
    return TempWorkDir::setting(name);
}

} // namespace

class TestDut : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QRgb>("QRgb"); }
    void init()
    {
        dir = std::make_unique<TempWorkDir>();
        QVERIFY(dir->isValid());
    }
    void cleanup() { dir.reset(); }

    void readingsPerTemperature();
    void errorCountAndStatus();
    void midValuesAndCalibrationPoints();
    void deviationStatistics();
    void settings();
    void colourBoxes();
    void tickWithHoursOfData();

private:
    template<typename T> T *child(Dut &dut, const char *name)
    {
        T *widget = dut.findChild<T *>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QString text(Dut &dut, const char *name) { return child<QLineEdit>(dut, name)->text(); }
    QString style(Dut &dut, const char *name) { return child<QWidget>(dut, name)->styleSheet(); }
    void setKind(Dut &dut, eTypeData kind)
    {
        child<QComboBox>(dut, "cbTypePolinom")->setCurrentIndex(2 - int(kind));
    }
    void setAddress(Dut &dut, int address)
    {
        child<QComboBox>(dut, "cbPort")->setCurrentIndex(address + 1);
    }
    DutInfo feed(Dut &dut, QByteArray bytes) { return dut.takeAnswer(&bytes); }
    // Check states of the curve boxes as the settings store them.
    int checkedMask(Dut &dut)
    {
        int mask = 0;
        int bit = 0;
        for (const char *box : {"cbValue", "cbMidl", "cbDelta", "cbTrend", "cbAll", "cbK"})
            mask |= child<MyCheckBox>(dut, box)->isChecked() << bit++;
        return mask;
    }

    std::unique_ptr<TempWorkDir> dir;
};

void TestDut::readingsPerTemperature()
{
    Dut dut(nullptr, 1);
    setAddress(dut, 5);
    setKind(dut, Level);

    QVERIFY(feed(dut, tervalAnswer(5, 25, 3200, 6699)).valid);
    QCOMPARE(text(dut, "leLevel") + text(dut, "leFreq") + text(dut, "lePeriod"),
        QStringLiteral("320066990"));
    QCOMPARE(text(dut, "leTemperat"), QStringLiteral("25"));
    QCOMPARE(style(dut, "leErr"), kGreen);

    // The same level twice at one temperature is kept once.
    feed(dut, tervalAnswer(5, 25, 3200, 6700));
    feed(dut, tervalAnswer(5, 25, 3300, 6700));
    QCOMPARE((*dut.getValues())[115], (Dut::ValueSet {3200, 3300}));

    // All three kinds are filled from every reading; an unreported one holds 0.
    feed(dut, veltaroAnswer(5, -5, 100, 70000));
    setKind(dut, Period);
    QCOMPARE((*dut.getValues())[85], (Dut::ValueSet {70000}));
    setKind(dut, Freq);
    QCOMPARE((*dut.getValues())[115], (Dut::ValueSet {6699, 6700}));
    QCOMPARE((*dut.getValues())[85], (Dut::ValueSet {0}));

    // Out of the working range: shown and stored, but not valid any more.
    setKind(dut, Level);
    QVERIFY(!feed(dut, tervalAnswer(5, 101, 1111, 0)).valid);
    QCOMPARE(text(dut, "leTemperat"), QStringLiteral("101"));
    QCOMPARE((*dut.getValues())[191], (Dut::ValueSet {1111}));
    QVERIFY(feed(dut, tervalAnswer(5, 100, 3333, 0)).valid);
    QVERIFY(feed(dut, tervalAnswer(5, -90, 4444, 0)).valid);
}

void TestDut::errorCountAndStatus()
{
    Dut dut(nullptr, 2);

    setAddress(dut, 1);
    dut.setProtocol(1);
    dut.setStarted(true);
    QCOMPARE(style(dut, "leErr"), kGrey);
    QCOMPARE(dut.pollRequest(), QByteArray::fromHex("3101066c"));

    // No answer, then a corrupt one: each counts once and blanks the readings.
    QVERIFY(!feed(dut, QByteArray()).valid);
    QCOMPARE(text(dut, "leErr"), QStringLiteral("1"));
    QCOMPARE(style(dut, "leErr"), kRed);
    QByteArray corrupt = tervalAnswer(1, 20, 1000, 0);
    corrupt[4] = corrupt[4] ^ 0x01;
    feed(dut, corrupt);
    QCOMPARE(text(dut, "leErr"), QStringLiteral("2"));
    QCOMPARE(text(dut, "leTemperat"), QStringLiteral("---"));

    // A request flashes grey, then the field returns to the colour of the last answer.
    dut.pollRequest();
    QCOMPARE(style(dut, "leErr"), kGrey);
    QTRY_COMPARE_WITH_TIMEOUT(style(dut, "leErr"), kRed, 2000);

    feed(dut, tervalAnswer(1, 20, 1000, 0));
    QCOMPARE(style(dut, "leErr"), kGreen);
    QCOMPARE(text(dut, "leErr"), QStringLiteral("2"));

    // A coefficient acknowledgement carries no reading but is no failed poll either.
    dut.setKEnabled(true);
    QTest::mouseClick(child<QPushButton>(dut, "pbSaveK"), Qt::LeftButton);
    QVERIFY(!dut.getRequestK().isEmpty());
    QByteArray ack = frames::writeAck(1);
    QVERIFY(dut.takeAnswer(&ack).kAnswer);
    QCOMPARE(style(dut, "leErr"), kRed);
    QCOMPARE(text(dut, "leErr"), QStringLiteral("2"));

    // After clearing, the flash of the next request returns to the cleared colour.
    QTest::mouseClick(child<QPushButton>(dut, "pbClear"), Qt::LeftButton);
    QCOMPARE(text(dut, "leErr"), QStringLiteral("0"));
    const QString cleared = QStringLiteral("background-color: rgb(0,200, 0);");
    QCOMPARE(style(dut, "leErr"), cleared);
    dut.pollRequest();
    QTRY_COMPARE_WITH_TIMEOUT(style(dut, "leErr"), cleared, 2000);
}

void TestDut::midValuesAndCalibrationPoints()
{
    Dut dut(nullptr, 0);
    setAddress(dut, 1);
    setKind(dut, Period);

    for (quint32 period : {100u, 104u, 102u})
        feed(dut, veltaroAnswer(1, 25, 1, period));
    for (quint32 period : {4294967295u, 4294967293u})
        feed(dut, veltaroAnswer(1, 26, 1, period));
    feed(dut, veltaroAnswer(1, 100, 1, 500)); // valid, but beyond the mid-value range

    dut.setPoint(30, 777, Period);
    dut.setPoint(100, 888, Period);
    dut.setPoint(-95, 999, Period);
    dut.setPoint(26, 5, Freq);
    dut.setPoint(26, 5, static_cast<eTypeData>(3));
    QCOMPARE(*dut.getMidl(), (Dut::MidlMap {{25, 102}, {26, 4294967294u}, {30, 777}}));

    // A point replaces the readings at its temperature, for its own kind only.
    dut.setPoint(25, 50, Period);
    QCOMPARE(dut.getMidl(Period)->value(25), 50u);
    QCOMPARE(*dut.getMidl(Freq), (Dut::MidlMap {{25, 0}, {26, 5}}));

    // Points are edited by their place in the map of the current kind.
    setKind(dut, Level);
    dut.setPoints({{10, 500}, {30, 700}}, Level);
    QCOMPARE(*dut.getMidl(), (Dut::MidlMap {{10, 500}, {25, 1}, {26, 1}, {30, 700}}));
    dut.editPoint(0, 555);
    dut.editPoint(3, 707);
    dut.editPoint(4, 1);
    QCOMPARE(*dut.getMidl(), (Dut::MidlMap {{10, 555}, {25, 1}, {26, 1}, {30, 707}}));
    dut.setPoints({}, static_cast<eTypeData>(3));
    QCOMPARE(dut.getMidl()->size(), 4);

    dut.slClear();
    QVERIFY(dut.getMidl(Level)->isEmpty());
    QVERIFY(dut.getMidl(Period)->isEmpty());
}

void TestDut::deviationStatistics()
{
    Dut dut(nullptr, 0);
    setKind(dut, Level);
    dut.applySettings();

    dut.setPoints({{19, 2000}, {20, 2048}, {21, 2100}}, Level);
    dut.getMidl();
    // The fields carry the mask "99.9999": magnitudes, four decimals.
    QCOMPARE(text(dut, "leDeltaMinusPlus"), QStringLiteral("0.0000"));
    QCOMPARE(text(dut, "leDeltaMinusMinus"), QStringLiteral("1.1718"));
    QCOMPARE(text(dut, "leDeltaPlusPlus"), QStringLiteral("1.2695"));
    QCOMPARE(text(dut, "leDeltaPlusMinus"), QStringLiteral("0.0000"));
    QCOMPARE(text(dut, "leDeltaPlus"), QStringLiteral("1.2695"));
    QCOMPARE(text(dut, "leDeltaMinus"), QStringLiteral("1.1718"));

    // Bounds past 20 °C empty their window; the range change is stored and shown.
    child<LineEditMin>(dut, "leMin")->setText(QStringLiteral("25"));
    QCOMPARE(text(dut, "leDeltaMinusMinus"), QStringLiteral("0.0000"));
    QCOMPARE(text(dut, "leDeltaPlusPlus"), QStringLiteral("1.2695"));
    QCOMPARE(text(dut, "leDeltaMinus"), QStringLiteral("0."));
    child<LineEditMax>(dut, "leMax")->setText(QStringLiteral("15"));
    QCOMPARE(text(dut, "leDeltaPlusPlus"), QStringLiteral("0.0000"));
    QCOMPARE(text(dut, "leDiap"), QStringLiteral("25...15"));
    QCOMPARE(stored("Diapazon/Dut0_max").toString(), QStringLiteral("15"));

    // Frequency is relative to the reference; a reference of 0 leaves the window blank.
    child<LineEditMin>(dut, "leMin")->setText(QStringLiteral("-40"));
    child<LineEditMax>(dut, "leMax")->setText(QStringLiteral("80"));
    dut.setPoints({{10, 1010}, {20, 0}}, Freq);
    setKind(dut, Freq);
    dut.getMidl();
    for (const char *field : {"leDeltaMinusPlus", "leDeltaMinusMinus", "leDeltaPlusPlus",
             "leDeltaPlusMinus", "leDeltaPlus", "leDeltaMinus"})
        QVERIFY2(!text(dut, field).contains(QRegularExpression("[0-9]")), field);

    // The deviation curve is referred to the entry nearest to 20 °C, the warmer of two.
    setKind(dut, Level);
    dut.setPoints({{19, 2000}, {20, 2048}}, Level);
    QCOMPARE(*dut.getDelta(), (Dut::CurveMap {{19, -1.171875}, {20, 0}}));

    // Of two entries equally near 20 °C the warmer one is the reference.
    dut.setPoints({{19, 2000}, {21, 2100}}, Level);
    QCOMPARE(*dut.getDelta(), (Dut::CurveMap {{19, -100.0 / 4096 * 100}, {21, 0}}));

    // Frequency and period are relative; a reference of 0 gives no points at all.
    dut.setPoints({{10, 990}, {21, 1000}, {30, 1010}}, Freq);
    setKind(dut, Freq);
    const Dut::CurveMap freq = *dut.getDelta();
    QVERIFY(qFuzzyCompare(freq.value(10), -1.0) && qFuzzyCompare(freq.value(30), 1.0));
    dut.setPoints({{10, 0}, {20, 0}, {30, 7}}, Period);
    setKind(dut, Period);
    QVERIFY(dut.getDelta()->isEmpty());

    // 150 % would lose its leading digit in the field: it shows the largest figure instead.
    setKind(dut, Level);
    dut.setPoints({{10, 8192}, {20, 2048}}, Level);
    dut.getMidl();
    QCOMPARE(text(dut, "leDeltaMinusPlus"), QStringLiteral("99.9999"));
    QCOMPARE(text(dut, "leDeltaPlus"), QStringLiteral("99.9999"));
}

void TestDut::settings()
{
    {
        Dut fresh(nullptr, 0);
        QCOMPARE(checkedMask(fresh), 0);
        QCOMPARE(style(fresh, "cbK"), QStringLiteral("background-color: rgb(0, 0, 255);"));
        QCOMPARE(child<QComboBox>(fresh, "cbPort")->currentText(), QStringLiteral("off"));
        QCOMPARE(child<QComboBox>(fresh, "cbTypePolinom")->currentText(), QStringLiteral("Период"));
        QCOMPARE(child<QSpinBox>(fresh, "sbNomPolinom")->value(), 1);
        QSignalSpy plot(&fresh, &Dut::updatePlot);
        fresh.applySettings();
        QCOMPARE(plot.last(), (QList<QVariant> {quint8(0), quint8(0)}));
        QCOMPARE(text(fresh, "leDiap"), QStringLiteral("-40...80"));
    }

    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        settings.setValue("Enabled/EnabledCurve3_min", 43);
        settings.setValue("DUT/DutAdres3", 7);
        settings.setValue("Diapazon/Dut3_min", "-30");
        settings.setValue("Diapazon/Dut3_max", "70");
        settings.setValue("Polynom/PolynomType3", 2);
        settings.setValue("Polynom/PolynomNom3", 4);
        settings.setValue("Color/Value3_color", "4294901760");
        settings.setValue("Color/Midl3_color", "-16711936"); // the same bits written signed
        settings.setValue("Color/Delta3_color", "abc");
    }
    Dut dut(nullptr, 3);
    QCOMPARE(checkedMask(dut), 43);
    QCOMPARE(child<QComboBox>(dut, "cbPort")->currentText(), QStringLiteral("6"));
    QCOMPARE(child<LineEditMin>(dut, "leMin")->text(), QStringLiteral("-30"));
    QCOMPARE(child<QComboBox>(dut, "cbTypePolinom")->currentIndex(), 2);
    QCOMPARE(child<QSpinBox>(dut, "sbNomPolinom")->value(), 4);
    QCOMPARE(style(dut, "cbValue"), QStringLiteral("background-color: rgb(255, 0, 0);"));
    QCOMPARE(dut.getColorMidl(), qRgb(0, 255, 0));
    QCOMPARE(style(dut, "cbDelta"), QStringLiteral("background-color: rgb(0, 0, 0);"));

    QSignalSpy plot(&dut, &Dut::updatePlot);
    QSignalSpy colours(&dut, &Dut::updatePlotColor);
    dut.applySettings();
    QCOMPARE(plot.last(), (QList<QVariant> {quint8(3), quint8(0)}));
    QCOMPARE(colours.first().at(1).value<QRgb>(), 0xFFFF0000u);
    QVERIFY(!child<MyCheckBox>(dut, "cbValue")->isEnabled());

    // Every change is stored at once.
    child<QComboBox>(dut, "cbPort")->setCurrentIndex(10);
    child<LineEditMin>(dut, "leMin")->setText(QStringLiteral("-20"));
    child<QSpinBox>(dut, "sbNomPolinom")->setValue(2);
    child<QComboBox>(dut, "cbTypePolinom")->setCurrentIndex(1);
    child<MyCheckBox>(dut, "cbAll")->setChecked(true);
    QCOMPARE(plot.last(), (QList<QVariant> {quint8(3), quint8(59)}));
    QCOMPARE(stored("DUT/DutAdres3").toInt(), 10);
    QCOMPARE(stored("Diapazon/Dut3_min").toString(), QStringLiteral("-20"));
    QCOMPARE(stored("Polynom/PolynomNom3").toInt(), 2);
    QCOMPARE(stored("Polynom/PolynomType3").toInt(), 1);
    QCOMPARE(stored("Enabled/EnabledCurve3_min").toUInt(), 59u);
}

void TestDut::colourBoxes()
{
    Dut dut(nullptr, 4);
    child<MyCheckBox>(dut, "cbAll")->setChecked(true);
    dut.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dut));
    QSignalSpy colours(&dut, &Dut::updatePlotColor);

    // Answers the colour dialog once it is up: a valid colour is chosen, an invalid one cancels.
    auto answerDialog = [this](const QColor &colour) {
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [timer, colour] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *dialog = qobject_cast<QColorDialog *>(widget);
                if (!dialog || !dialog->isVisible())
                    continue;
                timer->stop();
                timer->deleteLater();
                if (colour.isValid()) {
                    dialog->setCurrentColor(colour);
                    dialog->accept();
                } else {
                    dialog->reject();
                }
            }
        });
        timer->start(10);
    };

    MyCheckBox *midl = child<MyCheckBox>(dut, "cbMidl");
    answerDialog(QColor(10, 20, 30));
    QTest::mousePress(midl, Qt::RightButton);
    QTest::mouseRelease(midl, Qt::RightButton);
    QCOMPARE(midl->styleSheet(), QStringLiteral("background-color: rgb(10, 20, 30);"));
    QCOMPARE(stored("Color/Midl4_color").toString(), QString::number(qRgb(10, 20, 30)));
    QCOMPARE(colours.count(), 1);
    QCOMPARE(colours.last().at(2).value<QRgb>(), qRgb(10, 20, 30));
    QVERIFY(!midl->isChecked());

    // A cancelled dialog changes nothing and stores nothing.
    MyCheckBox *delta = child<MyCheckBox>(dut, "cbDelta");
    answerDialog(QColor());
    QTest::mousePress(delta, Qt::RightButton);
    QTest::mouseRelease(delta, Qt::RightButton);
    QCOMPARE(delta->styleSheet(), QStringLiteral("background-color: rgb(0, 0, 255);"));
    QVERIFY(!stored("Color/Delta4_color").isValid());
    QCOMPARE(colours.count(), 2);
    QCOMPARE(colours.last().at(3).value<QRgb>(), 0xFF0000FFu);

    // A left click still toggles the box.
    MyCheckBox *trend = child<MyCheckBox>(dut, "cbTrend");
    QTest::mouseClick(trend, Qt::LeftButton, {}, QPoint(4, trend->height() / 2));
    QVERIFY(trend->isChecked());
}

void TestDut::tickWithHoursOfData()
{
    Dut dut(nullptr, 0);
    setAddress(dut, 1);
    setKind(dut, Period);
    for (int i = 0; i < 20000; ++i)
        feed(dut, veltaroAnswer(1, static_cast<qint8>(-40 + i % 120), 1, 100000 + i));
    QCOMPARE(dut.getMidl()->size(), 120);

    QByteArray answer = veltaroAnswer(1, 20, 1, 777777);
    QBENCHMARK
    {
        dut.takeAnswer(&answer);
        dut.getMidl();
        dut.getDelta();
    }
}

QTEST_MAIN(TestDut)
#include "tst_dut.moc"
