#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair for tests: the program under test opens slavePath() as its
// serial port, the test plays the sensor on the master side.
class PseudoTerminal
{
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Writes all bytes to the master side; returns false on error.
    bool write(const QByteArray &bytes);
    // Reads what is available on the master side, waiting at most timeoutMs for the first byte.
    QByteArray read(int timeoutMs = 0);
    // Reads until exactly count bytes arrived or timeoutMs elapsed.
    QByteArray readExactly(int count, int timeoutMs = 2000);
    // Closes the master side; the slave then sees hang-up / read errors.
    void closeMaster();

private:
    int m_master = -1;
    int m_slaveKeeper = -1; // keeps the slave open so the master never sees EIO between opens
    QString m_slavePath;
};
