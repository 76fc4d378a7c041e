// A stand-alone simulated profile instrument for trying the program by hand
// or from a script: it opens a pseudo-terminal, prints its path on the first
// line of standard output and answers the instrument's commands until it is
// terminated. Two helper modes serve the scripted walk:
//   siminstrument --write-profile <path>   writes a native PROFILE trace file
//   siminstrument --count <path>           prints the points of a trace file
//                                          as the program reads it back
#include "support/simulatedinstrument.h"
#include "support/tracefiles.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int g_signalFds[2] = { -1, -1 };

void onTerminate(int)
{
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_signalFds[0], &byte, 1);
}

// SIGTERM ends the event loop, so the pseudo-terminal is closed cleanly.
void quitOnTerminate(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalFds) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_signalFds[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGTERM, onTerminate);
    std::signal(SIGINT, onTerminate);
}

int writeProfile(const QString &path)
{
    std::unique_ptr<ProfileTrace> trace(sineProfile(1.0, 4000, 800, 1));
    return TraceWriter::saveTraceFile(path, *trace) ? 0 : 1;
}

int countPoints(const QString &path)
{
    auto trace = readTraceFile<ProfileTrace>(path);
    QTextStream(stdout) << trace->rawData->at(0).size() << '\n';
    return trace->rawData->at(0).isEmpty() ? 1 : 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--write-profile"))
        return writeProfile(args[2]);
    if (args.size() == 3 && args[1] == QLatin1String("--count"))
        return countPoints(args[2]);

    quitOnTerminate(app);
    SimulatedInstrument instrument(SimulatedInstrument::Profile);
    QTextStream(stdout) << instrument.slavePath() << Qt::endl;
    return app.exec();
}
