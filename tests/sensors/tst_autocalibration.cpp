#include "sensors/autocalibration.h"
#include "support/tempworkdir.h"

#include <QSettings>
#include <QtTest>

#include <cmath>

using Phase = AutoCalibration::Phase;
using Exchange = AutoCalibration::Exchange;

Q_DECLARE_METATYPE(AutoCalibration::MidlMap)
Q_DECLARE_METATYPE(AutoCalibration::Phase)

namespace {

// Mid values of a flat sensor at 1000 over -40..+80, one degree set apart.
AutoCalibration::MidlMap flat(int t = 20, quint32 value = 1000)
{
    AutoCalibration::MidlMap midl;
    for (int d = -40; d <= 80; ++d)
        midl.insert(qint8(d), 1000);
    midl.insert(qint8(t), value);
    return midl;
}

// Sensor 0 through its reads up to a running write of its fit.
void toWrite(AutoCalibration &course)
{
    course.start({0}, {});
    QCOMPARE(course.nextExchange().kind, Exchange::Read);
    course.readDone(0, AutoCalibration::Coefficients {});
    QCOMPARE(course.nextExchange().kind, Exchange::None); // not covered yet: no write
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
        using K = AutoCalibration::Coefficients;
        const QVector<std::optional<K>> found {K {1, 0, 0, 0, 0, 0}, std::nullopt,
            K {0.98, 1e-3, 0, 0, 0, 0}, K {0, 0, 0, 0, 0, std::nan("")}};
        for (int i = 0; i < 4; ++i) {
            const Exchange read = course.nextExchange();
            QCOMPARE(read.kind, Exchange::Read);
            QCOMPARE(read.sensor, QVector<int>({0, 1, 2, 4})[i]);
            QCOMPARE(course.nextExchange().kind, Exchange::None); // one at a time
            QCOMPARE(asked.count(), 0);
            course.readDone(read.sensor, found[i]);
        }
        QVERIFY(said.at(2).at(0).toString().startsWith("ДУТ 1: K не прочитаны"));
        QCOMPARE(asked.count(), 1);
        QCOMPARE(asked.at(0).at(0).value<QVector<int>>(), QVector<int>({2, 4}));
        QCOMPARE(course.phase(1), Phase::Collecting);

        course.answerNeutral(true);
        QCOMPARE(course.nextExchange().kind, Exchange::WriteNeutral);
        course.writeDone(2, false); // tried once more
        QCOMPARE(course.nextExchange().sensor, 2);
        course.writeDone(2, true);
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(course.phase(2), Phase::Collecting);
        QCOMPARE(course.asFound(2)->at(0), 0.98);
        QCOMPARE(course.nextExchange().sensor, 4);
    }

    // A read-back that differs is written once more; twice, and the sensor is judged.
    void writeVerifiedOrRetriedOnce_data()
    {
        QTest::addColumn<QVector<bool>>("verifications");
        QTest::addColumn<Phase>("phase");
        QTest::newRow("verified") << QVector<bool> {true} << Phase::Checking;
        QTest::newRow("verified again") << QVector<bool> {false, true} << Phase::Checking;
        QTest::newRow("never verified") << QVector<bool> {false, false} << Phase::Verdict;
    }
    void writeVerifiedOrRetriedOnce()
    {
        QFETCH(QVector<bool>, verifications);
        QFETCH(Phase, phase);
        AutoCalibration course;
        QSignalSpy written(&course, &AutoCalibration::written);
        QSignalSpy finished(&course, &AutoCalibration::finished);
        toWrite(course);
        course.writeDone(0, verifications[0]);
        if (verifications.size() > 1) {
            QCOMPARE(course.phase(0), Phase::Retry);
            QCOMPARE(course.nextExchange().kind, Exchange::WriteFit);
            course.writeDone(0, verifications[1]);
        }
        QCOMPARE(course.phase(0), phase);
        QCOMPARE(written.count(), phase == Phase::Checking ? 1 : 0);
        QCOMPARE(course.nextExchange().kind, Exchange::None);
        if (phase == Phase::Verdict) {
            QCOMPARE(course.verdict(0)->text(), QStringLiteral("НЕ ГОДЕН: запись не проверена"));
            QCOMPARE(finished.count(), 1);
            QCOMPARE(finished.at(0), (QList<QVariant> {0, 1}));
        }
    }

    // Waits for every check point ("Calibration/check_points", else the range's ends) and
    // +20 °C; judges the largest |v(T)/v(+20) - 1| over the range against the tolerance.
    void asLeftVerdict_data()
    {
        QTest::addColumn<QByteArray>("listed");
        QTest::addColumn<AutoCalibration::MidlMap>("midl");
        QTest::addColumn<QVector<int>>("lacking");
        QTest::addColumn<QString>("verdict");
        const auto without = [](AutoCalibration::MidlMap m, QVector<int> gone) {
            for (const int t : gone)
                m.remove(qint8(t));
            return m;
        };
        QTest::newRow("within") << QByteArray() << flat(-40, 1004) << QVector<int>() << "ГОДЕН";
        QTest::newRow("beyond") << QByteArray() << flat(79, 994) << QVector<int>() << "НЕ ГОДЕН";
        QTest::newRow("an end missing")
            << QByteArray() << without(flat(), {80}) << QVector<int> {80} << "";
        QTest::newRow("listed ones only")
            << QByteArray("50, x,0,95,-91") << without(flat(), {-40, 80}) << QVector<int>()
            << "ГОДЕН";
        QTest::newRow("+20 always")
            << QByteArray("0") << without(flat(), {0, 20}) << QVector<int> {0, 20} << "";
    }
    void asLeftVerdict()
    {
        QFETCH(QByteArray, listed);
        QFETCH(AutoCalibration::MidlMap, midl);
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
        QCOMPARE(abandoned.count(), 1);
        course.writeDone(0, true);
        QCOMPARE(written.count(), 0);
        QCOMPARE(course.phase(0), Phase::Off);
        QVERIFY(!course.isRunning());

        toWrite(course);
        course.manual(0);
        QCOMPARE(abandoned.count(), 2);
        QCOMPARE(course.phase(0), Phase::Manual);
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
