#include "serial/serialerror.h"
#include "settings/safefile.h"
#include "support/pseudoterminal.h"
#include "support/tempworkdir.h"

#include <QRegularExpression>
#include <QSerialPort>
#include <QtTest>

class TestFailureReasons : public QObject
{
    Q_OBJECT

private slots:
    // Real failures, each with a reason of its own and none in English: a port another program
    // holds, a device that is gone, a device that is no serial port, a file in a missing folder.
    void reasonsInRussian()
    {
        TempWorkDir dir;
        PseudoTerminal pty;
        QSerialPort holder(pty.slavePath());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        QStringList reasons {QString()};
        QVERIFY(!SafeFile::write(dir.filePath("нет/файл.k"), "1", &reasons.first()));
        for (const QString &path :
            {pty.slavePath(), dir.filePath("ttyGONE"), QString("/dev/null")}) {
            QSerialPort port(path);
            QVERIFY(!port.open(QIODevice::ReadWrite));
            reasons << SerialError::text(port.error(), port.errorString());
        }
        for (const QString &reason : qAsConst(reasons))
            QVERIFY2(!reason.isEmpty() && !reason.contains(QRegularExpression("[A-Za-z]")),
                qPrintable(reason));
        QCOMPARE(QSet<QString>(reasons.cbegin(), reasons.cend()).size(), reasons.size());
    }
};

QTEST_GUILESS_MAIN(TestFailureReasons)
#include "tst_failurereasons.moc"
