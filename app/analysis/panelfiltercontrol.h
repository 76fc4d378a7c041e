#pragma once

#include "plot/ifiltercontrol.h"

#include <QPointer>

class DeviceControlWidget;

// What a graph holder's cut-off check reaches of the profile window: the
// control panel's filter switch.
class PanelFilterControl : public IFilterControl {
public:
    explicit PanelFilterControl(DeviceControlWidget *panel);

    void setFilterIndex(int index) override;

private:
    QPointer<DeviceControlWidget> m_panel;
};
