#pragma once

#include "device/portcandidates.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QVector>
#include <functional>
#include <memory>

class PseudoTerminal;
class QSocketNotifier;
class QTimer;

// Installs a list of port candidates as the process-wide source for as long
// as it lives, and counts the searches made through it.
class ScriptedPortCandidates : public PortCandidates {
public:
    explicit ScriptedPortCandidates(std::function<QList<PortCandidate>()> list);
    ~ScriptedPortCandidates() override;

    QList<PortCandidate> availablePorts() const override;
    int searches() const { return m_searches; }

    // A port that reports both identifiers but cannot be opened.
    static PortCandidate missingPort(const QString &name);

private:
    std::function<QList<PortCandidate>()> m_list;
    PortCandidates *m_previous = nullptr;
    mutable int m_searches = 0;
};

// Replies of the instrument, byte for byte.
namespace InstrumentReplies {

// A profile trace as the instrument streams it after "CS": the stream start
// with its divisor, live samples, the end marker, then the sample block
// (count, scale, header, lead-in and samples).
struct ProfileRun {
    quint16 streamDivisor = 8;
    QVector<quint16> live;
    quint16 blockDivisor = 4;
    quint32 blockScale = 1000;
    QVector<quint16> block;
    // The block count that announces the block; -1 gives the count that
    // matches the block's samples.
    qint64 blockCount = -1;
    // The stream stops after the live samples, without its end marker and
    // block: what the computer gets when the cable is pulled mid-trace.
    bool stopsBeforeBlock = false;
};

struct ContourRecord {
    qint32 probe = 0;
    qint32 console = 1000;
    quint32 x = 0;
    quint8 status = 0;
    quint8 alarm = 2;
};

QByteArray identification(const QByteArray &text);
QByteArray consoleHeight(quint16 value);
QByteArray streamStart(quint16 divisor);
QByteArray streamSample(quint16 value);
QByteArray streamEnd();
QByteArray blockCount(quint32 count); // 24 bits
QByteArray sampleBlock(const ProfileRun &run); // count to the last sample
QByteArray profileTrace(const ProfileRun &run);
// "AAA" and 30 little-endian signed 32-bit values.
QByteArray parameters(const QVector<qint32> &values);
QByteArray contourRecord(const ContourRecord &record);

} // namespace InstrumentReplies

// The instrument at the far end of a pseudo-terminal. It answers commands as
// a profile or a contour instrument does, sends scripted replies, can drop
// the line like a pulled cable and plug a new one in, and records every
// command it received, split by the protocol's own command prefixes.
// It lives on the thread that creates it and is driven by its event loop.
class SimulatedInstrument : public QObject {
    Q_OBJECT

public:
    enum Kind { Profile, Contour };

    explicit SimulatedInstrument(Kind kind = Profile, QObject *parent = nullptr);
    ~SimulatedInstrument() override;

    Kind kind() const { return m_kind; }
    void setKind(Kind kind) { m_kind = kind; }

    // The line. The candidate qualifies (vendor and product identifiers)
    // while a line is plugged in.
    bool isConnected() const;
    QString slavePath() const;
    PortCandidate candidate() const;
    void pullCable();
    void plugIn(); // a new pseudo-terminal, with a new path

    // Commands received, oldest first.
    QList<QByteArray> commands() const { return m_commands; }
    void clearCommands() { m_commands.clear(); }
    // Runs the event loop until done() holds, checking it often; false on
    // timeout.
    static bool waitFor(const std::function<bool()> &done, int timeoutMs = 5000);
    // Runs the event loop until at least count commands are recorded.
    bool waitForCommands(int count, int timeoutMs = 5000);
    // Runs the event loop until `marker`, a command the test sent behind
    // others on the same line, has arrived: every command sent before it has
    // arrived too. The marker is taken off the recorded commands again.
    bool waitForMarker(const QByteArray &marker, int timeoutMs = 5000);
    // The argument of the last command with that prefix ("PS", "Pd", "R"...).
    QByteArray lastArgument(const QByteArray &prefix) const { return m_lastArguments.value(prefix); }

    // Replies. With answering off the instrument only records.
    void setAnswering(bool on) { m_answering = on; }
    // A silent instrument (a hung controller) sends nothing at all: what it
    // had still to send is dropped, a running stream stops, and commands are
    // only recorded. With silentAfterStop the first "CC" makes it silent.
    void setSilent(bool on);
    bool isSilent() const { return m_silent; }
    void setSilentAfterStop(bool on) { m_silentAfterStop = on; }
    // Paces the line to this many bytes per second, as a slow line or a
    // trace measured in real time does; 0 sends as fast as the line takes
    // them. On a paced line a profile trace streams its live samples one by
    // one, and a "CC" during them ends the trace at once with the end marker
    // and the sample block, as the instrument does at a stop.
    void setLineRate(int bytesPerSecond);
    // The identification text; padded with spaces to the reply's 20 bytes.
    void setIdentification(const QByteArray &text) { m_identification = text; }
    // An instrument slow to answer: its reaction to each command (a reply,
    // a stream) and what send() sends go out this many milliseconds later,
    // in order; commands are still recorded as they arrive. The environment
    // variable VANTOR_SIM_REPLY_DELAY_MS sets it for every simulated
    // instrument a test program makes, so a whole test can be run against a
    // slow instrument. What is under way when the cable is pulled is dropped.
    void setReplyDelay(int ms) { m_replyDelayMs = qMax(0, ms); }
    int replyDelay() const { return m_replyDelayMs; }
    // Sends bytes as the line takes them (after the reply delay).
    void send(const QByteArray &bytes);
    // The next command equal to command is answered with reply instead of
    // the usual reaction (one reply per call, in order).
    void replyTo(const QByteArray &command, const QByteArray &reply);
    qint64 pendingBytes() const { return m_out.size() - m_outHead; }
    bool waitUntilSent(int timeoutMs = 5000);

    // Profile instrument: "CS" streams this trace; "Ka" sends these texts
    // (each as its own write); every "CT" is answered with the next console
    // height while any are left.
    void setProfileRun(const InstrumentReplies::ProfileRun &run) { m_profileRun = run; }
    InstrumentReplies::ProfileRun profileRun() const { return m_profileRun; }
    void setCalibrationTexts(const QList<QByteArray> &texts) { m_calibrationTexts = texts; }
    void setConsoleHeights(const QList<quint16> &heights) { m_consoleHeights = heights; }

    // Contour instrument: "CS", "Cs" or "CL" streams count records made by
    // record(i) as fast as the line takes them; "CC" stops the stream. "CO"
    // answers with the stored parameters, which "O" replaces. "CK" sends
    // these records (calibration progress).
    void setContourRun(int count, std::function<InstrumentReplies::ContourRecord(int)> record);
    static InstrumentReplies::ContourRecord defaultContourRecord(int i);
    void setCalibrationRecords(const QList<InstrumentReplies::ContourRecord> &records)
    {
        m_calibrationRecords = records;
    }
    QVector<qint32> storedParameters() const { return m_parameters; }
    void setStoredParameters(const QVector<qint32> &values) { m_parameters = values; }
    bool isStreaming() const { return bool(m_producer); }

    // Splits the first whole command off the front of bytes: its length, or
    // 0 while the command is still incomplete.
    static int commandLength(const QByteArray &bytes);

Q_SIGNALS:
    void commandReceived(const QByteArray &command);

private:
    void openLine();
    void onReadable();
    void onWritable();
    void react(const QByteArray &command);
    // Runs action after the reply delay (at once without one), unless the
    // line was pulled or replaced meanwhile.
    void later(std::function<void()> action);
    void sendNow(const QByteArray &bytes);
    void flush();
    void startContourRun();
    void startPacedProfileRun();
    // The end marker and sample block of the profile run (empty when it
    // stops before them).
    QByteArray profileTail() const;

    InstrumentReplies::ProfileRun m_profileRun;
    QList<QByteArray> m_calibrationTexts;
    QList<quint16> m_consoleHeights;
    int m_contourCount = 0;
    std::function<InstrumentReplies::ContourRecord(int)> m_contourRecord;
    QList<InstrumentReplies::ContourRecord> m_calibrationRecords;
    QVector<qint32> m_parameters;
    // Fills the line while a contour run streams; empty when it is done.
    std::function<QByteArray()> m_producer;

    Kind m_kind;
    std::unique_ptr<PseudoTerminal> m_pty;
    std::unique_ptr<QSocketNotifier> m_readNotifier;
    std::unique_ptr<QSocketNotifier> m_writeNotifier;
    QByteArray m_in;
    QByteArray m_out;
    int m_outHead = 0;
    QList<QByteArray> m_commands;
    QMap<QByteArray, QByteArray> m_lastArguments;
    QMap<QByteArray, QList<QByteArray>> m_scripted;
    QByteArray m_identification;
    bool m_answering = true;
    int m_replyDelayMs = 0;
    // Counts the lines plugged in and pulled; a delayed reaction belongs to
    // the line of its command.
    int m_lineGeneration = 0;
    bool m_silent = false;
    bool m_silentAfterStop = false;
    // Paced line: bytes it may still send in the current tick, refilled by
    // the timer.
    int m_lineRate = 0;
    qint64 m_budget = 0;
    std::unique_ptr<QTimer> m_pace;
    bool m_profileStreaming = false;
};
