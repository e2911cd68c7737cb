#include "serial/serialerror.h"
#include "settings/safefile.h"
#include "support/pseudoterminal.h"
#include "support/tempworkdir.h"

#include <QRegularExpression>
#include <QSerialPort>
#include <QtTest>

namespace {

// Why a port could not be opened, as the operator reads it.
QString openFailure(const QString &path)
{
    QSerialPort port(path);
    if (port.open(QIODevice::ReadWrite))
        return QString();
    return SerialError::text(port.error(), port.errorString());
}

bool hasLatin(const QString &text)
{
    return text.contains(QRegularExpression(QStringLiteral("[A-Za-z]")));
}

} // namespace

class TestFailureReasons : public QObject
{
    Q_OBJECT

private slots:
    // Real failures of the system, each with a reason of its own and none in English: a port
    // another program holds, a device that is gone, a device that is no serial port, a file in
    // a folder that does not exist.
    void reasonsInRussian()
    {
        TempWorkDir dir;
        PseudoTerminal pty;
        QSerialPort holder(pty.slavePath());
        QVERIFY(holder.open(QIODevice::ReadWrite));

        QString fileReason;
        QVERIFY(!SafeFile::write(dir.filePath("нет/файл.k"), "1", &fileReason));
        const QStringList reasons = {openFailure(pty.slavePath()),
            openFailure(dir.filePath("ttyGONE")), openFailure("/dev/null"), fileReason};
        for (const QString &reason : reasons)
            QVERIFY2(!reason.isEmpty() && !hasLatin(reason), qPrintable(reason));
        QCOMPARE(QSet<QString>(reasons.cbegin(), reasons.cend()).size(), reasons.size());
    }
};

QTEST_GUILESS_MAIN(TestFailureReasons)
#include "tst_failurereasons.moc"
