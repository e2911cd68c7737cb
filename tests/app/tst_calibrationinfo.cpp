#include "app/calibrationinfodialog.h"
#include "support/child.h"
#include "support/tempworkdir.h"

#include <QDialogButtonBox>
#include <QInputDialog>
#include <QPushButton>
#include <QtTest>

class TestCalibrationInfo : public QObject
{
    Q_OBJECT

private slots:
    // "OK" stores every field under its key; a date or number that is not one keeps the form
    // open and stores nothing.
    void formStores()
    {
        TempWorkDir dir;
        QWidget window;
        CalibrationInfoDialog form(&window);
        child(form, "leStation")->setText(QStringLiteral(" ST1 "));
        child(form, "leReference")->setText(QStringLiteral("ТЛ-4 № 1234"));
        child(form, "leAmbientTemperature")->setText(QStringLiteral("21,5"));
        child(form, "leReferenceDue")->setText(QStringLiteral("31.12.2026"));
        QPushButton *ok = child<QDialogButtonBox>(form, "buttons")->button(QDialogButtonBox::Ok);
        ok->click();
        QVERIFY(child(form, "leReferenceDue")->styleSheet().contains("pink"));
        QCOMPARE(TempWorkDir::setting("Report/station"), QVariant());

        child(form, "leReferenceDue")->setText(QStringLiteral("2026-12-01"));
        ok->click();
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(TempWorkDir::setting("Report/station"), QVariant("ST1"));
        QCOMPARE(TempWorkDir::setting("Report/ambient_temperature"), QVariant("21.5"));
        QCOMPARE(CalibrationInfo::read().expiryWarning(QDate(2026, 12, 2)),
            QStringLiteral("Срок поверки эталона ТЛ-4 № 1234 истёк 01.12.2026"));
    }

    // Polling starts without an operator: one question, which does not hold the bench up.
    void operatorAskedAtStart()
    {
        TempWorkDir dir;
        QWidget window;
        QStringList said;
        auto status = [&said](const QString &message) { said << message; };
        CalibrationInfoDialog::atPollingStart(&window, status);
        CalibrationInfoDialog::atPollingStart(&window, status);
        const auto questions = window.findChildren<QInputDialog *>("operatorQuestion");
        QCOMPARE(questions.size(), 1);
        QVERIFY(!questions[0]->isModal());
        questions[0]->setTextValue(QStringLiteral(" Иванов И. И. "));
        questions[0]->accept();
        QCOMPARE(CalibrationInfo::read().operatorName, QStringLiteral("Иванов И. И."));
        QCOMPARE(said, QStringList({QString(), QString()}));
    }
};

QTEST_MAIN(TestCalibrationInfo)
#include "tst_calibrationinfo.moc"
