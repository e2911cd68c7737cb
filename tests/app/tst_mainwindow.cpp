#include "app/mainwindow.h"
#include "panels/protocol.h"
#include "serial/comport.h"
#include "support/pseudoterminal.h"

#include <QComboBox>
#include <QGridLayout>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

    static QVariant setting(const QString &key, const QVariant &value = QVariant())
    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        if (value.isValid())
            settings.setValue(key, value);
        return settings.value(key);
    }

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        QDir::setCurrent(m_dir->path());
    }

    void firstStart()
    {
        MainWindow window;
        Protocol *protocol = window.protocolPanel();
        QCOMPARE(protocol->currentProtocol(), 0);
        QCOMPARE(protocol->findChild<QSpinBox *>(QStringLiteral("sbPeriod"))->value(), 1);
        QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("cbSpeed"))->currentText(),
            QStringLiteral("19200"));
        QVERIFY(!window.comPort()->isOpen());
        QCOMPARE(setting(QStringLiteral("Protocol/Protocol")).toString(),
            QStringLiteral("Veltaro-MD (уровень)"));
        QCOMPARE(setting(QStringLiteral("Protocol/Period")).toInt(), 1);
        QVERIFY(!setting(QStringLiteral("Port/CurentSpeed")).isValid());
        QCOMPARE(window.timer(), window.findChild<QTimer *>(QStringLiteral("pollTimer")));
        QVERIFY(window.timer()->isActive() && !window.timer()->isSingleShot());
        QCOMPARE(window.timer()->interval(), 1000);

        QCOMPARE(protocol->findChild<QPushButton *>(QStringLiteral("pbStart"))->text(),
            QStringLiteral("Start"));
    }

    void storedProtocolAndPeriod_data()
    {
        QTest::addColumn<QVariant>("protocol");
        QTest::addColumn<QVariant>("period");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("seconds");
        QTest::newRow("known") << QVariant(QStringLiteral("MODBUS RTU")) << QVariant(7) << 3 << 7;
        QTest::newRow("too long") << QVariant(QStringLiteral("Тервал ASCII")) << QVariant(250) << 2
                                  << 99;
        QTest::newRow("unknown protocol, beyond int")
            << QVariant(QStringLiteral("Veltaro-MD (объём)")) << QVariant(4000000000u) << 0 << 99;
        QTest::newRow("not a number") << QVariant() << QVariant(QStringLiteral("fast")) << 0 << 1;
        QTest::newRow("negative") << QVariant() << QVariant(-5) << 0 << 1;
    }

    void storedProtocolAndPeriod()
    {
        QFETCH(QVariant, protocol);
        QFETCH(QVariant, period);
        QFETCH(int, index);
        QFETCH(int, seconds);
        setting(QStringLiteral("Protocol/Protocol"), protocol);
        setting(QStringLiteral("Protocol/Period"), period);
        MainWindow window;
        QCOMPARE(window.protocolPanel()->currentProtocol(), index);
        QCOMPARE(window.protocolPanel()->period(), seconds);
        QCOMPARE(setting(QStringLiteral("Protocol/Period")).toInt(), seconds);
        QCOMPARE(window.timer()->interval(), seconds * 1000);

        window.findChild<QSpinBox *>(QStringLiteral("sbPeriod"))->setValue(3);
        QCOMPARE(window.timer()->interval(), 3000);
        QCOMPARE(setting(QStringLiteral("Protocol/Period")).toInt(), 3);
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

    void portTraffic()
    {
        MainWindow window;
        auto *ports = window.findChild<QComboBox *>(QStringLiteral("cbPort"));
        auto *open = window.findChild<QPushButton *>(QStringLiteral("pbOpen"));
        ports->setEditText(QStringLiteral("/dev/tarikon-no-such-port"));
        QTest::mouseClick(open, Qt::LeftButton);
        QVERIFY(window.statusBar()->currentMessage().contains(
            QStringLiteral("/dev/tarikon-no-such-port")));

        PseudoTerminal pty;
        ports->setEditText(pty.slavePath());
        QTest::mouseClick(open, Qt::LeftButton);
        QVERIFY(window.comPort()->isOpen());

        // Everything that arrives between ticks is kept, in order, for the next tick.
        QVERIFY(pty.write("AB"));
        QTRY_COMPARE(window.receivedBytes(), QByteArray("AB"));
        QVERIFY(pty.write("CD"));
        QTRY_COMPARE(window.receivedBytes(), QByteArray("ABCD"));

        window.sendPort(QByteArray());
        window.sendPort(QByteArray("\x31\x00\x06", 3));
        QByteArray sent;
        QTRY_COMPARE(sent += pty.read(), QByteArray("\x31\x00\x06", 3));
    }

private:
    QScopedPointer<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
