// The bench's MODBUS RTU poll against libmodbus, a MODBUS implementation written by others: a
// libmodbus slave on a pseudo-terminal must take the bench's request as well formed (framing,
// register block, CRC) and its genuine reply must decode to the temperature and level it holds.
// A libmodbus slave goes deaf for a while after a request for another address, so it stands
// for one sensor only.

#include "protocol/request.h"
#include "support/pseudoterminal.h"

#include <QtTest>

#include <cerrno>
#include <modbus.h>

namespace {

constexpr int kSlaveAddress = 17;
constexpr uchar kModbusRtu = 3;

} // namespace

class TestModbusSlave : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_line.isValid());
        m_ctx = modbus_new_rtu(qPrintable(m_line.slavePath()), 19200, 'N', 8, 1);
        m_map = modbus_mapping_new(0, 0, 4, 0);
        QVERIFY(m_ctx && m_map);
        // The test writes the request before the slave listens, so it never waits long.
        QVERIFY(modbus_set_indication_timeout(m_ctx, 2, 0) == 0);
        QVERIFY(modbus_set_slave(m_ctx, kSlaveAddress) == 0);
        QVERIFY2(modbus_connect(m_ctx) == 0, modbus_strerror(errno));
    }

    void cleanupTestCase()
    {
        if (m_ctx) {
            modbus_close(m_ctx);
            modbus_free(m_ctx);
        }
        if (m_map)
            modbus_mapping_free(m_map);
    }

    void readingFromLibmodbus_data()
    {
        QTest::addColumn<int>("temp");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("freq");
        QTest::newRow("room temperature") << 25 << 3200 << 6699;
        QTest::newRow("coldest, full scale") << -128 << 65535 << 65535;
        QTest::newRow("hottest, empty") << 127 << 0 << 0;
    }

    // The bench's own frame goes to the slave; the slave's reply goes to the bench's decoder.
    void readingFromLibmodbus()
    {
        QFETCH(int, temp);
        QFETCH(int, level);
        QFETCH(int, freq);
        // The sensor's registers: temperature as a signed byte in the low half of register 0,
        // level, frequency, and a register that always holds 0.
        const quint16 registers[] = {quint8(temp), quint16(level), quint16(freq), 0};
        std::copy(std::begin(registers), std::end(registers), m_map->tab_registers);

        float k[6] = {};
        Request request(nullptr, k, 2);
        request.setProtocol(kModbusRtu);
        request.setStarted(true);
        request.setNomPort(kSlaveAddress + 1); // the address list's entry for address 17
        const QByteArray frame = request.getRequest(kSlaveAddress);
        QVERIFY(!frame.isEmpty() && m_line.write(frame));

        quint8 query[MODBUS_RTU_MAX_ADU_LENGTH];
        const int length = modbus_receive(m_ctx, query);
        QVERIFY2(length > 0, length < 0 ? modbus_strerror(errno) : "request ignored");
        QVERIFY(modbus_reply(m_ctx, query, length, m_map) > 0);
        // Address, function, byte count, four registers, CRC; and nothing more.
        QByteArray answer = m_line.readExactly(13, 3000);
        QCOMPARE(answer.size(), 13);
        QVERIFY(m_line.read(50).isEmpty());

        const DutInfo info = request.checkAnswer(&answer);
        QVERIFY(info.valid);
        QCOMPARE(int(info.nomDut), 2);
        QCOMPARE(int(info.temp), temp);
        QCOMPARE(int(info.level), level);
        QCOMPARE(int(info.freq), 0);
        QCOMPARE(int(info.period), 0);
    }

private:
    PseudoTerminal m_line;
    modbus_t *m_ctx = nullptr;
    modbus_mapping_t *m_map = nullptr;
};

QTEST_GUILESS_MAIN(TestModbusSlave)
#include "tst_modbusslave.moc"
