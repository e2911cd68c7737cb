#include "sensors/coefficientfile.h"
#include "support/filesizelimit.h"
#include "support/tempworkdir.h"

#include <QDir>
#include <QtTest>

class TestCoefficientFile : public QObject
{
    Q_OBJECT

private slots:
    void readsForeignAndDamagedFiles();
    void failedSaveKeepsTheOldFile();

private:
    QString path(const QString &name) const { return dir.filePath(name); }
    TempWorkDir dir;
};

void TestCoefficientFile::readsForeignAndDamagedFiles()
{
    QStringList read;

    // A NUL ends the text of its line; the next line is read as usual. Lines after the
    // sixth do not count.
    QVERIFY(TempWorkDir::put(path("nul.k"), QByteArray("1.5\0garbage\r\n2\n3\n4\n5\n6\n7\n", 27)));
    QVERIFY(CoefficientFile::read(path("nul.k"), &read));
    QCOMPARE(read, (QStringList {"1.5", "2", "3", "4", "5", "6"}));

    // A huge line (say, a binary file opened by mistake) is cut, and the lines after it are
    // still found where they are.
    QByteArray huge(3 * 1024 * 1024, 'x');
    huge += "\r\n0.25\r\n";
    QVERIFY(TempWorkDir::put(path("huge.k"), huge));
    QVERIFY(CoefficientFile::read(path("huge.k"), &read));
    QCOMPARE(read.at(0).size(), CoefficientFile::maxLineBytes);
    QCOMPARE(read.at(1), QStringLiteral("0.25"));
    QCOMPARE(read.at(2), QString());

    // A device that never ends is refused rather than read forever.
    QVERIFY(!CoefficientFile::read(QStringLiteral("/dev/zero"), &read));
}

void TestCoefficientFile::failedSaveKeepsTheOldFile()
{
    const QByteArray good("1\r\n0.001\r\n0\r\n0\r\n0\r\n0\r\n");
    QVERIFY(TempWorkDir::put(path("sensor.k"), good));

    QString error;
    bool saved = true;
    {
        // The disk fills up after 8 bytes of the new file.
        const FileSizeLimit limit(8);
        saved = CoefficientFile::write(
            path("sensor.k"), QStringList {"123.456", "1", "2", "3", "4", "5"}, &error);
    }
    QVERIFY(!saved);
    QVERIFY(!error.isEmpty());
    QCOMPARE(TempWorkDir::contents(path("sensor.k")), good);
    // No half-written temporary file is left behind either.
    QCOMPARE(QDir(dir.path()).entryList({"sensor.k*"}, QDir::Files), QStringList {"sensor.k"});
}

QTEST_APPLESS_MAIN(TestCoefficientFile)
#include "tst_coefficientfile.moc"
