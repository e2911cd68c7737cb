#include "protocol/crc.h"

#include <QtTest>

class TestCrc : public QObject
{
    Q_OBJECT

private slots:
    void publishedCheckValues()
    {
        const QByteArray digits("123456789");
        QCOMPARE(crc8(digits), quint8(0xA1));
        QCOMPARE(crc16(digits), quint16(0x4B37));
    }

    // A frame followed by its own CRC-8 checks to zero, which the decoder relies on when two
    // answers run together.
    void emptyAndSelfCheck()
    {
        QCOMPARE(crc8(QByteArray()), quint8(0));
        QCOMPARE(crc16(QByteArray()), quint16(0xFFFF));
        QByteArray frame = QByteArray::fromHex("37010a00");
        frame.append(char(crc8(frame)));
        QCOMPARE(crc8(frame), quint8(0));
    }
};

QTEST_APPLESS_MAIN(TestCrc)
#include "tst_crc.moc"
