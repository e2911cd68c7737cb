#include "app/mainwindow.h"
#include "panels/protocol.h"
#include "serial/comport.h"
#include "support/tempworkdir.h"

#include <QComboBox>
#include <QGridLayout>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include <optional>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(dir.emplace().isValid()); }
    void cleanup() { dir.reset(); }

    void startUp_data()
    {
        QTest::addColumn<QVariant>("protocol");
        QTest::addColumn<QVariant>("period");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("seconds");
        QTest::newRow("first start") << QVariant() << QVariant() << 0 << 1;
        QTest::newRow("known") << QVariant(QStringLiteral("MODBUS RTU")) << QVariant(7) << 3 << 7;
        QTest::newRow("too long") << QVariant(QStringLiteral("Тервал ASCII")) << QVariant(250) << 2
                                  << 99;
        QTest::newRow("unknown protocol, beyond int")
            << QVariant(QStringLiteral("Veltaro-MD (объём)")) << QVariant(4000000000u) << 0 << 99;
        QTest::newRow("not a number") << QVariant() << QVariant(QStringLiteral("fast")) << 0 << 1;
        QTest::newRow("negative") << QVariant() << QVariant(-5) << 0 << 1;
    }

    // Stored protocol and period come back within their ranges, are stored again as shown
    // and set the timer; the port side starts closed at 19200.
    void startUp()
    {
        QFETCH(QVariant, protocol);
        QFETCH(QVariant, period);
        QFETCH(int, index);
        QFETCH(int, seconds);
        if (protocol.isValid())
            TempWorkDir::setSetting(QStringLiteral("Protocol/Protocol"), protocol);
        if (period.isValid())
            TempWorkDir::setSetting(QStringLiteral("Protocol/Period"), period);
        MainWindow window;
        Protocol *panel = window.protocolPanel();
        QCOMPARE(panel->currentProtocol(), index);
        QCOMPARE(panel->period(), seconds);
        QCOMPARE(TempWorkDir::setting(QStringLiteral("Protocol/Protocol")).toString(),
            panel->findChild<QComboBox *>(QStringLiteral("cbProtocol"))->currentText());
        QCOMPARE(TempWorkDir::setting(QStringLiteral("Protocol/Period")).toInt(), seconds);
        QCOMPARE(window.timer(), window.findChild<QTimer *>(QStringLiteral("pollTimer")));
        QVERIFY(window.timer()->isActive());
        QCOMPARE(window.timer()->interval(), seconds * 1000);
        QCOMPARE(panel->findChild<QPushButton *>(QStringLiteral("pbStart"))->text(),
            QStringLiteral("Start"));
        QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("cbSpeed"))->currentText(),
            QStringLiteral("19200"));
        QVERIFY(!window.comPort()->isOpen());

        panel->findChild<QSpinBox *>(QStringLiteral("sbPeriod"))->setValue(3);
        QCOMPARE(window.timer()->interval(), 3000);
        QCOMPARE(TempWorkDir::setting(QStringLiteral("Protocol/Period")).toInt(), 3);
    }

    void layout()
    {
        MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Тарикон (revision: 592)"));
        auto *outer = window.findChild<QGridLayout *>(QStringLiteral("gridLayout_2"));
        auto *grid = window.findChild<QGridLayout *>(QStringLiteral("gridLayout"));
        QCOMPARE(outer->itemAtPosition(0, 0)->layout(), grid);
        QCOMPARE(grid->itemAtPosition(0, 1)->widget(), window.comPort());
        QCOMPARE(grid->itemAtPosition(0, 2)->widget(), window.protocolPanel());
        for (int row = 0; row < grid->rowCount(); ++row)
            QVERIFY(!grid->itemAtPosition(row, 0));

        window.resize(1200, 600);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(window.comPort()->geometry().right() < window.protocolPanel()->geometry().left());
    }

private:
    std::optional<TempWorkDir> dir;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
