#pragma once

#include "algos/tracetypes.h"
#include "settings/settings.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <string>

class DevicePort;
class QTimer;

// Speed index -> text of the speed list (the last letter is a Latin "c").
extern const QMap<int, QString> kSpeedNames;

// The instrument object: owns the serial transport, sends the instrument its
// ASCII commands, identifies the instrument whenever a port opens and brings
// it into a known state, and parses its replies. Runs on the GUI thread; only
// the tracing flag is read by other threads.
class Device : public QObject {
    Q_OBJECT

public:
    // Bytes each parser state needs before its handler runs. State 7 (the
    // sample block) has no fixed length: its length comes with the block
    // header and is kept per object.
    static const QMap<int, int> kReplyLengths;

    static constexpr const char *kProfileIdentification = "OK";
    static constexpr const char *kContourIdentification = "Brix_582_V3";
    static constexpr int kIdentificationLength = 20;

    // How a reading of the instrument ended.
    enum TraceEnd {
        TraceWhole, // a profile trace's sample block has arrived
        TraceStopped, // the operator or the instrument stopped a contour trace
        TraceCrashed, // the instrument reported a crash
        LinkLost, // the port was lost
        NoAnswer, // after a stop the instrument sent nothing
        TraceRestarted, // a new trace was started before this one had ended
    };

    // After a stop the instrument ends a profile trace by sending its sample
    // block; when it sends nothing at all for this long, the trace is ended
    // without it.
    static constexpr int kStopAnswerTimeoutMs = 3000;

    Device();
    ~Device() override;

    // Commands without a slot of their own.
    void setFilter(int index);
    void setDeviceType(int type);
    void setTraceLength(int length);
    void cancelOperation();
    void resetCalibration();
    void sendRawText(QString text);
    void uploadDeviceParams();
    void identify();

    DevicePort *port() const { return m_port; }
    int consoleHeight() const { return m_consoleHeight; }
    int probeHeight() const { return m_probeHeight; }
    int xPosition() const { return m_xPosition; }
    int deviceType() const { return m_deviceType; }
    bool tracing() const { return m_tracing->load(); }
    // The tracing flag itself, for a worker thread that polls it and may
    // outlive this object's emissions.
    std::shared_ptr<const std::atomic_bool> tracingFlag() const { return m_tracing; }
    int parserState() const { return m_parserState; }
    // Bytes the current parser state needs; 0 for a state without entry.
    int replyLength(int state) const;
    int pointCounter() const { return m_pointCounter; }
    bool forwardPoints() const { return m_forwardPoints; }
    int demoStep() const { return m_demoStep; }

    // The contour point test: a point is passed on when its readings are in
    // range and its x does not fall behind the running maximum of x.
    static bool isPointValid(int probe, int console, int x, int maxX);

    static constexpr int kProfileBatch = 1;
    static constexpr int kBlockBatch = 100;
    static constexpr int kContourBatch = 8;
    static constexpr int kParamsHeaderRetries = 200;

Q_SIGNALS:
    void dataRecieved(double probeHight, double consoleHight, double xpos, int kBatchNotificationSize);
    void dataReset();
    void deviceLost();
    void deviceOpened();
    void pushButtonStartTrace();
    void needCalibration();
    void pushButtonStopTrace();
    void prepareTrace();
    void openLoader(QString name);
    void setStatusProgressBar(int status, QString statusName);
    void crashDevice();
    void normalStatus();
    void setBarValue(int cosoleHigh);
    void deleteAllTrace();
    void newDeviceType(int type);
    void rowDataFromDevice(QString data);
    // The tracing flag has just been cleared: the reading has ended, whatever
    // ended it (the end of the sample block, a stop, an alarm, a lost link,
    // an instrument that no longer answers, the next start). Emitted once per
    // reading, before anything of the next one.
    void tracingEnded(Device::TraceEnd how);

public Q_SLOTS:
    void openDevice();
    void moveX(int val);
    void moveY(int val);
    void moveZ(int val);
    void autoMinMaxCalib();
    void calibration();
    void startTrace(bool trace_started);
    void startTrace();
    void stopTrace();
    void setSpeed(int spd);
    void changePresingPower(MovementSettings::E_NEEDLE_PRESSING needle_pressing, int power_pressing);
    void changeResolutionScaling();
    void setMMPerRotation(double value);
    // The kind of trace the instrument delivers; a device type outside the
    // known kinds counts as a contour instrument.
    E_ANALISIS_TYPE type();
    void parseIncomingData();

private:
    void send(const std::string &command);
    void onPortLost();
    void initDevice();
    void sendInitCommands();
    // Sets the tracing flag for a new reading, ending one still under way.
    void startTracing();
    // Clears the tracing flag; when it was set, emits tracingEnded.
    void endTracing(TraceEnd how);
    // The instrument has sent nothing since the stop.
    void onNoAnswer();

    // Reply parser
    void dispatchReply();
    void parseIdentification();
    void parseConsoleHeight();
    void parseProfileStream();
    void parseStreamSample();
    void parseStreamStart();
    void parseBlockCount();
    void parseBlockScale();
    void parseBlockHeader();
    void parseSampleBlock();
    void parseCalibrationText();
    void parseParamsHeader();
    void parseDeviceParams();
    void parseContourRecord(bool demo);
    void endProfileTrace();
    quint32 takeBigEndian(int bytes);
    quint32 takeLittleEndian(int bytes);
    int takeDivisor(const char *what);

    // Status, alarms and the demonstration cycle
    bool handleAlarm(int alarm, int status);
    void calibrationProgress(int status);
    void circleSearchProgress(int status);
    void runDemoStep(int alarm);
    void demoTrackExtremes();
    int demoCheckEnd();
    void handleDemoAlarm(int alarm);

    int m_consoleHeight = 0;
    int m_probeHeight = 0;
    int m_xPosition = 0;
    int m_deviceType;
    int m_powerPressing;
    MovementSettings::E_NEEDLE_PRESSING m_needlePressing;
    std::shared_ptr<std::atomic_bool> m_tracing;
    int m_lastAlarm = 0;
    int m_lastStatus = 0;
    bool m_forwardPoints = false;
    int m_pointCounter = 0;
    int m_demoStep = 0;
    int m_divisor = 0;
    QList<QList<int>> m_demoExtremes;
    int m_parserState = 0;
    int m_blockCount = 0;
    int m_blockScale = 0;
    int m_blockBytesRead = 0;
    int m_blockLength = 0; // sample bytes of the current block
    bool m_blockLeadInPending = false;
    QByteArray m_calibrationTail; // end of the last calibration text, to find a marker split across arrivals
    bool m_parsing = false;
    int m_paramsRetries = 0;
    DevicePort *m_port = nullptr;
    // Runs from a profile trace's stop until the instrument ends the trace;
    // every arrival starts it again.
    QTimer *m_answerTimer = nullptr;
};
