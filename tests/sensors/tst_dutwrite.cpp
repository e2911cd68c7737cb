#include "panels/lineeditmax.h"
#include "panels/lineeditmin.h"
#include "sensors/dut.h"
#include "support/answerdialog.h"
#include "support/child.h"
#include "support/frames.h"
#include "support/messageboxcatcher.h"
#include "support/panelinput.h"
#include "support/tempworkdir.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <optional>

using frames::veltaroAnswer;
using namespace panelinput;

// What a press of "Запись К" does before the first frame: texts the sensor cannot hold are
// refused, and a range the data covers only in part is asked about.
class TestDutWrite : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(dir.emplace().isValid());
        TempWorkDir::setSetting("DUT/Serial1", "T-1");
    }
    void cleanup() { dir.reset(); }

    void unusableCoefficientIsNotWritten()
    {
        Dut dut(nullptr, 1);
        setAddress(dut, 1);
        dut.setKEnabled(true);
        auto *write = child<QPushButton>(dut, "pbSaveK");
        QSignalSpy status(&dut, &Dut::sigStatus);
        // Nothing is collected, so a write asks first, but not before its texts are usable.
        MessageBoxCatcher boxes;
        boxes.answerWith(QMessageBox::Yes);

        // Anything that is not a normal single-precision number (or zero) stops the write
        // before its first frame, and the operator is told which field it is and why.
        const QList<QPair<const char *, QString>> bad {{"abc", "не число"}, {"", "не число"},
            {"1.5.", "не число"}, {"nan", "не число"}, {"-inf", "не число"},
            {"1e39", "слишком велико"}, {"-1e40", "слишком велико"}, {"1e400", "не число"},
            {"1e-50", "слишком мало"}, {"-1e-40", "слишком мало"}};
        for (const auto &[text, why] : bad) {
            setColumn(dut, {"1", "2", "3", QString::fromLatin1(text), "5", "6"});
            QTest::mouseClick(write, Qt::LeftButton);
            QVERIFY2(dut.getRequestK().isEmpty(), text);
            QCOMPARE(write->text(), QStringLiteral("Запись К"));
            const QString message = status.takeFirst().at(0).toString();
            QVERIFY2(message.contains("K3") && message.contains(text) && message.contains(why),
                qPrintable(message));
        }
        QVERIFY(boxes.texts().isEmpty());

        // A decimal comma is a decimal point. The sensor's own coefficients are read first,
        // for the record, and leave the column as typed.
        setColumn(dut, {"1,5", "1", "-0", "1e-37", "0", "0"});
        QTest::mouseClick(write, Qt::LeftButton);
        for (int step = 0; step < 6; ++step) {
            QCOMPARE(dut.getRequestK(), frames::withCrc8(frames::bytes({0x37, 1, 0x4c, 1, step})));
            QByteArray found = frames::readKAnswer(1, 7.0f);
            QCOMPARE(dut.checkKAnswer(&found).kAnswer, quint8(1));
        }
        QCOMPARE(child(dut, "leReadK0")->text(), QStringLiteral("1,5"));
        QCOMPARE(dut.getRequestK().mid(4, 5), QByteArray::fromHex("050000c03f"));
    }

    // Readings count within the range only, a spoiled answer counts nothing; the panel names
    // the degrees without data.
    void coverageCountsTheRange()
    {
        Dut dut(nullptr, 1);
        feedPartOfTheRange(dut);
        auto *label = child<QLabel>(dut, "lCoverage");
        QCOMPARE(label->text(), QStringLiteral("6/121 °C"));
        QCOMPARE(label->toolTip(), QStringLiteral("Нет данных: -37..19, 22..79"));
    }

    // A range covered in part is asked about: No, the default, sends nothing; Yes writes as
    // without the question. Once a set point covers the rest, nothing is asked.
    void partialCoverageAsksBeforeTheWrite()
    {
        Dut dut(nullptr, 1);
        feedPartOfTheRange(dut);
        QString asked;
        answerDialog<QMessageBox>([&asked](QMessageBox *box) {
            asked = box->defaultButton() == box->button(QMessageBox::No) ? box->text() : "?";
            box->done(QMessageBox::No);
        });
        auto *write = child<QPushButton>(dut, "pbSaveK");
        QTest::mouseClick(write, Qt::LeftButton);
        QCOMPARE(asked,
            QStringLiteral("ДУТ 1: данные есть для 6 из 121 °C диапазона (нет -37..19, 22..79). "
                           "Записать коэффициенты?"));
        QVERIFY(dut.getRequestK().isEmpty());
        MessageBoxCatcher boxes;
        boxes.answerWith(QMessageBox::Yes);
        QTest::mouseClick(write, Qt::LeftButton);
        QVERIFY(!dut.getRequestK().isEmpty());

        dut.setPoint(22, 1234, Level);
        child<LineEditMin>(dut, "leMin")->setText("20");
        child<LineEditMax>(dut, "leMax")->setText("22");
        QCOMPARE(child<QLabel>(dut, "lCoverage")->text(), QStringLiteral("3/3 °C"));
        QTest::mouseClick(write, Qt::LeftButton);
        QCOMPARE(boxes.texts().size(), 1);
    }

    // A point belongs to its data kind; without +20 °C nothing is fitted, and the panel says so
    // until a point is set there.
    void withoutPlus20NothingIsFitted()
    {
        Dut dut(nullptr, 1);
        feedPartOfTheRange(dut);
        dut.setPoint(22, 1234, Level);
        child<LineEditMin>(dut, "leMin")->setText("20");
        child<LineEditMax>(dut, "leMax")->setText("22");
        auto *label = child<QLabel>(dut, "lCoverage");
        setKind(dut, Period);
        QCOMPARE(dut.coverage().covered(), 2);
        dut.slClear();
        QCOMPARE(label->text(), QStringLiteral("0/3 °C"));
        feed(dut, veltaroAnswer(3, 21, 1000, 50000));
        QCOMPARE(label->text(), QStringLiteral("1/3 °C\nнет +20 °C, K не считаются"));
        QVERIFY(label->toolTip().contains("Ctrl + правый щелчок"));
        dut.setPoint(20, 50010, Period);
        QCOMPARE(label->text(), QStringLiteral("2/3 °C"));
    }

    void zerosAskedAsReset_data()
    {
        QTest::addColumn<QString>("k0");
        QTest::addColumn<QString>("k5");
        QTest::addColumn<bool>("confirmed");
        QTest::addColumn<QString>("why");
        QTest::newRow("all zero, No") << "0"
                                      << "-0" << false << "все шесть коэффициентов";
        QTest::newRow("K0 zero, No") << "0"
                                     << "1e-9" << false << "K0 = 0";
        QTest::newRow("all zero, reset confirmed") << "0"
                                                   << "0" << true << "все шесть";
    }

    // A column of zeros, or with K0 = 0, is written only as a reset confirmed in a question of
    // its own; No, the default, sends nothing and the status bar says why.
    void zerosAskedAsReset()
    {
        QFETCH(QString, k0);
        QFETCH(QString, k5);
        QFETCH(bool, confirmed);
        QFETCH(QString, why);
        Dut dut(nullptr, 2);
        setAddress(dut, 1);
        dut.setKEnabled(true);
        setColumn(dut, {k0, "0", "0", "0", "0", k5});
        QSignalSpy status(&dut, &Dut::sigStatus);
        MessageBoxCatcher boxes;
        boxes.answerWith(confirmed ? QMessageBox::Yes : QMessageBox::No);
        QTest::mouseClick(child<QPushButton>(dut, "pbSaveK"), Qt::LeftButton);
        QVERIFY(!boxes.texts().isEmpty() && boxes.texts().first().contains(why));
        QVERIFY(boxes.texts().first().contains(QStringLiteral("сброс")));
        QCOMPARE(dut.getRequestK().isEmpty(), !confirmed);
        if (!confirmed)
            QVERIFY(status.last().at(0).toString().contains(why));
    }

private:
    // Level readings of sensor 3 at -40..-38, 20, 21 and 80 °C of the range -40..80, one at
    // 81 °C outside it and a spoiled one at 30 °C; a column that fits.
    static void feedPartOfTheRange(Dut &dut)
    {
        setAddress(dut, 3);
        setKind(dut, Level);
        dut.setKEnabled(true);
        setColumn(dut, {"1", "0", "0", "0", "0", "0"});
        for (int t : {-40, -39, -38, 20, 21, 80, 81})
            feed(dut, veltaroAnswer(3, qint8(t), 1000, 50000));
        feed(dut, veltaroAnswer(3, 30, 1000, 50000).chopped(1) + '\x00');
    }
    std::optional<TempWorkDir> dir;
};

QTEST_MAIN(TestDutWrite)
#include "tst_dutwrite.moc"
