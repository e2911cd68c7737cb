#include "sensors/autocalibration.h"
#include "support/tempworkdir.h"

#include <QSettings>
#include <QtTest>

#include <cmath>

using Phase = AutoCalibration::Phase;
using Exchange = AutoCalibration::Exchange;
using K = AutoCalibration::Coefficients;
using Midl = AutoCalibration::MidlMap;

Q_DECLARE_METATYPE(AutoCalibration::MidlMap)

namespace {

// Mid values of a flat sensor at 1000 over -40..+80, with one degree changed and some dropped.
Midl flat(int t = 20, quint32 value = 1000, QVector<int> gone = {})
{
    Midl midl;
    for (int d = -40; d <= 80; ++d)
        midl.insert(qint8(d), d == t ? value : 1000);
    for (const int d : gone)
        midl.remove(qint8(d));
    return midl;
}

// Sensor 0 read, then covered: its fit's write is under way, and none came before.
void toWrite(AutoCalibration &course)
{
    course.start({0}, {});
    course.nextExchange();
    course.readDone(0, K {});
    QCOMPARE(course.nextExchange().kind, Exchange::None);
    course.covered(0);
    QCOMPARE(course.nextExchange().kind, Exchange::WriteFit);
}

} // namespace

class TestAutoCalibration : public QObject
{
    Q_OBJECT

private slots:
    // All reads go first, one at a time; one question names every sensor with a compensation
    // of its own; Yes writes the neutral set and throws away what was collected through it.
    void asFoundAndTheNeutralQuestion()
    {
        AutoCalibration course;
        QSignalSpy asked(&course, &AutoCalibration::neutralQuestion);
        QSignalSpy cleared(&course, &AutoCalibration::clearData);
        QSignalSpy said(&course, &AutoCalibration::status);
        course.start({4, 1, 2, 0}, {});
        const QVector<std::optional<K>> found {K {1, 0, 0, 0, 0, 0}, std::nullopt,
            K {0.98, 1e-3, 0, 0, 0, 0}, K {0, 0, 0, 0, 0, std::nan("")}};
        for (int i = 0; i < 4; ++i) {
            const Exchange read = course.nextExchange();
            QCOMPARE(read.sensor, QVector<int>({0, 1, 2, 4})[i]);
            QCOMPARE(read.kind, Exchange::Read);
            QCOMPARE(course.nextExchange().kind, Exchange::None);
            QCOMPARE(asked.count(), 0);
            course.readDone(read.sensor, found[i]);
        }
        QVERIFY(said.at(3).at(0).toString().startsWith("ДУТ 1: K не прочитаны"));
        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked.at(0).at(0).value<QVector<int>>(), QVector<int>({2, 4}));

        course.answerNeutral(true);
        QCOMPARE(course.nextExchange().kind, Exchange::WriteNeutral);
        course.writeDone(2, false); // tried once more
        QCOMPARE(course.nextExchange().sensor, 2);
        course.writeDone(2, true);
        QCOMPARE(std::pair(cleared.count(), course.phase(2)), std::pair(1, Phase::Collecting));
        QCOMPARE(course.nextExchange().sensor, 4);
    }

    // A read-back that differs is written once more; twice, and the sensor is judged.
    void writeVerifiedOrRetriedOnce()
    {
        for (const QVector<bool> &verified :
            {QVector<bool> {true}, {false, true}, {false, false}}) {
            AutoCalibration course;
            QSignalSpy written(&course, &AutoCalibration::written);
            QSignalSpy finished(&course, &AutoCalibration::finished);
            toWrite(course);
            course.writeDone(0, verified[0]);
            if (verified.size() > 1) {
                QCOMPARE(course.nextExchange().kind, Exchange::WriteFit);
                course.writeDone(0, verified[1]);
            }
            QCOMPARE(written.count(), int(verified.last()));
            QCOMPARE(course.verdict(0) ? course.verdict(0)->text() : "",
                verified.last() ? "" : "НЕ ГОДЕН: запись не проверена");
            QCOMPARE(finished.count(), int(!verified.last()));
        }
    }

    // Waits for every check point ("Calibration/check_points", else the range's ends) and
    // +20 °C; judges the largest |v(T)/v(+20) - 1| over the range against the tolerance.
    void asLeftVerdict_data()
    {
        QTest::addColumn<QByteArray>("listed");
        QTest::addColumn<Midl>("midl");
        QTest::addColumn<QVector<int>>("lacking");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("within") << QByteArray() << flat(-40, 1004) << QVector<int>() << "ГОДЕН";
        QTest::newRow("beyond") << QByteArray() << flat(79, 994) << QVector<int>() << "НЕ ГОДЕН";
        QTest::newRow("an end missing")
            << QByteArray() << flat(20, 1000, {80}) << QVector<int> {80} << "";
        QTest::newRow("listed ones only") << QByteArray("50, x,0,95,-91")
                                          << flat(20, 1000, {-40, 80}) << QVector<int>() << "ГОДЕН";
        QTest::newRow("+20 always")
            << QByteArray("0") << flat(20, 1000, {0, 20}) << QVector<int> {0, 20} << "";
    }
    void asLeftVerdict()
    {
        QFETCH(QByteArray, listed);
        QFETCH(Midl, midl);
        QFETCH(QVector<int>, lacking);
        QFETCH(QString, verdict);
        const QString ini = m_dir.filePath("rules.ini");
        QVERIFY(TempWorkDir::put(ini, "[Calibration]\ncheck_points=" + listed));
        AutoCalibration course;
        // Found written in the run's journal: straight to the check.
        course.start({3}, StoredSettings::calibration(QSettings(ini, QSettings::IniFormat)), {3});
        QCOMPARE(course.lacking(3, midl, -40, 80), lacking);
        course.midValues(3, midl, -40, 80);
        QCOMPARE(course.verdict(3) ? course.verdict(3)->text() : QString(), verdict);
    }

    // A hand on a panel or the switch ends the course there and then, its exchange with it.
    void handsAndSwitchEndTheCourse()
    {
        AutoCalibration course;
        QSignalSpy abandoned(&course, &AutoCalibration::exchangeAbandoned);
        QSignalSpy written(&course, &AutoCalibration::written);
        QSignalSpy finished(&course, &AutoCalibration::finished);
        toWrite(course);
        course.stop();
        course.writeDone(0, true);
        QCOMPARE(std::pair(abandoned.count(), written.count()), std::pair(1, 0));

        toWrite(course);
        course.manual(0);
        QCOMPARE(abandoned.count(), 2);
        QCOMPARE(finished.count(), 0); // nobody judged: no report

        // The others go on; the last verdict finishes the run.
        course.start({0, 5}, {}, {0, 5});
        course.manual(5);
        course.midValues(0, flat(), -40, 80);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0), (QList<QVariant> {1, 1}));
    }

private:
    TempWorkDir m_dir;
};

QTEST_GUILESS_MAIN(TestAutoCalibration)
#include "tst_autocalibration.moc"
