#include "sensors/dut.h"
#include "support/tempworkdir.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QtTest>

#include "panels/mycheckbox.h"

#include <memory>

Q_DECLARE_METATYPE(double *)

namespace {

QVariant stored(const QString &name)
{
    return TempWorkDir::setting(name);
}

} // namespace

// The panel's side of calibration: the fit into K0..K5, the write/read column, the data kinds
// a protocol can deliver, and coefficient files.
class TestCalibration : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<double *>("double*"); }
    void init()
    {
        dir = std::make_unique<TempWorkDir>();
        QVERIFY(dir->isValid());
    }
    void cleanup() { dir.reset(); }

    void fitFillsTheCoefficientColumn();
    void dataKindsPerProtocol_data();
    void dataKindsPerProtocol();
    void nonFiniteCoefficientIsNotWritten();
    void coefficientFiles();

private:
    template<typename T> T *child(Dut &dut, const QString &name)
    {
        T *widget = dut.findChild<T *>(name);
        if (!widget)
            qFatal("no widget %s", qPrintable(name));
        return widget;
    }
    QLineEdit *field(Dut &dut, const char *column, int i)
    {
        return child<QLineEdit>(dut, QString::fromLatin1(column) + QString::number(i));
    }
    QStringList column(Dut &dut, const char *name)
    {
        QStringList texts;
        for (int i = 0; i < 6; ++i)
            texts << field(dut, name, i)->text();
        return texts;
    }
    void setColumn(Dut &dut, const QStringList &texts)
    {
        for (int i = 0; i < 6; ++i)
            field(dut, "leReadK", i)->setText(texts.value(i));
    }

    std::unique_ptr<TempWorkDir> dir;
};

void TestCalibration::fitFillsTheCoefficientColumn()
{
    // A degree stored as 0 shows the lowest degree the box offers.
    TempWorkDir::setSetting(QStringLiteral("Polynom/PolynomNom0"), 0);
    Dut dut(nullptr, 0);
    QCOMPARE(child<QSpinBox>(dut, "sbNomPolinom")->value(), 1);
    child<QComboBox>(dut, "cbTypePolinom")->setCurrentIndex(2); // "Уровень"

    dut.setPoints({{10, 990}, {20, 1000}, {30, 1010}}, Level);
    const Dut::CurveMap percent = *dut.getTrend();
    QCOMPARE(column(dut, "leK"), (QStringList {"0.98", "0.001", "0", "0", "0", "0"}));
    QVERIFY(qAbs(percent.value(20.0)) < 1e-6);
    QVERIFY(qAbs(percent.value(30.0) - 1.0) < 1e-6);

    // Next to the data points the same fit is drawn in the sensor's own units.
    child<MyCheckBox>(dut, "cbMidl")->setChecked(true);
    const Dut::CurveMap raw = *dut.getTrend();
    QVERIFY(qAbs(raw.value(20.0) - 1000.0) < 1e-6);
    QVERIFY(qAbs(raw.value(-90.0) - 890.0) < 1e-6);
    QCOMPARE(column(dut, "leK").at(1), QStringLiteral("0.001"));

    // "->" copies the shown texts; the K curve takes 0 for a field that is not a finite number.
    QSignalSpy kCurve(&dut, &Dut::sigUpdateK);
    QTest::mouseClick(child<QPushButton>(dut, "pbCalc2Save"), Qt::LeftButton);
    QCOMPARE(column(dut, "leReadK"), column(dut, "leK"));
    field(dut, "leReadK", 2)->setText(QStringLiteral("nan"));
    const double *k = kCurve.last().at(1).value<double *>();
    QCOMPARE(k[0], 0.98);
    QCOMPARE(k[2], 0.0);

    // No value at 20 °C, or a 0 there: nothing to refer to, the fields keep the last fit.
    dut.setPoints({{10, 990}, {30, 1010}}, Level);
    QVERIFY(dut.getTrend()->isEmpty());
    dut.setPoints({{10, 990}, {20, 0}, {30, 1010}}, Level);
    QVERIFY(dut.getTrend()->isEmpty());
    QCOMPARE(column(dut, "leK").at(0), QStringLiteral("0.98"));

    // One point at degree 1: the constant through it, never a NaN in the fields.
    child<QSpinBox>(dut, "sbNomPolinom")->setValue(1);
    dut.setPoints({{20, 1000}}, Level);
    dut.getTrend();
    QCOMPARE(column(dut, "leK"), (QStringList {"1", "0", "0", "0", "0", "0"}));
}

void TestCalibration::dataKindsPerProtocol_data()
{
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("enabled"); // "1" per item that stays selectable
    QTest::addColumn<int>("chosen");
    QTest::addColumn<int>("shown");

    QTest::newRow("Veltaro level") << 0 << "101" << 1 << 2;
    QTest::newRow("Terval bin") << 1 << "011" << 0 << 2;
    QTest::newRow("Terval bin keeps frequency") << 1 << "011" << 1 << 1;
    QTest::newRow("Terval ASCII") << 2 << "011" << 0 << 2;
    QTest::newRow("MODBUS") << 3 << "001" << 0 << 2;
    QTest::newRow("Veltaro volume") << 4 << "101" << 1 << 2;
}

void TestCalibration::dataKindsPerProtocol()
{
    QFETCH(int, protocol);
    QFETCH(QString, enabled);
    QFETCH(int, chosen);
    QFETCH(int, shown);

    Dut dut(nullptr, 4);
    auto *box = child<QComboBox>(dut, "cbTypePolinom");
    auto *model = qobject_cast<QStandardItemModel *>(box->model());
    QVERIFY(model);
    dut.setProtocol(0);
    dut.setProtocol(1); // every item has been both disabled and enabled once
    box->setCurrentIndex(chosen);
    QSignalSpy kinds(&dut, &Dut::sendTypePolinom);

    dut.setProtocol(static_cast<uchar>(protocol));
    for (int item = 0; item < 3; ++item) {
        const Qt::ItemFlags flags = model->item(item)->flags();
        if (enabled.at(item) == QLatin1Char('1'))
            QCOMPARE(flags,
                Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDropEnabled
                    | Qt::ItemIsEnabled);
        else
            QCOMPARE(flags, Qt::ItemFlags(Qt::ItemIsUserCheckable));
    }
    QCOMPARE(box->currentIndex(), shown);
    if (shown != chosen) {
        QCOMPARE(kinds.count(), 1);
        QCOMPARE(kinds.first().at(1).value<eTypeData>(), Level);
        QCOMPARE(stored("Polynom/PolynomType4").toInt(), 2);
    } else {
        QCOMPARE(kinds.count(), 0);
    }
}

void TestCalibration::nonFiniteCoefficientIsNotWritten()
{
    Dut dut(nullptr, 1);
    child<QComboBox>(dut, "cbPort")->setCurrentIndex(2); // address 1
    dut.setKEnabled(true);
    auto *write = child<QPushButton>(dut, "pbSaveK");
    QSignalSpy status(&dut, &Dut::sigStatus);

    // "nan", "inf" and numbers beyond single precision stop the write before its first frame,
    // and the operator is told which field it is.
    for (const char *bad : {"nan", "inf", "-inf", "1e39", "-1e39", "1e400"}) {
        setColumn(dut, {"1", "2", "3", QString::fromLatin1(bad), "5", "6"});
        QTest::mouseClick(write, Qt::LeftButton);
        QVERIFY2(dut.getRequestK().isEmpty(), bad);
        QCOMPARE(write->text(), QStringLiteral("Запись К"));
        QCOMPARE(status.count(), 1);
        const QString message = status.takeFirst().at(0).toString();
        QVERIFY2(message.contains(QStringLiteral("K3")) && message.contains(QLatin1String(bad)),
            qPrintable(message));
    }

    // Text that is no number at all still goes out as 0.
    setColumn(dut, {"abc", "1", "", "0", "0", "0"});
    QTest::mouseClick(write, Qt::LeftButton);
    QCOMPARE(dut.getRequestK().mid(4, 5), QByteArray::fromHex("0500000000"));
    QCOMPARE(status.count(), 0);
}

void TestCalibration::coefficientFiles()
{
    Dut dut(nullptr, 2);
    QSignalSpy kCurve(&dut, &Dut::sigUpdateK);
    QSignalSpy status(&dut, &Dut::sigStatus);

    // Right after clearing: six lines "0".
    QVERIFY(dut.saveFileK(dir->filePath("zero.k")));
    QCOMPARE(TempWorkDir::contents(dir->filePath("zero.k")),
        QByteArray("0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"));
    QCOMPARE(stored("Main/saveK_path").toString(), dir->filePath("zero.k"));

    // Save, open into a cleared panel, save again: the same texts and the same bytes.
    const QStringList texts {"0.98", "0.001", "-1.23457e-05", QStringLiteral("ноль"), "", "7"};
    setColumn(dut, texts);
    QVERIFY(dut.saveFileK(dir->filePath("a.k")));
    dut.slClear();
    kCurve.clear();
    QVERIFY(dut.loadFileK(dir->filePath("a.k")));
    QCOMPARE(column(dut, "leReadK"), texts);
    QCOMPARE(kCurve.last().at(1).value<double *>()[0], 0.98);
    QCOMPARE(stored("Main/loadK_path").toString(), dir->filePath("a.k"));
    QVERIFY(dut.saveFileK(dir->filePath("b.k")));
    QCOMPARE(
        TempWorkDir::contents(dir->filePath("b.k")), TempWorkDir::contents(dir->filePath("a.k")));

    // LF line ends read the same; three lines leave the other three fields empty.
    auto load = [&](const char *name, const QByteArray &bytes) {
        const QString path = dir->filePath(QString::fromLatin1(name));
        return TempWorkDir::put(path, bytes) && dut.loadFileK(path);
    };
    QVERIFY(load("lf.k", TempWorkDir::contents(dir->filePath("a.k")).replace("\r\n", "\n")));
    QCOMPARE(column(dut, "leReadK"), texts);
    QVERIFY(load("three.k", "1\r\n2\r\n3"));
    QCOMPARE(column(dut, "leReadK"), (QStringList {"1", "2", "3", "", "", ""}));

    // A file that cannot be opened changes nothing and stays quiet.
    QVERIFY(!dut.loadFileK(dir->filePath("missing.k")));
    QCOMPARE(column(dut, "leReadK").at(0), QStringLiteral("1"));
    QCOMPARE(stored("Main/loadK_path").toString(), dir->filePath("three.k"));
    QCOMPARE(status.count(), 0);

    // A save that fails keeps the remembered location and says why.
    QVERIFY(!dut.saveFileK(dir->filePath("gone/c.k")));
    QCOMPARE(stored("Main/saveK_path").toString(), dir->filePath("b.k"));
    QCOMPARE(status.count(), 1);
    QVERIFY(status.first().at(0).toString().contains(QStringLiteral("c.k")));
}

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
