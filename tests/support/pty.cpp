#include "support/pty.h"

#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PseudoTerminal::PseudoTerminal()
{
    char name[256] = {};
    if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        m_master = m_slave = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    termios tio {};
    for (int fd : { m_master, m_slave }) {
        if (::tcgetattr(fd, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd, TCSANOW, &tio);
        }
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
    ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
}

PseudoTerminal::~PseudoTerminal()
{
    close();
}

QByteArray PseudoTerminal::readAvailable()
{
    QByteArray result;
    if (m_master < 0)
        return result;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(m_master, chunk, sizeof chunk);
        if (n > 0) {
            result.append(chunk, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    return result;
}

qint64 PseudoTerminal::write(const char *data, qint64 size)
{
    if (m_master < 0)
        return -1;
    qint64 total = 0;
    while (total < size) {
        const ssize_t n = ::write(m_master, data + total, size_t(size - total));
        if (n > 0) {
            total += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break; // EAGAIN: the line is full for now
    }
    return total;
}

void PseudoTerminal::close()
{
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
}
