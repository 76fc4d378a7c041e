#pragma once

#include <QList>
#include <QString>

// One serial port the transport may try: what it needs to decide whether the
// port qualifies and where to open it.
struct PortCandidate {
    QString portName; // system name shown to the operator (for example COM3 or ttyUSB0)
    QString systemLocation; // what the port object opens (for example /dev/ttyUSB0)
    bool isNull = true;
    bool hasVendorIdentifier = false;
    bool hasProductIdentifier = false;

    // The instrument's controller reports both a vendor and a product
    // identifier; their values are not compared with anything.
    bool qualifies() const { return !isNull && hasVendorIdentifier && hasProductIdentifier; }
};

// The process-wide source of the ports the transport searches. The default
// lists the computer's serial ports; tests install one that hands out a
// pseudo-terminal in place of the instrument's port.
class PortCandidates {
public:
    virtual ~PortCandidates();

    static PortCandidates &instance();
    // Installs source (not owned) as the process-wide one; nullptr restores
    // the default. Returns the previously installed source.
    static PortCandidates *install(PortCandidates *source);

    // The environment variable whose value, when set, is the path of one more
    // port offered after the system's ones.
    static constexpr const char *kExtraPortVariable = "VANTOR_EXTRA_PORT";

    // The ports in the order the system lists them.
    virtual QList<PortCandidate> availablePorts() const;
};
