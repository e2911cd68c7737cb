#pragma once

#include "sensor-sim/sensorrequest.h"

#include <QByteArray>
#include <optional>

// Cuts the byte stream arriving from the bench into requests. The line carries no frame
// delimiter, so a request is recognised by its shape: start byte, command, fixed length and
// checksum. Bytes may arrive split across reads; a prefix that could still become a request
// is kept until more bytes come or the line goes quiet. Bytes that can begin no request are
// discarded one at a time, which resynchronises after noise or a bad checksum.
class RequestFramer
{
public:
    // The longest request on the line (the coefficient write) is 10 bytes; nothing longer is
    // ever waited for, so the buffer stays small whatever arrives.
    static constexpr int maxRequestLength = 10;

    void append(const QByteArray &bytes);

    // Takes the next complete request off the front of the buffer. With lineIdle set, a
    // partial request at the front is no longer waited for but discarded as noise.
    std::optional<SensorRequest> next(bool lineIdle = false);

    int pendingBytes() const { return int(m_buffer.size()) - m_start; }
    quint64 discardedBytes() const { return m_discarded; }

private:
    enum class Match { None, Partial, Complete };

    Match matchText(const char *p, int n) const;
    Match matchLevelFrequency(const char *p, int n, SensorRequest *out) const;
    Match matchSevenFrame(const char *p, int n, SensorRequest *out, int *length) const;
    Match matchModbus(const char *p, int n, SensorRequest *out) const;
    void compact();

    QByteArray m_buffer;
    int m_start = 0;
    quint64 m_discarded = 0;
};
