#include "sensors/certificatenumber.h"
#include "sensors/runcertificate.h"
#include "sensors/runid.h"
#include "support/tempworkdir.h"

#include <QtTest>

#include <QUuid>

#include <thread>

class TestCertificateNumber : public QObject
{
    Q_OBJECT

private slots:
    // Numbers run on over days and stations; two benches drawing at once never get the same.
    void runsOnAndUnique()
    {
        TempWorkDir dir;
        const QString path = dir.path();
        QCOMPARE(CertificateNumber::next(path, QStringLiteral("ST1"), QDate(2026, 12, 8)),
            QStringLiteral("ST1-20261208-0001"));
        QCOMPARE(CertificateNumber::next(path, QStringLiteral(" Стенд 2/a "), QDate(2026, 12, 9)),
            QStringLiteral("Стенд_2_a-20261209-0002"));

        QStringList first, second;
        auto draw = [&](QStringList *into) {
            for (int i = 0; i < 15; ++i)
                into->append(CertificateNumber::next(path, QStringLiteral("S"), QDate(2026, 1, 1)));
        };
        std::thread other(draw, &second);
        draw(&first);
        other.join();
        const QStringList all = first + second;
        QCOMPARE(QSet<QString>(all.cbegin(), all.cend()).size(), 30);
        const QString counter = dir.filePath(CertificateNumber::counterFile);
        QCOMPARE(TempWorkDir::contents(counter), "32\n");

        // A damaged counter gives no number and is left as it is: numbers are never reissued.
        QString error;
        QVERIFY(TempWorkDir::put(counter, "7x\n"));
        QVERIFY(CertificateNumber::next(path, "A", QDate(2026, 1, 1), &error).isEmpty());
        QVERIFY(error.contains(QStringLiteral("повреждён")));
        QCOMPARE(TempWorkDir::contents(counter), "7x\n");
    }

    // Every start of polling records a new run; the last one whole is the run's identifier.
    void runIdentifiers()
    {
        TempWorkDir dir;
        const QString run = dir.filePath(QStringLiteral("2026_12_08_10_00_00"));
        QCOMPARE(RunId::last(run), QString());
        const QString first = RunId::begin(run, QDateTime::currentDateTime());
        const QString second = RunId::begin(run, QDateTime::currentDateTime());
        QVERIFY(!QUuid(second).isNull() && first != second);
        QCOMPARE(RunId::last(run), second);
        // A line torn by a crash is passed over.
        QFile file(run + QStringLiteral("/run.txt"));
        QVERIFY(file.open(QIODevice::Append) && file.write("2026-12-08T10:01:00 5f3a") > 0);
        file.close();
        QCOMPARE(RunId::last(run), second);
    }

    // A run draws its certificate number once and keeps it; the next run draws the next one.
    void runKeepsItsNumber()
    {
        TempWorkDir dir;
        const QDate day(2026, 12, 8);
        const QString one = dir.filePath(QStringLiteral("2026_12_08_10_00_00"));
        const QString two = dir.filePath(QStringLiteral("2026_12_08_11_00_00"));
        QCOMPARE(RunCertificate::of(one, dir.path(), "ST1", day), "ST1-20261208-0001");
        QCOMPARE(RunCertificate::of(one, dir.path(), "ST2", day.addDays(1)), "ST1-20261208-0001");
        QCOMPARE(RunCertificate::of(two, dir.path(), "ST1", day), "ST1-20261208-0002");
        QCOMPARE(RunCertificate::kept(one), "ST1-20261208-0001");
    }
};

QTEST_GUILESS_MAIN(TestCertificateNumber)
#include "tst_certificatenumber.moc"
