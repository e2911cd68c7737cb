#include "app/mainwindow.h"
#include "settings/settingsfile.h"
#include "support/tempworkdir.h"

#include <QSettings>
#include <QStatusBar>
#include <QtTest>

namespace {

// A list in binary form whose count asks for gigabytes: the settings object used to end the
// program while reading the section that held it.
const QByteArray kHugeList = "@Variant(\\0\\0\\0\\t7f\\0\\2)";

} // namespace

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void removesOnlyBinaryValues_data();
    void removesOnlyBinaryValues();
    void windowStartsOnSpoiledFile();
};

void TestSettingsFile::removesOnlyBinaryValues_data()
{
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<bool>("removed");
    QTest::newRow("binary") << "Bad=" + kHugeList << true;
    QTest::newRow("escaped at") << QByteArray("Bad=\\x40Variant(\\0\\0\\0\\n\\0)") << true;
    QTest::newRow("octal at") << QByteArray("Bad=\\0100DateTime(\\0)") << true;
    QTest::newRow("quoted over two lines") << "Bad=\"x\n" + kHugeList + "\"" << true;
    QTest::newRow("in a list") << "Bad=a, " + kHugeList << true;
    QTest::newRow("plain bytes") << QByteArray("Kept=@ByteArray(raw)") << false;
    QTest::newRow("at inside a path") << QByteArray("Kept=/home/a@b/set.6fls") << false;
    QTest::newRow("comment") << "; Kept=" + kHugeList << false;
}

// Everything else stays byte for byte, and what is left reads without decoding binary data.
void TestSettingsFile::removesOnlyBinaryValues()
{
    QFETCH(QByteArray, entry);
    QFETCH(bool, removed);
    TempWorkDir dir;
    const QString path = dir.filePath(QStringLiteral("settings.ini"));
    const QByteArray before = "[Protocol]\r\nPeriod=5\r\n";
    const QByteArray after = "\r\nProtocol=Veltaro-MD (\\x443\\x440)\r\n[DUT]\nDutAdres0=2\n";
    QVERIFY(TempWorkDir::put(path, before + entry + after));

    QCOMPARE(SettingsFile::removeBinaryValues(path), removed ? 1 : 0);
    QCOMPARE(TempWorkDir::contents(path), before + (removed ? QByteArray() : entry) + after);
    QCOMPARE(SettingsFile::removeBinaryValues(path), 0);
    const QSettings settings(path, QSettings::IniFormat);
    QCOMPARE(settings.value(QStringLiteral("Protocol/Period")).toInt(), 5);
    QCOMPARE(settings.value(QStringLiteral("DUT/DutAdres0")).toInt(), 2);
    QCOMPARE(settings.contains(QStringLiteral("Protocol/Bad")), false);
    QCOMPARE(SettingsFile::removeBinaryValues(dir.filePath(QStringLiteral("none.ini"))), 0);
}

void TestSettingsFile::windowStartsOnSpoiledFile()
{
    TempWorkDir dir;
    QVERIFY(TempWorkDir::put(QStringLiteral("settings.ini"),
        "[Protocol]\nPeriod=7\nProd=" + kHugeList + "\n[DUT]\nDutAdres2=" + kHugeList + "\n"));
    MainWindow window;
    QCOMPARE(window.statusBar()->currentMessage(),
        QStringLiteral("settings.ini: удалено записей с двоичными данными: 2"));
    QCOMPARE(TempWorkDir::setting(QStringLiteral("Protocol/Period")).toInt(), 7);
}

QTEST_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
