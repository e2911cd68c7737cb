// The bench's MODBUS RTU poll against libmodbus, a MODBUS implementation written by others: a
// libmodbus slave on a pseudo-terminal must take the bench's request as well formed (framing,
// register block, CRC) and its genuine reply must decode to the temperature and level it holds.

#include "protocol/request.h"
#include "support/pseudoterminal.h"

#include <QtTest>

#include <modbus.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <mutex>
#include <poll.h>
#include <thread>

namespace {

constexpr int kSlaveAddress = 17;
constexpr uchar kModbusRtu = 3;
constexpr int kAnswerLength = 13; // address, function, byte count, four registers, CRC
constexpr int kAnswerTimeoutMs = 3000;

// A libmodbus RTU slave with holding registers 0..3 on a serial device, served from its own
// thread. A libmodbus slave goes deaf for a while after a request for another address, so it
// stands for one sensor only.
class LibmodbusSlave
{
public:
    LibmodbusSlave(const QString &device, int address)
        : m_ctx(modbus_new_rtu(device.toLocal8Bit().constData(), 19200, 'N', 8, 1))
        , m_map(modbus_mapping_new(0, 0, 4, 0))
    {
        if (!m_ctx || !m_map || modbus_set_slave(m_ctx, address) != 0
            || modbus_connect(m_ctx) != 0) {
            m_error = QString::fromLocal8Bit(modbus_strerror(errno));
            return;
        }
        m_connected = true;
        m_thread = std::thread([this] { serve(); });
    }

    ~LibmodbusSlave()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_connected)
            modbus_close(m_ctx);
        if (m_map)
            modbus_mapping_free(m_map);
        if (m_ctx)
            modbus_free(m_ctx);
    }

    LibmodbusSlave(const LibmodbusSlave &) = delete;
    LibmodbusSlave &operator=(const LibmodbusSlave &) = delete;

    bool isValid() const { return m_connected; }

    // The sensor's registers: temperature as a signed byte in the low half of register 0,
    // level, frequency, and a register that always holds 0.
    void hold(qint8 temp, quint16 level, quint16 freq)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_map->tab_registers[0] = static_cast<quint8>(temp);
        m_map->tab_registers[1] = level;
        m_map->tab_registers[2] = freq;
        m_map->tab_registers[3] = 0;
    }

    // What libmodbus reported on the requests it refused, for failure messages.
    QString errors() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return m_error.isEmpty() ? QStringLiteral("none") : m_error;
    }

private:
    void serve()
    {
        const int fd = modbus_get_socket(m_ctx);
        quint8 query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!m_stop) {
            pollfd p {fd, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0)
                continue;
            if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
                break;
            const int length = modbus_receive(m_ctx, query);
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (length > 0)
                modbus_reply(m_ctx, query, length, m_map);
            else if (length < 0)
                m_error += QString::fromLocal8Bit(modbus_strerror(errno)) + QLatin1Char(';');
        }
    }

    modbus_t *m_ctx = nullptr;
    modbus_mapping_t *m_map = nullptr;
    bool m_connected = false;
    std::atomic<bool> m_stop {false};
    mutable std::mutex m_mutex;
    QString m_error;
    std::thread m_thread;
};

} // namespace

class TestModbusSlave : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_line.isValid());
        m_slave = std::make_unique<LibmodbusSlave>(m_line.slavePath(), kSlaveAddress);
        QVERIFY2(m_slave->isValid(), qPrintable(m_slave->errors()));
    }

    void cleanupTestCase() { m_slave.reset(); }

    void readingFromLibmodbus_data()
    {
        QTest::addColumn<int>("temp");
        QTest::addColumn<int>("level");
        QTest::addColumn<int>("freq");

        QTest::newRow("room temperature") << 25 << 3200 << 6699;
        QTest::newRow("below zero") << -20 << 28798 << 21796;
        QTest::newRow("level above 32767") << 80 << 40000 << 18000;
        QTest::newRow("coldest, full scale") << -128 << 65535 << 65535;
        QTest::newRow("hottest, empty") << 127 << 0 << 0;
    }

    // The bench's own frame goes to the slave; the slave's reply goes to the bench's decoder.
    void readingFromLibmodbus()
    {
        QFETCH(int, temp);
        QFETCH(int, level);
        QFETCH(int, freq);
        m_slave->hold(
            static_cast<qint8>(temp), static_cast<quint16>(level), static_cast<quint16>(freq));

        float k[6] = {};
        Request request(nullptr, k, 2);
        request.setProtocol(kModbusRtu);
        request.setStarted(true);
        request.setNomPort(kSlaveAddress + 1); // the address list's entry for address 17

        QVERIFY(m_line.write(request.getRequest(kSlaveAddress)));
        QByteArray answer = m_line.readExactly(kAnswerLength, kAnswerTimeoutMs);
        QVERIFY2(answer.size() == kAnswerLength,
            qPrintable(QStringLiteral("reply %1, libmodbus errors: %2")
                           .arg(QString::fromLatin1(answer.toHex()), m_slave->errors())));
        QVERIFY(m_line.read(50).isEmpty()); // one request, one reply

        const DutInfo info = request.checkAnswer(&answer);
        QVERIFY(info.valid);
        QCOMPARE(int(info.nomDut), 2);
        QCOMPARE(int(info.temp), temp);
        QCOMPARE(int(info.level), level);
        QCOMPARE(int(info.freq), 0);
        QCOMPARE(int(info.period), 0);
    }

private:
    PseudoTerminal m_line; // outlives the slave, so its thread never sees the line hang up
    std::unique_ptr<LibmodbusSlave> m_slave;
};

QTEST_GUILESS_MAIN(TestModbusSlave)

#include "tst_modbusslave.moc"
