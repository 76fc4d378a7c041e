#include "terminatesignal.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalFds[2] = { -1, -1 };

// Only async-signal-safe work here: one byte to wake the event loop.
void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalFds[0], &byte, 1);
}

} // namespace

void onTerminateSignal(QCoreApplication &app, std::function<void()> action)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [action = std::move(action)] {
        char byte;
        [[maybe_unused]] ssize_t n = ::read(g_signalFds[1], &byte, 1);
        action();
    });
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
}
