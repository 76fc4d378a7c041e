#include "analysis/panelfiltercontrol.h"

#include "widgets/devicecontrolwidget.h"

PanelFilterControl::PanelFilterControl(DeviceControlWidget *panel, std::function<QObject *()> keys)
    : m_panel(panel)
    , m_keys(std::move(keys))
{
}

void PanelFilterControl::setFilterIndex(int index)
{
    if (m_panel)
        m_panel->setFilterIndex(index);
}

QObject *PanelFilterControl::keyReceiver() const
{
    return m_keys ? m_keys() : nullptr;
}
