#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

// A broken property stops the run at once with the line that found it, so that the fuzzer
// keeps the input; the same check aborts a replay under the normal build.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);     \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

// Diagnostics of the code under test ("nomK" and the like) would flood the run and slow it
// down; warnings and worse still reach stderr.
inline void quietQtDebug()
{
    static const bool installed = [] {
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &, const QString &text) {
            if (type != QtDebugMsg && type != QtInfoMsg)
                std::fprintf(stderr, "%s\n", qPrintable(text));
        });
        return true;
    }();
    Q_UNUSED(installed)
}

// Reads the input front to back; whatever runs out reads as zero bytes, so every input, even
// an empty one, is a complete case.
class FuzzInput
{
public:
    FuzzInput(const quint8 *data, size_t size)
        : m_data(data)
        , m_size(size)
    { }

    bool atEnd() const { return m_pos >= m_size; }
    size_t left() const { return m_size - m_pos; }

    quint8 byte() { return atEnd() ? 0 : m_data[m_pos++]; }

    // The next `count` bytes (fewer at the end) as raw data.
    QByteArray bytes(size_t count)
    {
        count = qMin(count, left());
        const QByteArray chunk(reinterpret_cast<const char *>(m_data + m_pos), int(count));
        m_pos += count;
        return chunk;
    }

    // A chunk of the stream: a length byte, then that many bytes.
    QByteArray chunk() { return bytes(byte()); }

private:
    const quint8 *m_data;
    size_t m_size;
    size_t m_pos = 0;
};
