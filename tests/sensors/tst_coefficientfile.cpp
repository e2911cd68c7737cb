#include "sensors/coefficientfile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool put(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Lets writes to any file grow to at most `bytes` while alive: the next write past it fails
// with EFBIG, as on a full disk.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &saved);
        previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
    }
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

private:
    rlimit saved {};
    void (*previousHandler)(int) = nullptr;
};

// The same text on all six lines.
QStringList six(const QString &text)
{
    return QStringList() << text << text << text << text << text << text;
}

} // namespace

class TestCoefficientFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void writesSixCrLfLines();
    void readsBackWhatWasWritten();
    void readsForeignAndDamagedFiles();
    void failedSaveKeepsTheOldFile();

private:
    QString path(const QString &name) const { return dir->filePath(name); }
    std::unique_ptr<QTemporaryDir> dir;
};

void TestCoefficientFile::init()
{
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TestCoefficientFile::writesSixCrLfLines()
{
    QVERIFY(CoefficientFile::write(path("zero.k"), six(QStringLiteral("0"))));
    QCOMPARE(contents(path("zero.k")), QByteArray("0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"));

    QVERIFY(CoefficientFile::write(path("fit.k"), {"1", "0.001", "0", "0", "0", "0"}));
    QCOMPARE(contents(path("fit.k")), QByteArray("1\r\n0.001\r\n0\r\n0\r\n0\r\n0\r\n"));
    QCOMPARE(contents(path("fit.k")).size(), 22);

    // Texts go out as typed, in UTF-8; a short list still makes six lines.
    QVERIFY(CoefficientFile::write(path("text.k"), {QStringLiteral("ноль"), QString(), "-1e-05"}));
    QCOMPARE(contents(path("text.k")),
        QByteArray("\xd0\xbd\xd0\xbe\xd0\xbb\xd1\x8c\r\n\r\n-1e-05\r\n\r\n\r\n\r\n"));

    // Saving over an existing file replaces it as a whole.
    QVERIFY(CoefficientFile::write(path("fit.k"), six(QStringLiteral("2"))));
    QCOMPARE(contents(path("fit.k")), QByteArray("2\r\n2\r\n2\r\n2\r\n2\r\n2\r\n"));
}

void TestCoefficientFile::readsBackWhatWasWritten()
{
    const QStringList texts {"0.98", "0.001", "-3.5e-07", "abc", QStringLiteral("ёж"), ""};
    QVERIFY(CoefficientFile::write(path("a.k"), texts));
    QStringList read;
    QVERIFY(CoefficientFile::read(path("a.k"), &read));
    QCOMPARE(read, texts);
    QVERIFY(CoefficientFile::write(path("b.k"), read));
    QCOMPARE(contents(path("b.k")), contents(path("a.k")));

    // The same file with bare LF line ends reads the same.
    QByteArray lfOnly = contents(path("a.k"));
    lfOnly.replace("\r\n", "\n");
    QVERIFY(put(path("lf.k"), lfOnly));
    QVERIFY(CoefficientFile::read(path("lf.k"), &read));
    QCOMPARE(read, texts);

    // Three lines: the other three come back empty. Lines after the sixth do not count.
    QVERIFY(put(path("three.k"), "1\r\n2\r\n3"));
    QVERIFY(CoefficientFile::read(path("three.k"), &read));
    QCOMPARE(read, (QStringList {"1", "2", "3", "", "", ""}));
    QVERIFY(put(path("eight.k"), "1\n2\n3\n4\n5\n6\n7\n8\n"));
    QVERIFY(CoefficientFile::read(path("eight.k"), &read));
    QCOMPARE(read, (QStringList {"1", "2", "3", "4", "5", "6"}));
    QVERIFY(put(path("empty.k"), ""));
    QVERIFY(CoefficientFile::read(path("empty.k"), &read));
    QCOMPARE(read, six(QString()));
}

void TestCoefficientFile::readsForeignAndDamagedFiles()
{
    QStringList read;

    // A NUL ends the text of its line; the next line is read as usual.
    QVERIFY(put(path("nul.k"), QByteArray("1.5\0garbage\r\n2\r\n", 17)));
    QVERIFY(CoefficientFile::read(path("nul.k"), &read));
    QCOMPARE(read.mid(0, 2), (QStringList {"1.5", "2"}));

    // A huge line (say, a binary file opened by mistake) is cut, and the lines after it are
    // still found where they are.
    QByteArray huge(3 * 1024 * 1024, 'x');
    huge += "\r\n0.25\r\n";
    QVERIFY(put(path("huge.k"), huge));
    QVERIFY(CoefficientFile::read(path("huge.k"), &read));
    QCOMPARE(read.at(0).size(), CoefficientFile::maxLineBytes);
    QCOMPARE(read.at(1), QStringLiteral("0.25"));
    QCOMPARE(read.at(2), QString());

    // Nothing to open: the list is left alone and the reason given.
    read = QStringList {"keep"};
    QString error;
    QVERIFY(!CoefficientFile::read(path("missing.k"), &read, &error));
    QCOMPARE(read, QStringList {"keep"});
    QVERIFY(!error.isEmpty());
}

void TestCoefficientFile::failedSaveKeepsTheOldFile()
{
    const QByteArray good("1\r\n0.001\r\n0\r\n0\r\n0\r\n0\r\n");
    QVERIFY(put(path("sensor.k"), good));

    QString error;
    bool saved = true;
    {
        // The disk fills up after 8 bytes of the new file.
        const FileSizeLimit limit(8);
        saved = CoefficientFile::write(path("sensor.k"), six(QStringLiteral("123.456")), &error);
    }
    QVERIFY(!saved);
    QVERIFY(!error.isEmpty());
    QCOMPARE(contents(path("sensor.k")), good);
    // No half-written temporary file is left behind either.
    QCOMPARE(QDir(dir->path()).entryList(QDir::Files), QStringList {"sensor.k"});

    // A directory that does not exist.
    QVERIFY(!CoefficientFile::write(path("no/such/dir.k"), six(QStringLiteral("0")), &error));
    QVERIFY(!error.isEmpty());
}

QTEST_APPLESS_MAIN(TestCoefficientFile)
#include "tst_coefficientfile.moc"
