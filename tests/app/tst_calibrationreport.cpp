// The calibration report made from sensor data, setups and write records, without any widget,
// read back as text.

#include "app/calibrationreport.h"
#include "app/certificatetext.h"
#include "sensors/sensordata.h"
#include "support/documents.h"

#include <QtTest>

namespace {

const SensorData::MidlMap kPoints {{18, 990}, {19, 996}, {20, 1000}, {21, 1004}, {22, 1010}};
const CoefficientWrite::Values kFit {0.904f, 0.0048f};

CalibrationReport::Sensor sensor(const SensorData &data, int number, int lo, int hi)
{
    CalibrationReport::Sensor sensor;
    sensor.data = &data;
    sensor.setup.sensor = number;
    sensor.setup.kindIndex = 2; // "Уровень"
    sensor.setup.rangeMin = lo;
    sensor.setup.rangeMax = hi;
    sensor.fit = kFit;
    return sensor;
}

CalibrationRecord written(const CalibrationReport::Sensor &sensor, bool ok)
{
    CoefficientWrite write;
    write.sent = sensor.fit;
    write.read = sensor.fit;
    write.readBack.fill(true);
    write.ok = ok;
    if (!ok) {
        write.read[3] = 3.3000003e-08f;
        write.failure = QStringLiteral("K3 записан 0, в датчике 3.3000003e-08");
    }
    return CalibrationRecord::of(*sensor.data, sensor.setup, sensor.fit, &write);
}

} // namespace

class TestCalibrationReport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(!documents::pdfText(emptyReport()).isEmpty(), "no pdftotext"); }

    // A first page, then one page per sensor given: its coverage, the coefficients as written
    // and read back, the residuals and the verdict.
    void pagePerSensor()
    {
        SensorData data;
        data.setPoints(kPoints, Level);
        CalibrationReport::Input input;
        input.runDirectory = QStringLiteral("/runs/2026_12_08_07_10_00");
        input.sensors << sensor(data, 1, 18, 22) << sensor(data, 4, 18, 22);
        input.sensors[0].written = written(input.sensors[0], false);
        const QString text = documents::pdfText(CalibrationReport::render(input));
        QCOMPARE(text.count('\f'), 3);
        const QStringList pages = text.split('\f');
        for (const QString &wanted :
            {QStringLiteral("Отчёт о калибровке"), QStringLiteral("/runs/2026_12_08_07_10_00"),
                QStringLiteral("ДУТ 1"), QStringLiteral("ERROR: K3"), QStringLiteral("ДУТ 4"),
                QStringLiteral("коэффициенты не записывались")})
            QVERIFY2(pages[0].contains(wanted), qPrintable(wanted));
        for (const QString &wanted : {QStringLiteral("5/5"), QStringLiteral("0.904"),
                 QStringLiteral("3.3000003e-08"), QStringLiteral("НЕ ГОДЕН")})
            QVERIFY2(pages[1].contains(wanted), qPrintable(wanted));
        QVERIFY(pages[2].contains(QStringLiteral("Расчёт (не записан)")));
    }

    // A sensor calibrated over -40..+80 °C: its table of 121 degrees runs on to pages of its
    // own, and every page, the hands-free one included, is numbered out of the real count,
    // with the end mark on the last.
    void wholeRangeNumberedToTheEnd()
    {
        SensorData data;
        SensorData::MidlMap points;
        for (int t = -40; t <= 80; ++t)
            points.insert(qint8(t), quint32(1000 + 5 * t + (t % 3)));
        data.setPoints(points, Level);
        CalibrationReport::Input input;
        input.sensors << sensor(data, 2, -40, 80);
        input.sensors[0].written = written(input.sensors[0], true);
        input.automatic << AutoReport::Sensor {};
        const QString text = documents::pdfText(CalibrationReport::render(input));
        const QStringList pages = text.split('\f', Qt::SkipEmptyParts);
        QVERIFY(pages.size() > 3);
        for (int i = 0; i < pages.size(); ++i) {
            const QString foot = QStringLiteral("стр. %1 из %2").arg(i + 1).arg(pages.size());
            QVERIFY2(pages[i].contains(foot), qPrintable(foot));
            QCOMPARE(pages[i].contains(CertificateText::endMark()), i + 1 == pages.size());
        }
        QVERIFY(text.count(QStringLiteral("±")) >= 121);
    }

    void verdict_data()
    {
        QTest::addColumn<int>("lo");
        QTest::addColumn<bool>("write");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("verified, range covered") << 18 << true << true << "ГОДЕН";
        QTest::newRow("verified on 5 of 8 degrees")
            << 15 << true << true << "НЕ ГОДЕН: диапазон не покрыт";
        QTest::newRow("read back differs") << 18 << true << false << "НЕ ГОДЕН";
        QTest::newRow("not written") << 18 << false << false << "НЕ ГОДЕН";
    }

    // A pass needs the write verified and every degree of the range covered; a verdict resting
    // on part of the range says so and never reads "ГОДЕН".
    void verdict()
    {
        QFETCH(int, lo);
        QFETCH(bool, write);
        QFETCH(bool, ok);
        QFETCH(QString, verdict);
        SensorData data;
        data.setPoints(kPoints, Level);
        CalibrationReport::Input input;
        input.sensors << sensor(data, 0, lo, 22);
        if (write)
            input.sensors[0].written = written(input.sensors[0], ok);
        const QString text = documents::pdfText(CalibrationReport::render(input));
        QVERIFY2(text.contains(verdict), qPrintable(text));
        static const QRegularExpression pass(QStringLiteral("(?<!НЕ )ГОДЕН"));
        QCOMPARE(text.contains(pass), verdict == QStringLiteral("ГОДЕН"));
    }

private:
    static QByteArray emptyReport() { return CalibrationReport::render({}); }
};

QTEST_MAIN(TestCalibrationReport)
#include "tst_calibrationreport.moc"
