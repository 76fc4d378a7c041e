#include "device/portcandidates.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace {
PortCandidates *g_installed = nullptr;
}

PortCandidates::~PortCandidates() = default;

PortCandidates &PortCandidates::instance()
{
    static PortCandidates systemPorts;
    return g_installed ? *g_installed : systemPorts;
}

PortCandidates *PortCandidates::install(PortCandidates *source)
{
    PortCandidates *previous = g_installed;
    g_installed = source;
    return previous;
}

QList<PortCandidate> PortCandidates::availablePorts() const
{
    QList<PortCandidate> result;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        PortCandidate c;
        c.portName = info.portName();
        c.systemLocation = info.systemLocation();
        c.isNull = info.isNull();
        c.hasVendorIdentifier = info.hasVendorIdentifier();
        c.hasProductIdentifier = info.hasProductIdentifier();
        result.append(c);
    }
    // A port named in the environment is offered too, as a controller would
    // be: it stands in for the instrument's port on a machine without one.
    const QString extra = qEnvironmentVariable(kExtraPortVariable);
    if (!extra.isEmpty()) {
        PortCandidate c;
        c.portName = QFileInfo(extra).fileName();
        c.systemLocation = extra;
        c.isNull = false;
        c.hasVendorIdentifier = true;
        c.hasProductIdentifier = true;
        result.append(c);
    }
    return result;
}
