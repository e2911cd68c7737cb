#include "panels/protocol.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

class TestProtocol : public QObject
{
    Q_OBJECT

    static void store(const QString &key, const QVariant &value)
    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Protocol/") + key, value);
    }

    static QVariant stored(const QString &key)
    {
        QSettings settings(QStringLiteral("settings.ini"), QSettings::IniFormat);
        return settings.value(QStringLiteral("Protocol/") + key);
    }

private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        QDir::setCurrent(m_dir->path());
    }

    void storedValuesAreBounded_data()
    {
        QTest::addColumn<QVariant>("protocol");
        QTest::addColumn<QVariant>("period");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("seconds");
        QTest::newRow("known") << QVariant(QStringLiteral("MODBUS RTU")) << QVariant(7) << 3 << 7;
        QTest::newRow("too long") << QVariant(QStringLiteral("Тервал ASCII")) << QVariant(250) << 2
                                  << 99;
        QTest::newRow("beyond int")
            << QVariant(QStringLiteral("x")) << QVariant(4000000000u) << 0 << 99;
        QTest::newRow("garbage") << QVariant(QStringLiteral("Veltaro-MD"))
                                 << QVariant(QStringLiteral("fast")) << 0 << 1;
        QTest::newRow("negative") << QVariant() << QVariant(-5) << 0 << 1;
    }

    void storedValuesAreBounded()
    {
        QFETCH(QVariant, protocol);
        QFETCH(QVariant, period);
        QFETCH(int, index);
        QFETCH(int, seconds);
        if (protocol.isValid())
            store(QStringLiteral("Protocol"), protocol);
        store(QStringLiteral("Period"), period);
        Protocol panel;
        QCOMPARE(panel.currentProtocol(), index);
        QCOMPARE(panel.period(), seconds);
        QCOMPARE(panel.findChild<QSpinBox *>(QStringLiteral("sbPeriod"))->value(), seconds);
    }

    void controls()
    {
        Protocol panel;
        QSignalSpy started(&panel, &Protocol::changeStart);
        QSignalSpy protocol(&panel, &Protocol::changeProtocol);
        QSignalSpy period(&panel, &Protocol::changePeriod);
        QSignalSpy cleared(&panel, &Protocol::sigClear);
        auto *start = panel.findChild<QPushButton *>(QStringLiteral("pbStart"));
        QCOMPARE(start->text(), QStringLiteral("Start"));
        QVERIFY(!panel.isStarted());

        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(panel.isStarted());
        QCOMPARE(start->text(), QStringLiteral("Stop"));
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(!panel.isStarted());
        QCOMPARE(started.count(), 2);
        QCOMPARE(started.at(0).at(0).toBool(), true);
        QCOMPARE(started.at(1).at(0).toBool(), false);

        // A change is stored before it is announced, as the list's text, not its index.
        connect(&panel, &Protocol::changeProtocol, this, [&](quint8 nom) {
            QCOMPARE(nom, quint8(4));
            QCOMPARE(stored(QStringLiteral("Protocol")).toString(),
                QStringLiteral("Veltaro-MD (объем)"));
        });
        panel.findChild<QComboBox *>(QStringLiteral("cbProtocol"))->setCurrentIndex(4);
        QCOMPARE(protocol.count(), 1);
        panel.findChild<QSpinBox *>(QStringLiteral("sbPeriod"))->setValue(12);
        QCOMPARE(period.count(), 1);
        QCOMPARE(period.at(0).at(0).toInt(), 12);
        QCOMPARE(stored(QStringLiteral("Period")).toInt(), 12);

        // Clearing empties the file name even when nothing was opened.
        auto *fileName = panel.findChild<QLineEdit *>(QStringLiteral("leFileName"));
        QTest::mouseClick(
            panel.findChild<QPushButton *>(QStringLiteral("pbClearAll")), Qt::LeftButton);
        QCOMPARE(cleared.count(), 1);
        panel.setFileName(QStringLiteral("/tmp/set.6fls"));
        QCOMPARE(fileName->text(), QStringLiteral("/tmp/set.6fls"));
        QTest::mouseClick(
            panel.findChild<QPushButton *>(QStringLiteral("pbClearAll")), Qt::LeftButton);
        QVERIFY(fileName->text().isEmpty());
        QCOMPARE(cleared.count(), 2);
    }

private:
    QScopedPointer<QTemporaryDir> m_dir;
};

QTEST_MAIN(TestProtocol)
#include "tst_protocol.moc"
