#include "device/portcandidates.h"

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
    return result;
}
