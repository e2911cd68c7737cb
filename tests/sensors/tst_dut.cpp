#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "panels/mycheckbox.h"
#include "sensors/dut.h"
#include "settings/storedsettings.h"
#include "support/answerdialog.h"
#include "support/child.h"
#include "support/frames.h"
#include "support/messageboxcatcher.h"
#include "support/panelinput.h"
#include "support/tempworkdir.h"

#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QtTest>

#include <optional>

Q_DECLARE_METATYPE(double *)

using frames::tervalAnswer;
using frames::veltaroAnswer;
using namespace panelinput;

namespace {

const QString kGreen = QStringLiteral("background-color: rgb(0, 200, 0);");
const QString kRed = QStringLiteral("background-color: rgb(200, 0, 0);");
const QString kGrey = QStringLiteral("background-color: rgb(100, 100, 100);");

QString text(Dut &dut, const char *name)
{
    return child(dut, name)->text();
}
// The error field as the operator sees it: count and colour.
QString status(Dut &dut)
{
    return text(dut, "leErr") + ' ' + child(dut, "leErr")->styleSheet();
}
// The six window-statistics fields as shown: -+, --, ++, +-, +, -.
QString deltas(Dut &dut)
{
    QStringList texts;
    for (const char *field : {"leDeltaMinusPlus", "leDeltaMinusMinus", "leDeltaPlusPlus",
             "leDeltaPlusMinus", "leDeltaPlus", "leDeltaMinus"})
        texts << child(dut, field)->displayText();
    return texts.join(' ');
}
// Check states of the curve boxes as the settings store them.
int checkedMask(Dut &dut)
{
    int mask = 0;
    int bit = 0;
    for (const char *box : {"cbValue", "cbMidl", "cbDelta", "cbTrend", "cbAll", "cbK"})
        mask |= child<MyCheckBox>(dut, box)->isChecked() << bit++;
    return mask;
}
// The texts of a coefficient column: "leK" (fitted) or "leReadK" (to write, or read back).
QStringList column(Dut &dut, const char *name)
{
    QStringList texts;
    for (int i = 0; i < 6; ++i)
        texts << child(dut, name + QString::number(i))->text();
    return texts;
}
// What a panel told the operator, without the withdrawals of conditions that are over.
QStringList messages(const QSignalSpy &spy)
{
    QStringList texts;
    for (const QList<QVariant> &args : spy)
        if (!args.at(0).toString().isEmpty())
            texts << args.at(0).toString();
    return texts;
}
} // namespace

class TestDut : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<QRgb>("QRgb");
        qRegisterMetaType<double *>("double*");
    }
    void init() { QVERIFY(dir.emplace().isValid()); }
    void cleanup() { dir.reset(); }

    void readingsPerTemperature()
    {
        Dut dut(nullptr, 1);
        setAddress(dut, 5);
        setKind(dut, Level);
        // What each protocol's answer shows in the fields is checked over the line in the
        // simulated-line test; what is kept per slot, in the sensor-data test. Collected for the
        // kind shown:
        QVERIFY(feed(dut, tervalAnswer(5, 25, 3200, 6699)).valid);
        feed(dut, tervalAnswer(5, 25, 3300, 6700));
        setKind(dut, Freq);
        QCOMPARE((*dut.getValues())[115], (Dut::ValueSet {6699, 6700}));

        // Out of the working range: shown, but not valid any more.
        QVERIFY(!feed(dut, tervalAnswer(5, 101, 1111, 0)).valid);
        QCOMPARE(text(dut, "leTemperat"), QStringLiteral("101"));
        QVERIFY(feed(dut, tervalAnswer(5, 100, 3333, 0)).valid);
        QVERIFY(feed(dut, tervalAnswer(5, -90, 4444, 0)).valid);

        // Mid values and points (checked themselves on the sensor data) are those of the kind
        // shown. That clearing empties every kind of every panel, the set-file test shows.
        setKind(dut, Level);
        dut.editPoint(0, 555);
        QCOMPARE(*dut.getMidl(), (Dut::MidlMap {{-90, 555}, {25, 3250}}));
        QCOMPARE(dut.getMidl(Freq)->value(25), 6699u);
    }

    void errorCountAndStatus()
    {
        Dut dut(nullptr, 2);
        setAddress(dut, 1);
        dut.setProtocol(1);
        dut.setStarted(true);
        QCOMPARE(dut.pollRequest(), QByteArray::fromHex("3101066c"));
        QCOMPARE(status(dut), "0 " + kGrey);

        // No answer counts once and blanks the readings (every kind of spoiled answer, each
        // counted on its own panel, is run over the line in the simulated-line test).
        feed(dut, tervalAnswer(1, 20, 1000, 0));
        QVERIFY(!feed(dut, QByteArray()).valid);
        QCOMPARE(status(dut), "1 " + kRed);
        QCOMPARE(text(dut, "leTemperat"), QStringLiteral("---"));

        // A request flashes grey, then the field returns to the colour of the last answer.
        dut.pollRequest();
        QCOMPARE(status(dut), "1 " + kGrey);
        QTRY_COMPARE_WITH_TIMEOUT(status(dut), "1 " + kRed, 2000);
        feed(dut, tervalAnswer(1, 20, 1000, 0));
        QCOMPARE(status(dut), "1 " + kGreen);

        // A coefficient acknowledgement carries no reading but is no failed poll either.
        dut.setKEnabled(true);
        dut.slStartSaveK();
        QVERIFY(!dut.getRequestK().isEmpty());
        QVERIFY(feed(dut, frames::writeAck(1)).kAnswer);
        QCOMPARE(status(dut), "1 " + kRed);

        // Clearing collected readings asks first; after it, the flash of the next request
        // returns to the cleared colour, and with nothing left to lose nobody is asked.
        MessageBoxCatcher boxes;
        boxes.answerWith(QMessageBox::Yes);
        QTest::mouseClick(child<QPushButton>(dut, "pbClear"), Qt::LeftButton);
        QCOMPARE(boxes.texts().size(), 1);
        const QString cleared = QStringLiteral("0 background-color: rgb(0,200, 0);");
        QCOMPARE(status(dut), cleared);
        dut.pollRequest();
        QTRY_COMPARE_WITH_TIMEOUT(status(dut), cleared, 2000);
        QTest::mouseClick(child<QPushButton>(dut, "pbClear"), Qt::LeftButton);
        QCOMPARE(boxes.texts().size(), 1);
    }

    void deviationStatistics()
    {
        Dut dut(nullptr, 0);
        setKind(dut, Level);
        dut.applySettings();

        // Magnitudes, four decimals cut, no blank for a missing digit.
        dut.setPoints({{19, 2000}, {20, 2048}, {21, 2100}}, Level);
        dut.getMidl();
        QCOMPARE(deltas(dut), QStringLiteral("0.0000 1.1718 1.2695 0.0000 1.2695 1.1718"));

        // Bounds past 20 °C empty their window; the range change is stored and shown.
        child<LineEditMin>(dut, "leMin")->setText(QStringLiteral("25"));
        QCOMPARE(deltas(dut), QStringLiteral("0.0000 0.0000 1.2695 0.0000 1.2695 0.0000"));
        QCOMPARE(TempWorkDir::setting("Diapazon/Dut0_min").toString(), QStringLiteral("25"));
        // A lower bound above the upper one is refused: the statistics, the range shown and
        // the stored pair stay, and the status bar says why until the pair is usable again.
        QSignalSpy status(&dut, &Dut::sigStatus);
        child<LineEditMax>(dut, "leMax")->setText(QStringLiteral("15"));
        QCOMPARE(text(dut, "leDiap"), QStringLiteral("25...80"));
        QCOMPARE(TempWorkDir::setting("Diapazon/Dut0_max").toString(), QStringLiteral("80"));
        QVERIFY(status.last().at(0).toString().contains("выше верхней"));
        dut.getMidl();
        QCOMPARE(deltas(dut), QStringLiteral("0.0000 0.0000 1.2695 0.0000 1.2695 0.0000"));
        child<LineEditMax>(dut, "leMax")->setText(QStringLiteral("30"));
        QCOMPARE(status.last().at(0).toString(), QString());

        // A frequency reference of 0 leaves the window blank: no NaN or infinity shows.
        child<LineEditMin>(dut, "leMin")->setText(QStringLiteral("-40"));
        child<LineEditMax>(dut, "leMax")->setText(QStringLiteral("80"));
        dut.setPoints({{10, 1010}, {20, 0}}, Freq);
        setKind(dut, Freq);
        dut.getMidl();
        QVERIFY2(!deltas(dut).contains(QRegularExpression("[0-9]")), qPrintable(deltas(dut)));

        // The deviation curve is that of the kind shown.
        setKind(dut, Level);
        dut.setPoints({{19, 2000}, {20, 2048}}, Level);
        QCOMPARE(*dut.getDelta(), (Dut::CurveMap {{19, -1.171875}, {20, 0}}));

        // 150 % would lose its leading digit in the field: it shows the largest figure instead.
        dut.setPoints({{10, 8192}, {20, 2048}}, Level);
        dut.getMidl();
        QCOMPARE(deltas(dut).left(7), QStringLiteral("99.9999"));
        QCOMPARE(text(dut, "leDeltaPlus"), QStringLiteral("99.9999"));
    }

    // Stored settings fill the panel: a range end past the limit is cut to it, a colour
    // written signed is the same colour.
    void storedSettingsFillThePanel()
    {
        storeSensor3();
        Dut dut(nullptr, 3);
        QCOMPARE(checkedMask(dut), 43);
        QCOMPARE(child<QComboBox>(dut, "cbPort")->currentText(), QStringLiteral("6"));
        QCOMPARE(child<LineEditMin>(dut, "leMin")->text(), QStringLiteral("-30"));
        QCOMPARE(child<LineEditMax>(dut, "leMax")->text(), QStringLiteral("80")); // stored 128
        QCOMPARE(child<QComboBox>(dut, "cbTypePolinom")->currentIndex(), 2);
        QCOMPARE(child<QSpinBox>(dut, "sbNomPolinom")->value(), 4);
        QCOMPARE(child<QWidget>(dut, "cbValue")->styleSheet(), "background-color: rgb(255, 0, 0);");
        QCOMPARE(dut.setup().colors[ColorMidl], qRgb(0, 255, 0));
    }

    // Colours not stored, or stored as no number, take the sensor's own defaults, thirty
    // different ones.
    void missingColoursTakeTheDefaults()
    {
        storeSensor3();
        Dut dut(nullptr, 3);
        QCOMPARE(dut.setup().colors[ColorDelta], StoredSettings::defaultColors(3)[2]);
        QCOMPARE(dut.setup().colors[ColorTrend], StoredSettings::defaultColors(3)[3]);
        QSet<quint32> defaults;
        for (int s = 0; s < 6; ++s)
            for (quint32 colour : StoredSettings::defaultColors(s))
                defaults << colour;
        QCOMPARE(defaults.size(), 30);
    }

    // Applied, the settings reach the plot; every change on the panel is stored at once.
    void settingsAppliedAndChangesStored()
    {
        storeSensor3();
        Dut dut(nullptr, 3);
        QSignalSpy plot(&dut, &Dut::updatePlot);
        QSignalSpy colours(&dut, &Dut::updatePlotColor);
        dut.applySettings();
        QCOMPARE(plot.last(), (QList<QVariant> {quint8(3), quint8(0)}));
        QCOMPARE(colours.first().at(1).value<QRgb>(), 0xFFFF0000u);
        QVERIFY(!child<MyCheckBox>(dut, "cbValue")->isEnabled());

        child<QComboBox>(dut, "cbPort")->setCurrentIndex(10);
        child<LineEditMin>(dut, "leMin")->setText(QStringLiteral("-20"));
        child<QSpinBox>(dut, "sbNomPolinom")->setValue(2);
        child<QComboBox>(dut, "cbTypePolinom")->setCurrentIndex(1);
        child<MyCheckBox>(dut, "cbAll")->setChecked(true);
        QCOMPARE(plot.last(), (QList<QVariant> {quint8(3), quint8(59)}));
        QStringList now;
        for (const char *key : {"DUT/DutAdres3", "Diapazon/Dut3_min", "Polynom/PolynomNom3",
                 "Polynom/PolynomType3", "Enabled/EnabledCurve3_min"})
            now << TempWorkDir::setting(QLatin1String(key)).toString();
        QCOMPARE(now, (QStringList {"10", "-20", "2", "1", "59"}));
    }

    void colourBoxes()
    {
        Dut dut(nullptr, 4);
        child<MyCheckBox>(dut, "cbAll")->setChecked(true);
        dut.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dut));
        QSignalSpy colours(&dut, &Dut::updatePlotColor);

        // Right-clicks a box and answers the colour dialog it opens: a valid colour is chosen,
        // an invalid one cancels.
        QColor opened;
        auto pickColour = [&](const char *name, const QColor &colour) {
            answerDialog<QColorDialog>([colour, &opened](QColorDialog *dialog) {
                opened = dialog->currentColor();
                dialog->setCurrentColor(colour);
                colour.isValid() ? dialog->accept() : dialog->reject();
            });
            auto *box = child<MyCheckBox>(dut, name);
            QTest::mousePress(box, Qt::RightButton);
            QTest::mouseRelease(box, Qt::RightButton);
            return box;
        };

        MyCheckBox *midl = pickColour("cbMidl", QColor(10, 20, 30));
        QCOMPARE(midl->styleSheet(), QStringLiteral("background-color: rgb(10, 20, 30);"));
        QCOMPARE(TempWorkDir::setting("Color/Midl4_color").toString(),
            QString::number(qRgb(10, 20, 30)));
        QCOMPARE(colours.count(), 1);
        QCOMPARE(colours.last().at(2).value<QRgb>(), qRgb(10, 20, 30));
        QVERIFY(!midl->isChecked());

        // A cancelled dialog changes nothing and stores nothing; the dialog opens on the
        // box's colour.
        const QString before = child<MyCheckBox>(dut, "cbDelta")->styleSheet();
        QCOMPARE(pickColour("cbDelta", QColor())->styleSheet(), before);
        QCOMPARE(opened.rgb(), dut.setup().colors[ColorDelta] | 0xFF000000u);
        QVERIFY(!TempWorkDir::setting("Color/Delta4_color").isValid());
        pickColour("cbMidl", QColor(1, 2, 3));
        QCOMPARE(opened, QColor(10, 20, 30));

        // A left click still toggles the box.
        auto *trend = child<MyCheckBox>(dut, "cbTrend");
        QTest::mouseClick(trend, Qt::LeftButton, {}, QPoint(4, trend->height() / 2));
        QVERIFY(trend->isChecked());
    }

    // Degenerate fits (no value at 20 °C, a single point) are checked on the sensor data and
    // the trend fit.
    void fitFillsTheCoefficientColumn()
    {
        // A degree stored as 0 shows the lowest degree the box offers.
        TempWorkDir::setSetting(QStringLiteral("Polynom/PolynomNom0"), 0);
        Dut dut(nullptr, 0);
        QCOMPARE(child<QSpinBox>(dut, "sbNomPolinom")->value(), 1);
        setKind(dut, Level);

        dut.setPoints({{10, 990}, {20, 1000}, {30, 1010}}, Level);
        QVERIFY(qAbs(dut.getTrend()->value(30.0) - 1.0) < 1e-6);
        QCOMPARE(column(dut, "leK"), (QStringList {"0.98", "0.001", "0", "0", "0", "0"}));

        // Next to the data points the same fit is drawn in the sensor's own units.
        child<MyCheckBox>(dut, "cbMidl")->setChecked(true);
        QVERIFY(qAbs(dut.getTrend()->value(20.0) - 1000.0) < 1e-6);

        // "->" copies the shown texts; the K curve takes 0 for a field that is not a finite number.
        QSignalSpy kCurve(&dut, &Dut::sigUpdateK);
        QTest::mouseClick(child<QPushButton>(dut, "pbCalc2Save"), Qt::LeftButton);
        QCOMPARE(column(dut, "leReadK"), column(dut, "leK"));
        child(dut, "leReadK2")->setText(QStringLiteral("nan"));
        const double *k = kCurve.last().at(1).value<double *>();
        QCOMPARE(k[0], 0.98);
        QCOMPARE(k[2], 0.0);
    }

    // A protocol disables the kinds it cannot deliver ("Период", "Частота", "Уровень"); when
    // the chosen kind goes, the panel switches to "Уровень" and says so.
    void dataKindsPerProtocol()
    {
        struct Row
        {
            uchar protocol;
            QString enabled;
            int chosen;
            int shown;
        };
        Dut dut(nullptr, 4);
        auto *box = child<QComboBox>(dut, "cbTypePolinom");
        auto *model = qobject_cast<QStandardItemModel *>(box->model());
        QSignalSpy kinds(&dut, &Dut::sendTypePolinom);
        for (const Row &row : {Row {0, "101", 1, 2}, Row {1, "011", 0, 2}, Row {1, "011", 1, 1},
                 Row {2, "011", 0, 2}, Row {3, "001", 0, 2}, Row {4, "101", 1, 2}}) {
            dut.setProtocol(0);
            dut.setProtocol(1); // every item has been both disabled and enabled once
            box->setCurrentIndex(row.chosen);
            kinds.clear();
            dut.setProtocol(row.protocol);
            QString enabled;
            for (int item = 0; item < 3; ++item)
                enabled += model->item(item)->isEnabled() && model->item(item)->isSelectable()
                    ? '1'
                    : '0';
            QCOMPARE(enabled, row.enabled);
            QCOMPARE(box->currentIndex(), row.shown);
            QCOMPARE(kinds.count(), row.shown != row.chosen);
            if (row.shown != row.chosen) {
                QCOMPARE(kinds.first().at(1).value<eTypeData>(), Level);
                QCOMPARE(TempWorkDir::setting("Polynom/PolynomType4").toInt(), 2);
            }
        }
    }

    void coefficientFiles()
    {
        Dut dut(nullptr, 2);
        QSignalSpy kCurve(&dut, &Dut::sigUpdateK);
        QSignalSpy status(&dut, &Dut::sigStatus);
        const auto path = [this](const char *name) { return dir->filePath(name); };

        // Right after clearing: six lines "0".
        QVERIFY(dut.saveFileK(path("zero.k")));
        QCOMPARE(TempWorkDir::contents(path("zero.k")), "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
        QCOMPARE(TempWorkDir::setting("Main/saveK_path").toString(), path("zero.k"));

        // Save and open into a cleared panel: the same texts (that what is read writes back to
        // the same file, the coefficient-file fuzz target checks). Each says where.
        const QStringList texts {"0.98", "0.001", "-1.23457e-05", "1,5", "0", "7"};
        setColumn(dut, texts);
        QVERIFY(dut.saveFileK(path("a.k")));
        dut.slClear();
        QVERIFY(dut.loadFileK(path("a.k")));
        QCOMPARE(column(dut, "leReadK"), texts);
        QCOMPARE(kCurve.last().at(1).value<double *>()[0], 0.98);
        QCOMPARE(TempWorkDir::setting("Main/loadK_path").toString(), path("a.k"));
        QCOMPARE(messages(status).size(), 3);
        for (const QString &message : messages(status))
            QVERIFY2(message.contains(".k"), qPrintable(message));

        // A file that cannot be opened, or whose six values are not all numbers (random bytes,
        // three lines, a "nan"), changes neither the column nor the remembered location; each
        // is said.
        const QByteArray refused[] = {QByteArray("\x8f\x01\xff\x7fK\xc3\r\n\xfe"),
            QByteArray("1\r\n2\r\n3\r\n"), QByteArray("1\nnan\n1\n1\n1\n1\n")};
        for (const QByteArray &bytes : refused) {
            QVERIFY(TempWorkDir::put(path("bad.k"), bytes));
            QVERIFY(!dut.loadFileK(path("bad.k")));
        }
        QVERIFY(!dut.loadFileK(path("missing.k")));
        QCOMPARE(column(dut, "leReadK"), texts);
        QCOMPARE(TempWorkDir::setting("Main/loadK_path").toString(), path("a.k"));
        QCOMPARE(messages(status).size(), 7);

        // A save that fails keeps the remembered location and says why.
        QVERIFY(!dut.saveFileK(path("gone/c.k")));
        QCOMPARE(TempWorkDir::setting("Main/saveK_path").toString(), path("a.k"));
        QVERIFY(messages(status).last().contains(QStringLiteral("c.k")));
    }

private:
    // Sensor 3's settings as a file may hold them: a range end past the limit, a colour written
    // signed, one that is no number and one missing.
    static void storeSensor3()
    {
        const QList<QPair<QString, QVariant>> ini {{"Enabled/EnabledCurve3_min", 43},
            {"DUT/DutAdres3", 7}, {"Diapazon/Dut3_min", "-30"}, {"Diapazon/Dut3_max", "128"},
            {"Polynom/PolynomType3", 2}, {"Polynom/PolynomNom3", 4},
            {"Color/Value3_color", "4294901760"},
            {"Color/Midl3_color", "-16711936"}, // the same bits written signed
            {"Color/Delta3_color", "abc"}};
        for (const auto &[key, value] : ini)
            TempWorkDir::setSetting(key, value);
    }
    std::optional<TempWorkDir> dir;
};

QTEST_MAIN(TestDut)
#include "tst_dut.moc"
