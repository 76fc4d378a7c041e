// A stand-alone simulated profile instrument for trying the program by hand
// or from a script: it opens a pseudo-terminal, prints its path on the first
// line of standard output and answers the instrument's commands until it is
// terminated. Every command it receives follows on a line of its own, so a
// script can tell what reached the instrument. Two helper modes serve the scripted walk:
//   siminstrument --write-profile <path>   writes a native PROFILE trace file
//   siminstrument --count <path>           prints the points of a trace file
//                                          as the program reads it back
// With --cut-first-trace the first trace stops after its live samples and the
// line drops 1.5 s later, as a pulled cable; 1.5 s after that a new line is
// plugged in (its path printed as a further line) and traces come whole.
// Options for trying acquisitions by hand:
//   --contour              answers as a contour instrument
//   --rate <bytes/s>       paces the line, so a trace takes time to measure
//   --live <n>             a profile trace's live samples (default 5)
//   --silent-after-stop    the first stop hangs the instrument: it sends
//                          nothing for 8 s, then answers again
#include "support/simulatedinstrument.h"
#include "support/tracefiles.h"
#include "terminatesignal.h"

#include <QCoreApplication>
#include <QTextStream>
#include <QTimer>
#include <memory>

namespace {

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

    // SIGTERM ends the event loop, so the pseudo-terminal is closed cleanly.
    onTerminateSignal(app, [] { QCoreApplication::quit(); });
    SimulatedInstrument instrument(
        args.contains(QLatin1String("--contour")) ? SimulatedInstrument::Contour : SimulatedInstrument::Profile);
    const auto value = [&args](const char *option, int otherwise) {
        const int at = args.indexOf(QLatin1String(option));
        return at > 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : otherwise;
    };
    instrument.setLineRate(value("--rate", 0));
    if (args.contains(QLatin1String("--live"))) {
        InstrumentReplies::ProfileRun run = instrument.profileRun();
        run.live.clear();
        for (int i = 0, n = value("--live", 5); i < n; ++i)
            run.live.append(quint16(30000 + 40 * (i % 9)));
        instrument.setProfileRun(run);
    }
    if (args.contains(QLatin1String("--silent-after-stop"))) {
        instrument.setSilentAfterStop(true);
        QObject::connect(&instrument, &SimulatedInstrument::commandReceived, &app, [&instrument] {
            static bool woken = false;
            if (!instrument.isSilent() || woken)
                return;
            woken = true;
            QTimer::singleShot(8000, &instrument, [&instrument] { instrument.setSilent(false); });
        });
    }
    QTextStream out(stdout);
    out << instrument.slavePath() << Qt::endl;
    QObject::connect(&instrument, &SimulatedInstrument::commandReceived,
        [&out](const QByteArray &command) { out << QString::fromLatin1(command) << Qt::endl; });
    if (args.contains(QLatin1String("--cut-first-trace"))) {
        const InstrumentReplies::ProfileRun whole = instrument.profileRun();
        InstrumentReplies::ProfileRun cut = whole;
        cut.stopsBeforeBlock = true;
        instrument.setProfileRun(cut);
        auto cutDone = std::make_shared<bool>(false);
        QObject::connect(&instrument, &SimulatedInstrument::commandReceived, &app,
            [&instrument, &out, whole, cutDone](const QByteArray &command) {
                if (command != "CS" || *cutDone)
                    return;
                *cutDone = true;
                QTimer::singleShot(1500, &instrument, [&instrument, &out, whole] {
                    instrument.pullCable();
                    QTimer::singleShot(1500, &instrument, [&instrument, &out, whole] {
                        instrument.setProfileRun(whole);
                        instrument.plugIn();
                        out << instrument.slavePath() << Qt::endl;
                    });
                });
            });
    }
    return app.exec();
}
