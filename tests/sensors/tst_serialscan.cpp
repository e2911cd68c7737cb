#include "panels/serialedit.h"
#include "sensors/duts.h"
#include "support/child.h"
#include "support/messageboxcatcher.h"
#include "support/tempworkdir.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QtTest>

namespace {

// What a keyboard-wedge scanner does: the code's keys, then Enter, into the focused field.
void scan(const QString &code)
{
    QWidget *focused = QApplication::focusWidget();
    QVERIFY(focused);
    QTest::keyClicks(focused, code);
    QTest::keyClick(focused, Qt::Key_Return);
}

} // namespace

class TestSerialScan : public QObject
{
    Q_OBJECT

private slots:
    // Enter moves on to the next polled panel, a panel that is "off" is passed over, a code
    // already on another panel is refused, and the accepted codes are stored.
    void scanInARow()
    {
        TempWorkDir dir;
        Duts bank;
        QSignalSpy status(&bank, &Duts::sigStatus);
        for (quint8 n = 0; n < Duts::dutCount; ++n)
            child<QComboBox>(*bank.dut(n), "cbPort")->setCurrentIndex(n == 3 ? 0 : n + 1);
        bank.show();
        QVERIFY(QTest::qWaitForWindowActive(&bank));
        bank.dut(0)->serialEdit()->setFocus();
        for (const char *code : {"A-100", "A-101", "A-102", "A-104", "A-105"})
            scan(QString::fromLatin1(code));
        const QStringList expected {"A-100", "A-101", "A-102", "", "A-104", "A-105"};
        for (quint8 n = 0; n < Duts::dutCount; ++n)
            QCOMPARE(bank.dut(n)->serial(), expected[n]);

        bank.dut(4)->serialEdit()->setFocus();
        bank.dut(4)->serialEdit()->clear();
        scan(QStringLiteral(" A-101 "));
        QCOMPARE(bank.dut(4)->serial(), QString());
        QVERIFY(bank.dut(4)->serialEdit()->styleSheet().contains("pink"));
        QCOMPARE(QApplication::focusWidget(), bank.dut(4)->serialEdit());
        QCOMPARE(status.last().at(0).toString(),
            QStringLiteral("Зав. № A-101 уже введён на ДУТ 1, на ДУТ 4 не принят"));
        // The refused code is selected, so the next scan replaces it.
        scan(QStringLiteral("A-106"));
        QCOMPARE(bank.dut(4)->serial(), QStringLiteral("A-106"));
        QCOMPARE(status.last().at(0).toString(), QString());
        QCOMPARE(TempWorkDir::setting("DUT/Serial4"), QVariant("A-106"));
    }

    // "Очистить" names the serial number it throws away; a write without one asks first.
    void clearAndWriteAsk()
    {
        TempWorkDir dir;
        TempWorkDir::setSetting(QStringLiteral("DUT/Serial2"), QStringLiteral("B-7"));
        Duts bank;
        Dut *panel = bank.dut(2);
        QCOMPARE(panel->serial(), QStringLiteral("B-7"));
        MessageBoxCatcher boxes;
        boxes.answerWith(QMessageBox::Yes);
        panel->slAskClear();
        QVERIFY(boxes.texts().value(0).contains(QStringLiteral("заводской номер B-7")));
        QCOMPARE(panel->serial(), QString());
        QCOMPARE(TempWorkDir::setting("DUT/Serial2"), QVariant(""));

        boxes.answerWith(QMessageBox::No);
        QVERIFY(!panel->confirmWithoutSerial());
        QVERIFY(boxes.texts().value(1).contains(QStringLiteral("не введён заводской номер")));
    }
};

QTEST_MAIN(TestSerialScan)
#include "tst_serialscan.moc"
