#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair in raw mode. The slave end stands for the
// instrument's serial port (the transport opens its path); the test side
// reads and writes the master end without blocking. Closing the pair hangs
// up the slave end, as pulling the cable would.
class PseudoTerminal {
public:
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    bool isOpen() const { return m_master >= 0; }
    int masterFd() const { return m_master; }
    QString slavePath() const { return m_slavePath; }

    // Everything the other side has written so far (empty when nothing waits).
    QByteArray readAvailable();
    // Writes what the line takes now; returns the number of bytes taken
    // (0 when the line is full), -1 on a closed pair.
    qint64 write(const char *data, qint64 size);
    void close();

private:
    int m_master = -1;
    int m_slave = -1; // kept open so the master never reads a hang-up before the port opens
    QString m_slavePath;
};
