#pragma once

#include "plot/ifiltercontrol.h"

#include <QPointer>
#include <functional>

class DeviceControlWidget;

// What a graph holder's cut-off check reaches of the profile window: the
// control panel's filter switch, and the window's current key receiver
// (taken again on every settings change, hence asked for each time).
class PanelFilterControl : public IFilterControl {
public:
    PanelFilterControl(DeviceControlWidget *panel, std::function<QObject *()> keys);

    void setFilterIndex(int index) override;
    QObject *keyReceiver() const override;

private:
    QPointer<DeviceControlWidget> m_panel;
    std::function<QObject *()> m_keys;
};
